#include "app/capture/VideoFile.h"

#include "engine/io/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool endsWith(const std::string& text, const char* ending) {
    const std::size_t length = std::strlen(ending);
    if (text.size() < length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - length + i])) != ending[i])
            return false;
    return true;
}

void append(std::vector<std::string>& to, std::initializer_list<std::string> more) {
    to.insert(to.end(), more.begin(), more.end());
}

// H.264 in 4:2:0 with the HD matrix (BT.709, limited range) and every colour
// tag set, so that players do not guess; a closed group of pictures every
// half second, so that a cut or a seek lands near where it is asked for.
// NV12 frames are that already and go to the encoder as they are; RGB ones
// are turned the right way up and converted first.
void addH264(std::vector<std::string>& arguments, const VideoSettings& settings) {
    const std::string group = std::to_string(std::max(1u, settings.framesPerSecond / 2));
    if (settings.layout == FrameLayout::rgb)
        append(arguments, {"-vf", "vflip,scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd+"
                                  "full_chroma_int,format=yuv420p"});
    append(arguments,
           {"-c:v", "libx264", "-profile:v", "high", "-g", group, "-keyint_min", group, "-sc_threshold", "0", "-flags",
            "+cgop", "-bf", "2", "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
            "-color_range", "tv"});
    switch (settings.preset) {
    case VideoPreset::youtube:
        // The 2160p60 range video sites recommend: 53 to 68 Mb/s, at which
        // the encoder's quickest setting loses nothing visible.
        append(arguments, {"-preset", "ultrafast", "-b:v", "60M", "-maxrate", "68M", "-bufsize", "68M"});
        break;
    case VideoPreset::party:
        // What a compo's video player takes: level 4.1 (up to 50 Mb/s), 8 Mb/s.
        append(arguments, {"-preset", "veryfast", "-level:v", "4.1", "-b:v", "8M", "-maxrate", "10M", "-bufsize",
                           "10M"});
        break;
    default:
        // The quickest setting at a quality that keeps the encoder's loss
        // near 50 dB: the encoder shares the processor with the drawing.
        append(arguments, {"-preset", "ultrafast", "-crf", "16"});
        break;
    }
}

}  // namespace

std::string videoTargetProblem(const std::string& path) {
    if (tarnix::pathKind(path) == tarnix::PathKind::directory)
        return path + ": is a folder; a capture to a video needs the name of a file";
    // The temporary file is made as the capture will make it, and removed.
    const std::string part = path + ".part";
    std::FILE* probe = tarnix::createFreshFile(part);
    if (!probe)
        return part + ": cannot be written: " + std::strerror(errno);
    std::fclose(probe);
    std::remove(part.c_str());
    return "";
}

std::size_t frameBytes(FrameLayout layout, int width, int height) {
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return layout == FrameLayout::nv12 ? pixels * 3 / 2 : pixels * 3;
}

bool isVideoPath(const std::string& path) { return endsWith(path, ".mp4") || isMatroskaPath(path); }

bool isMatroskaPath(const std::string& path) { return endsWith(path, ".mkv"); }

bool parsePreset(const std::string& name, VideoPreset& preset) {
    const struct {
        const char* name;
        VideoPreset preset;
    } presets[] = {{"youtube", VideoPreset::youtube}, {"party", VideoPreset::party}, {"master", VideoPreset::master}};
    for (const auto& candidate : presets)
        if (name == candidate.name) {
            preset = candidate.preset;
            return true;
        }
    return false;
}

bool presetFrames(VideoPreset preset, int& width, int& height, unsigned& framesPerSecond) {
    switch (preset) {
    case VideoPreset::youtube:
        width = 2880, height = 2160, framesPerSecond = 60;
        return true;
    case VideoPreset::party:
        width = 1920, height = 1080, framesPerSecond = 30;
        return true;
    default:
        return false;
    }
}

std::vector<std::string> encodersFor(VideoPreset preset, const std::string& path) {
    const char* sound = isMatroskaPath(path) ? "flac" : "aac";
    if (preset == VideoPreset::master)
        return {"ffv1", sound};
    return {"libx264", sound};
}

// Both inputs say what they hold, so ffmpeg need not look ahead into them
// ("-probesize 32", its least): while it starts, it reads its inputs one after
// the other, and a look far into one would wait for more of it than the
// frames drawn so far have given.
std::vector<std::string> encoderArguments(const VideoSettings& settings, const std::string& output) {
    std::vector<std::string> arguments = {
        encoderProgram, "-hide_banner", "-nostdin", "-loglevel", "error", "-y", "-probesize", "32",
        "-f", "rawvideo", "-pixel_format", settings.layout == FrameLayout::nv12 ? "nv12" : "rgb24",
        "-video_size", std::to_string(settings.width) + "x" + std::to_string(settings.height),
        "-framerate", std::to_string(settings.framesPerSecond), "-i", "pipe:" + std::to_string(encoderFrameDescriptor),
        "-probesize", "32", "-f", "s16le", "-sample_rate", std::to_string(settings.soundRate),
        "-channels", std::to_string(settings.soundChannels), "-thread_queue_size", "64",
        "-i", "pipe:" + std::to_string(encoderSoundDescriptor), "-map", "0:v", "-map", "1:a"};
    if (settings.preset == VideoPreset::master)
        // RGB as drawn, losslessly: no matrix, sRGB's transfer.
        append(arguments, {"-vf", "vflip", "-c:v", "ffv1", "-level", "3", "-pix_fmt", "bgr0", "-colorspace", "rgb",
                           "-color_primaries", "bt709", "-color_trc", "iec61966-2-1"});
    else
        addH264(arguments, settings);
    const bool matroska = isMatroskaPath(settings.path);
    if (matroska)
        append(arguments, {"-c:a", "flac", "-f", "matroska"});
    else if (settings.preset == VideoPreset::plain)
        // The fast AAC coder takes a third of the default's time, and sounds
        // the same at this bitrate; it spends fewer bits than asked, though,
        // so the presets, whose bitrates are what sites and parties ask for,
        // keep the default coder.
        append(arguments, {"-c:a", "aac", "-aac_coder", "fast", "-b:a", "192k", "-movflags", "+faststart", "-f", "mp4"});
    else
        // Video sites and parties take AAC-LC at 48 kHz; the music is
        // resampled by the encoder.
        append(arguments, {"-c:a", "aac", "-profile:a", "aac_low", "-ar", "48000", "-b:a",
                           settings.preset == VideoPreset::youtube ? "384k" : "192k", "-movflags", "+faststart", "-f",
                           "mp4"});
    // "file:": a name with a colon in it is never taken for a protocol.
    arguments.push_back("file:" + output);
    return arguments;
}
