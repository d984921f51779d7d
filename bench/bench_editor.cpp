// Editor repaint cost with the real images: one knob moved (gather, paint and
// present of its 70 x 70 area) and the whole 655 x 175 editor, against the
// 40 ms period of the 25-per-second redraw timer.
#include "effect/DistortionEffect.h"
#include "effect/EditorLayout.h"
#include "gui/IGraphicsHeadless.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr double kTimerPeriodUs = 1000000.0 / kEditorFrameRate;

struct EditorFixture {
    DistortionEffect effect{nullptr, nullptr, false};
    IGraphicsHeadless* graphics = nullptr;

    EditorFixture()
    {
        auto editor = std::make_unique<IGraphicsHeadless>(&effect, kEditorWidth, kEditorHeight, kEditorFrameRate);
        graphics = editor.get();
        BuildDistortionEditor(*graphics, &effect);
        effect.AttachEditor(std::move(editor));
        graphics->OpenHeadless();
        Tick();
    }
    bool Tick()
    {
        IRectangle area;
        if (!graphics->GatherDirtyArea(area)) {
            return false;
        }
        graphics->PaintDirtyControls(area);
        graphics->ClearPresentedAreas();
        return true;
    }
};

std::map<std::string, double> microseconds;

void BM_OneKnobMoved(benchmark::State& state)
{
    EditorFixture f;
    IControl& knob = *f.graphics->controls[1];
    double value = 0.0;
    for (auto _ : state) {
        value = value >= 1.0 ? 0.0 : value + 1.0 / 64.0;
        knob.value = value;
        knob.MarkChanged(false);
        benchmark::DoNotOptimize(f.Tick());
    }
}

void BM_FullEditor(benchmark::State& state)
{
    EditorFixture f;
    for (auto _ : state) {
        for (const auto& control : f.graphics->controls) {
            control->MarkChanged(false);
        }
        benchmark::DoNotOptimize(f.Tick());
    }
}

BENCHMARK(BM_OneKnobMoved)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullEditor)->Unit(benchmark::kMicrosecond);

class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration) {
                microseconds[run.benchmark_name()] = run.GetAdjustedRealTime(); // in the run's unit, µs
            }
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Collector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nrepaint                   us/repaint   share of a %.0f ms tick   goal\n", kTimerPeriodUs / 1000.0);
    const struct {
        const char* name;
        const char* label;
        double goalUs;
    } rows[] = {{"BM_OneKnobMoved", "one knob (70x70)", 50.0}, {"BM_FullEditor", "full editor (655x175)", 1000.0}};
    for (const auto& row : rows) {
        auto it = microseconds.find(row.name);
        if (it == microseconds.end()) {
            continue;
        }
        std::printf("%-24s %11.2f %22.3f %%   < %.0f us %s\n", row.label, it->second,
                    100.0 * it->second / kTimerPeriodUs, row.goalUs, it->second < row.goalUs ? "met" : "MISSED");
    }
    benchmark::Shutdown();
    return 0;
}
