#include "effect/DistortionEffect.h"

#include "effect/EditorFactory.h"
#include "effect/EditorLayout.h"
#include "gui/IGraphics.h"

#include <cmath>
#include <mutex>

namespace {
// Shared by both channels and every instance for the whole process: the
// left channel's clipper call updates the threshold the right channel reads.
double clipThreshold = 0.85;
double lastOutput[2] = {0.0, 0.0};

// Integer part of a working value, or fallback when it is not a usable number.
int32_t TruncateOr(double v, int32_t fallback, int32_t lowest, int32_t highest)
{
    if (!(v >= static_cast<double>(lowest))) {
        return fallback; // below the range, or NaN
    }
    if (v > static_cast<double>(highest)) {
        return highest;
    }
    return static_cast<int32_t>(v);
}

struct ParameterSetup {
    int index;
    const char* name;
    double defaultValue;
    double minimum;
    double maximum;
    double step;
};

// Configured in this order: 0, 1, 5, 2, 3, 6; parameter 4 stays unset.
constexpr ParameterSetup kSetup[] = {
    {DistortionEffect::CoarseDownsample, "Coarse Downsample", 1.0, 1.0, 327.68, 2.56},
    {DistortionEffect::FineDownsample, "Fine Downsample", 1.0, 1.0, 15.0, 1.0},
    {DistortionEffect::EvenHarmonics, "Even Harmonics", 0.0, 0.0, 1.0, 0.025},
    {DistortionEffect::WetAmount, "Wet Amount", 1.0, 0.0, 1.0, 0.025},
    {DistortionEffect::Gain, "Gain", 1.0, 0.0, 1.0, 0.025},
    {DistortionEffect::OddHarmonics, "Odd Harmonics", 0.0, 0.0, 1.0, 0.025},
};
} // namespace

DistortionEffect::DistortionEffect(IMidiOutputPort* midiOutput, const uint16_t* midiOutputChannel, bool withEditor)
    : IStandalonePlugin("Snarlbox", "", "Brimvale LLC", "1-1 2-2", midiOutput, midiOutputChannel)
{
    gain = 1.0;
    fineFactor = 1;
    coarseFactor = 1.0;
    evenAmount = 1.0;
    for (const ParameterSetup& setup : kSetup) {
        IParameter& parameter = *parameters[static_cast<size_t>(setup.index)];
        parameter.shape = 2.0;
        if (setup.index == FineDownsample && parameter.type == IParameter::TypeUnset) {
            parameter.type = IParameter::TypeInteger;
        }
        parameter.ConfigureDouble(setup.name, setup.defaultValue, setup.minimum, setup.maximum, setup.step);
    }
    if (withEditor) {
        BuildEditor();
    }
    StoreFirstFreePreset();
}

DistortionEffect::~DistortionEffect()
{
    // The editor's controls refer to this effect; they go while it is whole.
    editor.reset();
}

void DistortionEffect::ParameterChanged(int paramIndex)
{
    std::lock_guard<std::recursive_mutex> lock(pluginLock);
    IParameter* parameter = ParameterAt(paramIndex);
    if (parameter == nullptr) {
        return;
    }
    const double v = parameter->value;
    switch (paramIndex) {
    case CoarseDownsample: coarseFactor = v; break;
    case FineDownsample: fineFactor = TruncateOr(v, 1, INT32_MIN, INT32_MAX); break;
    case WetAmount: wetAmount = v; break;
    case Gain: gain = v; break;
    case EvenHarmonics: evenAmount = v; break;
    case OddHarmonics: oddAmount = v; break;
    default: break;
    }
}

double DistortionEffect::ThresholdClip(double x, double amount)
{
    if (std::fabs(x) > clipThreshold) {
        // The signed sample, not its magnitude: a negative peak leaves a
        // negative threshold, which every later sample exceeds.
        clipThreshold = x - 0.25 * amount;
    }
    if (std::fabs(x) > clipThreshold) {
        return x > 0.0 ? clipThreshold : -clipThreshold;
    }
    return x;
}

void DistortionEffect::ProcessAudioBlock(double** inputs, double** outputs, int frameCount)
{
    if (frameCount <= 0) {
        return;
    }
    const double* inL = inputs[0];
    const double* inR = inputs[1];
    double* outL = outputs[0];
    double* outR = outputs[1];

    // A hold length below 1 (not reachable from the ranges) holds nothing.
    const int32_t holdLength = TruncateOr(coarseFactor, 1, 1, INT32_MAX);
    // A frame pattern below 2 scales no frame.
    const int32_t fine = fineFactor > 1 ? fineFactor : 1;
    const double odd = oddAmount;
    const double even = evenAmount;
    const double wet = wetAmount;
    const double g = gain;
    double lastL = lastOutput[0];
    double lastR = lastOutput[1];

    int32_t holdCounter = 0;
    double heldL = inL[0];
    double heldR = inR[0];
    int32_t finePhase = 0; // j mod fine

    auto channel = [&](double held, double dry, double last, bool scaled) {
        const double c = ThresholdClip(held, odd);
        double s = (1.0 - odd) * held + c * odd;
        if (!(s > last)) {
            s = s * (1.0 - even) + s * (s * s) * even;
        }
        if (scaled) {
            s = (2.0 * s) / 3.0;
        }
        return ((1.0 - wet) * dry + s * wet) * g;
    };

    for (int j = 0; j < frameCount; ++j) {
        if (holdCounter >= holdLength) {
            heldL = inL[j];
            heldR = inR[j];
            holdCounter = 0;
        }
        ++holdCounter;
        const bool scaled = finePhase != 0;
        const double dryL = inL[j];
        const double dryR = inR[j];
        const double yL = channel(heldL, dryL, lastL, scaled);
        outL[j] = yL;
        const double yR = channel(heldR, dryR, lastR, scaled);
        outR[j] = yR;
        lastL = yL;
        lastR = yR;
        if (++finePhase == fine) {
            finePhase = 0;
        }
    }
    lastOutput[0] = lastL;
    lastOutput[1] = lastR;
}

void DistortionEffect::ResetSharedStateForTests()
{
    clipThreshold = 0.85;
    lastOutput[0] = 0.0;
    lastOutput[1] = 0.0;
}

double DistortionEffect::ClipThresholdForTests() { return clipThreshold; }

double DistortionEffect::LastOutputForTests(int ch) { return lastOutput[ch & 1]; }

void DistortionEffect::BuildEditor()
{
    // The window editor comes from the program's factory; without one there is no editor.
    std::unique_ptr<IGraphics> graphics = MakeEditor(this, kEditorWidth, kEditorHeight, kEditorFrameRate);
    if (!graphics) {
        return;
    }
    BuildDistortionEditor(*graphics, this);
    AttachEditor(std::move(graphics));
}
