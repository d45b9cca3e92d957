#include "app/demo/FrameState.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// rand() draws from the generator of random(), whose state lives in the array
// last given to initstate() or setstate(). Switching arrays with setstate()
// writes the generator's position into the array left behind, so parking on
// a second array makes the first one a complete copy of the generator.
alignas(std::int32_t) char sequence[128];
alignas(std::int32_t) char parking[128];

}  // namespace

void takeOverRandomSequence() {
    initstate(1, parking, sizeof parking);
    initstate(1, sequence, sizeof sequence);  // seed 1: the state rand() has before any srand()
}

void copyRandomSequence(std::array<char, 128>& to) {
    setstate(parking);
    std::memcpy(to.data(), sequence, sizeof sequence);
    setstate(sequence);
}

void setRandomSequence(const std::array<char, 128>& from) {
    setstate(parking);
    std::memcpy(sequence, from.data(), sizeof sequence);
    setstate(sequence);
}
