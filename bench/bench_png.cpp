// Decoding the editor's largest images with our decoder and with libpng's
// simplified API (to BGRA, the same memory layout), side by side. Both write
// into a buffer allocated once outside the timed loop.
#include "platform/Resources.h"
#include "raster/PngDecoder.h"
#include "raster/RasterMemBitmap.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

struct Image {
    const char* name;
    int id;
};

const Image images[] = {{"knob 70x4480", 101}, {"background 655x175", 103}};

std::map<std::string, double> times; // seconds per decode

void Ours(benchmark::State& state, Image image)
{
    const ResourceEntry* r = FindResource(image.id, "PNG");
    if (r == nullptr) {
        state.SkipWithError("resource missing");
        return;
    }
    RasterMemBitmap destination;
    for (auto _ : state) {
        RasterBitmap* b = DecodePngMemory(r->data, int(r->size), &destination);
        benchmark::DoNotOptimize(b);
        if (b == nullptr) {
            state.SkipWithError("decode failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * destination.Width() * destination.Height());
}

void Libpng(benchmark::State& state, Image image)
{
    const ResourceEntry* r = FindResource(image.id, "PNG");
    if (r == nullptr) {
        state.SkipWithError("resource missing");
        return;
    }
    std::vector<unsigned char> buffer;
    long pixels = 0;
    for (auto _ : state) {
        png_image png;
        std::memset(&png, 0, sizeof png);
        png.version = PNG_IMAGE_VERSION;
        if (png_image_begin_read_from_memory(&png, r->data, r->size) == 0) {
            state.SkipWithError("libpng begin failed");
            return;
        }
        png.format = PNG_FORMAT_BGRA;
        buffer.resize(PNG_IMAGE_SIZE(png));
        if (png_image_finish_read(&png, nullptr, buffer.data(), 0, nullptr) == 0) {
            state.SkipWithError("libpng finish failed");
            return;
        }
        pixels = long(png.width) * long(png.height);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetItemsProcessed(state.iterations() * pixels);
}

// Keeps the console output and remembers each time for the summary; with
// --benchmark_repetitions the median stands for the benchmark.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.iterations == 0 || run.error_occurred) {
                continue;
            }
            std::string name = run.run_name.str();
            double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_type == Run::RT_Iteration && !median[name]) {
                times[name] = seconds;
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times[name] = seconds;
                median[name] = true;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

private:
    std::map<std::string, bool> median;
};

} // namespace

int main(int argc, char** argv)
{
    for (const Image& image : images) {
        benchmark::RegisterBenchmark((std::string(image.name) + "/ours").c_str(), Ours, image)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((std::string(image.name) + "/libpng").c_str(), Libpng, image)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-22s %12s %12s %18s\n", "image", "ours us", "libpng us", "ours/libpng time");
    for (const Image& image : images) {
        auto ours = times.find(std::string(image.name) + "/ours");
        auto theirs = times.find(std::string(image.name) + "/libpng");
        if (ours != times.end() && theirs != times.end()) {
            std::printf("%-22s %12.1f %12.1f %18.2f\n", image.name, ours->second * 1e6, theirs->second * 1e6,
                        ours->second / theirs->second);
        }
    }
    return 0;
}
