#include "engine/platform/Platform.h"
#include "engine/platform/Shared.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <vector>

// Windows sockets, made non-blocking: the same behaviour as the POSIX
// variant, with Winsock started for as long as a connection object lives.

namespace tarnix {

struct OutgoingConnection::Platform {
    SOCKET socket = INVALID_SOCKET;
    bool connecting = false;
    bool started = false;  // Winsock
    ServerAddresses server;
};

OutgoingConnection::OutgoingConnection() : platform(std::make_unique<Platform>()) {
    WSADATA data;
    platform->started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

OutgoingConnection::~OutgoingConnection() {
    close();
    if (platform->started)
        WSACleanup();
}

void OutgoingConnection::close() {
    if (platform->socket != INVALID_SOCKET)
        closesocket(platform->socket);
    platform->socket = INVALID_SOCKET;
    platform->connecting = false;
}

bool OutgoingConnection::open(const std::string& host, unsigned port, std::string& error) {
    close();
    if (!platform->started) {
        error = "Windows sockets could not be started";
        return false;
    }
    std::size_t length = 0;
    const auto* address = static_cast<const sockaddr*>(platform->server.next(host, port, length, error));
    if (!address)
        return false;
    const SOCKET made = ::socket(address->sa_family, SOCK_STREAM, 0);
    u_long nonBlocking = 1;
    if (made == INVALID_SOCKET || ioctlsocket(made, FIONBIO, &nonBlocking) != 0) {
        error = systemErrorText(WSAGetLastError());
        if (made != INVALID_SOCKET)
            closesocket(made);
        return false;
    }
    const BOOL on = TRUE;
    setsockopt(made, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    const int connected = connect(made, address, static_cast<int>(length));
    const int cause = WSAGetLastError();
    if (connected != 0 && cause != WSAEWOULDBLOCK) {
        closesocket(made);
        error = systemErrorText(cause);
        return false;
    }
    platform->socket = made;
    platform->connecting = connected != 0;
    return true;
}

OutgoingConnection::State OutgoingConnection::state(std::string& error) {
    if (platform->socket == INVALID_SOCKET)
        return State::closed;
    if (!platform->connecting)
        return State::open;
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(platform->socket, &writable);
    FD_SET(platform->socket, &failed);
    timeval none = {0, 0};
    if (select(0, nullptr, &writable, &failed, &none) <= 0)
        return State::connecting;
    if (FD_ISSET(platform->socket, &failed)) {
        int cause = 0;
        int length = sizeof cause;
        getsockopt(platform->socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&cause), &length);
        error = systemErrorText(cause);
        close();
        return State::closed;
    }
    platform->connecting = false;
    return State::open;
}

long OutgoingConnection::send(const unsigned char* bytes, std::size_t count, std::string& error) {
    if (platform->socket == INVALID_SOCKET || platform->connecting)
        return 0;
    const int sent = ::send(platform->socket, reinterpret_cast<const char*>(bytes), static_cast<int>(count), 0);
    if (sent >= 0)
        return sent;
    const int cause = WSAGetLastError();
    if (cause == WSAEWOULDBLOCK)
        return 0;
    error = systemErrorText(cause);
    return -1;
}

long OutgoingConnection::receive(unsigned char* into, std::size_t capacity, std::string& error) {
    if (platform->socket == INVALID_SOCKET || platform->connecting)
        return 0;
    const int got = recv(platform->socket, reinterpret_cast<char*>(into), static_cast<int>(capacity), 0);
    if (got > 0)
        return got;
    const int cause = got == 0 ? 0 : WSAGetLastError();
    // A server that closes with bytes of ours unread resets the connection:
    // closed all the same.
    if (got == 0 || cause == WSAECONNRESET) {
        error = "closed";
        return -1;
    }
    if (cause == WSAEWOULDBLOCK)
        return 0;
    error = systemErrorText(cause);
    return -1;
}

}  // namespace tarnix
