#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

// A model file built byte by byte, with records whose size fields are
// filled in when they are closed.
class ModelBytes
{
public:
    ModelBytes& Magic()
    {
        Raw("KVR MODEL VER 0.01 FILE", 23);
        return *this;
    }
    ModelBytes& U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    ModelBytes& U16(uint16_t v)
    {
        bytes.push_back(uint8_t(v));
        bytes.push_back(uint8_t(v >> 8));
        return *this;
    }
    ModelBytes& F32(float v) { return U32(std::bit_cast<uint32_t>(v)); }
    ModelBytes& Floats(std::initializer_list<float> values)
    {
        for (float v : values)
            F32(v);
        return *this;
    }
    ModelBytes& Text(const char* text)
    {
        Raw(text, std::strlen(text) + 1);
        return *this;
    }
    ModelBytes& Raw(const void* data, size_t size)
    {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
        return *this;
    }
    ModelBytes& End() { return U32(0xFFFFFFFFu); }
    // id, then a size that Close fills with the bytes up to the closing
    // marker, which Close writes.
    ModelBytes& Open(uint32_t id)
    {
        U32(id);
        m_open.push_back(bytes.size());
        return U32(0);
    }
    ModelBytes& Close()
    {
        const size_t at = m_open.back();
        m_open.pop_back();
        const uint32_t size = static_cast<uint32_t>(bytes.size() - at - 4);
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = uint8_t(size >> (8 * i));
        return End();
    }
    ModelBytes& Identity()
    {
        return Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    }
    // A bone chunk without weights or with the given (object, vertex,
    // weight) records.
    ModelBytes& Bone(const char* name, const char* parent,
                     std::initializer_list<std::tuple<uint16_t, uint32_t, float>> weights = {})
    {
        Open(7).Text(name).Text(parent).Identity().Identity().U32(uint32_t(weights.size()));
        for (const auto& [object, vertex, weight] : weights)
            U16(object).U32(vertex).F32(weight);
        return U32(0).F32(0).F32(0).Close();
    }
    // An object of n vertices (position only) on the x axis and one
    // triangle per three vertices in one range, one plain material.
    ModelBytes& Object(const char* name, uint32_t n)
    {
        Open(0).Text(name);
        Open(1).U32(n).U32(0x001);
        for (uint32_t i = 0; i < n; ++i)
            Floats({float(i), 0, 0});
        Close();
        Open(2).U32(n / 3 * 3);
        for (uint32_t i = 0; i < n / 3 * 3; ++i)
            U32(i);
        U32(1).U32(0).U32(n / 3 * 3).Close();
        Open(3).U32(1).Open(4).Text("m").Floats({1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}).U32(0).U32(0).U32(0)
            .F32(1).Close().Close();
        return Close();
    }

    std::vector<uint8_t> bytes;

private:
    std::vector<size_t> m_open;
};
