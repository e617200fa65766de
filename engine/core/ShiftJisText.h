#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Walking and converting Shift-JIS (code page 932) text one character at a
// time. Text walkers stop at the terminating NUL; a lead byte that is the
// last byte of the text (a cut string) ends the text there, so no walker
// ever reads the byte after the NUL.

// Bytes of the character at text: 0 at the end (NUL, or a lead byte whose
// follower is the NUL), 2 for a lead byte and its follower, otherwise 1.
size_t ShiftJisCharLength(const char* text);

// The same for a buffer of `remaining` bytes that need not end in a NUL.
size_t ShiftJisCharLength(const char* text, size_t remaining);

// The Unicode code point of one character of `length` (1 or 2) bytes, or
// 0 when the character has no Unicode form (invalid CP932).
uint32_t ShiftJisToCodePoint(const char* bytes, size_t length);

// UTF-8 to CP932 character by character: an invalid UTF-8 sequence or a
// character without a CP932 form is left out, the rest is kept.
std::string ConvertUtf8ToShiftJisSkipping(const std::string& text);

// Bytes of the UTF-8 sequence that starts with this byte (1-4), or 0 for a
// byte that cannot start one.
size_t Utf8SequenceLength(unsigned char lead);
