#include "app/capture/VideoFile.h"

#include "engine/platform/Platform.h"

#include <algorithm>
#include <cassert>
#include <chrono>
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

// ffmpeg's spelling of a rate in Mb/s, or a size in Mb: "60M".
std::string megabits(unsigned count) { return std::to_string(count) + "M"; }

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
    const X264Settings& x264 = videoPresetSpec(settings.preset).x264;
    append(arguments, {"-preset", x264.speed});
    if (*x264.level)
        append(arguments, {"-level:v", x264.level});
    if (x264.bitrateMbps == 0)
        append(arguments, {"-crf", std::to_string(x264.crf)});
    else
        append(arguments, {"-b:v", megabits(x264.bitrateMbps), "-maxrate", megabits(x264.maxrateMbps), "-bufsize",
                           megabits(x264.bufsizeMbits)});
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

// ---- Presets ----

const std::vector<VideoPresetSpec>& videoPresets() {
    static const std::vector<VideoPresetSpec> table = {
        // The capture's own size and rate. libx264's quickest setting at a
        // quality that keeps its loss near 50 dB: the encoder shares the
        // processor with the drawing. The fast AAC coder takes a third of the
        // default's time, and sounds the same at this bitrate; it spends fewer
        // bits than asked, though, so the presets, whose bitrates are what
        // sites and parties ask for, keep the default coder.
        {VideoPreset::plain, "", 0, 0, 0, VideoCodec::h264, {"ultrafast", "", 16, 0, 0, 0}, AacCoder::fast, 192,
         false},
        // The demo's 4:3 at 2160 rows, 60 frames a second, in the 2160p60
        // range video sites recommend: 53 to 68 Mb/s, at which libx264's
        // quickest setting loses nothing visible.
        {VideoPreset::youtube, "youtube", 2880, 2160, 60, VideoCodec::h264, {"ultrafast", "", 0, 60, 68, 68},
         AacCoder::lc48kHz, 384, false},
        // What a compo's video player takes: 1080p (the picture pillarboxed)
        // at 30, level 4.1 (up to 50 Mb/s), 8 Mb/s.
        {VideoPreset::party, "party", 1920, 1080, 30, VideoCodec::h264, {"veryfast", "4.1", 0, 8, 10, 10},
         AacCoder::lc48kHz, 192, false},
        // For archiving: the frames exactly, at the capture's own size and
        // rate, with FLAC, in Matroska.
        {VideoPreset::master, "master", 0, 0, 0, VideoCodec::ffv1, {}, AacCoder::lc48kHz, 192, true},
    };
    return table;
}

const VideoPresetSpec& videoPresetSpec(VideoPreset preset) {
    const VideoPresetSpec& row = videoPresets()[static_cast<std::size_t>(preset)];
    assert(row.preset == preset);
    return row;
}

bool parsePreset(const std::string& name, VideoPreset& preset) {
    for (const VideoPresetSpec& row : videoPresets())
        if (name == row.name) {
            preset = row.preset;
            return true;
        }
    return false;
}

std::vector<std::string> encodersFor(VideoPreset preset, const std::string& path) {
    const char* sound = isMatroskaPath(path) ? "flac" : "aac";
    if (videoPresetSpec(preset).codec == VideoCodec::ffv1)
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
    const VideoPresetSpec& preset = videoPresetSpec(settings.preset);
    if (preset.codec == VideoCodec::ffv1)
        // RGB as drawn, losslessly: no matrix, sRGB's transfer.
        append(arguments, {"-vf", "vflip", "-c:v", "ffv1", "-level", "3", "-pix_fmt", "bgr0", "-colorspace", "rgb",
                           "-color_primaries", "bt709", "-color_trc", "iec61966-2-1"});
    else
        addH264(arguments, settings);
    const std::string aacBitrate = std::to_string(preset.aacKbps) + "k";
    if (isMatroskaPath(settings.path))
        append(arguments, {"-c:a", "flac", "-f", "matroska"});
    else if (preset.aac == AacCoder::fast)
        append(arguments,
               {"-c:a", "aac", "-aac_coder", "fast", "-b:a", aacBitrate, "-movflags", "+faststart", "-f", "mp4"});
    else
        append(arguments, {"-c:a", "aac", "-profile:a", "aac_low", "-ar", "48000", "-b:a", aacBitrate, "-movflags",
                           "+faststart", "-f", "mp4"});
    // "file:": a name with a colon in it is never taken for a protocol.
    arguments.push_back("file:" + output);
    return arguments;
}

bool checkVideoEncoder(const VideoSettings& settings, std::string& error) {
    if (!tarnix::childProcessesAvailable) {
        error = settings.path + ": captures to video are not available in this build; "
                                "capture to a folder of frames instead (--capture DIR)";
        return false;
    }
    const std::string program = tarnix::findProgram(encoderProgram);
    if (program.empty()) {
        error = settings.path + ": a capture to a video needs the ffmpeg program, and there is none " +
                tarnix::programPlaces + " (" + tarnix::programAdvice(encoderProgram) + ")";
        return false;
    }
    std::string listed;
    tarnix::programOutput(program, {encoderProgram, "-hide_banner", "-encoders"}, listed);
    for (const std::string& name : encodersFor(settings.preset, settings.path))
        if (listed.find(" " + name + " ") == std::string::npos) {
            error = settings.path + ": " + program + " has no " + name + " encoder, which this video needs";
            return false;
        }
    return true;
}

