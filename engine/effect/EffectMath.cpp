#include "engine/effect/EffectMath.h"

#include "engine/core/CRandom.h"
#include "engine/render/CCamera.h"

#include <algorithm>

namespace
{
constexpr double kPiDouble = 3.14159265358979323846;
}

void BuildEffectRotation(uint32_t order, const CkvrVector3& degrees, CkvrMatrix* out)
{
    const uint32_t lowest = order & (~order + 1u);
    switch (lowest)
    {
    case 2:
        out->SetRotationXYZ(&degrees);
        return;
    case 4:
        out->SetRotationYZX(&degrees);
        return;
    case 8:
        out->SetRotationZYX(&degrees);
        return;
    case 16:
        out->SetRotationXZY(&degrees);
        return;
    case 32:
        out->SetRotationYXZ(&degrees);
        return;
    default:
        out->SetRotationZXY(&degrees);
        return;
    }
}

CkvrVector4 MultiplyColor(const CkvrVector4& a, const CkvrVector4& b)
{
    return CkvrVector4(float(double(a.x) * b.x), float(double(a.y) * b.y), float(double(a.z) * b.z),
                       float(double(a.w) * b.w));
}

CkvrVector4 ClampColor(const CkvrVector4& c, float low, float high)
{
    auto clamp = [low, high](float v) { return std::min(std::max(v, low), high); };
    return CkvrVector4(clamp(c.x), clamp(c.y), clamp(c.z), clamp(c.w));
}

uint32_t ColorToArgb(const CkvrVector4& c)
{
    const CkvrVector4 k = ClampColor(c, 0.0f, 1.0f);
    auto byte = [](float v) { return uint32_t(v * 255.0f) & 0xFFu; };
    return (byte(k.w) << 24) | (byte(k.x) << 16) | (byte(k.y) << 8) | byte(k.z);
}

CkvrVector3 GetCameraViewDirection(const CCamera& camera)
{
    return camera.GetTarget() - camera.GetEye();
}

CkvrMatrix GetCameraInverseView(const CCamera& camera)
{
    return camera.GetViewMatrix().GetInverse();
}

CkvrMatrix GetCameraUprightBillboard(const CCamera& camera)
{
    const CkvrVector3 v = GetCameraViewDirection(camera);
    CkvrMatrix out;
    const double halfPi = kPiDouble / 2.0;
    if (v.x > 0.0f)
        out.SetRotationY(float((halfPi - std::atan(double(v.z) / v.x)) * 180.0 / kPiDouble));
    else if (v.x < 0.0f)
        out.SetRotationY(float((-std::atan(double(v.z) / v.x) - halfPi) * 180.0 / kPiDouble));
    return out;
}

float RandomSpeedOffset(float spread)
{
    const double modulus = std::trunc(2.0 * 100.0 * double(spread));
    const uint32_t drawn = Random();
    const double magnitude = std::fabs(modulus);
    // NaN, zero or a spread too large for a 32-bit modulus adds nothing.
    if (!(magnitude >= 1.0) || magnitude > 4294967295.0)
        return 0.0f;
    const uint32_t divisor = uint32_t(magnitude);
    return float(double(drawn % divisor) / 100.0 - double(spread));
}
