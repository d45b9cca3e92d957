#pragma once

#include "app/capture/BufferPool.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The files a capture writes, made as the capture goes: the frames' PNGs on
// writer threads of their own, and the sound as a WAV file that grows frame by
// frame.

// ---- Frame files

// Frame k of a capture of `frames` frames is "frame_" + k with as many digits
// as the last frame's number needs, at least five, + ".png": the names sort
// in frame order, and a capture of up to 100,000 frames names them as always.
unsigned frameNameDigits(unsigned long frames);
std::string frameFileName(unsigned long index, unsigned digits);

// Removes from `directory` the frame files numbered `from` or later (names
// "frame_", five or more digits, ".png"), and the temporary files of frames
// that were being written (the same with ".part"): an earlier capture's
// frames, or those written after a failed one. Nothing else is touched.
// False, with the reason in `error`, when one of them stays.
bool removeFrameFiles(const std::string& directory, unsigned long from, std::string& error);

// Frames on their way to disk. The drawing thread reads each finished frame
// into a free buffer and queues it; writer threads, running on the processor
// time the renderer leaves idle, encode the frames, top row first, each with a
// FramePngWriter of its own (engine/media/PngWriter.h), and write them. At
// most `depth` frames are held, so the memory stays bounded whatever the
// capture's length, and the same pixels give the same bytes whichever writer
// takes them. Each file is written under a temporary name beside its own
// ("frame_00012.png.part") and renamed into place once whole, so a frame file
// is never cut short under its final name, whenever the program stops.
class FrameQueue {
public:
    // depth ≥ writers: a buffer for each frame being written and the rest to
    // wait in.
    FrameQueue(int width, int height, std::size_t depth, unsigned writers);
    // Writes what is queued, then stops the writers.
    ~FrameQueue();
    FrameQueue(const FrameQueue&) = delete;
    FrameQueue& operator=(const FrameQueue&) = delete;

    // Reads the current OpenGL framebuffer (width × height from the lower
    // left) into a free buffer, waiting for one when all are queued, and
    // queues it to be written as frame `index`, the PNG file `path`. Nothing
    // once a write has failed.
    void readAndQueue(unsigned long index, const std::string& path);
    // True once a write has failed: the capture stops.
    bool hasFailed();
    // Waits until every queued frame is written, or, after a failed write,
    // until the writes under way have ended (the frames queued after it are
    // not written). False then, with "path: reason" of the failed write of the
    // lowest index in `error` and that index in `failedIndex`.
    bool finish(std::string& error, unsigned long& failedIndex);

private:
    struct Frame {
        std::vector<unsigned char> pixels;  // bottom row first, as OpenGL reads it
        std::string path;
        unsigned long index = 0;
    };

    void writeFrames();
    void noteFailure(const Frame& frame, const std::string& reason);

    const int width;
    const int height;
    BufferPool<Frame> frames;         // read into by the drawing thread; those in hand are being written
    bool closing = false;
    std::string failure;              // the failed write of the lowest index, "" while none
    unsigned long failedIndex = 0;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::thread> writers;
};

// 16-bit PCM written as it is made: the header first, then the samples in
// blocks of about 64 KiB. The header's lengths say no samples when it is
// opened; the first append half a second (steady clock) or more after they
// were last written puts every sample so far on disk and brings them up to
// date, and closing fills them in for good: a program killed outright (or
// crashed) leaves a valid WAV of the sound as of the last update. It is
// written under a temporary name beside its own (".part" added), made fresh
// so that no link or pipe planted there is followed, and moved into place
// when closed. A sound of at most 4 GiB is a RIFF WAV whose bytes are those
// of one written whole; a longer one is RF64 (the same with 64-bit lengths in
// a "ds64" chunk), chosen up front from the length the caller expects.
class SoundFile {
public:
    SoundFile() = default;
    ~SoundFile();
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    // Creates the file for interleaved `channels` at `rate` Hz, expected to
    // hold `expectedFrames` sample frames, under `path` + ".part" while it is
    // written. False, with the reason in failure(), when it cannot be written.
    bool open(const std::string& path, int rate, int channels, std::uint64_t expectedFrames);
    // Appends `count` samples (count / channels sample frames). False once
    // any write has failed (the reason in failure()); a RIFF file refuses to
    // grow past what its lengths can say.
    bool append(const std::int16_t* samples, std::size_t count);
    // The whole sample frames the file holds on disk now (after a failed
    // write, the ones that reached it).
    std::uint64_t framesOnDisk();
    // Keeps the first `frames` sample frames (at most those on disk), cuts
    // the file after them, fills in the lengths, closes and moves it into
    // place: the file is a whole WAV of those samples. False, with the reason
    // in failure(), when any write failed, before or now (the file is then
    // left under its temporary name when the move failed).
    bool close(std::uint64_t frames);
    // The same, keeping every sample appended.
    bool close();
    bool isRf64() const;
    // "" while every write succeeded, else the system's reason.
    const std::string& failure() const;

    // The largest sound a RIFF WAV can say, bytes of samples.
    static const std::uint64_t largestRiffData;

private:
    void fail();
    bool writePending();
    bool writeLengths();

    std::FILE* file = nullptr;          // unbuffered
    std::string path;                   // where the file goes when closed
    std::string partPath;               // where it is written
    int frameBytes = 4;                 // bytes of one sample frame
    bool rf64 = false;
    std::size_t headerBytes = 44;       // bytes before the samples
    std::uint64_t dataBytes = 0;        // bytes of samples appended
    std::uint64_t dataOnDisk = 0;       // of them, bytes written to the file
    std::vector<unsigned char> pending; // appended, not written yet
    std::chrono::steady_clock::time_point lengthsWritten;
    std::string failed;
};

// A track played from a point, looping: hands out its samples in order, as
// the music plays on while the frames are captured.
class MusicPlayhead {
public:
    // `track`: interleaved samples of `channels` at `rate` Hz, kept by the
    // caller; played from `fromMs` into it (wrapped by its length). An empty
    // track plays silence.
    MusicPlayhead(const std::vector<std::int16_t>& track, unsigned fromMs, int rate, int channels);
    // The next `frames` sample frames into `out` (resized).
    void next(std::size_t frames, std::vector<std::int16_t>& out);

private:
    const std::vector<std::int16_t>& track;
    int channels;
    std::size_t trackFrames = 0;
    std::size_t position = 0;  // sample frame of the track played next
};
