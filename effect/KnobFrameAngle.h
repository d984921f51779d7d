#pragma once

// Where a knob points at the ends of its travel, in degrees clockwise from
// twelve o'clock: seven o'clock at the lowest value, five o'clock at the
// highest. The knob images are drawn with these angles and the scale round
// each knob is printed at them, so a knob at an end points at the end mark.
constexpr double kKnobLowestDegrees = -150.0;
constexpr double kKnobHighestDegrees = 150.0;

// The angle frame (1 = lowest value) of a strip of frameCount frames points
// at, evenly spread over the travel.
constexpr double KnobFrameAngle(int frame, int frameCount)
{
    if (frameCount <= 1) {
        return kKnobLowestDegrees;
    }
    return kKnobLowestDegrees +
           (kKnobHighestDegrees - kKnobLowestDegrees) * static_cast<double>(frame - 1) / (frameCount - 1);
}
