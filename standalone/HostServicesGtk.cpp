#include "standalone/HostServicesGtk.h"

#include "core/IAudioPlugin.h"
#include "effect/CreatePlugin.h"
#include "effect/EditorFactory.h"
#include "gui/IGraphicsGtk.h"
#include "standalone/AudioEngine.h"
#include "standalone/HostSettings.h"
#include "standalone/JackBackEnd.h"
#include "standalone/MainWindowGtk.h"
#include "standalone/Midi.h"
#include "standalone/RaiseFirstInstance.h"
#include "standalone/SayOnStderr.h"
#include "standalone/SettingsFile.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <sys/stat.h>

namespace {

constexpr const char* kProductName = "Snarlbox";
constexpr guint kStreamPollMs = 500;

// The user-interface thread's look at audio and MIDI: underflow lines,
// restarts done in the background, ports that came or went, and the status
// line that shows them.
gboolean PollDevices(gpointer data)
{
    audioEngine.PollAudioStream();
    PollMidi();
    static_cast<MainWindowGtk*>(data)->RefreshStatusLine();
    return G_SOURCE_CONTINUE;
}

} // namespace

HostServicesGtk::HostServicesGtk() = default;

HostServicesGtk::~HostServicesGtk()
{
    // Also after an error left the shutdown steps out: no callback may reach
    // the plug-in once it is gone.
    DestroyPlugin();
}

bool HostServicesGtk::AcquireSingleInstance()
{
    return instanceLock.Acquire();
}

void HostServicesGtk::RaiseFirstInstance()
{
    ::RaiseFirstInstance(kProductName);
}

bool HostServicesGtk::InitialiseToolkit()
{
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fputs("Snarlbox: cannot open the display\n", stderr);
        return false;
    }
    g_set_prgname("snarlbox");
    g_set_application_name(kProductName);
    SetEditorFactory(&IGraphicsGtk::Create);
    return true;
}

void HostServicesGtk::CreateSettings()
{
    DefaultSettings(currentSettings);
    DefaultSettings(backupSettings);
    DefaultSettings(streamSettings);
}

bool HostServicesGtk::PrepareSettingsFile()
{
    const bool prepared = ::PrepareSettingsFile();
    // No file yet: a first start, which goes to JACK when a server runs.
    struct stat info;
    if (prepared && settingsPath[0] != '\0' && stat(settingsPath, &info) != 0 &&
        audioEngine.PreferJackOnFirstStart(currentSettings)) {
        SayOnStderr("a JACK server runs: Snarlbox starts on JACK");
    }
    return prepared;
}

void HostServicesGtk::WriteSettings()
{
    ::WriteSettings();
}

void HostServicesGtk::CreateAudioApi()
{
    // Retries against an absent JACK server would otherwise fill standard error.
    JackBackEnd::QuietJackMessages();
    audioEngine.CreateAudioApi();
}

void HostServicesGtk::ProbeAudioDevices()
{
    audioEngine.ProbeAudioDevices();
}

void HostServicesGtk::CreateMidiPorts()
{
    ::CreateMidiPorts();
}

void HostServicesGtk::ListMidiPorts()
{
    ::ListMidiPorts();
}

bool HostServicesGtk::CreatePlugin()
{
    plugin = ::CreatePlugin(midiOutput.get(), &currentSettings.midiOutputChannel);
    if (!plugin) {
        std::fputs("Snarlbox: not enough memory to create the effect\n", stderr);
        return false;
    }
    audioEngine.SetAudioPlugin(plugin.get());
    SetMidiPlugin(plugin.get());
    return true;
}

void HostServicesGtk::LoadPresetSlot(int index)
{
    if (plugin) {
        plugin->LoadPresetSlot(index);
    }
}

void HostServicesGtk::OpenMidiInputByName()
{
    ::OpenMidiInputByName(currentSettings.midiInputDevice);
}

void HostServicesGtk::OpenMidiOutputByName()
{
    ::OpenMidiOutputByName(currentSettings.midiOutputDevice);
}

bool HostServicesGtk::StartAudioFromSettings()
{
    return audioEngine.StartAudioFromSettings();
}

void HostServicesGtk::CreateMainWindow()
{
    mainWindow = std::make_unique<MainWindowGtk>(plugin.get());
    mainWindow->Create();
}

void HostServicesGtk::RunMessageLoop()
{
    // The window may already be gone (closed while it was being built).
    if (mainWindow && mainWindow->Window() != nullptr) {
        const guint poll = g_timeout_add(kStreamPollMs, PollDevices, mainWindow.get());
        gtk_main();
        g_source_remove(poll);
    }
}

void HostServicesGtk::DestroyMainWindow()
{
    if (mainWindow) {
        mainWindow->DestroyMainWindow();
    }
}

void HostServicesGtk::StopAudioStream()
{
    audioEngine.StopAudioStream();
}

void HostServicesGtk::CloseMidiPorts()
{
    ::CloseMidiPorts();
}

void HostServicesGtk::CloseAudioStream()
{
    audioEngine.CloseAudioStream();
}

void HostServicesGtk::DestroyPlugin()
{
    SetMidiPlugin(nullptr);
    audioEngine.SetAudioPlugin(nullptr);
    mainWindow.reset();
    plugin.reset();
}

void HostServicesGtk::FreeSettings()
{
    // The records are the process's own statics; they go back to the defaults.
    DefaultSettings(currentSettings);
    DefaultSettings(backupSettings);
    DefaultSettings(streamSettings);
}

void HostServicesGtk::DeleteMidiObjects()
{
    DeleteMidiPorts();
}

void HostServicesGtk::DeleteAudioApi()
{
    audioEngine.ShutdownAudio();
}

void HostServicesGtk::FreeSettingsPath()
{
    settingsPath[0] = '\0';
}

void HostServicesGtk::ReleaseSingleInstance()
{
    instanceLock.Release();
}
