#pragma once

#include "engine/render/LineBreaks.h"

#include <cstddef>
#include <string>
#include <vector>

// A copy of at most size - 1 bytes of in (null counts as empty) that never
// ends in half a double-byte character; the rest of out is zero.
void CopyWholeCharacters(char* out, const char* in, size_t size);

// A box the lobby sets text in: the width its lines may take and the drawn
// width of each character, in the same units.
struct LobbyTextBox
{
    float width = 0.0f;
    CharWidth widthOf;
};

// The screen lines of text set in the box (Latin words whole, Japanese
// broken between characters, a new line at each line feed), without the
// spaces and line feeds the lines break at. Each box draws these lines one
// by one and counts them, so that what it draws and what it counts can't
// differ.
std::vector<std::string> LobbyLines(const char* text, const LobbyTextBox& box);
// The same, at most lineLimit (at least 1) of them: when the text has more,
// the last kept line is the rest of the text cut where it, and the "…" that
// marks the cut, fill the box's width.
std::vector<std::string> ShowLobbyText(const char* text, const LobbyTextBox& box, int32_t lineLimit);
// The drawn width of text on one line.
float LobbyTextWidth(const char* text, const CharWidth& widthOf);
