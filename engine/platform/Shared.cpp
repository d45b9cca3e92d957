#include "engine/platform/Shared.h"

#include <csignal>

namespace tarnix {

std::string takeCopiedText(std::FILE*& copy) {
    std::string text;
    std::rewind(copy);
    char block[4096];
    for (std::size_t count; (count = std::fread(block, 1, sizeof block, copy)) > 0;)
        text.append(block, count);
    std::fclose(copy);
    copy = nullptr;
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
    return text;
}

const char* stopSignalName(int number, int hangUp) {
    if (number == SIGINT)
        return "SIGINT";
    if (number == SIGTERM)
        return "SIGTERM";
    if (number == hangUp)
        return "SIGHUP";
    static thread_local char name[24];
    std::snprintf(name, sizeof name, "signal %d", number);
    return name;
}

}  // namespace tarnix
