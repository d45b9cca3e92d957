// The capture's deflater on any bytes, read back by zlib: every stream it
// makes must inflate to exactly its input, for each pixel distance, within
// the bound it promises.

#include "engine/media/RunDeflater.h"
#include "fuzz/FuzzSupport.h"

#include <zlib.h>

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks the pixel distance (0 to 4; 0 looks for repeated
    // bytes only), the rest is the input.
    const int pixelBytes = data[0] % 5;
    const unsigned char* input = data + 1;
    const std::size_t length = size - 1;
    tarnix::RunDeflater deflater;
    std::vector<unsigned char> stream;
    deflater.compress(input, length, pixelBytes, stream);
    if (stream.size() > tarnix::RunDeflater::bound(length))
        fuzzsupport::fail("a stream longer than the deflater's bound");
    std::vector<unsigned char> inflated(length + 1);
    uLongf inflatedLength = static_cast<uLongf>(inflated.size());
    const int status = uncompress(inflated.data(), &inflatedLength, stream.data(), static_cast<uLong>(stream.size()));
    if (status != Z_OK)
        fuzzsupport::fail("zlib cannot inflate the deflater's stream");
    if (inflatedLength != length || (length > 0 && std::memcmp(inflated.data(), input, length) != 0))
        fuzzsupport::fail("the stream inflates to other bytes than its input");
    return 0;
}
