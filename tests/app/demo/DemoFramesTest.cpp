// Real frames of the demo, drawn by draw() at chosen demo times with the
// demo's own generated data, read back from the front buffer after each
// frame is presented. Regions and colour statistics are compared, with limits
// close to what the frames measure; a live frame and a captured one, exactly.

#include "app/capture/Capture.h"
#include "app/demo/Demo.h"
#include "app/demo/FrameState.h"
#include "app/demo/HeadEffects.h"
#include "app/demo/Timeline.h"
#include "engine/core/Graphics.h"
#include "engine/core/Init.h"
#include "engine/core/Input.h"
#include "engine/core/OpenGL.h"
#include "engine/core/Timer.h"
#include "engine/core/Window.h"
#include "engine/media/Image.h"
#include "engine/media/Sound.h"
#include "support/FakeClock.h"
#include "support/Figures.h"
#include "support/Process.h"

#include <gtest/gtest.h>
#include <png.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

using testsupport::FakeClock;

namespace {

FrameState afterSetUp;  // what the set-up left: the state a straight run starts from

// Puts the state after the set-up back, changed by `change`.
template <typename Change>
void startFrom(Change change) {
    FrameState state = afterSetUp;
    change(state);
    restoreFrameState(state);
}

struct Frame {
    std::vector<unsigned char> rgb;  // 640 × 480, bottom row first

    const unsigned char* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * 640 + x) * 3]; }

    // Share of the pixels in rows [y0, y1) for which `test` holds.
    template <typename Test>
    double share(Test test, int y0 = 0, int y1 = 480) const {
        long count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < 640; ++x)
                count += test(at(x, y)) ? 1 : 0;
        return static_cast<double>(count) / (640.0 * (y1 - y0));
    }
};

// Two frames of the same demo time as Mesa's software renderer draws them: it
// takes a fast path for flat, textured draws or not depending on what it drew
// before, and that path rounds a few pixels a level apart, so one byte in ten
// thousand may differ by one (a frame of other motions differs in most).
// Returns the PSNR of the two, dB (infinite when they are the same).
double expectSamePicture(const std::vector<unsigned char>& expected, const std::vector<unsigned char>& actual,
                         const std::string& what) {
    EXPECT_EQ(expected.size(), actual.size()) << what;
    if (expected.size() != actual.size())
        return 0;
    long differing = 0, apart = 0;
    double squares = 0;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        const int difference = std::abs(int(expected[i]) - int(actual[i]));
        differing += difference != 0;
        apart += difference > 1;
        squares += double(difference) * difference;
    }
    EXPECT_EQ(apart, 0) << what;
    EXPECT_LE(differing, long(actual.size() / 10000)) << what;
    return squares == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * double(actual.size()) / squares);
}

struct LiveFrame {
    unsigned t = 0;             // its demo time, ms
    float scrollerTravel = 0;   // the closing scroller's, after the frame's step
    Frame frame;
};

bool dark(const unsigned char* p) { return p[0] < 24 && p[1] < 24 && p[2] < 24; }
bool grey(const unsigned char* p) { return std::abs(p[0] - p[1]) < 6 && std::abs(p[1] - p[2]) < 6; }
bool white(const unsigned char* p) { return p[0] > 230 && p[1] > 230 && p[2] > 230; }
bool colourful(const unsigned char* p) {
    return std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 50;
}

class DemoFramesTest : public testing::Test {
protected:
    // Draws the frame at demo time t and reads it as it is presented.
    Frame frameAt(unsigned t) {
        clock.now = t;
        tarnix::timer.setTime(t);
        Frame frame;
        frame.rgb.resize(640 * 480 * 3);
        tarnix::setFrameObserver([&frame] {
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
        });
        draw();
        tarnix::setFrameObserver(nullptr);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "at " << t;
        return frame;
    }

