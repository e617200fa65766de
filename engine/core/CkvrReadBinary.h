#pragma once

#include "engine/core/CkvrReadFile.h"

// Cursor over raw little-endian data: model files, the binary story script,
// missions. A read that would pass the end of the data gives zero (or null)
// and leaves the cursor at the end, so a damaged file ends every loop that
// reads it.
class CkvrReadBinary : public CkvrReadFile
{
public:
    // The longest string ReadString returns, NUL included.
    static constexpr uint32_t kMaxString = 512;

    CkvrReadBinary() = default;
    ~CkvrReadBinary() override;

    int OpenMemory(const void* data, uint32_t size) override;
    int Open(const char* path) override;
    // Bytes up to a NUL (consumed) or the end of the data; a longer string is
    // cut to kMaxString - 1 bytes on a character boundary and the rest of it
    // skipped. Empty gives null.
    char* ReadString() override;
    int8_t ReadChar() override;
    int16_t ReadShort() override;
    int32_t ReadLong() override;
    int32_t ReadInt() override;
    float ReadFloat() override;
    const char* GetClassName() const override { return "CkvrReadBinary"; }

    // Copies size bytes at the cursor and moves past them. When fewer remain,
    // out is zero-filled, the cursor goes to the end and the result is 0.
    int ReadData(void* out, uint32_t size);
};
