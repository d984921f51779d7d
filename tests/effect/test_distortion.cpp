#include "effect/DistortionEffect.h"
#include "tests/effect/ReferenceDistortion.h"
#include "tests/support/CallWaitsForTheBlock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {
struct Effect : ::testing::Test {
    DistortionEffect fx{nullptr, nullptr, false};

    // The sound state as a new effect has it.
    void ResetSound()
    {
        fx.clipThreshold = 0.85;
        fx.lastOutput[0] = fx.lastOutput[1] = 0.0;
    }

    void Set(int index, double value)
    {
        fx.parameters[static_cast<size_t>(index)]->value = value;
        fx.ParameterChanged(index);
    }
    // Runs one stereo block; the right channel gets the same input unless given.
    std::vector<double> Run(std::vector<double> left, std::vector<double>* rightOut = nullptr)
    {
        std::vector<double> right = left;
        std::vector<double> outL(left.size()), outR(left.size());
        double* in[2] = {left.data(), right.data()};
        double* out[2] = {outL.data(), outR.data()};
        fx.ProcessAudioBlock(in, out, static_cast<int>(left.size()));
        if (rightOut != nullptr) {
            *rightOut = outR;
        }
        return outL;
    }
};

std::string Display(IParameter& p)
{
    char t[32];
    p.DisplayText(t, sizeof t);
    return t;
}
} // namespace

TEST_F(Effect, ParameterTableAndDefaults)
{
    const double values[7] = {1.0, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0};
    const char* texts[7] = {"1.00", "1", "1.000", "1.000", "0", "0.000", "0.000"};
    const char* names[7] = {"Coarse Downsample", "Fine Downsample", "Wet Amount", "Gain", "", "Even Harmonics", "Odd Harmonics"};
    for (int i = 0; i < 7; ++i) {
        IParameter& p = *fx.parameters[static_cast<size_t>(i)];
        EXPECT_EQ(p.value, values[i]) << i;
        EXPECT_EQ(Display(p), texts[i]) << i;
        EXPECT_STREQ(p.name, names[i]);
        EXPECT_EQ(p.shape, i == 4 ? 1.0 : 2.0);
    }
    EXPECT_EQ(fx.parameters[1]->type, IParameter::TypeInteger);
    EXPECT_EQ(fx.parameters[0]->type, IParameter::TypeContinuous);
    EXPECT_EQ(fx.parameters[4]->type, IParameter::TypeUnset);
    EXPECT_DOUBLE_EQ(fx.parameters[0]->maximum, 327.68);
    EXPECT_TRUE(fx.presets[0]->initialized);
    EXPECT_STREQ(fx.presets[0]->presetName, "-");
}

