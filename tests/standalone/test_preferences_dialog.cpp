#include "FakePreferences.h"

#include "standalone/PreferencesDialog.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Strings = std::vector<std::string>;
using P = PreferencesDialog;

class PreferencesTest : public ::testing::Test {
protected:
    PreferencesTest() : dialog(view, host, current, backup, stream)
    {
        DefaultSettings(current);
        SetSettingsText(current.audioInputDevice, "default");
        SetSettingsText(current.audioOutputDevice, "default");
        SetSettingsText(current.sampleRate, "48000");
        SetSettingsText(current.ioVectorSize, "512");
        SetSettingsText(current.signalVectorSize, "32");
        SetSettingsText(current.midiInputDevice, "off");
        SetSettingsText(current.midiOutputDevice, "off");
        current.driverType = 0;
        current.inputChannel1 = 1;
        current.inputChannel2 = 2;
        current.outputChannel1 = 1;
        current.outputChannel2 = 2;
        stream = current;
        host.driverType = &current.driverType;
        host.current = &current;
        host.stream = &stream;
        host.devices[0] = {{"default", {2, 2, {44100, 48000}}}, {"hw:1", {4, 6, {96000, 48000}}}};
        host.devices[1] = {{"system", {8, 8, {48000}}}};
    }

    void Open() { dialog.PreferencesProc(P::kInitialise, 0, P::kOtherNotification); }
    void Choose(int id, int index)
    {
        view.SelectItem(id, index);
        dialog.PreferencesProc(P::kCommand, id, P::kSelectionChanged);
    }
    void Click(int id) { dialog.PreferencesProc(P::kCommand, id, P::kClicked); }

    FakePreferencesView view;
    FakePreferencesHost host;
    AppSettings current;
    AppSettings backup;
    AppSettings stream;
    PreferencesDialog dialog;
};

TEST_F(PreferencesTest, FillsEveryListFromTheSettings)
{
    Open();
    EXPECT_EQ(view.Items(P::kDriverType), (Strings{"ALSA", "JACK"}));
    EXPECT_EQ(view.SelectedItem(P::kDriverType), 0);
    EXPECT_EQ(view.Items(P::kAudioInputDevice), (Strings{"default", "hw:1"}));
    EXPECT_EQ(view.Selected(P::kAudioOutputDevice), "default");
    // 2 input channels: "1" on the left, "1", "2" on the right.
    EXPECT_EQ(view.Items(P::kInputChannel1), (Strings{"1"}));
    EXPECT_EQ(view.Items(P::kInputChannel2), (Strings{"1", "2"}));
    EXPECT_EQ(view.SelectedItem(P::kInputChannel2), 1);
    EXPECT_EQ(view.Items(P::kSampleRate), (Strings{"44100", "48000"}));
    EXPECT_EQ(view.Selected(P::kSampleRate), "48000");
    EXPECT_EQ(view.Selected(P::kIoVectorSize), "512");
    EXPECT_EQ(view.Selected(P::kSignalVectorSize), "32");
    EXPECT_EQ(view.ItemCount(P::kMidiInputChannel), 17);
    EXPECT_EQ(view.ItemText(P::kMidiOutputChannel, 0), "all");
    EXPECT_EQ(view.ItemText(P::kMidiOutputChannel, 16), "16");
    EXPECT_TRUE(view.controls[P::kAudioInputDevice].enabled);
    EXPECT_FALSE(view.controls[P::kDriverConfig].enabled);
    EXPECT_TRUE(SettingsEqual(backup, current));
    EXPECT_EQ(host.writeCount, 0);
}

TEST_F(PreferencesTest, RightChannelFollowsTheLeftOne)
{
    Open();
    Choose(P::kInputChannel1, 0);
    EXPECT_EQ(view.Selected(P::kInputChannel2), "2");
    Choose(P::kInputChannel2, 0);
    EXPECT_EQ(view.Selected(P::kInputChannel2), "2");
    EXPECT_EQ(current.inputChannel2, 2);

    Choose(P::kAudioOutputDevice, 1); // hw:1, 6 outputs
    EXPECT_EQ(view.ItemCount(P::kOutputChannel1), 5);
    EXPECT_EQ(view.ItemCount(P::kOutputChannel2), 6);
    Choose(P::kOutputChannel1, 4);
    EXPECT_EQ(current.outputChannel1, 5);
    EXPECT_EQ(current.outputChannel2, 6);
    EXPECT_EQ(view.Selected(P::kOutputChannel2), "6");
}

