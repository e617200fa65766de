#pragma once

#include <string>

// Text is Shift-JIS (code page 932) inside the program; it becomes UTF-8
// only where it meets the file system, fonts, SDL and GTK.

// True for the first byte of a double-byte Shift-JIS character.
inline bool IsShiftJisLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Conversions through iconv's "CP932". Characters that have no equivalent
// become '?'; a lead byte cut off at the end of the text is dropped.
std::string ConvertShiftJisToUtf8(const std::string& text);
std::string ConvertUtf8ToShiftJis(const std::string& text);
