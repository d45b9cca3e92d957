// Entry of the test programs that draw: the engine is brought up once, on the
// display named by DISPLAY (Xvfb with Mesa in CI), before any test runs.

#include "engine/core/Init.h"
#include "engine/core/OpenGL.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class OpenGlEnvironment : public testing::Environment {
public:
    void SetUp() override {
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
    testing::AddGlobalTestEnvironment(new OpenGlEnvironment);
    return RUN_ALL_TESTS();
}
