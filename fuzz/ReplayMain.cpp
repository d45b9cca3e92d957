// Runs a fuzz target's harness once on every file of the given directories
// (its seed corpus and the inputs of crashes found before), so that the normal
// and the sanitizer test builds check them without libFuzzer. A failing input
// ends the program the way it ends a fuzzing run; its name is printed first.
// Every directory named must exist (a regressions folder whose name went
// wrong would otherwise replay nothing and pass); an unreadable file fails.
// Names starting with a dot are not inputs: a folder that holds no
// regressions yet keeps a ".keep" file so that it exists.

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// The files of a directory in name order, added to `paths`; false (with one
// line) when the directory cannot be listed.
bool listFiles(const std::string& directory, std::vector<std::string>& paths) {
    DIR* listing = opendir(directory.c_str());
    int error = listing ? 0 : errno;
    std::vector<std::string> found;
    if (listing) {
        errno = 0;
        while (const dirent* entry = readdir(listing))
            if (entry->d_name[0] != '.')
                found.push_back(directory + "/" + entry->d_name);
        error = errno;
        closedir(listing);
    }
    if (error != 0) {
        std::fprintf(stderr, "replay: %s: cannot list the directory: %s\n", directory.c_str(), std::strerror(error));
        return false;
    }
    std::sort(found.begin(), found.end());
    paths.insert(paths.end(), found.begin(), found.end());
    return true;
}

}  // namespace

// Every input is read before the first run: a harness may change the working
// directory, which relative paths on the command line depend on.
int main(int argc, char** argv) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> inputs;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::string> paths;
        if (!listFiles(argv[i], paths))
            return 1;
        for (const std::string& path : paths) {
            std::ifstream file(path, std::ios::binary);
            std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
            if (!file.good() && !file.eof()) {
                std::fprintf(stderr, "replay: %s: cannot read the input\n", path.c_str());
                return 1;
            }
            inputs.emplace_back(path, std::move(bytes));
        }
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
