#pragma once

#include <cstdint>
#include <vector>

namespace tarnix {

struct Particle;

// Orders a particle array by depth without moving it: ranks[k] is the index of
// the particle at sorted position k.
class Sort {
public:
    Sort(Particle* particles, unsigned count);
    virtual ~Sort();
    Sort(const Sort&) = delete;
    Sort& operator=(const Sort&) = delete;

    // Recomputes the ranks, starting from the order they hold.
    virtual void sort() = 0;
    // count entries; valid until the sorter is destroyed.
    const int* getRanks() const;
    unsigned getCount() const;

protected:
    std::vector<int> ranks;
    Particle* particles = nullptr;  // not owned
    unsigned count = 0;
};

// Least-significant-byte radix sort on the bit pattern of position.z, in four
// counting passes over 32-bit indices. Ascending by value: most negative
// first, -0 before +0; equal non-negative keys keep their order from the
// previous sort, equal negative keys come out reversed. A NaN with the sign
// bit clear sorts after +infinity, with it set before -infinity. All buffers
// are made once, with the sorter: a sort allocates nothing.
class Radix : public Sort {
public:
    Radix(Particle* particles, unsigned count);

    void sort() override;
    // One counting pass on key byte `pass` (0 least significant) from source
    // to destination, each index moving with its key (sourceKeys[i] is the
    // key of source[i]); pass 3 orders the negative keys first, descending.
    void radixPass(const int* source, const std::uint32_t* sourceKeys, int* destination,
                   std::uint32_t* destinationKeys, unsigned pass);

private:
    std::uint32_t histogram[4][256] = {};  // byte counts, one row per key byte
    std::uint32_t offsets[256] = {};       // running output positions of a pass
    std::vector<int> scratch;              // second index array
    // Keys are read from the particles once, in storage order. From then on
    // they travel with the indices, so that a pass reads its input in order
    // instead of looking each key up through its index.
    std::vector<std::uint32_t> particleKeys;  // key of particle i
    std::vector<std::uint32_t> keys;          // keys of ranks[]
    std::vector<std::uint32_t> scratchKeys;   // keys of scratch[]
    unsigned negativeCount = 0;            // keys with the sign bit set
};

}  // namespace tarnix
