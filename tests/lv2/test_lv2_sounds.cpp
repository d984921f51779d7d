// Sounds shared between the program and LV2 hosts, and the host's bypass.

#include "tests/support/ScratchFolder.h"
#include "standalone/SoundFiles.h"
#include "standalone/SoundLibrary.h"
#include "tests/lv2/LilvHost.h"
#include "tests/support/RequireService.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const kSymbols[6] = {"coarse", "fine", "wet", "gain", "even", "odd"};
constexpr int kParamOfPort[6] = {0, 1, 2, 3, 5, 6};

// A host of the tests' own that also knows the presets in extra bundles,
// with the URID unmap that saving state needs.
class PresetHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(folder.empty());
        unmap.handle = this;
        unmap.unmap = [](LV2_URID_Unmap_Handle handle, LV2_URID urid) -> const char* {
            auto* self = static_cast<PresetHost*>(handle);
            for (const auto& [uri, id] : self->known) {
                if (id == urid) {
                    return uri.c_str();
                }
            }
            return nullptr;
        };
        map.handle = this;
        map.map = [](LV2_URID_Map_Handle handle, const char* uri) -> LV2_URID {
            auto* self = static_cast<PresetHost*>(handle);
            return self->known.emplace(uri, static_cast<LV2_URID>(self->known.size() + 1)).first->second;
        };
    }

    void LoadBundle(const fs::path& bundle)
    {
        LilvNode* uri = lilv_new_file_uri(host.world, nullptr, (bundle.string() + "/").c_str());
        lilv_world_load_bundle(host.world, uri);
        lilv_node_free(uri);
    }

    // The control values a preset of the world sets, in port order; false
    // when lilv cannot load it.
    bool PresetControls(const LilvNode* preset, Controls& controls)
    {
        LilvState* state = lilv_state_new_from_world(host.world, &map, preset);
        if (state == nullptr) {
            return false;
        }
        lilv_state_emit_port_values(
            state,
            [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t) {
                for (size_t i = 0; i < 6; ++i) {
                    if (std::string(symbol) == kSymbols[i] && size == sizeof(float)) {
                        (*static_cast<Controls*>(data))[i] = *static_cast<const float*>(value);
                    }
                }
            },
            &controls);
        lilv_state_free(state);
        return true;
    }

    // The plug-in's presets that lilv finds, by label.
    std::map<std::string, const LilvNode*> Presets()
    {
        std::map<std::string, const LilvNode*> found;
        LilvNode* presetClass = lilv_new_uri(host.world, LV2_PRESETS__Preset);
        LilvNode* label = lilv_new_uri(host.world, "http://www.w3.org/2000/01/rdf-schema#label");
        LilvNodes* presets = lilv_plugin_get_related(host.plugin, presetClass);
        LILV_FOREACH (nodes, i, presets) {
            const LilvNode* preset = lilv_nodes_get(presets, i);
            lilv_world_load_resource(host.world, preset);
            LilvNode* name = lilv_world_get(host.world, preset, label, nullptr);
            if (name != nullptr) {
                found[lilv_node_as_string(name)] = preset;
                kept.push_back(lilv_node_duplicate(preset));
                found[lilv_node_as_string(name)] = kept.back();
            }
            lilv_node_free(name);
        }
        lilv_nodes_free(presets);
        lilv_node_free(presetClass);
        lilv_node_free(label);
        return found;
    }

public:
    ~PresetHost() override
    {
        for (LilvNode* node : kept) {
            lilv_node_free(node);
        }
    }

    LilvHost host;
    const ScratchFolder scratch{"snarlbox-lv2-sounds"};
    const fs::path folder = scratch.path;
    std::map<std::string, LV2_URID> known;
    LV2_URID_Map map{};
    LV2_URID_Unmap unmap{};
    std::vector<LilvNode*> kept;
};

Stereo Render(LilvHost& host, const Controls& controls, const Stereo& in)
{
    LilvHost::Instance fx(host, controls);
    return fx.Process(in, [] { return 64u; });
}

