// What watching data/ for changed files costs a frame of the development
// mode: the look at the change notification when nothing changed (every
// frame), and when one file did. A frame of the demo takes 16 ms and more.

#include "engine/platform/Platform.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include <stdlib.h>
#include <unistd.h>

namespace {

struct WatchedDirectory {
    WatchedDirectory() {
        char pattern[] = "/tmp/tarnix-watch-XXXXXX";
        path = mkdtemp(pattern);
        std::string error;
        watcher.watch(path, error);
    }
    ~WatchedDirectory() {
        unlink((path + "/picture.png").c_str());
        rmdir(path.c_str());
    }
    std::string path;
    tarnix::DirectoryWatcher watcher;
};

void nothingChanged(benchmark::State& state) {
    WatchedDirectory directory;
    for (auto _ : state)
        benchmark::DoNotOptimize(directory.watcher.changedNames());
}
BENCHMARK(nothingChanged);

void oneFileWritten(benchmark::State& state) {
    WatchedDirectory directory;
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(directory.path + "/picture.png") << "bytes";
        state.ResumeTiming();
        benchmark::DoNotOptimize(directory.watcher.changedNames());
    }
}
BENCHMARK(oneFileWritten);

}  // namespace

BENCHMARK_MAIN();
