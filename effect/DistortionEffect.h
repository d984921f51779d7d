#pragma once

#include "core/IPluginEditor.h"
#include "core/IStandalonePlugin.h"
#include "effect/VectorPosition.h"

#include <cstdint>
#include <memory>

// The stereo distortion: sample-and-hold rate reduction, a threshold clipper
// blend, a cubic shaper blend, a frame pattern, wet/dry mix and gain.
class DistortionEffect : public IStandalonePlugin {
public:
    enum ParameterIndex {
        CoarseDownsample = 0,
        FineDownsample = 1,
        WetAmount = 2,
        Gain = 3,
        Unused = 4,
        EvenHarmonics = 5,
        OddHarmonics = 6,
    };

    // Makes the effect's editor, layout included, or null. The editor part
    // installs it (SetEditorFactory), so the processing builds without it.
    using EditorBuilder = std::unique_ptr<IPluginEditor> (*)(IAudioPlugin& plug);

    // UI thread. Configures the parameters, builds the editor when
    // withEditor is set and a builder is installed, and stores the defaults
    // as preset 0.
    DistortionEffect(IMidiOutputPort* midiOutput, const uint16_t* midiOutputChannel, bool withEditor = true);
    ~DistortionEffect() override;

    // Any thread; takes the plug-in lock.
    void ParameterChanged(int paramIndex) override;
    // One whole signal vector. Audio thread with the plug-in lock held by the
    // caller; no allocation, no lock, no system call. Reads inputs[0..1],
    // writes outputs[0..1]; input and output may be the same buffers.
    void ProcessAudioBlock(double** inputs, double** outputs, int frameCount) override;
    // Processes the next frameCount frames of the signal vector at position
    // (frame 0 starts a new one) and advances position, so a vector cut into
    // pieces sounds as the whole vector would. As ProcessAudioBlock otherwise.
    void ContinueVector(double** inputs, double** outputs, int frameCount, VectorPosition& position);

    // The clipper over this effect's threshold; audio thread, under the lock.
    double ThresholdClip(double x, double amount);

    // UI thread, before effects are created; null: effects get no editor.
    static void SetEditorBuilder(EditorBuilder builder);

    // Working values, written by ParameterChanged.
    double gain = 1.0;
    int32_t fineFactor = 1;
    double coarseFactor = 1.0;
    double wetAmount = 0.0;
    double evenAmount = 1.0;
    double oddAmount = 0.0;

    // Sound state carried from block to block, never reset: the clipper
    // threshold shared by both channels and each channel's last output.
    // Each instance has its own, so two effects in one host never touch
    // each other's sound.
    double clipThreshold = 0.85;
    double lastOutput[2] = {0.0, 0.0}; // left, right

private:
    void BuildEditor();
};
