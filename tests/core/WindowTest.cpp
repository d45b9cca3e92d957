#include "engine/core/Init.h"
#include "engine/core/Window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

TEST(WindowTest, FreshWindowIsFullscreen640By480WithAnEmptyTitle) {
    tarnix::Window fresh;
    EXPECT_EQ(fresh.getWidth(), 640);
    EXPECT_EQ(fresh.getHeight(), 480);
    EXPECT_TRUE(fresh.isFullscreen());
    EXPECT_STREQ(fresh.getTitle(), "");
    EXPECT_EQ(fresh.getFlags(), Uint32(SDL_OPENGL));
    EXPECT_EQ(fresh.getSurface(), nullptr);
}

TEST(WindowTest, TitleKeepsAtMost255Characters) {
    tarnix::Window fresh;
    const std::string longTitle(300, 'x');
    fresh.setTitle(longTitle.c_str());
    EXPECT_EQ(std::string(fresh.getTitle()), std::string(255, 'x'));
    fresh.setTitle("short");
    EXPECT_STREQ(fresh.getTitle(), "short");
}

// One test for the whole bring-up, since setting a video mode again replaces
// the OpenGL context.
TEST(WindowTest, BringUpOpensTheCaptionedFullscreenModeAndHidesTheCursor) {
    ASSERT_TRUE(tarnix::init.init()) << "needs an X display (DISPLAY)";
    SDL_Surface* surface = tarnix::window.getSurface();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->w, 640);
    EXPECT_EQ(surface->h, 480);
    EXPECT_TRUE(surface->flags & SDL_OPENGL);
    EXPECT_TRUE(tarnix::window.getFlags() & SDL_FULLSCREEN);

    char* caption = nullptr;
    char* iconCaption = nullptr;
    SDL_WM_GetCaption(&caption, &iconCaption);
    ASSERT_NE(caption, nullptr);
    EXPECT_STREQ(caption, "Kelbo vs. Vistral");
    EXPECT_EQ(iconCaption, nullptr);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

    // setTitle shows its own text; a new mode brings the demo's caption back.
    tarnix::window.setTitle("tool");
    SDL_WM_GetCaption(&caption, &iconCaption);
    EXPECT_STREQ(caption, "tool");

    // Fullscreen, once requested, stays in the flags.
    tarnix::window.setFullscreen(false);
    ASSERT_TRUE(tarnix::window.init());
    EXPECT_TRUE(tarnix::window.getFlags() & SDL_FULLSCREEN);
    SDL_WM_GetCaption(&caption, &iconCaption);
    EXPECT_STREQ(caption, "Kelbo vs. Vistral");

    tarnix::init.close();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u);
}
