#pragma once

#include "engine/render/Vector.h"

#include <cstdint>
#include <cstdio>
#include <ios>
#include <memory>
#include <string>

namespace tarnix {

// One named block of bytes: the content of a file read whole, or one entry of
// a data pack. The bytes are shared: a pack's entries point into the one
// buffer the pack was read into, and a stream opened on an entry holds that
// buffer too, so the bytes outlive the pack that handed them out.
struct DataFile {
    std::string name;                      // the name it was opened or packed under
    std::shared_ptr<unsigned char[]> data; // `size` bytes; null when empty
    std::uint32_t size = 0;                // bytes
};

// The engine's binary file stream. Opening reads the whole file (or takes a
// data-pack entry) into memory, and every typed read comes from that buffer;
// writes go straight to the disk file.
//
// Binary conventions, on any host (all little-endian, no padding):
//   char 1 byte, int16 2, int32 4, float 4 (IEEE single)
//   float24  3 bytes: bits 8..31 of the IEEE single, low byte first; reading
//            gives bits 0..7 zero (the low 8 mantissa bits are dropped, not rounded)
//   vector   three floats x, y, z (12 bytes); vector24 three float24 (9 bytes)
//   C string the characters, then one zero byte
//
// A name resolves in this order: the data-pack entry of exactly that name, the
// file data/<name>, the file <name> as given.
class FileIO {
public:
    FileIO();
    // Opens `name` for reading (in | binary).
    explicit FileIO(const std::string& name);
    ~FileIO();
    FileIO(const FileIO&) = delete;
    FileIO& operator=(const FileIO&) = delete;

    // Opens `name` as described above with std::ios flags: in (read the whole
    // file; it must exist), out (create or empty the file for writing) or both.
    // A pack entry ignores the mode and is never written to. Only regular files
    // open. Returns the new open state; prints nothing.
    bool open(const std::string& name, std::ios::openmode mode);
    // Opens exactly this disk path, without looking at the pack or data/.
    bool openPath(const std::string& path, std::ios::openmode mode);
    // Opens a temporary file beside `path` for writing. commitReplacement()
    // then puts it in place of `path` in one step, so readers never see a
    // half-written file and a failed write leaves the old file as it was.
    bool openReplacement(const std::string& path);
    // Closes the temporary file and, when every write succeeded, renames it
    // over the path given to openReplacement(); otherwise removes it. False,
    // with the system's reason in errno, when the file was not replaced.
    bool commitReplacement();
    // Closes and removes the temporary file; the old file stays.
    void abandonReplacement();
    // Rewinds; a disk-backed stream also releases its content and closes the
    // file. False when pending writes could not be completed. The open state
    // is left as it was.
    bool close();

    bool operator==(bool b) const;  // b equals the open state
    bool operator!=(bool b) const;
    bool operator!() const;         // not open
    bool isFromPack() const;        // content belongs to a data pack

    // ---- Reading (from memory; a read that would run past the end reads
    //      nothing, leaves the position and returns -1, or 0 for typed reads)
    int read(char* destination, unsigned count);       // 1 on success, -1 past the end
    int readChar(char* destination, unsigned count);   // same as read
    char readChar();
    unsigned char readUChar();
    short readInt16();
    unsigned short readUInt16();
    int readInt32();
    unsigned int readUInt32();
    float readFloat();
    float readFloat24();
    Vector readVector();
    Vector readVector24();
    // Characters up to and including a zero byte (the zero is not returned), or
    // up to the end of the content when no zero byte follows.
    std::string readCStr();
    // The whole content, valid until close() (disk) or until the stream is
    // opened again or destroyed (pack entry); null when empty. The position is
    // not moved.
    const unsigned char* readFile() const;
    // The content's bytes, kept alive for as long as the result is held (the
    // data pack keeps its entries in the buffer it read).
    std::shared_ptr<unsigned char[]> shareContent() const;
    // Moves the position by n bytes, kept within 0 .. getLength().
    void readSkip(int n);
    // Moves the position to `offset` bytes from the start, at most getLength().
    // Unlike readSkip, any 32-bit offset is reachable.
    void readSeek(unsigned offset);
    unsigned getLength() const;   // bytes of content
    unsigned getPosition() const; // read position, bytes from the start
    unsigned getRemaining() const; // bytes from the position to the end
    bool isEnd() const;           // position at or past the end

    // ---- Writing (to the disk file; no effect when it is not open for writing)
    void writeChar(signed char c);
    void writeUChar(unsigned char c);
    void writeInt16(short value);
    void writeUInt16(unsigned short value);
    void writeInt32(int value);
    void writeUInt32(unsigned int value);
    void writeFloat(float value);
    void writeFloat24(float value);
    void writeVector(Vector v);
    void writeVector24(Vector v);
    void writeCStr(const char* text);
    void writeFile(const char* bytes, unsigned count);
    // False once any write has failed (disk full, I/O error); writes gathered
    // in memory are handed to the disk file first.
    bool writesSucceeded();

private:
    bool readBytes(unsigned char* destination, unsigned count);
    void writeBytes(const unsigned char* bytes, std::size_t count);
    void flushWrites();
    void releaseContent();

    std::FILE* stream = nullptr;  // open disk file, null when none
    bool isOpen = false;          // result of the last open
    bool fromPack = false;        // `file` belongs to a data pack
    bool writable = false;        // the disk file was opened with the out flag
    bool writeFailed = false;
    // Small typed writes gather here and reach the disk file in large blocks.
    std::unique_ptr<unsigned char[]> pending;
    std::size_t pendingBytes = 0;
    std::uint32_t position = 0;   // read position in `content`, bytes
    std::string replacedPath;     // the file openReplacement() will replace, "" when none
    // What is read: a disk file read whole, or a copy of a pack entry's record
    // sharing the pack's bytes.
    DataFile content;
};

}  // namespace tarnix
