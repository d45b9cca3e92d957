// Radix::sort against std::sort and std::stable_sort of the same index array
// by depth, at three particle counts, on random depths and on the previous
// frame's order (depths that moved a little). Prints Google Benchmark's table,
// then the ratios of the standard sorts' times to the radix sort's.

#include "engine/render/Particle.h"
#include "engine/render/Sort.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

enum class Depths { random, previousFrame };
enum class Sorter { radix, stdSort, stdStableSort };

// Particles with random depths; for previousFrame, `order` already holds their
// sorted order and the depths have since moved a little.
struct Cloud {
    std::vector<tarnix::Particle> particles;
    std::vector<int> order;
};

Cloud makeCloud(unsigned count, Depths depths) {
    std::mt19937 random(count);
    std::uniform_real_distribution<float> depth(-1000.0f, 1000.0f);
    Cloud cloud;
    cloud.particles.resize(count);
    for (tarnix::Particle& particle : cloud.particles)
        particle.position.z = depth(random);
    cloud.order.resize(count);
    std::iota(cloud.order.begin(), cloud.order.end(), 0);
    if (depths == Depths::previousFrame) {
        std::sort(cloud.order.begin(), cloud.order.end(), [&](int a, int b) {
            return cloud.particles[a].position.z < cloud.particles[b].position.z;
        });
        std::uniform_real_distribution<float> nudge(-0.5f, 0.5f);
        for (tarnix::Particle& particle : cloud.particles)
            particle.position.z += nudge(random);
    }
    return cloud;
}

void sortBenchmark(benchmark::State& state, Sorter sorter, Depths depths) {
    const auto count = static_cast<unsigned>(state.range(0));
    Cloud cloud = makeCloud(count, depths);
    const tarnix::Particle* particles = cloud.particles.data();
    auto byDepth = [particles](int a, int b) { return particles[a].position.z < particles[b].position.z; };
    std::vector<int> indices(count);
    std::vector<float> moved(count);
    for (auto _ : state) {
        state.PauseTiming();
        // Every run starts from the same order: the identity for random
        // depths, last frame's for depths that moved. A new sorter starts
        // from the identity; last frame's order comes from sorting depths
        // that stand for it (their rank in that order).
        std::optional<tarnix::Radix> radix;
        if (sorter == Sorter::radix) {
            radix.emplace(cloud.particles.data(), count);
            if (depths == Depths::previousFrame) {
                for (unsigned i = 0; i < count; ++i)
                    moved[i] = cloud.particles[i].position.z;
                for (unsigned k = 0; k < count; ++k)
                    cloud.particles[cloud.order[k]].position.z = static_cast<float>(k);
                radix->sort();
                for (unsigned i = 0; i < count; ++i)
                    cloud.particles[i].position.z = moved[i];
            }
        } else {
            indices = cloud.order;
        }
        state.ResumeTiming();
        if (sorter == Sorter::radix) {
            radix->sort();
            benchmark::DoNotOptimize(radix->getRanks());
        } else if (sorter == Sorter::stdSort) {
            std::sort(indices.begin(), indices.end(), byDepth);
        } else {
            std::stable_sort(indices.begin(), indices.end(), byDepth);
        }
        benchmark::DoNotOptimize(indices.data());
    }
}

const char* name(Sorter sorter) {
    switch (sorter) {
    case Sorter::radix: return "Radix::sort";
    case Sorter::stdSort: return "std::sort";
    default: return "std::stable_sort";
    }
}

// Collects the mean time of every run to print the ratios after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    const long counts[] = {2000, 100000, 1000000};
    for (Depths depths : {Depths::random, Depths::previousFrame})
        for (Sorter sorter : {Sorter::radix, Sorter::stdSort, Sorter::stdStableSort}) {
            const std::string label = std::string(name(sorter)) + (depths == Depths::random ? "/random" : "/previous");
            auto* benchmark = benchmark::RegisterBenchmark(label.c_str(), sortBenchmark, sorter, depths);
            for (long count : counts)
                benchmark->Arg(count);
            benchmark->Unit(benchmark::kMicrosecond);
        }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-10s %-10s %14s %20s\n", "depths", "particles", "std::sort/radix", "std::stable_sort/radix");
    for (const char* depths : {"random", "previous"})
        for (long count : counts) {
            const std::string suffix = std::string("/") + depths + "/" + std::to_string(count);
            const double radix = reporter.times["Radix::sort" + suffix];
            std::printf("%-10s %-10ld %14.1fx %20.1fx\n", depths, count, reporter.times["std::sort" + suffix] / radix,
                        reporter.times["std::stable_sort" + suffix] / radix);
        }
    return 0;
}
