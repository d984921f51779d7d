#include "core/IAudioPlugin.h"

#include "core/ClampStoredValue.h"
#include "core/IPluginEditor.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
void CopyName(char (&dest)[128], const char* src)
{
    std::snprintf(dest, sizeof dest, "%s", src != nullptr ? src : "");
}

struct HostEntry {
    const char* text;
    int kind;
};

// Searched in this order; the first substring found decides.
constexpr HostEntry kHosts[] = {
    {"cubase", 3},      {"reaper", 1},    {"nuendo", 4},    {"cakewalk", 5},
    {"samplitude", 8},  {"fruity", 7},    {"live", 9},      {"melodyne", 12},
    {"vstmanlib", 13},  {"aulab", 14},    {"garageband", 22}, {"forte", 15},
    {"chainer", 16},    {"audition", 17}, {"orion", 18},    {"sawstudio", 20},
    {"logic", 21},      {"digital", 23},  {"audiomulch", 25}, {"presonus", 26},
    {"vst3plugintesthost", 27}, {"protools", 2}, {"ardour", 28}, {"standalone", 24},
};
} // namespace

IAudioPlugin::IAudioPlugin(const char* effect, const char* product, const char* maker, const char* channelIo)
{
    for (int i = 0; i < kParameterCount; ++i) {
        parameters.push_back(std::make_unique<IParameter>());
    }
    presets.push_back(std::make_unique<PresetSlot>());
    CopyName(effectName, effect);
    CopyName(productName, product);
    CopyName(makerName, maker);

    // "1-1 2-2": pairs separated by single spaces.
    int maxInputs = 0;
    int maxOutputs = 0;
    const char* p = channelIo != nullptr ? channelIo : "";
    for (;;) {
        int inputs = 0;
        int outputs = 0;
        if (std::sscanf(p, "%d-%d", &inputs, &outputs) < 2) {
            // Missing numbers count as 0; sscanf leaves them untouched.
        }
        channelIoPairs.push_back(std::make_unique<ChannelIoPair>(ChannelIoPair{inputs, outputs}));
        maxInputs = std::max(maxInputs, inputs);
        maxOutputs = std::max(maxOutputs, outputs);
        const char* space = std::strchr(p, ' ');
        if (space == nullptr) {
            break;
        }
        p = space + 1;
    }
    inputChannelData.assign(static_cast<size_t>(maxInputs), nullptr);
    outputChannelData.assign(static_cast<size_t>(maxOutputs), nullptr);
    for (int i = 0; i < maxInputs; ++i) {
        auto record = std::make_unique<ChannelRecord>();
        record->slot = &inputChannelData[static_cast<size_t>(i)];
        inputChannelRecords.push_back(std::move(record));
    }
    for (int i = 0; i < maxOutputs; ++i) {
        auto record = std::make_unique<ChannelRecord>();
        record->slot = &outputChannelData[static_cast<size_t>(i)];
        outputChannelRecords.push_back(std::move(record));
    }
}

IAudioPlugin::~IAudioPlugin()
{
    editor.reset();
}

void IAudioPlugin::ResetState()
{
    std::lock_guard<std::recursive_mutex> lock(pluginLock);
}

void IAudioPlugin::ParameterChanged(int)
{
    std::lock_guard<std::recursive_mutex> lock(pluginLock);
}

void IAudioPlugin::ProcessAudioBlock(double** inputs, double** outputs, int frameCount)
{
    if (frameCount <= 0) {
        return;
    }
    const size_t inputCount = inputChannelRecords.size();
    for (size_t i = 0; i < outputChannelRecords.size(); ++i) {
        if (i < inputCount) {
            std::memmove(outputs[i], inputs[i], sizeof(double) * static_cast<size_t>(frameCount));
        } else {
            std::fill(outputs[i], outputs[i] + frameCount, 0.0);
        }
    }
}

void IAudioPlugin::ProcessAudioBlockSingle(float** inputs, float** outputs, int frameCount)
{
    if (frameCount <= 0) {
        return;
    }
    const size_t inputCount = inputChannelRecords.size();
    for (size_t i = 0; i < outputChannelRecords.size(); ++i) {
        if (i < inputCount) {
            std::memmove(outputs[i], inputs[i], sizeof(float) * static_cast<size_t>(frameCount));
        } else {
            std::fill(outputs[i], outputs[i] + frameCount, 0.0f);
        }
    }
}

void IAudioPlugin::EditorWindowOpened() {}

void IAudioPlugin::ReceiveMidiMessage(const MidiMessage& message) { EmitMidiMessage(message); }

bool IAudioPlugin::SaveStateToChunk(ChunkBuffer& chunk) { return SerializeParams(chunk); }

int IAudioPlugin::LoadStateFromChunk(const ChunkBuffer& chunk, int position)
{
    return UnserializeParams(chunk, position);
}

bool IAudioPlugin::StateMatches(const double* values, int first)
{
    if (values == nullptr) {
        return false;
    }
    bool all = true;
    for (int i = 0; i < ParameterCount(); ++i) {
        const float a = static_cast<float>(parameters[static_cast<size_t>(i)]->value);
        const float b = static_cast<float>(values[first + i]);
        // The difference is taken in single precision, the bound in double.
        if (!(static_cast<double>(std::fabs(a - b)) < 0.00001)) {
            all = false;
        }
    }
    return all;
}

