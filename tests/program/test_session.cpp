// The program under a session manager: the tests' own NSM server, a private
// JACK server and the program's session folder.
#include "JackServer.h"
#include "NsmTestServer.h"
#include "ProgramSupport.h"
#include "tests/support/HandWrittenPreset.h"

namespace {

const char* kJackSettings = "[audio]\ndriver=1\nindev=system\noutdev=system\nsr=44100\niovs=512\nsigvs=32\n"
                            "in1=1\nin2=2\nout1=1\nout2=2\nmonoinput=0\n[midi]\nindev=off\noutdev=off\ninchan=0\noutchan=0\n\n"
                            "[sound]\nstartwithlast=0\n";

class SessionTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        REQUIRE_SERVICE(jack.Start(44100, 512), "jackd with the dummy driver could not be started");
        ASSERT_TRUE(nsm.Running());
    }
    // Starts the program under the session and answers its announce with an
    // open of folder as client id; the program's open reply.
    NsmTestServer::Message Join(Program& program, const fs::path& folder, const std::string& id)
    {
        const size_t before = nsm.Count();
        program.Start(-1, home / "stderr.txt");
        NsmTestServer::Message announce, reply;
        EXPECT_TRUE(nsm.WaitFor("/nsm/server/announce", announce, 10000, before));
        EXPECT_EQ(announce.strings, (std::vector<std::string>{"Snarlbox", ":optional-gui:", SNARLBOX_PROGRAM}));
        EXPECT_EQ(announce.ints.size(), 3u);
        nsm.AcceptAndOpen(folder.string(), id);
        EXPECT_TRUE(nsm.WaitFor("/reply", reply, 10000, before));
        return reply;
    }
    bool WindowShows() { return !WindowId().empty(); }

    JackServer jack;
    NsmTestServer nsm;
};

