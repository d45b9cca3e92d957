#include "engine/scene/Barcode.h"
#include "engine/scene/OperatorProperty.h"
#include "engine/scene/SceneParticles.h"

#include "engine/core/Graphics.h"
#include "engine/media/Image.h"
#include "support/GlState.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

using namespace testsupport;
using Rgb = std::array<unsigned char, 3>;

namespace {

// A picture of one colour registered with the engine's images under `name`.
void registerPicture(const char* name, int width, int height, std::uint32_t word) {
    static std::vector<std::unique_ptr<tarnix::ImageData>> pictures;  // the image manager does not own them
    auto picture = std::make_unique<tarnix::ImageData>();
    picture->name = picture->filename = name;
    picture->width = width;
    picture->height = height;
    picture->channels = 4;
    picture->pixels.assign(static_cast<std::size_t>(width) * height, word);
    tarnix::image.createTexture(picture.get());
    pictures.push_back(std::move(picture));
}

class SceneDrawingTest : public testing::Test {
protected:
    void SetUp() override {
        glViewport(0, 0, 640, 480);
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glColor4f(1, 0, 0, 1);
        tarnix::viewReset();
    }
    void TearDown() override {
        glViewport(0, 0, 640, 480);
        glClearColor(0, 0, 0, 1);
        glColor4f(1, 1, 1, 1);
        glDepthFunc(GL_LESS);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
};

// ---- Code 39, read back as a reader reads it ----

// Decodes one character from the nine element widths (bar, space, bar, ...):
// the five bars carry a two-of-five value with weights 1, 2, 4, 7, 0 (4 + 7
// stands for 10), the position of the one wide space picks the group; all
// bars narrow with three wide spaces are the four symbols $ / + %.
char decodeCode39(const std::vector<int>& widths) {
    if (widths.size() != 9)
        return '?';
    const int narrow = *std::min_element(widths.begin(), widths.end());
    std::string wide;
    for (int width : widths)
        wide += width > narrow * 3 / 2 ? 'w' : 'n';
    int value = 0, wideBars = 0, wideSpace = -1, wideSpaces = 0;
    const int weights[] = {1, 2, 4, 7, 0};
    for (int bar = 0; bar < 5; ++bar)
        if (wide[2 * bar] == 'w') {
            value += weights[bar];
            ++wideBars;
        }
    for (int space = 0; space < 4; ++space)
        if (wide[2 * space + 1] == 'w') {
            wideSpace = space;
            ++wideSpaces;
        }
    if (wideBars == 0 && wideSpaces == 3) {
        const std::map<std::string, char> symbols = {
            {"nwnwnwnnn", '$'}, {"nwnwnnnwn", '/'}, {"nwnnnwnwn", '+'}, {"nnnwnwnwn", '%'}};
        const auto found = symbols.find(wide);
        return found == symbols.end() ? '?' : found->second;
    }
    if (wideBars != 2 || wideSpaces != 1)
        return '?';
    if (value == 11)
        value = 10;
    const char* groups[] = {"UVWXYZ-. *", "1234567890", "ABCDEFGHIJ", "KLMNOPQRST"};
    return groups[wideSpace][value - 1];
}

// The element widths of the bars and spaces (red and blue) along row y from x
// for `length` pixels, starting with a bar.
std::vector<int> elementWidths(int x, int y, int length) {
    std::vector<unsigned char> row(static_cast<std::size_t>(length) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, length, 1, GL_RGB, GL_UNSIGNED_BYTE, row.data());
    std::vector<int> widths;
    bool bar = true;
    int run = 0;
    for (int i = 0; i < length; ++i) {
        const bool isBar = row[3 * static_cast<std::size_t>(i)] > 128;
        if (isBar == bar) {
            ++run;
        } else {
            widths.push_back(run);
            bar = isBar;
            run = 1;
        }
    }
    if (bar)
        widths.push_back(run);  // the last bar ends the pattern; trailing space is not part of it
    return widths;
}

// One unit of the barcode view per pixel.
void barcodeViewport() { glViewport(0, 0, 1024, 768); }

}  // namespace

TEST_F(SceneDrawingTest, EveryCharacterDrawsItsCode39Pattern) {
    const std::string characters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. *$/+%";
    barcodeViewport();
    for (char c : characters) {
        glClear(GL_COLOR_BUFFER_BIT);
        const char text[] = {c, 0};
        print2D(0, 0, text);
        glFinish();
        EXPECT_EQ(decodeCode39(elementWidths(0, 100, 61)), c) << "character '" << c << "'";
    }
}

TEST_F(SceneDrawingTest, CharactersFollowEverySixtyUnitsAndUnknownOnesLeaveAGap) {
    barcodeViewport();
    print2D(0, 0, "*A*");
    glFinish();
    EXPECT_EQ(decodeCode39(elementWidths(0, 50, 60)), '*');
    EXPECT_EQ(decodeCode39(elementWidths(60, 50, 60)), 'A');
    EXPECT_EQ(decodeCode39(elementWidths(120, 50, 60)), '*');
    EXPECT_EQ(pixelAt(2, 199)[0], 255);   // 200 units high
    EXPECT_EQ(pixelAt(2, 201)[0], 0);

    glClear(GL_COLOR_BUFFER_BIT);
    print2D(0, 0, "AaA");
    glFinish();
    EXPECT_EQ(decodeCode39(elementWidths(0, 50, 60)), 'A');
    EXPECT_EQ(elementWidths(60, 50, 60), std::vector<int>({0}));  // nothing but space
    EXPECT_EQ(decodeCode39(elementWidths(120, 50, 60)), 'A');

    // A pattern number outside the table draws nothing (and reads nothing past it).
    glClear(GL_COLOR_BUFFER_BIT);
    tarnix::perspective2D(1024, 768);
    for (int pattern : {-1, 44, 1000})
        printChar(0, 0, pattern);
    tarnix::perspective3D();
    glFinish();
    EXPECT_EQ(elementWidths(0, 50, 60), std::vector<int>({0}));
}

TEST_F(SceneDrawingTest, TheTextSitsOnItsStripAQuarterIn) {
    registerPicture("bs_font.png", 10, 10, 0xFFFFFFFF);  // every glyph a square in the current colour
    Barcode barcode(0, 1000);
    barcode.init();
    barcodeViewport();
    const Rgb black{0, 0, 0}, red{255, 0, 0}, blue{0, 0, 255};
    for (int y : {0, 100}) {
        glClear(GL_COLOR_BUFFER_BIT);
        printBarcodeText(100, y, "abcde");  // no bars: lower case is outside Code 39
        glFinish();
        // The strip: x 175 .. 330, y .. y + 25; the text's glyphs are 24 units
        // high, so its top row shows the strip alone.
        const int stripRow = y + 24;
        EXPECT_EQ(pixelAt(176, stripRow), black) << y;
        EXPECT_EQ(pixelAt(329, stripRow), black) << y;
        EXPECT_EQ(pixelAt(174, stripRow), blue) << y;
        EXPECT_EQ(pixelAt(331, stripRow), blue) << y;
        // The text, in the current colour, from x 54 of the 320-unit view
        // (172.8 units here) to 32 units a character further.
        const int textRow = y + 5;
        EXPECT_EQ(pixelAt(171, textRow), blue) << y;
        EXPECT_EQ(pixelAt(174, textRow), red) << y;
        EXPECT_EQ(pixelAt(332, textRow), red) << y;
        EXPECT_EQ(pixelAt(334, textRow), blue) << y;
    }
    float colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0f);  // the strip's black does not stay
}