bool IAudioPlugin::ShowOwnAboutBox() { return false; }

void IAudioPlugin::OfferHostParameterMenu(int, int, int) {}

void IAudioPlugin::SetParameterFromEditor(int paramIndex, double normalized)
{
    std::lock_guard<std::recursive_mutex> lock(pluginLock);
    IParameter* parameter = ParameterAt(paramIndex);
    if (parameter == nullptr) {
        return;
    }
    parameter->SetFromNormalized(normalized);
    NotifyHostOfParameter(paramIndex, normalized);
    ParameterChanged(paramIndex);
}

int IAudioPlugin::HostKind() { return hostKind; }

int IAudioPlugin::WrapperKind() { return wrapperKind; }

void IAudioPlugin::AttachEditor(std::unique_ptr<IPluginEditor> newEditor)
{
    if (newEditor == nullptr) {
        return;
    }
    std::lock_guard<std::recursive_mutex> lock(pluginLock);
    for (int i = 0; i < ParameterCount(); ++i) {
        const IParameter& parameter = *parameters[static_cast<size_t>(i)];
        newEditor->TakePlugValue(i, parameter.ToNormalized(parameter.value));
    }
    newEditor->CreateBackingBitmaps();
    editor = std::move(newEditor);
}

void IAudioPlugin::ChangeLatency(int samples) { latency = samples; }

void IAudioPlugin::PushParametersToEditor()
{
    if (editor == nullptr) {
        return;
    }
    for (int i = 0; i < ParameterCount(); ++i) {
        editor->ShowParameterValue(i, parameters[static_cast<size_t>(i)]->value, false);
    }
}

void IAudioPlugin::PresetLoaded() {}

void IAudioPlugin::ChangeBlockSize(int frames)
{
    if (frames == blockSize) {
        return;
    }
    const size_t n = frames > 0 ? static_cast<size_t>(frames) : 0;
    for (auto& record : inputChannelRecords) {
        record->scratch.assign(n, 0.0);
    }
    for (auto& record : outputChannelRecords) {
        record->scratch.assign(n, 0.0);
    }
    blockSize = frames;
}

IParameter* IAudioPlugin::ParameterAt(int index)
{
    if (index < 0 || index >= ParameterCount()) {
        return nullptr;
    }
    return parameters[static_cast<size_t>(index)].get();
}

int IAudioPlugin::IdentifyHost(const char* name)
{
    std::string lower(name != nullptr ? name : "");
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const HostEntry& host : kHosts) {
        if (lower.find(host.text) != std::string::npos) {
            return host.kind;
        }
    }
    return 0;
}

bool IAudioPlugin::SerializeParams(ChunkBuffer& chunk)
{
    std::lock_guard<std::recursive_mutex> lock(pluginLock);
    const int32_t startSize = chunk.Size();
    for (const auto& parameter : parameters) {
        const int32_t oldSize = chunk.Size();
        if (!chunk.Resize(oldSize + 8)) {
            // Going on would put the later values 8 bytes early; a partial
            // state is worse than none, so the chunk goes back as it was.
            chunk.Resize(startSize);
            // The core links no platform layer (it also lives in the LV2 plug-in).
            std::fputs("Snarlbox: could not store the parameter state: out of memory\n", stderr);
            return false;
        }
        // Little-endian IEEE 754, as the machine stores it.
        std::memcpy(chunk.Bytes() + oldSize, &parameter->value, 8);
    }
    return chunk.Size() > 0;
}

int IAudioPlugin::UnserializeParams(const ChunkBuffer& chunk, int position)
{
    std::lock_guard<std::recursive_mutex> lock(pluginLock);
    for (auto& parameter : parameters) {
        if (position < 0) {
            break;
        }
        double v = 0.0;
        if (static_cast<int64_t>(position) + 8 <= chunk.Size()) {
            std::memcpy(&v, chunk.Bytes() + position, 8);
            position += 8;
        } else {
            position = -1;
        }
        parameter->value = ClampStoredValue(*parameter, v);
    }
    for (int i = 0; i < ParameterCount(); ++i) {
        ParameterChanged(i);
    }
    return position;
}

void IAudioPlugin::StoreFirstFreePreset()
{
    for (auto& slot : presets) {
        if (!slot->initialized) {
            std::snprintf(slot->presetName, sizeof slot->presetName, "%s", "-");
            // A slot whose state could not be stored stays free.
            slot->initialized = SaveStateToChunk(slot->chunk);
            return;
        }
    }
}

bool IAudioPlugin::LoadPresetSlot(int index)
{
    if (index < 0 || index >= static_cast<int>(presets.size())) {
        return false;
    }
    PresetSlot& slot = *presets[static_cast<size_t>(index)];
    bool result;
    if (slot.initialized) {
        result = LoadStateFromChunk(slot.chunk, 0) > 0;
    } else {
        slot.initialized = true;
        int count = 0;
        for (const auto& other : presets) {
            if (std::strstr(other->presetName, "user preset") != nullptr) {
                ++count;
            }
        }
        std::snprintf(slot.presetName, sizeof slot.presetName, "%s %d", "user preset", count + 1);
        result = SaveStateToChunk(slot.chunk);
        slot.initialized = result;
    }
    if (result) {
        currentPreset = index;
        PresetLoaded();
        PushParametersToEditor();
    }
    return result;
}
