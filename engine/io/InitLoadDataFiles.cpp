// The start-up loading pass of tarnix::Init: every registered data file goes to
// the manager of its extension, with a loading bar after each.

#include "engine/core/Init.h"

#include "engine/core/Graphics.h"
#include "engine/core/Input.h"
#include "engine/core/OpenGL.h"
#include "engine/io/FileName.h"
#include "engine/io/LoadingBar.h"
#include "engine/media/Image.h"
#include "engine/media/Sound.h"
#include "engine/mesh/MeshManager.h"
#include "engine/platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tarnix {

namespace {

enum class Kind { picture, mesh, sound, other };

// By extension, in lower or upper case; anything else loads nothing.
Kind kindOf(const std::string& name) {
    if (hasExtension(name, "png"))
        return Kind::picture;
    if (hasExtension(name, "dvm"))
        return Kind::mesh;
    if (hasExtension(name, "ogg") || hasExtension(name, "mp3") || hasExtension(name, "wav"))
        return Kind::sound;
    return Kind::other;
}

// The decoding half of the pass, run ahead on worker threads (one a core).
// Only pictures and sounds are decoded there; everything that touches OpenGL
// or the engine's lists stays with the caller, which takes the results in
// registry order. The workers take the sounds first: a track is the longest
// single decode, and begun last it would leave one core idle at the end.
// Where the program can start no threads (a browser page), the caller decodes
// each file as it takes it.
class Decoders {
public:
    struct Result {
        std::unique_ptr<ImageData> picture;
        DecodedSound sound;
        bool ready = false;
    };

    explicit Decoders(const std::vector<std::string>& files) : names(files), results(files.size()) {
        for (int pass = 0; pass < 2; ++pass)
            for (std::size_t i = 0; i < files.size(); ++i)
                if ((kindOf(files[i]) == Kind::sound) == (pass == 0))
                    order.push_back(i);
        const unsigned cores = threadsAvailable ? usableProcessors() : 0;
        for (unsigned i = 0; i < cores && i < files.size(); ++i)
            workers.emplace_back(&Decoders::work, this);
    }

    ~Decoders() { stop(); }

    // File i's result, once decoded; null when `stopRequested`, asked first
    // and every few milliseconds while it waits, says to stop.
    template <typename StopRequested>
    Result* take(std::size_t i, const StopRequested& stopRequested) {
        if (stopRequested())
            return nullptr;
        if (workers.empty()) {
            results[i] = decode(i);
            return &results[i];
        }
        std::unique_lock<std::mutex> lock(mutex);
        while (!decoded.wait_for(lock, lookInterval, [this, i] { return results[i].ready; })) {
            lock.unlock();
            const bool stop = stopRequested();
            lock.lock();
            if (stop)
                return nullptr;
        }
        return &results[i];
    }

    // Gives up the files being decoded (each ends at its next read) and
    // leaves the rest: a stop does not wait for a picture or the music.
    void stop() {
        stopping = true;
        for (std::thread& worker : workers)
            if (worker.joinable())
                worker.join();
    }

private:
    Result decode(std::size_t i) const {
        Result result;
        const char* name = names[i].c_str();
        switch (kindOf(names[i])) {
        case Kind::picture: result.picture.reset(image.loadPNG(name, &stopping)); break;
        case Kind::sound: result.sound = sound.decode(name, &stopping); break;
        default: break;
        }
        result.ready = true;
        return result;
    }

    void work() {
        for (std::size_t k = next++; k < order.size() && !stopping; k = next++) {
            const std::size_t i = order[k];
            Result result = decode(i);
            {
                std::lock_guard<std::mutex> lock(mutex);
                results[i] = std::move(result);
            }
            decoded.notify_all();
        }
    }

    static constexpr std::chrono::milliseconds lookInterval{5};

    const std::vector<std::string>& names;
    std::vector<Result> results;
    std::vector<std::size_t> order;    // file indices in the order they are decoded
    std::atomic<std::size_t> next{0};  // the next entry of `order` to take
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::condition_variable decoded;
    std::vector<std::thread> workers;
};

}  // namespace

void drawLoadingBar(unsigned index, unsigned count) {
    const float progress = count > 1 ? static_cast<float>(index) / static_cast<float>(count - 1) : 1.0f;
    const int barEnd = static_cast<int>(300 + 200 * progress);
    const float fadeStart = 0.9f;
    float brightness = 1.0f - (progress - fadeStart) / (1.0f - fadeStart);
    if (brightness > 1.0f)
        brightness = 1.0f;

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    viewReset();
    perspective2D(800, 600);
    const float outline = brightness * 0.6f;
    glColor3f(outline, outline, outline);
    glBegin(GL_LINE_STRIP);
        glVertex2i(295, 293);
        glVertex2i(505, 293);
        glVertex2i(505, 307);
        glVertex2i(295, 307);
        glVertex2i(295, 293);
    glEnd();
    const float fill = brightness * 0.3f;
    glColor3f(fill, fill, fill);
    glBegin(GL_QUADS);
        glVertex2i(300, 298);
        glVertex2i(barEnd, 298);
        glVertex2i(barEnd, 302);
        glVertex2i(300, 302);
    glEnd();
    glColor3f(1, 1, 1);
    perspective3D();
}

// The files are added in registry order, each followed by its bar frame, as
// a pass on one thread would; only the decoding runs ahead, on the worker
// threads. A look for Escape or Alt+F4 comes before and after each file and
// every few milliseconds while one is awaited, so that a large picture being
// decoded does not hold it up. Quit requests are only noted while the workers
// run, so that none ends the process under them.
bool Init::loadDataFiles() {
    glPushAttrib(GL_CURRENT_BIT);
    const unsigned count = getFileListSize();
    const bool quitEndsProgram = input.getQuitEndsProgram();
    input.setQuitEndsProgram(false);
    // The whole queue each time: Escape pressed behind mouse motion is not
    // left for the next files.
    bool keyPressed = false;
    const auto stopRequested = [&keyPressed] {
        keyPressed = input.stopAsked() && !input.quitRequested();  // Escape or Alt+F4
        return keyPressed || input.quitRequested() || caughtStopSignal() != 0;
    };
    Decoders decoders(fileList);
    bool stopped = false;
    for (unsigned i = 0; i < count && !stopped; ++i) {
        Decoders::Result* result = decoders.take(i, stopRequested);
        if (result) {
            switch (kindOf(fileList[i])) {
            case Kind::picture: image.addImage(std::move(result->picture)); break;
            case Kind::sound: sound.add(std::move(result->sound)); break;
            case Kind::mesh: meshManager.loadMeshObject(fileList[i]); break;
            case Kind::other: break;
            }
        }
        stopped = !result || stopRequested();
        if (!stopped) {
            drawLoadingBar(i, count);
            flush();
        }
    }
    decoders.stop();
    input.setQuitEndsProgram(quitEndsProgram);
    glPopAttrib();
    if (stopped && (keyPressed || (quitEndsProgram && input.quitRequested())))
        std::exit(0);
    return !stopped;
}

}  // namespace tarnix
