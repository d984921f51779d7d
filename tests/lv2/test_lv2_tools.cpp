// The bundle as the LV2 command-line tools see it.

#include "tests/support/ScratchFolder.h"
#include "tests/lv2/Lv2TestSupport.h"
#include "tests/support/RequireService.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <iomanip>
#include <sstream>

namespace fs = std::filesystem;

namespace {
const std::string kUri = "urn:brimvale:snarlbox";

// The block of lv2info's text that describes one port.
std::string PortBlock(const std::string& info, int index)
{
    const std::string head = "\tPort " + std::to_string(index) + ":\n";
    const size_t start = info.find(head);
    if (start == std::string::npos) {
        return std::string();
    }
    const size_t end = info.find("\tPort ", start + head.size());
    return info.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

} // namespace

TEST(Lv2Tools, InfoListsThePluginAndItsPorts)
{
    REQUIRE_SERVICE(HaveProgram("lv2info"), "lv2info (lilv-utils) is not installed");
    int status = 0;
    const std::string info = RunTool("lv2info " + kUri + " 2>&1", &status);
    ASSERT_EQ(status, 0) << info;
    EXPECT_NE(info.find("Name:              Snarlbox"), std::string::npos) << info;
    EXPECT_NE(info.find("Class:             Distortion Plugin"), std::string::npos) << info;
    EXPECT_NE(info.find("Author:            Brimvale LLC"), std::string::npos) << info;
    EXPECT_NE(info.find("Has latency:       no"), std::string::npos) << info;
    EXPECT_NE(info.find("lv2core#hardRTCapable"), std::string::npos) << info;
    EXPECT_EQ(info.find("Required Features"), std::string::npos) << info;

    const char* audio[4][3] = {{"in_l", "Left In", "InputPort"},
                               {"in_r", "Right In", "InputPort"},
                               {"out_l", "Left Out", "OutputPort"},
                               {"out_r", "Right Out", "OutputPort"}};
    for (int i = 0; i < 4; ++i) {
        const std::string block = PortBlock(info, i);
        EXPECT_NE(block.find("lv2core#AudioPort"), std::string::npos) << block;
        EXPECT_NE(block.find(std::string("lv2core#") + audio[i][2]), std::string::npos) << block;
        EXPECT_NE(block.find(std::string("Symbol:      ") + audio[i][0] + "\n"), std::string::npos) << block;
        EXPECT_NE(block.find(std::string("Name:        ") + audio[i][1] + "\n"), std::string::npos) << block;
    }
    struct Expected {
        const char* symbol;
        const char* name;
        const char* minimum;
        const char* maximum;
        const char* defaultValue;
    };
    const Expected controls[6] = {
        {"coarse", "Coarse Downsample", "1.000000", "327.679993", "1.000000"},
        {"fine", "Fine Downsample", "1.000000", "15.000000", "1.000000"},
        {"wet", "Wet Amount", "0.000000", "1.000000", "1.000000"},
        {"gain", "Gain", "0.000000", "1.000000", "1.000000"},
        {"even", "Even Harmonics", "0.000000", "1.000000", "0.000000"},
        {"odd", "Odd Harmonics", "0.000000", "1.000000", "0.000000"},
    };
    for (int i = 0; i < 6; ++i) {
        const Expected& c = controls[i];
        const std::string block = PortBlock(info, 4 + i);
        EXPECT_NE(block.find("lv2core#ControlPort"), std::string::npos) << block;
        EXPECT_NE(block.find("lv2core#InputPort"), std::string::npos) << block;
        EXPECT_NE(block.find(std::string("Symbol:      ") + c.symbol + "\n"), std::string::npos) << block;
        EXPECT_NE(block.find(std::string("Name:        ") + c.name + "\n"), std::string::npos) << block;
        EXPECT_NE(block.find(std::string("Minimum:     ") + c.minimum + "\n"), std::string::npos) << block;
        EXPECT_NE(block.find(std::string("Maximum:     ") + c.maximum + "\n"), std::string::npos) << block;
        EXPECT_NE(block.find(std::string("Default:     ") + c.defaultValue + "\n"), std::string::npos) << block;
        // Fine is the one integer port.
        EXPECT_EQ(block.find("lv2core#integer") != std::string::npos, i == 1) << block;
    }
    // The bypass switch hosts show as the plug-in's own, after the knobs.
    const std::string enabled = PortBlock(info, 10);
    EXPECT_NE(enabled.find("Symbol:      enabled\n"), std::string::npos) << enabled;
    EXPECT_NE(enabled.find("Designation: http://lv2plug.in/ns/lv2core#enabled\n"), std::string::npos) << enabled;
    EXPECT_NE(enabled.find("lv2core#toggled"), std::string::npos) << enabled;
    EXPECT_NE(enabled.find("Default:     1.000000\n"), std::string::npos) << enabled;
    EXPECT_TRUE(PortBlock(info, 11).empty());

    // The factory sounds, as hosts offer them.
    const size_t presets = info.find("Presets:");
    ASSERT_NE(presets, std::string::npos) << info;
    const std::string listed = info.substr(presets, info.find("Port 0:") - presets);
    for (const char* name : {"Clean", "Subtle Grit", "Warm Crunch", "Hard Clip", "Lo-Fi Sampler", "Radio Buzz",
                             "Bitcrushed Fuzz", "Broken Robot"}) {
        EXPECT_NE(listed.find(std::string(" ") + name + "\n"), std::string::npos) << name << "\n" << listed;
    }
}

// lv2apply runs one frame per run(): the frame patterns must still follow
// the 32-frame vectors of the stream.
TEST(Lv2Tools, ApplyRendersAsTheEffectInThirtyTwoFrameVectors)
{
    REQUIRE_SERVICE(HaveProgram("lv2apply"), "lv2apply (lilv-utils) is not installed");
    ScratchFolder folder("snarlbox-lv2");
    ASSERT_FALSE(folder.path.empty());
    const Stereo input = Noise(11, 4096 + 19);
    const std::string in = (folder.path / "in.wav").string();
    ASSERT_TRUE(WriteWav(in, input));

    const Controls sets[] = {
        kDefaultControls,
        kEveryStage,
        {327.68f, 15.0f, 1.0f, 1.0f, 1.0f, 1.0f},
        {40.0f, 2.0f, 0.25f, 0.5f, 0.0f, 1.0f},
    };
    const char* symbols[6] = {"coarse", "fine", "wet", "gain", "even", "odd"};
    int setIndex = 0;
    for (const Controls& controls : sets) {
        const std::string out = (folder.path / ("out" + std::to_string(setIndex) + ".wav")).string();
        std::ostringstream command;
        command << std::setprecision(9) << "lv2apply -i " << in << " -o " << out;
        for (int i = 0; i < 6; ++i) {
            command << " -c " << symbols[i] << " " << controls[static_cast<size_t>(i)];
        }
        command << " " << kUri << " 2>&1";
        int status = 0;
        const std::string log = RunTool(command.str(), &status);
        ASSERT_EQ(status, 0) << log;
        Stereo rendered;
        ASSERT_TRUE(ReadWav(out, rendered)) << log;
        ASSERT_EQ(rendered.left.size(), input.left.size());
        EXPECT_EQ(FirstDifference(rendered, ReferenceRender(controls, input)), -1) << "parameter set " << setIndex;
        ++setIndex;
    }
}

TEST(Lv2Tools, SharedObjectExportsOnlyTheEntryPoint)
{
    const std::string so = BundleFolder() + "/snarlbox.so";
    int status = 0;
    const std::string symbols = RunCommand("nm -D --defined-only " + so, &status);
    ASSERT_EQ(status, 0) << symbols;
    std::istringstream lines(symbols);
    std::vector<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) {
            names.push_back(line.substr(line.rfind(' ') + 1));
        }
    }
    EXPECT_EQ(names, std::vector<std::string>{"lv2_descriptor"}) << symbols;
}

