#include "engine/sync/SyncEditor.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarnix::sync {

EditorConnection::EditorConnection(TrackSet& trackSet, std::string editorHost, unsigned editorPort,
                                   std::string folder)
    : tracks(trackSet), host(std::move(editorHost)), port(editorPort), saveFolder(std::move(folder)) {}

bool EditorConnection::connected() const { return stage == Stage::ready; }

std::string EditorConnection::address() const { return host + ":" + std::to_string(port); }

EditorRequests EditorConnection::update(std::uint32_t row, Clock::time_point now, std::vector<std::string>& lines) {
    EditorRequests requests;
    if (stage == Stage::idle) {
        if (now < nextTry)
            return requests;
        tryConnect(now, lines);
    }
    if (stage == Stage::connecting) {
        std::string error;
        const OutgoingConnection::State state = connection.state(error);
        if (state == OutgoingConnection::State::closed) {
            stage = Stage::idle;  // no editor there yet: silently, again later
            return requests;
        }
        if (state == OutgoingConnection::State::connecting) {
            // A try the system would go on with for seconds (a host that does
            // not answer) gives way to the next.
            if (now >= nextTry) {
                connection.close();
                stage = Stage::idle;
            }
            return requests;
        }
        stage = Stage::greeting;
    }
    if (stage == Stage::greeting && !readGreeting(lines))
        return requests;
    if (stage == Stage::ready) {
        if (!readCommands(requests, lines))
            return requests;
        askForNewTracks();
        if (!requests.seekRow && lastRowSent != row) {
            const std::vector<unsigned char> message = setRowMessage(row);
            outgoing.insert(outgoing.end(), message.begin(), message.end());
            lastRowSent = row;
        }
    }
    std::string error;
    if (stage != Stage::idle && !flush(error))
        drop("the connection broke (" + error + ")", lines);
    return requests;
}

void EditorConnection::tryConnect(Clock::time_point now, std::vector<std::string>& lines) {
    nextTry = now + std::chrono::milliseconds(retryMs);
    std::string error;
    if (!connection.open(host, port, error)) {
        // An address that cannot be looked up is said once, not every try,
        // and tried again only now and then: a look-up that waits on a name
        // server holds up that frame.
        if (error != lastFailureSaid)
            lines.push_back("tarnix: the sync editor at " + address() + ": " + error);
        lastFailureSaid = error;
        nextTry = now + std::chrono::milliseconds(lookUpRetryMs);
        return;
    }
    lastFailureSaid.clear();
    stage = Stage::connecting;
    greeting.clear();
    reader.reset();
    asked.clear();
    lastRowSent.reset();
    outgoing.assign(clientGreeting, clientGreeting + std::strlen(clientGreeting));
}

void EditorConnection::drop(const std::string& why, std::vector<std::string>& lines) {
    lines.push_back("tarnix: the sync editor at " + address() + ": " + why);
    connection.close();
    stage = Stage::idle;
    outgoing.clear();
}

bool EditorConnection::flush(std::string& error) {
    while (!outgoing.empty()) {
        const long sent = connection.send(outgoing.data(), outgoing.size(), error);
        if (sent < 0)
            return false;
        if (sent == 0)
            return true;  // the rest when the connection takes more
        outgoing.erase(outgoing.begin(), outgoing.begin() + sent);
    }
    return true;
}

bool EditorConnection::readGreeting(std::vector<std::string>& lines) {
    const std::size_t length = std::strlen(serverGreeting);
    std::string error;
    // Only the greeting's own bytes: the commands after it are the reader's.
    while (greeting.size() < length) {
        unsigned char byte = 0;
        const long got = connection.receive(&byte, 1, error);
        if (got < 0) {
            drop(error == "closed" ? "it closed the connection before greeting" : error, lines);
            return false;
        }
        if (got == 0)
            break;
        greeting += static_cast<char>(byte);
        if (greeting != std::string(serverGreeting, greeting.size())) {
            drop("it greeted with something else than \"" + std::string(serverGreeting) + "\"", lines);
            return false;
        }
    }
    if (greeting.size() < length)
        return true;
    // The editor's keys replace the files': every track is asked for again.
    for (const std::string& name : tracks.names())
        tracks.track(name).clear();
    tracks.noteChange();
    stage = Stage::ready;
    lines.push_back("tarnix: connected to the sync editor at " + address());
    askForNewTracks();
    return true;
}

