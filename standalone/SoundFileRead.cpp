// Reading a sound from an LV2 preset bundle.

#include "standalone/SoundFiles.h"

#include "core/ClampStoredValue.h"
#include "core/IParameter.h"
#include "lv2/Lv2Interface.h"
#include "standalone/KnobTable.h"
#include "standalone/PresetGraph.h"
#include "standalone/PresetVocabulary.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

namespace {

namespace fs = std::filesystem;
using namespace PresetVocabulary;

// The whole literal as a number ("0.5", "1", "1e-3", "NaN", "-INF"), or false.
bool ParseNumber(std::string text, double& value)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n')) {
        text.pop_back();
    }
    size_t start = text.find_first_not_of(" \t\n");
    if (start == std::string::npos) {
        return false;
    }
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    if (*first == '+') {
        ++first;
    }
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last;
}

std::string Shown(double v)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, v);
    return std::string(text, result.ptr);
}

// The name a sound without a label goes by: its bundle's or file's.
std::string NameFromPath(const std::string& path)
{
    fs::path p(path);
    if (!p.has_filename()) {
        p = p.parent_path();
    }
    return p.stem().string();
}

void Note(std::string& notes, const std::string& text)
{
    notes += (notes.empty() ? "" : "; ") + text;
}

} // namespace

bool ReadSound(const std::string& path, Sound& sound, std::string& error)
{
    return ReadSoundPreset(path, "", sound, error);
}

bool ReadSoundPreset(const std::string& path, const std::string& presetUri, Sound& sound, std::string& error)
{
    PresetGraph graph;
    std::error_code ec;
    const bool folder = fs::is_directory(path, ec);
    if (folder) {
        if (!graph.Parse((fs::path(path) / "manifest.ttl").string(), error)) {
            return false;
        }
    } else {
        if (!graph.Parse(path, error)) {
            return false;
        }
        // The manifest beside it may say which plug-in the preset is for.
        const fs::path manifest = fs::path(path).parent_path() / "manifest.ttl";
        if (fs::is_regular_file(manifest, ec) && !graph.Parse(manifest.string(), error)) {
            return false;
        }
    }
    const SordNode* type = graph.Uri(kRdfType);
    const SordNode* presetClass = graph.Uri(kPsetPreset);
    const SordNode* port = graph.Uri(kLv2Port);
    const SordNode* appliesTo = graph.Uri(kLv2AppliesTo);
    std::vector<const SordNode*> presets = graph.Subjects(type, presetClass);
    if (folder) {
        // A bundle's manifest names the files that hold its presets.
        const SordNode* seeAlso = graph.Uri(kRdfsSeeAlso);
        for (const SordNode* preset : presets) {
            for (const SordNode* file : graph.Objects(preset, seeAlso)) {
                const std::string filePath = PresetGraph::FilePath(file);
                if (!filePath.empty() && !graph.Parse(filePath, error)) {
                    return false;
                }
            }
        }
    }
    std::vector<const SordNode*> candidates;
    std::vector<const SordNode*> named;
    for (const SordNode* preset : presets) {
        if (graph.Object(preset, port) != nullptr) {
            candidates.push_back(preset);
            if (PresetGraph::Text(preset) == presetUri) {
                named.push_back(preset);
            }
        }
    }
    // A URI that names none of them may have been resolved through another
    // path to the same file (a linked folder): then the file decides.
    if (!named.empty()) {
        candidates = named;
    }
    if (candidates.empty()) {
        error = path + (presets.empty() ? ": holds no LV2 preset" : ": holds no preset with port values");
        return false;
    }
    std::vector<const SordNode*> ours;
    for (const SordNode* preset : candidates) {
        if (PresetGraph::Text(graph.Object(preset, appliesTo)) == Lv2Interface::kPluginUri) {
            ours.push_back(preset);
        }
    }
    if (ours.empty()) {
        const SordNode* plugin = graph.Object(candidates.front(), appliesTo);
        error = path + (plugin != nullptr ? ": a preset for " + PresetGraph::Text(plugin) + ", not for Snarlbox"
                                          : ": the preset does not say which plug-in it is for");
        return false;
    }
    if (ours.size() > 1) {
        error = path + ": holds " + std::to_string(ours.size()) + " Snarlbox presets; open one of its .ttl files";
        return false;
    }

    const SordNode* preset = ours.front();
    Sound read;
    read.values.fill(std::numeric_limits<double>::quiet_NaN());
    read.values[4] = 0.0;
    const SordNode* label = graph.Object(preset, graph.Uri(kRdfsLabel));
    read.name = PresetGraph::IsLiteral(label) && !PresetGraph::Text(label).empty() ? PresetGraph::Text(label)
                                                                                    : NameFromPath(path);
    const SordNode* symbolKey = graph.Uri(kLv2Symbol);
    const SordNode* valueKey = graph.Uri(kPsetValue);
    std::string notes;
    int knobs = 0;
    for (const SordNode* portNode : graph.Objects(preset, port)) {
        const SordNode* symbolNode = graph.Object(portNode, symbolKey);
        const std::string symbol = PresetGraph::Text(symbolNode);
        if (!PresetGraph::IsLiteral(symbolNode) || symbol == Lv2Interface::kEnabledSymbol) {
            continue; // the bypass switch is no part of a sound
        }
        const int index = KnobIndexOfSymbol(symbol.c_str());
        if (index < 0) {
            Note(notes, "unknown port \"" + symbol + "\" skipped");
            continue;
        }
        const SordNode* valueNode = graph.Object(portNode, valueKey);
        double value = 0.0;
        if (!PresetGraph::IsLiteral(valueNode) || !ParseNumber(PresetGraph::Text(valueNode), value)) {
            Note(notes, symbol + " has no number; it keeps its value");
            continue;
        }
        const IParameter& parameter = KnobParameter(index);
        const double safe = ClampStoredValue(parameter, value);
        if (std::isnan(value)) {
            Note(notes, symbol + " is NaN; it takes its default " + Shown(safe));
        } else if (safe != value) {
            Note(notes, symbol + " " + Shown(value) + " is outside " + Shown(parameter.minimum) + ".." +
                            Shown(parameter.maximum) + "; it takes " + Shown(safe));
        }
        read.values[static_cast<size_t>(index)] = safe;
        ++knobs;
    }
    if (knobs == 0) {
        error = path + ": holds no Snarlbox knob values" + (notes.empty() ? "" : " (" + notes + ")");
        return false;
    }
    sound = read;
    error = notes.empty() ? "" : path + ": " + notes;
    return true;
}
