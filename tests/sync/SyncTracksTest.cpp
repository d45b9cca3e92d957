// Sync tracks: the values between keys by the protocol's arithmetic, the
// track files' names and bytes, and the editor's commands read in any pieces.

#include "engine/sync/SyncProtocol.h"
#include "engine/sync/SyncTracks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace tarnix::sync;

namespace {

Track trackOf(const std::vector<Key>& keys) {
    Track track;
    for (const Key& key : keys)
        track.setKey(key);
    return track;
}

std::vector<unsigned char> bytesOf(std::initializer_list<int> values) {
    return std::vector<unsigned char>(values.begin(), values.end());
}

void putBig32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

}  // namespace

TEST(SyncTracksTest, ValuesBetweenKeysFollowEachKeysInterpolation) {
    // Given out of order: kept by row; a key set again at its row replaces it.
    const Track track = trackOf({{40, -2, Interpolation::ramp},
                                 {10, 1, Interpolation::step},
                                 {20, 3, Interpolation::step},
                                 {20, 3, Interpolation::linear},
                                 {30, 5, Interpolation::smooth},
                                 {50, 8, Interpolation::linear}});
    ASSERT_EQ(track.keys().size(), 5u);
    EXPECT_EQ(track.valueAt(-100), 1);  // before the first key: its value
    EXPECT_EQ(track.valueAt(10), 1);
    EXPECT_EQ(track.valueAt(19.99), 1);  // step holds
    EXPECT_EQ(track.valueAt(20), 3);
    EXPECT_DOUBLE_EQ(track.valueAt(25), 4);               // linear, halfway
    EXPECT_DOUBLE_EQ(track.valueAt(32.5), 5 - 7 * 0.15625);  // smooth at a quarter: t²(3 − 2t) = 0.15625
    EXPECT_DOUBLE_EQ(track.valueAt(45), -2 + 10 * 0.25);    // ramp at half: t² = 0.25
    EXPECT_EQ(track.valueAt(50), 8);
    EXPECT_EQ(track.valueAt(1e9), 8);  // after the last key: its value
    // Many rows against the definitions.
    for (double row = 10; row < 50; row += 0.125) {
        const std::vector<Key>& keys = track.keys();
        std::size_t i = 0;
        while (keys[i + 1].row <= row)
            ++i;
        const double t = (row - keys[i].row) / (keys[i + 1].row - keys[i].row);
        const double shape[] = {0, t, t * t * (3 - 2 * t), t * t};
        const double expected = keys[i].value + (keys[i + 1].value - keys[i].value) *
                                                    shape[static_cast<int>(keys[i].interpolation)];
        ASSERT_NEAR(track.valueAt(row), expected, 1e-12) << "row " << row;
    }
    EXPECT_EQ(Track().valueAt(3), 0);  // no key: 0

    // A value whose track has no keys is the code's; rows follow the music.
    TrackSet set;
    set.setRowRate(128, 8);  // 128 beats a minute, 8 rows a beat
    EXPECT_DOUBLE_EQ(set.rowAt(60000), 1024);
    EXPECT_EQ(set.timeOfRow(1024), 60000u);
    // A seek to a row lands on its first ms: the row read back there is the
    // row (an editor's cursor never steps back), the ms before is the one before.
    for (std::uint32_t row = 1; row < 5000; ++row) {
        const std::uint64_t ms = set.timeOfRow(row);
        ASSERT_EQ(static_cast<std::uint32_t>(set.rowAt(ms)), row);
        ASSERT_EQ(static_cast<std::uint32_t>(set.rowAt(ms - 1)), row - 1);
    }
    EXPECT_EQ(set.value("cloud:size", 1000, 30), 30);
    set.track("cloud:size");
    EXPECT_EQ(set.value("cloud:size", 1000, 30), 30);
    set.track("cloud:size").setKey({0, 10, Interpolation::linear});
    set.track("cloud:size").setKey({1024, 20, Interpolation::step});
    EXPECT_FLOAT_EQ(set.value("cloud:size", 30000, 30), 15);
    EXPECT_TRUE(set.track("cloud:size").deleteKey(1024));
    EXPECT_FALSE(set.track("cloud:size").deleteKey(1024));
    EXPECT_EQ(set.value("cloud:size", 30000, 30), 10);
    EXPECT_EQ(set.names(), std::vector<std::string>{"cloud:size"});
}

