#pragma once

#include "app/capture/VideoFile.h"

#include <string>

// What the content-tool switches do. The command-line scan decides which
// actions run and in what order; an implementation carries them out.
class ToolActions {
public:
    virtual ~ToolActions() = default;
    // The directory the next createPack() packs, slash included ("art/").
    virtual void setPackDirectory(const std::string& directory) = 0;
    // Each action returns false when it failed (and has said why).
    virtual bool createPack() = 0;
    virtual bool hexdumpPack() = 0;
    // Converts one 3D Studio model into a DVM mesh.
    virtual bool convertModel(const char* modelName) = 0;
};

// How the demo plays, from the switches that are not tools.
struct DemoOptions {
    bool windowed = false;          // "--window": a 640 × 480 window, not fullscreen
    std::string captureTarget;      // "--capture DIR" or FILE.mp4/.mkv: render offline ("" plays live)
    unsigned framesPerSecond = 60;  // "--fps N": a capture's frames a second; motions keep their 60-step grid
    bool rateGiven = false;         // "--fps" was given
    unsigned untilMs = 60000;       // "--until MS": the capture's last demo time
    unsigned startMs = 0;           // "--start MS": the demo time to begin at
    bool quiet = false;             // "--quiet": no progress lines while capturing
    bool dev = false;               // "--dev": the development mode, in a window
    unsigned scale = 1;             // "--scale N": a capture's frames N times finer (1 to 4)
    bool native = false;            // "--native": fullscreen at the display's own size, the picture as large as fits
    bool calm = false;              // "--calm": every whole-screen change under the photosensitivity threshold
    VideoPreset preset = VideoPreset::plain;  // "--preset NAME": how a capture to a video is made
    std::string unknownPreset;      // a NAME --preset was given that no preset has, for its message; "" when none
    std::string syncHost = "localhost";  // "--sync HOST:PORT": the sync editor the development mode connects to
    unsigned syncPort = 1338;
    bool syncGiven = false;
    std::string error;              // a switch without a usable value, or switches that clash, "" when none
};

struct ScanResult {
    bool toolMode = false;     // a tool switch was seen: end without a window
    bool toolFailed = false;   // at least one tool action failed
    DemoOptions demo;
};

// The latest demo time --start, --until and a development-mode seek take: ten
// hours, ms. Starting late passes over every earlier frame (about 9 ns each),
// so even at 1000 frames a second this start is reached in about a third of a
// second; and demo times stay far from the 32-bit wrap of the millisecond clock.
constexpr unsigned long latestDemoTimeMs = 10ul * 60 * 60 * 1000;

// The engine's banner, printed for "--version".
extern const char* const banner;
// The photosensitivity warning, first in --help, the nfo and the README.
extern const char* const flashWarning;

// One switch as --help and the README's tables show it.
struct SwitchHelp {
    const char* usage;  // the switch and its argument, as typed: "--start MS"
    const char* text;   // what it does, one line
};
// The tool switches, then the demo's switches, in the order --help lists them.
extern const SwitchHelp toolSwitchHelp[];
extern const unsigned toolSwitchCount;
extern const SwitchHelp demoSwitchHelp[];
extern const unsigned demoSwitchCount;
// The text "--help" prints: what the program is, every switch, one a line,
// and last what this build does (featureText()).
std::string helpText();
// "What this build does:" and a line each for captures to frames and to
// video, the development mode and live code: yes, or no and why.
std::string featureText();

// Examines argv[0] .. argv[argc-1] (the program path included) against the
// switches, full and case-sensitive matches only; anything else is ignored.
//   "--version"                 prints the banner
//   "--createDataPack" [DIR]    packs DIR + "/" (default "data/")
//   "--hexdumpDataPack"         dumps the pack
//   "--convert3DtoDVM" FILE...  converts every following argument up to the
//                               first that begins with '-', which is then
//                               examined as a switch itself
//   "--help"                    prints helpText()
// A switch acts each time it occurs, and every action runs even after another
// one failed. The demo's own switches take effect when no tool switch is given:
//   "--window"  "--native"  "--capture" DIR  "--fps" N  "--until" MS  "--start" MS  "--quiet"  "--dev"
//   "--scale" N  "--preset" NAME  "--calm"  "--sync" HOST:PORT
// One with a value takes the argument that follows it unless that begins with
// '-' (--fps N from 1 to 1000, --scale N from 1 to 4, MS from 0 to 36000000,
// ten hours); a missing, malformed or out-of-range value is reported in
// demo.error, and so are switches that do not fit together (--scale without
// --capture or with --native; a preset that is unknown or without a video,
// one that needs Matroska outside .mkv, one that sets the frames beside --fps,
// --scale or --native; a capture's --until before its --start; --sync
// without --dev, or not HOST:PORT with a port from 1 to 65535). The frame
// rate of a preset that sets the frames is put into demo.framesPerSecond.
ScanResult scanCommandLine(int argc, char** argv, ToolActions& actions);

// The DVM name for a model name: its last 4 characters (normally ".3ds")
// replaced by ".dvm"; a name shorter than 4 characters gets ".dvm" appended.
std::string meshFileNameFor(const std::string& modelName);
