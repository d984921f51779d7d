#pragma once

#include "core/ChunkBuffer.h"
#include "core/IParameter.h"
#include "core/IPluginEditor.h"
#include "core/MidiMessage.h"
#include "core/PresetSlot.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Supported (inputs, outputs) configuration.
struct ChannelIoPair {
    int32_t inputs = 0;
    int32_t outputs = 0;
};

// One input or output channel: its slot in the pointer array and a scratch
// buffer of blockSize samples.
struct ChannelRecord {
    bool connected = false;
    double** slot = nullptr;
    std::vector<double> scratch;
};

// The plug-in side of the host contract: identity, parameters, presets,
// channels, the plug-in lock and the editor. Unless said otherwise the
// operations run on the UI thread.
class IAudioPlugin {
public:
    std::vector<std::unique_ptr<ChannelIoPair>> channelIoPairs;
    std::recursive_mutex pluginLock;
    char effectName[128] = {};
    char productName[128] = {};
    char makerName[128] = {};
    uint32_t uniqueId = 0x49706566;
    uint32_t makerId = 0x424C564D;
    uint32_t version = 0x00010000; // major << 16 | minor << 8 | bug fix
    int32_t wrapperKind = 5;       // 5: standalone application
    int32_t hostKind = -1;
    uint32_t hostVersion = 0;
    int32_t currentPreset = 0;
    double sampleRate = 44100.0; // Hz
    int32_t blockSize = 0;       // frames per ProcessAudioBlock
    int32_t latency = 0;         // samples
    std::unique_ptr<IPluginEditor> editor;
    std::vector<std::unique_ptr<IParameter>> parameters;
    std::vector<std::unique_ptr<PresetSlot>> presets;
    std::vector<double*> inputChannelData;
    std::vector<double*> outputChannelData;
    std::vector<std::unique_ptr<ChannelRecord>> inputChannelRecords;
    std::vector<std::unique_ptr<ChannelRecord>> outputChannelRecords;

    static constexpr int kParameterCount = 7;

    IAudioPlugin(const char* effect, const char* product, const char* maker, const char* channelIo);

    // Virtual table, in slot order.
    virtual ~IAudioPlugin();
    // Takes and releases the plug-in lock.
    virtual void ResetState();
    // UI thread; takes the plug-in lock.
    virtual void ParameterChanged(int paramIndex);
    // Audio thread, with the plug-in lock held by the caller; no allocation.
    virtual void ProcessAudioBlock(double** inputs, double** outputs, int frameCount);
    // Audio thread, as above, for float samples.
    virtual void ProcessAudioBlockSingle(float** inputs, float** outputs, int frameCount);
    virtual void EditorWindowOpened();
    // MIDI input thread; no plug-in lock. Forwards to EmitMidiMessage.
    virtual void ReceiveMidiMessage(const MidiMessage& message);
    // Appends the state; takes the plug-in lock.
    virtual bool SaveStateToChunk(ChunkBuffer& chunk);
    // Returns the position after the state, or -1; takes the plug-in lock.
    virtual int LoadStateFromChunk(const ChunkBuffer& chunk, int position);
    virtual bool StateMatches(const double* values, int first);
    virtual bool ShowOwnAboutBox();
    virtual void OfferHostParameterMenu(int paramIndex, int x, int y);
    // UI thread; takes the plug-in lock for the whole change.
    virtual void SetParameterFromEditor(int paramIndex, double normalized);
    virtual void BeginParameterGesture(int paramIndex) = 0;
    virtual void NotifyHostOfParameter(int paramIndex, double normalized) = 0;
    virtual void EndParameterGesture(int paramIndex) = 0;
    virtual double HostTempo() = 0;
    virtual int HostKind();
    virtual int WrapperKind();
    virtual void ResizeEditorInHost(int width, int height) = 0;
    // UI thread, before audio starts; the base owns the editor afterwards.
    virtual void AttachEditor(std::unique_ptr<IPluginEditor> newEditor);
    virtual void ChangeLatency(int samples);
    // MIDI input thread (through ReceiveMidiMessage) or UI thread.
    virtual bool EmitMidiMessage(const MidiMessage& message) = 0;
    virtual void PushParametersToEditor();
    virtual void PresetLoaded();
    // UI thread, while no stream runs.
    virtual void ChangeBlockSize(int frames);

    // Null outside 0 .. ParameterCount() - 1.
    IParameter* ParameterAt(int index);
    int ParameterCount() const { return static_cast<int>(parameters.size()); }
    // UI thread, while no stream runs; no hook is called.
    void ChangeSampleRate(double rate) { sampleRate = rate; }
    double SampleRate() const { return sampleRate; }
    int BlockSize() const { return blockSize; }
    IPluginEditor* Editor() { return editor.get(); }

    // Any thread; the recursive plug-in lock.
    void EnterPluginLock() { pluginLock.lock(); }
    void LeavePluginLock() { pluginLock.unlock(); }

    static int IdentifyHost(const char* productName);

    // Presets and state.
    bool SerializeParams(ChunkBuffer& chunk);
    int UnserializeParams(const ChunkBuffer& chunk, int position);
    void StoreFirstFreePreset();
    bool LoadPresetSlot(int index);
};
