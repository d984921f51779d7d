// Writes manifest.ttl, the plug-in's description and its factory sounds into the bundle folder
// given as the first argument: a step of the build.

#include "effect/DistortionEffect.h"
#include "lv2/DescribeBundle.h"

#include <cstdio>
#include <string>

namespace {
bool WriteFile(const std::string& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        std::perror(path.c_str());
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "%s: could not be written\n", path.c_str());
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s BUNDLE_FOLDER BINARY_FILE DESCRIPTION_FILE UI_BINARY_FILE SOUNDS_FILE\n",
                     argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    DistortionEffect effect(nullptr, nullptr, false);
    const bool ok = WriteFile(folder + "/" + argv[3], DescribePlugin(effect)) &&
                    WriteFile(folder + "/" + argv[5], DescribeFactorySounds()) &&
                    WriteFile(folder + "/manifest.ttl", DescribeManifest(argv[2], argv[3], argv[4], argv[5]));
    return ok ? 0 : 1;
}
