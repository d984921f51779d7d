#pragma once

#include "effect/DistortionEffect.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <vector>

// The bundle in the build tree and the folder LV2 hosts search for it.
inline std::string BundleFolder() { return SNARLBOX_LV2_BUNDLE; }
inline std::string Lv2Path() { return std::string(SNARLBOX_LV2_BUNDLE) + "/.."; }

// Control values in port order: coarse, fine, wet, gain, even, odd.
using Controls = std::array<float, 6>;
inline constexpr Controls kDefaultControls = {1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f};
// Every stage at work; the hold of 7 does not divide the 32-frame vector.
inline constexpr Controls kEveryStage = {7.3f, 3.0f, 0.6f, 0.9f, 0.5f, 0.4f};

struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
};

// Seeded noise a little beyond full scale, so the clipper has work.
inline Stereo Noise(unsigned seed, size_t frames)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-1.2f, 1.2f);
    Stereo s{std::vector<float>(frames), std::vector<float>(frames)};
    for (size_t i = 0; i < frames; ++i) {
        s.left[i] = dist(rng);
        s.right[i] = dist(rng);
    }
    return s;
}

// What the standalone program's effect makes of the stream, processed in
// 32-frame signal vectors from a new effect, in doubles, rounded to floats.
inline Stereo ReferenceRender(const Controls& controls, const Stereo& in)
{
    DistortionEffect fx(nullptr, nullptr, false);
    fx.LoadPresetSlot(0);
    const int params[6] = {0, 1, 2, 3, 5, 6};
    for (int i = 0; i < 6; ++i) {
        fx.ParameterAt(params[i])->value = controls[static_cast<size_t>(i)];
        fx.ParameterChanged(params[i]);
    }
    const size_t n = in.left.size();
    std::vector<double> l(in.left.begin(), in.left.end()), r(in.right.begin(), in.right.end());
    for (size_t at = 0; at < n; at += 32) {
        double* io[2] = {l.data() + at, r.data() + at};
        fx.ProcessAudioBlock(io, io, static_cast<int>(std::min<size_t>(32, n - at)));
    }
    Stereo out{std::vector<float>(n), std::vector<float>(n)};
    for (size_t i = 0; i < n; ++i) {
        out.left[i] = static_cast<float>(l[i]);
        out.right[i] = static_cast<float>(r[i]);
    }
    return out;
}

// Index of the first frame where two renders differ bit for bit, or -1.
inline long FirstDifference(const Stereo& a, const Stereo& b)
{
    if (a.left.size() != b.left.size() || a.right.size() != b.right.size()) {
        return 0;
    }
    for (size_t i = 0; i < a.left.size(); ++i) {
        if (std::memcmp(&a.left[i], &b.left[i], sizeof(float)) != 0 ||
            std::memcmp(&a.right[i], &b.right[i], sizeof(float)) != 0) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

// A stereo 32-bit float WAV file.
inline bool WriteWav(const std::string& path, const Stereo& s)
{
    const uint32_t frames = static_cast<uint32_t>(s.left.size());
    const uint32_t dataBytes = frames * 8;
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(3); // IEEE float
    u16(2);
    u32(44100);
    u32(44100 * 8);
    u16(8);
    u16(32);
    out.write("data", 4);
    u32(dataBytes);
    for (uint32_t i = 0; i < frames; ++i) {
        out.write(reinterpret_cast<const char*>(&s.left[i]), 4);
        out.write(reinterpret_cast<const char*>(&s.right[i]), 4);
    }
    return static_cast<bool>(out);
}

// Reads a stereo 32-bit float WAV file, stepping over chunks other than
// "fmt " and "data". False when it is anything else.
inline bool ReadWav(const std::string& path, Stereo& s)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    bool floatStereo = false;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        const char* body = bytes.data() + at + 8;
        if (at + 8 + size > bytes.size()) {
            return false;
        }
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0 && size >= 16) {
            uint16_t format = 0, channels = 0, bits = 0;
            std::memcpy(&format, body, 2);
            std::memcpy(&channels, body + 2, 2);
            std::memcpy(&bits, body + 14, 2);
            floatStereo = format == 3 && channels == 2 && bits == 32;
        } else if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            if (!floatStereo) {
                return false;
            }
            const size_t frames = size / 8;
            s.left.resize(frames);
            s.right.resize(frames);
            for (size_t i = 0; i < frames; ++i) {
                std::memcpy(&s.left[i], body + 8 * i, 4);
                std::memcpy(&s.right[i], body + 8 * i + 4, 4);
            }
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

// Runs a shell command and returns what it wrote on standard output; status
// gets its exit status.
inline std::string RunCommand(const std::string& command, int* status = nullptr)
{
    std::string out;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (status != nullptr) {
            *status = -1;
        }
        return out;
    }
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, n);
    }
    const int result = pclose(pipe);
    if (status != nullptr) {
        *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    }
    return out;
}

// RunCommand for an LV2 tool that loads the plug-in: the build tree's bundle
// first on LV2_PATH, the system's specifications after it, and a sanitized
// plug-in's runtime preloaded.
inline std::string RunTool(const std::string& command, int* status = nullptr)
{
    return RunCommand(std::string("env ") + SNARLBOX_TOOL_ENV + " LV2_PATH='" + Lv2Path() + ":/usr/lib/lv2' " + command,
                      status);
}

// True when a program of that name is on the PATH.
inline bool HaveProgram(const char* name)
{
    return RunCommand(std::string("command -v ") + name + " 2>/dev/null").size() > 0;
}
