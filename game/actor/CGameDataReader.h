#pragma once

#include "engine/core/CByteReader.h"
#include "engine/core/CkvrVector3.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Reads one game-data file (characters, weapons, stages, ...) field by field
// and applies the rules every such file shares: a 4-byte magic with version 1,
// fixed texts that hold a NUL with only zeros after it, counted texts with a
// single NUL at their end, finite floats and zero padding. The first broken
// rule fails the reader; Finish() then also demands that the whole file was
// consumed. Definitions check their own ranges and call Fail().
class CGameDataReader
{
public:
    // Longest counted text, its NUL included.
    static constexpr uint32_t kMaxTextSize = 261;

    CGameDataReader(const void* data, size_t size) : m_reader(data, size) {}

    // The magic, version 1 and a zero word.
    void Header(const char* magic);
    // 1 when the data starts with that magic, without consuming anything.
    static bool HasMagic(const void* data, size_t size, const char* magic);

    uint8_t U8() { return m_reader.U8(); }
    uint16_t U16() { return m_reader.U16(); }
    uint32_t U32() { return m_reader.U32(); }
    // A byte within [low, high].
    uint8_t U8In(uint8_t low, uint8_t high);
    // A finite float.
    float F32();
    // A finite float above zero (sizes, radii, speeds).
    float Positive();
    // A finite float within [low, high].
    float F32In(float low, float high);
    void Vec3(CkvrVector3* out);
    // count zero bytes.
    void Pad(size_t count);
    // A text field of size bytes.
    void FixedText(char* out, size_t size);
    // A counted text: u32 n, then n bytes; 0 is none (an empty string here),
    // n = 1 (a lone NUL) is refused, as it could not be told from none.
    void Text(std::string* out);
    // A count checked against the records that can still follow, so that no
    // allocation is made for data that is not there.
    bool CanRead(uint64_t count, uint64_t minimumRecordSize) const;

    void Fail() { m_reader.Fail(); }
    void Require(bool condition)
    {
        if (!condition)
            Fail();
    }
    bool Failed() const { return m_reader.Failed(); }
    // 1 when nothing failed and every byte was read.
    bool Finish() const { return !m_reader.Failed() && m_reader.AtEnd(); }

private:
    CByteReader m_reader;
};

// A weapon or clothes name: 2 to 126 bytes, no path separators, so that
// replays and online messages can carry it whole.
bool IsValidEquipmentName(const char* name);
