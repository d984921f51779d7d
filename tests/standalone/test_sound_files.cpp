#include "tests/support/ScratchFolder.h"
#include "effect/DistortionEffect.h"
#include "standalone/ApplySound.h"
#include "standalone/SoundFiles.h"
#include "standalone/SoundLibrary.h"
#include "tests/support/FileText.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const char* const kPrefixes = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n";

// A preset as a host writes it: <> in its own file, the manifest beside it.
std::string PresetText(const std::string& plugin, const std::string& ports, const std::string& label = "Found")
{
    return std::string(kPrefixes) + "<> a pset:Preset ;\n  lv2:appliesTo <" + plugin + "> ;\n  rdfs:label \"" + label +
           "\" ;\n  lv2:port " + ports + " .\n";
}
std::string Port(const std::string& symbol, const std::string& value)
{
    return "[ lv2:symbol \"" + symbol + "\" ; pset:value " + value + " ]";
}
const std::string kAllPorts = Port("coarse", "\"7.5\"^^xsd:float") + ", " + Port("fine", "3") + ", " +
                              Port("wet", "0.25") + ", " + Port("gain", "5.0e-1") + ", " + Port("even", "0.125") +
                              ", " + Port("odd", "1.0") + ", " + Port("enabled", "1.0");

// Each test's own folder of bundles, gone afterwards.
class SoundFilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder.empty()); }

    // A bundle of one preset file, with a manifest naming it.
    fs::path Bundle(const std::string& name, const std::string& presetText)
    {
        const fs::path bundle = folder / (name + ".lv2");
        fs::create_directories(bundle);
        Spill(bundle / "manifest.ttl", std::string(kPrefixes) +
                                           "<preset.ttl> a pset:Preset ;\n  rdfs:seeAlso <preset.ttl> .\n");
        Spill(bundle / "preset.ttl", presetText);
        return bundle;
    }

    static Sound Sentinel()
    {
        Sound s;
        s.name = "before";
        s.values.fill(42.0);
        return s;
    }

    const ScratchFolder scratch{"snarlbox-sounds"};
    const fs::path folder = scratch.path;
};

