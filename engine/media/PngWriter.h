#pragma once

#include <string>

namespace tarnix {

// Writes an 8-bit RGB (3 channels) or RGBA (4) PNG from rows given top first,
// `width` × channels bytes each. compressionLevel is zlib's, 0 (none) to 9;
// the same pixels and level always give the same bytes. False with the
// reason in `error`.
bool writePngFile(const std::string& path, int width, int height, int channels, const unsigned char* rows,
                  int compressionLevel, std::string& error);

}  // namespace tarnix
