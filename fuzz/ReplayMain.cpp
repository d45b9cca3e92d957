// Runs a fuzz target's harness once on every file of the given directories
// (its seed corpus and the inputs of crashes found before), so that the normal
// and the sanitizer test builds check them without libFuzzer. A failing input
// ends the program the way it ends a fuzzing run; its name is printed first.
// A directory that does not exist holds no inputs; an unreadable file fails.

#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::string> filesOf(const std::string& directory) {
    std::vector<std::string> paths;
    DIR* listing = opendir(directory.c_str());
    if (!listing)
        return paths;
    while (const dirent* entry = readdir(listing))
        if (entry->d_name[0] != '.')
            paths.push_back(directory + "/" + entry->d_name);
    closedir(listing);
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace

// Every input is read before the first run: a harness may change the working
// directory, which relative paths on the command line depend on.
int main(int argc, char** argv) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> inputs;
    for (int i = 1; i < argc; ++i)
        for (const std::string& path : filesOf(argv[i])) {
            std::ifstream file(path, std::ios::binary);
            std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
            if (!file.good() && !file.eof()) {
                std::fprintf(stderr, "replay: %s: cannot read the input\n", path.c_str());
                return 1;
            }
            inputs.emplace_back(path, std::move(bytes));
        }
    if (inputs.empty()) {
        std::fprintf(stderr, "replay: no inputs in the given directories\n");
        return 1;
    }
    for (const auto& [path, bytes] : inputs) {
        std::fprintf(stderr, "replay: %s\n", path.c_str());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
