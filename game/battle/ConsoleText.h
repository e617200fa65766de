#pragma once

#include <cstddef>
#include <cstdint>

// Texts the HUD keeps or shows in fixed buffers: names, kill-feed and radio
// lines. Game texts are Shift-JIS, so a cut falls between two characters,
// never inside one.

// Copies text into out (size bytes, always ended by a NUL): at most limit
// bytes of it are read, fewer at its NUL, and it is cut at the last whole
// character that fits. A null text leaves out empty.
void CopyGameText(char* out, size_t size, const char* text, size_t limit = SIZE_MAX);
