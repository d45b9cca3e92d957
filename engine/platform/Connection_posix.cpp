#include "engine/platform/Platform.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tarnix {

namespace {

// A server's addresses as last looked up, so that trying the same server
// again and again never waits on a name server; each try takes the next
// (a name such as localhost has an IPv6 and an IPv4 one, and a server may
// listen on only one of them).
struct Addresses {
    struct One {
        sockaddr_storage bytes{};
        socklen_t length = 0;
    };
    std::string host;
    unsigned port = 0;
    std::vector<One> found;
    std::size_t next = 0;
};

// The address to try next for `host`:`port`, looked up when it was not the
// last server tried; null, with the reason, when it cannot be looked up.
const Addresses::One* nextAddress(Addresses& addresses, const std::string& host, unsigned port, std::string& error) {
    if (addresses.found.empty() || addresses.host != host || addresses.port != port) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
        if (lookup != 0) {
            error = host + ": " + gai_strerror(lookup);
            return nullptr;
        }
        addresses = Addresses{host, port, {}, 0};
        for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
            Addresses::One one;
            std::memcpy(&one.bytes, entry->ai_addr, entry->ai_addrlen);
            one.length = entry->ai_addrlen;
            addresses.found.push_back(one);
        }
        freeaddrinfo(list);
        if (addresses.found.empty()) {
            error = host + ": no address";
            return nullptr;
        }
    }
    return &addresses.found[addresses.next++ % addresses.found.size()];
}

}  // namespace

struct OutgoingConnection::Platform {
    int socket = -1;
    bool connecting = false;
    Addresses server;
};

OutgoingConnection::OutgoingConnection() : platform(std::make_unique<Platform>()) {}

OutgoingConnection::~OutgoingConnection() { close(); }

void OutgoingConnection::close() {
    if (platform->socket >= 0)
        ::close(platform->socket);
    platform->socket = -1;
    platform->connecting = false;
}

bool OutgoingConnection::open(const std::string& host, unsigned port, std::string& error) {
    close();
    const Addresses::One* chosen = nextAddress(platform->server, host, port, error);
    if (!chosen)
        return false;
    const auto* address = reinterpret_cast<const sockaddr*>(&chosen->bytes);
    const int made = socket(address->sa_family, SOCK_STREAM, 0);
    if (made >= 0 && (fcntl(made, F_SETFL, fcntl(made, F_GETFL) | O_NONBLOCK) != 0 ||
                      fcntl(made, F_SETFD, FD_CLOEXEC) != 0)) {
        error = std::strerror(errno);
        ::close(made);
        return false;
    }
    if (made < 0) {
        error = std::strerror(errno);
        return false;
    }
    // Each command goes out at once, not held back to fill a packet.
    const int on = 1;
    setsockopt(made, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const int connected = connect(made, address, chosen->length);
    const int cause = errno;
    if (connected != 0 && cause != EINPROGRESS) {
        ::close(made);
        error = std::strerror(cause);
        return false;
    }
    platform->socket = made;
    platform->connecting = connected != 0;
    return true;
}

OutgoingConnection::State OutgoingConnection::state(std::string& error) {
    if (platform->socket < 0)
        return State::closed;
    if (!platform->connecting)
        return State::open;
    pollfd waiting = {platform->socket, POLLOUT, 0};
    if (poll(&waiting, 1, 0) <= 0)
        return State::connecting;  // not yet (or interrupted: asked again next time)
    int failure = 0;
    socklen_t length = sizeof failure;
    getsockopt(platform->socket, SOL_SOCKET, SO_ERROR, &failure, &length);
    if (failure != 0) {
        error = std::strerror(failure);
        close();
        return State::closed;
    }
    platform->connecting = false;
    return State::open;
}

long OutgoingConnection::send(const unsigned char* bytes, std::size_t count, std::string& error) {
    if (platform->socket < 0 || platform->connecting)
        return 0;
    // MSG_NOSIGNAL: a server gone is an error here, not a SIGPIPE.
    const ssize_t sent = ::send(platform->socket, bytes, count, MSG_NOSIGNAL);
    if (sent >= 0)
        return static_cast<long>(sent);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    error = std::strerror(errno);
    return -1;
}

long OutgoingConnection::receive(unsigned char* into, std::size_t capacity, std::string& error) {
    if (platform->socket < 0 || platform->connecting)
        return 0;
    const ssize_t got = recv(platform->socket, into, capacity, 0);
    if (got > 0)
        return static_cast<long>(got);
    // A server that closes with bytes of ours unread resets the connection:
    // closed all the same.
    if (got == 0 || errno == ECONNRESET) {
        error = "closed";
        return -1;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    error = std::strerror(errno);
    return -1;
}

}  // namespace tarnix
