#pragma once

#include "app/capture/BufferPool.h"
#include "engine/platform/Platform.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A capture written straight to a video file by the ffmpeg program, the frames
// and the sound fed to it through two pipes as they are made: no frame files,
// and neither the disk nor the memory grows but by the video itself. The
// program runs as a child process only while capturing, so playing the demo
// and the release need nothing of FFmpeg.

// How the video is made: "--preset NAME", or none (plain). Everything a
// preset sets is its row of the presets' table, videoPresetSpec().
enum class VideoPreset { plain, youtube, party, master };

// How a preset encodes the picture.
enum class VideoCodec {
    h264,  // libx264, High profile, 4:2:0 with the HD matrix (BT.709, limited range)
    ffv1,  // lossless: the RGB as drawn
};

// The sound a preset puts in an ".mp4"; a ".mkv" holds FLAC, lossless, whatever the preset.
enum class AacCoder {
    fast,     // ffmpeg's fast AAC coder, at the music's own rate
    lc48kHz,  // AAC-LC with the default coder, resampled to 48 kHz: what video sites and parties take
};

// libx264's settings, in ffmpeg's terms.
struct X264Settings {
    const char* speed = "";     // "-preset": how long it searches for a good coding, "ultrafast" … "veryslow"
    const char* level = "";     // "-level:v": what a player must decode, "4.1"; "" leaves it to libx264
    unsigned crf = 0;           // "-crf": a constant quality, lower is finer; used when bitrateMbps is 0
    unsigned bitrateMbps = 0;   // "-b:v": the average, Mb/s (10^6 bits a second)
    unsigned maxrateMbps = 0;   // "-maxrate": the highest rate the player's buffer smooths out, Mb/s
    unsigned bufsizeMbits = 0;  // "-bufsize": the player's buffer, Mb
};

// One row of the presets' table: everything a preset sets.
struct VideoPresetSpec {
    VideoPreset preset = VideoPreset::plain;
    const char* name = "";         // what --preset takes; "" for plain, which has none
    int width = 0;                 // the frames, pixels, and their rate; all 0 to leave them to the
    int height = 0;                // capture (its window, --native or --scale, and --fps)
    unsigned framesPerSecond = 0;
    VideoCodec codec = VideoCodec::h264;
    X264Settings x264;             // with VideoCodec::h264
    AacCoder aac = AacCoder::fast;
    unsigned aacKbps = 0;          // the AAC's bitrate, kb/s
    bool needsMatroska = false;    // only a ".mkv" can hold the video

    bool setsFrames() const { return framesPerSecond > 0; }
};

// The presets' table, one row for each VideoPreset, in the order it lists them.
const std::vector<VideoPresetSpec>& videoPresets();
const VideoPresetSpec& videoPresetSpec(VideoPreset preset);
// The preset of that name; false for an unknown one. "" is plain: no preset.
bool parsePreset(const std::string& name, VideoPreset& preset);

// A ".mp4" or ".mkv" name, in any case: a capture to a video, not a directory.
bool isVideoPath(const std::string& path);
bool isMatroskaPath(const std::string& path);
// The ffmpeg encoders the video needs ("libx264", "aac", ...).
std::vector<std::string> encodersFor(VideoPreset preset, const std::string& path);

// How the frames reach ffmpeg.
enum class FrameLayout {
    rgb,   // width × height × 3 bytes of RGB, bottom row first, as OpenGL reads them
    nv12,  // width × height × 3 / 2 bytes of Y'CbCr 4:2:0 (BT.709, limited range), top row first,
           // as YCbCrFrameReader converts them on the renderer
};

// Bytes a frame of that layout takes.
std::size_t frameBytes(FrameLayout layout, int width, int height);

struct VideoSettings {
    std::string path;  // the video file: ".mp4" or ".mkv"
    VideoPreset preset = VideoPreset::plain;
    int width = 640;   // the frames, pixels
    int height = 480;
    unsigned framesPerSecond = 60;
    FrameLayout layout = FrameLayout::rgb;
    int soundRate = 44100;  // the sound: interleaved 16-bit samples
    int soundChannels = 2;
};

// The encoder program, and the descriptors it reads the frames and the sound
// from ("pipe:3", "pipe:4").
inline constexpr char encoderProgram[] = "ffmpeg";
inline constexpr int encoderFrameDescriptor = tarnix::ChildProcess::firstPipeDescriptor;
inline constexpr int encoderSoundDescriptor = encoderFrameDescriptor + 1;

// ffmpeg's arguments (its name first) for frames read from descriptor 3 in
// the settings' layout and the sound from descriptor 4, into `output`.
std::vector<std::string> encoderArguments(const VideoSettings& settings, const std::string& output);

