// The effect-sequencing framework at work: a player holding the particle
// scene and a barcode scene that prints "*TARNIX*" with its text, in a
// 640 × 480 window. Escape ends it; "--frames N" stops after N frames.

#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/core/Input.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Ticks.h"
#include "engine/core/Timer.h"
#include "engine/core/Window.h"
#include "engine/media/Image.h"
#include "engine/scene/Barcode.h"
#include "engine/scene/Player.h"
#include "engine/scene/SceneParticles.h"
#include "tools/datagen/Pictures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const unsigned showLength = 20000;  // ms

// The barcode operator, drawing its text every frame of its window.
class BarcodeText : public Barcode {
public:
    BarcodeText(unsigned start, unsigned end, const char* barcodeText) : Barcode(start, end), text(barcodeText) {}
    void render(const unsigned int& time) override {
        Barcode::render(time);
        glColor3f(1, 1, 1);
        printBarcodeText(200, 300, text);
    }

private:
    const char* text;
};

// Makes a texture named `name` from a generated picture; the decoded picture
// stays alive in `kept` for the program's life.
void addTexture(const char* name, const datagen::Picture& picture, std::vector<std::unique_ptr<tarnix::ImageData>>& kept) {
    auto data = std::make_unique<tarnix::ImageData>();
    data->name = data->filename = name;
    data->width = picture.width;
    data->height = picture.height;
    data->channels = picture.alpha ? 4 : 3;
    data->pixels.resize(picture.pixels.size());
    for (int y = 0; y < picture.height; ++y)  // bottom row first, as OpenGL takes it
        std::copy_n(&picture.pixels[static_cast<std::size_t>(y) * picture.width], picture.width,
                    &data->pixels[static_cast<std::size_t>(picture.height - 1 - y) * picture.width]);
    tarnix::image.createTexture(data.get());
    kept.push_back(std::move(data));
}

}  // namespace

int main(int argc, char** argv) {
    long frameLimit = -1;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--frames") == 0)
            frameLimit = std::atol(argv[i + 1]);

    tarnix::window.setFullscreen(false);
    if (!tarnix::window.init())
        return EXIT_FAILURE;
    tarnix::init.openglInit();
    tarnix::init.extensions();

    std::string error;
    const datagen::Picture font = datagen::fontSheet(32, error);
    if (font.width == 0) {
        std::fprintf(stderr, "scenes-example: %s\n", error.c_str());
        return EXIT_FAILURE;
    }
    std::vector<std::unique_ptr<tarnix::ImageData>> pictures;
    addTexture("bs_font.png", font, pictures);
    addTexture("alley.png", datagen::alley(), pictures);
    addTexture("bulbman.png", datagen::bulbman(), pictures);
    // Two thousand sprites add up: each one only a faint glow.
    addTexture("particle3.png", datagen::glow(64, 255, 200, 120, 0.08f), pictures);

    tarnix::Player player(showLength);
    auto* scene = new tarnix::Scene(0, showLength);
    scene->addEffectOperator(new SceneParticles(0, showLength));
    scene->addEffectOperator(new BarcodeText(0, showLength, "*TARNIX*"));
    player.addScene(scene);
    player.initPlayer();

    tarnix::timer.init();
    for (long frame = 0; frameLimit < 0 || frame < frameLimit; ++frame) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        tarnix::viewReset();
        player.renderPlayer();
        tarnix::flush();
        tarnix::delay(15);
        tarnix::timer.update();
        tarnix::input.pollEvent();
        if (tarnix::input.getKeyboard().getLastKey() == SDLK_ESCAPE || player.isFinished())
            break;
    }
    tarnix::window.close();
    return 0;
}
