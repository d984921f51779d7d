// Throughput of the distortion's block processing, stereo, against real time
// at 48 kHz.
#include "effect/DistortionEffect.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {
void Configure(DistortionEffect& fx, bool everyStage)
{
    fx.LoadPresetSlot(0);
    if (!everyStage) {
        return;
    }
    const std::pair<int, double> values[] = {{0, 4.0}, {1, 3.0}, {5, 0.5}, {6, 0.5}, {2, 0.7}, {3, 0.8}};
    for (auto [index, value] : values) {
        fx.parameters[static_cast<size_t>(index)]->value = value;
        fx.ParameterChanged(index);
    }
}

void ProcessBlocks(benchmark::State& state, bool everyStage)
{
    const int frames = static_cast<int>(state.range(0));
    DistortionEffect fx(nullptr, nullptr, false);
    Configure(fx, everyStage);
    std::vector<double> inL(static_cast<size_t>(frames)), inR(inL.size()), outL(inL.size()), outR(inL.size());
    for (int i = 0; i < frames; ++i) {
        inL[static_cast<size_t>(i)] = 0.9 * std::sin(i * 0.031);
        inR[static_cast<size_t>(i)] = 0.9 * std::cos(i * 0.017);
    }
    double* in[2] = {inL.data(), inR.data()};
    double* out[2] = {outL.data(), outR.data()};
    for (auto _ : state) {
        fx.ProcessAudioBlock(in, out, frames);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    const double framesDone = static_cast<double>(state.iterations()) * frames;
    state.counters["frames_per_s"] = benchmark::Counter(framesDone, benchmark::Counter::kIsRate);
    state.counters["realtime_x_48k"] = benchmark::Counter(framesDone / 48000.0, benchmark::Counter::kIsRate);
}

void BM_Defaults(benchmark::State& state) { ProcessBlocks(state, false); }
void BM_EveryStage(benchmark::State& state) { ProcessBlocks(state, true); }
} // namespace

BENCHMARK(BM_Defaults)->Arg(32)->Arg(512)->Arg(4096);
BENCHMARK(BM_EveryStage)->Arg(32)->Arg(512)->Arg(4096);
BENCHMARK_MAIN();
