#pragma once

class IHostServices;

// The application's life: start-up in its fixed order, the message loop and
// shutdown, each step carried out by the host services. UI thread only.
class Application {
public:
    // UI thread only.
    explicit Application(IHostServices& services) : services(services) {}

    // Runs the program and returns its exit code: 0 normally and for a second
    // instance, 1 when there is no configuration folder, no display or no
    // memory for the plug-in. An exception from a library stops audio and
    // MIDI, is traced and gives 0. UI thread only.
    int Run();
    // Stops audio and MIDI before the plug-in goes, then frees the rest.
    // UI thread only.
    void ShutdownHost();

private:
    int RunSteps();
    void StopCallbacksAfterError();

    IHostServices& services;
};
