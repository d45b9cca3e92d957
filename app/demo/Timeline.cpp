#include "app/demo/Timeline.h"

#include "app/demo/DemoRandom.h"
#include "app/demo/DemoState.h"
#include "app/demo/HeadEffects.h"
#include "app/demo/Tunnel.h"
#include "app/demo/Tuning.h"
#include "engine/core/Graphics.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Timer.h"
#include "engine/media/Image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// ---- Arithmetic of the sections ----

Section sectionAt(unsigned t) {
    if (t <= 699)
        return Section::openingA;
    if (t <= 5999)
        return Section::openingB;
    if (t <= 6700)
        return Section::openingC;
    if (t <= 18699)
        return Section::openingD;
    if (t <= 49999)
        return Section::middle;
    if (t <= 52999)
        return Section::tunnel;
    return Section::closing;
}

const char* sectionName(Section section) {
    switch (section) {
    case Section::openingA: return "opening A";
    case Section::openingB: return "opening B";
    case Section::openingC: return "opening C";
    case Section::openingD: return "opening D";
    case Section::middle: return "middle";
    case Section::tunnel: return "tunnel";
    case Section::closing: return "closing";
    }
    return "";
}

float sphereNear(unsigned t) {
    switch (sectionAt(t)) {
    case Section::openingA: return 1.0f - t * 0.2f / 700;
    case Section::openingC: return 0.8f + (t - 6000.0f) * 0.2f / 700;
    default: return 0.8f;
    }
}

float headNear(unsigned t) {
    return sectionAt(t) == Section::openingC ? 1.0f - (t - 6000.0f) * 0.2f / 700 : 0.8f;
}

float backgroundAlpha(unsigned t) {
    if (t < 20700)
        return 0.0f;
    if (t < 23700)
        return (t - 20700.0f) / 3000;
    if (t < 35000)
        return 1.0f;
    return 1.0f - t / 45000.0f;
}

float cloudScale(unsigned t) {
    const std::uint32_t since = t - 24700u;  // wraps before 24700: far beyond the far plane
    return static_cast<float>(since) / 5000;
}

float cloudAlpha(unsigned t) { return 1.0f - (t - 45000.0f) / 5000; }

bool pickDue(unsigned lastPick, unsigned t) { return lastPick + 400u < t; }

int scrollerX(float moved, unsigned length) {
    const unsigned lap = 10 * length + 320;  // 10 units a glyph, then the width of the view
    return 320 - static_cast<int>(static_cast<unsigned>(static_cast<int>(moved)) % lap);
}

int scrollerY(float phase, float wobble, float height) { return static_cast<int>(wobble * std::tan(phase) + height); }

// ---- Drawing ----

namespace {

const float titleExtent = 10.0f;

// Draws `geometry` with the title projected onto it through the frustum
// (left, right, bottom, top, near, 10). A frustum without width or height
// cannot project: then the geometry is drawn plain.
template <typename Geometry>
void projected(float left, float right, float bottom, float top, float nearPlane, Geometry geometry) {
    if (left == right || bottom == top) {
        geometry();
        return;
    }
    mutsis.setFrustum(left, right, bottom, top, nearPlane, 10);
    mutsis.drawLayerProjectedBegin();
    geometry();
    mutsis.drawLayerProjectedEnd();
}

void titleQuad() {
    glBegin(GL_QUADS);
        glVertex3f(-titleExtent, -titleExtent, -titleExtent);
        glVertex3f(-titleExtent, titleExtent, -titleExtent);
        glVertex3f(titleExtent, titleExtent, -titleExtent);
        glVertex3f(titleExtent, -titleExtent, -titleExtent);
    glEnd();
}

// ---- The calm demo (--calm): every whole-screen change under the common
// photosensitivity threshold, which weighs how much of the picture changes
// brightness within any second (a fade counts as much as a cut unless it is
// slower than that). The title's frustum jumps every 1.2 s instead of every
// 0.4 s; the opening fades to black over its last 2 s before the cut to the
// middle section's dark sky; and the closing's pictures change every 2.4 s
// instead of every 0.4 s, each fading in over 1.6 s from the one before, at
// 55 % of their brightness. Fewer jumps draw fewer numbers from the random
// sequence, so the calm closing's picks start from another place in it than
// the plain one's: other pictures, not the plain ones made less often.
bool calm = false;
const unsigned pickMs = 400;  // the plain demo's picks and jumps (pickDue)
const unsigned calmPickMs = 2400;
const unsigned calmFadeMs = 1600;
const float calmBrightness = 0.55f;
const unsigned calmJitterMs = 1200;
const unsigned calmVeilMs = 2000;
const unsigned openingEndMs = 18700;  // the first time of the middle section

// ---- What a frame changes besides its picture, shared with skipFrame ----

float randomTenth() { return static_cast<float>(demoRandom() % 10) / 10.0f; }

// A tuned interval in whole ms, from 1 ms to a minute whatever the track says.
unsigned tunedMs(const char* name, unsigned t, unsigned codeMs) {
    const float ms = tuned(name, t, static_cast<float>(codeMs));
    return ms >= 1 ? static_cast<unsigned>(std::min(ms, 60000.0f)) : 1;
}

void jitterIfDue(unsigned t) {
    if (t > 6700 && movieTime + tunedMs("opening:jitter ms", t, calm ? calmJitterMs : pickMs) < t) {
        movieTime = t;
        lrand = randomTenth();
        rrand = randomTenth();
        trand = randomTenth();
        brand = randomTenth();
    }
}

void advanceSphere(unsigned t) { lensmove += tuned("sphere:wobble", t, 0.05f); }

// Black over the whole picture, `opacity` of it.
void veil(float opacity) {
    tarnix::perspective2D(1, 1);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, opacity);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(1, 0);
    glVertex2f(1, 1);
    glVertex2f(0, 1);
    glEnd();
    tarnix::perspective3D();
}