    // Plays the demo live from `start` with the demo's own loop, the clock
    // moved on for frame k to demo time start + k · 1000 / rate (ms) as frame
    // k - 1 is presented; Escape ends it after `frames` frames. Each frame as
    // presented, with its demo time and how far the scroller had travelled.
    std::vector<LiveFrame> playLive(unsigned start, unsigned rate, unsigned frames) {
        startFrom([](FrameState&) {});
        std::vector<LiveFrame> shown;
        // The clock counts once the sound's latency has passed: the first
        // frame is drawn at `start` and the clock then stands till then.
        const unsigned first = clock.now + tarnix::sound.latencyMs();
        tarnix::setFrameObserver([&] {
            LiveFrame live;
            live.t = tarnix::timer.getTime();
            live.scrollerTravel = saveFrameState().scrollermoving;
            live.frame.rgb.resize(640 * 480 * 3);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, live.frame.rgb.data());
            shown.push_back(std::move(live));
            clock.now = first + static_cast<unsigned>(shown.size() * 1000 / rate) - 1;  // the update sleeps 1 ms
            if (shown.size() == frames) {
                SDL_Event escape = {};
                escape.type = escape.key.type = SDL_KEYDOWN;
                escape.key.keysym.sym = SDLK_ESCAPE;
                SDL_PushEvent(&escape);
            }
        });
        runMainLoop(start, 1000);  // no pacing of its own beyond what the clock does
        tarnix::setFrameObserver(nullptr);
        SDL_Event left;
        while (SDL_PollEvent(&left)) {
        }
        return shown;
    }

    FakeClock clock;
};

class DemoEnvironment : public testing::Environment {
public:
    void SetUp() override {
        ASSERT_EQ(chdir(TARNIX_DEMO_DIRECTORY), 0) << TARNIX_DEMO_DIRECTORY;
        tarnix::window.setFullscreen(false);
        takeOverRandomSequence();
        ASSERT_TRUE(setUpDemo()) << "the demo's data is built with the project (target demo-data)";
        afterSetUp = saveFrameState();
    }
    void TearDown() override {
        shutDownDemo();
        tarnix::init.close();
    }
};

}  // namespace

TEST_F(DemoFramesTest, TheOpeningShowsTheTitleOnASphere) {
    const Frame frame = frameAt(3000);
    EXPECT_LT(frame.share(dark), 0.01);
    EXPECT_GT(frame.share(colourful), 0.6);  // the nebula's purples and the title's glow
}

TEST_F(DemoFramesTest, AnEmptyJitterFrustumShowsTheTitleFlatAndKeepsGoing) {
    startFrom([](FrameState& state) {
        state.lrand = state.rrand = state.trand = state.brand = 0;
        state.movieTime = 10000;  // no new pick in this frame
    });
    const Frame frame = frameAt(10000);
    EXPECT_LT(frame.share(dark), 0.05);
    EXPECT_EQ(saveFrameState().lrand, 0.0f);
}

// The cloud of hearts glows over the city for the whole middle section: it
// grows, but never turns the screen white, and the city shows around it.
TEST_F(DemoFramesTest, TheHeartCloudGrowsWithoutWhitingOutTheCity) {
    const auto saturatedWhite = [](const unsigned char* p) { return p[0] >= 250 && p[1] >= 250 && p[2] >= 250; };
    const auto lit = [](const unsigned char* p) { return p[0] > 120; };
    const double early = frameAt(25500).share(lit);
    const double later = frameAt(27500).share(lit);
    EXPECT_GT(later, early * 1.8);
    EXPECT_GT(later, 0.15);
    // The city's lit windows: pale, where the heart-pink cloud has little green.
    const auto window = [](const unsigned char* p) { return p[1] >= 100 && p[1] < 250; };
    for (unsigned t = 24700; t < 50000; t += 1300) {
        const Frame frame = frameAt(t);
        EXPECT_LE(frame.share(saturatedWhite), 0.05) << "at " << t;
        if (t < 35000) {  // while the background is shown in full
            EXPECT_GT(frame.share(window), 0.065) << "at " << t;
        }
    }
}

