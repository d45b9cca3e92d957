// The development mode's side of a sync editor's connection against a
// stand-in editor of the test's own: a TCP server on this machine that greets,
// reads what the demo asks, sets, deletes and saves keys, seeks, pauses,
// drops the connection and comes back, and sends garbage.

#include "engine/sync/SyncEditor.h"
#include "support/Figures.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

using namespace tarnix::sync;
using Clock = std::chrono::steady_clock;
using testsupport::fileContent;

namespace {

class StandInEditor {
public:
    StandInEditor() {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener, 1);
        socklen_t length = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~StandInEditor() {
        drop();
        close(listener);
    }

    // Takes the demo's connection, pumping `demo` while waiting; true once
    // greeted both ways.
    template <typename Pump>
    bool accept(Pump pump) {
        for (const auto until = Clock::now() + std::chrono::seconds(5); Clock::now() < until;) {
            pump();
            pollfd waiting = {listener, POLLIN, 0};
            if (poll(&waiting, 1, 10) == 1) {
                connection = ::accept(listener, nullptr, nullptr);
                std::string greeting = read(std::strlen(clientGreeting), pump);
                if (greeting != clientGreeting)
                    return false;
                send(std::string(serverGreeting));
                return true;
            }
        }
        return false;
    }

    // `count` bytes from the demo, pumping it while waiting (at most 5 s).
    template <typename Pump>
    std::string read(std::size_t count, Pump pump) {
        std::string got;
        for (const auto until = Clock::now() + std::chrono::seconds(5); got.size() < count && Clock::now() < until;) {
            pump();
            pollfd waiting = {connection, POLLIN, 0};
            char byte;
            if (poll(&waiting, 1, 5) == 1 && recv(connection, &byte, 1, 0) == 1)
                got += byte;
        }
        return got;
    }

    // The name of the next GET_TRACK the demo sends.
    template <typename Pump>
    std::string askedTrack(Pump pump) {
        const std::string head = read(5, pump);
        if (head.size() < 5 || head[0] != 2)
            return "(no GET_TRACK: " + std::to_string(head.size()) + " bytes)";
        return read(static_cast<unsigned char>(head[4]), pump);
    }

    void send(const std::string& bytes) { ::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    void drop() {
        if (connection >= 0)
            close(connection);
        connection = -1;
    }

    unsigned port = 0;

private:
    int listener = -1;
    int connection = -1;
};

std::string big32(std::uint32_t value) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(value >> shift);
    return out;
}

std::string setKey(std::uint32_t track, std::uint32_t row, float value, Interpolation interpolation) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return std::string(1, '\0') + big32(track) + big32(row) + big32(bits) +
           std::string(1, static_cast<char>(interpolation));
}