// ---- VideoEncoder ----

namespace {

// The encoder's pipes, in the order start() makes them.
const int framePipe = encoderFrameDescriptor - tarnix::ChildProcess::firstPipeDescriptor;
const int soundPipe = encoderSoundDescriptor - tarnix::ChildProcess::firstPipeDescriptor;

// How long a writer waits in one go for its pipe to take more, and the
// drawing thread for the writers, before each looks again at why it waits.
const int sliceMs = 50;
// How often the encoder's threads are looked at while the drawing thread waits.
const std::chrono::milliseconds lookInterval(250);
// How long an encoder whose threads cannot be looked at may take no bytes:
// it may be busy ending the file.
const int blindLimitMs = 30000;

}  // namespace

// The encoder's signs of life over the drawing thread's current wait.
struct VideoEncoder::Watch {
    std::chrono::steady_clock::time_point quietSince = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastLook = quietSince;
    std::uint64_t bytes = 0;
    unsigned long long ticks = 0;
};

VideoEncoder::~VideoEncoder() {
    if (encoder.running() || frameWriter.joinable() || soundWriter.joinable()) {
        abandoned = true;
        stopWriters();
        closeStreams();
        encoder.kill();
    }
    if (!partPath.empty())
        std::remove(partPath.c_str());
}

bool VideoEncoder::start(const VideoSettings& wanted, std::function<bool()> askStop) {
    settings = wanted;
    stopRequested = std::move(askStop);
    partPath = settings.path + ".part";
    const std::string program = tarnix::findProgram(encoderProgram);
    if (program.empty()) {
        fail(std::string("the ffmpeg program is not ") + tarnix::programPlaces);
        partPath.clear();
        return false;
    }
    // The temporary file is made here, fresh, so that ffmpeg opens no link or
    // pipe planted under its name.
    std::FILE* part = tarnix::createFreshFile(partPath);
    if (!part) {
        fail(partPath + ": cannot be written: " + std::strerror(errno));
        partPath.clear();
        return false;
    }
    std::fclose(part);
    const std::size_t bytes = frameBytes(settings.layout, settings.width, settings.height);
    std::string error;
    if (!encoder.start(program, encoderArguments(settings, partPath), {bytes, 0}, error)) {
        fail(error);
        std::remove(partPath.c_str());
        partPath.clear();
        return false;
    }
    frames = BufferPool<std::vector<unsigned char>>(framesWaiting, std::vector<unsigned char>(bytes));
    frameWriter = std::thread(&VideoEncoder::writeFrames, this);
    soundWriter = std::thread(&VideoEncoder::writeSound, this);
    return true;
}

unsigned char* VideoEncoder::frameBuffer() {
    std::unique_lock<std::mutex> lock(mutex);
    if (filling == framesWaiting) {
        if (!waitWatching(lock, [this] { return broken || frames.hasIdle(); }, true) || broken)
            return nullptr;
        filling = frames.takeIdle();
    }
    return frames[filling].data();
}

bool VideoEncoder::addFrame() {
    std::lock_guard<std::mutex> lock(mutex);
    if (broken || filling == framesWaiting)
        return false;
    frames.queue(filling);
    filling = framesWaiting;
    ++added;
    changed.notify_all();
    return true;
}

bool VideoEncoder::addSound(const std::int16_t* samples, std::size_t count) {
    std::lock_guard<std::mutex> lock(mutex);
    if (broken)
        return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples);
    sound.insert(sound.end(), bytes, bytes + count * sizeof(std::int16_t));
    changed.notify_all();
    return true;
}

unsigned long VideoEncoder::framesAdded() const { return added; }

void VideoEncoder::writeFrames() {
    for (;;) {
        std::size_t buffer;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return broken || closing || frames.hasQueued(); });
            if (broken || !frames.hasQueued())
                break;
            buffer = frames.takeQueued();
        }
        const bool sent = send(framePipe, frames[buffer].data(), frames[buffer].size());
        std::lock_guard<std::mutex> lock(mutex);
        frames.giveBack(buffer);
        changed.notify_all();
        if (!sent)
            break;
    }
    encoder.closePipe(framePipe);  // the end of the picture for ffmpeg
    std::lock_guard<std::mutex> lock(mutex);
    ++writersDone;
    changed.notify_all();
}

void VideoEncoder::writeSound() {
    std::vector<unsigned char> writing;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return broken || closing || !sound.empty(); });
            if (broken || sound.empty())
                break;
            writing.swap(sound);
            sound.clear();
        }
        if (!send(soundPipe, writing.data(), writing.size()))
            break;
    }
    encoder.closePipe(soundPipe);
    std::lock_guard<std::mutex> lock(mutex);
    ++writersDone;
    changed.notify_all();
}