TEST_F(PresetHost, SavedSoundPlaysInHostsAsTheKnobsSetDirectly)
{
    REQUIRE_SERVICE(HaveProgram("lv2apply"), "lv2apply (lilv-utils) is not installed");
    const Sound sound{"Test Crunch", {7.3, 3.0, 0.6, 0.9, 0.0, 0.5, 0.4}};
    std::string error;
    ASSERT_TRUE(WriteSound((folder / "Snarlbox_Test Crunch.lv2").string(), sound, error)) << error;

    // lv2info lists it with the factory sounds.
    const std::string path = "LV2_PATH='" + folder.string() + ":" + Lv2Path() + ":/usr/lib/lv2' ";
    int status = 0;
    const std::string info =
        RunCommand(std::string("env ") + SNARLBOX_TOOL_ENV + " " + path + "lv2info urn:brimvale:snarlbox", &status);
    ASSERT_EQ(status, 0) << info;
    EXPECT_NE(info.find("         Test Crunch\n"), std::string::npos) << info;
    EXPECT_NE(info.find("         Warm Crunch\n"), std::string::npos) << info;

    // Loaded through lilv, as hosts load presets, the plug-in sounds as
    // lv2apply makes it sound with the knob values given directly.
    LoadBundle(folder / "Snarlbox_Test Crunch.lv2");
    const auto presets = Presets();
    ASSERT_EQ(presets.count("Test Crunch"), 1u);
    Controls controls{};
    ASSERT_TRUE(PresetControls(presets.at("Test Crunch"), controls));
    const Stereo input = Noise(23, 8192 + 5);
    ASSERT_TRUE(WriteWav((folder / "in.wav").string(), input));
    std::ostringstream command;
    command << std::setprecision(9) << "env " << SNARLBOX_TOOL_ENV << " " << path << "lv2apply -i "
            << (folder / "in.wav").string() << " -o " << (folder / "out.wav").string();
    for (size_t i = 0; i < 6; ++i) {
        command << " -c " << kSymbols[i] << " " << static_cast<float>(sound.values[kParamOfPort[i]]);
    }
    command << " urn:brimvale:snarlbox 2>&1";
    const std::string log = RunCommand(command.str(), &status);
    ASSERT_EQ(status, 0) << log;
    Stereo applied;
    ASSERT_TRUE(ReadWav((folder / "out.wav").string(), applied));
    EXPECT_EQ(FirstDifference(Render(host, controls, input), applied), -1);
    EXPECT_EQ(FirstDifference(applied, ReferenceRender(controls, input)), -1);

    // The validators accept the saved bundle beside the plug-in's.
    if (HaveProgram("lv2_validate")) {
        const std::string files = (folder / "Snarlbox_Test Crunch.lv2").string();
        const std::string report = RunCommand("lv2_validate '" + files + "/manifest.ttl' '" + files +
                                                  "/Test_Crunch.ttl' " + BundleFolder() + "/*.ttl 2>&1",
                                              &status);
        EXPECT_NE(report.find("Found 0 errors"), std::string::npos) << report;
    }
}

TEST_F(PresetHost, PresetsHostsSaveOpenInTheProgram)
{
    // What jalv, Ardour and Qtractor do to save a preset: lilv's state of an
    // instance, its port values included, written by lilv_state_save.
    const Controls set = {40.0f, 6.0f, 0.35f, 0.8f, 0.7f, 0.2f};
    LilvHost::Instance fx(host, set);
    ASSERT_NE(fx.instance, nullptr);
    LilvState* state = lilv_state_new_from_instance(
        host.plugin, fx.instance, &map, nullptr, nullptr, nullptr, (folder / "Host.lv2").c_str(),
        [](const char* symbol, void* data, uint32_t* size, uint32_t* type) -> const void* {
            auto* self = static_cast<PresetHost*>(data);
            static const Controls values = {40.0f, 6.0f, 0.35f, 0.8f, 0.7f, 0.2f};
            static const float enabled = 1.0f; // saved like every port
            *size = sizeof(float);
            *type = self->map.map(self->map.handle, LV2_ATOM__Float);
            for (size_t i = 0; i < 6; ++i) {
                if (std::string(symbol) == kSymbols[i]) {
                    return &values[i];
                }
            }
            return &enabled;
        },
        this, 0, nullptr);
    ASSERT_NE(state, nullptr);
    lilv_state_set_label(state, "From a host");
    ASSERT_EQ(lilv_state_save(host.world, &map, &unmap, state, nullptr, (folder / "Host.lv2").c_str(), "preset.ttl"),
              0);
    lilv_state_free(state);

    for (const fs::path& path : {folder / "Host.lv2", folder / "Host.lv2" / "preset.ttl"}) {
        Sound sound;
        std::string error;
        ASSERT_TRUE(ReadSound(path.string(), sound, error)) << error;
        EXPECT_EQ(error, ""); // its bypass port is no unknown port
        EXPECT_EQ(sound.name, "From a host");
        for (size_t i = 0; i < 6; ++i) {
            // Hosts keep floats; the file has their shortest decimal.
            EXPECT_EQ(static_cast<float>(sound.values[static_cast<size_t>(kParamOfPort[i])]), set[i]) << kSymbols[i];
        }
    }
}

