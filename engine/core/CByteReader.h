#pragma once

#include <cstddef>
#include <cstdint>

// Reads a little-endian record from memory, field by field. A read past the
// end gives zero and marks the reader failed; every later read fails too, so
// a caller checks Failed() once at the end of a block of fields.
class CByteReader
{
public:
    CByteReader(const void* data, size_t size)
        : m_data(static_cast<const uint8_t*>(data)), m_size(data != nullptr ? size : 0)
    {
    }

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    int32_t I32() { return static_cast<int32_t>(U32()); }
    float F32();
    // Copies size bytes; on failure out is zero-filled.
    bool Bytes(void* out, size_t size);
    // A fixed text field of size bytes into out (size bytes too), with a NUL
    // forced at its last byte.
    bool FixedText(char* out, size_t size);

    // 1 when count records of recordSize bytes can still be read: checks a
    // count taken from the data before anything is allocated for it.
    bool CanRead(uint64_t count, uint64_t recordSize) const;
    // Gives up on the rest of the data, as a read past the end would.
    void Fail()
    {
        m_failed = true;
        m_offset = m_size;
    }
    size_t GetRemaining() const { return m_size - m_offset; }
    bool Failed() const { return m_failed; }
    bool AtEnd() const { return m_offset == m_size; }

private:
    const uint8_t* Take(size_t size);

    const uint8_t* m_data;
    size_t m_size;
    size_t m_offset = 0;
    bool m_failed = false;
};