TEST_F(DemoFramesTest, TheTunnelIsWhitePointsOnBlack) {
    const Frame frame = frameAt(51000);
    EXPECT_EQ(frame.share(grey), 1.0);
    EXPECT_GT(frame.share(dark), 0.97);
    EXPECT_GT(frame.share([](const unsigned char* p) { return p[0] > 100; }), 0.008);
}

TEST_F(DemoFramesTest, TheClosingShowsAPictureWithTheScroller) {
    int neon = -1;
    for (unsigned i = 0; i < tarnix::image.getImageCount(); ++i)
        if (tarnix::image.getTexture(static_cast<int>(i))->name == "pic_neon.png")
            neon = static_cast<int>(i);
    ASSERT_GE(neon, 2);
    // The same frame twice, the text once at x 100 of 320 and once just past
    // the right edge; the tunnel over the picture is the same in both.
    auto closingFrame = [this, neon](float moved) {
        startFrom([neon, moved](FrameState& state) {
            state.kakka = neon;
            state.movieTime = 60000;       // keep the picture: no pick in this frame
            state.scrollermoving = moved;  // the frame adds 4
            state.scrollermove = 0;        // and 0.05: the baseline at y 101 of 240
        });
        return frameAt(60000);
    };
    const Frame withText = closingFrame(216);
    const Frame withoutText = closingFrame(-4);
    EXPECT_GT(withText.share(colourful), 0.3);
    const double band = withText.share(white, 204, 222) - withoutText.share(white, 204, 222);
    EXPECT_GT(band, 0.02);
    EXPECT_NEAR(withText.share(white, 300, 480), withoutText.share(white, 300, 480), 1e-9);
}

// Every picture the closing section can pick (index 2 to the last) is
// weighed as the frame shows it; at most one in ten of the picks may leave
// the screen near-black (mean brightness below 10 %).
TEST_F(DemoFramesTest, TheClosingPicksPicturesNotDarkness) {
    const int count = static_cast<int>(tarnix::image.getImageCount());
    int nearBlack = 0;
    for (int index = 2; index < count; ++index) {
        startFrom([index](FrameState& state) {
            state.kakka = index;
            state.movieTime = 60000;  // no new pick in this frame
        });
        const Frame frame = frameAt(60000);
        double sum = 0;
        for (unsigned char value : frame.rgb)
            sum += value;
        const double brightness = sum / frame.rgb.size() / 255;
        nearBlack += brightness < 0.1;
    }
    EXPECT_LE(nearBlack, (count - 2) / 10) << nearBlack << " of " << count - 2;
}

TEST_F(DemoFramesTest, ACubeIsSixSquareFacesOfTwentyFourVertices) {
    std::vector<GLfloat> feedback(1024);
    glFeedbackBuffer(static_cast<GLsizei>(feedback.size()), GL_3D, feedback.data());
    glRenderMode(GL_FEEDBACK);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(-0.5f, -0.5f, -6);
    glRotatef(30, 1, 1, 0);
    cube();
    const GLint used = glRenderMode(GL_RENDER);
    // The driver may report each quad whole or as two triangles: either way
    // the faces add up to 12 triangles' worth, 24 quad corners.
    int polygons = 0, triangles = 0;
    for (GLint i = 0; i < used;) {
        ASSERT_EQ(static_cast<GLint>(feedback[i]), GL_POLYGON_TOKEN);
        const int corners = static_cast<int>(feedback[i + 1]);
        ++polygons;
        triangles += corners - 2;
        i += 2 + 3 * corners;
    }
    EXPECT_EQ(triangles, 12);
    EXPECT_TRUE(polygons == 6 || polygons == 12) << polygons;
    glLoadIdentity();
}

TEST_F(DemoFramesTest, SkippingFramesChangesWhatDrawingThemWould) {
    const unsigned times[] = {100, 6500, 6800, 7300, 15990, 16010, 16100, 20000, 52990, 53010, 53500, 54100};
    startFrom([](FrameState&) {});
    std::vector<FrameState> drawn;
    for (unsigned t : times) {
        frameAt(t);
        drawn.push_back(saveFrameState());
    }
    startFrom([](FrameState&) {});
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        skipFrame(times[i]);
        EXPECT_TRUE(saveFrameState() == drawn[i]) << "after the frame at " << times[i];
    }
    EXPECT_FALSE(drawn.front() == drawn.back());
}

