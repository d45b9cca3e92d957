#pragma once

#include "engine/sync/SyncTracks.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The sync tracker's protocol, as a demo speaks it: after the greetings
// ("hello, synctracker!" from the demo, "hello, demo!" from the editor),
// one-byte commands followed by 32-bit big-endian integers and IEEE floats.
// The demo asks for each track by name (GET_TRACK); the editor numbers the
// tracks in the order they were asked for and sends their keys (SET_KEY),
// removes keys (DELETE_KEY), seeks (SET_ROW), pauses and plays (PAUSE) and
// asks the demo to write its track files (SAVE_TRACKS); the demo tells the
// editor its row (SET_ROW) while it plays.

namespace tarnix::sync {

inline constexpr char clientGreeting[] = "hello, synctracker!";
inline constexpr char serverGreeting[] = "hello, demo!";

enum class Command : std::uint8_t { setKey = 0, deleteKey = 1, getTrack = 2, setRow = 3, pause = 4, saveTracks = 5 };

// The longest track name read from an editor, bytes: anything longer is
// taken for garbage, not waited for.
inline constexpr std::uint32_t longestTrackName = 1024;

// One command from the editor, whole.
struct EditorCommand {
    Command command = Command::setRow;
    std::uint32_t track = 0;  // SET_KEY, DELETE_KEY: the id of a track asked for
    Key key;                  // SET_KEY
    std::uint32_t row = 0;    // DELETE_KEY, SET_ROW
    bool paused = false;      // PAUSE
};

// Reads the editor's commands from its bytes as they come, in any pieces.
class CommandReader {
public:
    // Adds `count` bytes; each command they complete goes to `commands`.
    // False, with the reason in `error`, at the first malformed one: an
    // unknown command byte, a track id past the `tracksAsked` asked for, an
    // interpolation past ramp, a name longer than longestTrackName. What
    // follows it is not read (the connection ends).
    bool take(const unsigned char* bytes, std::size_t count, std::uint32_t tracksAsked,
              std::vector<EditorCommand>& commands, std::string& error);
    // Forgets a command begun (a new connection).
    void reset();

private:
    std::vector<unsigned char> pending;  // the start of a command not yet whole
};

// The demo's messages to the editor.
std::vector<unsigned char> getTrackMessage(const std::string& name);
std::vector<unsigned char> setRowMessage(std::uint32_t row);

}  // namespace tarnix::sync
