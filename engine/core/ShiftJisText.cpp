#include "engine/core/ShiftJisText.h"

#include "engine/core/TextEncoding.h"

#include <iconv.h>

#include <mutex>

namespace
{
// One iconv handle per direction, opened on first use.
class Converter
{
public:
    Converter(const char* to, const char* from) : m_handle(iconv_open(to, from)) {}
    ~Converter()
    {
        if (IsOpen())
            iconv_close(m_handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool IsOpen() const { return m_handle != reinterpret_cast<iconv_t>(-1); }

    // Converts one whole character; false when iconv refuses any of it.
    bool Convert(const char* in, size_t inSize, char* out, size_t outCapacity, size_t* outSize)
    {
        if (!IsOpen())
            return false;
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        char* source = const_cast<char*>(in);
        size_t sourceLeft = inSize;
        char* target = out;
        size_t targetLeft = outCapacity;
        if (iconv(m_handle, &source, &sourceLeft, &target, &targetLeft) == static_cast<size_t>(-1) || sourceLeft != 0)
            return false;
        *outSize = outCapacity - targetLeft;
        return true;
    }

private:
    iconv_t m_handle;
};

// An iconv handle keeps state between calls, so each is used under a lock.
std::mutex g_converterLock;

Converter& ToCodePoint()
{
    static Converter converter("UTF-32LE", "CP932");
    return converter;
}

Converter& ToShiftJis()
{
    static Converter converter("CP932", "UTF-8");
    return converter;
}

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}
}

size_t ShiftJisCharLength(const char* text)
{
    const unsigned char lead = static_cast<unsigned char>(text[0]);
    if (lead == 0)
        return 0;
    if (!IsShiftJisLeadByte(lead))
        return 1;
    return text[1] != 0 ? 2 : 0;
}

size_t ShiftJisCharLength(const char* text, size_t remaining)
{
    if (remaining == 0)
        return 0;
    const unsigned char lead = static_cast<unsigned char>(text[0]);
    if (lead == 0)
        return 0;
    if (!IsShiftJisLeadByte(lead))
        return 1;
    return remaining >= 2 && text[1] != 0 ? 2 : 0;
}

uint32_t ShiftJisToCodePoint(const char* bytes, size_t length)
{
    if (length == 0 || length > 2)
        return 0;
    if (length == 1 && static_cast<unsigned char>(bytes[0]) < 0x80)
        return static_cast<unsigned char>(bytes[0]);
    unsigned char out[8];
    size_t written = 0;
    std::lock_guard<std::mutex> guard(g_converterLock);
    if (!ToCodePoint().Convert(bytes, length, reinterpret_cast<char*>(out), sizeof(out), &written) || written != 4)
        return 0;
    return static_cast<uint32_t>(out[0]) | static_cast<uint32_t>(out[1]) << 8 | static_cast<uint32_t>(out[2]) << 16 |
           static_cast<uint32_t>(out[3]) << 24;
}

size_t Utf8SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

std::string ConvertUtf8ToShiftJisSkipping(const std::string& text)
{
    std::string result;
    size_t at = 0;
    while (at < text.size())
    {
        size_t length = Utf8SequenceLength(static_cast<unsigned char>(text[at]));
        if (length == 0 || at + length > text.size())
        {
            ++at;
            continue;
        }
        bool whole = true;
        for (size_t i = 1; i < length; ++i)
            whole = whole && IsContinuation(static_cast<unsigned char>(text[at + i]));
        if (!whole)
        {
            ++at;
            continue;
        }
        if (length == 1)
        {
            result.push_back(text[at]);
            at += 1;
            continue;
        }
        char out[8];
        size_t written = 0;
        std::lock_guard<std::mutex> guard(g_converterLock);
        if (ToShiftJis().Convert(text.data() + at, length, out, sizeof(out), &written))
            result.append(out, written);
        at += length;
    }
    return result;
}
