#pragma once

#include "engine/core/CList.h"
#include "engine/core/KeyFrameValue.h"
#include "engine/core/CPathResolver.h"
#include "engine/core/FileIo.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// One key of a track: its time, an ease factor bending the blend towards
// the next key ((1 - e) u + e u^2; 0 is linear) and the value.
template <class T>
struct KVRKEYFRAME
{
    float time;
    float ease;
    T value;
};

// Key records are stored as these exact sizes in files; 32-bit "long"
// tracks of the data are int32_t / uint32_t tracks here.
static_assert(sizeof(KVRKEYFRAME<float>) == 12);
static_assert(sizeof(KVRKEYFRAME<int32_t>) == 12);
static_assert(sizeof(KVRKEYFRAME<uint32_t>) == 12);
static_assert(sizeof(KVRKEYFRAME<CkvrVector3>) == 20);
static_assert(sizeof(KVRKEYFRAME<CkvrVector4>) == 24);
static_assert(sizeof(KVRKEYFRAME<CkvrQuaternion>) == 24);
static_assert(sizeof(KVRKEYFRAME<CRect>) == 24);
static_assert(sizeof(KVRKEYFRAME<CkvrLine>) == 32);

// A named, time-ordered keyframe track with a default value, an
// interpolation switch, a loop switch and an optional interpolation
// function. The owner keeps the keys in ascending time order.
//
// Track record (little-endian), as model, camera and effect files embed it:
//   u32 N, N name bytes with the NUL (none when N = 0), u32 key count C,
//   C keys (f32 time, f32 ease, value), u32 interpolate, u32 loop, default.
template <class T>
class CKeyFrameList : public CList<KVRKEYFRAME<T>>
{
public:
    using Key = KVRKEYFRAME<T>;
    using Interpolator = uint32_t (*)(const T* a, const T* b, float u, T* out);

    static constexpr uint32_t kKeySize = sizeof(float) * 2 + sizeof(T);

    CKeyFrameList() = default;
    CKeyFrameList(const CKeyFrameList& other)
        : CList<Key>(other),
          m_interpolate(other.m_interpolate),
          m_loop(other.m_loop),
          m_default(other.m_default),
          m_interpolator(other.m_interpolator)
    {
    }
    CKeyFrameList& operator=(const CKeyFrameList&) = delete;

    const char* GetClassName() const override { return "CKeyFrameList"; }

    void SetInterpolator(Interpolator function) { m_interpolator = function; }
    Interpolator GetInterpolator() const { return m_interpolator; }
    void SetInterpolation(uint32_t flag) { m_interpolate = flag; }
    uint32_t GetInterpolation() const { return m_interpolate; }
    void SetLoop(uint32_t flag) { m_loop = flag; }
    uint32_t GetLoop() const { return m_loop; }
    void SetDefault(const T* value)
    {
        if (value != nullptr)
            m_default = *value;
    }
    const T& GetDefault() const { return m_default; }
    uint32_t GetValueSize() const { return sizeof(T); }

    // The value at time t. Past the last key a looping track wraps t: loop
    // mode 1 into the span from the first key to the last, any other mode
    // modulo the last key's time. Returns the interpolation's result; 0 only
    // for a null out or a time that is not a number (out then gets the first
    // key's value).
    uint32_t GetValueAt(float t, T* out, uint32_t loopMode) const
    {
        if (out == nullptr)
            return 0;
        const Key* keys = this->m_data;
        const uint32_t count = this->m_count;
        if (keys == nullptr || count == 0)
            return Interpolate(&m_default, nullptr, 0.0f, out);
        if (count == 1)
        {
            *out = keys[0].value;
            return 1;
        }
        const float t0 = keys[0].time;
        const float tN = keys[count - 1].time;
        if (t > tN)
        {
            if (!WrapTime(&t, t0, tN, loopMode))
            {
                *out = keys[count - 1].value;
                return 1;
            }
        }
        if (t <= t0)
        {
            *out = keys[0].value;
            return 1;
        }
        // One comparison per key on the way; a key at exactly t is its
        // value, a later one starts the span t lies in.
        for (uint32_t i = 1; i < count; ++i)
        {
            if (!(keys[i].time >= t))
                continue;
            if (keys[i].time == t)
            {
                *out = keys[i].value;
                return 1;
            }
            return Between(keys[i - 1], keys[i], t, out);
        }
        // Only a NaN time, or a wrap that rounded past the last key, gets
        // here; the output is written all the same.
        if (std::isnan(t))
        {
            *out = keys[0].value;
            return 0;
        }
        *out = keys[count - 1].value;
        return 1;
    }

    // Copies keys, switches, default value, interpolator and name into
    // target. 0 when target is null or the allocation fails.
    uint32_t CopyTo(CKeyFrameList* target) const
    {
        if (target == nullptr)
            return 0;
        if (target == this)
            return 1;
        if (!target->SetArray(this->m_data, this->m_count))
            return 0;
        target->m_interpolate = m_interpolate;
        target->m_loop = m_loop;
        target->m_default = m_default;
        target->m_interpolator = m_interpolator;
        target->SetName(this->GetName());
        return 1;
    }

    // Writes the track record. With file null, path is opened ("wb") and
    // closed again; a given file is left open just after the record.
    uint32_t Save(const char* path, FILE* file) const
    {
        if (file != nullptr)
            return WriteRecord(file) ? 1 : 0;
        FileHandle own = OpenFile(path, "wb");
        if (!own || !WriteRecord(own.get()))
            return 0;
        return CloseWrittenFile(std::move(own)) ? 1 : 0;
    }

