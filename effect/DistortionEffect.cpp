#include "effect/DistortionEffect.h"

#include <cmath>
#include <mutex>

namespace {
DistortionEffect::EditorBuilder editorBuilder = nullptr;

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

namespace {
// The clipper rule over a threshold the caller keeps: the block loop keeps it
// in a local, which the output stores cannot alias.
inline double ClipAgainst(double x, double amount, double& threshold)
{
    if (std::fabs(x) > threshold) {
        // The signed sample, not its magnitude: a negative peak leaves a
        // negative threshold, which every later sample exceeds.
        threshold = x - 0.25 * amount;
    }
    if (std::fabs(x) > threshold) {
        return x > 0.0 ? threshold : -threshold;
    }
    return x;
}
} // namespace

double DistortionEffect::ThresholdClip(double x, double amount) { return ClipAgainst(x, amount, clipThreshold); }

void DistortionEffect::ProcessAudioBlock(double** inputs, double** outputs, int frameCount)
{
    VectorPosition start;
    ContinueVector(inputs, outputs, frameCount, start);
}

void DistortionEffect::ContinueVector(double** inputs, double** outputs, int frameCount, VectorPosition& position)
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
    double threshold = clipThreshold;
    double lastL = lastOutput[0];
    double lastR = lastOutput[1];

    // A vector starts by holding its own first samples.
    const bool starting = position.frame <= 0;
    const int32_t first = starting ? 0 : position.frame;
    int32_t holdCounter = starting ? 0 : position.holdCounter;
    double heldL = starting ? inL[0] : position.heldL;
    double heldR = starting ? inR[0] : position.heldR;
    int32_t finePhase = first % fine; // frame index within the vector, mod fine

    auto channel = [&](double held, double dry, double last, bool scaled) {
        const double c = ClipAgainst(held, odd, threshold);
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
    clipThreshold = threshold;
    lastOutput[0] = lastL;
    lastOutput[1] = lastR;
    position.frame = first + frameCount;
    position.holdCounter = holdCounter;
    position.heldL = heldL;
    position.heldR = heldR;
}

void DistortionEffect::SetEditorBuilder(EditorBuilder builder) { editorBuilder = builder; }

void DistortionEffect::BuildEditor()
{
    if (editorBuilder == nullptr) {
        return;
    }
    std::unique_ptr<IPluginEditor> built = editorBuilder(*this);
    if (built) {
        AttachEditor(std::move(built));
    }
}
