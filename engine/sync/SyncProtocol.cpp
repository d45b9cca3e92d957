#include "engine/sync/SyncProtocol.h"

#include <cstring>

namespace tarnix::sync {

namespace {

std::uint32_t big32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

void putBig32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

// The bytes a command takes after its command byte, when they can be told
// from what has come so far; 0 for a command whose length is not known yet
// (GET_TRACK before its name's length), -1 for an unknown command.
long payloadBytes(const std::vector<unsigned char>& pending) {
    switch (static_cast<Command>(pending[0])) {
    case Command::setKey: return 4 + 4 + 4 + 1;
    case Command::deleteKey: return 4 + 4;
    case Command::setRow: return 4;
    case Command::pause: return 1;
    case Command::saveTracks: return 0;
    case Command::getTrack:
        return pending.size() < 5 ? 4 : 4 + static_cast<long>(big32(pending.data() + 1));
    }
    return -1;
}

// Reads the whole command in `bytes` (its command byte first) into `command`;
// false, with the reason, when it is malformed.
bool decode(const unsigned char* bytes, std::uint32_t tracksAsked, EditorCommand& command, std::string& error) {
    command.command = static_cast<Command>(bytes[0]);
    switch (command.command) {
    case Command::setKey: {
        command.track = big32(bytes + 1);
        command.key.row = big32(bytes + 5);
        const std::uint32_t bits = big32(bytes + 9);
        std::memcpy(&command.key.value, &bits, sizeof command.key.value);
        if (bytes[13] > static_cast<unsigned char>(Interpolation::ramp)) {
            error = "a key of interpolation " + std::to_string(bytes[13]) + ", past ramp (3)";
            return false;
        }
        command.key.interpolation = static_cast<Interpolation>(bytes[13]);
        break;
    }
    case Command::deleteKey:
        command.track = big32(bytes + 1);
        command.row = big32(bytes + 5);
        break;
    case Command::setRow: command.row = big32(bytes + 1); break;
    case Command::pause: command.paused = bytes[1] != 0; break;
    default: break;
    }
    const bool namesTrack = command.command == Command::setKey || command.command == Command::deleteKey;
    if (namesTrack && command.track >= tracksAsked) {
        error = "track " + std::to_string(command.track) + ", which was never asked for (" +
                std::to_string(tracksAsked) + " were)";
        return false;
    }
    return true;
}

}  // namespace

bool CommandReader::take(const unsigned char* bytes, std::size_t count, std::uint32_t tracksAsked,
                         std::vector<EditorCommand>& commands, std::string& error) {
    for (std::size_t i = 0; i < count; ++i) {
        pending.push_back(bytes[i]);
        const long payload = payloadBytes(pending);
        if (payload < 0) {
            error = "an unknown command byte " + std::to_string(pending[0]);
            return false;
        }
        if (pending[0] == static_cast<unsigned char>(Command::getTrack) && pending.size() == 5 &&
            big32(pending.data() + 1) > longestTrackName) {
            error = "a track name of " + std::to_string(big32(pending.data() + 1)) + " bytes";
            return false;
        }
        if (pending.size() < 1 + static_cast<std::size_t>(payload) ||
            (pending[0] == static_cast<unsigned char>(Command::getTrack) && pending.size() < 5))
            continue;
        EditorCommand command;
        if (!decode(pending.data(), tracksAsked, command, error))
            return false;
        // An editor asking the demo for a track means nothing to it.
        if (command.command != Command::getTrack)
            commands.push_back(command);
        pending.clear();
    }
    return true;
}

void CommandReader::reset() { pending.clear(); }

std::vector<unsigned char> getTrackMessage(const std::string& name) {
    std::vector<unsigned char> out = {static_cast<unsigned char>(Command::getTrack)};
    putBig32(out, static_cast<std::uint32_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    return out;
}

std::vector<unsigned char> setRowMessage(std::uint32_t row) {
    std::vector<unsigned char> out = {static_cast<unsigned char>(Command::setRow)};
    putBig32(out, row);
    return out;
}

}  // namespace tarnix::sync
