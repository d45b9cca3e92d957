#include "engine/platform/Shared.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

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

std::string lastNonBlankLine(const std::string& text) {
    std::string last;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.find_first_not_of(" \t\r") != std::string::npos)
            last = line;
        start = end + 1;
    }
    return last;
}

#ifdef _WIN32
std::string systemErrorText(unsigned long code) {
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 && text ? std::string(text, length) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                                message.back() == '.'))
        message.pop_back();
    return message;
}
#endif

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

const void* ServerAddresses::next(const std::string& wantedHost, unsigned wantedPort, std::size_t& length,
                                  std::string& error) {
    if (found.empty() || host != wantedHost || port != wantedPort) {
        found.clear();
        nextIndex = 0;
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        const int lookup = getaddrinfo(wantedHost.c_str(), std::to_string(wantedPort).c_str(), &hints, &list);
        if (lookup != 0) {
            error = wantedHost + ": " + gai_strerror(lookup);
            return nullptr;
        }
        for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(entry->ai_addr);
            found.emplace_back(bytes, bytes + entry->ai_addrlen);
        }
        freeaddrinfo(list);
        host = wantedHost;
        port = wantedPort;
        if (found.empty()) {
            error = wantedHost + ": no address";
            return nullptr;
        }
    }
    const std::vector<unsigned char>& chosen = found[nextIndex++ % found.size()];
    length = chosen.size();
    return chosen.data();
}

}  // namespace tarnix
