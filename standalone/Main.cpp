#include "standalone/Application.h"
#include "standalone/AudioEngine.h"
#include "standalone/HostServicesGtk.h"
#include "standalone/Midi.h"

#include <unistd.h>

// The program takes no arguments and reads no environment of its own.
int main()
{
    int code = 0;
    {
        HostServicesGtk services;
        code = Application(services).Run();
    }
    // Done already after a normal run; after an error these end the devices.
    DeleteMidiPorts();
    if (!audioEngine.ShutdownAudio()) {
        // A thread is still inside the audio library, which would not let go
        // within a second: end now rather than wait on it or tear the
        // library down under it. Nothing of ours is left unsaved.
        _exit(code);
    }
    return code;
}