TEST_F(SceneDrawingTest, AnOperatorPropertyEnablesThenDisablesOnEachFrame) {
    tarnix::OperatorProperty property(0, 100);
    property.setEnableSize(2);
    property.enable(GL_BLEND);
    property.enable(GL_TEXTURE_2D);
    property.enable(GL_FOG);  // past the size: ignored
    property.setDisableSize(3);
    property.disable(GL_DEPTH_TEST);  // two slots left unfilled: they act on nothing
    property.setFunctionSize(1);
    property.function(GL_SRC_ALPHA, GL_ONE);
    property.function(1, 2);
    property.render(50);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FLOAT_EQ(property.getLastTimePosition(), 0.5f);
    EXPECT_EQ(property.getFunctions().size(), 1u);

    // Sized again: the entries that fit stay and still act.
    property.setEnableSize(4);
    property.enable(GL_CULL_FACE);
    property.setFunctionSize(3);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    while (glGetError() != GL_NO_ERROR) {
    }
    property.render(60);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));  // no glEnable(0)
    ASSERT_EQ(property.getFunctions().size(), 1u);
    EXPECT_EQ(property.getFunctions()[0].first, static_cast<unsigned>(GL_SRC_ALPHA));
    property.setEnableSize(1);
    glDisable(GL_TEXTURE_2D);
    property.render(60);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
}

TEST_F(SceneDrawingTest, TheParticleSceneDrawsBehindAndInFrontOfItsFigure) {
    registerPicture("alley.png", 512, 384, 0xFF000040);            // dark red background
    registerPicture("bulbman.png", 384, 628, 0xFF00FF00);          // opaque green figure
    registerPicture("particle3.png", 4, 4, 0xFFFFFFFF);
    SceneParticles scene(0, 10000);
    std::srand(99);
    scene.init();
    std::srand(99);
    tarnix::ParticleEngine& engine = scene.getParticleEngine();
    for (unsigned i = 0; i < 2000; ++i) {  // two draws per particle, height first
        const float height = static_cast<float>(std::rand() % 20) / 100.0f - 0.1f;
        const float phase = static_cast<float>(std::rand() % 100) / 10.0f;
        ASSERT_EQ(engine.getParticle(i)->position.y, height) << i;
        ASSERT_EQ(engine.getParticle(i)->phase, phase) << i;
    }
    // Two particles watched at p = 0, the rest moved a row up out of the way.
    for (unsigned i = 2; i < 2000; ++i)
        engine.getParticle(i)->position.y = 0.1f;
    engine.getParticle(0)->phase = 0.0f;   // x 0.21, z -0.9: in front of the figure
    engine.getParticle(0)->position.y = 0.0f;
    engine.getParticle(1)->phase = 3.1f;   // z about -1.0999: behind it
    engine.getParticle(1)->position.y = -0.1f;
    engine.setSize(8);
    scene.render(0);
    glFinish();
    EXPECT_FLOAT_EQ(engine.getParticle(0)->position.z, -0.9f);
    EXPECT_NEAR(engine.getParticle(1)->position.z, -1.0999f, 1e-4f);
    EXPECT_EQ(pixelAt(455, 240), (Rgb{255, 255, 255}));  // drawn after the figure
    EXPECT_EQ(pixelAt(428, 187), (Rgb{0, 255, 0}));      // hidden by the figure
    EXPECT_EQ(pixelAt(100, 100)[0], 0x33);               // background at alpha 0.8 over blue
}
