#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Builds a little-endian record in memory, field by field, for files that
// are written whole (settings, save files, game data).
class CByteWriter
{
public:
    void U8(uint8_t value) { m_bytes.push_back(value); }
    void U16(uint16_t value);
    void U32(uint32_t value);
    void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
    void F32(float value);
    void Bytes(const void* data, size_t size);
    // A text in a fixed field of size bytes: the text, a NUL, zeros after it.
    // A longer text is cut so that the NUL fits.
    void FixedText(const char* text, size_t size);
    void Zeros(size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }

    const std::vector<uint8_t>& GetBytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};
