#include "engine/io/FileIO.h"

#include "engine/core/Init.h"
#include "engine/platform/Platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

namespace tarnix {

namespace {

// Reads the rest of an open regular file into `content`. A file too large for
// a 32-bit size, or one the memory cannot hold, is reported and refused.
bool readWholeFile(std::FILE* stream, const std::string& name, DataFile& content) {
    std::uint64_t bytesInFile = 0;
    if (!fileSize(stream, bytesInFile))
        return false;
    if (bytesInFile > std::numeric_limits<std::uint32_t>::max()) {
        std::fprintf(stderr, "tarnix: %s: file too large to load (%llu bytes)\n", name.c_str(),
                     static_cast<unsigned long long>(bytesInFile));
        return false;
    }
    const auto size = static_cast<std::uint32_t>(bytesInFile);
    content.name = name;
    if (size == 0)
        return true;
    unsigned char* bytes = new (std::nothrow) unsigned char[size];
    if (!bytes) {
        std::fprintf(stderr, "tarnix: %s: not enough memory to load %u bytes\n", name.c_str(), size);
        return false;
    }
    content.data.reset(bytes);
    if (std::fread(bytes, 1, size, stream) != size) {
        content.data.reset();
        return false;
    }
    content.size = size;
    return true;
}

std::uint32_t floatBits(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float floatFromBits(std::uint32_t bits) {
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint32_t littleEndian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

// ---- Opening and closing ----

FileIO::FileIO() = default;

FileIO::FileIO(const std::string& name) { open(name, std::ios::in | std::ios::binary); }

FileIO::~FileIO() {
    if (!replacedPath.empty())
        abandonReplacement();
    close();
    releaseContent();
}

bool FileIO::open(const std::string& name, std::ios::openmode mode) {
    close();
    releaseContent();
    if (const DataFile* entry = init.getDataPackDataFile(name.c_str())) {
        content = *entry;
        fromPack = true;
        isOpen = true;
        return true;
    }
    if (openPath(init.getDataPath(name.c_str()), mode))
        return true;
    return openPath(name, mode);
}

bool FileIO::openPath(const std::string& path, std::ios::openmode mode) {
    close();
    releaseContent();
    fromPack = false;
    writeFailed = false;
    stream = openRegularFile(path, (mode & std::ios::in) != 0, (mode & std::ios::out) != 0);
    isOpen = stream != nullptr;
    writable = isOpen && (mode & std::ios::out);
    if (isOpen && (mode & std::ios::in) && !readWholeFile(stream, path, content)) {
        std::fclose(stream);
        stream = nullptr;
        isOpen = false;
        content = DataFile();
    }
    return isOpen;
}

namespace {

// A temporary file beside `path`, unique to this process.
std::string temporaryPathFor(const std::string& path) {
    return path + ".tmp" + std::to_string(tarnix::processId());
}

}  // namespace

bool FileIO::openReplacement(const std::string& path) {
    if (!openPath(temporaryPathFor(path), std::ios::out | std::ios::binary))
        return false;
    replacedPath = path;
    return true;
}

bool FileIO::commitReplacement() {
    const std::string target = replacedPath;
    replacedPath.clear();
    const bool written = close();
    const int writeError = errno;
    const std::string temporary = temporaryPathFor(target);
    if (written && replaceFile(temporary, target))
        return true;
    const int failure = written ? errno : writeError;
    std::remove(temporary.c_str());
    errno = failure;
    return false;
}

void FileIO::abandonReplacement() {
    const std::string target = replacedPath;
    replacedPath.clear();
    close();
    std::remove(temporaryPathFor(target).c_str());
}

bool FileIO::close() {
    position = 0;
    if (fromPack)
        return true;
    releaseContent();
    if (!stream)
        return true;
    flushWrites();
    const bool closed = std::fclose(stream) == 0;
    stream = nullptr;
    writable = false;
    writeFailed = writeFailed || !closed;
    return !writeFailed;
}

void FileIO::releaseContent() { content = DataFile(); }

bool FileIO::operator==(bool b) const { return b == isOpen; }

bool FileIO::operator!=(bool b) const { return b != isOpen; }

bool FileIO::operator!() const { return !isOpen; }

bool FileIO::isFromPack() const { return fromPack; }

// ---- Reading ----

bool FileIO::readBytes(unsigned char* destination, unsigned count) {
    const std::uint32_t size = getLength();
    if (position > size || count > size - position)
        return false;
    if (count > 0)
        std::memcpy(destination, content.data.get() + position, count);
    position += count;
    return true;
}

int FileIO::read(char* destination, unsigned count) {
    return readBytes(reinterpret_cast<unsigned char*>(destination), count) ? 1 : -1;
}

int FileIO::readChar(char* destination, unsigned count) { return read(destination, count); }

char FileIO::readChar() { return static_cast<char>(readUChar()); }

unsigned char FileIO::readUChar() {
    unsigned char byte = 0;
    readBytes(&byte, 1);
    return byte;
}

short FileIO::readInt16() { return static_cast<short>(readUInt16()); }

unsigned short FileIO::readUInt16() {
    unsigned char bytes[2] = {};
    readBytes(bytes, 2);
    return static_cast<unsigned short>(littleEndian(bytes, 2));
}

int FileIO::readInt32() { return static_cast<int>(readUInt32()); }

unsigned int FileIO::readUInt32() {
    unsigned char bytes[4] = {};
    readBytes(bytes, 4);
    return littleEndian(bytes, 4);
}

float FileIO::readFloat() { return floatFromBits(readUInt32()); }

float FileIO::readFloat24() {
    unsigned char bytes[3] = {};
    readBytes(bytes, 3);
    return floatFromBits(littleEndian(bytes, 3) << 8);
}

Vector FileIO::readVector() {
    const float x = readFloat();
    const float y = readFloat();
    const float z = readFloat();
    return Vector(x, y, z);
}

Vector FileIO::readVector24() {
    const float x = readFloat24();
    const float y = readFloat24();
    const float z = readFloat24();
    return Vector(x, y, z);
}

std::string FileIO::readCStr() {
    std::string text;
    const std::uint32_t size = getLength();
    while (position < size) {
        const char c = static_cast<char>(content.data[position++]);
        if (c == '\0')
            break;
        text += c;
    }
    return text;
}

const unsigned char* FileIO::readFile() const { return content.data.get(); }

std::shared_ptr<unsigned char[]> FileIO::shareContent() const { return content.data; }

void FileIO::readSkip(int n) {
    const std::int64_t moved = static_cast<std::int64_t>(position) + n;
    if (moved < 0)
        position = 0;
    else
        position = static_cast<std::uint32_t>(std::min<std::int64_t>(moved, getLength()));
}

void FileIO::readSeek(unsigned offset) { position = std::min(offset, getLength()); }

unsigned FileIO::getLength() const { return content.size; }

unsigned FileIO::getPosition() const { return position; }

unsigned FileIO::getRemaining() const { return getLength() - std::min(position, getLength()); }

bool FileIO::isEnd() const { return position >= getLength(); }

// ---- Writing ----

namespace {

const std::size_t pendingCapacity = 64 * 1024;  // bytes gathered before they go to the disk file

}  // namespace

void FileIO::writeBytes(const unsigned char* bytes, std::size_t count) {
    if (!stream || !writable || count == 0)
        return;
    if (pendingBytes + count > pendingCapacity)
        flushWrites();
    if (count >= pendingCapacity) {
        if (std::fwrite(bytes, 1, count, stream) != count)
            writeFailed = true;
        return;
    }
    if (!pending)
        pending.reset(new unsigned char[pendingCapacity]);
    std::memcpy(pending.get() + pendingBytes, bytes, count);
    pendingBytes += count;
}

void FileIO::flushWrites() {
    if (pendingBytes > 0 && std::fwrite(pending.get(), 1, pendingBytes, stream) != pendingBytes)
        writeFailed = true;
    pendingBytes = 0;
}

void FileIO::writeChar(signed char c) { writeUChar(static_cast<unsigned char>(c)); }

void FileIO::writeUChar(unsigned char c) { writeBytes(&c, 1); }

void FileIO::writeInt16(short value) { writeUInt16(static_cast<unsigned short>(value)); }

void FileIO::writeUInt16(unsigned short value) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8)};
    writeBytes(bytes, 2);
}

void FileIO::writeInt32(int value) { writeUInt32(static_cast<unsigned int>(value)); }

void FileIO::writeUInt32(unsigned int value) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    writeBytes(bytes, 4);
}

void FileIO::writeFloat(float value) { writeUInt32(floatBits(value)); }

void FileIO::writeFloat24(float value) {
    const std::uint32_t bits = floatBits(value);
    const unsigned char bytes[3] = {static_cast<unsigned char>(bits >> 8), static_cast<unsigned char>(bits >> 16),
                                    static_cast<unsigned char>(bits >> 24)};
    writeBytes(bytes, 3);
}

void FileIO::writeVector(Vector v) {
    writeFloat(v.x);
    writeFloat(v.y);
    writeFloat(v.z);
}

void FileIO::writeVector24(Vector v) {
    writeFloat24(v.x);
    writeFloat24(v.y);
    writeFloat24(v.z);
}

void FileIO::writeCStr(const char* text) {
    writeBytes(reinterpret_cast<const unsigned char*>(text), std::strlen(text) + 1);
}

void FileIO::writeFile(const char* bytes, unsigned count) {
    writeBytes(reinterpret_cast<const unsigned char*>(bytes), count);
}

bool FileIO::writesSucceeded() {
    if (stream)
        flushWrites();
    return !writeFailed;
}

}  // namespace tarnix