    // Reads a track record. Every count is checked against the bytes that
    // remain; a short or inconsistent record gives 0 and leaves the track as
    // it was. With file null, path is opened ("rb") and closed again; a
    // given file is left just after the record.
    uint32_t Load(const char* path, FILE* file)
    {
        if (file != nullptr)
            return ReadRecord(file) ? 1 : 0;
        FileHandle own = OpenFile(path, "rb");
        return own && ReadRecord(own.get()) ? 1 : 0;
    }

private:
    uint32_t Interpolate(const T* a, const T* b, float u, T* out) const
    {
        if (m_interpolator != nullptr)
            return m_interpolator(a, b, u, out);
        return DefaultInterpolate(a, b, u, out);
    }

    // Wraps t (past the last key) back into the track; false when the track
    // does not loop, or its span is zero and there is nothing to wrap into.
    bool WrapTime(float* t, float t0, float tN, uint32_t loopMode) const
    {
        // All keys at one time leave no span to wrap into; a last key at
        // time 0 leaves no modulus.
        const double span = double(tN) - double(t0);
        if (m_loop == 0 || span == 0.0)
            return false;
        if (loopMode == 1)
        {
            const double past = double(*t) - double(tN);
            *t = t0 + float(past - span * std::trunc(past / span));
            return true;
        }
        if (tN == 0.0f)
            return false;
        *t = float(double(*t) - std::trunc(double(*t) / tN) * tN);
        return true;
    }

    uint32_t Between(const Key& a, const Key& b, float t, T* out) const
    {
        if (m_interpolate == 0)
        {
            *out = a.value;
            return 1;
        }
        const float u = float((double(t) - a.time) / (double(b.time) - a.time));
        const float eased = float((1.0 - a.ease) * u + double(a.ease) * u * u);
        return Interpolate(&a.value, &b.value, eased, out);
    }

    bool WriteRecord(FILE* file) const
    {
        const char* name = this->GetName();
        const uint32_t length = name != nullptr ? uint32_t(std::strlen(name) + 1) : 0;
        bool ok = WriteU32LE(file, length) && WriteBytes(file, name, length);
        ok = ok && WriteU32LE(file, this->m_count);
        for (uint32_t i = 0; ok && i < this->m_count; ++i)
        {
            const Key& key = this->m_data[i];
            ok = WriteF32LE(file, key.time) && WriteF32LE(file, key.ease) && WriteKeyValue(file, key.value);
        }
        return ok && WriteU32LE(file, m_interpolate) && WriteU32LE(file, m_loop) && WriteKeyValue(file, m_default);
    }

    bool ReadRecord(FILE* file)
    {
        // -1 when the stream can't tell; reads then stop at the real end.
        int64_t remaining = RemainingFileBytes(file);
        auto take = [&remaining](uint64_t bytes) {
            if (remaining < 0)
                return true;
            if (bytes > uint64_t(remaining))
                return false;
            remaining -= int64_t(bytes);
            return true;
        };

        uint32_t length = 0;
        if (!take(4) || !ReadU32LE(file, &length) || !take(length))
            return false;
        std::string name;
        if (length > 0)
        {
            // Bounded by the bytes present; a stream of unknown length is
            // read in pieces so that a lying length can't force a huge block.
            if (!ReadText(file, length, remaining >= 0, &name))
                return false;
        }

        uint32_t count = 0;
        if (!take(4) || !ReadU32LE(file, &count))
            return false;
        if (!take(uint64_t(count) * kKeySize))
            return false;
        std::vector<Key> keys;
        if (remaining >= 0)
            keys.reserve(count);
        for (uint32_t i = 0; i < count; ++i)
        {
            Key key{};
            if (!ReadF32LE(file, &key.time) || !ReadF32LE(file, &key.ease) || !ReadKeyValue(file, &key.value))
                return false;
            keys.push_back(key);
        }

        uint32_t interpolate = 0, loop = 0;
        T defaultValue{};
        if (!take(8 + sizeof(T)) || !ReadU32LE(file, &interpolate) || !ReadU32LE(file, &loop) ||
            !ReadKeyValue(file, &defaultValue))
            return false;

        if (!this->SetArray(keys.data(), count))
            return false;
        this->SetName(length > 0 ? name.c_str() : nullptr);
        m_interpolate = interpolate;
        m_loop = loop;
        m_default = defaultValue;
        return true;
    }

    // Reads length bytes of a name; the text ends at its first NUL.
    static bool ReadText(FILE* file, uint32_t length, bool lengthChecked, std::string* text)
    {
        constexpr uint32_t kPiece = 4096;
        std::string bytes;
        if (lengthChecked)
            bytes.reserve(length);
        char piece[kPiece];
        for (uint32_t done = 0; done < length;)
        {
            const uint32_t n = (length - done) < kPiece ? (length - done) : kPiece;
            if (!ReadBytes(file, piece, n))
                return false;
            bytes.append(piece, n);
            done += n;
        }
        *text = bytes.c_str();
        return true;
    }

    uint32_t m_interpolate = 1;
    uint32_t m_loop = 0;
    T m_default{};
    Interpolator m_interpolator = nullptr;
};