// Frames drawn off the live clock take their per-frame motions from the
// motion grid: a frame at a demo time is the same picture whatever the rate
// of the frames drawn before it, in every section, over half a second that
// crosses a random pick; so frame k at 30 frames a second is frame 2k at 60.
// CaptureTest compares whole captures exactly, without the renderer's noise.
// ctest labels: once sdl-once
TEST_F(DemoFramesTest, AFrameAtADemoTimeIsTheSameAtEveryRate) {
    // The frames from `start` to `end` at `rate`, each handed to `look` with its time.
    const auto drawRun = [this](unsigned start, unsigned end, unsigned rate, const auto& look) {
        startFrom([](FrameState&) {});
        MotionGrid grid;
        for (unsigned long k = 0; frameTime(start, rate, k) <= end; ++k) {
            const auto t = static_cast<unsigned>(frameTime(start, rate, k));
            grid.prepare(t);
            look(t, frameAt(t));
        }
    };
    for (unsigned end : {3000u, 6600u, 12000u, 30000u, 51000u, 56000u}) {
        const unsigned start = end - 500;
        std::map<unsigned, std::vector<unsigned char>> atSixty;  // by demo time
        drawRun(start, end, 60, [&atSixty](unsigned t, const Frame& frame) { atSixty[t] = frame.rgb; });
        for (unsigned rate : {24u, 25u, 30u, 50u, 120u}) {
            int compared = 0;
            drawRun(start, end, rate, [&](unsigned t, const Frame& frame) {
                const auto same = atSixty.find(t);
                if (same == atSixty.end())
                    return;  // no frame at 60 a second there
                ++compared;
                expectSamePicture(same->second, frame.rgb,
                                  std::to_string(rate) + " frames a second, at " + std::to_string(t) + " ms");
            });
            EXPECT_GE(compared, 3) << rate << " frames a second, up to " << end << " ms";
        }
    }
}

// The per-frame state a frame at t starts from, against the motions' own
// arithmetic counted here step by step: step k at floor(k · 1000 / 60) ms, the
// steps before t and none at t; the sphere's wobble in openings A to C, the
// head's reveal and spin in C and D, the frustum's jitter in D and the
// scroller and the picture picks in the closing, each at its own interval
// (calm ones too). The times are grid times in every section.
TEST_F(DemoFramesTest, TheGridsStateForATimeIsWhatTheStepsBeforeItMake) {
    const auto expectedAt = [](unsigned t, bool calm) {
        FrameValues v = afterSetUp;
        for (unsigned long k = 0; frameTime(0, motionStepsPerSecond, k) < t; ++k) {
            const auto step = static_cast<unsigned>(frameTime(0, motionStepsPerSecond, k));
            const Section section = sectionAt(step);
            if (section == Section::closing) {
                if (v.movieTime + (calm ? 2400u : 400u) < step)
                    v.movieTime = step;
                v.scrollermove += 0.05f;
                v.scrollermoving += 4;
            } else if (section != Section::middle && section != Section::tunnel) {
                if (step > 6700 && v.movieTime + (calm ? 1200u : 400u) < step)
                    v.movieTime = step;
                if (section != Section::openingD)
                    v.lensmove += 0.05f;
                if (section == Section::openingC || section == Section::openingD) {
                    const bool spinning = step > 15999;
                    v.headi += spinning ? 1 : 0;
                    v.pox = spinning ? 0 : revealedTriangles(step);
                    v.pax = spinning ? 0 : v.pax;
                }
            }
        }
        return v;
    };
    for (bool calm : {false, true}) {
        setCalm(calm);
        startFrom([](FrameState&) {});
        MotionGrid grid;
        for (unsigned t : {600u, 3000u, 6500u, 9000u, 15000u, 17000u, 30000u, 51000u, 54000u, 60000u}) {
            grid.prepare(t);
            const FrameValues expected = expectedAt(t, calm);
            const std::string what = std::string(calm ? "calm, " : "") + "at " + std::to_string(t) + " ms";
            EXPECT_EQ(frameValues.lensmove, expected.lensmove) << what;
            EXPECT_EQ(frameValues.headi, expected.headi) << what;
            EXPECT_EQ(frameValues.pox, expected.pox) << what;
            EXPECT_EQ(frameValues.pax, expected.pax) << what;
            EXPECT_EQ(frameValues.movieTime, expected.movieTime) << what;
            EXPECT_EQ(frameValues.scrollermove, expected.scrollermove) << what;
            EXPECT_EQ(frameValues.scrollermoving, expected.scrollermoving) << what;
        }
    }
    setCalm(false);
}

