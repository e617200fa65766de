#include "engine/core/KeyFrameValue.h"

#include "engine/core/FileIo.h"

namespace
{
float Lerp(float a, float b, float u)
{
    return float(double(a) + (double(b) - double(a)) * u);
}

// Truncates toward zero; what a 64-bit integer can't hold (and NaN, from a
// file's ease or time) gives 0 instead of undefined behaviour.
int64_t Truncate(double v)
{
    if (!(v > -9.2e18 && v < 9.2e18))
        return 0;
    return static_cast<int64_t>(v);
}

uint32_t LerpWord(uint32_t a, uint32_t b, float u)
{
    const int32_t difference = static_cast<int32_t>(b - a);
    return a + static_cast<uint32_t>(Truncate(double(difference) * u));
}

// Every interpolation: a missing key or output fails, a missing second key
// or u of 0 gives the first key as it is, anything else blend's value.
template <class T, class Blend>
uint32_t InterpolateWith(const T* a, const T* b, float u, T* out, Blend blend)
{
    if (a == nullptr || out == nullptr)
        return 0;
    if (b == nullptr || u == 0.0f)
    {
        *out = *a;
        return 1;
    }
    *out = blend(*a, *b, u);
    return 1;
}

int32_t LerpInt(const int32_t& a, const int32_t& b, float u)
{
    return static_cast<int32_t>(LerpWord(static_cast<uint32_t>(a), static_cast<uint32_t>(b), u));
}

uint32_t LerpUInt(const uint32_t& a, const uint32_t& b, float u)
{
    return LerpWord(a, b, u);
}

float LerpFloat(const float& a, const float& b, float u)
{
    return Lerp(a, b, u);
}

CkvrVector3 LerpVector(const CkvrVector3& a, const CkvrVector3& b, float u)
{
    return CkvrVector3(Lerp(a.x, b.x, u), Lerp(a.y, b.y, u), Lerp(a.z, b.z, u));
}

CkvrVector4 LerpVector4(const CkvrVector4& a, const CkvrVector4& b, float u)
{
    return CkvrVector4(Lerp(a.x, b.x, u), Lerp(a.y, b.y, u), Lerp(a.z, b.z, u), Lerp(a.w, b.w, u));
}

CkvrQuaternion LerpQuaternion(const CkvrQuaternion& a, const CkvrQuaternion& b, float u)
{
    return CkvrQuaternion(Lerp(a.x, b.x, u), Lerp(a.y, b.y, u), Lerp(a.z, b.z, u), Lerp(a.w, b.w, u));
}

// The rectangle's centre moves by u of the way; its half-size grows or
// shrinks by u of the difference, around the moved centre.
CRect LerpRect(const CRect& a, const CRect& b, float u)
{
    const double dl = double(b.left) - a.left, dr = double(b.right) - a.right;
    const double dt = double(b.top) - a.top, db = double(b.bottom) - a.bottom;
    const double cx = (dl + dr) / 2.0, cy = (dt + db) / 2.0;
    const double w = (dr - dl) / 2.0 * u, h = (db - dt) / 2.0 * u;
    CRect r = a;
    r.left = float(a.left + (cx - w));
    r.top = float(a.top + (cy - h));
    r.right = float(a.right + (cx + w));
    r.bottom = float(a.bottom + (cy + h));
    return r;
}

// A quadratic curve from a's end point towards b's, pulled by a's control
// point (a.first); the control point stays.
CkvrLine LerpLineCurve(const CkvrLine& a, const CkvrLine& b, float u)
{
    const double k1 = 2.0 * u * (1.0 - u);
    const double k2 = double(u) * u;
    const CkvrVector3& c = a.first;
    const CkvrVector3& p = a.second;
    const CkvrVector3& q = b.second;
    return CkvrLine(c, CkvrVector3(float(p.x + k1 * (double(c.x) - p.x) + k2 * (double(q.x) - p.x)),
                                   float(p.y + k1 * (double(c.y) - p.y) + k2 * (double(q.y) - p.y)),
                                   float(p.z + k1 * (double(c.z) - p.z) + k2 * (double(q.z) - p.z))));
}
}

