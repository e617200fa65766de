#pragma once

#include "engine/core/CkvrLine.h"
#include "engine/core/CkvrQuaternion.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"
#include "engine/core/CRect.h"

#include <cstdint>
#include <cstdio>

// What keyframe tracks need to know about each value type: how a pair of
// keys blends when the track has no interpolator of its own, and how a
// value is written to and read from a track record (field by field,
// little-endian, in memory order).
//
// Every interpolation takes (a, b or null, u, out): with b null or u = 0 it
// copies a; it returns 0 when a or out is null, else 1.

uint32_t InterpolateFloat(const float* a, const float* b, float u, float* out);
// a + trunc((b - a) * u), the difference taken as a signed 32-bit number.
uint32_t InterpolateInt(const int32_t* a, const int32_t* b, float u, int32_t* out);
uint32_t InterpolateUInt(const uint32_t* a, const uint32_t* b, float u, uint32_t* out);
uint32_t InterpolateVector3(const CkvrVector3* a, const CkvrVector3* b, float u, CkvrVector3* out);
uint32_t InterpolateVector4(const CkvrVector4* a, const CkvrVector4* b, float u, CkvrVector4* out);
// Per component, not spherical; rotation tracks set a slerp interpolator.
uint32_t InterpolateQuaternion(const CkvrQuaternion* a, const CkvrQuaternion* b, float u, CkvrQuaternion* out);
// a plus the difference rectangle scaled by u about its own centre.
uint32_t InterpolateRect(const CRect* a, const CRect* b, float u, CRect* out);
// Quadratic Bezier from a.second to b.second with a.first as the control
// point; out.first = a.first.
uint32_t InterpolateLineCurve(const CkvrLine* a, const CkvrLine* b, float u, CkvrLine* out);

inline uint32_t DefaultInterpolate(const float* a, const float* b, float u, float* out) { return InterpolateFloat(a, b, u, out); }
inline uint32_t DefaultInterpolate(const int32_t* a, const int32_t* b, float u, int32_t* out) { return InterpolateInt(a, b, u, out); }
inline uint32_t DefaultInterpolate(const uint32_t* a, const uint32_t* b, float u, uint32_t* out) { return InterpolateUInt(a, b, u, out); }
inline uint32_t DefaultInterpolate(const CkvrVector3* a, const CkvrVector3* b, float u, CkvrVector3* out) { return InterpolateVector3(a, b, u, out); }
inline uint32_t DefaultInterpolate(const CkvrVector4* a, const CkvrVector4* b, float u, CkvrVector4* out) { return InterpolateVector4(a, b, u, out); }
inline uint32_t DefaultInterpolate(const CkvrQuaternion* a, const CkvrQuaternion* b, float u, CkvrQuaternion* out) { return InterpolateQuaternion(a, b, u, out); }
inline uint32_t DefaultInterpolate(const CRect* a, const CRect* b, float u, CRect* out) { return InterpolateRect(a, b, u, out); }
inline uint32_t DefaultInterpolate(const CkvrLine* a, const CkvrLine* b, float u, CkvrLine* out) { return InterpolateLineCurve(a, b, u, out); }

bool WriteKeyValue(FILE* file, const float& v);
bool WriteKeyValue(FILE* file, const int32_t& v);
bool WriteKeyValue(FILE* file, const uint32_t& v);
bool WriteKeyValue(FILE* file, const CkvrVector3& v);
bool WriteKeyValue(FILE* file, const CkvrVector4& v);
bool WriteKeyValue(FILE* file, const CkvrQuaternion& v);
bool WriteKeyValue(FILE* file, const CRect& v);
bool WriteKeyValue(FILE* file, const CkvrLine& v);

bool ReadKeyValue(FILE* file, float* v);
bool ReadKeyValue(FILE* file, int32_t* v);
bool ReadKeyValue(FILE* file, uint32_t* v);
bool ReadKeyValue(FILE* file, CkvrVector3* v);
bool ReadKeyValue(FILE* file, CkvrVector4* v);
bool ReadKeyValue(FILE* file, CkvrQuaternion* v);
bool ReadKeyValue(FILE* file, CRect* v);
bool ReadKeyValue(FILE* file, CkvrLine* v);
