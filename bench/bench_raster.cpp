// Our blits side by side with pixman on the editor's image sizes, in one process.
#include "raster/Blit.h"
#include "raster/RasterMemBitmap.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Size {
    const char* name;
    int w, h;
    bool knob; // a round knob frame with transparent corners, else an opaque panel
};
const Size sizes[] = {{"knob70x70", 70, 70, true}, {"frame64x64", 64, 64, true}, {"image655x175", 655, 175, false}};

struct Op {
    const char* name;
    int mode;
    pixman_op_t pixmanOp;
};
const Op ops[] = {{"SourceAlphaCopy", BlendUseSourceAlpha | BlendModeCopy, PIXMAN_OP_OVER},
                  {"OpaqueCopy", BlendModeCopy, PIXMAN_OP_SRC},
                  {"Add", BlendModeAdd, PIXMAN_OP_ADD},
                  {"Multiply", BlendModeMultiply, PIXMAN_OP_MULTIPLY}};

// A shaded disc with an anti-aliased rim and a soft shadow, or an opaque panel
// with a translucent border.
void Paint(RasterMemBitmap& b, const Size& s)
{
    for (int y = 0; y < s.h; ++y) {
        RasterPixel* row = b.Pixels() + y * b.Stride();
        for (int x = 0; x < s.w; ++x) {
            int shade = (x * 3 + y * 5) & 0xFF;
            RasterPixel colour = RasterPixel(shade) | RasterPixel(shade / 2) << 8 | RasterPixel(255 - shade) << 16;
            double alpha;
            if (s.knob) {
                double r = std::hypot(x + 0.5 - s.w / 2.0, y + 0.5 - s.h / 2.0), edge = s.w / 2.0 - 5.0;
                alpha = r < edge ? 1.0 : (r < edge + 1.0 ? edge + 1.0 - r : std::max(0.0, 0.4 * (edge + 5.0 - r) / 4.0));
            } else {
                int border = std::min(std::min(x, s.w - 1 - x), std::min(y, s.h - 1 - y));
                alpha = border >= 10 ? 1.0 : border / 10.0;
            }
            RasterPixel a = RasterPixel(std::lround(alpha * 255.0));
            row[x] = a << 24 | colour;
        }
    }
}

struct Images {
    RasterMemBitmap src, dst, pixSrcBits, pixDstBits;
    pixman_image_t* pixSrc = nullptr;
    pixman_image_t* pixDst = nullptr;
    explicit Images(const Size& s) : src(s.w, s.h), dst(s.w, s.h), pixSrcBits(s.w, s.h), pixDstBits(s.w, s.h)
    {
        Paint(src, s);
        Paint(pixSrcBits, s);
        for (RasterMemBitmap* d : {&dst, &pixDstBits}) {
            for (int i = 0; i < d->Stride() * s.h; ++i) {
                d->Pixels()[i] = 0xFF406080u;
            }
        }
        pixSrc = pixman_image_create_bits(PIXMAN_a8r8g8b8, s.w, s.h, pixSrcBits.Pixels(), pixSrcBits.Stride() * 4);
        pixDst = pixman_image_create_bits(PIXMAN_a8r8g8b8, s.w, s.h, pixDstBits.Pixels(), pixDstBits.Stride() * 4);
    }
    ~Images()
    {
        pixman_image_unref(pixSrc);
        pixman_image_unref(pixDst);
    }
};

std::map<std::string, double> rates; // benchmark name -> Mpixels/s

void Ours(benchmark::State& state, Size s, Op op)
{
    Images images(s);
    for (auto _ : state) {
        BlitBitmap(&images.dst, &images.src, 0, 0, nullptr, 1.0f, op.mode);
        benchmark::DoNotOptimize(images.dst.Pixels()[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

void Pixman(benchmark::State& state, Size s, Op op)
{
    Images images(s);
    for (auto _ : state) {
        pixman_image_composite32(op.pixmanOp, images.pixSrc, nullptr, images.pixDst, 0, 0, 0, 0, 0, 0, s.w, s.h);
        benchmark::DoNotOptimize(images.pixDstBits.Pixels()[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * s.w * s.h);
}

// Keeps the console output and remembers each rate for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            auto it = run.counters.find("items_per_second");
            if (it == run.counters.end()) {
                continue;
            }
            // With --benchmark_repetitions the median stands for the benchmark.
            if (run.run_type == Run::RT_Iteration && medians.count(run.run_name.str()) == 0) {
                rates[run.run_name.str()] = it->second.value / 1e6;
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                rates[run.run_name.str()] = it->second.value / 1e6;
                medians.insert(run.run_name.str());
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

private:
    std::set<std::string> medians;
};

} // namespace

int main(int argc, char** argv)
{
    for (const Op& op : ops) {
        for (const Size& s : sizes) {
            std::string base = std::string(op.name) + "/" + s.name;
            benchmark::RegisterBenchmark((base + "/ours").c_str(), Ours, s, op);
            benchmark::RegisterBenchmark((base + "/pixman").c_str(), Pixman, s, op);
        }
    }
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-30s %12s %12s %8s\n", "operation/size", "ours Mpx/s", "pixman Mpx/s", "ratio");
    for (const Op& op : ops) {
        for (const Size& s : sizes) {
            std::string base = std::string(op.name) + "/" + s.name;
            auto ours = rates.find(base + "/ours"), theirs = rates.find(base + "/pixman");
            if (ours != rates.end() && theirs != rates.end()) {
                std::printf("%-30s %12.1f %12.1f %8.2f\n", base.c_str(), ours->second, theirs->second,
                            ours->second / theirs->second);
            }
        }
    }
    return 0;
}
