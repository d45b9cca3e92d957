#pragma once

#include "engine/core/Ticks.h"

namespace testsupport {

// A tick source the test moves by hand; sleeping advances it by the time slept.
// Installed for the lifetime of the object.
class FakeClock : public tarnix::TickSource {
public:
    unsigned now = 0;         // ms
    unsigned totalSlept = 0;  // ms asked for through delay()

    FakeClock() { tarnix::setTickSource(this); }
    ~FakeClock() override { tarnix::setTickSource(nullptr); }
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    unsigned ticks() override { return now; }
    void delay(unsigned milliseconds) override {
        now += milliseconds;
        totalSlept += milliseconds;
    }
};

}  // namespace testsupport
