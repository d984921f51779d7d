#include "standalone/IniFile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

TEST(IniFile, NamesMatchWithoutCaseAndFirstOccurrenceWins)
{
    IniFile ini;
    ini.Parse("; comment=1\n[Audio]\n  DRIVER  =  7  \nindev = my device \ndriver=3\n"
              "[audio]\nsr=96000\nindev=second\n[MIDI]\ninchan=\t4\n");
    EXPECT_EQ(ini.GetInt("audio", "driver", 99), 7u);
    EXPECT_EQ(ini.GetString("AUDIO", "InDev", "x"), "my device");
    // A key only in the second of two equal sections is not seen.
    EXPECT_FALSE(ini.HasKey("audio", "sr"));
    EXPECT_EQ(ini.GetString("audio", "sr", "44100"), "44100");
    EXPECT_EQ(ini.GetInt("midi", "inchan", 0), 4u);
    EXPECT_FALSE(ini.HasKey("midi", "comment"));
    EXPECT_FALSE(ini.HasKey("", "comment"));
}

TEST(IniFile, IntegersReadLikeTheProfileFunctions)
{
    IniFile ini;
    ini.Parse("[s]\na=abc\nb=-1\nc=70000\nd=12abc\ne= 7\nf=+5\ng=-\nh=\ni=99999999999\nj=0x10\nk=  -3  \n");
    EXPECT_EQ(ini.GetInt("s", "a", 42), 42u);
    EXPECT_EQ(static_cast<uint16_t>(ini.GetInt("s", "b", 42)), 65535);
    EXPECT_EQ(static_cast<uint16_t>(ini.GetInt("s", "c", 42)), 70000 % 65536);
    EXPECT_EQ(ini.GetInt("s", "d", 42), 12u);
    EXPECT_EQ(ini.GetInt("s", "e", 42), 7u);
    EXPECT_EQ(ini.GetInt("s", "f", 42), 5u);
    EXPECT_EQ(ini.GetInt("s", "g", 42), 42u);
    EXPECT_EQ(ini.GetInt("s", "h", 42), 42u);
    EXPECT_EQ(ini.GetInt("s", "i", 42), static_cast<uint32_t>(99999999999ull));
    EXPECT_EQ(ini.GetInt("s", "j", 42), 0u);
    EXPECT_EQ(ini.GetInt("s", "k", 42), static_cast<uint32_t>(-3));
    EXPECT_EQ(ini.GetInt("s", "missing", 42), 42u);
}

TEST(IniFile, HeaderWithoutClosingBracketOpensNoSection)
{
    IniFile ini;
    ini.Parse("[audio]\nin1=3\n[midi\nin2=9\n[midi]\ninchan=2");
    EXPECT_EQ(ini.GetInt("audio", "in2", 0), 9u);
    EXPECT_EQ(ini.GetInt("midi", "inchan", 0), 2u);
    ini.SetString("audio", "in2", "4");
    EXPECT_EQ(ini.Serialize(), "[audio]\nin1=3\n[midi\nin2=4\n[midi]\ninchan=2");
}

TEST(IniFile, UntouchedTextSurvivesByteForByte)
{
    std::mt19937 random(1234);
    const char alphabet[] = "[]=; \t\r\n\0abAB\x1a\xff\xc3\xa9";
    for (int round = 0; round < 200; ++round) {
        std::string text;
        size_t length = random() % 400;
        for (size_t i = 0; i < length; ++i) {
            text += (round % 2) ? static_cast<char>(random()) : alphabet[random() % (sizeof alphabet - 1)];
        }
        IniFile ini;
        ini.Parse(text);
        ASSERT_EQ(ini.Serialize(), text) << "round " << round;
        // Whatever it holds, a set key reads back and a second parse agrees.
        ini.SetString("audio", "driver", "1");
        EXPECT_EQ(ini.GetString("audio", "driver", ""), "1");
        IniFile again;
        again.Parse(ini.Serialize());
        EXPECT_EQ(again.GetString("audio", "driver", ""), "1") << "round " << round;
    }
}

TEST(IniFile, SettingKeysChangesOnlyTheirLines)
{
    IniFile ini;
    ini.Parse("; keep me\r\n[audio]\r\nforeign = x\r\ndriver = 7\r\n\r\n; midi follows\r\n[other]\r\nz=1");
    ini.SetString("audio", "driver", "1");
    ini.SetString("AUDIO", "sr", "48000");
    ini.SetString("midi", "indev", "port\nwith\r\nbreaks");
    EXPECT_EQ(ini.Serialize(), "; keep me\r\n[audio]\r\nforeign = x\r\ndriver = 1\r\nsr=48000\r\n\r\n"
                               "; midi follows\r\n[other]\r\nz=1\r\n\r\n[midi]\r\nindev=port with  breaks\r\n");

    IniFile empty;
    empty.SetString("audio", "driver", "0");
    empty.SetString("audio", "indev", "default");
    empty.SetString("midi", "indev", "off");
    EXPECT_EQ(empty.Serialize(), "[audio]\ndriver=0\nindev=default\n\n[midi]\nindev=off\n");

    IniFile noNewline;
    noNewline.Parse("[audio]\ndriver=2");
    noNewline.SetString("audio", "sr", "1");
    EXPECT_EQ(noNewline.Serialize(), "[audio]\ndriver=2\nsr=1\n");
}

TEST(IniFile, TenMegabyteLine)
{
    std::string text = "[audio]\nindev=" + std::string(10 * 1024 * 1024, 'q') + "\n";
    IniFile ini;
    ini.Parse(text);
    EXPECT_EQ(ini.GetString("audio", "indev", "").size(), 10u * 1024 * 1024);
    ini.SetString("audio", "driver", "1");
    EXPECT_EQ(ini.Serialize(), text + "driver=1\n");
}