TEST_F(Effect, StoredInfinitiesClampToTheRange)
{
    // Per parameter: (minimum, maximum) of the table above; +inf stores the
    // maximum, -inf the minimum (parameter 4 is unset: 0..1).
    const double minima[7] = {1.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    const double maxima[7] = {327.68, 15.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    const double inf = std::numeric_limits<double>::infinity();
    for (const double stored : {inf, -inf}) {
        ChunkBuffer chunk;
        ASSERT_TRUE(chunk.Resize(56));
        const double values[7] = {stored, stored, stored, stored, stored, stored, stored};
        std::memcpy(chunk.Bytes(), values, 56);
        EXPECT_EQ(fx.LoadStateFromChunk(chunk, 0), 56);
        for (int i = 0; i < 7; ++i) {
            EXPECT_DOUBLE_EQ(fx.parameters[static_cast<size_t>(i)]->value, stored > 0 ? maxima[i] : minima[i])
                << "parameter " << i << ", stored " << stored;
        }
    }
}

TEST_F(Effect, KnobPositionsGiveTheDocumentedValues)
{
    IParameter& coarse = *fx.parameters[0];
    coarse.SetFromNormalized(1.0);
    EXPECT_DOUBLE_EQ(coarse.value, 327.68);
    EXPECT_EQ(Display(coarse), "327.68");
    coarse.SetFromNormalized(0.5);
    EXPECT_EQ(Display(coarse), "82.67");
    coarse.SetFromNormalized(0.25);
    EXPECT_DOUBLE_EQ(coarse.value, 21.4175);
    EXPECT_EQ(Display(coarse), "21.42");
    IParameter& fine = *fx.parameters[1];
    fine.SetFromNormalized(0.75);
    EXPECT_EQ(fine.value, 9.0);
    fx.SetParameterFromEditor(1, 0.5);
    EXPECT_EQ(fine.value, 5.0);
    EXPECT_EQ(fx.fineFactor, 5);
}

TEST_F(Effect, PresetZeroGivesTheWorkingValues)
{
    fx.wetAmount = 0.3;
    fx.oddAmount = 0.3;
    fx.evenAmount = 1.0;
    ASSERT_TRUE(fx.LoadPresetSlot(0));
    EXPECT_EQ(fx.wetAmount, 1.0);
    EXPECT_EQ(fx.oddAmount, 0.0);
    EXPECT_EQ(fx.evenAmount, 0.0);
    EXPECT_EQ(fx.coarseFactor, 1.0);
    EXPECT_EQ(fx.fineFactor, 1);
    EXPECT_EQ(fx.gain, 1.0);
}

TEST_F(Effect, DefaultsPassTheInputThrough)
{
    fx.LoadPresetSlot(0);
    std::vector<double> in = {0.1, -0.4, 0.3, 0.99, -0.7, 0.0};
    EXPECT_EQ(Run(in), in);
}

TEST_F(Effect, CoarseHoldRestartsEveryBlock)
{
    fx.LoadPresetSlot(0);
    Set(0, 1.99);
    EXPECT_EQ(Run({0, 1, 2, 3}), (std::vector<double>{0, 1, 2, 3}));
    // Wet 1 and the cubic stage off: the output is the held sample.
    Set(0, 4.0);
    std::vector<double> ramp;
    for (int i = 0; i < 10; ++i) {
        ramp.push_back(i * 0.01);
    }
    std::vector<double> expected = {0, 0, 0, 0, 0.04, 0.04, 0.04, 0.04, 0.08, 0.08};
    EXPECT_EQ(Run(ramp), expected);
    EXPECT_EQ(Run({0.5, 0.6, 0.7}), (std::vector<double>{0.5, 0.5, 0.5}));
}

TEST_F(Effect, FinePatternScalesOffGridFramesPerBlock)
{
    fx.LoadPresetSlot(0);
    Set(1, 3.0);
    const double x = 0.3;
    const double scaled = (2 * x) / 3;
    EXPECT_EQ(Run({x, x, x, x}), (std::vector<double>{x, scaled, scaled, x}));
    EXPECT_EQ(Run({x, x}), (std::vector<double>{x, scaled}));
}

TEST_F(Effect, WetZeroAndGainZero)
{
    fx.LoadPresetSlot(0);
    Set(2, 0.0);
    Set(3, 0.5);
    Set(0, 50.0);
    Set(5, 0.7);
    Set(6, 0.7);
    EXPECT_EQ(Run({0.2, -0.9, 0.4}), (std::vector<double>{0.1, -0.45, 0.2}));
    Set(2, 1.0);
    Set(3, 0.0);
    for (double y : Run({0.2, -0.9, 0.4})) {
        EXPECT_EQ(y, 0.0);
    }
}

TEST_F(Effect, CubeAlternatesAgainstThePreviousOutput)
{
    fx.LoadPresetSlot(0);
    Set(5, 1.0);
    EXPECT_EQ(Run({0.5, 0.5, 0.5, 0.5}), (std::vector<double>{0.5, 0.125, 0.5, 0.125}));
    ResetSound();
    std::vector<double> rising = {0.1, 0.2, 0.3, 0.4};
    EXPECT_EQ(Run(rising), rising);
}

TEST_F(Effect, ClipperSharedThresholdGoesNegative)
{
    fx.LoadPresetSlot(0);
    Set(6, 1.0);
    std::vector<double> right;
    // Both channels carry the same sample; the left call moves the threshold first.
    std::vector<double> out = Run({0.9}, &right);
    EXPECT_DOUBLE_EQ(out[0], 0.65);
    EXPECT_DOUBLE_EQ(fx.clipThreshold, 0.65);
    // The right channel sees threshold 0.65 already: 0.9 exceeds it again.
    EXPECT_DOUBLE_EQ(right[0], 0.65);
    ResetSound();
    EXPECT_DOUBLE_EQ(fx.ThresholdClip(0.9, 1.0), 0.65);
    EXPECT_DOUBLE_EQ(fx.ThresholdClip(-0.9, 1.0), 1.15);
    EXPECT_DOUBLE_EQ(fx.clipThreshold, -1.15);
    // Below a negative threshold, positive samples come out lowered by 0.25 amount.
    EXPECT_DOUBLE_EQ(fx.ThresholdClip(0.1, 0.4), 0.0);
    EXPECT_DOUBLE_EQ(fx.ThresholdClip(0.5, 0.4), 0.4);
    EXPECT_DOUBLE_EQ(fx.clipThreshold, 0.4);
}

TEST_F(Effect, EmptyBlockChangesNothing)
{
    fx.LoadPresetSlot(0);
    Run({0.3});
    const double before = fx.lastOutput[0];
    double* none[2] = {nullptr, nullptr};
    fx.ProcessAudioBlock(none, none, 0);
    fx.ProcessAudioBlock(none, none, -5);
    EXPECT_EQ(fx.lastOutput[0], before);
}

TEST_F(Effect, InPlaceBuffersGiveTheSameResult)
{
    fx.LoadPresetSlot(0);
    Set(0, 3.0);
    Set(1, 2.0);
    Set(5, 0.5);
    Set(6, 0.5);
    Set(2, 0.7);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> l(64), r(64);
    for (size_t i = 0; i < 64; ++i) {
        l[i] = dist(rng);
        r[i] = dist(rng);
    }
    std::vector<double> ol(64), orr(64);
    double* in[2] = {l.data(), r.data()};
    double* out[2] = {ol.data(), orr.data()};
    fx.ProcessAudioBlock(in, out, 64);
    ResetSound();
    double* same[2] = {l.data(), r.data()};
    fx.ProcessAudioBlock(same, same, 64);
    EXPECT_EQ(l, ol);
    EXPECT_EQ(r, orr);
}

TEST_F(Effect, MatchesThePlainReferenceBitForBit)
{
    fx.LoadPresetSlot(0);
    ReferenceDistortion ref;
    ref.coarse = 4.0, ref.fine = 3, ref.even = 0.5, ref.odd = 0.5, ref.wet = 0.7, ref.gain = 0.8;
    Set(0, 4.0);
    Set(1, 3.0);
    Set(5, 0.5);
    Set(6, 0.5);
    Set(2, 0.7);
    Set(3, 0.8);
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> dist(-1.2, 1.2);
    for (int block : {1, 7, 32, 512, 100}) {
        std::vector<double> l(block), r(block), ol(block), orr(block), rl(block), rr(block);
        for (int i = 0; i < block; ++i) {
            l[static_cast<size_t>(i)] = dist(rng);
            r[static_cast<size_t>(i)] = dist(rng);
        }
        double* in[2] = {l.data(), r.data()};
        double* out[2] = {ol.data(), orr.data()};
        fx.ProcessAudioBlock(in, out, block);
        ref.Process(l.data(), r.data(), rl.data(), rr.data(), block);
        ASSERT_EQ(std::memcmp(ol.data(), rl.data(), sizeof(double) * l.size()), 0) << block;
        ASSERT_EQ(std::memcmp(orr.data(), rr.data(), sizeof(double) * l.size()), 0) << block;
        EXPECT_EQ(fx.clipThreshold, ref.clipThreshold);
    }
}

TEST_F(Effect, OutOfRangeWorkingValuesStaySafe)
{
    fx.LoadPresetSlot(0);
    fx.fineFactor = 0;
    fx.coarseFactor = -3.0;
    std::vector<double> in = {0.1, 0.2, 0.3};
    EXPECT_EQ(Run(in), in);
    fx.fineFactor = -4;
    fx.coarseFactor = std::nan("");
    EXPECT_EQ(Run(in), in);
    fx.parameters[1]->value = std::nan("");
    fx.ParameterChanged(1);
    EXPECT_EQ(fx.fineFactor, 1);
}

namespace {
// Every stage active, with a hold length that does not divide the 32-frame
// vector, so holds and frame patterns cross the pieces a host cuts.
void SetEveryStage(DistortionEffect& fx)
{
    const double values[7] = {5.5, 3.0, 0.7, 0.8, 0.0, 0.5, 0.5};
    for (int i = 0; i < 7; ++i) {
        fx.parameters[static_cast<size_t>(i)]->value = values[i];
        fx.ParameterChanged(i);
    }
}

std::vector<double> Noise(unsigned seed, size_t n)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-1.2, 1.2);
    std::vector<double> v(n);
    for (double& x : v) {
        x = dist(rng);
    }
    return v;
}
} // namespace

