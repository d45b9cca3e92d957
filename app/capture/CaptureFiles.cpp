#include "app/capture/CaptureFiles.h"

#include "engine/core/OpenGL.h"
#include "engine/media/PngWriter.h"
#include "engine/platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

// ---- Frame files ----

namespace {

const char* const framePrefix = "frame_";
const char* const frameSuffix = ".png";
const char* const writingSuffix = ".part";
const unsigned fewestDigits = 5;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The number of a frame file's or a frame being written's name; false for
// any other name.
bool frameNumberOf(const std::string& name, unsigned long long& number) {
    std::string stem = name;
    if (endsWith(stem, writingSuffix))
        stem.resize(stem.size() - std::strlen(writingSuffix));
    if (stem.rfind(framePrefix, 0) != 0 || !endsWith(stem, frameSuffix))
        return false;
    const std::string digits =
        stem.substr(std::strlen(framePrefix), stem.size() - std::strlen(framePrefix) - std::strlen(frameSuffix));
    if (digits.size() < fewestDigits ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    number = 0;
    for (char digit : digits)  // past 2^64 a number stays at the most: later than any frame
        number = number > (~0ull - 9) / 10 ? ~0ull : number * 10 + static_cast<unsigned>(digit - '0');
    return true;
}

}  // namespace

unsigned frameNameDigits(unsigned long frames) {
    unsigned digits = 1;
    for (unsigned long last = frames > 0 ? frames - 1 : 0; last >= 10; last /= 10)
        ++digits;
    return std::max(digits, fewestDigits);
}

std::string frameFileName(unsigned long index, unsigned digits) {
    char number[32];
    std::snprintf(number, sizeof number, "%0*lu", static_cast<int>(digits), index);
    return framePrefix + std::string(number) + frameSuffix;
}

bool removeFrameFiles(const std::string& directory, unsigned long from, std::string& error) {
    std::vector<std::string> names;
    if (!tarnix::listDirectory(directory, names, error))
        return false;
    for (const std::string& name : names) {
        unsigned long long number = 0;
        if (!frameNumberOf(name, number) || number < from)
            continue;
        const std::string path = directory + "/" + name;
        if (std::remove(path.c_str()) != 0) {
            error = path + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

// ---- Frames ----

FrameQueue::FrameQueue(int frameWidth, int frameHeight, std::size_t depth, unsigned writerCount)
    : width(frameWidth),
      height(frameHeight),
      frames(depth, Frame{std::vector<unsigned char>(static_cast<std::size_t>(frameWidth) * frameHeight * 3), "", 0}) {
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

void FrameQueue::readAndQueue(unsigned long index, const std::string& path) {
    std::size_t buffer = 0;
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return frames.hasIdle() || !failure.empty(); });
        if (!failure.empty())
            return;
        buffer = frames.takeIdle();
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, frames[buffer].pixels.data());
    {
        std::lock_guard<std::mutex> lock(mutex);
        frames[buffer].path = path;
        frames[buffer].index = index;
        frames.queue(buffer);
    }
    changed.notify_all();
}

bool FrameQueue::hasFailed() {
    std::lock_guard<std::mutex> lock(mutex);
    return !failure.empty();
}

bool FrameQueue::finish(std::string& error, unsigned long& failed) {
    std::unique_lock<std::mutex> lock(mutex);
    // After a failure the writes under way still end first: nothing may land
    // in the directory once the caller has put it in order.
    changed.wait(lock, [this] { return frames.inHand() == 0 && (!frames.hasQueued() || !failure.empty()); });
    error = failure;
    failed = failedIndex;
    return failure.empty();
}

void FrameQueue::noteFailure(const Frame& frame, const std::string& reason) {
    if (failure.empty() || frame.index < failedIndex) {
        failure = frame.path + ": " + reason;
        failedIndex = frame.index;
    }
}

void FrameQueue::writeFrames() {
    tarnix::runInSpareTime();
    tarnix::FramePngWriter png;
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(width) * 3;
    for (;;) {
        std::size_t buffer = 0;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return frames.hasQueued() || closing; });
            if (!frames.hasQueued() || !failure.empty())
                return;
            buffer = frames.takeQueued();
        }
        const Frame& frame = frames[buffer];
        const unsigned char* topRow = frame.pixels.data() + (height - 1) * stride;
        const std::string temporary = frame.path + writingSuffix;
        std::string error;
        bool written = png.write(temporary, width, height, 3, topRow, -stride, error);
        if (written && !tarnix::replaceFile(temporary, frame.path)) {
            error = std::strerror(errno);
            written = false;
        }
        if (!written)
            std::remove(temporary.c_str());
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!written)
                noteFailure(frame, error);
            frames.giveBack(buffer);
        }
        changed.notify_all();
    }
}

