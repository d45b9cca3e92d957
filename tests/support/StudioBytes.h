#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// 3D Studio chunks put together by hand in the tests: id (u16), length (u32,
// header included), payload, all little-endian.

namespace testsupport {

inline std::string u16le(std::uint16_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

inline std::string u32le(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

inline std::string f32le(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return u32le(bits);
}

inline std::string cstring(const std::string& text) { return text + std::string(1, '\0'); }

inline std::string chunk(std::uint16_t id, const std::string& payload) {
    return u16le(id) + u32le(static_cast<std::uint32_t>(6 + payload.size())) + payload;
}

inline std::string pointArray(const std::vector<float>& xyz) {
    std::string payload = u16le(static_cast<std::uint16_t>(xyz.size() / 3));
    for (float value : xyz)
        payload += f32le(value);
    return chunk(0x4110, payload);
}

// Faces as index triples; the flags word is written as 0. `inside` are the
// chunks nested in the face array (material groups).
inline std::string faceArray(const std::vector<std::uint16_t>& abc, const std::string& inside = "") {
    std::string payload = u16le(static_cast<std::uint16_t>(abc.size() / 3));
    for (std::size_t i = 0; i < abc.size(); i += 3)
        payload += u16le(abc[i]) + u16le(abc[i + 1]) + u16le(abc[i + 2]) + u16le(0);
    return chunk(0x4120, payload + inside);
}

inline std::string materialGroup(const std::string& material, const std::vector<std::uint16_t>& faces) {
    std::string payload = cstring(material) + u16le(static_cast<std::uint16_t>(faces.size()));
    for (std::uint16_t face : faces)
        payload += u16le(face);
    return chunk(0x4130, payload);
}

inline std::string texVerts(const std::vector<float>& uv) {
    std::string payload = u16le(static_cast<std::uint16_t>(uv.size() / 2));
    for (float value : uv)
        payload += f32le(value);
    return chunk(0x4140, payload);
}

inline std::string namedObject(const std::string& name, const std::string& mesh) {
    return chunk(0x4000, cstring(name) + chunk(0x4100, mesh));
}

inline std::string studioFile(const std::string& editorContent) {
    return chunk(0x4D4D, chunk(0x0002, u32le(3)) + chunk(0x3D3D, editorContent));
}

}  // namespace testsupport