TEST_F(PreferencesTest, SignalVectorLargerThanIoVectorFallsBackToTheFirstSize)
{
    Open();
    Choose(P::kSignalVectorSize, 3); // "128"
    Choose(P::kIoVectorSize, 1);     // "64"
    EXPECT_STREQ(current.ioVectorSize, "64");
    EXPECT_STREQ(current.signalVectorSize, "16");
    EXPECT_EQ(view.SelectedItem(P::kSignalVectorSize), -1);
    // With the signal list unselected the stored "16" stands for it.
    Choose(P::kIoVectorSize, 0); // "32"
    EXPECT_STREQ(current.ioVectorSize, "32");
    EXPECT_STREQ(current.signalVectorSize, "16");
}

TEST_F(PreferencesTest, StoredTextsOutsideTheListsLeaveThemUnselected)
{
    SetSettingsText(current.ioVectorSize, "100");
    current.driverType = 7;
    Open();
    EXPECT_EQ(view.SelectedItem(P::kIoVectorSize), -1);
    EXPECT_EQ(view.SelectedItem(P::kDriverType), -1);
    Choose(P::kSignalVectorSize, 1); // "32" against the stored "100"
    EXPECT_STREQ(current.ioVectorSize, "100");
    EXPECT_STREQ(current.signalVectorSize, "32");
}

TEST_F(PreferencesTest, DriverSwitchRefillsAndJackMirrorsTheOutputDevice)
{
    Open();
    EXPECT_EQ(host.probeCount, 1); // the lists are probed afresh at every opening
    Choose(P::kDriverType, 1);
    EXPECT_EQ(current.driverType, 1);
    EXPECT_EQ(host.createCount, 1);
    EXPECT_EQ(host.probeCount, 2);
    EXPECT_STREQ(current.audioInputDevice, "system");
    EXPECT_STREQ(current.audioOutputDevice, "system");
    EXPECT_FALSE(view.controls[P::kAudioInputDevice].enabled);
    // JACK has no control panel: "JACK Config..." stays disabled.
    EXPECT_FALSE(view.controls[P::kDriverConfig].enabled);
    EXPECT_EQ(view.Selected(P::kAudioInputDevice), "system");
    Click(P::kDriverConfig); // no control panel under JACK
    EXPECT_EQ(host.startCount, 0);

    Choose(P::kDriverType, 0);
    EXPECT_TRUE(view.controls[P::kAudioInputDevice].enabled);
    EXPECT_FALSE(view.controls[P::kDriverConfig].enabled);
    EXPECT_EQ(view.ItemCount(P::kIoVectorSize), 9);
    EXPECT_EQ(view.ItemCount(P::kSignalVectorSize), 7);
    EXPECT_EQ(view.ItemCount(P::kDriverType), 2);
    // The same selection again changes nothing.
    Choose(P::kDriverType, 0);
    EXPECT_EQ(host.createCount, 2);
}

// Under JACK the lists show what the server runs at, whatever the file holds;
// under ALSA the stored values stay.
TEST_F(PreferencesTest, JackListsShowTheServersRateAndBufferSize)
{
    struct Case {
        uint16_t driver;
        uint32_t serverFrames;
        const char* rate;
        const char* frames;
    };
    const Case cases[] = {
        {1, 128, "48000", "128"}, // the file holds 44100 and 512
        {1, 0, "48000", "512"},   // a size the listing did not learn stays
        {0, 128, "44100", "512"}, // ALSA: the file's values
    };
    for (const Case& c : cases) {
        SetSettingsText(current.sampleRate, "44100");
        SetSettingsText(current.ioVectorSize, "512");
        current.driverType = c.driver;
        SetSettingsText(current.audioOutputDevice, c.driver == 1 ? "system" : "default");
        host.serverFrames = c.serverFrames;
        Open();
        EXPECT_EQ(view.Selected(P::kSampleRate), c.rate) << c.driver << "/" << c.serverFrames;
        EXPECT_EQ(view.Selected(P::kIoVectorSize), c.frames) << c.driver << "/" << c.serverFrames;
    }
}

TEST_F(PreferencesTest, EmptyDeviceListsAndDisjointRatesAreSafe)
{
    host.devices[1].clear();
    Open();
    Choose(P::kDriverType, 1);
    EXPECT_STREQ(current.audioInputDevice, "");
    EXPECT_EQ(view.ItemCount(P::kAudioOutputDevice), 0);
    EXPECT_EQ(view.SelectedItem(P::kAudioOutputDevice), -1);
    EXPECT_EQ(view.ItemCount(P::kInputChannel2), 0);
    EXPECT_EQ(view.ItemCount(P::kSampleRate), 0);
    Choose(P::kAudioOutputDevice, 0); // nothing to choose
    Choose(P::kInputChannel1, 0);
    EXPECT_EQ(current.inputChannel1, 1);

    host.devices[0] = {{"a", {2, 0, {44100}}}, {"b", {0, 2, {48000}}}};
    Choose(P::kDriverType, 0);
    EXPECT_EQ(view.ItemCount(P::kSampleRate), 0);
    EXPECT_EQ(view.SelectedItem(P::kSampleRate), -1);
}

