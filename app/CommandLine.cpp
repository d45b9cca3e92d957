#include "app/CommandLine.h"

#include "app/dev/LiveCode.h"

#include "app/capture/VideoFile.h"
#include "engine/core/Window.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

const char* const banner = "Tarnix Engine v3 - test release";

// The one place these texts live: --help prints them and a test holds the
// README's tables to them.
const SwitchHelp toolSwitchHelp[] = {
    {"--version", "prints the banner (and then plays, unless a tool switch follows)"},
    {"--createDataPack [DIR]", "packs the files of DIR/ (default data/) into data/datafile.dat"},
    {"--hexdumpDataPack", "prints a hex dump of the pack"},
    {"--convert3DtoDVM FILE...",
     "converts 3D Studio models data/FILE into DVM meshes data/FILE with .dvm in place of the last four characters"},
    {"--help", "prints what the program is and every switch, then ends"},
};
const unsigned toolSwitchCount = sizeof toolSwitchHelp / sizeof toolSwitchHelp[0];

// ---- The presets in words ----

namespace {

// "a, b or c".
std::string oneOf(const std::vector<std::string>& choices) {
    std::string text;
    for (std::size_t i = 0; i < choices.size(); ++i)
        text += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i];
    return text;
}

// The names --preset takes, "youtube, party or master".
std::string presetNames() {
    std::vector<std::string> names;
    for (const VideoPresetSpec& preset : videoPresets())
        if (*preset.name)
            names.push_back(preset.name);
    return oneOf(names);
}

// The picture's codec: "H.264", "lossless FFV1".
const char* codecWords(VideoCodec codec) { return codec == VideoCodec::ffv1 ? "lossless FFV1" : "H.264"; }

// The demo's picture is 4:3, as its 640 × 480 window: frames of a wider shape
// show it between black bars.
bool pillarboxes(const VideoPresetSpec& preset) { return preset.width * 3 > preset.height * 4; }

// What --help says a preset makes, from its row: "1920 × 1080 pillarboxed,
// 30 frames a second, H.264 High at level 4.1, 8 Mb/s". H.264 and its High
// profile are named only beside a level: a compo's video player asks for the
// three together.
std::string presetSummary(const VideoPresetSpec& preset) {
    std::vector<std::string> parts;
    if (preset.setsFrames())
        parts.push_back(std::to_string(preset.width) + " × " + std::to_string(preset.height) +
                        (pillarboxes(preset) ? " pillarboxed" : "") + ", " +
                        std::to_string(preset.framesPerSecond) + " frames a second");
    if (preset.codec == VideoCodec::ffv1) {
        parts.push_back(std::string(codecWords(preset.codec)) + (preset.needsMatroska ? " and FLAC in .mkv" : "") +
                        (preset.setsFrames() ? "" : " at the capture's own size"));
    } else {
        if (*preset.x264.level)
            parts.push_back(std::string(codecWords(preset.codec)) + " High at level " + preset.x264.level);
        if (preset.x264.bitrateMbps > 0)
            parts.push_back(std::to_string(preset.x264.bitrateMbps) + " Mb/s");
    }
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

// The text of "--preset NAME" in --help and the README: every named preset
// with what it makes.
std::string presetHelpText() {
    std::vector<std::string> presets;
    for (const VideoPresetSpec& preset : videoPresets())
        if (*preset.name)
            presets.push_back(std::string(preset.name) + " (" + presetSummary(preset) + ")");
    return "how a video capture is made: " + oneOf(presets);
}

// Made before demoSwitchHelp, which points into it: both are initialised in
// the order they are defined here.
const std::string presetHelp = presetHelpText();

}  // namespace

const SwitchHelp demoSwitchHelp[] = {
    {"--window", "plays in a 640 × 480 window instead of fullscreen"},
    {"--native",
     "plays fullscreen at the display's own resolution, switching no mode: the picture as large as fits, centred "
     "between black bars, drawn at that size; with --capture, the frames are the display's size"},
    {"--start MS",
     "begins at demo time MS (at most 36000000, ten hours), the music too, with the frame a run from 0 shows there: "
     "the demo's motions follow its clock, at any frame rate"},
    {"--capture DIR",
     "renders offline on a virtual clock: DIR/frame_00000.png … one per frame, and DIR/sound.wav, the music as the "
     "demo plays it, as long as the frames. Two captures give the same bytes"},
    {"--capture FILE.mp4",
     "renders offline straight into a video (or FILE.mkv), the frames and the music together, through the ffmpeg "
     "program: H.264 tagged BT.709, AAC (FLAC in .mkv); no frame files"},
    {"--preset NAME", presetHelp.c_str()},
    {"--fps N",
     "the capture's frame rate (default 60); its motions are the demo's at 60 frames a second, so a frame at a demo "
     "time is the same at any rate"},
    {"--until MS", "the capture's last demo time (default 60000, at most 36000000)"},
    {"--scale N",
     "the capture's frames N times the width and height (1 to 4), drawn off-screen with everything sized in pixels "
     "scaled too: the same picture, finer"},
    {"--calm",
     "the demo without its flashes: the title's frame jumps every 1.2 s instead of every 0.4 s, the opening fades "
     "to black before its cut, and the closing's pictures change every 2.4 s instead of every 0.4 s, fading into "
     "each other, dimmed. Live, captured and in every preset"},
    {"--quiet", "no progress lines on standard error while capturing"},
    {"--dev",
     "development mode, in a window: Space pauses, Left and Right seek 1 s, Page Up and Page Down 10 s, Home goes "
     "to 0, comma and period step a frame while paused, [ and ] mark a loop and backslash clears it, minus "
     "and equals halve and double the speed, T shows the timeline strip, Escape ends; changed files in data/ "
     "are loaded again, and saved code in app/demo/ in a build with live code"},
    {"--sync HOST:PORT",
     "with --dev, the sync editor to connect to (default localhost:1338): its tracks set the demo's tuned values "
     "while it plays, and it follows the demo's row; without an editor the values are the track files' and the "
     "code's"},
};
const unsigned demoSwitchCount = sizeof demoSwitchHelp / sizeof demoSwitchHelp[0];

