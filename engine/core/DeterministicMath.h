#pragma once

// Sine, cosine and arc tangent computed with the basic IEEE operations only
// (+, -, *, /, sqrt, nearbyint), in double, in a fixed order. The C library's
// versions differ between library versions and machines by an ulp now and
// then; battles, replays and online peers must compute the same bits, so all
// simulation math goes through these. Results are within a few 1e-8 of the
// exact values for arguments of everyday size (|x| < 1e5 radians).

double KvrSin(double radians);
double KvrCos(double radians);
// Angle of (x, y) in (-pi, pi]; 0 for (0, 0) with the signs of atan2.
double KvrAtan2(double y, double x);

inline float KvrSin(float radians)
{
    return static_cast<float>(KvrSin(static_cast<double>(radians)));
}

inline float KvrCos(float radians)
{
    return static_cast<float>(KvrCos(static_cast<double>(radians)));
}

inline float KvrAtan2(float y, float x)
{
    return static_cast<float>(KvrAtan2(static_cast<double>(y), static_cast<double>(x)));
}
