#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>
#include <cstring>

// FNV-1a over a simulation's fields, floats by their bits, so that two runs
// (or two builds) can be compared frame by frame.
class CStateHash
{
public:
    void U8(uint8_t value) { Mix(&value, 1); }
    void U32(uint32_t value)
    {
        const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
        Mix(bytes, 4);
    }
    void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
    void F32(float value)
    {
        uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof(bits));
        U32(bits);
    }
    void Vec3(const CkvrVector3& value)
    {
        F32(value.x);
        F32(value.y);
        F32(value.z);
    }
    // A name, by its bytes and length (null hashes as empty): which
    // template a thing was made from.
    void Text(const char* text)
    {
        const size_t length = text != nullptr ? std::strlen(text) : 0;
        U32(static_cast<uint32_t>(length));
        Mix(reinterpret_cast<const uint8_t*>(text), length);
    }
    uint64_t Get() const { return m_hash; }

private:
    void Mix(const uint8_t* bytes, size_t size)
    {
        for (size_t i = 0; i < size; ++i)
        {
            m_hash ^= bytes[i];
            m_hash *= 1099511628211ull;
        }
    }

    uint64_t m_hash = 14695981039346656037ull;
};