// The picture index runs from 2 to the last texture, the render target "rtt"
// included: twenty with the generated data, whose first two (the font sheet
// and the city) are never picked. Were the font sheet picked (another data
// set), index 5 would show instead. The calm closing keeps the picture it fades from; its first fades
// in from black.
void pickPictureIfDue(unsigned t) {
    if (movieTime + tunedMs("closing:picture ms", t, calm ? calmPickMs : pickMs) < t) {
        previousPicture = movieTime >= 53000 ? kakka : -1;
        movieTime = t;
        kakka = static_cast<int>(static_cast<unsigned>(demoRandom()) % (tarnix::image.getImageCount() - 2) + 2);
    }
    if (tarnix::image.getTexture(kakka)->name == "bs_font.png")
        kakka = 5;
}

void advanceScroller(unsigned t) {
    scrollermove += 0.05f;
    scrollermoving += tuned("scroller:speed", t, 4);
}

// ---- Sections ----

void sphere(float nearPlane, unsigned t) {
    static GLUquadric* quadric = gluNewQuadric();
    projected(-0.5f, 0.5f, -0.5f, 0.5f, nearPlane, [t] {
        glPushMatrix();
            advanceSphere(t);
            glTranslatef(2 * std::sin(lensmove), std::cos(lensmove), -tuned("sphere:distance", t, 5));
            gluSphere(quadric, 1, 100, 100);
        glPopMatrix();
    });
}

void headEffect(float nearPlane) {
    projected(-lrand, rrand, -trand, brand, nearPlane, [] {
        glPushMatrix();
            head();
            head2();
        glPopMatrix();
    });
}

void drawOpening(unsigned t, Section section) {
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT | GL_TEXTURE_BIT);
    glPushMatrix();
    mutsis.setTexture(tarnix::image.getTexture("orvalde2006.png"));
    mutsis.setSize(1024, 768);
    jitterIfDue(t);
    glColor3f(1, 1, 1);
    if (-lrand == rrand || -trand == brand) {
        // No projection through an empty frustum: the title as a flat picture.
        mutsis.drawLayer2D();
    } else {
        projected(-lrand, rrand, -trand, brand, tuned("title:near", t, 1), titleQuad);
    }
    if (section != Section::openingD)
        sphere(sphereNear(t), t);
    if (section == Section::openingC || section == Section::openingD)
        headEffect(headNear(t));
    if (calm && t + calmVeilMs >= openingEndMs)
        veil(static_cast<float>(t + calmVeilMs - openingEndMs) / calmVeilMs);
    glPopMatrix();
    glPopAttrib();
}

// The cloud's particles where and how opaque they are at t.
void placeCloud(unsigned t) {
    const float scale = tuned("cloud:spread", t, cloudScale(t));
    for (unsigned i = 0; i < sphereParticles->getParticleSize(); ++i) {
        tarnix::Particle& particle = *sphereParticles->getParticle(i);
        // Set on every frame, not only while it fades: a frame drawn after
        // a later one (a seek back) shows the cloud whole again.
        particle.color[3] = t > 45000 ? cloudAlpha(t) : 1.0f;
        particle.position = particle.velocity * scale;
    }
}

