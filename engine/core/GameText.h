#pragma once

#include <string>
#include <string_view>

// The one way a game text reaches the font. Sources are UTF-8; the font and
// every text buffer of the game hold Shift-JIS (code page 932). A text is
// converted here once, where it is handed on, and never escaped by hand.

// A fixed text (a literal, a table entry): the Shift-JIS copy is made on the
// first call and kept for the life of the program, so the pointer stays valid
// and later calls cost one lookup. Safe to call from any thread. Null stays
// null.
const char* GameText(const char* utf8);

// A text put together at run time (a name with a number): converted on every
// call. Characters without a Shift-JIS form become '?'.
std::string ToGameText(std::string_view utf8);
