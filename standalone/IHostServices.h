#pragma once

// The steps the application's start-up and shutdown are made of, in the
// layers that carry them out (devices, settings, plug-in, windows). The
// program's one is over the real layers; tests record the calls.
// UI thread only.
class IHostServices {
public:
    virtual ~IHostServices() = default;

    // Start-up.
    // Takes the single-instance lock; false when another instance holds it.
    virtual bool AcquireSingleInstance() = 0;
    // Brings the first instance's window to the front, when it can be found.
    virtual void RaiseFirstInstance() = 0;
    // Connects to the display; false (said on standard error) without one.
    virtual bool InitialiseToolkit() = 0;
    // DefaultSettings into the current, backup and stream records.
    virtual void CreateSettings() = 0;
    // Settings path, folder or file; false when there is no configuration folder.
    virtual bool PrepareSettingsFile() = 0;
    virtual void WriteSettings() = 0;
    virtual void CreateAudioApi() = 0;
    virtual void ProbeAudioDevices() = 0;
    virtual void CreateMidiPorts() = 0;
    virtual void ListMidiPorts() = 0;
    // False (said on standard error) when memory ran out.
    virtual bool CreatePlugin() = 0;
    virtual void LoadPresetSlot(int index) = 0;
    virtual void OpenMidiInputByName() = 0;
    virtual void OpenMidiOutputByName() = 0;
    virtual bool StartAudioFromSettings() = 0;
    virtual void CreateMainWindow() = 0;
    // Runs the main loop until the main window is gone.
    virtual void RunMessageLoop() = 0;

    // Shutdown.
    // Destroys the main window if it still exists.
    virtual void DestroyMainWindow() = 0;
    virtual void StopAudioStream() = 0;
    // Cancels the MIDI input callback, then closes the input and output ports.
    virtual void CloseMidiPorts() = 0;
    virtual void CloseAudioStream() = 0;
    virtual void DestroyPlugin() = 0;
    virtual void FreeSettings() = 0;
    virtual void DeleteMidiObjects() = 0;
    virtual void DeleteAudioApi() = 0;
    virtual void FreeSettingsPath() = 0;
    virtual void ReleaseSingleInstance() = 0;
};
