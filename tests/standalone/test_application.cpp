#include "platform/DebugTrace.h"
#include "standalone/Application.h"
#include "standalone/CenterMainWindow.h"
#include "standalone/IHostServices.h"
#include "standalone/IMainWindowActions.h"
#include "standalone/MainWindowProc.h"
#include "standalone/SingleInstanceLock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

// Records every step; can refuse the lock, the settings folder, or throw at a step.
class RecordingServices : public IHostServices {
public:
    Calls calls;
    bool lockFree = true;
    bool settingsFolder = true;
    bool display = true;
    std::string throwAt;

    void Step(const char* name)
    {
        calls.push_back(name);
        if (throwAt == name) {
            throw 42;
        }
    }
    bool AcquireSingleInstance() override { return Step("lock"), lockFree; }
    void RaiseFirstInstance() override { Step("raise"); }
    bool InitialiseToolkit() override { return Step("toolkit"), display; }
    void CreateSettings() override { Step("settings"); }
    bool PrepareSettingsFile() override { return Step("path"), settingsFolder; }
    void WriteSettings() override { Step("write"); }
    void CreateAudioApi() override { Step("audioApi"); }
    void ProbeAudioDevices() override { Step("probe"); }
    void CreateMidiPorts() override { Step("midi"); }
    void ListMidiPorts() override { Step("listMidi"); }
    bool pluginMade = true;
    bool CreatePlugin() override { return Step("plugin"), pluginMade; }
    void LoadPresetSlot(int index) override { Step(index == 0 ? "preset0" : "preset?"); }
    void OpenMidiInputByName() override { Step("midiIn"); }
    void OpenMidiOutputByName() override { Step("midiOut"); }
    bool StartAudioFromSettings() override { return Step("start"), false; }
    void CreateMainWindow() override { Step("window"); }
    void RunMessageLoop() override { Step("loop"); }
    void DestroyMainWindow() override { Step("destroy"); }
    void StopAudioStream() override { Step("stop"); }
    void CloseMidiPorts() override { Step("closeMidi"); }
    void CloseAudioStream() override { Step("closeStream"); }
    void DestroyPlugin() override { Step("deletePlugin"); }
    void FreeSettings() override { Step("freeSettings"); }
    void DeleteMidiObjects() override { Step("deleteMidi"); }
    void DeleteAudioApi() override { Step("deleteAudio"); }
    void FreeSettingsPath() override { Step("freePath"); }
    void ReleaseSingleInstance() override { Step("unlock"); }
};

TEST(ApplicationOrder, StartUpAndShutdownRunInTheirFixedOrder)
{
    RecordingServices services;
    EXPECT_EQ(Application(services).Run(), 0);
    // A stream that does not start changes nothing: the program runs silent.
    EXPECT_EQ(services.calls,
              (Calls{"lock", "toolkit", "settings", "path", "write", "audioApi", "probe", "midi", "listMidi", "plugin",
                     "preset0", "midiIn", "midiOut", "start", "window", "loop", "destroy", "stop", "closeMidi",
                     "closeStream", "deletePlugin", "freeSettings", "deleteMidi", "deleteAudio", "freePath",
                     "unlock"}));
}

TEST(ApplicationOrder, SecondInstanceRaisesTheFirstAndTouchesNothing)
{
    RecordingServices services;
    services.lockFree = false;
    EXPECT_EQ(Application(services).Run(), 0);
    EXPECT_EQ(services.calls, (Calls{"lock", "raise"}));
}

TEST(ApplicationOrder, MissingConfigurationFolderOrDisplayExitsWithOne)
{
    RecordingServices headless;
    headless.display = false;
    EXPECT_EQ(Application(headless).Run(), 1);
    EXPECT_EQ(headless.calls, (Calls{"lock", "toolkit", "unlock"}));

    RecordingServices services;
    services.settingsFolder = false;
    EXPECT_EQ(Application(services).Run(), 1);
    EXPECT_EQ(services.calls, (Calls{"lock", "toolkit", "settings", "path", "unlock"}));
}

std::string lastTrace;
void KeepTrace(const char* line)
{
    lastTrace = line;
}

TEST(ApplicationOrder, EscapingErrorIsTracedAndSkipsTheRest)
{
    RecordingServices services;
    services.throwAt = "plugin";
    SetDebugTraceHook(KeepTrace);
    EXPECT_EQ(Application(services).Run(), 0);
    SetDebugTraceHook(nullptr);
    // Audio and MIDI stop before the report; the plug-in goes with the services afterwards.
    EXPECT_EQ(services.calls, (Calls{"lock", "toolkit", "settings", "path", "write", "audioApi", "probe", "midi",
                                     "listMidi", "plugin", "stop", "closeMidi"}));
    EXPECT_NE(lastTrace.find("another instance running"), std::string::npos);

    RecordingServices inLoop;
    inLoop.throwAt = "loop";
    EXPECT_EQ(Application(inLoop).Run(), 0);
    const Calls tail(inLoop.calls.end() - 3, inLoop.calls.end());
    EXPECT_EQ(tail, (Calls{"loop", "stop", "closeMidi"}));
}

