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
#include "standalone/RunSettings.h"
#include "standalone/RunSound.h"
#include "standalone/SayOnStderr.h"
#include "standalone/SessionFolder.h"
#include "standalone/SettingsFile.h"
#include "standalone/SoundMenuGtk.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr const char* kProductName = "Snarlbox";
constexpr guint kStreamPollMs = 500;

bool HaveDisplay()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// The status line without its ever-moving numbers, so that standard error
// hears of changes, not of every look.
std::string StatusGist(const std::string& text)
{
    std::string gist;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(" \u00b7 ", start);
        const std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.find("DSP load") == std::string::npos && part.find("xrun") == std::string::npos) {
            gist += part + "|";
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + std::strlen(" \u00b7 ");
    }
    return gist;
}

} // namespace

struct HostServicesGtk::Callbacks {
    static gboolean Poll(gpointer data)
    {
        static_cast<HostServicesGtk*>(data)->Poll();
        return G_SOURCE_CONTINUE;
    }
    static gboolean Signal(gpointer data)
    {
        static_cast<HostServicesGtk*>(data)->Quit();
        return G_SOURCE_CONTINUE;
    }
    static gboolean SessionMessage(gint, GIOCondition, gpointer data)
    {
        auto* self = static_cast<HostServicesGtk*>(data);
        self->session->ReadMessages(*self);
        return G_SOURCE_CONTINUE;
    }
};

HostServicesGtk::HostServicesGtk(const RunOptions& options, const char* executable)
    : options(options), executable(executable != nullptr ? executable : "snarlbox")
{
    // From the start: a signal that comes during start-up is held by GLib
    // and ends the run, through the same shutdown, once the main loop runs.
    interruptSource = g_unix_signal_add(SIGINT, Callbacks::Signal, this);
    terminateSource = g_unix_signal_add(SIGTERM, Callbacks::Signal, this);
}

HostServicesGtk::~HostServicesGtk()
{
    g_source_remove(interruptSource);
    g_source_remove(terminateSource);
    // Also after an error left the shutdown steps out: no callback may reach
    // the plug-in once it is gone.
    DestroyPlugin();
}

bool HostServicesGtk::JoinSession()
{
    const char* url = std::getenv("NSM_URL");
    if (url == nullptr || *url == '\0') {
        return false;
    }
    session = std::make_unique<NsmClient>();
    const bool gui = !options.noGui && HaveDisplay();
    if (!session->Join(url, gui ? ":optional-gui:" : ":", executable, sessionOpen)) {
        session.reset();
        return false;
    }
    if (options.jackClientName) {
        std::fputs("Snarlbox: under a session the JACK client takes the session's name; --jack-name is not used\n",
                   stderr);
    }
    return true;
}

bool HostServicesGtk::AcquireSingleInstance()
{
    // A session may hold several Snarlbox clients: each has a lock of its own.
    std::string name = kProductName;
    if (JoinSession()) {
        std::string id = sessionOpen.clientId;
        for (char& c : id) {
            c = c == '/' ? '_' : c;
        }
        name += "-" + id;
    }
    if (!instanceLock.Acquire(nullptr, name.c_str())) {
        if (session) {
            session->AnswerOpen(false, NsmClient::kErrorNotNow, "this Snarlbox client runs already");
        }
        return false;
    }
    return true;
}

void HostServicesGtk::RaiseFirstInstance()
{
    std::fputs(session ? "Snarlbox: another Snarlbox runs as this session client\n" : "Snarlbox: another Snarlbox runs\n",
               stderr);
    if (!options.noGui && HaveDisplay()) {
        ::RaiseFirstInstance(kProductName);
    }
}

