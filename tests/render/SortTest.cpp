#include "engine/render/Sort.h"

#include "engine/render/Particle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using tarnix::Particle;
using tarnix::Radix;

namespace {

std::uint32_t bitsOf(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return bits;
}

float floatOf(std::uint32_t bits) {
    float value = 0;
    std::memcpy(&value, &bits, 4);
    return value;
}

std::vector<Particle> particlesAt(const std::vector<float>& depths) {
    std::vector<Particle> particles(depths.size());
    for (std::size_t i = 0; i < depths.size(); ++i)
        particles[i].position.z = depths[i];
    return particles;
}

std::vector<int> ranksOf(const Radix& radix) {
    return std::vector<int>(radix.getRanks(), radix.getRanks() + radix.getCount());
}

// The order the sort promises, worked out independently: by value with -0
// before +0, NaNs by their sign, equal non-negative keys in input order and
// equal negative keys in reverse input order.
std::vector<int> referenceOrder(const std::vector<Particle>& particles, const std::vector<int>& input) {
    auto rank = [&](int index) {
        const std::uint32_t bits = bitsOf(particles[index].position.z);
        // Monotone map of the bit pattern onto the number line.
        return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
    };
    std::vector<int> order = input;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return rank(a) < rank(b); });
    for (auto run = order.begin(); run != order.end();) {
        auto end = std::find_if(run, order.end(), [&](int i) { return rank(i) != rank(*run); });
        if (bitsOf(particles[*run].position.z) & 0x80000000u)
            std::reverse(run, end);
        run = end;
    }
    return order;
}

}  // namespace

TEST(RadixSortTest, OrdersByValueNegativesFirst) {
    std::vector<Particle> particles = particlesAt({1.0f, -2.0f, 0.5f, -0.5f});
    Radix radix(particles.data(), 4);
    EXPECT_EQ(ranksOf(radix), std::vector<int>({0, 1, 2, 3}));  // identity before the first sort
    radix.sort();
    EXPECT_EQ(ranksOf(radix), std::vector<int>({1, 3, 2, 0}));

    // A pass on a byte past the 4-byte key is a pass on zeros: order kept.
    const Radix::Entry source[4] = {4, 3, 2, 1};
    for (unsigned pass : {4u, 200u}) {
        Radix::Entry destination[4] = {};
        radix.radixPass(source, destination, pass);
        EXPECT_TRUE(std::equal(source, source + 4, destination)) << "pass " << pass;
    }
}

TEST(RadixSortTest, NegativeZeroComesBeforePositiveZero) {
    for (const std::vector<float>& depths : {std::vector<float>{0.0f, -0.0f}, std::vector<float>{-0.0f, 0.0f}}) {
        std::vector<Particle> particles = particlesAt(depths);
        Radix radix(particles.data(), 2);
        radix.sort();
        EXPECT_TRUE(std::signbit(particles[radix.getRanks()[0]].position.z));
    }
}

TEST(RadixSortTest, EqualKeysKeepOrderWhenNonNegativeAndReverseWhenNegative) {
    std::vector<Particle> particles = particlesAt({5, 5, 5, -5, -5, -5});
    Radix radix(particles.data(), 6);
    radix.sort();
    EXPECT_EQ(ranksOf(radix), std::vector<int>({5, 4, 3, 0, 1, 2}));
    radix.sort();  // starts from the previous order
    EXPECT_EQ(ranksOf(radix), std::vector<int>({3, 4, 5, 0, 1, 2}));
}

TEST(RadixSortTest, ExtremeExponentsAndSpecialValuesSortByValue) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> depths = {3.0e38f,  1.0e38f, inf,      2.0e38f, -inf,    -9.0e-38f, -1.0e-38f,
                                       -5.0e-38f, -2.4e-38f, floatOf(0x7FC00000), floatOf(0xFFC00000), 0.0f};
    std::vector<Particle> particles = particlesAt(depths);
    Radix radix(particles.data(), static_cast<unsigned>(depths.size()));
    radix.sort();
    std::vector<float> sorted;
    for (int index : ranksOf(radix))
        sorted.push_back(particles[index].position.z);
    EXPECT_EQ(bitsOf(sorted.front()), 0xFFC00000u);  // negative NaN first
    EXPECT_EQ(sorted[1], -inf);
    EXPECT_EQ(sorted[2], -9.0e-38f);
    EXPECT_EQ(sorted[3], -5.0e-38f);
    EXPECT_EQ(sorted[4], -2.4e-38f);
    EXPECT_EQ(sorted[5], -1.0e-38f);
    EXPECT_EQ(sorted[6], 0.0f);
    EXPECT_EQ(sorted[7], 1.0e38f);
    EXPECT_EQ(sorted[8], 2.0e38f);
    EXPECT_EQ(sorted[9], 3.0e38f);
    EXPECT_EQ(sorted[10], inf);
    EXPECT_EQ(bitsOf(sorted.back()), 0x7FC00000u);  // positive NaN last
}

TEST(RadixSortTest, RandomDepthsFollowTheReferenceOrderFrameAfterFrame) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> depth(-100.0f, 100.0f);
    std::uniform_int_distribution<int> coin(0, 9);
    const unsigned count = 5000;
    std::vector<Particle> particles(count);
    for (Particle& particle : particles)  // a few repeated depths, as flat clouds have
        particle.position.z = coin(random) == 0 ? std::round(depth(random)) : depth(random);
    Radix radix(particles.data(), count);
    std::vector<int> previous = ranksOf(radix);
    for (int frame = 0; frame < 4; ++frame) {
        radix.sort();
        EXPECT_EQ(ranksOf(radix), referenceOrder(particles, previous)) << "frame " << frame;
        previous = ranksOf(radix);
        for (Particle& particle : particles)  // depths move a little
            particle.position.z += depth(random) * 0.01f;
    }
}
