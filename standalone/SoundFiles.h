#pragma once

#include "standalone/Sound.h"

#include <string>

// Sounds on disk as LV2 preset bundles: a folder holding manifest.ttl and
// one preset file, readable and writable by LV2 hosts for the plug-in
// "urn:brimvale:snarlbox". Read and written through serd/sord.

// Reads the one Snarlbox preset of a bundle folder, or of one of its .ttl
// files. Values out of range are clamped, a NaN takes the knob's default,
// knobs missing from the file are NaN in sound (they keep their value),
// unknown port symbols are skipped. On success error is empty, or notes
// what was clamped or skipped (for standard error). On failure (unreadable,
// damaged or foreign file, no knob values) sound is unchanged and error
// says why. Any thread but the audio thread; allocates, reads files.
bool ReadSound(const std::string& path, Sound& sound, std::string& error);

// As ReadSound, for the preset presetUri when the file or bundle holds
// several (empty, or naming none of them: the only one). Any thread but the
// audio thread.
bool ReadSoundPreset(const std::string& path, const std::string& presetUri, Sound& sound, std::string& error);

// Writes a complete preset bundle exactly at bundleFolder (its parent is
// made when missing). The bundle is written into a temporary folder beside
// it and renamed into place, so a reader sees the old bundle or the new one,
// never half of one; an existing bundle there is replaced, anything else
// there is refused. NaN values and parameter 4 are not written. False with
// error set when nothing was changed. Any thread but the audio thread.
bool WriteSound(const std::string& bundleFolder, const Sound& sound, std::string& error);
