// The plug-in in a real host: jalv on a private JACK server.

#include "tests/lv2/JalvSupport.h"
#include "tests/standalone/JackServer.h"
#include "tests/support/RequireService.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

TEST(Lv2Jalv, AudioPassesThroughThePluginOnJack)
{
    REQUIRE_SERVICE(HaveProgram("jalv"), "jalv is not installed");
    JackServer server;
    REQUIRE_SERVICE(server.Start(44100, static_cast<int>(kPeriod)), "jackd with the dummy driver could not be started");
    LevelProbe probe;
    ASSERT_TRUE(probe.Open(0.5f, -0.25f));

    const std::string name = "snarlbox-lv2-" + std::to_string(getpid());
    const std::string log = "/tmp/" + name + ".log";
    Jalv jalv;
    ASSERT_TRUE(jalv.Start(name, "-c gain=0.5 -c fine=2", log));
    ASSERT_TRUE(WaitFor([&] { return probe.Connect(name) || !jalv.Running(); }, 15000) && jalv.Running())
        << "jalv's ports never appeared:\n" << ReadText(log);

    // JACK's cycles of 256 frames start on the 32-frame grid: every cycle
    // shows the frame pattern of Fine 2 from its first frame on.
    const Controls controls = {1.0f, 2.0f, 1.0f, 0.5f, 0.0f, 0.0f};
    const Stereo constant{std::vector<float>(kPeriod, 0.5f), std::vector<float>(kPeriod, -0.25f)};
    const Stereo expected = ReferenceRender(controls, constant);
    bool matched = false;
    for (int attempt = 0; attempt < 100 && !matched; ++attempt) {
        ASSERT_TRUE(probe.KeepNextCycle());
        matched = probe.kept[0] == expected.left && probe.kept[1] == expected.right;
    }
    EXPECT_TRUE(matched) << "last cycle back: " << probe.kept[0][0] << " " << probe.kept[0][1] << " / "
                         << probe.kept[1][0] << " " << probe.kept[1][1] << "\n" << ReadText(log);
    EXPECT_NE(expected.left[0], expected.left[1]); // the pattern is there to be seen
    EXPECT_TRUE(jalv.Quit()) << ReadText(log);
    std::remove(log.c_str());
}
