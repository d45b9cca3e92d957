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
