// The registry's listing of a data/ directory made from the input: up to
// eight files, each a name and a content, a name may be the pack's.
//   per file: u8 name length (1..24), that many name bytes, u16 content
//   length, that many content bytes (all cut short where the input ends)

#include "engine/core/Init.h"
#include "engine/io/FileIO.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Names from any bytes: letters, digits, '.', '_' and '-' stand for
// themselves, other bytes become one of them; never "." or ".."; a name
// starting with '#' becomes the pack's own name.
std::string fileName(const std::uint8_t* bytes, std::size_t length) {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-";
    if (length > 0 && bytes[0] == '#')
        return "datafile.dat";
    std::string name;
    for (std::size_t i = 0; i < length; ++i)
        name += std::strchr(alphabet, bytes[i]) && bytes[i] ? static_cast<char>(bytes[i])
                                                             : alphabet[bytes[i] % (sizeof alphabet - 1)];
    if (name == "." || name == "..")
        name += "x";
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::enterScratchDirectory();
    fuzzsupport::clearDataDirectory();
    std::size_t at = 0;
    for (int file = 0; file < 8 && at < size; ++file) {
        const std::size_t nameLength = 1 + data[at++] % 24;
        const std::size_t nameTaken = std::min(nameLength, size - at);
        const std::string name = fileName(data + at, nameTaken);
        at += nameTaken;
        std::size_t contentLength = 0;
        if (at + 2 <= size) {
            contentLength = data[at] | data[at + 1] << 8;
            at += 2;
        }
        contentLength = std::min(contentLength, size - at);
        fuzzsupport::writeInput("data/" + name, data + at, contentLength);
        at += contentLength;
    }
    tarnix::init.readDirectoryContent("data/");
    for (unsigned i = 0; i < tarnix::init.getFileListSize(); ++i) {
        const std::string name = tarnix::init.getDataFile(i);
        tarnix::FileIO stream(name);
        if (stream.isFromPack() != (tarnix::init.getDataPackDataFile(name.c_str()) != nullptr))
            fuzzsupport::fail("a stream disagrees with the registry about where a name leads");
        if (stream.getLength() > size)
            fuzzsupport::fail("a registered file larger than the input that made it");
    }
    tarnix::init.forgetDataFiles();
    return 0;
}
