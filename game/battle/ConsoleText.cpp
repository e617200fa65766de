// Bounded copies of Shift-JIS texts.
#include "game/battle/ConsoleText.h"

#include "engine/core/ShiftJisText.h"

#include <cstring>

void CopyGameText(char* out, size_t size, const char* text, size_t limit)
{
    if (out == nullptr || size == 0)
        return;
    size_t used = 0;
    while (text != nullptr && used < limit)
    {
        const size_t length = ShiftJisCharLength(text + used, limit - used);
        if (length == 0 || used + length >= size)
            break;
        used += length;
    }
    if (used != 0)
        std::memcpy(out, text, used);
    out[used] = '\0';
}
