#include "game/story/CAnalysStoryText.h"

#include "engine/core/TextEncoding.h"
#include "game/story/CStoryRecordReader.h"
#include "game/story/StoryText.h"
#include "game/story/tag_TOLQSTORYTEMPLATE.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace
{
// Optional sign, then decimal digits and nothing else.
bool ParseDecimal(const char* text, int64_t min, int64_t max, int64_t* out)
{
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    if (*text == '\0')
        return false;
    int64_t value = 0;
    for (; *text != '\0'; ++text)
    {
        if (*text < '0' || *text > '9')
            return false;
        value = value * 10 + (*text - '0');
        if (value > INT64_C(1) << 40)
            return false;
    }
    value = negative ? -value : value;
    if (value < min || value > max)
        return false;
    *out = value;
    return true;
}
}

int CAnalysStoryText::AnalysStory(CStory* story)
{
    SetSeparators(kSeparators);
    CStoryRecordReader reader(*this);
    const bool read = reader.ReadStory(story);
    m_error = reader.GetError();
    return read ? 1 : 0;
}

int CAnalysStoryText::AnalysMission(CMission* mission)
{
    SetSeparators(kSeparators);
    CStoryRecordReader reader(*this);
    const bool read = reader.ReadMission(mission);
    m_error = reader.GetError();
    return read ? 1 : 0;
}

int CAnalysStoryText::NextOpcode()
{
    // Longer than any command word, so a cut token never matches one.
    char token[32];
    if (PeekToken(token, sizeof(token)) == kEndOfData)
        return kEnd;
    const int opcode = FindStoryCommand(token);
    if (opcode < 0)
        return SkipBlock() == kEndOfData ? kEnd : kSkipped;
    ReadToken(token, sizeof(token));
    // The whole word was read, so it ends at the cursor.
    m_opcodeAt = GetCursor() - static_cast<uint32_t>(std::strlen(token));
    return opcode;
}

std::string CAnalysStoryText::Where() const
{
    const uint32_t end = std::min(m_opcodeAt, GetSize());
    const uint32_t line = 1 + static_cast<uint32_t>(std::count(GetBuffer(), GetBuffer() + end, '\n'));
    return "line " + std::to_string(line);
}

bool CAnalysStoryText::ReadInteger(int64_t min, int64_t max, int64_t* out)
{
    // Long enough for any value in range with its sign.
    char token[24];
    return ReadToken(token, sizeof(token)) != kEndOfData && ParseDecimal(token, min, max, out);
}

bool CAnalysStoryText::ReadU8(uint8_t* out)
{
    int64_t value = 0;
    if (!ReadInteger(INT8_MIN, UINT8_MAX, &value))
        return false;
    *out = static_cast<uint8_t>(value);
    return true;
}

bool CAnalysStoryText::ReadU32(uint32_t* out)
{
    int64_t value = 0;
    if (!ReadInteger(INT32_MIN, UINT32_MAX, &value))
        return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

bool CAnalysStoryText::ReadI32(int32_t* out)
{
    int64_t value = 0;
    if (!ReadInteger(INT32_MIN, INT32_MAX, &value))
        return false;
    *out = static_cast<int32_t>(value);
    return true;
}

bool CAnalysStoryText::ReadF32(float* out)
{
    char token[4];
    if (PeekToken(token, sizeof(token)) == kEndOfData)
        return false;
    const float value = ReadFloat();
    if (!std::isfinite(value))
        return false;
    *out = value;
    return true;
}

bool CAnalysStoryText::AtTextEnd() const
{
    return m_cursor >= m_size || m_buffer[m_cursor] == 0;
}

uint32_t CAnalysStoryText::TextCharLength(uint32_t at) const
{
    if (IsShiftJisLeadByte(m_buffer[at]) && at + 1 < m_size && m_buffer[at + 1] != 0)
        return 2;
    return 1;
}

// Everything between the next double quote and the following one (or the
// end of the data), separators, braces and "//" included.
bool CAnalysStoryText::ReadText(char** out, uint32_t capacity)
{
    if (SkipPast("\"") == kEndOfData)
        return false;
    const uint32_t start = m_cursor;
    while (!AtTextEnd() && !(m_buffer[m_cursor] == '"' && TextCharLength(m_cursor) == 1))
        m_cursor += TextCharLength(m_cursor);
    const uint32_t end = std::min(m_cursor, m_size);
    if (!AtTextEnd())
        ++m_cursor;
    *out = CopyStoryText(reinterpret_cast<const char*>(m_buffer) + start, end - start, capacity);
    return true;
}
