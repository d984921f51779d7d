#pragma once

#include "standalone/AppSettings.h"
#include "standalone/IPreferencesHost.h"

#include <string>
#include <vector>

class IPreferencesView;

// The preferences dialog's logic: fills the controls from the settings and
// turns every control's notification into a settings change, a device action
// or the end of the dialog. Edits the current record at once; Cancel restores
// the backup taken when the dialog opened. UI thread only.
class PreferencesDialog {
public:
    // Control ids of the dialog.
    enum ControlId {
        kOk = 1,
        kCancel = 2,
        kDriverType = 40008,
        kAudioInputDevice = 40009,
        kAudioOutputDevice = 40010,
        kIoVectorSize = 40011,
        kSignalVectorSize = 40012,
        kSampleRate = 40013,
        kInputChannel1 = 40014,
        kInputChannel2 = 40015,
        kOutputChannel2 = 40016,
        kOutputChannel1 = 40017,
        kMidiInputDevice = 40018,
        kMidiOutputDevice = 40019,
        kMidiInputChannel = 40020,
        kMidiOutputChannel = 40021,
        kDriverConfig = 40022,
        kMonoInput = 40023,
        kApply = 40024,
        // Notes under the audio lists and under the MIDI lists: why a list
        // is empty or has nothing selected.
        kAudioNote = 40025,
        kMidiNote = 40026,
        // The program starts with the last sound instead of the defaults.
        kStartWithLastSound = 40027,
    };
    // What a control reports.
    enum Notification {
        kSelectionChanged,
        kClicked,
        kOtherNotification,
    };
    // Messages of the dialog procedure.
    enum Message {
        kInitialise,
        kCommand,
        kOtherMessage,
    };

    // UI thread only. The records are the host's current, backup and stream settings.
    PreferencesDialog(IPreferencesView& view, IPreferencesHost& host, AppSettings& current,
                      AppSettings& backup, const AppSettings& stream);

    // The dialog procedure: true for the initialise message and every command.
    // UI thread only.
    bool PreferencesProc(Message message, int controlId, Notification notification);

    // The fill operations, also usable on their own. UI thread only.
    void FillPreferences();
    void FillDeviceDependentControls();
    void FillAudioDeviceControls();
    void FillInputChannelLists(unsigned int inputChannels);
    void FillOutputChannelLists(unsigned int outputChannels);
    void FillSampleRates(const AudioDeviceInfo& input, const AudioDeviceInfo& output);
    bool FillMidiControls();
    // Says under the lists why a list is empty or without a selection (no
    // devices, no server, a rate or channels the device lacks, an IO vector
    // size below the signal vector size); clears the notes otherwise.
    // UI thread only.
    void ExplainBlankLists();

    // 0 while the dialog runs, else the result it ended with. UI thread only.
    int Result() const { return result; }

private:
    void Command(int controlId, Notification notification);
    void SelectByText(int id, const char* text);
    void FillChannelPair(int leftId, int rightId, unsigned int channels, int left, int right);
    void FillMidiList(int id, const std::vector<std::string>& names, char (&field)[kSettingsTextSize]);
    void StoreSelectedText(int id, char (&field)[kSettingsTextSize]);
    void VectorSizeChanged();
    void End(int dialogResult);

    IPreferencesView& view;
    IPreferencesHost& host;
    AppSettings& current;
    AppSettings& backup;
    const AppSettings& stream;
    int result = 0;
    int absentInputItem = -1;  // list position of a stored port shown as absent
    int absentOutputItem = -1;
    bool vectorSizeClash = false;  // the signal size was dropped for a smaller IO size
};
