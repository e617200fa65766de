#include "net/lobby/LobbyText.h"

#include "engine/core/GameText.h"
#include "engine/core/ShiftJisText.h"

#include <algorithm>
#include <cstring>
#include <limits>

void CopyWholeCharacters(char* out, const char* in, size_t size)
{
    size_t n = 0;
    while (in != nullptr && in[n] != '\0')
    {
        const size_t length = ShiftJisCharLength(in + n);
        if (length == 0 || n + length + 1 > size)
            break;
        n += length;
    }
    std::memset(out, 0, size);
    if (n != 0)
        std::memcpy(out, in, n);
}

namespace
{
// A character that can't be measured takes no room: the font draws
// nothing for it either.
float WidthOf(const CharWidth& widthOf, const char* character, size_t length)
{
    return std::max(widthOf(character, length), 0.0f);
}

bool IsLineFeed(const char* character, size_t length)
{
    return length == 1 && *character == '\n';
}

bool IsCarriageReturn(const char* character, size_t length)
{
    return length == 1 && *character == '\r';
}

std::vector<LineBreak> LobbyBreaks(const char* text, const LobbyTextBox& box)
{
    std::vector<LineBreak> breaks;
    const LineBox lineBox{.wrapX = box.width};
    FindLineBreaks(
        text, lineBox,
        [&box](const char* character, size_t length) { return WidthOf(box.widthOf, character, length); }, &breaks);
    return breaks;
}

// Where the line after a break starts: past the character it broke at,
// when that is not drawn.
size_t LineStart(const LineBreak& lineBreak)
{
    return lineBreak.at + (lineBreak.drops ? 1 : 0);
}

// The line that starts at text, cut where it and the mark fill the width;
// a line feed ends it.
std::string CutLine(const char* text, const LobbyTextBox& box)
{
    const char* mark = GameText("…");
    const float room = box.width - LobbyTextWidth(mark, box.widthOf);
    std::string kept;
    float width = 0.0f;
    for (size_t at = 0, length = 0; (length = ShiftJisCharLength(text + at)) != 0; at += length)
    {
        if (IsLineFeed(text + at, length))
            break;
        if (IsCarriageReturn(text + at, length))
            continue;
        width += WidthOf(box.widthOf, text + at, length);
        if (width > room)
            break;
        kept.append(text + at, length);
    }
    return kept + mark;
}
}

std::vector<std::string> LobbyLines(const char* text, const LobbyTextBox& box)
{
    return ShowLobbyText(text, box, std::numeric_limits<int32_t>::max());
}

std::vector<std::string> ShowLobbyText(const char* text, const LobbyTextBox& box, int32_t lineLimit)
{
    if (text == nullptr)
        return {std::string()};
    const std::vector<LineBreak> breaks = LobbyBreaks(text, box);
    const size_t limit = static_cast<size_t>(std::max(lineLimit, 1));
    std::vector<std::string> lines;
    for (size_t line = 0, start = 0; line < limit && line <= breaks.size(); ++line)
    {
        if (line == breaks.size())
            lines.emplace_back(text + start);
        else if (line + 1 == limit)
            lines.push_back(CutLine(text + start, box));
        else
        {
            // A line that breaks before a word leaves the spaces before it
            // undrawn.
            size_t end = breaks[line].at;
            while (end > start && text[end - 1] == ' ')
                --end;
            lines.emplace_back(text + start, end - start);
            start = LineStart(breaks[line]);
        }
    }
    return lines;
}

float LobbyTextWidth(const char* text, const CharWidth& widthOf)
{
    float width = 0.0f;
    for (size_t at = 0, length = 0; text != nullptr && (length = ShiftJisCharLength(text + at)) != 0; at += length)
        if (!IsCarriageReturn(text + at, length))
            width += WidthOf(widthOf, text + at, length);
    return width;
}
