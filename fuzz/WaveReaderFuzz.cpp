// The browser mixer's WAV reader on any bytes, then the conversion to the
// device's stereo at 44.1 kHz that every sound it reads goes through.

#include "engine/media/Pcm.h"
#include "fuzz/FuzzSupport.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Samples of 16 bits from 8-bit ones double the bytes; the device's rate
    // from the lowest allowed multiplies them by 44100 / 8000, and mono to
    // stereo by two again: about 2 × 2 × 5.5 × 2 bytes a byte of input.
    fuzzsupport::AllocationBudget budget(size, 48, 1 << 16);
    tarnix::Pcm pcm;
    std::string error;
    if (!tarnix::decodeWave(data, size, pcm, error)) {
        if (error.empty())
            fuzzsupport::fail("a WAVE file refused without a reason");
        return 0;
    }
    if (pcm.channels < 1 || pcm.channels > 2 || pcm.rate < tarnix::lowestPcmRate || pcm.rate > tarnix::highestPcmRate)
        fuzzsupport::fail("a WAVE file read with a channel count or rate outside the bounds");
    const std::size_t frames = pcm.samples.size() / static_cast<std::size_t>(pcm.channels);
    const std::vector<std::int16_t> stereo = tarnix::stereoAtRate(pcm, 44100);
    const auto expected = static_cast<std::size_t>(static_cast<double>(frames) * 44100 / pcm.rate);
    if (stereo.size() != 2 * expected)
        fuzzsupport::fail("the stereo samples are not the frames at the device's rate");
    return 0;
}