bool EditorConnection::readCommands(EditorRequests& requests, std::vector<std::string>& lines) {
    unsigned char block[4096];
    std::string error;
    // At most this much a frame: an editor sending faster than the keys are
    // taken never holds a frame up; the rest waits for the next.
    const std::size_t mostBytes = 64 * 1024;
    for (std::size_t taken = 0; taken < mostBytes;) {
        const long got = connection.receive(block, sizeof block, error);
        if (got < 0) {
            drop(error == "closed" ? "it closed the connection" : error, lines);
            return false;
        }
        if (got == 0)
            return true;
        taken += static_cast<std::size_t>(got);
        std::vector<EditorCommand> commands;
        const bool wellFormed = reader.take(block, static_cast<std::size_t>(got),
                                            static_cast<std::uint32_t>(asked.size()), commands, error);
        for (const EditorCommand& command : commands)
            carryOut(command, requests, lines);
        if (!wellFormed) {
            drop("it sent " + error + "; the connection is ended", lines);
            return false;
        }
    }
    return true;
}

void EditorConnection::carryOut(const EditorCommand& command, EditorRequests& requests,
                                std::vector<std::string>& lines) {
    switch (command.command) {
    case Command::setKey:
        // A value that is no number ("inf" typed in) would reach the drawing
        // and make a file no player reads: left out, said.
        if (!std::isfinite(command.key.value)) {
            lines.push_back("tarnix: the sync editor at " + address() + ": the key of " + asked[command.track] +
                            " at row " + std::to_string(command.key.row) + " is not a finite number; left out");
            break;
        }
        tracks.track(asked[command.track]).setKey(command.key);
        tracks.noteChange();
        break;
    case Command::deleteKey:
        tracks.track(asked[command.track]).deleteKey(command.row);
        tracks.noteChange();
        break;
    case Command::setRow:
        requests.seekRow = command.row;
        lastRowSent = command.row;  // the editor knows where it sent the demo
        break;
    case Command::pause: requests.pause = command.paused; break;
    case Command::saveTracks: {
        std::string error;
        if (saveTracks(error))
            requests.saved = true;
        else
            lines.push_back("tarnix: saving the sync tracks failed: " + error);
        break;
    }
    case Command::getTrack: break;
    }
}

void EditorConnection::askForNewTracks() {
    for (const std::string& name : tracks.names()) {
        if (std::find(asked.begin(), asked.end(), name) != asked.end())
            continue;
        asked.push_back(name);
        const std::vector<unsigned char> message = getTrackMessage(name);
        outgoing.insert(outgoing.end(), message.begin(), message.end());
    }
}

bool EditorConnection::saveTracks(std::string& error) const {
    for (const std::string& name : tracks.names()) {
        const std::string path = saveFolder + "/" + trackFileName("sync", name);
        // A '/' in the name is a folder of its own, made as needed.
        for (std::size_t slash = path.find('/', saveFolder.size() + 1); slash != std::string::npos;
             slash = path.find('/', slash + 1))
            makeDirectory(path.substr(0, slash));
        const std::vector<unsigned char> bytes = trackFileBytes(*tracks.find(name));
        const std::string part = path + ".part";
        std::FILE* file = createFreshFile(part);
        bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        int cause = errno;
        if (file && std::fclose(file) != 0 && written) {
            cause = errno;
            written = false;
        }
        if (!written || !replaceFile(part, path)) {
            error = path + ": " + std::strerror(written ? errno : cause);
            std::remove(part.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace tarnix::sync
