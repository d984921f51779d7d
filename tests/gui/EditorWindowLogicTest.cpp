#include "core/IParameter.h"
#include "gui/EditorWindowLogic.h"

#include <gtest/gtest.h>

TEST(WindowWheel, NotchesTruncateTowardZero)
{
    EXPECT_EQ(WheelAccumulator::StepsFromUnits(120), 1);
    EXPECT_EQ(WheelAccumulator::StepsFromUnits(-240), -2);
    EXPECT_EQ(WheelAccumulator::StepsFromUnits(60), 0);
    EXPECT_EQ(WheelAccumulator::StepsFromUnits(-119), 0);
}

TEST(WindowWheel, SmoothDeltasAddUpToNotchesKeepingTheRest)
{
    WheelAccumulator wheel;
    // Downward half notches: nothing, then one step down.
    EXPECT_EQ(wheel.AddSmoothDelta(0.5), 0);
    EXPECT_EQ(wheel.AddSmoothDelta(0.5), -1);
    EXPECT_NEAR(wheel.PendingUnits(), 0.0, 1e-9);
    // Upward 0.3 notches: the fourth completes one, 24 units remain.
    int steps = 0;
    for (int i = 0; i < 4; ++i) {
        steps += wheel.AddSmoothDelta(-0.3);
    }
    EXPECT_EQ(steps, 1);
    EXPECT_NEAR(wheel.PendingUnits(), 24.0, 1e-9);
    // A reversal uses up the remainder before counting the other way.
    EXPECT_EQ(wheel.AddSmoothDelta(1.0), 0);
    EXPECT_NEAR(wheel.PendingUnits(), -96.0, 1e-9);
    EXPECT_EQ(wheel.AddSmoothDelta(2.5), -3);
    EXPECT_EQ(wheel.AddSmoothDelta(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(WindowKeys, MapsSpaceArrowsDigitsAndLettersOnly)
{
    EXPECT_EQ(EditorKeyFromKeyval(' '), KeySpace);
    EXPECT_EQ(EditorKeyFromKeyval(0xff52), KeyUp);
    EXPECT_EQ(EditorKeyFromKeyval(0xff54), KeyDown);
    EXPECT_EQ(EditorKeyFromKeyval(0xff51), KeyLeft);
    EXPECT_EQ(EditorKeyFromKeyval(0xff53), KeyRight);
    for (int d = 0; d < 10; ++d) {
        EXPECT_EQ(EditorKeyFromKeyval('0' + d), KeyDigit0 + d);
    }
    for (int l = 0; l < 26; ++l) {
        EXPECT_EQ(EditorKeyFromKeyval('a' + l), KeyLetterA + l);
        EXPECT_EQ(EditorKeyFromKeyval('A' + l), KeyLetterA + l);
    }
    // F1, Tab, keypad 1 and Return go on to the top-level window.
    for (uint32_t keyval : {0xffbeu, 0xff09u, 0xffb1u, 0xff0du, 0x21u, 0x7bu}) {
        EXPECT_EQ(EditorKeyFromKeyval(keyval), KeyNone) << std::hex << keyval;
    }
}

TEST(WindowKeys, ShiftedDigitsCountWhereThePlainLevelHasNone)
{
    EXPECT_EQ(EditorKeyFromLevels('1', '!'), KeyDigit0 + 1); // QWERTY
    EXPECT_EQ(EditorKeyFromLevels('&', '1'), KeyDigit0 + 1); // AZERTY
    EXPECT_EQ(EditorKeyFromLevels(0xe9, '2'), KeyDigit0 + 2); // AZERTY e acute
    EXPECT_EQ(EditorKeyFromLevels('a', 'A'), KeyLetterA);
    EXPECT_EQ(EditorKeyFromLevels(';', ':'), KeyNone);
    EXPECT_EQ(EditorKeyFromLevels(0xffbe, 0xffbe), KeyNone); // F1
}

TEST(WindowEntry, TimerAndPressDecisionsFollowTheState)
{
    EXPECT_EQ(DecideEntryTick(false, EntryCommit), EntryTickAction::CheckRedraw);
    EXPECT_EQ(DecideEntryTick(true, EntryNone), EntryTickAction::CheckRedraw);
    EXPECT_EQ(DecideEntryTick(true, EntryEditing), EntryTickAction::Ignore);
    EXPECT_EQ(DecideEntryTick(true, EntryUpdate), EntryTickAction::ResetState);
    EXPECT_EQ(DecideEntryTick(true, EntryCancel), EntryTickAction::Cancel);
    EXPECT_EQ(DecideEntryTick(true, EntryCommit), EntryTickAction::Commit);
    EXPECT_TRUE(EntryFieldIsEditing(true, EntryEditing));
    EXPECT_FALSE(EntryFieldIsEditing(true, EntryUpdate));
    EXPECT_FALSE(EntryFieldIsEditing(true, EntryCancel));
    EXPECT_FALSE(EntryFieldIsEditing(false, EntryEditing));
    EXPECT_EQ(RedrawPeriodMs(25), 40);
    EXPECT_EQ(RedrawPeriodMs(30), 33);
    EXPECT_EQ(RedrawPeriodMs(0), 0);
}

TEST(WindowEntry, CommitParsesNumbersAndDisplayTexts)
{
    IParameter continuous;
    continuous.type = IParameter::TypeContinuous;
    EXPECT_DOUBLE_EQ(ParseEnteredValue("12.5", continuous), 12.5);
    EXPECT_DOUBLE_EQ(ParseEnteredValue("-3x", continuous), -3.0);
    EXPECT_DOUBLE_EQ(ParseEnteredValue("abc", continuous), 0.0);
    EXPECT_DOUBLE_EQ(ParseEnteredValue("", continuous), 0.0);
    EXPECT_DOUBLE_EQ(ParseEnteredValue("inf", continuous), 0.0);
    continuous.negateDisplay = true;
    EXPECT_DOUBLE_EQ(ParseEnteredValue("12.5", continuous), -12.5);

    IParameter choice;
    choice.type = IParameter::TypeChoice;
    choice.AddDisplayText(0, "Off");
    choice.AddDisplayText(2, "Fast");
    choice.negateDisplay = true; // not applied to texts
    EXPECT_DOUBLE_EQ(ParseEnteredValue("Fast", choice), 2.0);
    EXPECT_DOUBLE_EQ(ParseEnteredValue("fast", choice), 0.0);
    EXPECT_DOUBLE_EQ(ParseEnteredValue("2", choice), 0.0);
    IParameter toggle;
    toggle.type = IParameter::TypeToggle;
    EXPECT_DOUBLE_EQ(ParseEnteredValue("1", toggle), 0.0);
}

TEST(WindowEntry, CharacterFilterByParameterType)
{
    IParameter p;
    auto accepts = [&](int type, const char* chars) {
        p.type = type;
        for (const char* c = chars; *c; ++c) {
            if (!AcceptEntryCharacter(static_cast<unsigned char>(*c), &p)) {
                return false;
            }
        }
        return true;
    };
    for (int type : {IParameter::TypeToggle, IParameter::TypeInteger, IParameter::TypeChoice}) {
        EXPECT_TRUE(accepts(type, "+-0123456789\b"));
        EXPECT_FALSE(accepts(type, "."));
        EXPECT_FALSE(accepts(type, "a"));
    }
    EXPECT_TRUE(accepts(IParameter::TypeContinuous, "+-.0123456789\b"));
    EXPECT_FALSE(accepts(IParameter::TypeContinuous, "e"));
    EXPECT_TRUE(accepts(IParameter::TypeUnset, "any text."));
    EXPECT_TRUE(AcceptEntryCharacter('x', nullptr));
    p.type = IParameter::TypeContinuous;
    EXPECT_FALSE(AcceptEntryCharacter(0x00e9, &p)); // no letters beyond ASCII either
}

TEST(WindowEntry, ReadBackTextIsCutWithoutSplittingCharacters)
{
    EXPECT_EQ(LimitEntryText(nullptr), "");
    EXPECT_EQ(LimitEntryText("12.5"), "12.5");
    std::string longAscii(40, '7');
    EXPECT_EQ(LimitEntryText(longAscii.c_str()), std::string(31, '7'));
    std::string wide = std::string(30, 'a') + "\xc3\xa9" + "zz"; // e-acute at bytes 30..31
    EXPECT_EQ(LimitEntryText(wide.c_str()), std::string(30, 'a'));
}

TEST(WindowPaths, DirectoryKeepsTheLastSlash)
{
    EXPECT_EQ(DirectoryOfPath("/usr/lib/snarlbox/snarlbox"), "/usr/lib/snarlbox/");
    EXPECT_EQ(DirectoryOfPath("/snarlbox"), "/");
    EXPECT_EQ(DirectoryOfPath("snarlbox"), "");
    EXPECT_EQ(DirectoryOfPath(""), "");
    EXPECT_EQ(DirectoryOfPath("/"), "");
}

TEST(WindowPaths, FileFilterFromExtensionList)
{
    std::string pattern;
    std::string ext;
    ASSERT_TRUE(BuildFileFilter("png jpg", pattern, ext));
    EXPECT_EQ(pattern, "*.png;*.jpg");
    EXPECT_EQ(ext, "png");
    ASSERT_TRUE(BuildFileFilter("fxp", pattern, ext));
    EXPECT_EQ(pattern, "*.fxp");
    EXPECT_FALSE(BuildFileFilter("", pattern, ext));
    EXPECT_FALSE(BuildFileFilter(nullptr, pattern, ext));
    EXPECT_FALSE(BuildFileFilter(std::string(16, 'x').c_str(), pattern, ext));
    std::string many;
    for (int i = 0; i < 30; ++i) {
        many += "abc ";
    }
    EXPECT_FALSE(BuildFileFilter(many.c_str(), pattern, ext)); // 30 * 6 - 1 > 126
    EXPECT_TRUE(pattern.empty());
}

TEST(WindowMessageBox, ButtonsGiveTheirResults)
{
    EXPECT_EQ(MessageBoxResult(MessageBoxOk, MessageBoxChoice::Ok), ResultOk);
    EXPECT_EQ(MessageBoxResult(MessageBoxOkCancel, MessageBoxChoice::Cancel), ResultCancel);
    EXPECT_EQ(MessageBoxResult(MessageBoxYesNo, MessageBoxChoice::Yes), ResultYes);
    EXPECT_EQ(MessageBoxResult(MessageBoxYesNoCancel, MessageBoxChoice::No), ResultNo);
    // Closing the box is Cancel where there is one, else No, else OK.
    EXPECT_EQ(MessageBoxResult(MessageBoxYesNoCancel, MessageBoxChoice::Closed), ResultCancel);
    EXPECT_EQ(MessageBoxResult(MessageBoxOkCancel, MessageBoxChoice::Closed), ResultCancel);
    EXPECT_EQ(MessageBoxResult(MessageBoxYesNo, MessageBoxChoice::Closed), ResultNo);
    EXPECT_EQ(MessageBoxResult(MessageBoxOk, MessageBoxChoice::Closed), ResultOk);
    EXPECT_EQ(MessageBoxButtonSet(0x30 | MessageBoxYesNo), MessageBoxYesNo); // icon bits ignored
    EXPECT_EQ(MessageBoxButtonSet(5), MessageBoxOk);
}