// Every empty or unselected list is explained under the lists, and the
// note goes once the list is filled or chosen from.
TEST_F(PreferencesTest, BlankListsSayWhy)
{
    auto audioNote = [&] { return view.controls[P::kAudioNote].text; };
    Open();
    EXPECT_EQ(audioNote(), "");
    EXPECT_EQ(view.controls[P::kMidiNote].text, "");

    // A rate the device does not offer.
    SetSettingsText(current.sampleRate, "22050");
    dialog.FillAudioDeviceControls();
    dialog.ExplainBlankLists();
    EXPECT_EQ(audioNote(), "22050 Hz is not offered by this device");
    Choose(P::kSampleRate, 0);
    EXPECT_EQ(audioNote(), "");

    // An IO vector size below the signal vector size, until a signal size is chosen.
    Choose(P::kSignalVectorSize, 3); // "128"
    Choose(P::kIoVectorSize, 1);     // "64"
    EXPECT_EQ(audioNote(), "IO vector size is smaller than the signal vector size");
    Choose(P::kSignalVectorSize, 0);
    EXPECT_EQ(audioNote(), "");

    // Different devices that share no rate; a stored device that is gone.
    host.devices[0] = {{"a", {2, 0, {44100}}}, {"b", {0, 2, {48000}}}};
    SetSettingsText(current.audioInputDevice, "a");
    SetSettingsText(current.audioOutputDevice, "USB Box");
    dialog.FillAudioDeviceControls();
    dialog.ExplainBlankLists();
    EXPECT_EQ(audioNote(), "no output device named \"USB Box\"; choose one\n"
                           "44100 Hz is not offered by these devices");

    // A mono device and a stored pair beyond the device's channels.
    host.devices[0] = {{"mono", {1, 4, {44100}}}};
    SetSettingsText(current.audioInputDevice, "mono");
    SetSettingsText(current.audioOutputDevice, "mono");
    current.outputChannel1 = 5;
    current.outputChannel2 = 6;
    dialog.FillAudioDeviceControls();
    dialog.ExplainBlankLists();
    EXPECT_EQ(audioNote(), "the input device has 1 input channel; Snarlbox needs 2\n"
                           "output channels 5/6 are not on this device");

    // No devices at all: one reason, whatever else is empty.
    host.devices[0].clear();
    dialog.FillAudioDeviceControls();
    dialog.ExplainBlankLists();
    EXPECT_EQ(audioNote(), "no audio devices found");

    // JACK lists are empty when its server is away.
    host.devices[1].clear();
    host.jackServer = false;
    Choose(P::kDriverType, 1);
    EXPECT_EQ(audioNote(), "JACK server is not running");
    host.jackServer = true;
    Choose(P::kDriverType, 0);
    Choose(P::kDriverType, 1);
    EXPECT_EQ(audioNote(), "no audio devices found");

    // MIDI without its objects, on JACK with the server away or with no back end.
    host.midiObjects = false;
    host.midiServerAway = true;
    Open();
    EXPECT_EQ(view.controls[P::kMidiNote].text, "JACK server is not running");
    host.midiServerAway = false;
    Open();
    EXPECT_EQ(view.controls[P::kMidiNote].text, "MIDI is not available");
}

TEST_F(PreferencesTest, OkRestartsOnlyOnChangeAndEndsWithOne)
{
    host.running = true; // started at start-up with these settings
    Open();
    Click(P::kOk);
    EXPECT_EQ(host.startCount, 0);
    EXPECT_EQ(view.endResult, 1);
    EXPECT_EQ(dialog.Result(), 1);

    PreferencesDialog again(view, host, current, backup, stream);
    again.PreferencesProc(P::kInitialise, 0, P::kOtherNotification);
    view.SelectItem(P::kSampleRate, 0);
    Choose(P::kSampleRate, 0);
    Choose(P::kAudioInputDevice, 1);
    EXPECT_STREQ(current.audioInputDevice, "hw:1");
    EXPECT_EQ(view.Items(P::kSampleRate), (Strings{"48000"}));
    Click(P::kApply);
    EXPECT_EQ(host.startCount, 1);
    // Apply started the stream with these settings: OK has nothing to restart.
    again.PreferencesProc(P::kCommand, P::kOk, P::kClicked);
    EXPECT_EQ(host.startCount, 1);
}

TEST_F(PreferencesTest, OkStartsAStreamThatIsNotRunningEvenWithoutAChange)
{
    host.running = false; // lost, or never started
    Open();
    Click(P::kOk);
    EXPECT_EQ(host.startCount, 1);
    EXPECT_EQ(view.endResult, 1);
}

