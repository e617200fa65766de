#include "game/story/StoryText.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/ShiftJisText.h"

#include <cstring>

uint32_t FittingTextLength(const char* text, uint32_t length, uint32_t capacity)
{
    if (text == nullptr || capacity == 0)
        return 0;
    uint32_t fitting = 0;
    while (fitting < length)
    {
        // A lead byte whose trail byte is missing ends the text: kept, it
        // would swallow the terminator of any later Shift-JIS scan.
        const size_t step = ShiftJisCharLength(text + fitting, length - fitting);
        if (step == 0 || fitting + step + 1 > capacity)
            break;
        fitting += static_cast<uint32_t>(step);
    }
    return fitting;
}

char* CopyStoryText(const char* text, uint32_t length, uint32_t capacity)
{
    const uint32_t fitting = FittingTextLength(text, length, capacity);
    if (fitting == 0)
        return nullptr;
    char* copy = static_cast<char*>(AlignedAlloc(fitting + 1, 16));
    if (copy != nullptr)
        std::memcpy(copy, text, fitting);
    return copy;
}

void CopyTextToField(char* field, size_t size, const char* text)
{
    if (field == nullptr || size == 0)
        return;
    const uint32_t length = text != nullptr ? static_cast<uint32_t>(std::strlen(text)) : 0;
    const uint32_t fitting = FittingTextLength(text, length, static_cast<uint32_t>(size));
    if (fitting > 0)
        std::memcpy(field, text, fitting);
    field[fitting] = '\0';
}
