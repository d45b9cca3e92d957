// The data pack reader on any bytes as data/datafile.dat.

#include "engine/core/Init.h"
#include "engine/io/DataPack.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::enterScratchDirectory();
    fuzzsupport::writeInput("data/datafile.dat", data, size);
    // The file once, shared by its entries, and one record per entry (at most
    // about 12 n for a pack of empty entries).
    fuzzsupport::AllocationBudget budget(size, 16, 1 << 20);
    DataPack pack("data/", "datafile.dat");
    pack.readPack();
    std::size_t total = 0;
    for (unsigned i = 0; i < pack.getDataFileSize(); ++i) {
        const tarnix::DataFile* entry = pack.getDataFile(i);
        if (entry->size > size)
            fuzzsupport::fail("an entry larger than the pack");
        total += entry->size + entry->name.size();
        if (pack.getDataFile(entry->name.c_str()) == nullptr)
            fuzzsupport::fail("an entry not found by its own name");
    }
    if (total > size)
        fuzzsupport::fail("entries hold more bytes than the pack");
    return 0;
}