// Live play, with frames coming at 14, 60 and 200 a second of demo time (the
// clock moved on by the test as each frame is presented, as if drawing took
// that long), from a start in each section: every frame is the frame the
// motion grid gives its demo time, as a capture or --start draws it. At 60
// a second from a time on the grid, each frame is one step of the motions,
// as one frame a step always was.
TEST_F(DemoFramesTest, LivePlayShowsTheGridsFrameOfEachDemoTimeAtEveryRate) {
    std::map<unsigned, double> leastPsnr;  // by rate
    for (unsigned start : {2900u, 6600u, 16000u, 30000u, 52900u, 56000u}) {
        for (unsigned rate : {14u, 60u, 200u}) {
            const std::vector<LiveFrame> shown = playLive(start, rate, 8);
            ASSERT_EQ(shown.size(), 8u);
            startFrom([](FrameState&) {});
            MotionGrid grid;
            for (std::size_t k = 0; k < shown.size(); ++k) {
                const std::string what = std::to_string(rate) + " frames a second from " + std::to_string(start) +
                                         ", frame " + std::to_string(k);
                // The first frame comes a millisecond late (the clock's update
                // sleeps it) unless the sound's latency holds the clock.
                EXPECT_EQ(shown[k].t, start + k * 1000 / rate + (k == 0 && tarnix::sound.latencyMs() == 0)) << what;
                grid.prepare(shown[k].t);
                const double psnr = expectSamePicture(frameAt(shown[k].t).rgb, shown[k].frame.rgb, what);
                leastPsnr[rate] = leastPsnr.count(rate) ? std::min(leastPsnr[rate], psnr) : psnr;
                if (rate == 60 && start >= 53000 && k > 0) {
                    EXPECT_EQ(shown[k].scrollerTravel - shown[k - 1].scrollerTravel, 4.0f) << what;
                }
            }
        }
    }
    for (const auto& [rate, psnr] : leastPsnr)
        testsupport::reportFigure("least PSNR of a live frame against its time's, " + std::to_string(rate) +
                                      " frames a second",
                                  psnr, "dB");
}

