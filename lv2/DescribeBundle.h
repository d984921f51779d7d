#pragma once

#include <string>

class IAudioPlugin;

// The Turtle files of the LV2 bundle, written by the build from the effect
// itself (its names, version and parameter table) and from Lv2Interface, so
// the description and the code can never disagree. Build tool; any thread.

// The plug-in's description: class, identity, features and every port with
// its name, range, default and display precision.
std::string DescribePlugin(IAudioPlugin& effect);

// The factory sounds as LV2 presets, all in one file.
std::string DescribeFactorySounds();

// manifest.ttl: the plug-in's URI with its binary and description files,
// its X11 editor with the editor's binary, and the factory sounds with the
// file that holds them.
std::string DescribeManifest(const std::string& binaryFile, const std::string& descriptionFile,
                             const std::string& uiBinaryFile, const std::string& soundsFile);
