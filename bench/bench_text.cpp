// A 20-character label drawn 1000 times through the glyph cache (warm) and
// through the system's text drawing, side by side, with the ratio printed.
#include "platform/SystemFont.h"
#include "platform/TextDraw.h"
#include "raster/RasterCachedFont.h"
#include "raster/RasterSysBitmap.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <memory>

namespace {

constexpr const char* label = "Drive 12.5 dB, Tone:";

std::unique_ptr<RasterCachedFont> MakeLabelFont()
{
    auto font = std::make_unique<RasterCachedFont>();
    font->AttachSystemFont(SystemFont::Create("DejaVu Sans", 14, 400, false, 0, 4).release(), 0x600);
    font->SetForegroundColor(0xFFE0E0E0);
    return font;
}

double DrawLabels(RasterCachedFont& font, RasterSysBitmap& target, int format)
{
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 1000; ++i) {
        RasterRect r{4, 4 + (i % 8) * 20, 236, 24 + (i % 8) * 20};
        benchmark::DoNotOptimize(font.RenderText(&target, label, -1, &r, format | TextNoClip));
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_LabelGlyphPath(benchmark::State& state)
{
    auto font = MakeLabelFont();
    RasterSysBitmap target(240, 180);
    DrawLabels(*font, target, TextNeverDirect); // warm the cache
    for (auto _ : state) {
        state.SetIterationTime(DrawLabels(*font, target, TextNeverDirect));
    }
}

void BM_LabelDirectPath(benchmark::State& state)
{
    auto font = MakeLabelFont();
    RasterSysBitmap target(240, 180);
    for (auto _ : state) {
        state.SetIterationTime(DrawLabels(*font, target, 0));
    }
}

BENCHMARK(BM_LabelGlyphPath)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LabelDirectPath)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The side-by-side summary: best of five runs of 1000 labels each.
    auto glyphFont = MakeLabelFont(), directFont = MakeLabelFont();
    RasterSysBitmap target(240, 180);
    DrawLabels(*glyphFont, target, TextNeverDirect);
    double glyph = 1e9, direct = 1e9;
    for (int run = 0; run < 5; ++run) {
        glyph = std::min(glyph, DrawLabels(*glyphFont, target, TextNeverDirect));
        direct = std::min(direct, DrawLabels(*directFont, target, 0));
    }
    std::printf("1000 labels: glyph path %.3f ms, direct path %.3f ms, direct / glyph = %.1fx (goal >= 5x)\n",
                glyph * 1e3, direct * 1e3, direct / glyph);
    return 0;
}