void drawMiddle(unsigned t) {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    fatsis.setAlpha(tuned("middle:background", t, backgroundAlpha(t)));
    fatsis.setTexture(tarnix::image.getTexture("fcntr11.png"));
    fatsis.setSize(1024, 768);
    fatsis.drawLayer2D();
    sphereParticles->setSize(tuned("cloud:size", t, 30));
    glTranslatef(-3, 1.5f, -tuned("cloud:distance", t, 17));
    const float spin = tuned("cloud:spin", t, 0);
    if (spin != 0)
        glRotatef(spin, 0, 1, 0);
    placeCloud(t);
    sphereParticles->renderParticleEngine(0, 2000);
}

// One of the closing's full-screen pictures over the black of a cleared
// frame, `brightness` of its own, with `alpha`: blended over what is there,
// or added to it. Some pictures are transparent in parts; added, each shows
// as it does over black, so two of them added with alphas summing to 1 are a
// cross-fade of what each shows alone.
void closingPicture(int index, float brightness, float alpha, bool added) {
    woman.setBlendFunc(GL_SRC_ALPHA, added ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
    woman.setTexture(tarnix::image.getTexture(index));
    woman.setSize(1024, 768);
    woman.setColor(brightness, brightness, brightness, alpha);
    woman.drawLayer2D();
}

void drawClosing(unsigned t) {
    pickPictureIfDue(t);
    if (calm) {
        const float fade = std::min(1.0f, static_cast<float>(t - movieTime) / calmFadeMs);
        if (previousPicture >= 0)
            closingPicture(previousPicture, calmBrightness, 1 - fade, true);
        closingPicture(kakka, calmBrightness, fade, true);
    } else {
        closingPicture(kakka, 1, 1, false);
    }
    tunnelTerrorRun();
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    advanceScroller(t);
    tarnix::perspective2D(320, 240);
    const int x = scrollerX(scrollermoving, static_cast<unsigned>(std::strlen(scroller)));
    const int y = scrollerY(scrollermove, tuned("scroller:wobble", t, 25), tuned("scroller:height", t, 100));
    font.print2D(x, y, scroller);
    tarnix::perspective3D();
}

}  // namespace

void setCalm(bool on) { calm = on; }

bool isCalm() { return calm; }

void skipFrame(unsigned t) {
    const Section section = sectionAt(t);
    switch (section) {
    case Section::middle:
        // The cloud's depth order: each sort starts from the one before, so
        // particles of equal depth are drawn in an order the earlier frames
        // left, which a replay keeps.
        placeCloud(t);
        sphereParticles->sortParticleEngine();
        break;
    case Section::tunnel:
        break;  // nothing carries over from its frames
    case Section::closing:
        pickPictureIfDue(t);
        advanceScroller(t);
        break;
    default:
        jitterIfDue(t);
        if (section != Section::openingD)
            advanceSphere(t);
        if (section == Section::openingC || section == Section::openingD)
            advanceHead(t);
        break;
    }
}

std::uint64_t frameTime(unsigned startMs, unsigned fps, unsigned long k) {
    return startMs + static_cast<std::uint64_t>(k) * 1000 / fps;
}

MotionGrid::MotionGrid() : state(saveFrameState()) {}

void MotionGrid::prepare(unsigned t) {
    restoreFrameState(state);
    for (std::uint64_t step; (step = frameTime(0, motionStepsPerSecond, next)) < t; ++next)
        skipFrame(static_cast<unsigned>(step));
    state = saveFrameState();
}

void draw() {
    // Every frame starts from the state the set-up left, whatever the frame
    // before it changed (the cloud's depth function, the head effect's depth
    // range): a frame is the same after any other, after a seek as in a
    // straight run or from --start.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    tarnix::viewReset();
    const unsigned t = tarnix::timer.getTime();
    const Section section = sectionAt(t);
    switch (section) {
    case Section::middle: drawMiddle(t); break;
    case Section::tunnel: tunnelTerrorRun(); break;
    case Section::closing: drawClosing(t); break;
    default: drawOpening(t, section); break;
    }
    glPopClientAttrib();
    glPopAttrib();
    tarnix::flush();
}
