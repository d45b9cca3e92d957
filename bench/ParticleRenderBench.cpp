// Time per frame of drawing 2,000 particles as billboards and as point sprites
// on the OpenGL driver of the display (DISPLAY; Mesa's software renderer under
// Xvfb in the project's runs), in the demo's 640 × 480 window and 3D view.

#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Window.h"
#include "engine/media/Image.h"
#include "engine/render/ParticleEngine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Median milliseconds of `frames` frames: clear, draw, finish, present.
template <typename Draw>
double medianFrameMilliseconds(int frames, Draw draw) {
    std::vector<double> times;
    for (int frame = 0; frame < frames; ++frame) {
        const Clock::time_point start = Clock::now();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        tarnix::viewReset();
        glTranslatef(0, 0, -17);
        draw();
        glFinish();
        tarnix::flush();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    tarnix::window.setFullscreen(false);
    if (!tarnix::window.init())
        return 1;
    tarnix::init.openglInit();
    tarnix::init.extensions();
    tarnix::image.createTexture(0, 32, "blob");

    // The demo's cloud: random directions and radii up to 5 units.
    tarnix::ParticleEngine engine(2000);
    engine.setTexture(tarnix::image.getTexture("blob"));
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (unsigned i = 0; i < engine.getParticleSize(); ++i) {
        const float r = 5 * unit(random), a = 6.2832f * unit(random), b = 3.1416f * (unit(random) - 0.5f);
        engine.getParticle(i)->position =
            tarnix::Vector(r * std::cos(a) * std::cos(b), r * std::sin(a) * std::cos(b), r * std::sin(b));
    }

    const int frames = 200;
    const double emptyFrame = medianFrameMilliseconds(frames, [] {});
    const double billboards = medianFrameMilliseconds(frames, [&] { engine.renderParticleEngine(0, 0); });
    const double sprites = medianFrameMilliseconds(frames, [&] { engine.pointSpriteRenderParticleEngine(0, 2000); });
    const double sortedSprites = medianFrameMilliseconds(frames, [&] {
        engine.renderParticleEngineCondition(1, 0.0f);
        engine.renderParticleEngineCondition(0, 0.0f);
    });

    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::printf("%-52s %8s\n", "frame (clear, draw, finish, present), median of 200", "ms");
    std::printf("%-52s %8.2f\n", "empty frame", emptyFrame);
    std::printf("%-52s %8.2f\n", "2,000 billboards (size 30, sorted)", billboards);
    std::printf("%-52s %8.2f\n", "2,000 point sprites", sprites);
    std::printf("%-52s %8.2f\n", "2,000 point sprites in two depth-sorted passes", sortedSprites);
    tarnix::window.close();
    return 0;
}
