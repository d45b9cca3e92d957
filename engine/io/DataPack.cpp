#include "engine/io/DataPack.h"

#include "engine/core/Init.h"
#include "engine/platform/Platform.h"

#include <zlib.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <set>

using tarnix::DataFile;
using tarnix::FileIO;

namespace {

const unsigned char headerTag = 0xFA;
const unsigned char scriptTag = 0xFB;
const unsigned char fileTag = 0xFC;

// Smallest entry: an empty name (its zero byte) and the 4-byte size.
const unsigned minimumEntryBytes = 5;

unsigned remainingBytes(const FileIO& stream) { return stream.getLength() - stream.getPosition(); }

}  // namespace

DataPack::DataPack(const char* directoryPath, const char* packName) : filename(packName), directory(directoryPath) {}

void DataPack::setFilename(const char* name) { filename = name; }

void DataPack::setDirectory(const char* path) { directory = path; }

const char* DataPack::getFilename() const { return filename.c_str(); }

const char* DataPack::getDirectory() const { return directory.c_str(); }

unsigned DataPack::getDataFileSize() const { return static_cast<unsigned>(dataFiles.size()); }

DataFile* DataPack::getDataFile(unsigned i) {
    assert(i < dataFiles.size());
    return &dataFiles[i];
}

DataFile* DataPack::getDataFile(const char* name) {
    for (DataFile& entry : dataFiles)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

// ---- Reading ----

int DataPack::readPack() {
    // The records of a pack of many tiny entries are the one allocation left
    // that could fail; the bytes themselves were loaded without throwing.
    try {
        return readChunks();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tarnix: %s: not enough memory for the entries of the data pack\n", filename.c_str());
        return -1;
    }
}

int DataPack::readChunks() {
    FileIO pack;
    if (!pack.open(filename, std::ios::in | std::ios::binary))
        return -1;
    if (pack.getLength() == 0 || pack.readUChar() != headerTag)
        return -1;
    while (!pack.isEnd()) {
        const unsigned char tag = pack.readUChar();
        if (tag == scriptTag) {
            if (remainingBytes(pack) < 4)
                return -1;
            pack.readUInt32();
        } else if (tag == fileTag) {
            if (!readFileChunk(pack))
                return -1;
        } else {
            return -1;
        }
    }
    return 1;
}

// Every count and size is checked against the bytes left before it is used,
// so a truncated or hostile pack can neither read past its buffer nor make the
// reader allocate more than the file holds. Entries read completely are kept.
// Their bytes are not copied: each entry points into the buffer the pack was
// read into, which lives as long as an entry (or a stream opened on one) does.
bool DataPack::readFileChunk(FileIO& pack) {
    if (remainingBytes(pack) < 4)
        return false;
    const std::uint32_t count = pack.readUInt32();
    const std::shared_ptr<unsigned char[]> bytes = pack.shareContent();
    dataFiles.clear();
    // Reserved at once, so the list never grows by doubling; a count the
    // bytes left cannot hold reserves no more than they could.
    dataFiles.reserve(std::min<std::uint32_t>(count, remainingBytes(pack) / minimumEntryBytes));
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char* rest = pack.readFile() + pack.getPosition();
        if (remainingBytes(pack) == 0 || !std::memchr(rest, '\0', remainingBytes(pack)))
            return false;
        DataFile entry;
        entry.name = pack.readCStr();
        if (remainingBytes(pack) < 4)
            return false;
        const std::uint32_t size = pack.readUInt32();
        if (size > remainingBytes(pack))
            return false;
        if (size > 0) {
            entry.data = std::shared_ptr<unsigned char[]>(bytes, bytes.get() + pack.getPosition());
            pack.readSeek(pack.getPosition() + size);
        }
        entry.size = size;
        dataFiles.push_back(std::move(entry));
    }
    return true;
}

// ---- Writing ----

namespace {

// Each name once, in first-registered order: a name registered both as a loose
// file and from an old pack is stored a single time.
std::vector<std::string> uniqueRegisteredNames() {
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (unsigned i = 0; i < tarnix::init.getFileListSize(); ++i) {
        std::string name = tarnix::init.getDataFile(i);
        if (seen.insert(name).second)
            names.push_back(std::move(name));
    }
    return names;
}

}  // namespace

