// The hex dump on any bytes as the pack file.

#include "engine/io/DataPack.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::enterScratchDirectory();
    fuzzsupport::writeInput("data/datafile.dat", data, size);
    DataPack pack("data/", "datafile.dat");
    if (!pack.hexdumpPack())
        fuzzsupport::fail("an existing pack did not dump");
    return 0;
}
