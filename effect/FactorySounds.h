#pragma once

// (parameter indices as in DistortionEffect::ParameterIndex)

// The sounds that ship with the effect, in the program and as presets of the
// LV2 bundle: named for what a player hears, each clearly different, the
// defaults first. Values by parameter index (parameter 4 is not used).
// Any thread; constants.
struct FactorySound {
    const char* name;
    const char* slug; // file name and preset URI part: letters, digits, '-'
    double values[7]; // coarse, fine, wet, gain, (unused), even, odd
};

inline constexpr FactorySound kFactorySounds[] = {
    {"Clean", "clean", {1.0, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0}},
    {"Subtle Grit", "subtle-grit", {1.5, 2.0, 0.35, 1.0, 0.0, 0.4, 0.2}},
    {"Warm Crunch", "warm-crunch", {1.0, 1.0, 0.7, 0.9, 0.0, 0.6, 0.3}},
    {"Hard Clip", "hard-clip", {1.0, 1.0, 1.0, 0.8, 0.0, 0.1, 0.9}},
    {"Lo-Fi Sampler", "lo-fi-sampler", {4.0, 1.0, 1.0, 0.9, 0.0, 0.2, 0.2}},
    {"Radio Buzz", "radio-buzz", {2.0, 5.0, 0.8, 0.9, 0.0, 0.3, 0.4}},
    {"Bitcrushed Fuzz", "bitcrushed-fuzz", {12.0, 3.0, 1.0, 0.7, 0.0, 0.5, 0.8}},
    {"Broken Robot", "broken-robot", {48.0, 9.0, 1.0, 0.6, 0.0, 0.8, 0.6}},
};

inline constexpr int kFactorySoundCount = static_cast<int>(sizeof kFactorySounds / sizeof kFactorySounds[0]);

// The LV2 preset URI of a factory sound: this prefix and its slug.
inline constexpr const char* kFactorySoundUriPrefix = "urn:brimvale:snarlbox:sound:";