int DataPack::createPack() {
    // Packs read by an earlier createPack of this run would otherwise shadow
    // the newer pack on disk with their older entries.
    tarnix::init.forgetDataFiles();
    if (!tarnix::init.readDirectoryContent(directory.c_str()))
        return -1;

    // The pack file resolves like a data-file name: under data/ first.
    const std::string candidates[] = {tarnix::init.getDataPath(filename.c_str()), filename};
    FileIO pack;
    std::string packPath;
    for (const std::string& candidate : candidates) {
        if (pack.openReplacement(candidate)) {
            packPath = candidate;
            break;
        }
    }
    if (packPath.empty()) {
        std::fprintf(stderr, "Couldn't open %s for DataPack writing!\n", filename.c_str());
        return -1;
    }

    std::printf("Creating a datafile from %s directory\n", directory.c_str());
    std::printf("\tWriting header chunk\n");
    pack.writeUChar(headerTag);
    std::printf("\tWriting script chunk\n");
    pack.writeUChar(scriptTag);
    pack.writeUInt32(0);
    std::printf("\tWriting file chunk\n");
    pack.writeUChar(fileTag);
    const std::vector<std::string> names = uniqueRegisteredNames();
    pack.writeUInt32(static_cast<std::uint32_t>(names.size()));

    if (!writeEntries(pack, names)) {
        pack.abandonReplacement();
        std::fflush(stdout);
        return -1;
    }
    if (!pack.commitReplacement()) {
        std::fprintf(stderr, "tarnix: %s: cannot write the data pack: %s\n", packPath.c_str(), std::strerror(errno));
        std::fflush(stdout);
        return -1;
    }
    std::fflush(stdout);
    return 1;
}

// A loose file of the packed directory is taken from disk, so a file edited
// since the last pack is stored with its new bytes; a name only an older pack
// carries is stored from that pack; anything else that exists under the name
// (a subdirectory) is stored empty.
bool DataPack::writeEntries(FileIO& pack, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const std::string diskPath = directory + name;
        const tarnix::PathKind kind = tarnix::pathKind(diskPath);
        FileIO source;
        const unsigned char* bytes = nullptr;
        std::uint32_t length = 0;
        if (kind == tarnix::PathKind::regularFile) {
            if (!source.openPath(diskPath, std::ios::in | std::ios::binary)) {
                std::fprintf(stderr, "tarnix: %s: cannot read the file: %s\n", diskPath.c_str(), std::strerror(errno));
                return false;
            }
            bytes = source.readFile();
            length = source.getLength();
        } else if (const DataFile* entry = tarnix::init.getDataPackDataFile(name.c_str())) {
            bytes = entry->data.get();
            length = entry->size;
        } else if (kind == tarnix::PathKind::missing) {
            std::fprintf(stderr, "tarnix: %s: the file disappeared while packing\n", diskPath.c_str());
            return false;
        }
        pack.writeCStr(name.c_str());
        pack.writeUInt32(length);
        pack.writeFile(reinterpret_cast<const char*>(bytes), length);
        if (!pack.writesSucceeded()) {
            std::fprintf(stderr, "tarnix: %s: cannot write the data pack: %s\n", filename.c_str(),
                         std::strerror(errno));
            return false;
        }
        std::printf("\t\t%d %s\n", static_cast<int>(length), name.c_str());
    }
    return true;
}

// ---- Hex dump ----

namespace {

// Formats the dump into a buffer that is written out whenever it fills. Each
// byte is "XX " from a table; after every fourth byte one more space; after
// every sixteenth the label of the line that begins: "\n0x" and the line
// number in at least four upper-case hex digits, then " : ".
class HexDumpWriter {
public:
    HexDumpWriter() {
        for (int byte = 0; byte < 256; ++byte) {
            byteText[byte][0] = hexDigits[byte >> 4];
            byteText[byte][1] = hexDigits[byte & 15];
            byteText[byte][2] = ' ';
            byteText[byte][3] = ' ';
        }
    }
    ~HexDumpWriter() { flush(); }

    // Text longer than the buffer (a heading naming a very long path) goes
    // out directly.
    void text(const char* characters, std::size_t count) {
        if (count > capacity) {
            flush();
            std::fwrite(characters, 1, count, stdout);
            return;
        }
        reserve(count);
        std::memcpy(buffer + used, characters, count);
        used += count;
    }

    void bytes(const unsigned char* data, std::uint32_t size) {
        const std::uint32_t fullLines = size / 16;
        for (std::uint32_t line = 0; line < fullLines; ++line) {
            reserve(lineLength + maximumLabelLength);
            char* out = buffer + used;
            const unsigned char* in = data + 16 * line;
            for (int group = 0; group < 4; ++group) {
                // Four bytes are copied per entry so the copy is one move; the
                // fourth (a space) is overwritten by the next entry or kept as
                // the extra space after the group.
                for (int i = 0; i < 4; ++i, out += 3)
                    std::memcpy(out, byteText[in[4 * group + i]], 4);
                ++out;
            }
            used = static_cast<std::size_t>(out - buffer);
            label(line + 1);
        }
        for (std::uint32_t k = 16 * fullLines; k < size; ++k) {
            reserve(4);
            std::memcpy(buffer + used, byteText[data[k]], 4);
            used += k % 4 == 3 ? 4 : 3;
        }
    }

