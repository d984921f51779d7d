#include "standalone/ProcessFloatCycle.h"

#include <algorithm>

void ProcessFloatCycle(const float* const in[2], float* const out[2], uint32_t frames, double* input, double* output,
                       AudioProcessFunction process, void* user, bool xrun)
{
    for (int c = 0; c < 2; ++c) {
        std::copy(in[c], in[c] + frames, input + static_cast<size_t>(c) * frames);
    }
    process(user, output, input, frames, xrun);
    for (int c = 0; c < 2; ++c) {
        const double* from = output + static_cast<size_t>(c) * frames;
        std::transform(from, from + frames, out[c], [](double v) { return static_cast<float>(v); });
    }
}
