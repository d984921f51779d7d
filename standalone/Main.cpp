#include "standalone/Application.h"
#include "standalone/AudioEngine.h"
#include "standalone/CommandLine.h"
#include "standalone/HostServicesGtk.h"
#include "standalone/ListDevices.h"
#include "standalone/Midi.h"
#include "standalone/RenderFile.h"
#include "standalone/RunSound.h"

#include <cstdio>
#include <unistd.h>

namespace {

// A sound that is not there is a bad value: said before any device is touched.
bool FindSound(RunOptions& options)
{
    if (!options.sound) {
        return true;
    }
    KnobValues values{};
    std::string error;
    if (!FindRunSound(*options.sound, values, error)) {
        std::fprintf(stderr, "Snarlbox: %s\n", error.c_str());
        return false;
    }
    options.soundValues = values;
    return true;
}

int Render(const RunOptions& options)
{
    std::string error;
    if (!RenderFile(options.renderInput, options.renderOutput,
                    options.soundValues ? &*options.soundValues : nullptr, error)) {
        std::fprintf(stderr, "Snarlbox: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    RunOptions options;
    const int early = ParseCommandLine(argc, argv, options);
    if (early >= 0) {
        return early;
    }
    if (!FindSound(options)) {
        return 2;
    }
    if (options.render) {
        return Render(options);
    }
    int code = 0;
    if (options.listDevices) {
        code = ListDevices(options);
    } else {
        HostServicesGtk services(options, argv[0]);
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