    void flush() {
        std::fwrite(buffer, 1, used, stdout);
        used = 0;
    }

private:
    static constexpr const char* hexDigits = "0123456789ABCDEF";
    static const std::size_t capacity = 1 << 16;
    static const std::size_t lineLength = 16 * 3 + 4;
    static const std::size_t maximumLabelLength = 16;  // "\n0x" + 8 digits + " : "

    void label(std::uint32_t line) {
        char digits[8];
        int count = 0;
        do {
            digits[count++] = hexDigits[line & 15];
            line >>= 4;
        } while (line != 0);
        while (count < 4)
            digits[count++] = '0';
        char* out = buffer + used;
        *out++ = '\n';
        *out++ = '0';
        *out++ = 'x';
        while (count > 0)
            *out++ = digits[--count];
        std::memcpy(out, " : ", 3);
        used = static_cast<std::size_t>(out + 3 - buffer);
    }

    void reserve(std::size_t count) {
        if (used + count > capacity)
            flush();
    }

    char byteText[256][4] = {};
    char buffer[capacity] = {};
    std::size_t used = 0;
};

}  // namespace

bool DataPack::hexdumpPack() {
    FileIO pack;
    const bool opened = pack.open(tarnix::init.getFullPath(filename.c_str()), std::ios::in | std::ios::binary);
    std::fflush(stdout);
    {
        HexDumpWriter out;
        const std::string heading = "Hexdump of " + filename + "\n0x0000 : ";
        out.text(heading.data(), heading.size());
        out.bytes(pack.readFile(), pack.getLength());
        out.text("\n", 1);
    }
    std::fflush(stdout);
    if (!opened)
        std::fprintf(stderr, "tarnix: %s: cannot open the data pack\n", filename.c_str());
    return opened;
}

// ---- zlib stream routines ----

namespace {

const std::size_t zlibChunk = 16384;

}  // namespace

int DataPack::compress(std::FILE* source, std::FILE* destination) {
    unsigned char in[zlibChunk];
    unsigned char out[zlibChunk];
    z_stream strm = {};
    if (deflateInit(&strm, 9) != Z_OK)
        return -1;
    int flush = Z_NO_FLUSH;
    do {
        strm.avail_in = static_cast<uInt>(std::fread(in, 1, zlibChunk, source));
        if (std::ferror(source)) {
            deflateEnd(&strm);
            return -1;
        }
        flush = std::feof(source) ? Z_FINISH : Z_NO_FLUSH;
        strm.next_in = in;
        do {
            strm.avail_out = zlibChunk;
            strm.next_out = out;
            const int ret = deflate(&strm, flush);
            assert(ret != Z_STREAM_ERROR && "DataPack");
            (void)ret;
            const std::size_t have = zlibChunk - strm.avail_out;
            if (std::fwrite(out, 1, have, destination) != have || std::ferror(destination)) {
                deflateEnd(&strm);
                return -1;
            }
        } while (strm.avail_out == 0);
        assert(strm.avail_in == 0 && "DataPack");
    } while (flush != Z_FINISH);
    deflateEnd(&strm);
    return 0;
}

int DataPack::decompress(std::FILE* source, std::FILE* destination) {
    unsigned char in[zlibChunk];
    unsigned char out[zlibChunk];
    z_stream strm = {};
    if (inflateInit(&strm) != Z_OK)
        return -1;
    int ret = Z_OK;
    do {
        strm.avail_in = static_cast<uInt>(std::fread(in, 1, zlibChunk, source));
        if (std::ferror(source)) {
            inflateEnd(&strm);
            return -1;
        }
        if (strm.avail_in == 0)
            break;
        strm.next_in = in;
        do {
            strm.avail_out = zlibChunk;
            strm.next_out = out;
            ret = inflate(&strm, Z_NO_FLUSH);
            assert(ret != Z_STREAM_ERROR && "DataPack");
            switch (ret) {
            case Z_NEED_DICT:
            case Z_DATA_ERROR:
                inflateEnd(&strm);
                return Z_DATA_ERROR;
            case Z_MEM_ERROR:
                inflateEnd(&strm);
                return Z_MEM_ERROR;
            default:
                break;
            }
            const std::size_t have = zlibChunk - strm.avail_out;
            if (std::fwrite(out, 1, have, destination) != have || std::ferror(destination)) {
                inflateEnd(&strm);
                return -1;
            }
        } while (strm.avail_out == 0);
    } while (ret != Z_STREAM_END);
    inflateEnd(&strm);
    return ret == Z_STREAM_END ? 0 : Z_DATA_ERROR;
}
