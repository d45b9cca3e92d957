#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using PackEntries = std::vector<std::pair<std::string, std::string>>;  // name, content

inline std::string u32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

// A file chunk written out by hand from the pack layout: tag, count, entries.
inline std::string fileChunk(const PackEntries& entries) {
    std::string bytes = "\xFC" + u32(static_cast<std::uint32_t>(entries.size()));
    for (const auto& [name, content] : entries)
        bytes += name + std::string(1, '\0') + u32(static_cast<std::uint32_t>(content.size())) + content;
    return bytes;
}

// A whole pack as the writer lays it out: header, script chunk, file chunk.
inline std::string packBytes(const PackEntries& entries) {
    return std::string("\xFA\xFB", 2) + u32(0) + fileChunk(entries);
}

}  // namespace testsupport
