// The PNG decoder on any bytes as a picture of data/.

#include "engine/media/Image.h"
#include "fuzz/FuzzSupport.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzsupport::enterScratchDirectory();
    fuzzsupport::writeInput("data/input.png", data, size);
    // The decoded words: 4 bytes a pixel, and deflate's 1032 : 1 at best puts
    // at most about 344 RGB pixels behind one input byte. libpng's own rows
    // are malloc'ed and not counted here.
    fuzzsupport::AllocationBudget budget(size, 1400, 1 << 20);
    tarnix::Image pictures;
    std::unique_ptr<tarnix::ImageData> picture(pictures.loadPNG("input.png"));
    if (picture && picture->pixels.size() != static_cast<std::size_t>(picture->width) * picture->height)
        fuzzsupport::fail("a picture's pixels do not match its size");
    return 0;
}
