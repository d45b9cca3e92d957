#include "fuzz/InputFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fuzzinputs {

std::string rootFromCommandLine(int argc, char** argv, const char* program) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", program);
        std::exit(2);
    }
    mkdir(argv[1], 0777);
    char* absolute = realpath(argv[1], nullptr);
    if (!absolute) {
        std::perror(argv[1]);
        std::exit(1);
    }
    const std::string root = absolute;
    std::free(absolute);
    return root;
}

void enter(const std::string& directory) {
    mkdir(directory.c_str(), 0777);
    if (chdir(directory.c_str()) != 0) {
        std::perror(directory.c_str());
        std::exit(1);
    }
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeInput(const std::string& root, const std::string& target, const std::string& name, const std::string& bytes) {
    const std::string directory = root + "/" + target;
    mkdir(directory.c_str(), 0777);
    writeFile(directory + "/" + name, bytes);
}

int removeScratch(const std::string& root) {
    enter(root);
    return std::system("rm -rf .work") == 0 ? 0 : 1;
}

}  // namespace fuzzinputs
