#include "engine/core/CByteWriter.h"

#include <cstring>

void CByteWriter::U16(uint16_t value)
{
    U8(static_cast<uint8_t>(value));
    U8(static_cast<uint8_t>(value >> 8));
}

void CByteWriter::U32(uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        U8(static_cast<uint8_t>(value >> shift));
}

void CByteWriter::F32(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    U32(bits);
}

void CByteWriter::Bytes(const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), bytes, bytes + size);
}

void CByteWriter::FixedText(const char* text, size_t size)
{
    if (size == 0)
        return;
    size_t length = text != nullptr ? strnlen(text, size - 1) : 0;
    Bytes(text, length);
    Zeros(size - length);
}
