// The sync editor's commands as the development mode reads them, on any
// bytes, in pieces the input itself sets: whatever comes, the reader takes
// whole commands or names the first malformed one, and holds back no more
// than one command's start.

#include "engine/sync/SyncProtocol.h"
#include "fuzz/FuzzSupport.h"

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // The first byte: how many tracks were asked for; the second: the size of
    // the pieces the rest comes in (1 to 256).
    const std::uint32_t tracksAsked = data[0];
    const std::size_t piece = static_cast<std::size_t>(data[1]) + 1;
    fuzzsupport::AllocationBudget budget(size, 64, 1 << 16);
    tarnix::sync::CommandReader reader;
    std::vector<tarnix::sync::EditorCommand> commands;
    std::string error;
    for (std::size_t at = 2; at < size; at += piece) {
        const std::size_t count = std::min(piece, size - at);
        if (!reader.take(data + at, count, tracksAsked, commands, error)) {
            if (error.empty())
                fuzzsupport::fail("a malformed command refused without a reason");
            break;
        }
    }
    for (const tarnix::sync::EditorCommand& command : commands) {
        const bool namesTrack = command.command == tarnix::sync::Command::setKey ||
                                command.command == tarnix::sync::Command::deleteKey;
        if (namesTrack && command.track >= tracksAsked)
            fuzzsupport::fail("a command about a track nobody asked for was taken");
        if (static_cast<int>(command.key.interpolation) > 3)
            fuzzsupport::fail("a key of an interpolation past ramp was taken");
    }
    return 0;
}
