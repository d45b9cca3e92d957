#pragma once

#include "engine/platform/Platform.h"
#include "engine/sync/SyncProtocol.h"
#include "engine/sync/SyncTracks.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The demo's side of a sync editor's connection, for the development mode:
// connects out to the editor (never listens), greets it, asks for every
// track of the set by name, keeps the tracks' keys as the editor sets them,
// and tells the editor the demo's row as it changes. Nothing here ever
// waits: each update() does what can be done at once. Without an editor it
// tries again every half second, silently, so that an editor started later
// (or again) is found within a second; a dropped connection or a malformed
// command ends that connection with one line, and the tries begin again.

namespace tarnix::sync {

// What the editor asked of the demo in one update.
struct EditorRequests {
    std::optional<std::uint32_t> seekRow;  // SET_ROW: go to this row
    std::optional<bool> pause;             // PAUSE: true pauses, false plays
    bool saved = false;                    // SAVE_TRACKS was done
};

class EditorConnection {
public:
    using Clock = std::chrono::steady_clock;

    // `tracks`: the set the editor edits; `saveFolder`: where SAVE_TRACKS
    // writes the track files ("BASE_NAME.track" under the base "sync").
    EditorConnection(TrackSet& tracks, std::string host, unsigned port, std::string saveFolder);

    // One pass: connects when due, reads and carries out what the editor
    // sent, asks for tracks not asked for yet (a track made since is asked
    // for at once), and sends the demo's `row` when it changed otherwise
    // than by the editor's seek (playing, or sought in the demo). Lines to
    // show (connected, dropped, refused) go to `lines`.
    EditorRequests update(std::uint32_t row, Clock::time_point now, std::vector<std::string>& lines);

    bool connected() const;
    // "localhost:1338".
    std::string address() const;
    // Writes every track's file into the save folder; false, with the first
    // failure in `error`, when one could not be written.
    bool saveTracks(std::string& error) const;

    static constexpr int retryMs = 500;
    static constexpr int lookUpRetryMs = 30000;  // after an address that could not be looked up

private:
    enum class Stage { idle, connecting, greeting, ready };

    void tryConnect(Clock::time_point now, std::vector<std::string>& lines);
    void drop(const std::string& why, std::vector<std::string>& lines);
    bool flush(std::string& error);
    bool readGreeting(std::vector<std::string>& lines);
    bool readCommands(EditorRequests& requests, std::vector<std::string>& lines);
    void carryOut(const EditorCommand& command, EditorRequests& requests, std::vector<std::string>& lines);
    void askForNewTracks();

    TrackSet& tracks;
    std::string host;
    unsigned port;
    std::string saveFolder;
    OutgoingConnection connection;
    Stage stage = Stage::idle;
    Clock::time_point nextTry{};
    std::vector<unsigned char> outgoing;  // bytes not yet taken by the connection
    std::string greeting;                 // the editor's greeting as it comes
    CommandReader reader;
    std::vector<std::string> asked;       // track names asked for, by id
    std::optional<std::uint32_t> lastRowSent;
    std::string lastFailureSaid;          // the last failure to start a try that was said
};

}  // namespace tarnix::sync