// Every stretch FFmpeg's photosensitivity filter (the test parties and video
// sites screen with) scores over its threshold in the plain demo.
const char* const flashWarning =
    "Photosensitivity warning: the demo flashes: from 6.7 to 18.7 s the title's frame jumps twice a second, at "
    "18.7 s the picture cuts from bright to dark, and from 53 s on the closing section swaps whole-screen pictures "
    "several times a second, which may trigger seizures in people with photosensitive epilepsy. --calm plays it "
    "without those flashes.";

std::string helpText() {
    std::string text = std::string(flashWarning) + "\n\n" + tarnix::windowCaption +
                       ": a real-time demo on the Tarnix engine (" + std::string(banner) +
                       ").\nPlays in a 640 × 480 OpenGL window while its music loops, until Escape; with a tool switch it "
                       "works on its data instead and opens no window.\n\nTool switches:\n";
    auto list = [&text](const SwitchHelp* switches, unsigned count) {
        for (unsigned i = 0; i < count; ++i) {
            std::string usage = switches[i].usage;
            usage.resize(std::max<std::size_t>(usage.size() + 2, 26), ' ');
            text += "  " + usage + switches[i].text + "\n";
        }
    };
    list(toolSwitchHelp, toolSwitchCount);
    text += "\nDemo switches (a tool switch still wins):\n";
    list(demoSwitchHelp, demoSwitchCount);
    return text + featureText();
}

std::string featureText() {
    const std::string video =
        tarnix::childProcessesAvailable
            ? std::string("yes, through the ffmpeg program, which it looks for ") + tarnix::programPlaces
            : "no, not in this build: capture to frames, then encode them with ffmpeg";
    const std::string liveCode = LiveCode::builtIn()
                                     ? "yes: saved code in app/demo/ is built again and swapped in while it plays"
                                     : std::string("no: ") + LiveCode::whyOff();
    return std::string("\nWhat this build does:\n") +
           "  capture to frames         yes (--capture DIR)\n"
           "  capture to video          " + video + "\n" +
           "  the development mode      yes (--dev), with a sync editor's connection (--sync)\n"
           "  live code                 " + liveCode + "\n";
}

namespace {

bool takesArgument(int argc, char** argv, int index) { return index + 1 < argc && argv[index + 1][0] != '-'; }

// A whole decimal number from first to last, or false.
bool parseNumber(const char* text, unsigned long first, unsigned long last, unsigned& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < first || parsed > last)
        return false;
    value = static_cast<unsigned>(parsed);
    return true;
}

// The demo's switches; true when `argument` was one of them (and its value,
// if any, has been consumed).
// "HOST:PORT" (the host may hold colons itself: an IPv6 address, bare or in
// brackets).
bool parseSyncAddress(const std::string& address, DemoOptions& demo) {
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    unsigned port = 0;
    if (!parseNumber(address.c_str() + colon + 1, 1, 65535, port))
        return false;
    std::string host = address.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    demo.syncHost = host;
    demo.syncPort = port;
    return true;
}

