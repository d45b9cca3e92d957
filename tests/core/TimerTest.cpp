#include "engine/core/Timer.h"

#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <cmath>

using testsupport::FakeClock;

TEST(TimerTest, TimeChangesOnlyInUpdateAndCountsFromInit) {
    FakeClock clock;
    clock.now = 5000;
    tarnix::Timer timer;
    timer.init();
    clock.now = 5250;
    EXPECT_EQ(timer.getTime(), 0u);

    timer.update();
    EXPECT_EQ(clock.totalSlept, 1u);
    EXPECT_EQ(timer.getTime(), 251u);  // the 1 ms slept inside update counts

    // A repeated init keeps the last value until the next update.
    timer.init();
    EXPECT_EQ(timer.getTime(), 251u);
    timer.update();
    EXPECT_EQ(timer.getTime(), 1u);

    // A tick count that steps back holds the time until it is passed again.
    clock.now -= 200;
    timer.update();
    EXPECT_EQ(timer.getTime(), 1u);
    clock.now += 209;
    timer.update();
    EXPECT_EQ(timer.getTime(), 12u);
}

TEST(TimerTest, TimeWrapsWithTheTickCount) {
    FakeClock clock;
    clock.now = 0xFFFFFF00u;
    tarnix::Timer timer;
    timer.init();
    clock.now = 0x00000100u - 1;  // the update's 1 ms sleep brings it to 0x100
    timer.update();
    EXPECT_EQ(timer.getTime(), 0x200u);
}

TEST(TimerTest, TimePositionUsesUnsignedDifferences) {
    FakeClock clock;
    tarnix::Timer timer;
    timer.init();
    clock.now = 1499;
    timer.update();  // time = 1500
    EXPECT_FLOAT_EQ(timer.getTimePosition(1000, 2000), 0.5f);
    EXPECT_FLOAT_EQ(timer.getTimePosition(1500, 3500), 0.0f);
    EXPECT_FLOAT_EQ(timer.getTimePosition(0, 1000), 1.5f);
    // A window that has not started yet gives a huge positive value.
    EXPECT_GT(timer.getTimePosition(2000, 3000), 4.0e6f);
    EXPECT_TRUE(std::isinf(timer.getTimePosition(1000, 1000)));
    EXPECT_TRUE(std::isnan(timer.getTimePosition(1500, 1500)));
}

TEST(TimerTest, PauseFreezesTimeAndResumeJumpsByThePause) {
    FakeClock clock;
    tarnix::Timer timer;
    timer.init();
    clock.now = 99;
    timer.update();
    EXPECT_EQ(timer.getTime(), 100u);

    timer.setPause(true);
    EXPECT_TRUE(timer.isPause());
    clock.now += 1000;
    timer.update();
    EXPECT_EQ(timer.getTime(), 100u);

    timer.setPause(false);
    timer.update();
    EXPECT_EQ(timer.getTime(), 1102u);
}
