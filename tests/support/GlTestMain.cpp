// Entry of the test programs that draw: the engine is brought up once, on the
// display named by DISPLAY (Xvfb with Mesa in CI), before any test runs.

#include "engine/core/Init.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Window.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class OpenGlEnvironment : public testing::Environment {
public:
    void SetUp() override {
        // A window rather than the fullscreen mode: fullscreen grabs the pointer,
        // which would keep the child process of a death test from opening its own.
        tarnix::window.setFullscreen(false);
        ASSERT_TRUE(tarnix::init.init()) << "no OpenGL window: is DISPLAY set to a running X server?";
        const GLubyte* renderer = glGetString(GL_RENDERER);
        ASSERT_NE(renderer, nullptr) << "no OpenGL context";
        std::printf("OpenGL renderer: %s, version %s\n", reinterpret_cast<const char*>(renderer),
                    reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    }
    void TearDown() override { tarnix::init.close(); }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // A forked child has none of the software renderer's worker threads and
    // would wait for them forever; death tests start a fresh process instead.
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    testing::AddGlobalTestEnvironment(new OpenGlEnvironment);
    return RUN_ALL_TESTS();
}