TEST_F(PresetHost, FactorySoundsAreTheProgramsAndSoundDistinct)
{
    const auto presets = Presets();
    ASSERT_EQ(static_cast<int>(presets.size()), FactorySoundCount());
    const Stereo input = Noise(5, 4096);
    std::vector<Stereo> outputs;
    for (int i = 0; i < FactorySoundCount(); ++i) {
        const Sound sound = FactorySoundAt(i);
        SCOPED_TRACE(sound.name);
        ASSERT_EQ(presets.count(sound.name), 1u);
        Controls controls{};
        ASSERT_TRUE(PresetControls(presets.at(sound.name), controls));
        for (size_t p = 0; p < 6; ++p) {
            EXPECT_EQ(controls[p], static_cast<float>(sound.values[static_cast<size_t>(kParamOfPort[p])]));
        }
        outputs.push_back(Render(host, controls, input));
        for (size_t other = 0; other + 1 < outputs.size(); ++other) {
            EXPECT_NE(FirstDifference(outputs.back(), outputs[other]), -1) << "same as sound " << other;
        }
    }
    // The defaults are among them, first.
    EXPECT_EQ(FirstDifference(outputs.front(), Render(host, kDefaultControls, input)), -1);
}

// The largest step from one sample to the next in frames [from, to).
float LargestStep(const std::vector<float>& s, size_t from, size_t to)
{
    float largest = 0.0f;
    for (size_t i = std::max<size_t>(from, 1); i < to; ++i) {
        largest = std::max(largest, std::fabs(s[i] - s[i - 1]));
    }
    return largest;
}

TEST(Lv2Bypass, CrossfadesWithoutAClickPassesTheInputAndComesBackSeamlessly)
{
    LilvHost host;
    // A quiet effect under a loud, swelling sine: switching hard would jump,
    // and the clipper's threshold moves while the effect is bypassed. The
    // bypass lasts no whole number of signal vectors.
    const Controls quiet = {7.0f, 3.0f, 1.0f, 0.2f, 0.0f, 0.3f};
    const size_t block = 48, frames = 512 * block, off = 170 * block, on = 340 * block;
    const size_t fade = 221; // 5 ms at 44.1 kHz, and one
    Stereo input{std::vector<float>(frames), std::vector<float>(frames)};
    for (size_t i = 0; i < frames; ++i) {
        const double level = 0.5 + 0.5 * static_cast<double>(i) / static_cast<double>(frames);
        input.left[i] = static_cast<float>(level * std::sin(2.0 * M_PI * 220.0 * static_cast<double>(i) / 44100.0));
        input.right[i] = -input.left[i];
    }
    LilvHost::Instance reference(host, quiet);
    const Stereo effect = reference.Process(input, [&] { return static_cast<uint32_t>(block); });

    LilvHost::Instance fx(host, quiet);
    float enabled = 1.0f;
    lilv_instance_connect_port(fx.instance, 10, &enabled);
    Stereo out{std::vector<float>(frames), std::vector<float>(frames)};
    for (size_t at = 0; at < frames; at += block) {
        enabled = at >= off && at < on ? 0.0f : 1.0f;
        fx.Run(input, out, at, static_cast<uint32_t>(block));
    }
    for (const auto& [o, in, e] : {std::tie(out.left, input.left, effect.left),
                                   std::tie(out.right, input.right, effect.right)}) {
        const float signal = std::max(LargestStep(in, 0, frames), LargestStep(e, 0, frames));
        const float atOff = LargestStep(o, off - 1, off + fade);
        const float atOn = LargestStep(o, on - 1, on + fade);
        std::printf("largest step: signal %.5f, switching off %.5f, on %.5f\n", signal, atOff, atOn);
        EXPECT_LE(atOff, signal);
        EXPECT_LE(atOn, signal);
        for (size_t i = 0; i < frames; ++i) {
            if (i < off || i >= on + fade) {
                ASSERT_EQ(o[i], e[i]) << "frame " << i; // the effect ran on meanwhile
            } else if (i >= off + fade && i < on) {
                ASSERT_EQ(o[i], in[i]) << "frame " << i;
            }
        }
    }
}

} // namespace
