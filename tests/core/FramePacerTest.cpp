// The frame pacer in real time (it sleeps as the viewer's clock goes); no
// window, so no display paces the frames. Only lower bounds of time are held
// to, which a loaded machine cannot break.

#include "engine/core/FramePacer.h"

#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

}  // namespace

// Trivial frames are held to the rate by sleeping, not spinning: ten frames
// at 100 a second take nine intervals and little processor time. A late
// frame is followed at once, and the schedule starts again after it rather
// than catching up with a burst. Every frame presented is one line of the
// frame log: its demo time, then the clock's.
TEST(FramePacerTest, TrivialFramesSleepToTheRateAndALateOneIsNotMadeUpFor) {
    testsupport::WorkingDirectory folder;
    const std::string log = folder.path() + "/frames.log";
    setenv("TARNIX_FRAME_LOG", log.c_str(), 1);
    {
        tarnix::FramePacer pacer(100);
        unsetenv("TARNIX_FRAME_LOG");
        EXPECT_DOUBLE_EQ(pacer.intervalMs(), 10.0);
        const std::clock_t processorBefore = std::clock();
        const Clock::time_point before = Clock::now();
        for (unsigned frame = 0; frame < 10; ++frame)
            pacer.framePresented(frame * 10);
        const double elapsedMs = msSince(before);
        const double processorMs = 1000.0 * static_cast<double>(std::clock() - processorBefore) / CLOCKS_PER_SEC;
        EXPECT_GE(elapsedMs, 89.0);
        EXPECT_LT(processorMs, elapsedMs / 2) << "the pacer spins";

        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        const Clock::time_point late = Clock::now();
        pacer.framePresented(500);
        EXPECT_LT(msSince(late), 10.0) << "a late frame was waited after";
        const Clock::time_point afterLate = Clock::now();
        for (unsigned frame = 0; frame < 3; ++frame)
            pacer.framePresented(510 + frame * 10);
        EXPECT_GE(msSince(afterLate), 29.0) << "the frames after a late one came in a burst";
    }
    std::ifstream lines(log);
    unsigned demoMs = 0, count = 0, last = 0;
    double wallMs = 0, lastWall = 0;
    while (lines >> demoMs >> wallMs) {
        EXPECT_GE(wallMs, lastWall);
        lastWall = wallMs;
        last = demoMs;
        ++count;
    }
    EXPECT_EQ(count, 14u);
    EXPECT_EQ(last, 530u);
}
