#pragma once

#include "engine/core/CkvrReadText.h"
#include "game/story/IStoryScriptSource.h"

#include <string>

class CMission;
class CStory;

// The text form of story scripts (".stt") and missions (".mit"): command
// words, each followed by its fields, separated by blanks, commas,
// semicolons and parentheses, so that "ShowWindow(0.5)" reads as a word
// and a number; "//" comments to the end of the line; texts in double
// quotes. A token that is no command word is passed over together with the
// brace block after it (the rest of the file when none follows).
//
// Numbers are read as atoi and atof read them: the longest number at the
// front of the token (none: 0), integers saturating at 32 bits, a byte
// field keeping the low 8 bits.
class CAnalysStoryText : public CkvrReadText, private IStoryScriptSource
{
public:
    static constexpr const char* kSeparators = " \r\n\t,;()";

    // Over data opened with the base class's Open or OpenMemory. 1, or 0
    // when the file can't be taken (the reason in GetError).
    int AnalysStory(CStory* story);
    int AnalysMission(CMission* mission);

    const std::string& GetError() const { return m_error; }
    const char* GetClassName() const override { return "CAnalysStoryText"; }

private:
    int NextOpcode() override;
    std::string Where() const override;
    bool ReadU8(uint8_t* out) override;
    bool ReadU32(uint32_t* out) override;
    bool ReadI32(int32_t* out) override;
    bool ReadF32(float* out) override;
    bool ReadText(char** out, uint32_t capacity) override;

    // The next token as atoi reads it; false at the end of the data.
    bool ReadInteger(int32_t* out);
    bool AtTextEnd() const;
    uint32_t TextCharLength(uint32_t at) const;

    uint32_t m_opcodeAt = 0;
    std::string m_error;
};