TEST(SyncTracksTest, TrackFilesAreTheReferencePlayersAndBadOnesAreNamed) {
    EXPECT_EQ(trackFileName("sync", "cloud:size"), "sync_cloud-3Asize.track");
    EXPECT_EQ(trackFileName("sync", "a b/c.d_e"), "sync_a-20b/c.d_e.track");
    EXPECT_EQ(trackFileName("t", "\xC3\xA9"), "t_-C3-A9.track");

    const Track track = trackOf({{3, 0.5f, Interpolation::smooth}, {260, -1, Interpolation::step}});
    const std::vector<unsigned char> bytes = trackFileBytes(track);
    // Little-endian: 2 keys; row 3, 0.5f (0x3F000000), smooth; row 260, -1.0f (0xBF800000), step.
    EXPECT_EQ(bytes, bytesOf({2, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0x3F, 2, 4, 1, 0, 0, 0, 0, 0x80, 0xBF, 0}));
    Track read;
    std::string error;
    ASSERT_TRUE(readTrackFile(bytes.data(), bytes.size(), read, error)) << error;
    ASSERT_EQ(read.keys().size(), 2u);
    EXPECT_EQ(read.keys()[1].row, 260u);
    EXPECT_EQ(read.keys()[0].interpolation, Interpolation::smooth);

    const struct {
        std::vector<unsigned char> bytes;
        const char* error;
    } bad[] = {
        {bytesOf({1, 0, 0}), "a track file shorter than its key count"},
        {bytesOf({2, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0x3F, 2}), "a track file of 2 keys in 13 bytes"},
        {bytesOf({0xFF, 0xFF, 0xFF, 0xFF}), "a track file of 4294967295 keys in 4 bytes"},
        {bytesOf({1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0x3F, 4}), "key 0 has interpolation 4, past ramp (3)"},
        {bytesOf({1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0xC0, 0x7F, 0}), "key 0 holds no finite number"},
        {bytesOf({2, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0}),
         "key 1 is at row 3, not after the key before"},
    };
    for (const auto& file : bad) {
        Track kept = track;
        EXPECT_FALSE(readTrackFile(file.bytes.data(), file.bytes.size(), kept, error));
        EXPECT_EQ(error, file.error);
        EXPECT_EQ(kept.keys().size(), 2u) << "a bad file changed the track";
    }
}

TEST(SyncTracksTest, TheEditorsCommandsAreReadInAnyPiecesAndGarbageIsRefused) {
    std::vector<unsigned char> stream;
    stream.push_back(0);  // SET_KEY track 1, row 7, 2.5f, ramp
    putBig32(stream, 1);
    putBig32(stream, 7);
    const float value = 2.5f;
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    putBig32(stream, bits);
    stream.push_back(3);
    stream.push_back(1);  // DELETE_KEY track 0, row 9
    putBig32(stream, 0);
    putBig32(stream, 9);
    stream.push_back(3);  // SET_ROW 70000
    putBig32(stream, 70000);
    stream.insert(stream.end(), {4, 1, 4, 0, 5});  // PAUSE, PLAY, SAVE_TRACKS
    const std::vector<unsigned char> named = getTrackMessage("x:y");  // an editor's GET_TRACK: read, ignored
    stream.insert(stream.end(), named.begin(), named.end());
    EXPECT_EQ(named, bytesOf({2, 0, 0, 0, 3, 'x', ':', 'y'}));
    EXPECT_EQ(setRowMessage(258), bytesOf({3, 0, 0, 1, 2}));

    for (std::size_t piece : {std::size_t(1), std::size_t(3), stream.size()}) {
        CommandReader reader;
        std::vector<EditorCommand> commands;
        std::string error;
        for (std::size_t at = 0; at < stream.size(); at += piece)
            ASSERT_TRUE(reader.take(stream.data() + at, std::min(piece, stream.size() - at), 2, commands, error))
                << error;
        ASSERT_EQ(commands.size(), 6u) << "pieces of " << piece;
        EXPECT_EQ(commands[0].command, Command::setKey);
        EXPECT_EQ(commands[0].track, 1u);
        EXPECT_EQ(commands[0].key.row, 7u);
        EXPECT_EQ(commands[0].key.value, 2.5f);
        EXPECT_EQ(commands[0].key.interpolation, Interpolation::ramp);
        EXPECT_EQ(commands[1].command, Command::deleteKey);
        EXPECT_EQ(commands[1].row, 9u);
        EXPECT_EQ(commands[2].row, 70000u);
        EXPECT_TRUE(commands[3].paused);
        EXPECT_FALSE(commands[4].paused);
        EXPECT_EQ(commands[5].command, Command::saveTracks);
    }

    const struct {
        std::vector<unsigned char> bytes;
        const char* error;
    } garbage[] = {
        {bytesOf({9}), "an unknown command byte 9"},
        {bytesOf({1, 0, 0, 0, 2, 0, 0, 0, 0}), "track 2, which was never asked for (2 were)"},
        {bytesOf({0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 7}), "a key of interpolation 7, past ramp (3)"},
        {bytesOf({2, 0x7F, 0xFF, 0xFF, 0xFF}), "a track name of 2147483647 bytes"},
    };
    for (const auto& bytes : garbage) {
        CommandReader reader;
        std::vector<EditorCommand> commands;
        std::string error;
        EXPECT_FALSE(reader.take(bytes.bytes.data(), bytes.bytes.size(), 2, commands, error));
        EXPECT_EQ(error, bytes.error);
    }
}
