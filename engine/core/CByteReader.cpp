#include "engine/core/CByteReader.h"

#include <cstring>

const uint8_t* CByteReader::Take(size_t size)
{
    if (m_failed || size > m_size - m_offset)
    {
        Fail();
        return nullptr;
    }
    const uint8_t* at = m_data + m_offset;
    m_offset += size;
    return at;
}

uint8_t CByteReader::U8()
{
    const uint8_t* at = Take(1);
    return at != nullptr ? at[0] : 0;
}

uint16_t CByteReader::U16()
{
    const uint8_t* at = Take(2);
    if (at == nullptr)
        return 0;
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

uint32_t CByteReader::U32()
{
    const uint8_t* at = Take(4);
    if (at == nullptr)
        return 0;
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

float CByteReader::F32()
{
    const uint32_t bits = U32();
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

bool CByteReader::Bytes(void* out, size_t size)
{
    const uint8_t* at = Take(size);
    if (at == nullptr)
    {
        std::memset(out, 0, size);
        return false;
    }
    std::memcpy(out, at, size);
    return true;
}

bool CByteReader::FixedText(char* out, size_t size)
{
    if (size == 0)
        return !m_failed;
    const bool read = Bytes(out, size);
    out[size - 1] = '\0';
    return read;
}

bool CByteReader::CanRead(uint64_t count, uint64_t recordSize) const
{
    if (m_failed)
        return false;
    if (recordSize != 0 && count > (m_size - m_offset) / recordSize)
        return false;
    return true;
}
