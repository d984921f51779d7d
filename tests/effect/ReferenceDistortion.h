#pragma once

#include <cmath>
#include <vector>

// A plain, frame-by-frame transcription of the distortion's rules, kept
// separate from the optimised processing so the two can be compared.
struct ReferenceDistortion {
    double clipThreshold = 0.85;
    double lastOutput[2] = {0.0, 0.0};
    double coarse = 1.0, wet = 1.0, gain = 1.0, even = 0.0, odd = 0.0;
    int fine = 1;

    double Clip(double x, double amount)
    {
        if (std::fabs(x) > clipThreshold) {
            clipThreshold = x - 0.25 * amount;
        }
        if (std::fabs(x) > clipThreshold) {
            return x > 0 ? clipThreshold : -clipThreshold;
        }
        return x;
    }

    double Channel(double held, double dry, double last, int j)
    {
        double c = Clip(held, odd);
        double s = (1 - odd) * held + c * odd;
        if (s <= last) {
            s = s * (1 - even) + s * (s * s) * even;
        }
        if (j % fine != 0) {
            s = (2 * s) / 3;
        }
        return ((1 - wet) * dry + s * wet) * gain;
    }

    void Process(const double* inL, const double* inR, double* outL, double* outR, int n)
    {
        if (n <= 0) {
            return;
        }
        const int h = static_cast<int>(coarse);
        int counter = 0;
        double heldL = inL[0], heldR = inR[0];
        for (int j = 0; j < n; ++j) {
            if (counter >= h) {
                heldL = inL[j];
                heldR = inR[j];
                counter = 0;
            }
            ++counter;
            const double dl = inL[j], dr = inR[j];
            outL[j] = Channel(heldL, dl, lastOutput[0], j);
            outR[j] = Channel(heldR, dr, lastOutput[1], j);
            lastOutput[0] = outL[j];
            lastOutput[1] = outR[j];
        }
    }
};
