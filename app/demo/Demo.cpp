#include "app/demo/Demo.h"

#include "app/demo/DemoRandom.h"
#include "app/demo/DemoState.h"
#include "app/demo/FrameState.h"
#include "app/demo/HeadEffects.h"
#include "app/demo/Timeline.h"
#include "app/demo/Tuning.h"
#include "app/demo/Tunnel.h"
#include "engine/core/FramePacer.h"
#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/core/Input.h"
#include "engine/core/Timer.h"
#include "engine/io/FileIO.h"
#include "engine/media/Image.h"
#include "engine/media/Sound.h"
#include "engine/mesh/MeshObject.h"
#include "engine/platform/Platform.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// ---- Globals ----

tarnix::Font font;
tarnix::Shader testShader;
tarnix::Layer layer, layer_bulbman, layer_bulbman_suitcase;
tarnix::Layer woman;
tarnix::Layer transparency;
tarnix::Layer rtt_layer;
tarnix::Layer rtt_layer2;
tarnix::Layer mutsis;
tarnix::Layer fatsis;
tarnix::Layer top;
tarnix::Player player(30000);
tarnix::Vector inanimateCoord[200];

tarnix::ParticleEngine* sphereParticles = nullptr;
tarnix::ParticleEngine* ttsphereParticles = nullptr;
const char* scroller = nullptr;
unsigned& movieTime = frameValues.movieTime;
float& lensmove = frameValues.lensmove;
float& scrollermoving = frameValues.scrollermoving;
float& scrollermove = frameValues.scrollermove;
float &lrand = frameValues.lrand, &rrand = frameValues.rrand, &trand = frameValues.trand, &brand = frameValues.brand;
int &pax = frameValues.pax, &pox = frameValues.pox, &headi = frameValues.headi, &kakka = frameValues.kakka,
    &previousPicture = frameValues.previousPicture;

namespace {

const unsigned cloudParticles = 2750;
const unsigned smallestTextureCount = 6;  // the closing section picks from index 2 and falls back to 5

tarnix::FileIO scrollerStream;
std::string scrollerText;  // the stream's content up to its first zero byte

// ---- Checks of the demo's data ----

const char* const requiredPictures[] = {"naisenpaeae.png", "orvalde2006.png", "heArt.png",
                                        "particle2.png",   "bs_font.png",     "fcntr11.png"};

// Everything the set-up and the timeline use must have loaded: a frame drawn
// from a texture that does not exist is worse than a clear stop.
std::string missingData() {
    std::string missing;
    auto add = [&missing](const std::string& what) { missing += (missing.empty() ? "" : ", ") + what; };
    for (const char* name : requiredPictures)
        if (!tarnix::image.getImageData(name))
            add(name);
    tarnix::FileIO mesh("greeble.dvm");
    if (!mesh)
        add("greeble.dvm");
    tarnix::FileIO text("scrolleri.txt");
    if (!text)
        add("scrolleri.txt");
    if (tarnix::sound.isOpen() && tarnix::sound.getMusicCount() == 0)
        add("a music track");
    // One more texture, "rtt", is made after loading.
    if (tarnix::image.getImageCount() + 1 < smallestTextureCount)
        add("pictures (" + std::to_string(smallestTextureCount) + " textures are needed, " +
            std::to_string(tarnix::image.getImageCount() + 1) + " there are)");
    return missing;
}

// Render targets are made once: a copy of the code set up again finds its
// own there (by name, no miss reported).
bool hasTexture(const char* name) {
    for (unsigned i = 0; i < tarnix::image.getImageCount(); ++i)
        if (tarnix::image.getTexture(static_cast<int>(i))->name == name)
            return true;
    return false;
}

}  // namespace

// ---- Set-up ----

bool findDemoData() {
    if (tarnix::pathKind("data") == tarnix::PathKind::directory)
        return true;
    const std::string programDirectory = tarnix::executableDirectory();
    if (!programDirectory.empty() && tarnix::pathKind(programDirectory + "/data") == tarnix::PathKind::directory &&
        tarnix::changeDirectory(programDirectory))
        return true;
    std::fprintf(stderr,
                 "tarnix: no demo data: there is no data/ in %s nor beside the program in %s (the play command "
                 "generates it)\n",
                 tarnix::workingDirectory().c_str(), programDirectory.c_str());
    return false;
}

