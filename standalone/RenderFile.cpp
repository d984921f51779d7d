#include "standalone/RenderFile.h"

#include "core/IParameter.h"
#include "effect/DistortionEffect.h"
#include "lv2/Lv2Instance.h"
#include "lv2/Lv2Interface.h"

#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr sf_count_t kChunkFrames = 4096;

// Port values as an LV2 host hands them: floats, the knobs' defaults unless given.
std::array<float, Lv2Interface::kControlCount> PortValues(const KnobValues* values)
{
    DistortionEffect defaults(nullptr, nullptr, false);
    std::array<float, Lv2Interface::kControlCount> ports{};
    for (uint32_t i = 0; i < Lv2Interface::kControlCount; ++i) {
        const int index = Lv2Interface::kControlPorts[i].paramIndex;
        // A knob the sound lacks (NaN) starts at its default, as in a new instance.
        const double given = values != nullptr ? (*values)[static_cast<size_t>(index)] : NAN;
        const double value = std::isnan(given) ? defaults.ParameterAt(index)->defaultValue : given;
        ports[i] = static_cast<float>(value);
    }
    return ports;
}

struct SoundFile {
    SNDFILE* file = nullptr;
    ~SoundFile()
    {
        if (file != nullptr) {
            sf_close(file);
        }
    }
};

bool Process(SNDFILE* in, const SF_INFO& inInfo, SNDFILE* out, const KnobValues* values, std::string& error)
{
    Lv2Instance instance(static_cast<double>(inInfo.samplerate), static_cast<int32_t>(kChunkFrames));
    std::array<float, Lv2Interface::kControlCount> ports = PortValues(values);
    std::vector<float> left(kChunkFrames), right(kChunkFrames), outLeft(kChunkFrames), outRight(kChunkFrames);
    instance.ConnectPort(Lv2Interface::kInputLeft, left.data());
    instance.ConnectPort(Lv2Interface::kInputRight, right.data());
    instance.ConnectPort(Lv2Interface::kOutputLeft, outLeft.data());
    instance.ConnectPort(Lv2Interface::kOutputRight, outRight.data());
    for (uint32_t i = 0; i < Lv2Interface::kControlCount; ++i) {
        instance.ConnectPort(Lv2Interface::kFirstControl + i, &ports[i]);
    }
    instance.Activate();

    const auto channels = static_cast<size_t>(inInfo.channels);
    std::vector<float> interleaved(static_cast<size_t>(kChunkFrames) * channels);
    std::vector<float> written(static_cast<size_t>(kChunkFrames) * 2);
    for (;;) {
        const sf_count_t got = sf_readf_float(in, interleaved.data(), kChunkFrames);
        if (got < 0 || sf_error(in) != SF_ERR_NO_ERROR) {
            error = std::string("cannot read the input: ") + sf_strerror(in);
            return false;
        }
        if (got == 0) {
            return true;
        }
        const auto n = static_cast<size_t>(got);
        for (size_t f = 0; f < n; ++f) {
            left[f] = interleaved[f * channels];
            right[f] = interleaved[f * channels + (channels > 1 ? 1 : 0)];
        }
        instance.Run(static_cast<uint32_t>(n));
        for (size_t f = 0; f < n; ++f) {
            written[2 * f] = outLeft[f];
            written[2 * f + 1] = outRight[f];
        }
        if (sf_writef_float(out, written.data(), got) != got) {
            error = std::string("cannot write the output: ") + sf_strerror(out);
            return false;
        }
    }
}

} // namespace

bool RenderFile(const std::string& inputPath, const std::string& outputPath, const KnobValues* values,
                std::string& error)
{
    SF_INFO inInfo{};
    SoundFile in;
    in.file = sf_open(inputPath.c_str(), SFM_READ, &inInfo);
    if (in.file == nullptr) {
        error = "cannot open " + inputPath + ": " + sf_strerror(nullptr);
        return false;
    }
    if (inInfo.channels < 1 || inInfo.channels > 2) {
        error = inputPath + " has " + std::to_string(inInfo.channels) + " channels; the effect takes one or two";
        return false;
    }
    SF_INFO outInfo = inInfo;
    outInfo.channels = 2;
    outInfo.frames = 0;
    if (sf_format_check(&outInfo) == 0) {
        error = "cannot write a stereo file in the format of " + inputPath;
        return false;
    }
    // Written beside the target and renamed over it: a failed render keeps
    // whatever was there (the input itself, when both paths are one file).
    std::string temporary = outputPath + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot write " + outputPath + ": " + std::strerror(errno);
        return false;
    }
    // Made as any new file of the user's, not private as temporary files are.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    bool ok = false;
    {
        SoundFile out;
        out.file = sf_open_fd(fd, SFM_WRITE, &outInfo, SF_TRUE);
        if (out.file == nullptr) {
            close(fd);
            error = "cannot write " + outputPath + ": " + sf_strerror(nullptr);
        } else {
            ok = Process(in.file, inInfo, out.file, values, error);
        }
    }
    if (ok && rename(temporary.c_str(), outputPath.c_str()) != 0) {
        error = "cannot write " + outputPath + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        unlink(temporary.c_str());
    }
    return ok;
}