TEST_F(SoundFilesTest, RoundTripIsExactAndHostsReadTheSameValues)
{
    struct Case {
        const char* name;
        std::array<double, 7> values;
    };
    const Case cases[] = {
        {"Plain", {1.0, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0}},
        {"Extremes \"quoted\" \\ back", {327.68, 15.0, 0.0, 1.0, 0.0, 1.0, 0.0}},
        {"Thirds ünïcode", {1.0 + 1.0 / 3.0, 7.0, 0.1 + 0.2, 2.0 / 3.0, 0.0, 1e-7, 0.999999999999}},
        {"Only three", {kNaN, 4.0, kNaN, 0.5, 0.0, kNaN, 0.75}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sound written{c.name, c.values};
        const std::string bundle = (folder / (std::string(c.name).substr(0, 5) + ".lv2")).string();
        std::string error;
        ASSERT_TRUE(WriteSound(bundle, written, error)) << error;
        Sound read = Sentinel();
        ASSERT_TRUE(ReadSound(bundle, read, error)) << error;
        EXPECT_EQ(error, "");
        EXPECT_EQ(read.name, c.name);
        for (size_t i = 0; i < 7; ++i) {
            if (i == 4) {
                continue;
            }
            if (std::isnan(c.values[i])) {
                EXPECT_TRUE(std::isnan(read.values[i])) << i;
            } else {
                EXPECT_EQ(read.values[i], c.values[i]) << i;
            }
        }

        // lilv, as every host uses it, finds the preset and its values.
        LilvWorld* world = lilv_world_new();
        LilvNode* bundleUri = lilv_new_file_uri(world, nullptr, (bundle + "/").c_str());
        lilv_world_load_bundle(world, bundleUri);
        LilvNode* type = lilv_new_uri(world, "http://www.w3.org/1999/02/22-rdf-syntax-ns#type");
        LilvNode* presetClass = lilv_new_uri(world, "http://lv2plug.in/ns/ext/presets#Preset");
        LilvNodes* presets = lilv_world_find_nodes(world, nullptr, type, presetClass);
        ASSERT_EQ(lilv_nodes_size(presets), 1u);
        const LilvNode* preset = lilv_nodes_get_first(presets);
        lilv_world_load_resource(world, preset);
        LilvNode* portKey = lilv_new_uri(world, "http://lv2plug.in/ns/lv2core#port");
        LilvNode* symbolKey = lilv_new_uri(world, "http://lv2plug.in/ns/lv2core#symbol");
        LilvNode* valueKey = lilv_new_uri(world, "http://lv2plug.in/ns/ext/presets#value");
        LilvNodes* ports = lilv_world_find_nodes(world, preset, portKey, nullptr);
        const std::vector<std::pair<const char*, size_t>> symbols = {{"coarse", 0}, {"fine", 1}, {"wet", 2},
                                                                     {"gain", 3},   {"even", 5}, {"odd", 6}};
        size_t seen = 0;
        LILV_FOREACH (nodes, i, ports) {
            LilvNode* symbol = lilv_world_get(world, lilv_nodes_get(ports, i), symbolKey, nullptr);
            LilvNode* value = lilv_world_get(world, lilv_nodes_get(ports, i), valueKey, nullptr);
            for (const auto& [name, index] : symbols) {
                if (std::string(lilv_node_as_string(symbol)) == name) {
                    EXPECT_EQ(lilv_node_as_float(value), static_cast<float>(c.values[index])) << name;
                    ++seen;
                }
            }
            lilv_node_free(symbol);
            lilv_node_free(value);
        }
        size_t expected = 0;
        for (const auto& entry : symbols) {
            expected += std::isnan(c.values[entry.second]) ? 0 : 1;
        }
        EXPECT_EQ(seen, expected);
        lilv_nodes_free(ports);
        lilv_nodes_free(presets);
        for (LilvNode* node : {bundleUri, type, presetClass, portKey, symbolKey, valueKey}) {
            lilv_node_free(node);
        }
        lilv_world_free(world);
    }
}

TEST_F(SoundFilesTest, HostPresetsReadWithClampsDefaultsAndSkips)
{
    struct Case {
        const char* what;
        std::string ports;
        std::array<double, 7> expected; // NaN: not in the file
        const char* note;                // in the error text; "" for none
    };
    const Case cases[] = {
        {"every port, the bypass switch ignored", kAllPorts, {7.5, 3.0, 0.25, 0.5, 0.0, 0.125, 1.0}, ""},
        {"out of range", Port("coarse", "500.0") + ", " + Port("wet", "-0.5"),
         {327.68, kNaN, 0.0, kNaN, 0.0, kNaN, kNaN}, "coarse 500 is outside 1..327.68; it takes 327.68"},
        {"NaN takes the default", Port("gain", "\"NaN\"^^xsd:double") + ", " + Port("fine", "2"),
         {kNaN, 2.0, kNaN, 1.0, 0.0, kNaN, kNaN}, "gain is NaN; it takes its default 1"},
        {"infinities clamp to the range", Port("odd", "\"INF\"^^xsd:double") + ", " + Port("coarse", "\"-INF\"^^xsd:double"),
         {1.0, kNaN, kNaN, kNaN, 0.0, kNaN, 1.0}, "odd inf is outside 0..1; it takes 1"},
        {"unknown symbol", Port("drive", "0.3") + ", " + Port("odd", "0.5"), {kNaN, kNaN, kNaN, kNaN, 0.0, kNaN, 0.5},
         "unknown port \"drive\" skipped"},
        {"a word for a number", Port("even", "\"loud\"") + ", " + Port("odd", "0.5"),
         {kNaN, kNaN, kNaN, kNaN, 0.0, kNaN, 0.5}, "even has no number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path bundle = Bundle("host", PresetText("urn:brimvale:snarlbox", c.ports));
        for (const fs::path& path : {bundle, bundle / "preset.ttl"}) {
            Sound read = Sentinel();
            std::string error;
            ASSERT_TRUE(ReadSound(path.string(), read, error)) << error;
            EXPECT_EQ(read.name, "Found");
            if (*c.note == '\0') {
                EXPECT_EQ(error, "");
            } else {
                EXPECT_NE(error.find(c.note), std::string::npos) << error;
            }
            for (size_t i = 0; i < 7; ++i) {
                if (std::isnan(c.expected[i])) {
                    EXPECT_TRUE(std::isnan(read.values[i])) << i;
                } else {
                    EXPECT_EQ(read.values[i], c.expected[i]) << i;
                }
            }
        }
        fs::remove_all(bundle);
    }
}

TEST_F(SoundFilesTest, BadFilesAreRefusedAndChangeNothing)
{
    const std::string good = PresetText("urn:brimvale:snarlbox", kAllPorts);
    struct Case {
        const char* what;
        std::string text;
        const char* says;
    };
    const Case cases[] = {
        {"damaged syntax", std::string(kPrefixes) + "<> a pset:Preset ;; lv2:port [ lv2:symbol \"odd\" .\n",
         "not a readable preset file (line"},
        {"cut off", good.substr(0, good.size() / 2), "not a readable preset file"},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe", 18), "not a readable preset file"},
        {"empty", "", "is empty"},
        {"no preset in it", std::string(kPrefixes) + "<x> a lv2:Plugin .\n", "holds no preset"},
        {"another plug-in", PresetText("http://calf.sourceforge.net/plugins/Crusher", kAllPorts),
         "a preset for http://calf.sourceforge.net/plugins/Crusher, not for Snarlbox"},
        {"no plug-in named",
         std::string(kPrefixes) + "<> a pset:Preset ; lv2:port " + Port("odd", "0.5") + " .\n",
         "does not say which plug-in"},
        {"no knob of ours", PresetText("urn:brimvale:snarlbox", Port("drive", "0.5")), "holds no Snarlbox knob values"},
        {"too large", good + std::string(1 << 20, ' '), "too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path bundle = Bundle("bad", c.text);
        const std::string before = Slurp(bundle / "preset.ttl");
        for (const fs::path& path : {bundle, bundle / "preset.ttl"}) {
            Sound read = Sentinel();
            std::string error;
            EXPECT_FALSE(ReadSound(path.string(), read, error));
            EXPECT_NE(error.find(c.says), std::string::npos) << error;
            EXPECT_EQ(read.name, "before");
            EXPECT_EQ(read.values, Sentinel().values);
        }
        EXPECT_EQ(Slurp(bundle / "preset.ttl"), before);
        fs::remove_all(bundle);
    }
    Sound read = Sentinel();
    std::string error;
    EXPECT_FALSE(ReadSound((folder / "missing.lv2").string(), read, error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
}

TEST_F(SoundFilesTest, SavingReplacesBundlesOnlyAndLeavesNoTemporaryFolder)
{
    Sound first{"First", {2.0, 2.0, 0.5, 0.5, 0.0, 0.5, 0.5}};
    Sound second{"Second", {3.0, 3.0, 0.25, 0.25, 0.0, 0.25, 0.25}};
    const std::string bundle = (folder / "presets" / "Mine.lv2").string();
    std::string error;
    ASSERT_TRUE(WriteSound(bundle, first, error)) << error; // the parent is made
    ASSERT_TRUE(WriteSound(bundle + "/", second, error)) << error;
    Sound read;
    ASSERT_TRUE(ReadSound(bundle, read, error)) << error;
    EXPECT_EQ(read.name, "Second");
    EXPECT_EQ(read.values, second.values);
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(folder / "presets")) {
        entries.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(entries, std::vector<std::string>{"Mine.lv2"});
    EXPECT_EQ(std::distance(fs::directory_iterator(bundle), fs::directory_iterator()), 2);

    // Anything else where the bundle would go stays as it is.
    const fs::path notBundle = folder / "Documents";
    fs::create_directories(notBundle);
    Spill(notBundle / "manifest.ttl", "mine");
    Spill(notBundle / "letter.txt", "keep me");
    Spill(folder / "file.lv2", "a file");
    for (const std::string& target : {notBundle.string(), (folder / "file.lv2").string(), (folder / "..").string(),
                                      (folder / ".").string(), std::string()}) {
        SCOPED_TRACE(target);
        EXPECT_FALSE(WriteSound(target, first, error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(Slurp(notBundle / "letter.txt"), "keep me");
    EXPECT_EQ(Slurp(folder / "file.lv2"), "a file");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);

    // A bundle that cannot be written leaves no half of one behind.
    fs::create_directories(folder / "locked");
    fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    if (geteuid() != 0) {
        EXPECT_FALSE(WriteSound((folder / "locked" / "x.lv2").string(), first, error));
        EXPECT_TRUE(fs::is_empty(folder / "locked"));
    }
    fs::permissions(folder / "locked", fs::perms::owner_all);
}

TEST_F(SoundFilesTest, UserBundleNamesStayInThePresetFolder)
{
    struct Case {
        std::string name;
        bool accepted;
    };
    const Case cases[] = {{"My Sound", true},   {"Crunch: 2 (live)", true}, {"ünïcode", true}, {"../../etc", false},
                          {"a/b", false},       {"", false},                {"   ", false},    {"tab\there", false},
                          {"\xff\xfe", false},  {std::string(201, 'x'), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bundle = "unchanged";
        std::string error;
        EXPECT_EQ(UserSoundBundle(c.name, bundle, error), c.accepted) << error;
        if (c.accepted) {
            EXPECT_EQ(fs::path(bundle).parent_path(), fs::path(UserPresetFolder()));
            EXPECT_EQ(fs::path(bundle).filename(), "Snarlbox_" + c.name + ".lv2");
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

TEST_F(SoundFilesTest, ListingFindsFactoryAndSavedSoundsOnTheLv2Path)
{
    std::string error;
    ASSERT_TRUE(WriteSound((folder / "Snarlbox_Zed.lv2").string(), Sound{"Zed", {5, 5, 0.5, 0.5, 0, 0.5, 0.5}}, error));
    ASSERT_TRUE(WriteSound((folder / "Snarlbox_Abc.lv2").string(), Sound{"Abc", {6, 6, 0.5, 0.5, 0, 0.5, 0.5}}, error));
    Bundle("other", PresetText("http://example.org/other", kAllPorts));
    const char* old = std::getenv("LV2_PATH");
    const std::string kept = old != nullptr ? old : "";
    setenv("LV2_PATH", folder.c_str(), 1);
    const std::vector<SoundEntry> sounds = ListSounds();
    Sound found;
    const bool foundAbc = FindSound("Abc", found, error);
    if (old != nullptr) {
        setenv("LV2_PATH", kept.c_str(), 1);
    } else {
        unsetenv("LV2_PATH");
    }
    ASSERT_EQ(static_cast<int>(sounds.size()), FactorySoundCount() + 2);
    for (int i = 0; i < FactorySoundCount(); ++i) {
        EXPECT_TRUE(sounds[static_cast<size_t>(i)].factory);
        EXPECT_EQ(sounds[static_cast<size_t>(i)].name, FactorySoundAt(i).name);
    }
    EXPECT_EQ(sounds[static_cast<size_t>(FactorySoundCount())].name, "Abc");
    EXPECT_EQ(sounds.back().name, "Zed");
    ASSERT_TRUE(foundAbc) << error;
    EXPECT_EQ(found.values[0], 6.0);
    EXPECT_FALSE(FindSound("Nobody", found, error));
}

TEST(ApplySound, SetsEveryKnobAtOnceAndKeepsWhatTheSoundLacks)
{
    DistortionEffect fx(nullptr, nullptr, false);
    fx.LoadPresetSlot(0);
    fx.ParameterAt(4)->value = 0.75;
    ApplySound(fx, Sound{"x", {500.0, kNaN, 0.5, 0.25, 0.0, -1.0, 0.125}});
    EXPECT_EQ(fx.ParameterAt(0)->value, 327.68);
    EXPECT_EQ(fx.ParameterAt(1)->value, 1.0); // kept
    EXPECT_EQ(fx.ParameterAt(4)->value, 0.75);
    EXPECT_EQ(fx.ParameterAt(5)->value, 0.0);
    EXPECT_EQ(fx.wetAmount, 0.5); // the working values follow
    EXPECT_EQ(fx.gain, 0.25);
    EXPECT_EQ(fx.oddAmount, 0.125);
    EXPECT_TRUE(KnobsMatchSound(fx, Sound{"x", {500.0, kNaN, 0.5, 0.25, 9.0, -1.0, 0.125}}));
    const Sound captured = CaptureSound(fx, "now");
    EXPECT_EQ(captured.values, (std::array<double, 7>{327.68, 1.0, 0.5, 0.25, 0.0, 0.0, 0.125}));
    fx.ParameterAt(6)->value = 0.2;
    EXPECT_FALSE(KnobsMatchSound(fx, captured));
}

} // namespace