// ---- Sound ----

namespace {

void putLittleEndian(unsigned char* out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}

// RIFF: "RIFF" size "WAVE", "fmt " chunk, "data" size, samples.
const std::size_t riffHeaderBytes = 44;
const long riffSizeOffset = 4;  // bytes from the start; 32 bits each
const long riffDataSizeOffset = 40;
// RF64: "RF64" -1 "WAVE", "ds64" chunk (64-bit RIFF size, data size and
// sample frames, an empty table), "fmt " chunk, "data" -1, samples.
const std::size_t rf64HeaderBytes = 80;
const long rf64SizesOffset = 20;
const std::uint32_t lengthInDs64 = 0xFFFFFFFF;  // "see the ds64 chunk"

// How often, at most, the lengths are brought up to date while the sound
// grows, steady-clock time: the first append this long after the last update
// makes the next. A program killed outright loses the sound appended since.
const std::chrono::milliseconds lengthsInterval(500);
// Samples are written in blocks of about this many bytes.
const std::size_t blockBytes = 64 * 1024;

}  // namespace

const std::uint64_t SoundFile::largestRiffData = 0xFFFFFFFFull - (riffHeaderBytes - 8);

SoundFile::~SoundFile() {
    if (file)
        close();
}

bool SoundFile::open(const std::string& finalPath, int rate, int channels, std::uint64_t expectedFrames) {
    frameBytes = channels * 2;
    rf64 = expectedFrames * static_cast<std::uint64_t>(frameBytes) > largestRiffData;
    headerBytes = rf64 ? rf64HeaderBytes : riffHeaderBytes;
    dataBytes = dataOnDisk = 0;
    pending.clear();
    failed.clear();
    path = finalPath;
    partPath = finalPath + writingSuffix;
    file = tarnix::createFreshFile(partPath);
    if (!file) {
        fail();
        return false;
    }
    // Unbuffered: the samples go out in blocks of their own, so that the
    // bytes on disk are known exactly, even after a failed write.
    std::setvbuf(file, nullptr, _IONBF, 0);
    unsigned char header[rf64HeaderBytes] = {};
    unsigned char* at = header;
    auto put = [&at](const char* text) { std::memcpy(at, text, 4); at += 4; };
    auto number = [&at](std::uint64_t value, int bytes) { putLittleEndian(at, value, bytes); at += bytes; };
    put(rf64 ? "RF64" : "RIFF");
    number(rf64 ? lengthInDs64 : 0, 4);  // RIFF: filled in by writeLengths()
    put("WAVE");
    if (rf64) {
        put("ds64");
        number(28, 4);
        at += 28;  // the sizes, filled in by writeLengths()
    }
    put("fmt ");
    number(16, 4);
    number(1, 2);  // PCM
    number(static_cast<std::uint64_t>(channels), 2);
    number(static_cast<std::uint64_t>(rate), 4);
    number(static_cast<std::uint64_t>(rate) * frameBytes, 4);
    number(static_cast<std::uint64_t>(frameBytes), 2);
    number(16, 2);
    put("data");
    number(rf64 ? lengthInDs64 : 0, 4);
    if (std::fwrite(header, 1, headerBytes, file) != headerBytes || !writeLengths()) {
        fail();
        return false;
    }
    return true;
}

