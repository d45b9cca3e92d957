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
    // Puts back an order getRanks() gave (count entries), so that the next
    // sort starts from it: ties keep the order of the sorts before, and a
    // replayed frame sorts as the frame it replays did.
    void setRanks(const int* order);
    unsigned getCount() const;

protected:
    std::vector<int> ranks;
    Particle* particles = nullptr;  // not owned
    unsigned count = 0;
};

// Least-significant-byte radix sort on the bit pattern of position.z, in four
// counting passes. Ascending by value: most negative first, -0 before +0;
// equal non-negative keys keep their order from the previous sort, equal
// negative keys come out reversed. A NaN with the sign bit clear sorts after
// +infinity, with it set before -infinity. All buffers are made once, with the
// sorter: a sort allocates nothing.
class Radix : public Sort {
public:
    // What the passes move: a particle's key in the high 32 bits, its index in
    // the low 32. Index and key travel as one word, so a pass reads its input
    // in order and writes one output stream instead of looking each key up
    // through its index.
    using Entry = std::uint64_t;

    Radix(Particle* particles, unsigned count);

    void sort() override;
    // One counting pass on key byte `pass` (0 least significant) of count
    // entries from source to destination; pass 3 orders the negative keys
    // first, descending. Uses the histogram row of the pass, which sort()
    // counts beforehand. A pass past the key's four bytes copies the entries
    // unchanged, as a stable pass on a zero byte would.
    void radixPass(const Entry* source, Entry* destination, unsigned pass);

private:
    void countKeys();
    void setAscendingOffsets(unsigned pass);
    void setSignedOffsets();

    static const unsigned keyBytes = 4;
    std::uint32_t histogram[keyBytes][256] = {};  // byte counts, one row per key byte
    std::uint32_t offsets[256] = {};       // next output position of each byte value
    std::uint32_t steps[256] = {};         // +1, or -1 (modulo 2^32) for negative buckets
    std::vector<std::uint32_t> keys;       // key of particle i, read once per sort
    std::vector<Entry> entries;            // the passes alternate between these two
    std::vector<Entry> scratch;
    unsigned negativeCount = 0;            // keys with the sign bit set
};

}  // namespace tarnix
