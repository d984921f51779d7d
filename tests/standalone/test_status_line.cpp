#include "standalone/DspLoadMeter.h"
#include "standalone/StatusLine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint64_t kMs = 1000000; // nanoseconds

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

StatusLine::Readings Running(uint32_t change, uint32_t rate = 44100, uint32_t frames = 512)
{
    StatusLine::Readings readings;
    readings.audio.state = AudioState::Running;
    readings.audio.driver = "JACK";
    readings.audio.device = "system";
    readings.audio.sampleRate = rate;
    readings.audio.bufferFrames = frames;
    readings.audio.change = change;
    readings.midi.input = MidiPortState::Off;
    readings.midi.output = MidiPortState::Off;
    return readings;
}

TEST(DspLoadMeter, ShareOfEachPeriodSmoothedOverLooks)
{
    DspLoadMeter meter;
    const double period = 0.010; // 10 ms per callback
    meter.Update(0, 0, period);
    EXPECT_FALSE(meter.Measured());
    // 100 callbacks of 10 ms, 2.5 ms of processing in each: a quarter.
    meter.Update(250 * kMs, 100, period);
    ASSERT_TRUE(meter.Measured());
    EXPECT_NEAR(meter.Load(), 0.25, 1e-9);
    // A jump to three quarters shows part of the way at once, all of it in time.
    meter.Update(250 * kMs + 750 * kMs, 200, period);
    EXPECT_GT(meter.Load(), 0.3);
    EXPECT_LT(meter.Load(), 0.7);
    uint64_t busy = 1000 * kMs;
    uint32_t ticks = 200;
    for (int i = 0; i < 30; ++i) {
        busy += 750 * kMs;
        ticks += 100;
        meter.Update(busy, ticks, period);
    }
    EXPECT_NEAR(meter.Load(), 0.75, 1e-3);
    // No callbacks since the last look (a stalled stream): the load stays.
    meter.Update(busy, ticks, period);
    EXPECT_NEAR(meter.Load(), 0.75, 1e-3);
    // Counters that wrap between two looks still give the right share.
    DspLoadMeter wrapped;
    wrapped.Update(0, 0xFFFFFFF0u, period);
    wrapped.Update(50 * kMs, 0x10u, period); // 32 callbacks
    EXPECT_NEAR(wrapped.Load(), 50.0 / 320.0, 1e-9);
    // A reset starts over from the next look.
    meter.Reset();
    EXPECT_FALSE(meter.Measured());
    meter.Update(busy, ticks, period);
    meter.Update(busy + 10 * kMs, ticks + 10, period);
    EXPECT_NEAR(meter.Load(), 0.1, 1e-9);
}

TEST(StatusLine, RunningShowsTheStreamItsLatencyLoadAndXruns)
{
    StatusLine line;
    StatusLine::Readings readings = Running(7);
    readings.xruns = 5; // from an earlier stream
    line.Update(readings);
    EXPECT_EQ(line.CurrentTone(), StatusLine::Tone::Playing);
    EXPECT_EQ(line.Text(), "JACK \u00b7 system \u00b7 44100 Hz \u00b7 512 frames (11.6 ms) \u00b7 0 xruns");

    readings.busyNanos = 58 * kMs; // 100 callbacks of 11.61 ms: 5 % of the time
    readings.callbackTicks = 100;
    readings.xruns = 6;
    line.Update(readings);
    EXPECT_TRUE(Has(line.Text(), "DSP load 5.0%")) << line.Text();
    EXPECT_TRUE(Has(line.Text(), "1 xrun")) << line.Text();
    EXPECT_FALSE(Has(line.Text(), "1 xruns")) << line.Text();

    // A new stream (another change) counts its own xruns and load afresh.
    StatusLine::Readings next = Running(9, 48000, 256);
    next.xruns = 6;
    next.busyNanos = 58 * kMs;
    next.callbackTicks = 100;
    line.Update(next);
    EXPECT_TRUE(Has(line.Text(), "48000 Hz \u00b7 256 frames (5.3 ms)")) << line.Text();
    EXPECT_TRUE(Has(line.Text(), "0 xruns")) << line.Text();
    EXPECT_FALSE(Has(line.Text(), "DSP")) << line.Text();
    next.busyNanos += 401 * kMs; // 800 callbacks of 5.33 ms: 9.4 %
    next.callbackTicks += 800;
    line.Update(next);
    EXPECT_TRUE(Has(line.Text(), "DSP load 9.4%")) << line.Text();

    // The latency through Snarlbox, and the name JACK gave on a clash.
    next.audio.latencyFrames = 1536; // 512 capture + 1024 playback at 48 kHz
    next.audio.clientName = "Snarlbox-01";
    line.Update(next);
    EXPECT_TRUE(Has(line.Text(), "JACK (Snarlbox-01) \u00b7 system")) << line.Text();
    EXPECT_TRUE(Has(line.Text(), "latency 32.0 ms \u00b7 0 xruns")) << line.Text();
}