TEST(Lv2Tools, SharedObjectLinksNoToolkit)
{
    const std::string so = BundleFolder() + "/snarlbox.so";
    int status = 0;
    const std::string libraries = RunCommand("ldd " + so, &status);
    ASSERT_EQ(status, 0) << libraries;
    // Only the C and C++ runtimes (and a sanitizer's, in such builds).
    const std::regex allowed(R"(^\s*(linux-vdso\.so\.1|/lib64/ld-linux-x86-64\.so\.2|)"
                             R"((libstdc\+\+|libm|libgcc_s|libc|libasan|libubsan|libtsan)\.so\.[0-9]+)\b.*)");
    std::istringstream lines(libraries);
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) {
            continue;
        }
        ++count;
        EXPECT_TRUE(std::regex_match(line, allowed)) << line;
    }
    EXPECT_GE(count, 3) << libraries;
}

TEST(Lv2Tools, InstallPutsTheBundleUnderLibLv2)
{
    REQUIRE_SERVICE(HaveProgram("lv2info"), "lv2info (lilv-utils) is not installed");
    ScratchFolder prefix("snarlbox-lv2");
    ASSERT_FALSE(prefix.path.empty());
    int status = 0;
    const std::string log = RunCommand(std::string("cmake --install '") + SNARLBOX_BUILD_DIR +
                                           "' --component lv2 --prefix " + prefix.path.string() + " 2>&1",
                                       &status);
    ASSERT_EQ(status, 0) << log;
    const fs::path bundle = prefix.path / "lib" / "lv2" / "snarlbox.lv2";
    for (const char* file : {"manifest.ttl", "snarlbox.ttl", "sounds.ttl", "snarlbox.so", "LICENSE"}) {
        EXPECT_TRUE(fs::is_regular_file(bundle / file)) << file;
    }
    // The installed copy loads on its own.
    const std::string installed = (prefix.path / "lib" / "lv2").string();
    const std::string info = RunTool("env LV2_PATH=" + installed + " lv2info " + kUri + " 2>&1", &status);
    EXPECT_EQ(status, 0) << info;
    EXPECT_NE(info.find("Binary:            file://" + (bundle / "snarlbox.so").string()), std::string::npos) << info;
}
