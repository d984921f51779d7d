#include "standalone/AudioCallbackCore.h"

#include "core/IAudioPlugin.h"
#include "standalone/AppSettings.h"

#include <algorithm>

int AudioCallbackCore(double* output, const double* input, uint32_t frames,
                      AudioCallbackState& state, IAudioPlugin* plugin, const AppSettings& settings)
{
    const uint32_t n = frames;
    const uint32_t rightOffset = LoadSharedSetting(settings.monoInput) != 0 ? 0 : n;

    if (state.warmupCount < kSilentCallbacks || plugin == nullptr || input == nullptr) {
        if (output != nullptr) {
            std::fill(output, output + 2 * static_cast<size_t>(n), 0.0);
        }
        if (state.warmupCount < kSilentCallbacks) {
            ++state.warmupCount;
        }
        return 0;
    }

    // The plug-in only reads its inputs; its interface takes plain pointers.
    double* in = const_cast<double*>(input);
    const double step = n > 0 ? 1.0 / n : 0.0;
    const uint32_t vector = state.signalVectorSize;
    double fade = state.fadeGain;
    uint32_t i = 0;
    while (i < n) {
        const uint32_t length = vector == 0 ? n - i : std::min(vector, n - i);
        double* inputs[2] = {in + i, in + i + rightOffset};
        double* outputs[2] = {output + i, output + n + i};
        plugin->EnterPluginLock();
        plugin->ProcessAudioBlock(inputs, outputs, static_cast<int>(length));
        plugin->LeavePluginLock();

        double* left = output + i;
        double* right = output + n + i;
        uint32_t j = 0;
        // Fade-in part of the vector; the gain stops at exactly 1.0 so that the
        // output afterwards is exactly a quarter of what the plug-in wrote.
        for (; j < length && fade < 1.0; ++j) {
            fade = std::min(fade + step, 1.0);
            left[j] = left[j] * fade * kOutputScale;
            right[j] = right[j] * fade * kOutputScale;
        }
        for (; j < length; ++j) {
            left[j] *= kOutputScale;
            right[j] *= kOutputScale;
        }
        i += length;
        state.vectorPosition = vector == 0 ? 0 : length % vector;
    }
    state.fadeGain = fade;
    if (state.warmupCount < UINT32_MAX) {
        ++state.warmupCount;
    }
    return 0;
}
