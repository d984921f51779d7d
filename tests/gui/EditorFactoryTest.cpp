#include "effect/DistortionEffect.h"
#include "effect/EditorFactory.h"
#include "gui/IGraphicsHeadless.h"

#include <gtest/gtest.h>

namespace {
std::unique_ptr<IGraphics> MakeHeadless(IAudioPlugin* plug, int w, int h, int fps)
{
    return std::make_unique<IGraphicsHeadless>(plug, w, h, fps);
}
} // namespace

TEST(EditorFactory, EffectBuildsItsEditorOnlyThroughTheFactory)
{
    uint16_t channel = 0;
    SetEditorFactory(nullptr);
    {
        DistortionEffect bare(nullptr, &channel);
        EXPECT_EQ(bare.Editor(), nullptr);
    }
    SetEditorFactory(MakeHeadless);
    DistortionEffect effect(nullptr, &channel);
    SetEditorFactory(nullptr);
    auto* editor = dynamic_cast<IGraphics*>(effect.Editor());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->width, 655);
    EXPECT_EQ(editor->height, 175);
    EXPECT_EQ(editor->frameRate, 25);
    ASSERT_EQ(editor->controls.size(), 9u); // background, six knobs, the readout's name and value
    EXPECT_EQ(editor->controls[0]->paramIndex, -1);
    EXPECT_EQ(editor->controls[1]->paramIndex, DistortionEffect::CoarseDownsample);
    EXPECT_NE(editor->backBuffer, nullptr); // attached: the back buffer exists
}
