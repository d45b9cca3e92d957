// The pointer under --native, on an X server of the test's own (a 1024 × 768
// screen), where no other test's window or grab takes its motion.

#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/core/Input.h"
#include "engine/core/Window.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

// Moves the system pointer to screen pixel (x, y) and waits (at most 2 s)
// until SDL has seen it there.
bool pointerAt(int x, int y) {
    SDL_WarpMouse(static_cast<Uint16>(x), static_cast<Uint16>(y));
    for (int waited = 0; waited < 2000; waited += 5) {
        SDL_PumpEvents();
        int seenX = -1, seenY = -1;
        SDL_GetMouseState(&seenX, &seenY);
        if (seenX == x && seenY == y)
            return true;
        SDL_Delay(5);
    }
    return false;
}

}  // namespace

// Fullscreen at the display's own size (here 1024 × 768, 1.6 screen pixels a
// window pixel) the pointer is read and set in window pixels of the 640 × 480
// picture: its corners and centre read as the picture's, and a pixel set is
// the first screen pixel that reads back as it, at a scale that is not whole.
TEST(PointerTest, UnderNativeItIsInWindowPixelsOfThePicture) {
    tarnix::window.setNative(true);
    ASSERT_TRUE(tarnix::init.init()) << "needs an X display (DISPLAY)";
    const SDL_Surface* screen = tarnix::window.getSurface();
    const tarnix::PictureArea area = tarnix::getPictureArea();
    ASSERT_NE(area.width % 640, 0) << "the display gives a whole scale (" << screen->w << " x " << screen->h
                                   << "); this check needs one that is not";
    const int left = area.x, top = screen->h - area.y - area.height;
    tarnix::InputMouse& mouse = tarnix::input.getMouse();
    auto readsAs = [&](int screenX, int screenY, int x, int y) {
        ASSERT_TRUE(pointerAt(screenX, screenY)) << screenX << ", " << screenY;
        mouse.getPosition();
        EXPECT_EQ(mouse.getX(), x) << "screen " << screenX << ", " << screenY;
        EXPECT_EQ(mouse.getY(), 480 - y) << "screen " << screenX << ", " << screenY;  // counted from the bottom
    };
    readsAs(left, top, 0, 0);
    readsAs(left + area.width - 1, top + area.height - 1, 639, 479);
    readsAs(left + area.width / 2, top + area.height / 2, 320, 240);

    for (int pixel : {1, 2, 3, 5, 7, 318, 479}) {
        ASSERT_TRUE(pointerAt(0, 0));
        mouse.setPosition(pixel, pixel);
        EXPECT_EQ(mouse.getX(), pixel);
        EXPECT_EQ(mouse.getY(), 480 - pixel);
        int screenX = 0, screenY = 0;
        for (int waited = 0; waited < 2000 && screenX == 0 && screenY == 0; waited += 5) {
            SDL_PumpEvents();
            SDL_GetMouseState(&screenX, &screenY);
            SDL_Delay(5);
        }
        readsAs(screenX, screenY, pixel, pixel);
        readsAs(screenX - 1, screenY - 1, pixel - 1, pixel - 1);
    }
    tarnix::init.close();
    tarnix::window.setNative(false);
}