TEST_F(PreferencesTest, EveryOpeningListsDevicesAndPortsAfresh)
{
    Open();
    EXPECT_EQ(host.probeCount, 1);
    EXPECT_EQ(host.listCount, 1);
    host.midiIn.push_back("Port New");
    PreferencesDialog again(view, host, current, backup, stream);
    again.PreferencesProc(P::kInitialise, 0, P::kOtherNotification);
    EXPECT_EQ(host.probeCount, 2);
    EXPECT_EQ(host.listCount, 2);
    EXPECT_EQ(view.Items(P::kMidiInputDevice), (Strings{"off", "Port A", "Port New"}));
}

TEST_F(PreferencesTest, CancelRestoresAndRestartsOnlyAfterAChange)
{
    Open();
    Click(P::kCancel);
    EXPECT_EQ(view.endResult, 2);
    EXPECT_EQ(host.startCount, 0);

    PreferencesDialog again(view, host, current, backup, stream);
    again.PreferencesProc(P::kInitialise, 0, P::kOtherNotification);
    again.PreferencesProc(P::kCommand, P::kMidiInputChannel, P::kSelectionChanged);
    view.SelectItem(P::kMidiInputChannel, 5);
    again.PreferencesProc(P::kCommand, P::kMidiInputChannel, P::kSelectionChanged);
    EXPECT_EQ(current.midiInputChannel, 5);
    again.PreferencesProc(P::kCommand, P::kCancel, P::kClicked);
    EXPECT_EQ(current.midiInputChannel, 0);
    EXPECT_EQ(host.createCount, 1);
    EXPECT_EQ(host.probeCount, 3); // two openings and the restart
    EXPECT_EQ(host.startCount, 1);
    EXPECT_EQ(host.writeCount, 0);
}

TEST_F(PreferencesTest, MidiPortsOpenAtOnceAndAbsentNamesStayChosen)
{
    SetSettingsText(current.midiInputDevice, "Gone");
    Open();
    // The stored name is kept and shown as absent; nothing is written.
    EXPECT_STREQ(current.midiInputDevice, "Gone");
    EXPECT_EQ(host.writeCount, 0);
    EXPECT_EQ(view.Items(P::kMidiInputDevice), (Strings{"off", "Port A", "Gone (absent)"}));
    EXPECT_EQ(view.SelectedItem(P::kMidiInputDevice), 2);
    Choose(P::kMidiInputDevice, 2); // picking it again keeps the name itself
    EXPECT_STREQ(current.midiInputDevice, "Gone");
    EXPECT_EQ(host.openedInputs, (Strings{"Gone"}));
    Choose(P::kMidiInputDevice, 1);
    EXPECT_STREQ(current.midiInputDevice, "Port A");
    Choose(P::kMidiOutputDevice, 1);
    EXPECT_STREQ(current.midiOutputDevice, "Port B");
    EXPECT_EQ(host.openedOutputs, (Strings{"Port B"}));
    EXPECT_EQ(host.writeCount, 0);

    view.SetChecked(P::kMonoInput, true);
    Click(P::kMonoInput);
    EXPECT_EQ(current.monoInput, 1);
}

TEST_F(PreferencesTest, NoMidiObjectsLeavesTheMidiListsEmpty)
{
    host.midiObjects = false;
    Open();
    EXPECT_FALSE(dialog.FillMidiControls());
    EXPECT_EQ(view.ItemCount(P::kMidiInputDevice), 0);
    EXPECT_EQ(view.ItemCount(P::kMidiInputChannel), 0);
    EXPECT_EQ(dialog.PreferencesProc(P::kOtherMessage, 0, P::kOtherNotification), false);
}

} // namespace

TEST_F(PreferencesTest, StartWithTheLastSoundIsOffUntilTickedAndNeedsNoRestart)
{
    host.running = true;
    Open();
    EXPECT_FALSE(view.IsChecked(P::kStartWithLastSound));
    view.SetChecked(P::kStartWithLastSound, true);
    Click(P::kStartWithLastSound);
    EXPECT_EQ(current.startWithLastSound, 1);
    Click(P::kCancel); // Cancel takes the tick back, without touching audio
    EXPECT_EQ(current.startWithLastSound, 0);
    EXPECT_EQ(host.startCount, 0);

    PreferencesDialog again(view, host, current, backup, stream);
    again.PreferencesProc(P::kInitialise, 0, P::kOtherNotification);
    view.SetChecked(P::kStartWithLastSound, true);
    again.PreferencesProc(P::kCommand, P::kStartWithLastSound, P::kClicked);
    again.PreferencesProc(P::kCommand, P::kOk, P::kClicked);
    EXPECT_EQ(current.startWithLastSound, 1);
    EXPECT_EQ(host.startCount, 0);
    EXPECT_EQ(view.endResult, 1);
}
