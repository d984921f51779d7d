// A preset bundle for the plug-in in the published LV2 form, written by hand
// (no code of the program's): ports is the lv2:port object list, such as
// [ lv2:symbol "gain" ; pset:value 0.5 ].
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

inline void WriteHandWrittenPreset(const std::filesystem::path& bundle, const std::string& ports)
{
    std::filesystem::create_directories(bundle);
    const std::string prefixes = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                                 "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                                 "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
    std::ofstream(bundle / "manifest.ttl") << prefixes << "<preset.ttl> a pset:Preset ; lv2:appliesTo "
                                           << "<urn:brimvale:snarlbox> ; rdfs:seeAlso <preset.ttl> .\n";
    std::ofstream(bundle / "preset.ttl") << prefixes << "<> a pset:Preset ; lv2:appliesTo <urn:brimvale:snarlbox> ; "
                                         << "rdfs:label \"Hand\" ; lv2:port " << ports << " .\n";
}
