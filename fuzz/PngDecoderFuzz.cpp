// The PNG decoder on any bytes as a picture of data/.

#include "engine/media/Image.h"
#include "fuzz/FuzzSupport.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::enterScratchDirectory();
    fuzzsupport::writeInput("data/input.png", data, size);
    tarnix::Image pictures;
    std::unique_ptr<tarnix::ImageData> picture(pictures.loadPNG("input.png"));
    if (picture && picture->pixels.size() != static_cast<std::size_t>(picture->width) * picture->height)
        fuzzsupport::fail("a picture's pixels do not match its size");
    return 0;
}