bool HostServicesGtk::InitialiseToolkit()
{
    if (options.noGui) {
        return true;
    }
    if (!HaveDisplay() || !gtk_init_check(nullptr, nullptr)) {
        if (session) {
            return true; // the session runs it without a window
        }
        std::fputs(HaveDisplay() ? "Snarlbox: cannot open the display; start with --no-gui to run without a window\n"
                                 : "Snarlbox: no display; start with --no-gui to run without a window\n",
                   stderr);
        return false;
    }
    toolkit = true;
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

bool HostServicesGtk::PrepareSessionFolder()
{
    // With settings neither in the session nor of the user's own, a new
    // client goes to JACK when a server runs, as a first start does.
    struct stat info;
    const bool noSettings = stat((sessionOpen.instancePath + "/settings.ini").c_str(), &info) != 0 &&
                            stat((std::string(g_get_user_config_dir()) + "/Snarlbox/settings.ini").c_str(), &info) != 0;
    std::string error;
    if (!OpenSessionFolder(sessionOpen.instancePath, guiShown, error)) {
        std::fprintf(stderr, "Snarlbox: %s\n", error.c_str());
        session->AnswerOpen(false, NsmClient::kErrorCreateFailed, error);
        return false;
    }
    if (noSettings && audioEngine.PreferJackOnFirstStart(currentSettings)) {
        SayOnStderr("a JACK server runs: Snarlbox starts on JACK");
    }
    audioEngine.SetClientName(sessionOpen.clientId);
    return true;
}

bool HostServicesGtk::PrepareSettingsFile()
{
    if (session) {
        if (!PrepareSessionFolder()) {
            return false;
        }
    } else {
        if (!::PrepareSettingsFile()) {
            return false;
        }
        // No file yet: a first start, which goes to JACK when a server runs.
        struct stat info;
        if (settingsPath[0] != '\0' && stat(settingsPath, &info) != 0 &&
            audioEngine.PreferJackOnFirstStart(currentSettings)) {
            SayOnStderr("a JACK server runs: Snarlbox starts on JACK");
        }
        if (options.jackClientName) {
            audioEngine.SetClientName(*options.jackClientName);
        }
    }
    ApplyRunOptions(options, currentSettings);
    return true;
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
    if (!plugin) {
        return;
    }
    plugin->LoadPresetSlot(index);
    if (session) {
        KnobValues values = CaptureKnobs(*plugin);
        bool found = false;
        std::string error;
        if (!ReadSessionKnobs(sessionOpen.instancePath, values, found, error)) {
            std::fprintf(stderr, "Snarlbox: %s; the knobs start at their defaults\n", error.c_str());
        } else if (found) {
            ApplyKnobs(*plugin, values);
        }
    }
    // The sound named for this run comes last: it is the latest choice.
    if (options.soundValues) {
        ApplyKnobs(*plugin, *options.soundValues);
    } else if (!session && !toolkit) {
        // Without a window, the last sound is loaded and kept here.
        consoleSounds = std::make_unique<SoundMenuGtk>(plugin.get());
        consoleSounds->LoadLastSound();
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

void HostServicesGtk::MakeWindow()
{
    mainWindow = std::make_unique<MainWindowGtk>(plugin.get());
    mainWindow->SetLastSound(!session && !options.soundValues, !session);
    if (session) {
        // The session manager ends the program; the close box only hides it.
        mainWindow->SetCloseHides([this] { HideGui(); });
    }
    mainWindow->Create();
}

void HostServicesGtk::CreateMainWindow()
{
    if (toolkit && (!session || guiShown)) {
        MakeWindow();
    }
}

void HostServicesGtk::RunMessageLoop()
{
    const guint poll = g_timeout_add(kStreamPollMs, Callbacks::Poll, this);
    guint messages = 0;
    if (session) {
        messages = g_unix_fd_add(session->Socket(), G_IO_IN, Callbacks::SessionMessage, this);
        session->AnswerOpen(true, 0, "Snarlbox opened " + sessionOpen.instancePath);
        guiShown = guiShown && mainWindow && mainWindow->Window() != nullptr;
        session->SayGuiShown(guiShown);
    }
    Poll();
    if (toolkit && (session || (mainWindow && mainWindow->Window() != nullptr))) {
        gtk_main();
    } else if (!toolkit) {
        loop = g_main_loop_new(nullptr, FALSE);
        g_main_loop_run(loop);
        g_main_loop_unref(loop);
        loop = nullptr;
    }
    for (guint source : {poll, messages}) {
        if (source != 0) {
            g_source_remove(source);
        }
    }
}

void HostServicesGtk::Poll()
{
    audioEngine.PollAudioStream();
    PollMidi();
    // A hidden window's line is read by nobody: standard error hears it.
    if (mainWindow && mainWindow->Window() != nullptr && (!session || guiShown)) {
        mainWindow->RefreshStatusLine();
    } else {
        SayStatus();
    }
}

void HostServicesGtk::SayStatus()
{
    consoleStatus.Update(StatusLine::ReadProcess());
    const std::string gist = StatusGist(consoleStatus.Text());
    if (gist != saidStatus) {
        saidStatus = gist;
        SayOnStderr(consoleStatus.Text());
    }
}

void HostServicesGtk::Quit()
{
    if (toolkit && gtk_main_level() > 0) {
        gtk_main_quit();
    } else if (loop != nullptr) {
        g_main_loop_quit(loop);
    }
}

bool HostServicesGtk::SaveSession(std::string& message)
{
    if (!SaveSessionFolder(sessionOpen.instancePath, plugin.get(), guiShown, message)) {
        return false;
    }
    message = "Snarlbox saved";
    return true;
}

void HostServicesGtk::ShowGui()
{
    if (!toolkit) {
        session->SayGuiShown(false);
        return;
    }
    if (!mainWindow || mainWindow->Window() == nullptr) {
        MakeWindow();
    } else {
        gtk_window_present(GTK_WINDOW(mainWindow->Window()));
    }
    guiShown = mainWindow->Window() != nullptr;
    session->SayGuiShown(guiShown);
}

void HostServicesGtk::HideGui()
{
    if (mainWindow && mainWindow->Window() != nullptr) {
        gtk_widget_hide(mainWindow->Window());
    }
    guiShown = false;
    saidStatus.clear(); // standard error hears the status again
    if (session) {
        session->SayGuiShown(false);
    }
}

void HostServicesGtk::DestroyMainWindow()
{
    if (consoleSounds) {
        consoleSounds->KeepLastSound();
    }
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
    consoleSounds.reset();
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
