#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

// What the platform variants share, for this folder's files only: each
// system's own part stays in its variant.

namespace tarnix {

// The text a StandardErrorCopy's file holds, once standard error is its own
// again: read back, closed (`copy` becomes null), and written to standard
// error after all, so that nothing said is lost.
std::string takeCopiedText(std::FILE*& copy);

// "SIGINT", "SIGTERM", "SIGHUP" for the stop signals (`hangUp`: SIGHUP's
// number where the system has one, the number that stands for it where not),
// "signal N" for any other.
const char* stopSignalName(int number, int hangUp);

// The last line of `text` that is not blank ("" when none): a child's last
// word on its standard error.
std::string lastNonBlankLine(const std::string& text);

#ifdef _WIN32
// The system's text for a Windows error code (GetLastError's, or a socket's),
// on one line, without its closing full stop.
std::string systemErrorText(unsigned long code);
#endif

// A server's addresses as last looked up, so that trying the same server
// again and again never waits on a name server; each try takes the next (a
// name such as localhost has an IPv6 and an IPv4 one, and a server may listen
// on only one of them). Windows needs its sockets started first.
class ServerAddresses {
public:
    // The next address of `host`:`port` to try (a socket address of
    // `length` bytes), looked up when it was not the last server asked for;
    // null, with the reason in `error`, when it cannot be looked up.
    const void* next(const std::string& host, unsigned port, std::size_t& length, std::string& error);

private:
    std::string host;
    unsigned port = 0;
    std::vector<std::vector<unsigned char>> found;  // each a socket address
    std::size_t nextIndex = 0;
};

}  // namespace tarnix
