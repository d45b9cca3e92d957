#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The files a capture writes, made as the capture goes: the frames' PNGs on
// a thread of their own, and the sound as a WAV file that grows frame by frame.

// Frames on their way to disk. The drawing thread reads each finished frame
// into a free buffer and queues it; writer threads, running on the processor
// time the renderer leaves idle, encode the frames, top row first, and write
// them. At most `depth` frames are held, so the memory stays bounded whatever
// the capture's length, and the files are byte for byte the ones the drawing
// thread used to write itself.
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
    // queues it to be written as the PNG file `path`. Nothing once a write
    // has failed.
    void readAndQueue(const std::string& path);
    // True once a write has failed: the capture stops.
    bool hasFailed();
    // Waits until every queued frame is written. False, with "path: reason"
    // of the first failed write in `error`, when one failed (the frames
    // queued after it are not written).
    bool finish(std::string& error);

private:
    struct Frame {
        std::vector<unsigned char> pixels;  // bottom row first, as OpenGL reads it
        std::string path;
    };

    void writeFrames();

    const int width;
    const int height;
    std::vector<Frame> frames;        // the buffers
    std::deque<std::size_t> idle;     // buffers free to read into
    std::deque<std::size_t> waiting;  // buffers read, in order, not yet written
    std::size_t writing = 0;          // buffers the writers hold
    bool closing = false;
    std::string failure;              // the first failed write, "" while none
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::thread> writers;
};

// 16-bit PCM written as it is made: the header first with the lengths left
// open, the samples appended, the lengths filled in at the end. The bytes are
// those of a WAV file written whole.
class SoundFile {
public:
    SoundFile() = default;
    ~SoundFile();
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    // Creates the file for interleaved `channels` at `rate` Hz; false when it
    // cannot be written.
    bool open(const std::string& path, int rate, int channels);
    // Appends `count` samples (count / channels sample frames).
    void append(const std::int16_t* samples, std::size_t count);
    // Fills in the lengths and closes; false when any write failed.
    bool close();

private:
    std::FILE* file = nullptr;
    std::uint32_t dataBytes = 0;
    bool failed = false;
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