// The first frame of live play from --start, against the program's own
// capture of its demo time: in the opening's sphere and head, the cloud and
// the closing, whose motions the grid carries up to that time.
TEST_F(DemoFramesTest, ACapturedFrameMatchesTheLiveFrame) {
    const std::string folder = testsupport::makeTemporaryDirectory();
    ASSERT_FALSE(folder.empty());
    for (unsigned start : {3000u, 16500u, 30000u, 56000u}) {
        const std::vector<LiveFrame> live = playLive(start, 60, 1);
        ASSERT_EQ(live.size(), 1u);
        const unsigned t = live[0].t;
        const std::string directory = folder + "/capture-" + std::to_string(t);
        const std::string command = std::string(TARNIX_EXECUTABLE) + " --capture " + directory + " --start " +
                                    std::to_string(t) + " --until " + std::to_string(t) + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        tarnix::ImageData* captured = tarnix::image.loadPNG((directory + "/frame_00000.png").c_str());
        ASSERT_NE(captured, nullptr);
        std::vector<unsigned char> rgb(live[0].frame.rgb.size());
        for (std::size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = static_cast<unsigned char>(captured->pixels[i / 3] >> (8 * (i % 3)));
        expectSamePicture(rgb, live[0].frame.rgb, "at " + std::to_string(t));
        delete captured;
    }
    std::filesystem::remove_all(folder);
}

namespace {

// ---- Reference frames: what viewers see, kept in the repository ----

// A frame scaled down by `referenceScale` on each side (each pixel the mean of
// a block), as the references are kept: small enough for the repository,
// fine enough that a motion one step off moves many of its samples.
const int referenceScale = 4;
const int referenceWidth = 640 / referenceScale, referenceHeight = 480 / referenceScale;

std::vector<unsigned char> scaledDown(const Frame& frame) {
    std::vector<unsigned char> small(static_cast<std::size_t>(referenceWidth) * referenceHeight * 3);
    const int block = referenceScale * referenceScale;
    for (int y = 0; y < referenceHeight; ++y)
        for (int x = 0; x < referenceWidth; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < referenceScale; ++dy)
                    for (int dx = 0; dx < referenceScale; ++dx)
                        sum += frame.at(x * referenceScale + dx, y * referenceScale + dy)[c];
                small[(static_cast<std::size_t>(y) * referenceWidth + x) * 3 + c] =
                    static_cast<unsigned char>((sum + block / 2) / block);
            }
    return small;
}

// How far a scaled-down frame is from its reference. The software renderer's
// own noise (a level in a pixel here and there, less once averaged) stays far
// inside both limits; a motion one step off breaks at least one.
struct Difference {
    double apartShare = 0;  // share of the samples more than `apartLevels` apart
    double psnr = INFINITY; // dB

    static constexpr int apartLevels = 8;
    static constexpr double mostApartShare = 0.0002;
    static constexpr double leastPsnr = 55;

    bool within() const { return apartShare <= mostApartShare && psnr >= leastPsnr; }
    std::string text() const {
        char line[96];
        std::snprintf(line, sizeof line, "%.3f %% of the samples more than %d apart, PSNR %.1f dB", apartShare * 100,
                      apartLevels, psnr);
        return line;
    }
};

Difference differenceOf(const std::vector<unsigned char>& reference, const std::vector<unsigned char>& small) {
    Difference difference;
    if (reference.size() != small.size()) {
        difference.apartShare = 1;
        difference.psnr = 0;
        return difference;
    }
    long apart = 0;
    double squares = 0;
    for (std::size_t i = 0; i < small.size(); ++i) {
        const int d = std::abs(int(reference[i]) - int(small[i]));
        apart += d > Difference::apartLevels;
        squares += double(d) * d;
    }
    difference.apartShare = double(apart) / double(small.size());
    difference.psnr = squares == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * double(small.size()) / squares);
    return difference;
}

// The reference files: RGB PNG, top row first as pictures are viewed.
std::string referencePath(const std::string& name) {
    return std::string(TARNIX_REFERENCE_DIRECTORY) + "/" + name + ".png";
}

bool readReference(const std::string& name, std::vector<unsigned char>& small) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, referencePath(name).c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    if (image.width != unsigned(referenceWidth) || image.height != unsigned(referenceHeight)) {
        png_image_free(&image);
        return false;
    }
    small.resize(PNG_IMAGE_SIZE(image));
    const int stride = -referenceWidth * 3;  // bottom row first, as OpenGL reads
    return png_image_finish_read(&image, nullptr, small.data(), stride, nullptr) != 0;
}

bool writeReference(const std::string& name, const std::vector<unsigned char>& small) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = referenceWidth;
    image.height = referenceHeight;
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, referencePath(name).c_str(), 0, small.data(), -referenceWidth * 3,
                                   nullptr) != 0;
}

// One frame kept as a reference: its demo time, and the motions a step off
// that must not pass for it: each changes one per-frame value by one step, or
// the demo time by one (what the head's reveal, the cloud and the tunnel
// follow), the rest as it is.
using StepOff = void (*)(FrameState&, unsigned& t);
struct Reference {
    const char* name;
    unsigned t;
    std::vector<std::pair<const char*, StepOff>> stepsOff;
};

