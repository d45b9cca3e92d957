#include "engine/platform/Platform.h"

// A page makes no TCP connections: the development mode, which alone makes
// them, does not run there.

namespace tarnix {

struct OutgoingConnection::Platform {};

OutgoingConnection::OutgoingConnection() = default;
OutgoingConnection::~OutgoingConnection() = default;

bool OutgoingConnection::open(const std::string&, unsigned, std::string& error) {
    error = "this platform makes no connections";
    return false;
}

OutgoingConnection::State OutgoingConnection::state(std::string&) { return State::closed; }

long OutgoingConnection::send(const unsigned char*, std::size_t, std::string& error) {
    error = "not connected";
    return -1;
}

long OutgoingConnection::receive(unsigned char*, std::size_t, std::string& error) {
    error = "not connected";
    return -1;
}

void OutgoingConnection::close() {}

}  // namespace tarnix
