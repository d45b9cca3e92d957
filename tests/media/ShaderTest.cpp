#include "engine/media/ShaderManager.h"

#include "engine/core/Extensions.h"
#include "engine/core/Graphics.h"
#include "engine/core/OpenGL.h"
#include "support/GlState.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const char* const passThrough = "void main() { gl_Position = ftransform(); }\n";
const char* const green = "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n";
const char* const blue = "void main() { gl_FragColor = vec4(0.0, 0.0, 1.0, 1.0); }\n";

using Rgb = std::array<unsigned char, 3>;

// A red full-window square in the 2D view; red unless a program says otherwise.
Rgb colourOfASquare() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    tarnix::viewReset();
    tarnix::perspective2D(1, 1);
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
        glVertex2f(0, 0);
        glVertex2f(1, 0);
        glVertex2f(1, 1);
        glVertex2f(0, 1);
    glEnd();
    glColor3f(1, 1, 1);
    tarnix::perspective3D();
    glFinish();
    return pixelAt(320, 240);
}

bool isProgram(unsigned handle) {
    GLint deleted = 1;
    while (glGetError() != GL_NO_ERROR) {
    }
    tarnix::glGetObjectParameterivARB(handle, GL_OBJECT_DELETE_STATUS_ARB, &deleted);
    return glGetError() == GL_NO_ERROR && deleted == 0;
}

class ShaderTest : public testing::Test {
protected:
    void TearDown() override { glUseProgramObjectARB(0); }
    static void glUseProgramObjectARB(unsigned program) { tarnix::glUseProgramObjectARB(program); }

    WorkingDirectory directory;
    tarnix::ShaderManager manager;
};

}  // namespace

TEST_F(ShaderTest, AProgramFromTwoFilesDrawsItsColourUntilReleased) {
    writeFile("data/shaders/toon.vs", passThrough);
    writeFile("data/shaders/toon.fs", green);
    manager.loadShader("toon.vs", "toon.fs");
    ASSERT_EQ(manager.getShaderCount(), 1u);
    tarnix::Shader* toon = manager.getShader("toon");
    ASSERT_NE(toon, nullptr);
    EXPECT_EQ(toon, manager.getShader(0u));
    EXPECT_EQ(manager.getShader("Toon"), nullptr);
    EXPECT_EQ(manager.getShader("toon.vs"), nullptr);

    EXPECT_EQ(colourOfASquare(), (Rgb{255, 0, 0}));
    toon->useShader();
    EXPECT_EQ(colourOfASquare(), (Rgb{0, 255, 0}));
    toon->releaseShader();
    EXPECT_EQ(colourOfASquare(), (Rgb{255, 0, 0}));
}

TEST_F(ShaderTest, ReleasingAnyShaderSwitchesProgramsOff) {
    manager.loadShader("green", passThrough, green);
    manager.loadShader("blue", passThrough, blue);
    manager.getShader("blue")->useShader();
    EXPECT_EQ(colourOfASquare(), (Rgb{0, 0, 255}));
    manager.getShader("green")->releaseShader();
    EXPECT_EQ(colourOfASquare(), (Rgb{255, 0, 0}));
}

TEST_F(ShaderTest, TheFirstOfTwoSameNamedShadersWins) {
    manager.loadShader("same", passThrough, green);
    manager.loadShader("same", passThrough, blue);
    manager.getShader("same")->useShader();
    EXPECT_EQ(colourOfASquare(), (Rgb{0, 255, 0}));
}

TEST_F(ShaderTest, RelinkingDeletesTheOldProgram) {
    tarnix::Shader shader;
    shader.createShader("first", passThrough, green);
    const unsigned first = shader.getProgram();
    ASSERT_TRUE(isProgram(first));
    shader.setFragmentShader(blue);
    shader.createShader("second");
    EXPECT_NE(shader.getProgram(), first);
    EXPECT_FALSE(isProgram(first));
    EXPECT_EQ(shader.getName(), "second");
    shader.useShader();
    EXPECT_EQ(colourOfASquare(), (Rgb{0, 0, 255}));
    shader.releaseShader();
}

TEST_F(ShaderTest, AMissingSourceFileAddsNothingAndIsReported) {
    writeFile("data/shaders/half.vs", passThrough);
    testing::internal::CaptureStderr();
    manager.loadShader("half.vs", "half.fs");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "tarnix: data/shaders/half.fs: cannot open the shader source\n");
    EXPECT_EQ(manager.getShaderCount(), 0u);
}
