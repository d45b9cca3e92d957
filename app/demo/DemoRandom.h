#pragma once

#include <cstdint>

// The demo's random sequence, the same on every platform: the additive
// feedback generator of degree 31 (r[i] = r[i-3] + r[i-31], the top 31 bits
// given out) seeded as the GNU C library seeds its rand(), so that the picks
// are the ones the demo has always made on Linux. Its state is a plain value,
// which a frame state copies and puts back.

struct RandomSequence {
    static const int degree = 31;
    std::int32_t words[degree] = {};
    unsigned char front = 0;  // index of r[i-3]
    unsigned char rear = 0;   // index of r[i-31]

    bool operator==(const RandomSequence& other) const;
};

// The sequence the demo draws from, seeded with 1 when the program starts
// (as rand() is before any srand()).
RandomSequence& demoRandomSequence();
// The next number of the demo's sequence, 0 to 2^31 - 1, as rand() gives it.
int demoRandom();
// Starts the demo's sequence afresh from `seed`, as srand() does.
void seedDemoRandom(unsigned seed);
