#pragma once

#include "standalone/IHostServices.h"
#include "standalone/SingleInstanceLock.h"

#include <memory>

class IAudioPlugin;
class MainWindowGtk;

// The program's start-up and shutdown steps over the real layers: the
// instance lock, GTK, the settings records and file, the audio engine, the
// MIDI objects, the plug-in and the GTK main window. UI thread only.
class HostServicesGtk : public IHostServices {
public:
    // UI thread only.
    HostServicesGtk();
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
    SingleInstanceLock instanceLock;
    std::unique_ptr<IAudioPlugin> plugin;
    std::unique_ptr<MainWindowGtk> mainWindow;
};
