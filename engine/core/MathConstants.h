#pragma once

#include <cstdint>

// Constants shared by the math types. They are the float values the data
// was authored with; changing one changes stored and replayed results.
inline constexpr float kDegreeToRadian = 0.0174532924f;     // float nearest pi/180
inline constexpr float kHalfDegreeToRadian = 0.00872664619f; // float nearest pi/360
inline constexpr float kPi = 3.14159274f;                    // float nearest pi
inline constexpr float kSlerpThreshold = 0.001f;
inline constexpr float kAxisAngleThreshold = 0.0001f;
inline constexpr double kPerpendicularThreshold = 0.7071067811865476;

inline float DegreeToRadian(float degrees)
{
    return static_cast<float>(double(degrees) * kDegreeToRadian);
}

inline float RadianToDegree(float radians)
{
    return static_cast<float>(double(radians) * 180.0 / double(kPi));
}

// The same in float arithmetic (a product and a quotient, each rounded to
// float), as the camera's and the pads' angles are worked out: other
// rounding would turn fighters differently and set recorded replays off
// their course.
inline float RadianToDegreeFloat(float radians)
{
    return radians * 180.0f / kPi;
}

// One rounded product, as the device's spot cones are worked out.
inline constexpr float kRadianToDegree = 57.2957802f; // float nearest 180/pi

// One component of a random vector: c > 0 draws one number and maps it into
// [-c, c) in steps of 1/resolution; c = 0 draws nothing. Defined with the
// random stream in CRandom.cpp.
float RandomComponent(float c, int32_t resolution);
