#include "support/TemporaryDirectory.h"

#include "support/Process.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace testsupport {

WorkingDirectory::WorkingDirectory() : directory(makeTemporaryDirectory()) {
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(directory);
}

WorkingDirectory::~WorkingDirectory() {
    std::filesystem::current_path(previous);
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

void writeFile(const std::string& path, const std::string& content) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string fileContent(const std::string& path) { return readWholeFile(path); }

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace testsupport