// The value types' default interpolations: one blend each.
uint32_t InterpolateFloat(const float* a, const float* b, float u, float* out) { return InterpolateWith(a, b, u, out, &LerpFloat); }
uint32_t InterpolateInt(const int32_t* a, const int32_t* b, float u, int32_t* out) { return InterpolateWith(a, b, u, out, &LerpInt); }
uint32_t InterpolateUInt(const uint32_t* a, const uint32_t* b, float u, uint32_t* out) { return InterpolateWith(a, b, u, out, &LerpUInt); }
uint32_t InterpolateVector3(const CkvrVector3* a, const CkvrVector3* b, float u, CkvrVector3* out) { return InterpolateWith(a, b, u, out, &LerpVector); }
uint32_t InterpolateVector4(const CkvrVector4* a, const CkvrVector4* b, float u, CkvrVector4* out) { return InterpolateWith(a, b, u, out, &LerpVector4); }
uint32_t InterpolateQuaternion(const CkvrQuaternion* a, const CkvrQuaternion* b, float u, CkvrQuaternion* out) { return InterpolateWith(a, b, u, out, &LerpQuaternion); }
uint32_t InterpolateRect(const CRect* a, const CRect* b, float u, CRect* out) { return InterpolateWith(a, b, u, out, &LerpRect); }
uint32_t InterpolateLineCurve(const CkvrLine* a, const CkvrLine* b, float u, CkvrLine* out) { return InterpolateWith(a, b, u, out, &LerpLineCurve); }

bool WriteKeyValue(FILE* file, const float& v)
{
    return WriteF32LE(file, v);
}

bool WriteKeyValue(FILE* file, const int32_t& v)
{
    return WriteU32LE(file, static_cast<uint32_t>(v));
}

bool WriteKeyValue(FILE* file, const uint32_t& v)
{
    return WriteU32LE(file, v);
}

bool WriteKeyValue(FILE* file, const CkvrVector3& v)
{
    return WriteF32LE(file, v.x) && WriteF32LE(file, v.y) && WriteF32LE(file, v.z);
}

bool WriteKeyValue(FILE* file, const CkvrVector4& v)
{
    return WriteF32LE(file, v.x) && WriteF32LE(file, v.y) && WriteF32LE(file, v.z) && WriteF32LE(file, v.w);
}

bool WriteKeyValue(FILE* file, const CkvrQuaternion& v)
{
    return WriteF32LE(file, v.x) && WriteF32LE(file, v.y) && WriteF32LE(file, v.z) && WriteF32LE(file, v.w);
}

bool WriteKeyValue(FILE* file, const CRect& v)
{
    return WriteF32LE(file, v.left) && WriteF32LE(file, v.top) && WriteF32LE(file, v.right) &&
           WriteF32LE(file, v.bottom);
}

bool WriteKeyValue(FILE* file, const CkvrLine& v)
{
    return WriteKeyValue(file, v.first) && WriteKeyValue(file, v.second);
}

bool ReadKeyValue(FILE* file, float* v)
{
    return ReadF32LE(file, v);
}

bool ReadKeyValue(FILE* file, int32_t* v)
{
    uint32_t word = 0;
    if (!ReadU32LE(file, &word))
        return false;
    *v = static_cast<int32_t>(word);
    return true;
}

bool ReadKeyValue(FILE* file, uint32_t* v)
{
    return ReadU32LE(file, v);
}

bool ReadKeyValue(FILE* file, CkvrVector3* v)
{
    return ReadF32LE(file, &v->x) && ReadF32LE(file, &v->y) && ReadF32LE(file, &v->z);
}

bool ReadKeyValue(FILE* file, CkvrVector4* v)
{
    return ReadF32LE(file, &v->x) && ReadF32LE(file, &v->y) && ReadF32LE(file, &v->z) && ReadF32LE(file, &v->w);
}

bool ReadKeyValue(FILE* file, CkvrQuaternion* v)
{
    return ReadF32LE(file, &v->x) && ReadF32LE(file, &v->y) && ReadF32LE(file, &v->z) && ReadF32LE(file, &v->w);
}

bool ReadKeyValue(FILE* file, CRect* v)
{
    return ReadF32LE(file, &v->left) && ReadF32LE(file, &v->top) && ReadF32LE(file, &v->right) &&
           ReadF32LE(file, &v->bottom);
}

bool ReadKeyValue(FILE* file, CkvrLine* v)
{
    return ReadKeyValue(file, &v->first) && ReadKeyValue(file, &v->second);
}
