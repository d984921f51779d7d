#include "standalone/SoundLibrary.h"

#include "effect/FactorySounds.h"
#include "lv2/Lv2Interface.h"
#include "standalone/PresetVocabulary.h"
#include "standalone/SayOnStderr.h"
#include "standalone/SoundFiles.h"

#include <glib.h>
#include <lilv/lilv.h>

#include <algorithm>
#include <cstdlib>

namespace {

using namespace PresetVocabulary;

// The local path of a file: URI from lilv, or empty.
std::string FilePathOf(const LilvNode* node)
{
    if (node == nullptr || !lilv_node_is_uri(node)) {
        return "";
    }
    char* path = lilv_file_uri_parse(lilv_node_as_uri(node), nullptr);
    std::string out = path != nullptr ? path : "";
    lilv_free(path);
    return out;
}

// The saved Snarlbox presets on the LV2 path, read to learn their names.
std::vector<SoundEntry> SavedSounds()
{
    std::vector<SoundEntry> found;
    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* type = lilv_new_uri(world, kRdfType);
    LilvNode* presetClass = lilv_new_uri(world, kPsetPreset);
    LilvNode* appliesTo = lilv_new_uri(world, kLv2AppliesTo);
    LilvNode* seeAlso = lilv_new_uri(world, kRdfsSeeAlso);
    LilvNode* plugin = lilv_new_uri(world, Lv2Interface::kPluginUri);
    LilvNodes* presets = lilv_world_find_nodes(world, nullptr, type, presetClass);
    LILV_FOREACH (nodes, i, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, i);
        const std::string uri = lilv_node_as_string(preset);
        // The installed bundle's factory sounds are the built-in ones.
        if (!lilv_world_ask(world, preset, appliesTo, plugin) || uri.rfind(kFactorySoundUriPrefix, 0) == 0) {
            continue;
        }
        LilvNode* file = lilv_world_get(world, preset, seeAlso, nullptr);
        SoundEntry entry;
        entry.path = FilePathOf(file != nullptr ? file : preset);
        entry.presetUri = uri;
        lilv_node_free(file);
        Sound sound;
        std::string error;
        if (entry.path.empty() || !ReadSoundPreset(entry.path, uri, sound, error)) {
            SayOnStderr(entry.path.empty() ? uri + ": a preset without a file" : error);
            continue;
        }
        entry.name = sound.name;
        found.push_back(entry);
    }
    lilv_nodes_free(presets);
    for (LilvNode* node : {type, presetClass, appliesTo, seeAlso, plugin}) {
        lilv_node_free(node);
    }
    lilv_world_free(world);
    std::stable_sort(found.begin(), found.end(),
                     [](const SoundEntry& a, const SoundEntry& b) { return a.name < b.name; });
    return found;
}

} // namespace

int FactorySoundCount() { return kFactorySoundCount; }

Sound FactorySoundAt(int index)
{
    Sound sound;
    if (index < 0 || index >= kFactorySoundCount) {
        return sound;
    }
    const FactorySound& factory = kFactorySounds[index];
    sound.name = factory.name;
    std::copy(std::begin(factory.values), std::end(factory.values), sound.values.begin());
    return sound;
}

std::vector<SoundEntry> ListSounds()
{
    std::vector<SoundEntry> sounds;
    for (const FactorySound& factory : kFactorySounds) {
        sounds.push_back({factory.name, "", std::string(kFactorySoundUriPrefix) + factory.slug, true});
    }
    for (SoundEntry& saved : SavedSounds()) {
        sounds.push_back(std::move(saved));
    }
    return sounds;
}

bool LoadSoundEntry(const SoundEntry& entry, Sound& sound, std::string& error)
{
    if (entry.factory) {
        for (int i = 0; i < kFactorySoundCount; ++i) {
            if (entry.name == kFactorySounds[i].name) {
                sound = FactorySoundAt(i);
                error.clear();
                return true;
            }
        }
        error = "no factory sound \"" + entry.name + "\"";
        return false;
    }
    return ReadSoundPreset(entry.path, entry.presetUri, sound, error);
}

bool FindSound(const std::string& name, Sound& sound, std::string& error)
{
    for (const SoundEntry& entry : ListSounds()) {
        if (entry.name == name) {
            return LoadSoundEntry(entry, sound, error);
        }
    }
    error = "no sound named \"" + name + "\"";
    return false;
}

std::string UserPresetFolder() { return std::string(g_get_home_dir()) + "/.lv2"; }

bool UserSoundBundle(const std::string& name, std::string& bundleFolder, std::string& error)
{
    constexpr size_t kLongestName = 200;
    if (name.find_first_not_of(" \t") == std::string::npos) {
        error = "a sound needs a name";
        return false;
    }
    if (name.size() > kLongestName) {
        error = "the name is longer than " + std::to_string(kLongestName) + " bytes";
        return false;
    }
    if (!g_utf8_validate(name.data(), static_cast<gssize>(name.size()), nullptr)) {
        error = "the name is not valid UTF-8";
        return false;
    }
    for (const char c : name) {
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            error = "\"" + name + "\" cannot name a sound: no '/' or control characters";
            return false;
        }
    }
    // The folder name says whose preset it is, as hosts name theirs.
    bundleFolder = UserPresetFolder() + "/Snarlbox_" + name + ".lv2";
    return true;
}