void shapeCloud(tarnix::ParticleEngine& cloud) {
    auto draw = [] { return static_cast<float>((demoRandom() % 100) / 100.0 * 5.0); };
    for (unsigned j = 0; j < cloud.getParticleSize(); ++j) {
        const double r = draw();
        const double a = draw();
        const double b = draw();
        cloud.getParticle(j)->velocity = tarnix::Vector(static_cast<float>(r * std::cos(a) * std::cos(b)),
                                                        static_cast<float>(r * std::sin(a) * std::cos(b)),
                                                        static_cast<float>(r * std::sin(b)));
    }
}

bool setUpDemo() {
    if (!tarnix::init.init())
        return false;
    const std::string missing = missingData();
    if (!missing.empty()) {
        std::fprintf(stderr, "tarnix: the demo's data in %s/data is incomplete: missing %s\n",
                     tarnix::workingDirectory().c_str(), missing.c_str());
        return false;
    }

    setUpDemoObjects();
    loadTunedTracks();

    tarnix::sound.setMusicLooping(true);
    tarnix::sound.play(0);

    tarnix::timer.init();
    return true;
}

void setUpDemoObjects() {
    meshObject = new MeshObject;
    meshObject->readFile("greeble.dvm");
    meshObject->buildObject();

    if (!hasTexture("rtt"))
        tarnix::image.createTexture(1, 32, "rtt");
    rtt_layer.setTexture(tarnix::image.getTexture("rtt"));
    woman.setTexture(tarnix::image.getTexture("naisenpaeae.png"));
    mutsis.setTexture(tarnix::image.getTexture("orvalde2006.png"));
    mutsis.setSize(1024, 768);

    sphereParticles = new tarnix::ParticleEngine(cloudParticles);
    sphereParticles->setTexture(tarnix::image.getTexture("heArt.png"));
    shapeCloud(*sphereParticles);
    ttsphereParticles = new tarnix::ParticleEngine(static_cast<unsigned>(w * h));
    ttsphereParticles->setTexture(tarnix::image.getTexture("particle2.png"));

    buildTunnelTables();

    font.setTexture(tarnix::image.getTexture("bs_font.png"));
    font.init(10, 10);

    player.initPlayer();

    reloadScrollerText();
}

void releaseDemoObjects() {
    shutDownDemo();
    delete meshObject;
    meshObject = nullptr;
    delete sphereParticles;
    sphereParticles = nullptr;
    delete ttsphereParticles;
    ttsphereParticles = nullptr;
}

// ---- Main loop and shut-down ----

namespace {

// Made when the loop starts, and kept beyond it: in a browser the loop never
// returns to the function that started it.
std::optional<MotionGrid> liveGrid;
std::optional<tarnix::FramePacer> pacer;

// One pass of the main loop; false once the viewer has asked to stop. The
// frame shows the demo time it is drawn at, with the per-frame motions as the
// grid has them then, at whatever rate the frames come. A page shows the
// demo time of each frame once it is drawn.
bool playFrame() {
    tarnix::timer.update();
    const unsigned t = tarnix::timer.getTime();
    liveGrid->prepare(t);
    draw();
    // A stop asked for while the frame was drawn ends the loop before it
    // waits for the next.
    if (tarnix::input.stopAsked())
        return false;
    pacer->framePresented(t);
    tarnix::tellHost("demoTime", std::to_string(t));
    return !tarnix::input.stopAsked();
}

}  // namespace

void runMainLoop(unsigned startMs, unsigned mostFramesPerSecond) {
    tarnix::input.forgetStop();
    liveGrid.emplace();
    if (startMs > 0) {
        tarnix::sound.stop();
        tarnix::sound.playMusicFrom(0, startMs);
        tarnix::timer.setTime(startMs);
    }
    pacer.emplace(mostFramesPerSecond);
    tarnix::setStopsCutFrames(true);
    tarnix::runFrameLoop(playFrame);
    tarnix::setStopsCutFrames(false);
    pacer.reset();
    liveGrid.reset();
}

// The text ends at its first zero byte or at the end of the file, whichever
// comes first.
bool reloadScrollerText() {
    if (!scrollerStream.open("scrolleri.txt", std::ios::in | std::ios::binary)) {
        std::fprintf(stderr, "tarnix: scrolleri.txt: cannot open the scroller text; the old one stays\n");
        return false;
    }
    const char* content = reinterpret_cast<const char*>(scrollerStream.readFile());
    scrollerText = content ? std::string(content, strnlen(content, scrollerStream.getLength())) : std::string();
    scroller = scrollerText.c_str();
    return true;
}

const std::string& scrollerTextShown() { return scrollerText; }

bool reloadDemoMesh(const char* name) {
    return std::string(name) == "greeble.dvm" && meshObject && meshObject->reloadFile(name);
}

void shutDownDemo() {
    scrollerStream.close();
    scroller = nullptr;
    scrollerText.clear();
}
