#pragma once

#include "engine/core/CkvrReadBinary.h"
#include "game/story/IStoryScriptSource.h"

#include <string>

class CMission;
class CStory;

// The binary form of story scripts (".str") and missions (".mis"): no
// header, one opcode byte per record followed by its fields, little-endian
// (u32, i32 and f32 four bytes, texts their bytes and a 0 byte). A record
// that the data ends inside keeps what is left: a number cut short reads
// as 0, a text without its 0 byte as the bytes up to the end.
class CAnalysStoryBinary : public CkvrReadBinary, private IStoryScriptSource
{
public:
    // Over data opened with the base class's Open or OpenMemory. 1, or 0
    // when the file can't be taken (the reason in GetError).
    int AnalysStory(CStory* story);
    int AnalysMission(CMission* mission);

    const std::string& GetError() const { return m_error; }
    const char* GetClassName() const override { return "CAnalysStoryBinary"; }

private:
    int NextOpcode() override;
    std::string Where() const override;
    bool ReadU8(uint8_t* out) override;
    bool ReadU32(uint32_t* out) override;
    bool ReadI32(int32_t* out) override;
    bool ReadF32(float* out) override;
    bool ReadText(char** out, uint32_t capacity) override;

    uint32_t m_opcodeAt = 0;
    std::string m_error;
};
