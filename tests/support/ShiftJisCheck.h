#pragma once

#include "engine/core/ShiftJisText.h"

#include <string>

// For tests of the texts the game shows: true when every character of text
// has a Unicode form in code page 932 and the text, if it has bytes past
// ASCII, is not well-formed UTF-8 (a UTF-8 text handed on unconverted
// often walks as code page 932 too, so that alone would not catch it).
// The reason goes to why when it is not.
inline bool IsShiftJisText(const std::string& text, std::string* why)
{
    size_t at = 0;
    while (const size_t length = ShiftJisCharLength(text.c_str() + at))
    {
        if (ShiftJisToCodePoint(text.c_str() + at, length) == 0)
        {
            *why = "no code page 932 character at byte " + std::to_string(at);
            return false;
        }
        at += length;
    }
    if (at != text.size())
    {
        *why = "cut inside a character";
        return false;
    }
    bool wide = false;
    for (size_t i = 0; i < text.size();)
    {
        const size_t length = Utf8SequenceLength(static_cast<unsigned char>(text[i]));
        if (length == 0 || i + length > text.size())
            return true;
        for (size_t k = 1; k < length; ++k)
        {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return true;
        }
        wide = wide || length > 1;
        i += length;
    }
    if (wide)
        *why = "reads as UTF-8";
    return !wide;
}