TEST(StatusLine, WithoutSoundItSaysWhyAndWhetherItComesBack)
{
    struct Case {
        AudioState state;
        std::string detail;
        std::string words;
        StatusLine::Tone tone;
    };
    const Case cases[] = {
        {AudioState::ServerDown, "", "JACK server is not running", StatusLine::Tone::Waiting},
        {AudioState::UnknownDevice, "USB Box", "no device named \"USB Box\" (Preferences...)", StatusLine::Tone::Waiting},
        {AudioState::RateMismatch, "", "the server runs at 48000 Hz; Snarlbox is set to 44100 Hz",
         StatusLine::Tone::Waiting},
        {AudioState::BufferSizeChanged, "", "audio server changed its buffer size; restarting...",
         StatusLine::Tone::Waiting},
        {AudioState::Lost, "", "the audio server quit or the device went away", StatusLine::Tone::Waiting},
        {AudioState::Stalled, "", "restarting...", StatusLine::Tone::Waiting},
        {AudioState::StartFailed, "busy", "could not start (busy)", StatusLine::Tone::Waiting},
        {AudioState::BadSetting, "sample rate \"0\" is not between 1000 and 768000 Hz",
         "audio is off: sample rate \"0\" is not between 1000 and 768000 Hz (Preferences...)",
         StatusLine::Tone::Silent},
        {AudioState::NoDriver, "", "no JACK audio driver is available", StatusLine::Tone::Silent},
        {AudioState::Off, "", "audio is off (Preferences...)", StatusLine::Tone::Silent},
    };
    for (const Case& c : cases) {
        StatusLine line;
        StatusLine::Readings readings;
        readings.audio.state = c.state;
        readings.audio.detail = c.detail;
        readings.audio.driver = "JACK";
        readings.audio.sampleRate = 44100;
        readings.audio.serverRate = 48000;
        line.Update(readings);
        EXPECT_TRUE(Has(line.Text(), c.words)) << line.Text();
        EXPECT_EQ(line.CurrentTone(), c.tone) << line.Text();
        // Long enough words still fit a line under the editor.
        if (c.detail.size() < 10) {
            EXPECT_LE(line.Text().size(), 90u) << line.Text();
        }
    }
}

TEST(StatusLine, MidiStateOnlyForChosenPorts)
{
    StatusLine line;
    StatusLine::Readings readings = Running(1);
    readings.midi.input = MidiPortState::Open;
    readings.midi.output = MidiPortState::Off;
    line.Update(readings);
    EXPECT_FALSE(Has(line.Text(), "MIDI")) << line.Text();

    readings.midiInputChosen = true;
    line.Update(readings);
    EXPECT_TRUE(Has(line.Text(), "0 xruns \u00b7 MIDI in open")) << line.Text();

    readings.midiOutputChosen = true;
    readings.midi.output = MidiPortState::Absent;
    line.Update(readings);
    EXPECT_TRUE(Has(line.Text(), "MIDI in open, out absent")) << line.Text();

    readings.midiInputChosen = false;
    readings.midi.output = MidiPortState::Failed;
    line.Update(readings);
    EXPECT_TRUE(Has(line.Text(), "MIDI out failed")) << line.Text();
    EXPECT_FALSE(Has(line.Text(), "MIDI in")) << line.Text();

    // Without sound the MIDI state is still told, after the reason.
    readings.audio.state = AudioState::ServerDown;
    readings.midiInputChosen = true;
    readings.midi = MidiStatus{MidiPortState::NoMidi, MidiPortState::NoMidi, true};
    line.Update(readings);
    EXPECT_EQ(line.Text(), "JACK server is not running; audio starts when it does \u00b7 MIDI waiting for the "
                           "JACK server");
}

} // namespace