// The demo's side, pumped as the development mode pumps it each frame.
struct Demo {
    // By name, as the development mode's default is: localhost has an IPv6
    // address first on most systems, where the stand-in does not listen.
    Demo(TrackSet& tracks, unsigned port, const std::string& folder) : editor(tracks, "localhost", port, folder) {}
    void pump() {
        const EditorRequests asked = editor.update(row, Clock::now(), lines);
        if (asked.seekRow)
            seekRow = *asked.seekRow;
        if (asked.pause)
            paused = *asked.pause;
        saved = saved || asked.saved;
    }
    // Pumps until `done` holds, at most 3 s.
    template <typename Done>
    bool pumpUntil(Done done) {
        for (const auto until = Clock::now() + std::chrono::seconds(3); Clock::now() < until;) {
            pump();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    EditorConnection editor;
    std::uint32_t row = 0;
    std::vector<std::string> lines;
    std::optional<std::uint32_t> seekRow;
    std::optional<bool> paused;
    bool saved = false;
};

}  // namespace

TEST(SyncEditorTest, TheDemoAsksForEveryTrackAndFollowsTheEditorsKeysSeeksPausesAndSaves) {
    testsupport::WorkingDirectory folder;
    TrackSet tracks;
    tracks.track("a:x").setKey({5, 99, Interpolation::step});  // from a file: the editor's keys replace it
    tracks.track("b:y");
    StandInEditor server;
    Demo demo(tracks, server.port, folder.path());
    auto pump = [&demo] { demo.pump(); };
    const auto listening = Clock::now();
    ASSERT_TRUE(server.accept(pump));
    testsupport::reportFigure("connected and greeted",
                              std::chrono::duration<double, std::milli>(Clock::now() - listening).count(), "ms");
    EXPECT_EQ(server.askedTrack(pump), "a:x");
    EXPECT_EQ(server.askedTrack(pump), "b:y");
    EXPECT_EQ(server.read(5, pump), std::string(1, '\3') + big32(0)) << "the demo's row, told on connecting";
    EXPECT_TRUE(tracks.find("a:x")->empty());
    ASSERT_TRUE(demo.pumpUntil([&] { return demo.editor.connected(); }));
    EXPECT_EQ(demo.lines, std::vector<std::string>{"tarnix: connected to the sync editor at " + demo.editor.address()});

    // Keys shown at once; the ids are the order of asking.
    server.send(setKey(1, 16, 4, Interpolation::linear) + setKey(1, 32, 8, Interpolation::step));
    ASSERT_TRUE(demo.pumpUntil([&] { return tracks.find("b:y")->keys().size() == 2; }));
    EXPECT_DOUBLE_EQ(tracks.find("b:y")->valueAt(24), 6);
    server.send(std::string(1, '\1') + big32(1) + big32(32));
    ASSERT_TRUE(demo.pumpUntil([&] { return tracks.find("b:y")->keys().size() == 1; }));

    // The editor's seek is not echoed; the demo's own row changes are told.
    server.send(std::string(1, '\3') + big32(100));
    ASSERT_TRUE(demo.pumpUntil([&] { return demo.seekRow == 100u; }));
    demo.row = 100;
    demo.pump();
    demo.row = 101;
    EXPECT_EQ(server.read(5, pump), std::string(1, '\3') + big32(101));
    server.send(std::string("\4\1", 2));
    ASSERT_TRUE(demo.pumpUntil([&] { return demo.paused == true; }));
    server.send(std::string("\4\0", 2));
    ASSERT_TRUE(demo.pumpUntil([&] { return demo.paused == false; }));

    // A track made later is asked for at once, as id 2.
    tracks.track("c/d:z");
    EXPECT_EQ(server.askedTrack(pump), "c/d:z");
    server.send(setKey(2, 0, -1, Interpolation::smooth) + std::string(1, '\5'));
    ASSERT_TRUE(demo.pumpUntil([&] { return demo.saved; }));
    EXPECT_EQ(fileContent(folder.path() + "/sync_b-3Ay.track"),
              std::string(reinterpret_cast<const char*>(trackFileBytes(*tracks.find("b:y")).data()), 4 + 9));
    EXPECT_EQ(fileContent(folder.path() + "/sync_c/d-3Az.track").size(), 4u + 9);
    EXPECT_EQ(fileContent(folder.path() + "/sync_a-3Ax.track"), std::string(4, '\0'));
}

TEST(SyncEditorTest, ADroppedOrBabblingEditorEndsItsConnectionInOneLineAndIsFoundAgainWithinTwoSeconds) {
    testsupport::WorkingDirectory folder;
    TrackSet tracks;
    tracks.track("a:x");
    std::optional<StandInEditor> server;
    server.emplace();
    const unsigned port = server->port;
    Demo demo(tracks, port, folder.path());
    auto pump = [&demo] { demo.pump(); };
    ASSERT_TRUE(server->accept(pump));
    EXPECT_EQ(server->askedTrack(pump), "a:x");
    ASSERT_TRUE(demo.pumpUntil([&] { return demo.editor.connected(); }));
    server->send(setKey(0, 3, 1, Interpolation::step));
    ASSERT_TRUE(demo.pumpUntil([&] { return !tracks.find("a:x")->empty(); }));

    // Dropped: one line; found again, keys cleared and every track asked again.
    server->drop();
    ASSERT_TRUE(demo.pumpUntil([&] { return !demo.editor.connected(); }));
    const auto dropped = Clock::now();
    ASSERT_TRUE(server->accept(pump));
    const double reconnectMs = std::chrono::duration<double, std::milli>(Clock::now() - dropped).count();
    EXPECT_LT(reconnectMs, 2000);
    testsupport::reportFigure("editor found again after a drop", reconnectMs, "ms");
    EXPECT_EQ(server->askedTrack(pump), "a:x");
    ASSERT_TRUE(demo.pumpUntil([&] { return demo.editor.connected(); }));
    EXPECT_TRUE(tracks.find("a:x")->empty());
    ASSERT_EQ(demo.lines.size(), 3u);
    EXPECT_EQ(demo.lines[1], "tarnix: the sync editor at " + demo.editor.address() + ": it closed the connection");

    // Garbage: one line naming it, never the demo's end; a track id nobody
    // asked for likewise.
    for (const std::string& garbage : {std::string(1, '\x09'), setKey(7, 0, 0, Interpolation::step)}) {
        demo.lines.clear();
        server->send(garbage);
        ASSERT_TRUE(demo.pumpUntil([&] { return !demo.editor.connected(); }));
        ASSERT_EQ(demo.lines.size(), 1u);
        EXPECT_NE(demo.lines[0].find("; the connection is ended"), std::string::npos) << demo.lines[0];
        server->drop();
        ASSERT_TRUE(server->accept(pump));
        EXPECT_EQ(server->askedTrack(pump), "a:x");
    }

    // No editor at all: the tries go on silently.
    server.reset();
    demo.lines.clear();
    demo.pumpUntil([] { return false; });
    EXPECT_FALSE(demo.editor.connected());
    EXPECT_EQ(demo.lines.size(), 1u);  // the last connection's end, nothing for the tries
}