bool scanDemoSwitch(int argc, char** argv, int& i, DemoOptions& demo) {
    const char* argument = argv[i];
    if (std::strcmp(argument, "--window") == 0) {
        demo.windowed = true;
        return true;
    }
    if (std::strcmp(argument, "--native") == 0) {
        demo.native = true;
        return true;
    }
    if (std::strcmp(argument, "--calm") == 0) {
        demo.calm = true;
        return true;
    }
    if (std::strcmp(argument, "--quiet") == 0) {
        demo.quiet = true;
        return true;
    }
    if (std::strcmp(argument, "--dev") == 0) {
        demo.dev = true;
        demo.windowed = true;
        return true;
    }
    struct NumberSwitch {
        const char* name;
        unsigned* value;
        unsigned long first, last;
    } numbers[] = {{"--fps", &demo.framesPerSecond, 1, 1000},
                   {"--scale", &demo.scale, 1, 4},
                   {"--until", &demo.untilMs, 0, latestDemoTimeMs},
                   {"--start", &demo.startMs, 0, latestDemoTimeMs}};
    const bool capture = std::strcmp(argument, "--capture") == 0;
    const bool preset = std::strcmp(argument, "--preset") == 0;
    const bool sync = std::strcmp(argument, "--sync") == 0;
    const NumberSwitch* number = nullptr;
    for (const NumberSwitch& candidate : numbers)
        if (std::strcmp(argument, candidate.name) == 0)
            number = &candidate;
    if (!capture && !preset && !sync && !number)
        return false;
    // A value never begins with '-': a switch that follows is left to be
    // examined as a switch.
    if (!takesArgument(argc, argv, i)) {
        demo.error = std::string(argument) + " needs a value";
        return true;
    }
    const char* value = argv[++i];
    if (capture)
        demo.captureTarget = value;
    else if (sync && !parseSyncAddress(value, demo))
        demo.error = std::string("--sync takes HOST:PORT, a sync editor's address with a port from 1 to 65535, not \"") +
                     value + "\"";
    else if (sync)
        demo.syncGiven = true;
    else if (preset && parsePreset(value, demo.preset))
        demo.unknownPreset.clear();
    else if (preset)
        demo.unknownPreset = value;
    else if (!parseNumber(value, number->first, number->last, *number->value))
        demo.error = std::string(argument) + " takes a whole number from " + std::to_string(number->first) + " to " +
                     std::to_string(number->last) + ", not \"" + value + "\"";
    else if (number->value == &demo.framesPerSecond)
        demo.rateGiven = true;
    return true;
}

// The demo's switches against each other, once each has its value: the
// first clash, "" when none. A preset's frame rate becomes the capture's.
std::string settleDemoSwitches(DemoOptions& demo) {
    const bool capturing = !demo.captureTarget.empty();
    if (demo.scale > 1 && !capturing)
        return "--scale draws a capture finer; it needs --capture DIR";
    if (demo.scale > 1 && demo.native)
        return "--scale and --native are two sizes for one capture; give one of them";
    if (!demo.unknownPreset.empty())
        return "--preset takes " + presetNames() + ", not \"" + demo.unknownPreset + "\"";
    if (demo.preset != VideoPreset::plain) {
        const VideoPresetSpec& preset = videoPresetSpec(demo.preset);
        const std::string named = std::string("--preset ") + preset.name;
        if (!isVideoPath(demo.captureTarget))
            return named + " makes a video: it needs --capture FILE.mp4 or FILE.mkv";
        if (preset.needsMatroska && !isMatroskaPath(demo.captureTarget))
            return named + " is " + codecWords(preset.codec) + " and FLAC, which go in Matroska: give a .mkv file";
        if (preset.setsFrames()) {
            if (demo.rateGiven || demo.scale > 1 || demo.native)
                return named + " sets the size and the frame rate; leave out --fps, --scale and --native";
            demo.framesPerSecond = preset.framesPerSecond;
        }
    }
    if (demo.syncGiven && !demo.dev)
        return "--sync connects the development mode to a sync editor; it needs --dev";
    if (capturing && demo.untilMs < demo.startMs)
        return "--until " + std::to_string(demo.untilMs) + " comes before --start " + std::to_string(demo.startMs) +
               ": nothing to capture";
    return "";
}

}  // namespace

ScanResult scanCommandLine(int argc, char** argv, ToolActions& actions) {
    ScanResult result;
    auto record = [&result](bool succeeded) { result.toolFailed = result.toolFailed || !succeeded; };
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--version") == 0) {
            std::puts(banner);
        } else if (std::strcmp(argument, "--createDataPack") == 0) {
            result.toolMode = true;
            if (takesArgument(argc, argv, i))
                actions.setPackDirectory(std::string(argv[++i]) + "/");
            record(actions.createPack());
        } else if (std::strcmp(argument, "--hexdumpDataPack") == 0) {
            result.toolMode = true;
            record(actions.hexdumpPack());
        } else if (std::strcmp(argument, "--help") == 0) {
            result.toolMode = true;
            std::fputs(helpText().c_str(), stdout);
        } else if (std::strcmp(argument, "--convert3DtoDVM") == 0) {
            result.toolMode = true;
            std::puts("Exporting 3D Objects to .DVM");
            while (takesArgument(argc, argv, i))
                record(actions.convertModel(argv[++i]));
        } else {
            scanDemoSwitch(argc, argv, i, result.demo);
        }
        std::fflush(stdout);
    }
    if (!result.toolMode && result.demo.error.empty())
        result.demo.error = settleDemoSwitches(result.demo);
    return result;
}

std::string meshFileNameFor(const std::string& modelName) {
    const std::size_t extensionLength = 4;
    if (modelName.size() < extensionLength)
        return modelName + ".dvm";
    return modelName.substr(0, modelName.size() - extensionLength) + ".dvm";
}