bool SoundFile::append(const std::int16_t* samples, std::size_t count) {
    if (!file || !failed.empty())
        return false;
    if (!rf64 && dataBytes + count * 2 > largestRiffData) {
        failed = "the sound is longer than a WAV file can say";
        return false;
    }
    const std::size_t at = pending.size();
    pending.resize(at + count * 2);
    for (std::size_t i = 0; i < count; ++i)
        putLittleEndian(&pending[at + 2 * i], static_cast<std::uint16_t>(samples[i]), 2);
    dataBytes += count * 2;
    if (pending.size() >= blockBytes && !writePending())
        return false;
    if (std::chrono::steady_clock::now() - lengthsWritten >= lengthsInterval && !writeLengths()) {
        fail();
        return false;
    }
    return true;
}

std::uint64_t SoundFile::framesOnDisk() {
    if (file && failed.empty())
        writePending();
    return dataOnDisk / static_cast<std::uint64_t>(frameBytes);
}

bool SoundFile::close(std::uint64_t frames) {
    if (!file)
        return false;
    const std::uint64_t keptBytes =
        std::min(frames, framesOnDisk()) * static_cast<std::uint64_t>(frameBytes);
    // Whatever lies past the kept samples goes: those let go, and the part of
    // a failed write that reached the disk.
    const bool cut = tarnix::truncateFile(file, headerBytes + keptBytes);
    if (!cut)
        fail();
    dataOnDisk = keptBytes;
    const bool lengths = writeLengths();
    if (!lengths)
        fail();
    const bool closedFile = std::fclose(file) == 0;
    if (!closedFile)
        fail();
    file = nullptr;
    const bool moved = tarnix::replaceFile(partPath, path);
    if (!moved && failed.empty())
        failed = "cannot be moved into place from " + partPath + ": " + std::strerror(errno);
    return cut && lengths && closedFile && moved && failed.empty();
}

bool SoundFile::close() { return close(dataBytes / static_cast<std::uint64_t>(frameBytes)); }

bool SoundFile::isRf64() const { return rf64; }

const std::string& SoundFile::failure() const { return failed; }

void SoundFile::fail() {
    if (failed.empty())
        failed = errno != 0 ? std::strerror(errno) : "the sound could not be written";
}

bool SoundFile::writePending() {
    const std::size_t written = pending.empty() ? 0 : std::fwrite(pending.data(), 1, pending.size(), file);
    dataOnDisk += written;
    const bool whole = written == pending.size();
    pending.clear();
    if (!whole)
        fail();
    return whole;
}

// The lengths of the samples on disk, so that what the file says and what
// it holds agree whenever the program stops.
bool SoundFile::writeLengths() {
    if (failed.empty())
        writePending();
    unsigned char sizes[24];
    bool written = true;
    if (rf64) {
        putLittleEndian(sizes, static_cast<std::uint64_t>(rf64HeaderBytes - 8) + dataOnDisk, 8);
        putLittleEndian(sizes + 8, dataOnDisk, 8);
        putLittleEndian(sizes + 16, dataOnDisk / static_cast<std::uint64_t>(frameBytes), 8);
        written = std::fseek(file, rf64SizesOffset, SEEK_SET) == 0 && std::fwrite(sizes, 1, 24, file) == 24;
    } else {
        putLittleEndian(sizes, static_cast<std::uint64_t>(riffHeaderBytes - 8) + dataOnDisk, 4);
        putLittleEndian(sizes + 4, dataOnDisk, 4);
        written = std::fseek(file, riffSizeOffset, SEEK_SET) == 0 && std::fwrite(sizes, 1, 4, file) == 4 &&
                  std::fseek(file, riffDataSizeOffset, SEEK_SET) == 0 && std::fwrite(sizes + 4, 1, 4, file) == 4;
    }
    written = std::fseek(file, 0, SEEK_END) == 0 && written;
    lengthsWritten = std::chrono::steady_clock::now();
    return written;
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