void sphereStep(FrameState& s, unsigned&) { s.lensmove += 0.05f; }
void headStep(FrameState& s, unsigned&) { s.headi += 1; }
void scrollerStep(FrameState& s, unsigned&) { s.scrollermoving += 4; }
void scrollerWobbleStep(FrameState& s, unsigned&) { s.scrollermove += 0.05f; }
void timeStep(FrameState&, unsigned& t) { t += 1000 / motionStepsPerSecond; }

}  // namespace

// Frames of the demo at chosen times in every section, plain and calm, and
// two of a capture at 30 frames a second, against the scaled-down references
// in tests/app/demo/reference. Each reference must also tell apart the frame
// with one of its visible motions a step off. scripts/remake_references.sh
// writes them anew when the demo is meant to change (TARNIX_REMAKE_REFERENCES
// set) and prints which changed and by how much.
TEST_F(DemoFramesTest, FramesMatchTheirReferencesAndAMotionAStepOffDoesNot) {
    const bool remaking = std::getenv("TARNIX_REMAKE_REFERENCES") != nullptr;
    const std::vector<Reference> plain = {
        {"plain-00300", 300, {{"sphere", sphereStep}}},
        {"plain-03000", 3000, {{"sphere", sphereStep}}},
        {"plain-06400", 6400, {{"sphere", sphereStep}}},
        {"plain-09000", 9000, {{"reveal", timeStep}}},
        {"plain-16500", 16500, {{"head", headStep}}},
        {"plain-22000", 22000, {}},  // the city fading in; the cloud is not yet there
        {"plain-26000", 26000, {{"cloud", timeStep}}},
        {"plain-30000", 30000, {{"cloud", timeStep}}},
        {"plain-47000", 47000, {{"cloud", timeStep}}},
        {"plain-51500", 51500, {{"tunnel", timeStep}}},
        {"plain-55000", 55000, {{"scroller", scrollerStep}, {"scroller's wobble", scrollerWobbleStep}}},
        {"plain-60000", 60000, {{"scroller", scrollerStep}, {"scroller's wobble", scrollerWobbleStep}}},
        // A capture at 30 frames a second: its frames 361 and 1681.
        {"fps30-12033", 12033, {}},
        {"fps30-56033", 56033, {{"scroller", scrollerStep}}},
    };
    const std::vector<Reference> calm = {
        {"calm-09000", 9000, {}},
        {"calm-16500", 16500, {{"head", headStep}}},
        {"calm-18300", 18300, {}},
        {"calm-55000", 55000, {{"scroller", scrollerStep}}},
        {"calm-58000", 58000, {{"scroller", scrollerStep}}},
    };
    int changed = 0;
    for (bool calmDemo : {false, true}) {
        setCalm(calmDemo);
        startFrom([](FrameState&) {});
        MotionGrid grid;
        for (const Reference& reference : calmDemo ? calm : plain) {
            grid.prepare(reference.t);
            const FrameState prepared = saveFrameState();
            const std::vector<unsigned char> small = scaledDown(frameAt(reference.t));
            std::vector<unsigned char> kept;
            const bool found = readReference(reference.name, kept);
            const Difference difference = found ? differenceOf(kept, small) : Difference{1, 0};
            if (remaking) {
                if (!found || difference.psnr != INFINITY) {
                    ++changed;
                    std::printf("%s: %s\n", reference.name, found ? difference.text().c_str() : "new");
                    ASSERT_TRUE(writeReference(reference.name, small)) << referencePath(reference.name);
                }
                kept = small;
            } else {
                ASSERT_TRUE(found) << referencePath(reference.name) << " is missing or not " << referenceWidth << " x "
                                   << referenceHeight << " (scripts/remake_references.sh makes it)";
                EXPECT_TRUE(difference.within()) << reference.name << ": " << difference.text();
            }
            for (const auto& [motion, stepOff] : reference.stepsOff) {
                FrameState off = prepared;
                unsigned t = reference.t;
                stepOff(off, t);
                restoreFrameState(off);
                const Difference offDifference = differenceOf(kept, scaledDown(frameAt(t)));
                if (remaking)
                    std::printf("%s with the %s a step off: %s\n", reference.name, motion, offDifference.text().c_str());
                EXPECT_FALSE(offDifference.within())
                    << reference.name << " passes with the " << motion << " a step off: " << offDifference.text();
            }
            restoreFrameState(prepared);
        }
    }
    setCalm(false);
    if (remaking)
        std::printf("%d reference frames changed\n", changed);
}

