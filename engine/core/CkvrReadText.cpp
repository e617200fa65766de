#include "engine/core/CkvrReadText.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CRect.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrQuaternion.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"
#include "engine/core/TextEncoding.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale.h>
#include <stdlib.h>

namespace
{
// Collects a token into the caller's buffer. Once a character does not fit,
// nothing more is added, so the text is always a prefix that ends on a
// character boundary.
class TokenWriter
{
public:
    TokenWriter(char* out, uint32_t capacity) : m_out(out), m_capacity(out != nullptr ? capacity : 0) {}

    void Add(const uint8_t* bytes, uint32_t count)
    {
        if (m_full || m_length + count + 1 > m_capacity)
        {
            m_full = true;
            return;
        }
        std::memcpy(m_out + m_length, bytes, count);
        m_length += count;
    }

    void Finish()
    {
        if (m_capacity > 0)
            m_out[m_length] = '\0';
    }

    uint32_t GetLength() const { return m_length; }

private:
    char* m_out;
    uint32_t m_capacity;
    uint32_t m_length = 0;
    bool m_full = false;
};

bool InSet(const char* set, uint8_t byte)
{
    return byte != 0 && set != nullptr && std::strchr(set, byte) != nullptr;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi in the C locale: blanks, a sign, digits; anything else ends the
// number. Out-of-range values stop at the limits of int32.
int32_t ParseInteger(const char* text)
{
    while (IsBlank(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
    {
        value = value * 10 + (*text - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1)
            break;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

// atof in the C locale whatever the process locale says: decimal digits with
// an optional point and exponent. Words such as "inf" and "nan" are not
// numbers here, and values beyond float become infinite.
float ParseFloat(const char* text)
{
    while (IsBlank(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    const bool digit = *text >= '0' && *text <= '9';
    if (!digit && !(*text == '.' && text[1] >= '0' && text[1] <= '9'))
        return 0.0f;
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(text, text + std::strlen(text), value);
    if (result.ec == std::errc::result_out_of_range)
    {
        // Too large or too small for a double: atof gives infinity or 0, and
        // so does strtod in the C locale.
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
        value = cLocale != nullptr ? strtod_l(text, nullptr, cLocale) : 0.0;
    }
    else if (result.ec != std::errc())
    {
        value = 0.0;
    }
    if (negative)
        value = -value;
    if (std::fabs(value) > std::numeric_limits<float>::max())
        return value > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}
}

CkvrReadText::CkvrReadText()
{
    std::memset(m_separators, 0, sizeof(m_separators));
}

CkvrReadText::~CkvrReadText()
{
    Close();
}

int CkvrReadText::OpenMemory(const void* data, uint32_t size)
{
    if (data == nullptr || size == 0)
        return 0;
    if (!AllocateBuffer(size))
        return 0;
    std::memcpy(m_buffer, data, size);
    return 1;
}

int CkvrReadText::Open(const char* path)
{
    if (!LoadWholeFile(path, 1))
        return 0;
    // Text mode on the system these files come from: CR LF arrives as LF. A
    // CR never is a Shift-JIS trail byte, so a plain scan is safe.
    const uint32_t length = m_size - 1;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < length; ++i)
    {
        if (m_buffer[i] == '\r' && i + 1 < length && m_buffer[i + 1] == '\n')
            continue;
        m_buffer[kept++] = m_buffer[i];
    }
    std::memset(m_buffer + kept, 0, m_size - kept);
    m_size = kept + 1;
    return 1;
}

void CkvrReadText::Close()
{
    std::memset(m_separators, 0, sizeof(m_separators));
    m_separatorCount = 0;
    CkvrReadFile::Close();
}

void CkvrReadText::SetSeparators(const char* separators)
{
    if (separators == nullptr)
        return;
    const size_t length = strnlen(separators, sizeof(m_separators) - 1);
    std::memset(m_separators, 0, sizeof(m_separators));
    std::memcpy(m_separators, separators, length);
    m_separatorCount = static_cast<uint32_t>(length);
}

// The text ends at the end of the buffer or at a NUL, whichever comes first.
bool CkvrReadText::AtEnd() const
{
    return m_cursor >= m_size || m_buffer[m_cursor] == 0;
}

uint32_t CkvrReadText::CharLength(uint32_t at) const
{
    if (IsShiftJisLeadByte(m_buffer[at]) && at + 1 < m_size && m_buffer[at + 1] != 0)
        return 2;
    return 1;
}

bool CkvrReadText::AtComment() const
{
    return m_cursor + 1 < m_size && m_buffer[m_cursor] == '/' && m_buffer[m_cursor + 1] == '/';
}

// Stops on the LF that ends the comment.
void CkvrReadText::SkipComment()
{
    m_cursor += 2;
    while (!AtEnd() && m_buffer[m_cursor] != '\n')
        m_cursor += CharLength(m_cursor);
}

void CkvrReadText::SkipSeparators(const char* set)
{
    while (!AtEnd())
    {
        if (AtComment())
        {
            SkipComment();
            continue;
        }
        const uint8_t byte = m_buffer[m_cursor];
        if (IsShiftJisLeadByte(byte) || !InSet(set, byte))
            return;
        ++m_cursor;
    }
}

int32_t CkvrReadText::CopyToken(char* out, uint32_t outSize, const char* separators)
{
    TokenWriter writer(out, outSize);
    SkipSeparators(separators);
    if (AtEnd())
    {
        writer.Finish();
        return kEndOfData;
    }
    while (!AtEnd())
    {
        const uint32_t length = CharLength(m_cursor);
        if (length == 1 && InSet(separators, m_buffer[m_cursor]))
            break;
        writer.Add(m_buffer + m_cursor, length);
        m_cursor += length;
    }
    writer.Finish();
    return 0;
}

int32_t CkvrReadText::ReadToken(char* out, uint32_t outSize)
{
    return CopyToken(out, outSize, m_separators);
}

int32_t CkvrReadText::PeekToken(char* out, uint32_t outSize)
{
    const uint32_t cursor = m_cursor;
    const int32_t result = CopyToken(out, outSize, m_separators);
    m_cursor = cursor;
    return result;
}

int32_t CkvrReadText::ReadTokenWith(char* out, uint32_t outSize, const char* separators)
{
    return CopyToken(out, outSize, separators);
}

int32_t CkvrReadText::ReadUntil(char* out, uint32_t outSize, const char* skipSet, const char* terminator)
{
    TokenWriter writer(out, outSize);
    SkipSeparators(skipSet);
    if (AtEnd())
    {
        writer.Finish();
        return kEndOfData;
    }
    const size_t terminatorLength = terminator != nullptr ? std::strlen(terminator) : 0;
    while (!AtEnd())
    {
        if (terminatorLength > 0 && terminatorLength <= m_size - m_cursor &&
            std::memcmp(m_buffer + m_cursor, terminator, terminatorLength) == 0)
        {
            m_cursor += static_cast<uint32_t>(terminatorLength);
            break;
        }
        const uint32_t length = CharLength(m_cursor);
        writer.Add(m_buffer + m_cursor, length);
        m_cursor += length;
    }
    writer.Finish();
    return 0;
}

int32_t CkvrReadText::SkipTo(const char* set)
{
    SkipSeparators(m_separators);
    while (!AtEnd())
    {
        if (AtComment())
        {
            SkipComment();
            continue;
        }
        const uint32_t length = CharLength(m_cursor);
        if (length == 1 && InSet(set, m_buffer[m_cursor]))
            return 0;
        m_cursor += length;
    }
    return kEndOfData;
}

int32_t CkvrReadText::SkipPast(const char* set)
{
    if (SkipTo(set) != 0)
        return kEndOfData;
    ++m_cursor;
    return 0;
}

int32_t CkvrReadText::SkipBlock()
{
    if (SkipPast("{") != 0)
        return kEndOfData;
    int depth = 1;
    while (!AtEnd())
    {
        const uint32_t length = CharLength(m_cursor);
        const uint8_t byte = m_buffer[m_cursor];
        m_cursor += length;
        if (length == 1 && byte == '{')
            ++depth;
        else if (length == 1 && byte == '}' && --depth == 0)
            break;
    }
    return 0;
}

char* CkvrReadText::ReadString()
{
    if (SkipPast("\"") != 0)
        return nullptr;
    char text[kMaxString];
    TokenWriter writer(text, sizeof(text));
    while (!AtEnd())
    {
        const uint32_t length = CharLength(m_cursor);
        if (length == 1 && m_buffer[m_cursor] == '"')
        {
            ++m_cursor;
            break;
        }
        writer.Add(m_buffer + m_cursor, length);
        m_cursor += length;
    }
    writer.Finish();
    const uint32_t length = writer.GetLength();
    if (length == 0)
        return nullptr;
    char* copy = static_cast<char*>(AlignedAlloc(length + 1, 16));
    if (copy != nullptr)
        std::memcpy(copy, text, length + 1);
    return copy;
}

int8_t CkvrReadText::ReadChar()
{
    char token[12];
    ReadToken(token, sizeof(token));
    return static_cast<int8_t>(ParseInteger(token));
}

int16_t CkvrReadText::ReadShort()
{
    char token[32];
    ReadToken(token, sizeof(token));
    return static_cast<int16_t>(ParseInteger(token));
}

int32_t CkvrReadText::ReadLong()
{
    char token[60];
    ReadToken(token, sizeof(token));
    return ParseInteger(token);
}

int32_t CkvrReadText::ReadInt()
{
    return ReadLong();
}

float CkvrReadText::ReadFloat()
{
    char token[60];
    ReadToken(token, sizeof(token));
    return ParseFloat(token);
}