// Whether a video can be written at `path`: "" when it can, else the line
// that says why not (a folder of that name, a folder that cannot be written
// in). Asked before anything is drawn, so that no capture's work ends in a
// video that cannot be kept.
std::string videoTargetProblem(const std::string& path);

// Whether the ffmpeg program can be run here and has the encoders the video
// needs; false with one line saying what is missing in `error`.
bool checkVideoEncoder(const VideoSettings& settings, std::string& error);

// The ffmpeg program encoding one video. The frames and the sound reach it
// through two pipes, each written by a thread of its own: ffmpeg reads its
// inputs in its own order (the sound ahead of the picture while it starts),
// and a pipe that waits must never hold up the other. The drawing thread hands
// over each frame and its sound; at most `framesWaiting` frames wait, so the
// memory stays bounded whatever the video's length.
//
// The file is written under a temporary name beside its own (".part" added)
// and renamed into place once ffmpeg has closed it whole, so a video is never
// left cut short under its final name; an earlier video of that name stays
// until then.
//
// No wait on ffmpeg is unbounded. While the drawing thread waits for it, the
// encoder is watched: one that takes no bytes and does no work (its threads
// asleep or stopped, its processor time standing still) for `quietLimitMs`,
// or for `quietAfterWordMs` once it has said something on its standard error
// or a stop is asked for, is given up: killed, its file removed, and the
// capture fails with its own last line ("No space left on device"). One that
// is merely starved of processor time is runnable and is waited for.
class VideoEncoder {
public:
    VideoEncoder() = default;
    // A video not finished is abandoned: ffmpeg is killed, its file removed.
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Starts ffmpeg, in a process group of its own so that a Ctrl+C at the
    // terminal reaches only this program, which then ends the video whole;
    // ffmpeg is killed when the thread that started it ends (the program
    // killed or crashed), so no video is ever finished unattended.
    // `stopRequested` is asked, on the drawing thread, every 50 ms that it
    // waits for the encoder: true ends the wait (a stop signal, a closed
    // window). False, with the reason in failure().
    bool start(const VideoSettings& settings, std::function<bool()> stopRequested = nullptr);
    // A buffer for the next frame, frameBytes() of the settings' layout,
    // waiting while all are taken; then addFrame() queues it. Null once
    // ffmpeg took no more (the reason in failure()) or when a stop was asked
    // for while waiting (failure() empty).
    unsigned char* frameBuffer();
    bool addFrame();
    // Interleaved samples of the frames' sound, in order.
    bool addSound(const std::int16_t* samples, std::size_t count);
    // Ends the streams once all is written, waits for ffmpeg and moves the
    // file into place. False, with the reason in failure() (ffmpeg's own last
    // line when it failed): the unfinished file is removed, but a file ffmpeg
    // finished is kept under its temporary name, in leftover().
    bool finish();
    const std::string& failure() const;
    // A whole video left under the temporary name because it could not be
    // moved into place, "" when none.
    const std::string& leftover() const;
    // Frames handed to ffmpeg by addFrame().
    unsigned long framesAdded() const;

    static const std::size_t framesWaiting = 4;
    static const int quietLimitMs = 5000;
    static const int quietAfterWordMs = 1000;

private:
    struct Watch;

    void writeFrames();
    void writeSound();
    bool send(int pipe, const unsigned char* bytes, std::size_t count);
    void fail(const std::string& reason);
    bool waitWatching(std::unique_lock<std::mutex>& lock, const std::function<bool()>& ready, bool endOnStop);
    bool encoderQuiet(Watch& watch);
    void giveUp(const std::string& reason);
    void stopWriters();
    void closeStreams();
    std::string encoderMessage();

    VideoSettings settings;
    std::string partPath;           // the file while ffmpeg writes it
    std::string kept;               // a finished video left under partPath
    tarnix::ChildProcess encoder;   // ffmpeg, with the pipes of the frames and the sound
    std::function<bool()> stopRequested;
    bool stopping = false;          // a stop was asked for: the encoder gets less time to answer

    std::mutex mutex;
    std::condition_variable changed;
    BufferPool<std::vector<unsigned char>> frames;  // filled by the drawing thread, written by frameWriter
    std::size_t filling = framesWaiting;            // the buffer handed out, framesWaiting when none
    std::vector<unsigned char> sound;               // sound bytes not yet written
    unsigned long added = 0;                        // frames queued by addFrame()
    int writersDone = 0;                            // writer threads that have closed their pipe
    bool closing = false;                           // no more frames or sound will come
    bool broken = false;                            // a write failed: the writers stop
    std::atomic<bool> abandoned{false};             // the encoder is given up: writers leave at once
    std::atomic<std::uint64_t> bytesTaken{0};       // by ffmpeg, of both pipes
    std::string failed;
    std::thread frameWriter;
    std::thread soundWriter;
};