namespace {

// In a process of its own (a death test's): the window's close button
// pressed while a capture runs, then the capture of 20 to 25 s at 10 frames a
// second into `target` (a folder or a video); ends with the capture's status,
// after closing the sound and the window as the program's exit handler does
// (on SDL 2's SDL 1.2 layer an audio thread left running would call into that
// layer after its library has been finalised).
[[noreturn]] void captureUntilTheWindowCloses(const std::string& target) {
    VirtualClock clock;
    tarnix::setTickSource(&clock);
    tarnix::input.setQuitEndsProgram(false);
    SDL_Event close = {};
    close.type = SDL_QUIT;
    SDL_PushEvent(&close);
    DemoOptions options;
    options.captureTarget = target;
    options.startMs = 20000;
    options.untilMs = 25000;
    options.framesPerSecond = 10;
    options.quiet = true;
    const int status = runCapture(planCapture(options), clock);
    tarnix::init.close();
    std::exit(status);
}

}  // namespace

// Closing the window ends a capture as Escape does, the frames drawn whole
// and the sound as long, but with status 1 and a line that says so; a video
// is ended whole with the frames drawn, its sound as long.
TEST_F(DemoFramesTest, ClosingTheWindowEndsACaptureWholeWithStatusOne) {
    // The death test's child runs this body again from its start: it finds
    // the folder its parent made in the environment it was given.
    const char* const folderVariable = "TARNIX_TEST_CLOSED_CAPTURE_FOLDER";
    const std::string folder =
        std::getenv(folderVariable) ? std::getenv(folderVariable) : testsupport::makeTemporaryDirectory();
    ASSERT_FALSE(folder.empty());
    setenv(folderVariable, folder.c_str(), 1);
    const std::string directory = folder + "/closed";
    EXPECT_EXIT(captureUntilTheWindowCloses(directory), testing::ExitedWithCode(1),
                "tarnix: the window was closed: the capture stopped after 1 of 51 frames, demo time 20.000 to 20.000 s");
    std::unique_ptr<tarnix::ImageData> frame(tarnix::image.loadPNG((directory + "/frame_00000.png").c_str()));
    EXPECT_NE(frame, nullptr);
    EXPECT_FALSE(std::ifstream(directory + "/frame_00001.png").good());
    std::ifstream wav(directory + "/sound.wav", std::ios::binary | std::ios::ate);
    EXPECT_EQ(static_cast<long>(wav.tellg()), 44 + 4410 * 4);

    const std::string video = folder + "/closed.mp4";
    EXPECT_EXIT(captureUntilTheWindowCloses(video), testing::ExitedWithCode(1),
                "tarnix: the window was closed: the capture stopped after 1 of 51 frames");
    const testsupport::ProcessResult probe = testsupport::runProcess("/usr/bin/ffprobe", {"-v", "error", "-count_frames", "-show_entries", "stream=nb_read_frames,duration",
                                        "-of", "csv=p=0", video});
    // duration,frames of the picture, then of the sound (AAC frames, any count)
    EXPECT_EQ(probe.out.rfind("0.100000,1\n0.100000,", 0), 0u) << probe.out << probe.err;
    EXPECT_FALSE(std::filesystem::exists(video + ".part"));
    unsetenv(folderVariable);
    std::filesystem::remove_all(folder);
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // A forked child has none of the software renderer's worker threads and
    // would wait for them forever; death tests start a fresh process instead.
    testing::FLAGS_gtest_death_test_style = "threadsafe";
    testing::AddGlobalTestEnvironment(new DemoEnvironment);
    return RUN_ALL_TESTS();
}
