#pragma once

#include "engine/io/FileIO.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A data pack: one file carrying every data file of the demo, stored unchanged,
// so that a release needs no loose files.
//
// Pack file layout (integers unsigned 32-bit little-endian, strings
// zero-terminated, no padding):
//   0xFA                       header chunk (no payload)
//   then chunks, each a tag byte and its payload:
//   0xFB  u32 value            script chunk; written as 0, ignored on reading
//   0xFC  u32 count, then count entries:
//         name (C string), u32 size, size bytes
// The writer produces exactly header, one script chunk and one file chunk. The
// reader takes any sequence of script and file chunks; a later file chunk
// replaces the entries of an earlier one.
class DataPack {
public:
    DataPack(const char* directory, const char* filename);
    DataPack(const DataPack&) = delete;  // entries are handed out by address
    DataPack& operator=(const DataPack&) = delete;

    void setFilename(const char* name);
    void setDirectory(const char* path);  // slash included: "data/"
    const char* getFilename() const;
    const char* getDirectory() const;

    unsigned getDataFileSize() const;  // entries read by readPack()
    // The i-th entry (i below getDataFileSize()); valid for the pack's life.
    tarnix::DataFile* getDataFile(unsigned i);
    // The first entry named exactly `name`, or null.
    tarnix::DataFile* getDataFile(const char* name);

    // Registers the files of the directory and writes them as the pack file
    // `filename` (under data/ when that directory exists). The registry starts
    // over first, so every entry record handed out before becomes invalid
    // (streams opened on pack entries keep their bytes): this is a tool's
    // operation, not one for a running demo. Prints its progress
    // on standard output. The pack is written to a temporary file beside it and
    // renamed into place when complete, so a failure leaves the previous pack
    // as it was. Returns 1, or -1 after one line on standard error.
    int createPack();
    // Reads the pack file into memory. Returns 1, or -1 when the file does not
    // open, is not a pack, has an unknown chunk, or ends inside a chunk; the
    // entries read completely before the failure are kept.
    //
    // Memory: the file's n bytes once (every entry points into them), plus one
    // 56-byte record per entry, reserved once from the count but never more
    // than the bytes left could hold at 5 bytes an entry: at most about 12 n
    // in all, and n plus a little for any pack of real files.
    int readPack();
    // Prints the pack file as hex on standard output, 16 bytes to a line in
    // groups of four, each line labelled with its number. False (after a line
    // on standard error) when the pack cannot be opened.
    bool hexdumpPack();

    // zlib stream routines, not part of the pack format: deflate (level 9) or
    // inflate everything from `source` into `destination`, 16 KiB at a time.
    // compress: 0, or -1 on a read or write failure. decompress: 0, -1 on a
    // read or write failure, -3 for corrupt or truncated data or a stream that
    // needs a dictionary, -4 when out of memory.
    static int compress(std::FILE* source, std::FILE* destination);
    static int decompress(std::FILE* source, std::FILE* destination);

private:
    int readChunks();
    bool readFileChunk(tarnix::FileIO& pack);
    bool writeEntries(tarnix::FileIO& pack, const std::vector<std::string>& names);

    std::string filename;                     // resolved like any data-file name
    std::string directory;                    // the directory packed, slash included
    std::vector<tarnix::DataFile> dataFiles;  // entries in pack order
};
