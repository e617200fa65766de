#include "engine/core/TextEncoding.h"

#include "engine/core/FailureLog.h"

#include <cerrno>
#include <iconv.h>

namespace
{
// One iconv conversion of the whole text. Bytes the converter refuses are
// replaced by '?' and skipped, so bad input never stops the conversion.
std::string Convert(const char* to, const char* from, const std::string& text, size_t badInputStep)
{
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1))
    {
        LogFailure("text: iconv_open", ErrnoText());
        return text;
    }

    std::string result;
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[256];
    while (inLeft > 0)
    {
        char* out = buffer;
        size_t outLeft = sizeof(buffer);
        const size_t status = iconv(converter, &in, &inLeft, &out, &outLeft);
        result.append(buffer, sizeof(buffer) - outLeft);
        if (status != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        if (errno == EINVAL)
            break;
        // EILSEQ: an invalid or unmappable sequence.
        result.push_back('?');
        const size_t step = inLeft < badInputStep ? inLeft : badInputStep;
        in += step;
        inLeft -= step;
    }
    iconv_close(converter);
    return result;
}
}

std::string ConvertShiftJisToUtf8(const std::string& text)
{
    return Convert("UTF-8", "CP932", text, 1);
}

std::string ConvertUtf8ToShiftJis(const std::string& text)
{
    return Convert("CP932", "UTF-8", text, 1);
}
