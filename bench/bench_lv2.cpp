// The LV2 plug-in under lv2bench at 512-frame blocks, side by side with
// Debian's peer distortions (calf Crusher, guitarix MXR distortion, calf
// Saturator, each at its defaults). Ours runs once with every stage at work
// (a copy of the bundle whose port defaults set every stage, since lv2bench
// runs each plug-in at its defaults) and once at its shipped defaults.
// Prints Mframes/s for each and ours over each peer's; the goal is a ratio
// above 1 for every peer with every stage at work.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kBlockFrames = 512;
constexpr long kFramesPerRun = 2000000;
const char* const kOurUri = "urn:brimvale:snarlbox";

struct Subject {
    std::string label;
    std::string uri;
    bool everyStage; // ours, through the bundle copy with every stage set
};

const std::vector<Subject>& Subjects()
{
    static const std::vector<Subject> subjects = {
        {"snarlbox, every stage", kOurUri, true},
        {"snarlbox, defaults", kOurUri, false},
        {"calf Crusher", "http://calf.sourceforge.net/plugins/Crusher", false},
        {"guitarix MXR distortion", "http://guitarix.sourceforge.net/plugins/gx_mxrdist_#_mxrdist_", false},
        {"calf Saturator", "http://calf.sourceforge.net/plugins/Saturator", false},
    };
    return subjects;
}

// A bundle beside the built one with the same binary and every stage set as
// the port defaults: coarse 7.3, fine 3, wet 0.6, gain 0.9, even 0.5, odd 0.4.
fs::path MakeEveryStageBundle()
{
    char pattern[] = "/tmp/snarlbox-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return fs::path();
    }
    const fs::path built = SNARLBOX_LV2_BUNDLE;
    const fs::path copy = fs::path(pattern) / "snarlbox.lv2";
    fs::create_directories(copy);
    fs::create_symlink(built / "snarlbox.so", copy / "snarlbox.so");
    fs::copy_file(built / "manifest.ttl", copy / "manifest.ttl");
    const std::map<std::string, std::string> values = {{"coarse", "7.3"}, {"fine", "3.0"}, {"wet", "0.6"},
                                                       {"gain", "0.9"},   {"even", "0.5"}, {"odd", "0.4"}};
    std::ifstream in(built / "snarlbox.ttl");
    std::ofstream out(copy / "snarlbox.ttl");
    std::string symbol;
    for (std::string line; std::getline(in, line);) {
        const size_t at = line.find("lv2:symbol \"");
        if (at != std::string::npos) {
            symbol = line.substr(at + 12, line.find('"', at + 12) - (at + 12));
        }
        const auto value = values.find(symbol);
        if (line.find("lv2:default ") != std::string::npos && value != values.end()) {
            line = "        lv2:default " + value->second + " ;";
        }
        out << line << "\n";
    }
    return fs::path(pattern);
}

// lv2bench's seconds for kFramesPerRun frames of the plug-in, or -1.
double RunLv2Bench(const std::string& lv2Path, const std::string& uri)
{
    const std::string command = "env LV2_PATH='" + lv2Path + "' lv2bench -f -b " + std::to_string(kBlockFrames) +
                                " -n " + std::to_string(kFramesPerRun) + " '" + uri + "' 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1.0;
    }
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        text.append(buffer, n);
    }
    pclose(pipe);
    // "BLOCK FRAMES SECONDS URI" on the plug-in's line.
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        long block = 0, frames = 0;
        double seconds = 0.0;
        std::string found;
        if (fields >> block >> frames >> seconds >> found && found == uri && seconds > 0.0) {
            return seconds;
        }
    }
    return -1.0;
}

std::map<std::string, double> megaFramesPerSecond;

void Measure(benchmark::State& state, const Subject& subject, const std::string& lv2Path)
{
    double seconds = 0.0;
    for (auto _ : state) {
        const double run = RunLv2Bench(lv2Path, subject.uri);
        if (run <= 0.0) {
            state.SkipWithError("lv2bench could not run it (is it installed?)");
            return;
        }
        state.SetIterationTime(run);
        seconds += run;
    }
    const double rate = static_cast<double>(kFramesPerRun) * static_cast<double>(state.iterations()) / seconds / 1e6;
    state.counters["Mframes/s"] = rate;
    megaFramesPerSecond[subject.label] = rate;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const fs::path everyStage = MakeEveryStageBundle();
    if (everyStage.empty()) {
        std::fprintf(stderr, "could not make the bundle copy under /tmp\n");
        return 1;
    }
    const std::string shipped = fs::path(SNARLBOX_LV2_BUNDLE).parent_path().string() + ":/usr/lib/lv2";
    const std::string staged = everyStage.string() + ":/usr/lib/lv2";
    for (const Subject& subject : Subjects()) {
        const std::string path = subject.everyStage ? staged : shipped;
        benchmark::RegisterBenchmark(("lv2bench/" + subject.label).c_str(),
                                     [&subject, path](benchmark::State& state) { Measure(state, subject, path); })
            ->UseManualTime()
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(everyStage, ignored);

    std::printf("\n%-26s %12s\n", "plug-in (512-frame blocks)", "Mframes/s");
    for (const Subject& subject : Subjects()) {
        const auto rate = megaFramesPerSecond.find(subject.label);
        if (rate != megaFramesPerSecond.end()) {
            std::printf("%-26s %12.2f\n", subject.label.c_str(), rate->second);
        }
    }
    const auto ours = megaFramesPerSecond.find("snarlbox, every stage");
    if (ours == megaFramesPerSecond.end()) {
        return 0;
    }
    std::printf("\nsnarlbox (every stage) over each peer (goal: above 1 for every one):\n");
    for (const Subject& subject : Subjects()) {
        const auto peer = megaFramesPerSecond.find(subject.label);
        if (subject.uri != kOurUri && peer != megaFramesPerSecond.end()) {
            std::printf("  %-26s %8.2fx\n", subject.label.c_str(), ours->second / peer->second);
        }
    }
    return 0;
}
