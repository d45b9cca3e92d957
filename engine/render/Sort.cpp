#include "engine/render/Sort.h"

#include "engine/render/Particle.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <numeric>

namespace tarnix {

Sort::Sort(Particle* sorted, unsigned particleCount) : particles(sorted), count(particleCount) {}

Sort::~Sort() = default;

const int* Sort::getRanks() const { return ranks.data(); }

void Sort::setRanks(const int* order) { std::copy(order, order + count, ranks.begin()); }

unsigned Sort::getCount() const { return count; }

namespace {

Radix::Entry makeEntry(std::uint32_t key, int index) {
    return static_cast<Radix::Entry>(key) << 32 | static_cast<std::uint32_t>(index);
}

unsigned keyByte(Radix::Entry entry, unsigned pass) { return (entry >> (32 + 8 * pass)) & 0xFF; }

int indexOf(Radix::Entry entry) { return static_cast<int>(static_cast<std::uint32_t>(entry)); }

}  // namespace

Radix::Radix(Particle* sorted, unsigned particleCount)
    : Sort(sorted, particleCount), keys(particleCount), entries(particleCount), scratch(particleCount) {
    ranks.resize(particleCount);
    std::iota(ranks.begin(), ranks.end(), 0);
}

// The keys are read in one sweep over the particles, which also counts the
// four byte histograms (the counts do not depend on the order), then lined up
// in the order of the previous sort; the passes never touch the particles.
void Radix::sort() {
    countKeys();
    for (unsigned i = 0; i < count; ++i)
        entries[i] = makeEntry(keys[ranks[i]], ranks[i]);
    radixPass(entries.data(), scratch.data(), 0);
    radixPass(scratch.data(), entries.data(), 1);
    radixPass(entries.data(), scratch.data(), 2);
    radixPass(scratch.data(), entries.data(), 3);
    for (unsigned i = 0; i < count; ++i)
        ranks[i] = indexOf(entries[i]);
}

void Radix::countKeys() {
    std::memset(histogram, 0, sizeof histogram);
    for (unsigned i = 0; i < count; ++i) {
        std::uint32_t key = 0;
        std::memcpy(&key, &particles[i].position.z, sizeof key);
        keys[i] = key;
        ++histogram[0][key & 0xFF];
        ++histogram[1][(key >> 8) & 0xFF];
        ++histogram[2][(key >> 16) & 0xFF];
        ++histogram[3][key >> 24];
    }
}

void Radix::radixPass(const Entry* source, Entry* destination, unsigned pass) {
    if (pass >= keyBytes) {
        // Every byte past the key is zero: a stable pass on it keeps the order.
        std::copy(source, source + count, destination);
        return;
    }
    if (pass < 3)
        setAscendingOffsets(pass);
    else
        setSignedOffsets();
    // Branch-free on the sign: each bucket moves its output position by its
    // own step, forwards for non-negative bytes, backwards for negative ones.
    for (unsigned i = 0; i < count; ++i) {
        const Entry entry = source[i];
        const unsigned b = keyByte(entry, pass);
        destination[offsets[b]] = entry;
        offsets[b] += steps[b];
    }
}

// A stable ascending counting sort on one unsigned byte.
void Radix::setAscendingOffsets(unsigned pass) {
    const std::uint32_t* counts = histogram[pass];
    offsets[0] = 0;
    for (int b = 1; b < 256; ++b)
        offsets[b] = offsets[b - 1] + counts[b - 1];
    std::fill(std::begin(steps), std::end(steps), 1u);
}

// The byte with the sign bit: 128..255 are negative numbers. They come first,
// larger patterns (more negative) first, and each negative bucket fills from
// its end, which reverses the ascending order of the lower bytes into
// ascending order of value. Non-negative buckets follow, ascending.
void Radix::setSignedOffsets() {
    const std::uint32_t* counts = histogram[3];
    negativeCount = 0;
    for (int b = 128; b < 256; ++b)
        negativeCount += counts[b];
    offsets[0] = negativeCount;
    for (int b = 1; b < 128; ++b)
        offsets[b] = offsets[b - 1] + counts[b - 1];
    std::uint32_t end = counts[255];  // one past the last slot of bucket 255
    for (int b = 255; b >= 128; --b) {
        offsets[b] = end - 1;  // wraps for an empty bucket at 0, which is never written
        if (b > 128)
            end += counts[b - 1];
    }
    for (int b = 0; b < 256; ++b)
        steps[b] = b < 128 ? 1u : ~0u;
}

}  // namespace tarnix
