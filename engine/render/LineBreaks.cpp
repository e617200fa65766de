// Line breaking of text set in a box: at spaces in Latin text, between any
// two characters in Japanese.
#include "engine/render/LineBreaks.h"

#include "engine/core/ShiftJisText.h"

namespace
{
bool IsOneByte(const char* at, size_t length, char c)
{
    return length == 1 && *at == c;
}

// Printable ASCII but the space: what Latin words are made of.
bool IsWordByte(const char* at, size_t length)
{
    const auto byte = static_cast<unsigned char>(*at);
    return length == 1 && byte > 0x20 && byte < 0x7F;
}

struct Word
{
    float width = 0.0f;
    uint32_t bytes = 0;
};

// The Latin word that starts at text, measured; false when a character of
// it can't be measured.
bool MeasureWord(const char* text, const CharWidth& widthOf, Word* word)
{
    for (size_t at = 0, length = 0; (length = ShiftJisCharLength(text + at)) != 0 && IsWordByte(text + at, length);
         at += length)
    {
        const float width = widthOf(text + at, length);
        if (width < 0.0f)
            return false;
        word->width += width;
        word->bytes += static_cast<uint32_t>(length);
    }
    return true;
}
}

bool FindLineBreaks(const char* text, const LineBox& box, const CharWidth& widthOf, std::vector<LineBreak>* breaks)
{
    breaks->clear();
    float penX = box.x;
    uint32_t lineBytes = 0;
    bool inWord = false;
    // The word under way fits its line whole: none of its letters breaks.
    bool wordFits = false;
    auto lineIsEmpty = [&] { return lineBytes == 0 && penX == box.lineStartX; };
    auto passes = [&](float width, uint32_t bytes) {
        return (box.maxBytes > 0 && lineBytes + bytes > box.maxBytes) || (box.wrapX > 0.0f && penX + width > box.wrapX);
    };
    auto newLine = [&] {
        penX = box.lineStartX;
        lineBytes = 0;
    };
    for (size_t at = 0, length = 0; (length = ShiftJisCharLength(text + at)) != 0; at += length)
    {
        const char* character = text + at;
        // A lone "\r" takes no room but ends a word, as a space would.
        if (IsOneByte(character, length, '\r'))
        {
            inWord = false;
            continue;
        }
        if (IsOneByte(character, length, '\n'))
        {
            breaks->push_back({at, true});
            newLine();
            inWord = false;
            continue;
        }
        const float width = widthOf(character, length);
        if (width < 0.0f)
            return false;
        const bool wordStarts = IsWordByte(character, length) && !inWord;
        inWord = IsWordByte(character, length);
        bool breakHere = false;
        if (wordStarts)
        {
            Word word;
            if (!MeasureWord(character, widthOf, &word))
                return false;
            breakHere = !lineIsEmpty() && passes(word.width, word.bytes);
            if (breakHere)
                newLine();
            wordFits = !passes(word.width, word.bytes);
        }
        else if (!(inWord && wordFits))
        {
            // A character a line may break before: Japanese, a space, or a
            // letter of a word longer than a line.
            breakHere = (box.maxBytes > 0 && lineBytes >= box.maxBytes) ||
                        (box.wrapX > 0.0f && penX + width > box.wrapX && !lineIsEmpty());
            if (breakHere)
                newLine();
        }
        const bool drops = breakHere && IsOneByte(character, length, ' ');
        if (breakHere)
            breaks->push_back({at, drops});
        if (drops)
            continue;
        penX += width;
        lineBytes += static_cast<uint32_t>(length);
    }
    return true;
}
