#include "standalone/ProcessFloatCycle.h"

namespace {

// Plain loops over pointers that cannot overlap: built with the full
// optimisation level (see CMakeLists.txt), they become vector conversions.
void Widen(const float* __restrict from, double* __restrict to, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        to[i] = from[i];
    }
}

void Narrow(const double* __restrict from, float* __restrict to, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        to[i] = static_cast<float>(from[i]);
    }
}

} // namespace

void ProcessFloatCycle(const float* const in[2], float* const out[2], uint32_t frames, double* input, double* output,
                       AudioProcessFunction process, void* user, bool xrun)
{
    Widen(in[0], input, frames);
    Widen(in[1], input + frames, frames);
    process(user, output, input, frames, xrun);
    Narrow(output, out[0], frames);
    Narrow(output + frames, out[1], frames);
}
