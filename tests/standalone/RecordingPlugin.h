#pragma once

#include "core/IAudioPlugin.h"

#include <cstdint>

// A plug-in that records every ProcessAudioBlock call (into fixed storage)
// and writes a known value per frame: 1 + channel + 0.001 * call-frame index.
class RecordingPlugin : public IAudioPlugin {
public:
    struct Call {
        double* in0;
        double* in1;
        double* out0;
        double* out1;
        int frames;
    };
    static constexpr int kMaxCalls = 1024;

    RecordingPlugin() : IAudioPlugin("Recorder", "Recorder", "Tests", "2-2") {}

    void ProcessAudioBlock(double** inputs, double** outputs, int frameCount) override
    {
        if (callCount < kMaxCalls) {
            calls[callCount] = Call{inputs[0], inputs[1], outputs[0], outputs[1], frameCount};
        }
        ++callCount;
        for (int i = 0; i < frameCount; ++i) {
            outputs[0][i] = Written(0, i);
            outputs[1][i] = Written(1, i);
        }
    }
    static double Written(int channel, int frameInCall) { return 1.0 + channel + 0.001 * frameInCall; }

    void BeginParameterGesture(int) override {}
    void NotifyHostOfParameter(int, double) override {}
    void EndParameterGesture(int) override {}
    double HostTempo() override { return 120.0; }
    void ResizeEditorInHost(int, int) override {}
    bool EmitMidiMessage(const MidiMessage&) override { return false; }

    Call calls[kMaxCalls] = {};
    int callCount = 0;
};