TEST(EffectVectors, PiecesOfVectorsSoundAsWholeVectors)
{
    const size_t total = 32 * 40 + 7;
    std::vector<double> l = Noise(1, total), r = Noise(2, total);
    DistortionEffect whole{nullptr, nullptr, false};
    DistortionEffect pieces{nullptr, nullptr, false};
    SetEveryStage(whole);
    SetEveryStage(pieces);

    std::vector<double> wl(total), wr(total);
    for (size_t at = 0; at < total; at += 32) {
        const int n = static_cast<int>(std::min<size_t>(32, total - at));
        double* in[2] = {l.data() + at, r.data() + at};
        double* out[2] = {wl.data() + at, wr.data() + at};
        whole.ProcessAudioBlock(in, out, n);
    }

    // The same vectors cut at random points, some pieces a single frame.
    std::vector<double> pl(total), pr(total);
    std::mt19937 rng(3);
    VectorPosition position;
    size_t at = 0;
    while (at < total) {
        const size_t vectorEnd = std::min(total, (at / 32 + 1) * 32);
        const size_t n = std::min<size_t>(vectorEnd - at, 1 + rng() % 9);
        double* in[2] = {l.data() + at, r.data() + at};
        double* out[2] = {pl.data() + at, pr.data() + at};
        pieces.ContinueVector(in, out, static_cast<int>(n), position);
        at += n;
        if (at == vectorEnd) {
            position = VectorPosition{};
        }
    }
    ASSERT_EQ(std::memcmp(pl.data(), wl.data(), sizeof(double) * total), 0);
    ASSERT_EQ(std::memcmp(pr.data(), wr.data(), sizeof(double) * total), 0);
    EXPECT_EQ(pieces.clipThreshold, whole.clipThreshold);
}

