#include "engine/render/Sort.h"

#include "engine/render/Particle.h"

#include <cstring>
#include <numeric>

namespace tarnix {

Sort::Sort(Particle* sorted, unsigned particleCount) : particles(sorted), count(particleCount) {}

Sort::~Sort() = default;

const int* Sort::getRanks() const { return ranks.data(); }

unsigned Sort::getCount() const { return count; }

Radix::Radix(Particle* sorted, unsigned particleCount)
    : Sort(sorted, particleCount),
      scratch(particleCount),
      particleKeys(particleCount),
      keys(particleCount),
      scratchKeys(particleCount) {
    ranks.resize(particleCount);
    std::iota(ranks.begin(), ranks.end(), 0);
}

// The keys are read in one sweep over the particles, which also counts the
// four byte histograms (the counts do not depend on the order), then lined up
// in the order of the previous sort; the passes never touch the particles.
void Radix::sort() {
    negativeCount = 0;
    std::memset(histogram, 0, sizeof histogram);
    for (unsigned i = 0; i < count; ++i) {
        std::uint32_t key = 0;
        std::memcpy(&key, &particles[i].position.z, sizeof key);
        particleKeys[i] = key;
        ++histogram[0][key & 0xFF];
        ++histogram[1][(key >> 8) & 0xFF];
        ++histogram[2][(key >> 16) & 0xFF];
        ++histogram[3][key >> 24];
    }
    for (unsigned i = 0; i < count; ++i)
        keys[i] = particleKeys[ranks[i]];
    radixPass(ranks.data(), keys.data(), scratch.data(), scratchKeys.data(), 0);
    radixPass(scratch.data(), scratchKeys.data(), ranks.data(), keys.data(), 1);
    radixPass(ranks.data(), keys.data(), scratch.data(), scratchKeys.data(), 2);
    radixPass(scratch.data(), scratchKeys.data(), ranks.data(), keys.data(), 3);
}

void Radix::radixPass(const int* source, const std::uint32_t* sourceKeys, int* destination,
                      std::uint32_t* destinationKeys, unsigned pass) {
    const std::uint32_t* counts = histogram[pass];
    const unsigned shift = 8 * pass;
    if (pass < 3) {
        offsets[0] = 0;
        for (int b = 1; b < 256; ++b)
            offsets[b] = offsets[b - 1] + counts[b - 1];
        for (unsigned i = 0; i < count; ++i) {
            const std::uint32_t key = sourceKeys[i];
            const std::uint32_t at = offsets[(key >> shift) & 0xFF]++;
            destination[at] = source[i];
            destinationKeys[at] = key;
        }
        return;
    }
    // The byte with the sign bit: 128..255 are negative numbers. They come
    // first, larger patterns (more negative) first, and each negative bucket
    // fills from its end, which reverses the ascending order of the lower
    // bytes into ascending order of value.
    negativeCount = 0;
    for (int b = 128; b < 256; ++b)
        negativeCount += counts[b];
    offsets[0] = negativeCount;
    for (int b = 1; b < 128; ++b)
        offsets[b] = offsets[b - 1] + counts[b - 1];
    offsets[255] = 0;
    for (int b = 254; b >= 128; --b)
        offsets[b] = offsets[b + 1] + counts[b + 1];
    for (int b = 128; b < 256; ++b)
        offsets[b] += counts[b];
    for (unsigned i = 0; i < count; ++i) {
        const std::uint32_t key = sourceKeys[i];
        const unsigned b = key >> 24;
        const std::uint32_t at = b < 128 ? offsets[b]++ : --offsets[b];
        destination[at] = source[i];
        destinationKeys[at] = key;
    }
}

}  // namespace tarnix
