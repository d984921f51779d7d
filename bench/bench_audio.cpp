// Cost of the audio callback (warm-up over, fade done) per 512-frame device
// buffer at several signal vector sizes, side by side with one direct
// ProcessAudioBlock call over the same 512 frames; prints the overhead ratio.
// The JACK cycle adds the engine's process function and the conversion from
// and to the server's float ports.
#include "effect/DistortionEffect.h"
#include "standalone/AppSettings.h"
#include "standalone/AudioCallbackCore.h"
#include "standalone/AudioEngine.h"
#include "standalone/HostSettings.h"
#include "standalone/ProcessFloatCycle.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kFrames = 512;

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

struct Buffers {
    Buffers() : input(2 * kFrames), output(2 * kFrames)
    {
        for (uint32_t i = 0; i < kFrames; ++i) {
            input[i] = 0.9 * std::sin(i * 0.031);
            input[kFrames + i] = 0.9 * std::cos(i * 0.017);
        }
    }
    std::vector<double> input;
    std::vector<double> output;
};

void Callback(benchmark::State& state, bool everyStage)
{
    const auto vector = static_cast<uint32_t>(state.range(0));
    DistortionEffect fx(nullptr, nullptr, false);
    Configure(fx, everyStage);
    fx.ChangeBlockSize(static_cast<int>(vector));
    AppSettings settings;
    AudioCallbackState callbackState;
    callbackState.signalVectorSize = vector;
    Buffers buffers;
    for (uint32_t k = 0; k <= kSilentCallbacks; ++k) {
        AudioCallbackCore(buffers.output.data(), buffers.input.data(), kFrames, callbackState, &fx, settings);
    }
    for (auto _ : state) {
        AudioCallbackCore(buffers.output.data(), buffers.input.data(), kFrames, callbackState, &fx, settings);
        benchmark::DoNotOptimize(buffers.output.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void Direct(benchmark::State& state, bool everyStage)
{
    DistortionEffect fx(nullptr, nullptr, false);
    Configure(fx, everyStage);
    fx.ChangeBlockSize(static_cast<int>(kFrames));
    Buffers buffers;
    double* in[2] = {buffers.input.data(), buffers.input.data() + kFrames};
    double* out[2] = {buffers.output.data(), buffers.output.data() + kFrames};
    for (auto _ : state) {
        fx.ProcessAudioBlock(in, out, static_cast<int>(kFrames));
        benchmark::DoNotOptimize(buffers.output.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void JackCycle(benchmark::State& state, bool everyStage)
{
    DistortionEffect fx(nullptr, nullptr, false);
    Configure(fx, everyStage);
    fx.ChangeBlockSize(32);
    DefaultSettings(currentSettings);
    AudioEngine engine;
    engine.SetAudioPlugin(&fx);
    std::vector<float> ports[4];
    for (auto& port : ports) {
        port.assign(kFrames, 0.0f);
    }
    for (uint32_t i = 0; i < kFrames; ++i) {
        ports[0][i] = static_cast<float>(0.9 * std::sin(i * 0.031));
        ports[1][i] = static_cast<float>(0.9 * std::cos(i * 0.017));
    }
    const float* in[2] = {ports[0].data(), ports[1].data()};
    float* out[2] = {ports[2].data(), ports[3].data()};
    std::vector<double> input(2 * kFrames), output(2 * kFrames);
    for (uint32_t k = 0; k <= kSilentCallbacks; ++k) {
        ProcessFloatCycle(in, out, kFrames, input.data(), output.data(), &AudioEngine::ProcessBuffer, &engine, false);
    }
    for (auto _ : state) {
        ProcessFloatCycle(in, out, kFrames, input.data(), output.data(), &AudioEngine::ProcessBuffer, &engine, false);
        benchmark::DoNotOptimize(ports[2].data());
        benchmark::ClobberMemory();
    }
    engine.SetAudioPlugin(nullptr);
    state.SetItemsProcessed(state.iterations() * kFrames);
}

void BM_Callback_EveryStage(benchmark::State& state) { Callback(state, true); }
void BM_JackCycle_EveryStage(benchmark::State& state) { JackCycle(state, true); }
void BM_JackCycle_Defaults(benchmark::State& state) { JackCycle(state, false); }
void BM_Direct_EveryStage(benchmark::State& state) { Direct(state, true); }
void BM_Callback_Defaults(benchmark::State& state) { Callback(state, false); }
void BM_Direct_Defaults(benchmark::State& state) { Direct(state, false); }

// Collects the time per iteration of every run for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration) {
                nanoseconds[run.run_name.str()] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nanoseconds;
};

} // namespace

BENCHMARK(BM_Callback_EveryStage)->Arg(16)->Arg(32)->Arg(512);
BENCHMARK(BM_Direct_EveryStage);
BENCHMARK(BM_Callback_Defaults)->Arg(16)->Arg(32)->Arg(512);
BENCHMARK(BM_Direct_Defaults);
BENCHMARK(BM_JackCycle_EveryStage);
BENCHMARK(BM_JackCycle_Defaults);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-12s %8s %14s %14s %14s %8s\n", "knobs", "sigvs", "callback ns/f", "direct ns/f", "", "ratio");
    for (const char* knobs : {"EveryStage", "Defaults"}) {
        const auto direct = reporter.nanoseconds.find(std::string("BM_Direct_") + knobs);
        if (direct == reporter.nanoseconds.end()) {
            continue;
        }
        for (int vector : {16, 32, 512}) {
            const auto callback =
                reporter.nanoseconds.find(std::string("BM_Callback_") + knobs + "/" + std::to_string(vector));
            if (callback == reporter.nanoseconds.end()) {
                continue;
            }
            std::printf("%-12s %8d %14.3f %14.3f %14s %7.3fx%s\n", knobs, vector, callback->second / kFrames,
                        direct->second / kFrames, "", callback->second / direct->second,
                        vector == 32 ? "  (goal <= 1.15x)" : "");
        }
        // The whole JACK cycle at the default signal vector size of 32.
        const auto jack = reporter.nanoseconds.find(std::string("BM_JackCycle_") + knobs);
        if (jack != reporter.nanoseconds.end()) {
            std::printf("%-12s %8s %14.3f %14.3f %14s %7.3fx  (goal <= 1.15x)\n", knobs, "jack/32",
                        jack->second / kFrames, direct->second / kFrames, "", jack->second / direct->second);
        }
    }
    return 0;
}