// Writes all of `count` bytes; false, the writers stopping, when ffmpeg
// takes no more or is given up.
bool VideoEncoder::send(int pipe, const unsigned char* bytes, std::size_t count) {
    while (count > 0 && !abandoned) {
        const long written = encoder.write(pipe, bytes, count, sliceMs);
        if (written < 0)
            break;
        bytes += written;
        count -= static_cast<std::size_t>(written);
        bytesTaken += static_cast<std::uint64_t>(written);
    }
    if (count == 0)
        return true;
    std::lock_guard<std::mutex> lock(mutex);
    broken = true;
    changed.notify_all();
    return false;
}

// Waits, a slice at a time, until `ready` holds. False when the wait ended
// otherwise: the encoder was given up (the reason in failure()), or, with
// `endOnStop`, a stop was asked for. The stop question is asked without the
// lock held: it may take its time (it reads the window's events).
bool VideoEncoder::waitWatching(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready,
                                bool endOnStop) {
    Watch watch;
    watch.bytes = bytesTaken;
    while (!ready()) {
        if (abandoned)
            return false;
        changed.wait_for(lock, std::chrono::milliseconds(sliceMs));
        if (ready())
            return true;
        lock.unlock();
        if (!stopping && stopRequested && stopRequested())
            stopping = true;
        const bool quiet = encoderQuiet(watch);
        lock.lock();
        if (stopping && endOnStop)
            return false;
        if (quiet) {
            lock.unlock();
            const bool spoke = encoder.spoke();
            const tarnix::ProcessActivity activity = encoder.activity();
            giveUp(spoke                ? encoderMessage()
                   : activity.stopped   ? "ffmpeg is stopped and takes nothing"
                                        : "ffmpeg has taken nothing for " + std::to_string(quietLimitMs / 1000) +
                                            " s and does no work");
            lock.lock();
            return false;
        }
    }
    return true;
}

// Whether the encoder has been quiet for longer than it may be: it took no
// bytes and none of its threads worked (or waited to) since the wait began
// or since it last did. An encoder that cannot be looked at is judged by the
// bytes alone, over the longer limit.
bool VideoEncoder::encoderQuiet(Watch& watch) {
    const auto now = std::chrono::steady_clock::now();
    if (now - watch.lastLook < lookInterval || !encoder.running())
        return false;
    watch.lastLook = now;
    const std::uint64_t bytes = bytesTaken;
    const tarnix::ProcessActivity activity = encoder.activity();
    if (bytes != watch.bytes || (activity.known && (activity.working || activity.ticks != watch.ticks)))
        watch.quietSince = now;
    watch.bytes = bytes;
    watch.ticks = activity.ticks;
    const int limitMs = !activity.known                ? blindLimitMs
                        : stopping || encoder.spoke() ? quietAfterWordMs
                                                     : quietLimitMs;
    return now - watch.quietSince >= std::chrono::milliseconds(limitMs);
}

// The encoder will not finish: it is killed, the writers leave, and the
// capture fails with `reason`.
void VideoEncoder::giveUp(const std::string& reason) {
    fail(reason);
    abandoned = true;
    encoder.kill();
    std::lock_guard<std::mutex> lock(mutex);
    broken = true;
    changed.notify_all();
}

void VideoEncoder::stopWriters() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        closing = true;
        changed.notify_all();
    }
    if (frameWriter.joinable())
        frameWriter.join();
    if (soundWriter.joinable())
        soundWriter.join();
}

bool VideoEncoder::finish() {
    {
        std::unique_lock<std::mutex> lock(mutex);
        closing = true;
        changed.notify_all();
        waitWatching(lock, [this] { return writersDone == 2; }, false);
    }
    stopWriters();
    closeStreams();
    // ffmpeg ends the file: watched as the writes were.
    int status = -1;
    if (!abandoned) {
        std::unique_lock<std::mutex> lock(mutex);
        waitWatching(lock, [this, &status] { return (status = encoder.exitStatus()) != -2; }, false);
    }
    encoder.kill();
    if (failed.empty() && (status != 0 || broken)) {
        // ffmpeg stopped reading or failed at the end: it says why.
        const std::string said = encoderMessage();
        fail(said.empty() ? "ffmpeg ended with status " + std::to_string(status) : said);
    }
    if (failed.empty() && !tarnix::replaceFile(partPath, settings.path)) {
        // ffmpeg finished the video: it stays, under the name it has.
        fail(partPath + ": cannot be renamed to " + settings.path + ": " + std::strerror(errno));
        kept = partPath;
    } else if (!failed.empty()) {
        std::remove(partPath.c_str());
    }
    partPath.clear();
    return failed.empty();
}

const std::string& VideoEncoder::failure() const { return failed; }

const std::string& VideoEncoder::leftover() const { return kept; }

void VideoEncoder::fail(const std::string& reason) {
    if (failed.empty())
        failed = reason;
}

void VideoEncoder::closeStreams() {
    encoder.closePipe(framePipe);
    encoder.closePipe(soundPipe);
}

// ffmpeg's last line on its standard error, "" when it said nothing.
std::string VideoEncoder::encoderMessage() {
    const std::string last = encoder.lastMessage();
    return last.empty() ? "" : "ffmpeg: " + last;
}
