#include "app/CommandLine.h"

#include <cstdio>
#include <cstring>

const char* const banner = "Tarnix Engine v3 - test release";

namespace {

bool takesArgument(int argc, char** argv, int index) { return index + 1 < argc && argv[index + 1][0] != '-'; }

}  // namespace

ScanResult scanCommandLine(int argc, char** argv, ToolActions& actions) {
    ScanResult result;
    auto record = [&result](bool succeeded) { result.toolFailed = result.toolFailed || !succeeded; };
    for (int i = 0; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--version") == 0) {
            std::puts(banner);
        } else if (std::strcmp(argument, "--createDataPack") == 0) {
            result.toolMode = true;
            if (takesArgument(argc, argv, i))
                actions.setPackDirectory(std::string(argv[++i]) + "/");
            record(actions.createPack());
        } else if (std::strcmp(argument, "--hexdumpDataPack") == 0) {
            result.toolMode = true;
            record(actions.hexdumpPack());
        } else if (std::strcmp(argument, "--convert3DtoDVM") == 0) {
            result.toolMode = true;
            std::puts("Exporting 3D Objects to .DVM");
            while (takesArgument(argc, argv, i))
                record(actions.convertModel(argv[++i]));
        }
        std::fflush(stdout);
    }
    return result;
}

std::string meshFileNameFor(const std::string& modelName) {
    const std::size_t extensionLength = 4;
    if (modelName.size() < extensionLength)
        return modelName + ".dvm";
    return modelName.substr(0, modelName.size() - extensionLength) + ".dvm";
}
