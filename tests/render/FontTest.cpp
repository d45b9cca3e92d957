#include "engine/render/Font.h"
#include "engine/render/GraphicsLayer.h"

#include "engine/core/Extensions.h"
#include "engine/core/Graphics.h"
#include "engine/media/Shader.h"
#include "support/GlState.h"
#include "support/GlTextures.h"

#include <gtest/gtest.h>

using namespace testsupport;
using Rgb = std::array<unsigned char, 3>;

namespace {

// A 10 × 10 sheet of 10 × 10-pixel cells; the cell in column c and row r
// (rows counted from the top) is coloured (25c, 25r, 255).
tarnix::Texture cellSheet() {
    std::vector<std::uint32_t> words(100 * 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            const std::uint32_t column = x / 10, rowFromTop = 9 - y / 10;  // y counts up from the bottom
            words[static_cast<std::size_t>(y) * 100 + x] = (25 * column) | (25 * rowFromTop) << 8 | 0xFFu << 16 | 0xFFu << 24;
        }
    return makeTexture(100, 100, words);
}

class FontTest : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        glColor4f(1, 1, 1, 1);  // textures are modulated by the current colour
    }
};

}  // namespace

TEST_F(FontTest, InitMakesOneListPerCell) {
    tarnix::Texture sheet = cellSheet();
    tarnix::Font font(&sheet);
    font.init(10, 10);
    EXPECT_EQ(font.getListCount(), 100);
    for (unsigned i = 0; i < 100; ++i)
        EXPECT_TRUE(glIsList(font.getListBase() + i)) << i;
    EXPECT_FALSE(glIsList(font.getListBase() + 100));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(FontTest, EachCharacterShowsItsCellAndAdvancesThePen) {
    tarnix::Texture sheet = cellSheet();
    tarnix::Font font;
    font.setTexture(&sheet);
    font.init(10, 10);
    // One glyph (10 units) spans 100 pixels in a 64 × 48 view.
    tarnix::perspective2D(64, 48);
    font.print2D(0, 0, "A!");
    const Matrix advanced = currentMatrix(GL_MODELVIEW_MATRIX);
    tarnix::perspective3D();
    glFinish();
    // 'A' (65): column 3, row 3 from the top of the sheet.
    EXPECT_EQ(pixelAt(50, 50), (Rgb{75, 75, 255}));
    // '!' (33): column 1, row 0.
    EXPECT_EQ(pixelAt(150, 50), (Rgb{25, 0, 255}));
    EXPECT_EQ(advanced[12], 20.0f);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(FontTest, FiveCharactersLeaveTheModelviewFiftyUnitsOn) {
    tarnix::Texture sheet = cellSheet();
    tarnix::Font font(&sheet);
    font.init(10, 10);
    tarnix::perspective2D(320, 240);
    font.print2D(7, 3, "HELLO");
    const Matrix afterText = currentMatrix(GL_MODELVIEW_MATRIX);
    font.print2D(0, 0, "");
    const Matrix afterEmpty = currentMatrix(GL_MODELVIEW_MATRIX);
    tarnix::perspective3D();
    EXPECT_EQ(afterText[12], 57.0f);
    EXPECT_EQ(afterText[13], 3.0f);
    EXPECT_EQ(afterEmpty[12], 57.0f);
}

TEST_F(FontTest, PrintingBeforeInitDrawsNothing) {
    tarnix::Texture sheet = solidTexture(1, 1, opaqueWhite);
    tarnix::Font font(&sheet);
    tarnix::perspective2D(64, 48);
    font.print2D(0, 0, "AAAA");
    font.print3D("AAAA");
    tarnix::perspective3D();
    glFinish();
    EXPECT_EQ(pixelAt(50, 50), (Rgb{0, 0, 0}));
}

TEST_F(FontTest, ALargerGridShiftsItsRowsByOne) {
    // With 16 cells a side the row formula's constant 10 makes row 0 cover
    // t -1/16 .. 0, which repeat wrapping shows as the sheet's top strip.
    std::vector<std::uint32_t> words(16 * 16, opaqueRed);
    for (int x = 0; x < 16; ++x)
        words[15 * 16 + x] = opaqueGreen;  // the top texel row
    tarnix::Texture sheet = makeTexture(16, 16, words);
    glBindTexture(GL_TEXTURE_2D, sheet.id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    tarnix::Font font(&sheet);
    font.init(16, 12);
    tarnix::perspective2D(64, 48);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, sheet.id);
    glCallList(font.getListBase() + 255);  // glyph 0 (row 0, column 0), beyond the reach of any character code
    glDisable(GL_TEXTURE_2D);
    tarnix::perspective3D();
    glFinish();
    EXPECT_EQ(pixelAt(80, 80), (Rgb{0, 255, 0}));
}

TEST_F(FontTest, OneTextureBindsPlainlyAndTwoUseCombineOnTheUnits) {
    tarnix::Texture first = solidTexture(1, 1, opaqueRed);
    tarnix::Texture second = solidTexture(1, 1, opaqueGreen);
    tarnix::GraphicsLayer single(&first);
    tarnix::glActiveTextureARB_ptr(GL_TEXTURE0_ARB);
    single.bindGraphicsLayer();
    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<GLuint>(value), first.id);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_MODULATE);

    tarnix::GraphicsLayer pair;
    pair.addTexture(&first);
    pair.addTexture(&second);
    pair.setTextureParam(static_cast<float>(GL_MODULATE), 4);  // no such unit: ignored
    pair.setTextureParam(static_cast<float>(GL_MODULATE), 1000000);
    EXPECT_EQ(pair.getTexture(4), nullptr);
    pair.bindGraphicsLayer();
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &value);
    EXPECT_EQ(value, GL_TEXTURE1_ARB);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<GLuint>(value), second.id);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_COMBINE_ARB);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, &value);
    EXPECT_EQ(value, GL_ADD);
    tarnix::glActiveTextureARB_ptr(GL_TEXTURE0_ARB);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, &value);
    EXPECT_EQ(value, GL_REPLACE);
    // Put both units back as the other tests expect them.
    for (GLenum unit : {GL_TEXTURE1_ARB, GL_TEXTURE0_ARB}) {
        tarnix::glActiveTextureARB_ptr(unit);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glBindTexture(GL_TEXTURE_2D, 0);
    }

    for (int extra = 0; extra < 3; ++extra)
        pair.addTexture(&first);
    EXPECT_EQ(pair.getTextureCount(), 4u);
}

TEST_F(FontTest, AGraphicsLayerWithoutTexturesSwitchesItsShader) {
    tarnix::Shader blue;
    blue.createShader("blue", "void main() { gl_Position = ftransform(); }",
                      "void main() { gl_FragColor = vec4(0.0, 0.0, 1.0, 1.0); }");
    tarnix::GraphicsLayer layer(&blue);
    EXPECT_EQ(layer.getShader(), &blue);
    layer.bindGraphicsLayer();
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(static_cast<unsigned>(program), blue.getProgram());
    layer.releaseGraphicsLayer();
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    EXPECT_EQ(program, 0);
}