TEST(ApplicationOrder, NoMemoryForThePluginShutsDownAndExitsWithOne)
{
    RecordingServices services;
    services.pluginMade = false;
    EXPECT_EQ(Application(services).Run(), 1);
    EXPECT_EQ(services.calls,
              (Calls{"lock", "toolkit", "settings", "path", "write", "audioApi", "probe", "midi", "listMidi", "plugin",
                     "stop", "closeMidi", "closeStream", "deletePlugin", "freeSettings", "deleteMidi", "deleteAudio",
                     "freePath", "unlock"}));
}

TEST(CenterMainWindow, PutsTheEditorAreaAroundTheScreenCentre)
{
    // The program's call: the window manager's frame lies outside the GTK
    // window, whose client area is the editor's (the window test checks the
    // placement on a real display).
    const MainWindowPlacement p = CenterMainWindow(1920, 1080, 655, 175, 655, 175);
    EXPECT_EQ(p.left, 960 - 327);
    EXPECT_EQ(p.top, 540 - 87);
    EXPECT_EQ(p.width, 655);
    EXPECT_EQ(p.height, 175);
    const MainWindowPlacement odd = CenterMainWindow(1025, 769, 655, 175, 655, 175);
    EXPECT_EQ(odd.left, 512 - 327);
    EXPECT_EQ(odd.top, 384 - 87);
}

class RecordingWindow : public IMainWindowActions {
public:
    Calls calls;
    bool editor = true;
    bool ownAbout = false;
    int preferencesResult = 1;
    std::string text;
    std::string caption;

    bool OpenEditorWindow() override { return calls.push_back("open"), editor; }
    void EditorWindowOpened() override { calls.push_back("opened"); }
    bool ShowOwnAboutBox() override { return calls.push_back("ownAbout"), ownAbout; }
    void ShowMessageBox(const char* t, const char* c) override
    {
        calls.push_back("box");
        text = t;
        caption = c;
    }
    int RunPreferences() override { return calls.push_back("prefs"), preferencesResult; }
    void WriteSettings() override { calls.push_back("write"); }
    void CenterAndShow() override { calls.push_back("show"); }
    void DestroyMainWindow() override { calls.push_back("destroy"); }
};

TEST(MainWindowProc, MenuCommandsAndCloseBox)
{
    RecordingWindow window;
    MainWindowCommandChosen(kCommandAbout, window);
    EXPECT_EQ(window.text, "Brimvale LLC\nBuilt on Jul 24 2015");
    EXPECT_EQ(window.caption, "Snarlbox");
    MainWindowCommandChosen(kCommandPreferences, window);
    window.preferencesResult = 2;
    MainWindowCommandChosen(kCommandPreferences, window);
    MainWindowCommandChosen(12345, window);
    MainWindowCommandChosen(kCommandQuit, window);
    MainWindowCloseRequested(window);
    EXPECT_EQ(window.calls, (Calls{"ownAbout", "box", "prefs", "write", "prefs", "destroy", "destroy"}));

    RecordingWindow own;
    own.ownAbout = true;
    MainWindowCommandChosen(kCommandAbout, own);
    EXPECT_EQ(own.calls, (Calls{"ownAbout"}));
}

TEST(MainWindowProc, MissingEditorSaysSoAndStillShowsTheWindow)
{
    RecordingWindow window;
    window.editor = false;
    testing::internal::CaptureStdout();
    MainWindowInitialised(window);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "couldn't attach gui\n");
    EXPECT_EQ(window.calls, (Calls{"open", "show"}));

    RecordingWindow withEditor;
    MainWindowInitialised(withEditor);
    EXPECT_EQ(withEditor.calls, (Calls{"open", "opened", "show"}));
}

TEST(SingleInstanceLock, SecondHolderIsRefusedUntilTheFirstReleases)
{
    char folder[] = "/tmp/snarlbox-lock-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    {
        SingleInstanceLock first;
        SingleInstanceLock second;
        EXPECT_TRUE(first.Acquire(folder));
        EXPECT_FALSE(second.Acquire(folder));
        struct stat info {};
        ASSERT_EQ(stat(first.Path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        first.Release();
        EXPECT_TRUE(second.Acquire(folder));
    }
    SingleInstanceLock again;
    EXPECT_TRUE(again.Acquire(folder));
    again.Release();
    unlink((std::string(folder) + "/Snarlbox.lock").c_str());
    rmdir(folder);
}

} // namespace
