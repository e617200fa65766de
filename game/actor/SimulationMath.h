#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>

// The few rules that keep a battle's numbers equal on every machine.

// Positions, rotations, velocities and camera angles are kept in steps of
// 1/1000, rounded to nearest; applying it twice changes nothing.
float QuantizeValue(float value);
void QuantizeVector(CkvrVector3* value);
// A yaw in [0, 360), wrapped before it is quantised.
float WrapYaw(float degrees);
// A yaw wrapped into [0, 360), then quantised (a value that rounds up to
// 360 becomes 0).
float QuantizeYaw(float degrees);
// Seconds of a frame of ms milliseconds, the very product the frame loop
// stores: (float)ms * 0.001f.
float FrameSeconds(uint32_t milliseconds);
// The step movement integrates over: long frames are cut to 50 ms, so that
// a stall does not throw a fighter through a wall.
float StepSeconds(uint32_t milliseconds);
