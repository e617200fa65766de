#include "net/lobby/LobbyText.h"

#include "engine/core/ShiftJisText.h"

#include <cstring>

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
