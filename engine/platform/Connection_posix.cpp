#include "engine/platform/Platform.h"
#include "engine/platform/Shared.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarnix {

struct OutgoingConnection::Platform {
    int socket = -1;
    bool connecting = false;
    ServerAddresses server;
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
    std::size_t length = 0;
    const auto* address = static_cast<const sockaddr*>(platform->server.next(host, port, length, error));
    if (!address)
        return false;
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
    const int connected = connect(made, address, static_cast<socklen_t>(length));
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
