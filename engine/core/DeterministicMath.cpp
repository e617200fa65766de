#include "engine/core/DeterministicMath.h"

#include <cmath>

namespace
{
// pi/2 split so that k * kHalfPiHigh is exact for |k| < 2^20.
constexpr double kHalfPiHigh = 1.5707963267341256e+00;
constexpr double kHalfPiLow = 6.0771005065061922e-11;
constexpr double kInvHalfPi = 6.3661977236758138e-01;
constexpr double kHalfPi = 1.5707963267948966e+00;
constexpr double kPiDouble = 3.1415926535897931e+00;

// Taylor series on |r| <= pi/4, Horner form; the last term is below 1e-17.
double SinKernel(double r)
{
    const double r2 = r * r;
    double p = 1.0 / 6227020800.0;   // 1/13!
    p = -1.0 / 39916800.0 + r2 * p;  // 1/11!
    p = 1.0 / 362880.0 + r2 * p;     // 1/9!
    p = -1.0 / 5040.0 + r2 * p;      // 1/7!
    p = 1.0 / 120.0 + r2 * p;        // 1/5!
    p = -1.0 / 6.0 + r2 * p;         // 1/3!
    return r + r * (r2 * p);
}

double CosKernel(double r)
{
    const double r2 = r * r;
    double p = 1.0 / 87178291200.0;  // 1/14!
    p = -1.0 / 479001600.0 + r2 * p; // 1/12!
    p = 1.0 / 3628800.0 + r2 * p;    // 1/10!
    p = -1.0 / 40320.0 + r2 * p;     // 1/8!
    p = 1.0 / 720.0 + r2 * p;        // 1/6!
    p = -1.0 / 24.0 + r2 * p;        // 1/4!
    p = 0.5 + r2 * p;
    return 1.0 - r2 * p;
}

// Reduces x to r in [-pi/4, pi/4] with x = r + k pi/2; returns k mod 4.
int Reduce(double x, double* r)
{
    const double k = std::nearbyint(x * kInvHalfPi);
    *r = (x - k * kHalfPiHigh) - k * kHalfPiLow;
    const long long quadrant = static_cast<long long>(std::fmod(k, 4.0));
    return static_cast<int>((quadrant + 4) % 4);
}

// atan on [0, 1]: two half-angle steps bring t below tan(pi/16), where the
// series converges to double precision within 12 terms.
double AtanUnit(double t)
{
    for (int i = 0; i < 2; ++i)
        t = t / (1.0 + std::sqrt(1.0 + t * t));
    const double t2 = t * t;
    double p = 0.0;
    for (int n = 12; n >= 1; --n)
    {
        const double term = 1.0 / static_cast<double>(2 * n + 1);
        p = ((n % 2) != 0 ? -term : term) + t2 * p;
    }
    return 4.0 * (t + t * (t2 * p));
}
}

double KvrSin(double radians)
{
    if (!std::isfinite(radians))
        return radians - radians;
    double r = 0.0;
    switch (Reduce(radians, &r))
    {
    case 0: return SinKernel(r);
    case 1: return CosKernel(r);
    case 2: return -SinKernel(r);
    default: return -CosKernel(r);
    }
}

double KvrCos(double radians)
{
    if (!std::isfinite(radians))
        return radians - radians;
    double r = 0.0;
    switch (Reduce(radians, &r))
    {
    case 0: return CosKernel(r);
    case 1: return -SinKernel(r);
    case 2: return -CosKernel(r);
    default: return SinKernel(r);
    }
}

double KvrAtan2(double y, double x)
{
    if (std::isnan(x) || std::isnan(y))
        return x + y;
    const double ay = std::fabs(y), ax = std::fabs(x);
    double angle = 0.0;
    if (ax == 0.0 && ay == 0.0)
        angle = 0.0;
    else if (std::isinf(ax) || std::isinf(ay))
        angle = std::isinf(ax) ? (std::isinf(ay) ? kPiDouble / 4.0 : 0.0) : kHalfPi;
    else if (ay <= ax)
        angle = AtanUnit(ay / ax);
    else
        angle = kHalfPi - AtanUnit(ax / ay);
    if (std::signbit(x))
        angle = kPiDouble - angle;
    return std::signbit(y) ? -angle : angle;
}