TEST_F(SessionTest, FreshFolderSavesTheSessionAndTheWindowShowsAndHidesOnRequest)
{
    const fs::path folder = home / "song" / "Snarlbox.nFRESH";
    // A new client starts from the user's own devices, and leaves their file alone.
    WriteSettings(kJackSettings);
    const auto written = fs::last_write_time(SettingsFile());
    Program program(home, {}, {"NSM_URL=" + nsm.Url(), TimedQuitSanitizerOptions()});
    const NsmTestServer::Message reply = Join(program, folder, "Snarlbox.nFRESH");
    ASSERT_EQ(reply.strings.at(0), "/nsm/client/open");
    NsmTestServer::Message message;
    ASSERT_TRUE(nsm.WaitFor("/nsm/client/gui_is_hidden", message)) << "a new session starts hidden";
    EXPECT_FALSE(WindowShows());

    // The JACK client goes by the client id.
    DcClient tester;
    tester.programClient = "^Snarlbox\\.nFRESH";
    ASSERT_TRUE(tester.Open(0.5f));
    ASSERT_TRUE(tester.Connect()) << "no JACK client named Snarlbox.nFRESH";
    ASSERT_TRUE(WaitFor([&] { return tester.Last(0) == 0.125f; }, 10000)) << tester.Last(0);

    size_t seen = nsm.Count();
    nsm.Show();
    ASSERT_TRUE(nsm.WaitFor("/nsm/client/gui_is_shown", message, 10000, seen));
    EXPECT_TRUE(WaitFor([&] { return WindowShows(); }, 5000));
    seen = nsm.Count();
    nsm.Hide();
    ASSERT_TRUE(nsm.WaitFor("/nsm/client/gui_is_hidden", message, 10000, seen));
    EXPECT_TRUE(WaitFor([&] { return !WindowShows(); }, 5000));

    // The same requests from another socket are not the server's: ignored.
    lo_address target = lo_address_new("127.0.0.1", nsm.ClientPort().c_str());
    lo_server stranger = lo_server_new(nullptr, nullptr);
    seen = nsm.Count();
    lo_send_from(target, stranger, LO_TT_IMMEDIATE, "/nsm/client/save", "");
    lo_send_from(target, stranger, LO_TT_IMMEDIATE, "/nsm/client/show_optional_gui", "");
    EXPECT_EQ(lo_server_recv_noblock(stranger, 1000), 0) << "the program answered a stranger";
    EXPECT_EQ(nsm.Count(), seen);
    EXPECT_FALSE(fs::exists(folder / "sound.lv2"));
    EXPECT_FALSE(WindowShows());
    lo_server_free(stranger);
    lo_address_free(target);

    seen = nsm.Count();
    nsm.Save();
    ASSERT_TRUE(nsm.WaitFor("/reply", message, 10000, seen));
    EXPECT_EQ(message.strings.at(0), "/nsm/client/save");
    for (const char* file : {"settings.ini", "sound.lv2", "session.ini"}) {
        EXPECT_TRUE(fs::exists(folder / file)) << file;
    }
    EXPECT_NE(ReadFile(folder / "settings.ini").find("driver=1\nindev=system\noutdev=system\n"), std::string::npos);
    EXPECT_EQ(ReadFile(SettingsFile()), kJackSettings);
    EXPECT_EQ(fs::last_write_time(SettingsFile()), written) << "the session wrote into the user's configuration";

    // Listening on loopback only.
    const std::string sockets = Shell("ss -lunH 'sport = :" + nsm.ClientPort() + "'");
    EXPECT_NE(sockets.find("127.0.0.1:" + nsm.ClientPort()), std::string::npos) << sockets;
    EXPECT_EQ(sockets.find("0.0.0.0:" + nsm.ClientPort()), std::string::npos) << sockets;

    const auto asked = std::chrono::steady_clock::now();
    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(5000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
}

TEST_F(SessionTest, ExistingFolderOpensWithItsKnobsAndSettingsAndReopensAsSaved)
{
    const fs::path folder = home / "song" / "Snarlbox.nKEPT";
    fs::create_directories(folder);
    std::ofstream(folder / "settings.ini") << kJackSettings;
    WriteHandWrittenPreset(folder / "sound.lv2", "[ lv2:symbol \"gain\" ; pset:value 0.5 ]");
    std::ofstream(folder / "session.ini") << "[window]\nshown=true\n";
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "as written" : "as saved");
        Program program(home, {}, {"NSM_URL=" + nsm.Url()});
        const size_t before = nsm.Count();
        ASSERT_EQ(Join(program, folder, "Snarlbox.nKEPT").strings.at(0), "/nsm/client/open");
        NsmTestServer::Message message;
        ASSERT_TRUE(nsm.WaitFor("/nsm/client/gui_is_shown", message, 10000, before)) << "saved with its window shown";
        EXPECT_TRUE(WaitFor([&] { return WindowShows(); }, 5000));

        DcClient tester;
        tester.programClient = "^Snarlbox\\.nKEPT";
        ASSERT_TRUE(tester.Open(0.5f));
        ASSERT_TRUE(tester.Connect());
        // Gain 0.5 of the kept knobs: 0.5 x 0.5 x the program's 0.25.
        ASSERT_TRUE(WaitFor([&] { return tester.Last(0) == 0.0625f; }, 10000)) << tester.Last(0);

        const size_t seen = nsm.Count();
        nsm.Save();
        ASSERT_TRUE(nsm.WaitFor("/reply", message, 10000, seen));
        EXPECT_EQ(message.strings.at(0), "/nsm/client/save");
        EXPECT_EQ(ReadFile(folder / "settings.ini"), kJackSettings);
        program.Signal(SIGTERM);
        EXPECT_EQ(program.Wait(5000), 0);
    }
}

TEST_F(SessionTest, RefusedAnnounceRunsWithoutASession)
{
    Program program(home, {"--no-gui"}, {"NSM_URL=" + nsm.Url()});
    program.Start(-1, home / "stderr.txt");
    NsmTestServer::Message announce;
    ASSERT_TRUE(nsm.WaitFor("/nsm/server/announce", announce));
    EXPECT_EQ(announce.strings.at(1), ":") << "no window to offer under --no-gui";
    nsm.Refuse();
    ASSERT_TRUE(WaitFor([&] { return fs::exists(home / "config" / "Snarlbox" / "settings.ini"); }, 10000));
    EXPECT_NE(ReadFile(home / "stderr.txt").find("refused"), std::string::npos);
    program.Signal(SIGINT);
    EXPECT_EQ(program.Wait(5000), 0);
}

} // namespace
