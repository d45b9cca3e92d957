// Runs a fuzz target's harness once on every file of the given directories
// (its seed corpus and the inputs of crashes found before), so that the normal
// and the sanitizer test builds check them without libFuzzer. A failing input
// ends the program the way it ends a fuzzing run; its name is printed first.

#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
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

int main(int argc, char** argv) {
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i)
        for (const std::string& path : filesOf(argv[i]))
            inputs.push_back(path);
    if (inputs.empty()) {
        std::fprintf(stderr, "replay: no inputs in the given directories\n");
        return 1;
    }
    for (const std::string& path : inputs) {
        std::ifstream file(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        std::fprintf(stderr, "replay: %s\n", path.c_str());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
