#include "app/capture/CaptureFiles.h"

#include "engine/core/OpenGL.h"
#include "engine/core/Threads.h"
#include "engine/media/PngWriter.h"

#include <cstddef>

namespace {

const int frameCompression = 1;  // fast: thousands of frames; still the same bytes every time

}  // namespace

// ---- Frames ----

FrameQueue::FrameQueue(int frameWidth, int frameHeight, std::size_t depth, unsigned writerCount)
    : width(frameWidth), height(frameHeight), frames(depth) {
    for (std::size_t i = 0; i < depth; ++i) {
        frames[i].pixels.resize(static_cast<std::size_t>(width) * height * 3);
        idle.push_back(i);
    }
    for (unsigned i = 0; i < writerCount; ++i)
        writers.emplace_back(&FrameQueue::writeFrames, this);
}

FrameQueue::~FrameQueue() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        closing = true;
    }
    changed.notify_all();
    for (std::thread& writer : writers)
        writer.join();
}

void FrameQueue::readAndQueue(const std::string& path) {
    std::size_t buffer = 0;
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return !idle.empty() || !failure.empty(); });
        if (!failure.empty())
            return;
        buffer = idle.front();
        idle.pop_front();
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, frames[buffer].pixels.data());
    {
        std::lock_guard<std::mutex> lock(mutex);
        frames[buffer].path = path;
        waiting.push_back(buffer);
    }
    changed.notify_all();
}

bool FrameQueue::hasFailed() {
    std::lock_guard<std::mutex> lock(mutex);
    return !failure.empty();
}

bool FrameQueue::finish(std::string& error) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return (waiting.empty() && writing == 0) || !failure.empty(); });
    error = failure;
    return failure.empty();
}

void FrameQueue::writeFrames() {
    tarnix::runInSpareTime();
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(width) * 3;
    for (;;) {
        std::size_t buffer = 0;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return !waiting.empty() || closing; });
            if (waiting.empty() || !failure.empty())
                return;
            buffer = waiting.front();
            waiting.pop_front();
            ++writing;
        }
        const Frame& frame = frames[buffer];
        const unsigned char* topRow = frame.pixels.data() + (height - 1) * stride;
        std::string error;
        const bool written =
            tarnix::writePngFile(frame.path, width, height, 3, topRow, -stride, frameCompression, error);
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!written && failure.empty())
                failure = frame.path + ": " + error;
            --writing;
            idle.push_back(buffer);
        }
        changed.notify_all();
    }
}

// ---- Sound ----

namespace {

void putLittleEndian(std::FILE* file, std::uint32_t value, int bytes) {
    unsigned char out[4];
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
    std::fwrite(out, 1, static_cast<std::size_t>(bytes), file);
}

const long riffSizeOffset = 4;   // bytes from the start
const long dataSizeOffset = 40;
const std::uint32_t headerBytesAfterRiffSize = 36;

}  // namespace

SoundFile::~SoundFile() {
    if (file)
        close();
}

bool SoundFile::open(const std::string& path, int rate, int channels) {
    file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    std::fwrite("RIFF", 1, 4, file);
    putLittleEndian(file, 0, 4);  // filled in by close()
    std::fwrite("WAVEfmt ", 1, 8, file);
    putLittleEndian(file, 16, 4);
    putLittleEndian(file, 1, 2);  // PCM
    putLittleEndian(file, static_cast<std::uint32_t>(channels), 2);
    putLittleEndian(file, static_cast<std::uint32_t>(rate), 4);
    putLittleEndian(file, static_cast<std::uint32_t>(rate * channels * 2), 4);
    putLittleEndian(file, static_cast<std::uint32_t>(channels * 2), 2);
    putLittleEndian(file, 16, 2);
    std::fwrite("data", 1, 4, file);
    putLittleEndian(file, 0, 4);  // filled in by close()
    return !std::ferror(file);
}

void SoundFile::append(const std::int16_t* samples, std::size_t count) {
    if (!file)
        return;
    std::vector<unsigned char> bytes(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        const auto sample = static_cast<std::uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<unsigned char>(sample & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(sample >> 8);
    }
    failed = failed || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size();
    dataBytes += static_cast<std::uint32_t>(bytes.size());
}

bool SoundFile::close() {
    if (!file)
        return false;
    std::fseek(file, riffSizeOffset, SEEK_SET);
    putLittleEndian(file, headerBytesAfterRiffSize + dataBytes, 4);
    std::fseek(file, dataSizeOffset, SEEK_SET);
    putLittleEndian(file, dataBytes, 4);
    failed = failed || std::ferror(file);
    failed = std::fclose(file) != 0 || failed;
    file = nullptr;
    return !failed;
}

// ---- Music ----

MusicPlayhead::MusicPlayhead(const std::vector<std::int16_t>& samples, unsigned fromMs, int rate, int trackChannels)
    : track(samples), channels(trackChannels), trackFrames(samples.size() / static_cast<std::size_t>(trackChannels)) {
    if (trackFrames > 0)
        position = static_cast<std::size_t>(static_cast<unsigned long long>(fromMs) * rate / 1000 % trackFrames);
}

void MusicPlayhead::next(std::size_t frames, std::vector<std::int16_t>& out) {
    out.assign(frames * channels, 0);
    if (trackFrames == 0)
        return;
    for (std::size_t i = 0; i < frames; ++i, position = (position + 1) % trackFrames)
        for (int c = 0; c < channels; ++c)
            out[i * channels + c] = track[position * channels + c];
}
