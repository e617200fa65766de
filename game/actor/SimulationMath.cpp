#include "game/actor/SimulationMath.h"

#include <cmath>

float QuantizeValue(float value)
{
    return static_cast<float>(std::nearbyint(static_cast<double>(value) * 1000.0) / 1000.0);
}

void QuantizeVector(CkvrVector3* value)
{
    value->x = QuantizeValue(value->x);
    value->y = QuantizeValue(value->y);
    value->z = QuantizeValue(value->z);
}

float WrapYaw(float degrees)
{
    if (!std::isfinite(degrees))
        return 0.0f;
    float wrapped = std::fmod(degrees, 360.0f);
    if (wrapped < 0.0f)
        wrapped += 360.0f;
    // -1e-9 wraps to 360 - tiny, which rounds to 360 in float.
    return wrapped >= 360.0f ? 0.0f : wrapped;
}

float QuantizeYaw(float degrees)
{
    const float yaw = QuantizeValue(WrapYaw(degrees));
    return yaw >= 360.0f ? 0.0f : yaw;
}

float FrameSeconds(uint32_t milliseconds)
{
    return static_cast<float>(milliseconds) * 0.001f;
}

float StepSeconds(uint32_t milliseconds)
{
    return FrameSeconds(milliseconds < 50 ? milliseconds : 50);
}