TEST(EffectVectors, ContinuingKeepsTheHoldAndFramePatternOfTheVector)
{
    DistortionEffect fx{nullptr, nullptr, false};
    fx.LoadPresetSlot(0);
    fx.parameters[0]->value = 3.0;
    fx.ParameterChanged(0);
    fx.parameters[1]->value = 2.0;
    fx.ParameterChanged(1);
    std::vector<double> in = {0.3, 0.2, 0.1, 0.4, 0.5};
    std::vector<double> out(5);
    VectorPosition position;
    for (size_t j = 0; j < in.size(); ++j) {
        double* i[2] = {&in[j], &in[j]};
        double* o[2] = {&out[j], &out[j]};
        fx.ContinueVector(i, o, 1, position);
    }
    // Held 0.3 for frames 0..2, then 0.4; odd frames scaled by 2/3.
    const double third = (2 * 0.3) / 3, fourth = (2 * 0.4) / 3;
    EXPECT_EQ(out, (std::vector<double>{0.3, third, 0.3, fourth, 0.4}));
    EXPECT_EQ(position.frame, 5);
    EXPECT_EQ(position.holdCounter, 2);
}

TEST(EffectVectors, TwoEffectsKeepTheirOwnSoundState)
{
    // A negative peak through the clipper drives one effect's threshold
    // negative; the other must sound as if it were alone.
    DistortionEffect loud{nullptr, nullptr, false};
    DistortionEffect quiet{nullptr, nullptr, false};
    SetEveryStage(loud);
    SetEveryStage(quiet);
    ReferenceDistortion ref;
    ref.coarse = 5.5, ref.fine = 3, ref.wet = 0.7, ref.gain = 0.8, ref.even = 0.5, ref.odd = 0.5;
    std::vector<double> peaks(32, -1.0);
    std::vector<double> l = Noise(5, 320), r = Noise(6, 320);
    for (size_t at = 0; at < 320; at += 32) {
        std::vector<double> junk(32);
        double* loudIn[2] = {peaks.data(), peaks.data()};
        double* loudOut[2] = {junk.data(), junk.data()};
        loud.ProcessAudioBlock(loudIn, loudOut, 32);

        std::vector<double> ol(32), orr(32), rl(32), rr(32);
        double* in[2] = {l.data() + at, r.data() + at};
        double* out[2] = {ol.data(), orr.data()};
        quiet.ProcessAudioBlock(in, out, 32);
        ref.Process(l.data() + at, r.data() + at, rl.data(), rr.data(), 32);
        ASSERT_EQ(ol, rl) << at;
        ASSERT_EQ(orr, rr) << at;
    }
    EXPECT_LT(loud.clipThreshold, 0.0);
    EXPECT_EQ(quiet.clipThreshold, ref.clipThreshold);
}

namespace {
double WorkingValue(const DistortionEffect& fx, int index)
{
    switch (index) {
    case DistortionEffect::CoarseDownsample: return fx.coarseFactor;
    case DistortionEffect::FineDownsample: return fx.fineFactor;
    case DistortionEffect::WetAmount: return fx.wetAmount;
    case DistortionEffect::Gain: return fx.gain;
    case DistortionEffect::EvenHarmonics: return fx.evenAmount;
    default: return fx.oddAmount;
    }
}
} // namespace

// A knob's change reaches the working values only between blocks: while a
// block holds the lock, ParameterChanged waits and the working values stay.
TEST(EffectThreads, ParameterChangedWaitsForTheBlock)
{
    DistortionEffect fx{nullptr, nullptr, false};
    for (int index : {0, 1, 2, 3, 5, 6}) {
        double value = 1.0;
        auto change = [&] {
            value = value == 1.0 ? 3.0 : 1.0; // a value the working value does not hold yet
            fx.parameters[static_cast<size_t>(index)]->value = value;
            fx.ParameterChanged(index);
        };
        auto working = [&] { return WorkingValue(fx, index); };
        EXPECT_TRUE(CallWaitsForTheBlock(fx, change, working)) << "parameter " << index;
    }
}
