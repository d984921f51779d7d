// The program's --render against lv2apply running the plug-in on the same file.
#include "tests/support/ScratchFolder.h"
#include "tests/lv2/Lv2TestSupport.h"
#include "tests/support/HandWrittenPreset.h"
#include "tests/support/RequireService.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iomanip>
#include <sstream>

namespace fs = std::filesystem;

TEST(Render, TheProgramRendersAsLv2ApplyDoesSampleForSample)
{
    REQUIRE_SERVICE(HaveProgram("lv2apply"), "lv2apply (lilv-utils) is not installed");
    const ScratchFolder scratch("snarlbox-render");
    ASSERT_FALSE(scratch.path.empty());
    const fs::path& folder = scratch.path;
    // Lengths around the 32-frame grid and lv2apply's and our own chunks,
    // each with a sound: none, and preset bundles written by hand.
    const size_t lengths[] = {1, 31, 4096 + 19, 44100};
    const Controls sounds[] = {kEveryStage, {327.68f, 15.0f, 1.0f, 1.0f, 1.0f, 1.0f}, {40.0f, 2.0f, 0.25f, 0.5f, 0.0f, 1.0f}};
    const char* symbols[6] = {"coarse", "fine", "wet", "gain", "even", "odd"};
    unsigned seed = 5;
    for (size_t frames : lengths) {
        for (int sound = -1; sound < 3; ++sound) {
            const std::string in = (folder / "in.wav").string();
            const std::string ours = (folder / "ours.wav").string();
            const std::string theirs = (folder / "theirs.wav").string();
            ASSERT_TRUE(WriteWav(in, Noise(++seed, frames)));
            std::ostringstream values, ports;
            values << std::setprecision(9);
            ports << std::setprecision(9);
            std::string soundOption;
            if (sound >= 0) {
                const fs::path bundle = folder / ("Sound" + std::to_string(sound) + ".lv2");
                for (int i = 0; i < 6; ++i) {
                    const float value = sounds[sound][static_cast<size_t>(i)];
                    values << " -c " << symbols[i] << " " << value;
                    ports << (i > 0 ? " , " : "") << "[ lv2:symbol \"" << symbols[i] << "\" ; pset:value " << value << " ]";
                }
                WriteHandWrittenPreset(bundle, ports.str());
                soundOption = " --sound=" + bundle.string();
            }
            int status = 0;
            const std::string log = RunCommand(std::string(SNARLBOX_PROGRAM) + " --render" + soundOption + " " + in +
                                                   " " + ours + " 2>&1",
                                               &status);
            ASSERT_EQ(status, 0) << log;
            const std::string toolLog =
                RunTool("lv2apply -i " + in + " -o " + theirs + values.str() + " urn:brimvale:snarlbox 2>&1", &status);
            ASSERT_EQ(status, 0) << toolLog;
            Stereo a, b;
            ASSERT_TRUE(ReadWav(ours, a));
            ASSERT_TRUE(ReadWav(theirs, b));
            ASSERT_EQ(a.left.size(), frames);
            EXPECT_EQ(FirstDifference(a, b), -1) << frames << " frames, sound " << sound;
        }
    }
    // A failed render leaves what was at the output path.
    std::ofstream(folder / "kept.wav") << "kept";
    int status = 0;
    RunCommand(std::string(SNARLBOX_PROGRAM) + " --render " + (folder / "missing.wav").string() + " " +
                   (folder / "kept.wav").string() + " 2>&1",
               &status);
    EXPECT_EQ(status, 1);
    std::ifstream kept(folder / "kept.wav");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
}
