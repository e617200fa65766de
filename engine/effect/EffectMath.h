#pragma once

#include "engine/core/CKeyFrameList.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

#include <cmath>
#include <cstdint>

class CCamera;

// Small math the effect classes share.

inline constexpr double kEffectRadiansToDegrees = 180.0 / 3.14159265358979323846;

// Rotation in the Euler order an effect's rotation-order word picks: the
// lowest set bit of 1 Z.X.Y, 2 X.Y.Z, 4 Y.Z.X, 8 Z.Y.X, 16 X.Z.Y, 32 Y.X.Z;
// no listed bit gives Z.X.Y.
void BuildEffectRotation(uint32_t order, const CkvrVector3& degrees, CkvrMatrix* out);

CkvrVector4 MultiplyColor(const CkvrVector4& a, const CkvrVector4& b);
// Component-wise clamp into [low, high].
CkvrVector4 ClampColor(const CkvrVector4& c, float low, float high);
// 0xAARRGGBB of a colour in [0, 1].
uint32_t ColorToArgb(const CkvrVector4& c);

// Camera helpers of the particle facing modes.
CkvrVector3 GetCameraViewDirection(const CCamera& camera);
CkvrMatrix GetCameraInverseView(const CCamera& camera);
CkvrMatrix GetCameraUprightBillboard(const CCamera& camera);

// The random speed offset of an emission: (Random() mod trunc(200 spread))
// / 100 - spread. A spread whose modulus rounds to 0 (below 0.005) still
// draws, so that the stream advances alike, and adds nothing.
float RandomSpeedOffset(float spread);

// Wraps t (past the last key) back into a looping track; false when the
// track's span gives nothing to wrap into (all keys at one time, or a last
// key at 0 for the modulo mode), so that such a track never retriggers.
inline bool WrapTriggerTime(float* t, float first, float last, uint32_t loopMode)
{
    if (loopMode == 1)
    {
        const double span = double(last) - double(first);
        if (!(span > 0.0))
            return false;
        const double past = double(*t) - double(last);
        *t = float(double(first) + (past - span * std::trunc(past / span)));
        return true;
    }
    if (!(last > 0.0f))
        return false;
    *t = float(double(*t) - std::trunc(double(*t) / last) * double(last));
    return true;
}

// Index of the next trigger key at or after time t: the first key when its
// time is at or after t, else the first key whose time is past t; -1 when
// none. A looping track wraps a t beyond its last key first.
template <class T>
int64_t FindTriggerKey(const CKeyFrameList<T>& track, float t, uint32_t loopMode)
{
    const uint32_t count = track.GetCount();
    const KVRKEYFRAME<T>* keys = track.GetData();
    if (count == 0 || keys == nullptr)
        return -1;
    const float first = keys[0].time;
    const float last = keys[count - 1].time;
    if (last < t)
    {
        if (track.GetLoop() == 0 || !WrapTriggerTime(&t, first, last, loopMode))
            return -1;
    }
    if (first >= t)
        return 0;
    for (uint32_t i = 1; i < count; ++i)
        if (keys[i].time > t)
            return i;
    return -1;
}
