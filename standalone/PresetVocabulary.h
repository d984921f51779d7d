#pragma once

// The RDF names of LV2 presets that the sound files read and write.
// Any thread; constants.
namespace PresetVocabulary {
inline constexpr const char* kRdfType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";
inline constexpr const char* kRdfsLabel = "http://www.w3.org/2000/01/rdf-schema#label";
inline constexpr const char* kRdfsSeeAlso = "http://www.w3.org/2000/01/rdf-schema#seeAlso";
inline constexpr const char* kLv2 = "http://lv2plug.in/ns/lv2core#";
inline constexpr const char* kLv2AppliesTo = "http://lv2plug.in/ns/lv2core#appliesTo";
inline constexpr const char* kLv2Port = "http://lv2plug.in/ns/lv2core#port";
inline constexpr const char* kLv2Symbol = "http://lv2plug.in/ns/lv2core#symbol";
inline constexpr const char* kPset = "http://lv2plug.in/ns/ext/presets#";
inline constexpr const char* kPsetPreset = "http://lv2plug.in/ns/ext/presets#Preset";
inline constexpr const char* kPsetValue = "http://lv2plug.in/ns/ext/presets#value";
inline constexpr const char* kRdfs = "http://www.w3.org/2000/01/rdf-schema#";
inline constexpr const char* kXsd = "http://www.w3.org/2001/XMLSchema#";
inline constexpr const char* kXsdDecimal = "http://www.w3.org/2001/XMLSchema#decimal";
} // namespace PresetVocabulary
