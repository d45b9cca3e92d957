// The event pump fed with real events through SDL's own queue (SDL's dummy
// video driver, so no display is needed).

#include "engine/core/Input.h"

#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

using testsupport::FakeClock;

namespace {

const int escape = SDLK_ESCAPE;

void pushKey(Uint8 type, SDLKey key) {
    SDL_Event event = {};
    event.type = type;
    event.key.type = type;
    event.key.keysym.sym = key;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void pushButton(Uint8 type, Uint8 button) {
    SDL_Event event = {};
    event.type = type;
    event.button.type = type;
    event.button.button = button;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void pushMotion() {
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.type = SDL_MOUSEMOTION;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

class InputTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        testing::FLAGS_gtest_death_test_style = "threadsafe";
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    static void TearDownTestSuite() { SDL_Quit(); }

    void SetUp() override {
        SDL_Event stale;
        while (SDL_PollEvent(&stale)) {
        }
    }

    // Pushes an event, then takes it with one pass of the pump.
    void pressButtonAt(unsigned ticks, Uint8 button) {
        clock.now = ticks;
        pushButton(SDL_MOUSEBUTTONDOWN, button);
        input.pollEvent();
    }
    void releaseButton(Uint8 button) {
        pushButton(SDL_MOUSEBUTTONUP, button);
        input.pollEvent();
    }

    FakeClock clock;
    tarnix::Input input;
};

}  // namespace

// A loop that asks for a stop takes the whole queue: Escape behind mouse
// motion is seen in one call, Alt+F4 asks as Escape does (F4 alone does not),
// and the stop holds until forgotten.
TEST_F(InputTest, AStopIsSeenBehindOtherEventsUntilForgotten) {
    for (int i = 0; i < 20; ++i)
        pushMotion();
    pushKey(SDL_KEYDOWN, SDLK_F4);
    EXPECT_FALSE(input.stopAsked());
    for (int i = 0; i < 20; ++i)
        pushMotion();
    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    pushMotion();
    EXPECT_TRUE(input.stopAsked());
    EXPECT_TRUE(input.stopAsked());
    input.forgetStop();
    EXPECT_FALSE(input.stopAsked());

    SDL_Event altF4 = {};
    altF4.type = altF4.key.type = SDL_KEYDOWN;
    altF4.key.keysym.sym = SDLK_F4;
    altF4.key.keysym.mod = KMOD_LALT;
    ASSERT_EQ(SDL_PushEvent(&altF4), 0);
    EXPECT_TRUE(input.stopAsked());
    input.forgetStop();

    input.setQuitEndsProgram(false);
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 0);
    EXPECT_TRUE(input.stopAsked());
}

TEST_F(InputTest, EscapeStaysTheLastKeyAfterItsRelease) {
    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    input.pollEvent();
    EXPECT_EQ(input.getKeyboard().getLastKey(), 27);
    EXPECT_TRUE(input.getKeyboard().isKeyPressed(escape));

    pushKey(SDL_KEYUP, SDLK_ESCAPE);
    input.pollEvent();
    EXPECT_EQ(input.getKeyboard().getLastKey(), 27);
    EXPECT_FALSE(input.getKeyboard().isKeyPressed(escape));
}

TEST_F(InputTest, OneEventIsTakenPerPass) {
    pushKey(SDL_KEYDOWN, SDLK_a);
    pushKey(SDL_KEYDOWN, SDLK_ESCAPE);
    input.pollEvent();
    EXPECT_EQ(input.getKeyboard().getLastKey(), SDLK_a);
    input.pollEvent();
    EXPECT_EQ(input.getKeyboard().getLastKey(), 27);
}

TEST_F(InputTest, SameKeyPressedAgainAfterReleaseIsPressedAgain) {
    pushKey(SDL_KEYDOWN, SDLK_a);
    input.pollEvent();
    pushKey(SDL_KEYUP, SDLK_a);
    input.pollEvent();
    EXPECT_FALSE(input.getKeyboard().isKeyPressed(SDLK_a));

    pushKey(SDL_KEYDOWN, SDLK_a);
    input.pollEvent();
    EXPECT_TRUE(input.getKeyboard().isKeyPressed(SDLK_a));
    EXPECT_EQ(input.getKeyboard().getLastKey(), SDLK_a);
}

TEST_F(InputTest, ReexaminedKeyDownChangesNothing) {
    pushKey(SDL_KEYDOWN, SDLK_b);
    input.pollEvent();
    input.getKeyboard().setKey(SDLK_b, false);

    input.pollEvent();  // empty queue: the same key-down is examined again
    EXPECT_EQ(input.getEventType(), SDL_KEYDOWN);
    EXPECT_EQ(input.getPreviousEventType(), SDL_KEYDOWN);
    EXPECT_FALSE(input.getKeyboard().isKeyPressed(SDLK_b));
    EXPECT_EQ(input.getKeyboard().getLastKey(), SDLK_b);
}

TEST_F(InputTest, UnknownKeysAndButtonsAreNotPressed) {
    EXPECT_FALSE(input.getKeyboard().isKeyPressed(SDLK_z));
    EXPECT_FALSE(input.getMouse().isButtonPressed(3));
}

TEST_F(InputTest, TwoQuickPressesCountOneEvenWithMotionBetween) {
    pressButtonAt(0, 1);
    EXPECT_EQ(input.getMouse().getRepeatCount(), 0);
    releaseButton(1);
    pushMotion();
    input.pollEvent();
    pressButtonAt(150, 1);
    EXPECT_EQ(input.getMouse().getRepeatCount(), 1);

    releaseButton(1);
    pressButtonAt(300, 1);  // within 200 ms of the second press
    EXPECT_EQ(input.getMouse().getRepeatCount(), 2);

    pushMotion();
    input.pollEvent();
    EXPECT_EQ(input.getMouse().getRepeatCount(), 0);
}

TEST_F(InputTest, LatePressClosesTheWindowAndTheNextOneOpensItsOwn) {
    pressButtonAt(0, 1);
    EXPECT_EQ(input.getMouse().getRepeatCount(), 0);
    releaseButton(1);
    pressButtonAt(1000, 1);
    EXPECT_EQ(input.getMouse().getRepeatCount(), 0);
    releaseButton(1);
    pressButtonAt(5000, 1);
    EXPECT_EQ(input.getMouse().getRepeatCount(), 1);
}

TEST_F(InputTest, PressOfAnotherButtonResetsTheCount) {
    pressButtonAt(0, 1);
    releaseButton(1);
    pressButtonAt(50, 1);
    ASSERT_EQ(input.getMouse().getRepeatCount(), 1);
    pressButtonAt(60, 3);
    EXPECT_EQ(input.getMouse().getRepeatCount(), 0);
    EXPECT_TRUE(input.getMouse().isButtonPressed(3));
}

TEST_F(InputTest, ReexaminedButtonDownStaysPressedAndResetsOnceTheWindowHasPassed) {
    pressButtonAt(0, 1);
    releaseButton(1);
    pressButtonAt(100, 1);
    ASSERT_EQ(input.getMouse().getRepeatCount(), 1);

    clock.now = 250;  // within 200 ms of the press at 100
    input.pollEvent();
    EXPECT_EQ(input.getMouse().getRepeatCount(), 1);
    EXPECT_TRUE(input.getMouse().isButtonPressed(1));

    clock.now = 301;
    input.pollEvent();
    EXPECT_EQ(input.getMouse().getRepeatCount(), 0);
    EXPECT_TRUE(input.getMouse().isButtonPressed(1));
}

// A button press is placed where the event says, wherever the pointer is
// by then; nextPress() hands on keys and buttons, one press each, in order.
TEST_F(InputTest, PointerPositionCountsFromTheBottomEdgeAndAPressIsWhereItHappened) {
    pushMotion();
    input.pollEvent();  // the dummy driver's pointer sits at the top-left pixel
    EXPECT_EQ(input.getMouse().getX(), 0);
    EXPECT_EQ(input.getMouse().getY(), 480);

    SDL_Event click = {};
    click.type = click.button.type = SDL_MOUSEBUTTONDOWN;
    click.button.button = SDL_BUTTON_LEFT;
    click.button.x = 100;
    click.button.y = 30;
    ASSERT_EQ(SDL_PushEvent(&click), 0);
    pushMotion();
    pushKey(SDL_KEYDOWN, SDLK_t);
    tarnix::Press press;
    ASSERT_TRUE(input.nextPress(press));
    EXPECT_EQ(press.button, SDL_BUTTON_LEFT);
    EXPECT_EQ(press.key, 0);
    EXPECT_EQ(press.x, 100);
    EXPECT_EQ(press.y, 450);
    ASSERT_TRUE(input.nextPress(press));  // past the motion
    EXPECT_EQ(press.key, SDLK_t);
    EXPECT_EQ(press.button, 0);
    EXPECT_FALSE(input.nextPress(press));
}

TEST_F(InputTest, QuitRequestExitsWithStatusZeroThroughTheExitHandlers) {
    EXPECT_EXIT(
        {
            std::atexit([] { std::fputs("exit handler ran\n", stderr); });
            SDL_Event quit = {};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
            input.pollEvent();
            std::fputs("pollEvent returned\n", stderr);
        },
        testing::ExitedWithCode(0), "^exit handler ran\n$");
}
