// The UI side's parameters: what the editor writes to the ports and what
// port values from the host do to the knobs. No display needed.

#include "lv2/Lv2Interface.h"
#include "lv2/ui/Lv2UiPlugin.h"
#include "tests/core/TestEditor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

struct Recorder {
    struct Write {
        uint32_t port;
        float value;
    };
    std::vector<Write> writes;
    std::vector<std::pair<uint32_t, bool>> touches;
    LV2UI_Touch touch{this, [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
                          static_cast<Recorder*>(h)->touches.push_back({port, grabbed});
                      }};

    static void WriteTo(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        ASSERT_EQ(size, sizeof(float));
        ASSERT_EQ(format, 0u);
        float v = 0.0f;
        std::memcpy(&v, buffer, sizeof v);
        static_cast<Recorder*>(const_cast<void*>(c))->writes.push_back({port, v});
    }
};

struct UiSide {
    Recorder host;
    Lv2UiPlugin plug{&Recorder::WriteTo, &host, &host.touch};
    TestEditor* editor = nullptr;

    UiSide()
    {
        auto made = std::make_unique<TestEditor>();
        editor = made.get();
        plug.AttachEditor(std::move(made));
        editor->calls.clear();
    }
};

} // namespace

TEST(Lv2UiPlugin, AKnobWritesItsPortWithThePlainValueTheBaseSets)
{
    UiSide ui;
    for (const Lv2Interface::ControlPort& port : Lv2Interface::kControlPorts) {
        ui.host.writes.clear();
        ui.plug.SetParameterFromEditor(port.paramIndex, 0.5);
        ASSERT_EQ(ui.host.writes.size(), 1u) << port.symbol;
        EXPECT_EQ(ui.host.writes[0].port, port.index) << port.symbol;
        EXPECT_EQ(ui.host.writes[0].value, static_cast<float>(ui.plug.ParameterAt(port.paramIndex)->value))
            << port.symbol;
    }
    // Half way on the squared shape: 1 + 326.68 / 4; Fine rounds to its step.
    EXPECT_FLOAT_EQ(ui.plug.ParameterAt(0)->value, 82.67);
    EXPECT_EQ(ui.plug.ParameterAt(1)->value, 5.0);

    // Parameter 4 has no port: nothing is written.
    ui.host.writes.clear();
    ui.plug.SetParameterFromEditor(4, 0.5);
    EXPECT_TRUE(ui.host.writes.empty());
}

TEST(Lv2UiPlugin, PortValuesMoveTheKnobsMadeSafeLikeAStoredState)
{
    UiSide ui;
    const uint32_t coarse = Lv2Interface::kFirstControl + 0;
    const uint32_t wet = Lv2Interface::kFirstControl + 2;
    ui.plug.TakePortValue(coarse, 327.68f);
    ui.plug.TakePortValue(wet, 5.0f);                                    // above the range
    ui.plug.TakePortValue(wet + 1, std::numeric_limits<float>::quiet_NaN()); // gain: NaN is the default, 1
    ui.plug.TakePortValue(Lv2Interface::kOutputLeft, 0.5f);             // not a control port
    ui.plug.TakePortValue(Lv2Interface::kPortCount, 0.5f);
    EXPECT_EQ(ui.editor->calls, (std::vector<std::string>{"show 0 327.68 plain"}))
        << "a clamped wet of 1 and a NaN gain are the values they already have";
    EXPECT_FLOAT_EQ(ui.plug.ParameterAt(0)->value, 327.68);
    EXPECT_DOUBLE_EQ(ui.plug.coarseFactor, ui.plug.ParameterAt(0)->value);

    ui.plug.TakePortValue(wet, -3.0f);
    ASSERT_EQ(ui.editor->calls.size(), 2u);
    EXPECT_EQ(ui.editor->calls[1], "show 2 0 plain");
    EXPECT_TRUE(ui.host.writes.empty()) << "a value from the host is never sent back";
}

TEST(Lv2UiPlugin, TheEchoOfAWriteLeavesTheKnobWhereTheHandPutIt)
{
    UiSide ui;
    const uint32_t fine = Lv2Interface::kFirstControl + 1;
    // Fine is an integer: the knob sits between steps while the port gets the step.
    ui.plug.SetParameterFromEditor(1, 0.61);
    ASSERT_EQ(ui.host.writes.size(), 1u);
    ui.editor->calls.clear();
    ui.plug.TakePortValue(fine, ui.host.writes[0].value);
    EXPECT_TRUE(ui.editor->calls.empty());
    ui.plug.TakePortValue(fine, ui.host.writes[0].value + 1.0f);
    EXPECT_EQ(ui.editor->calls.size(), 1u);
}

TEST(Lv2UiPlugin, WhileAKnobIsHeldTheHostIsToldAndItsValuesWait)
{
    UiSide ui;
    const uint32_t gain = Lv2Interface::kFirstControl + 3;
    ui.plug.BeginParameterGesture(3);
    ui.plug.TakePortValue(gain, 0.25f);
    EXPECT_TRUE(ui.editor->calls.empty());
    EXPECT_EQ(ui.plug.ParameterAt(3)->value, 1.0);
    ui.plug.EndParameterGesture(3);
    ui.plug.TakePortValue(gain, 0.25f);
    EXPECT_EQ(ui.editor->calls, (std::vector<std::string>{"show 3 0.25 plain"}));
    EXPECT_EQ(ui.host.touches, (std::vector<std::pair<uint32_t, bool>>{{gain, true}, {gain, false}}));

    // No port, no touch; a host without ui:touch or a write function is fine.
    ui.plug.BeginParameterGesture(4);
    ui.plug.EndParameterGesture(4);
    EXPECT_EQ(ui.host.touches.size(), 2u);
    Lv2UiPlugin bare(nullptr, nullptr, nullptr);
    bare.BeginParameterGesture(0);
    bare.SetParameterFromEditor(0, 1.0);
    bare.EndParameterGesture(0);
    EXPECT_EQ(bare.ParameterAt(0)->value, 327.68);
}
