#pragma once

#include <cstddef>

// A copy of at most size - 1 bytes of in (null counts as empty) that never
// ends in half a double-byte character; the rest of out is zero.
void CopyWholeCharacters(char* out, const char* in, size_t size);
