#pragma once

#include "standalone/IHostServices.h"
#include "standalone/INsmHandler.h"
#include "standalone/NsmClient.h"
#include "standalone/RunOptions.h"
#include "standalone/SingleInstanceLock.h"
#include "standalone/StatusLine.h"

#include <memory>
#include <string>

typedef struct _GMainLoop GMainLoop;
class IAudioPlugin;
class MainWindowGtk;
class SoundMenuGtk;

// The program's start-up and shutdown steps over the real layers: the
// instance lock, GTK, the settings records and file, the audio engine, the
// MIDI objects, the plug-in and the GTK main window. With --no-gui (or under
// a session manager while the window is hidden) no window is made and the
// status line's words go to standard error. Under a session manager
// (NSM_URL) the session's folder holds the settings and the knobs, and its
// client id names the JACK client. SIGINT and SIGTERM end the run cleanly.
// UI thread only.
class HostServicesGtk : public IHostServices, private INsmHandler {
public:
    // executable: argv[0] as launched (told to a session manager). UI thread only.
    HostServicesGtk(const RunOptions& options, const char* executable);
    // Detaches the plug-in from audio and MIDI before it goes. UI thread only.
    ~HostServicesGtk() override;
    HostServicesGtk(const HostServicesGtk&) = delete;
    HostServicesGtk& operator=(const HostServicesGtk&) = delete;

    bool AcquireSingleInstance() override;
    void RaiseFirstInstance() override;
    bool InitialiseToolkit() override;
    void CreateSettings() override;
    bool PrepareSettingsFile() override;
    void WriteSettings() override;
    void CreateAudioApi() override;
    void ProbeAudioDevices() override;
    void CreateMidiPorts() override;
    void ListMidiPorts() override;
    bool CreatePlugin() override;
    void LoadPresetSlot(int index) override;
    void OpenMidiInputByName() override;
    void OpenMidiOutputByName() override;
    bool StartAudioFromSettings() override;
    void CreateMainWindow() override;
    void RunMessageLoop() override;
    void DestroyMainWindow() override;
    void StopAudioStream() override;
    void CloseMidiPorts() override;
    void CloseAudioStream() override;
    void DestroyPlugin() override;
    void FreeSettings() override;
    void DeleteMidiObjects() override;
    void DeleteAudioApi() override;
    void FreeSettingsPath() override;
    void ReleaseSingleInstance() override;

private:
    struct Callbacks;
    friend struct Callbacks;

    bool SaveSession(std::string& message) override;
    void ShowGui() override;
    void HideGui() override;

    // Joins the session NSM_URL names, when it is set; false without one.
    bool JoinSession();
    // The session's folder as the settings folder; false (answered to the
    // server) when it cannot be made.
    bool PrepareSessionFolder();
    void MakeWindow();
    // One look at audio and MIDI; the status line, or its words on standard error.
    void Poll();
    void SayStatus();
    void Quit();

    RunOptions options;
    std::string executable;
    SingleInstanceLock instanceLock;
    std::unique_ptr<IAudioPlugin> plugin;
    std::unique_ptr<MainWindowGtk> mainWindow;
    std::unique_ptr<SoundMenuGtk> consoleSounds; // the last sound, without a window
    bool toolkit = false;           // GTK is up (a display is there and wanted)
    GMainLoop* loop = nullptr;      // the main loop without GTK
    StatusLine consoleStatus;       // the status said on standard error
    std::string saidStatus;

    unsigned int interruptSource = 0, terminateSource = 0;

    std::unique_ptr<NsmClient> session; // null outside a session
    NsmClient::Open sessionOpen;
    bool guiShown = false;
};
