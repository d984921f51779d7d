// The program's --render against lv2apply running the plug-in on the same file.
#include "tests/lv2/Lv2TestSupport.h"
#include "tests/support/RequireService.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(Render, TheProgramRendersAsLv2ApplyDoesSampleForSample)
{
    REQUIRE_SERVICE(HaveProgram("lv2apply"), "lv2apply (lilv-utils) is not installed");
    char pattern[] = "/tmp/snarlbox-render-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    // Lengths around the 32-frame grid and lv2apply's and our own chunks.
    const size_t lengths[] = {1, 31, 4096 + 19, 44100};
    unsigned seed = 5;
    for (size_t frames : lengths) {
        const std::string in = (folder / "in.wav").string();
        const std::string ours = (folder / "ours.wav").string();
        const std::string theirs = (folder / "theirs.wav").string();
        ASSERT_TRUE(WriteWav(in, Noise(++seed, frames)));
        int status = 0;
        const std::string log = RunCommand(std::string(SNARLBOX_PROGRAM) + " --render " + in + " " + ours + " 2>&1", &status);
        ASSERT_EQ(status, 0) << log;
        const std::string toolLog = RunTool("lv2apply -i " + in + " -o " + theirs + " urn:brimvale:snarlbox 2>&1", &status);
        ASSERT_EQ(status, 0) << toolLog;
        Stereo a, b;
        ASSERT_TRUE(ReadWav(ours, a));
        ASSERT_TRUE(ReadWav(theirs, b));
        ASSERT_EQ(a.left.size(), frames);
        EXPECT_EQ(FirstDifference(a, b), -1) << frames << " frames";
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
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}
