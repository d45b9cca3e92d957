// The data-file registry half of tarnix::Init: which data files exist, where a
// name leads on disk, and which loaded pack entry carries it.

#include "engine/core/Init.h"

#include "engine/io/DataPack.h"
#include "engine/platform/Platform.h"

#include <cstdio>

namespace tarnix {

namespace {

const char* const packFileName = "datafile.dat";
const char* const dataDirectory = "data/";

// The pack of the data directory is named like any data file ("datafile.dat",
// found under data/); the pack of another directory is named by its path.
std::string packPathIn(const std::string& directory) {
    return directory == dataDirectory ? std::string(packFileName) : directory + packFileName;
}

}  // namespace

bool Init::readDirectoryContent(const char* directory) {
    fileList.clear();
    std::vector<std::string> names;
    std::string error;
    const bool listed = listDirectory(directory, names, error);
    for (const std::string& name : names) {
        if (name != packFileName) {
            fileList.push_back(name);
            continue;
        }
        // Entries are registered under their own names, bare like loose files,
        // and served from memory by every stream from now on.
        dataPacks.push_back(std::make_unique<DataPack>(directory, packPathIn(directory).c_str()));
        DataPack& pack = *dataPacks.back();
        if (pack.readPack() != 1)
            std::fprintf(stderr, "tarnix: %s%s: damaged data pack, %u entries read before the damage are used\n",
                         directory, packFileName, pack.getDataFileSize());
        for (unsigned i = 0; i < pack.getDataFileSize(); ++i)
            fileList.push_back(pack.getDataFile(i)->name);
    }
    if (!listed)
        std::fprintf(stderr, "tarnix: %s: cannot list the directory: %s\n", directory, error.c_str());
    return listed;
}

std::string Init::getDataPath(const char* name) const { return std::string(dataDirectory) + name; }

std::string Init::getShaderPath(const char* name) const { return std::string("data/shaders/") + name; }

std::string Init::getFullPath(const char* name) const { return name; }

DataFile* Init::getDataPackDataFile(const char* name) {
    if (!looseFilesFirst.empty() && looseFilesFirst.count(name))
        return nullptr;
    for (const std::unique_ptr<DataPack>& pack : dataPacks)
        if (DataFile* entry = pack->getDataFile(name))
            return entry;
    return nullptr;
}

unsigned Init::getFileListSize() const { return static_cast<unsigned>(fileList.size()); }

std::string Init::getDataFile(unsigned i) const { return i < fileList.size() ? fileList[i] : std::string(); }

void Init::preferLooseFile(const char* name) { looseFilesFirst.insert(name); }

void Init::forgetDataFiles() {
    fileList.clear();
    dataPacks.clear();
    looseFilesFirst.clear();
}

}  // namespace tarnix
