#include "core/IParameter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {
std::string Display(const IParameter& p)
{
    char text[32];
    p.DisplayText(text, sizeof text);
    return text;
}
} // namespace

TEST(Parameter, FreshParameterRoundsToItsStep)
{
    IParameter p;
    EXPECT_EQ(p.type, IParameter::TypeUnset);
    EXPECT_EQ(p.minimum, 0.0);
    EXPECT_EQ(p.maximum, 1.0);
    EXPECT_EQ(p.step, 1.0);
    EXPECT_EQ(p.shape, 1.0);
    EXPECT_EQ(Display(p), "0");
    p.SetFromNormalized(0.6);
    EXPECT_EQ(p.value, 1.0);
    EXPECT_EQ(Display(p), "1");
}

TEST(Parameter, ConfigureRaisesMaximumAndDerivesPrecision)
{
    IParameter p;
    p.ConfigureDouble("Coarse", 1.0, 1.0, 2.0, 2.56);
    EXPECT_DOUBLE_EQ(p.maximum, 3.56);
    EXPECT_EQ(p.displayPrecision, 2);
    EXPECT_EQ(p.type, IParameter::TypeContinuous);
    EXPECT_EQ(p.value, 1.0);
    EXPECT_EQ(p.defaultValue, 1.0);

    IParameter q;
    q.ConfigureDouble("Wet", 1.0, 0.0, 1.0, 0.025);
    EXPECT_EQ(q.displayPrecision, 3);
    IParameter r;
    r.type = IParameter::TypeInteger;
    r.ConfigureDouble("Fine", 1.0, 1.0, 15.0, 1.0);
    EXPECT_EQ(r.displayPrecision, 0);
    EXPECT_EQ(r.type, IParameter::TypeInteger); // a type set before is kept
}

TEST(Parameter, NameIsCutToThirtyOneCharacters)
{
    IParameter p;
    p.ConfigureDouble("0123456789012345678901234567890123456789", 0.0, 0.0, 1.0, 1.0);
    EXPECT_EQ(std::string(p.name), "0123456789012345678901234567890");
}

TEST(Parameter, ShapeTwoMappingAndInverse)
{
    IParameter p;
    p.shape = 2.0;
    p.ConfigureDouble("Wet", 1.0, 0.0, 1.0, 0.025);
    p.SetFromNormalized(0.5);
    EXPECT_DOUBLE_EQ(p.value, 0.25);
    EXPECT_DOUBLE_EQ(p.ToNormalized(0.25), 0.5);
    EXPECT_DOUBLE_EQ(p.ToNormalized(1.5), 1.0);
    EXPECT_DOUBLE_EQ(p.ToNormalized(-1.0), 0.0);
    p.SetFromNormalized(1.7);
    EXPECT_EQ(p.value, 1.0);
}

TEST(Parameter, IntegerParameterRoundsAndCaps)
{
    IParameter p;
    p.type = IParameter::TypeInteger;
    p.shape = 2.0;
    p.ConfigureDouble("Fine", 1.0, 1.0, 15.0, 1.0);
    p.SetFromNormalized(0.5);
    EXPECT_EQ(p.value, 5.0);
    p.SetFromNormalized(1.2);
    EXPECT_EQ(p.value, 15.0);
}

TEST(Parameter, DisplayTextsAndNegation)
{
    IParameter p;
    p.ConfigureDouble("x", 0.25, -5.0, 5.0, 0.001);
    p.negateDisplay = true;
    EXPECT_EQ(Display(p), "-0.250");

    IParameter q;
    q.ConfigureDouble("y", 0.0, -5.0, 5.0, 0.5);
    q.AddDisplayText(0, "zero");
    q.AddDisplayText(2, "two");
    q.AddDisplayText(3, "");
    for (double v : {2.0, 2.5, 2.999}) {
        q.value = v;
        EXPECT_EQ(Display(q), "two") << v;
    }
    q.value = -0.5; // truncates to 0
    EXPECT_EQ(Display(q), "zero");
    q.value = 3.0; // empty text falls back to the number
    EXPECT_EQ(Display(q), "3.0");
    q.value = 7.9;
    q.displayPrecision = 0;
    EXPECT_EQ(Display(q), "7");
}

TEST(Parameter, NonFiniteValuesDisplayWithoutUndefinedConversion)
{
    IParameter p;
    p.value = std::nan("");
    EXPECT_FALSE(Display(p).empty());
    p.value = 1e300;
    EXPECT_EQ(Display(p), "2147483647");
}
