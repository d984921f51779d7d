#include "standalone/Application.h"

#include "platform/DebugTrace.h"
#include "standalone/IHostServices.h"

#include <exception>

int Application::Run()
{
    // Our own code throws nothing; this catches what a library lets escape.
    try {
        return RunSteps();
    } catch (...) {
        // Audio and MIDI callbacks must not outlive the plug-in, which goes
        // when the services do: stop both before anything else.
        StopCallbacksAfterError();
        DebugTrace("another instance running");
        return 0;
    }
}

void Application::StopCallbacksAfterError()
{
    try {
        services.StopAudioStream();
    } catch (...) {
    }
    try {
        services.CloseMidiPorts();
    } catch (...) {
    }
}

int Application::RunSteps()
{
    if (!services.AcquireSingleInstance()) {
        services.RaiseFirstInstance();
        return 0;
    }
    if (!services.InitialiseToolkit()) {
        services.ReleaseSingleInstance();
        return 1;
    }
    services.CreateSettings();
    if (!services.PrepareSettingsFile()) {
        services.ReleaseSingleInstance();
        return 1;
    }
    services.WriteSettings();
    services.CreateAudioApi();
    services.ProbeAudioDevices();
    services.CreateMidiPorts();
    services.ListMidiPorts();
    if (!services.CreatePlugin()) {
        // Out of memory before anything runs: nothing to host.
        ShutdownHost();
        services.ReleaseSingleInstance();
        return 1;
    }
    services.LoadPresetSlot(0);
    services.OpenMidiInputByName();
    services.OpenMidiOutputByName();
    // Without a stream the program runs silent; the user picks devices later.
    services.StartAudioFromSettings();
    services.CreateMainWindow();
    services.RunMessageLoop();
    services.DestroyMainWindow();
    ShutdownHost();
    services.ReleaseSingleInstance();
    return 0;
}

void Application::ShutdownHost()
{
    services.StopAudioStream();
    services.CloseMidiPorts();
    services.CloseAudioStream();
    services.DestroyPlugin();
    services.FreeSettings();
    services.DeleteMidiObjects();
    services.DeleteAudioApi();
    services.FreeSettingsPath();
}
