// Tokenizes arbitrary bytes, from memory (with and without a final NUL) and
// from a file (so CR LF folding runs too), with every token operation and
// buffers of many sizes.
#include "engine/core/AlignedMemory.h"
#include "engine/core/CRect.h"
#include "engine/core/CkvrReadText.h"
#include "engine/core/CkvrVector4.h"
#include "fuzz/FuzzTempFile.h"

#include <cstring>

namespace
{
void CheckToken(const char* token, uint32_t capacity)
{
    if (capacity > 0 && std::memchr(token, 0, capacity) == nullptr)
        __builtin_trap();
}

void Drive(CkvrReadText& reader, uint8_t seed)
{
    reader.SetSeparators(seed & 1 ? " \t\r\n,;" : " \r\n{}\"");
    char token[32];
    for (uint32_t step = 0; step < 2048; ++step)
    {
        const uint32_t capacity = (step + seed) % sizeof(token) + 1;
        int32_t result = 0;
        switch ((step * 7 + seed) % 12)
        {
        case 0: result = reader.ReadToken(token, capacity); CheckToken(token, capacity); break;
        case 1: result = reader.PeekToken(token, capacity); CheckToken(token, capacity); break;
        case 2: result = reader.ReadTokenWith(token, capacity, ",/"); CheckToken(token, capacity); break;
        case 3: result = reader.ReadUntil(token, capacity, " ", "\""); CheckToken(token, capacity); break;
        case 4: result = reader.SkipTo(";}"); break;
        case 5: result = reader.SkipPast("\n"); break;
        case 6: result = reader.SkipBlock(); break;
        case 7:
        {
            char* text = reader.ReadString();
            if (text != nullptr && std::strlen(text) >= CkvrReadText::kMaxString)
                __builtin_trap();
            AlignedFree(text);
            break;
        }
        case 8: reader.ReadFloat(); break;
        case 9: reader.ReadLong(); break;
        case 10: reader.ReadChar(); reader.ReadShort(); break;
        default:
        {
            float xy[2];
            CRect rect;
            CkvrVector4 color;
            reader.ReadVector2(xy);
            reader.ReadRect(&rect);
            reader.ReadVector4(&color);
            break;
        }
        }
        if (reader.GetCursor() > reader.GetSize())
            __builtin_trap();
        if (result == CkvrReadText::kEndOfData && step > 64)
            break;
    }
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > (1u << 20))
        return 0;
    const uint8_t seed = data[0];
    {
        CkvrReadText reader;
        if (reader.OpenMemory(data, static_cast<uint32_t>(size)))
            Drive(reader, seed);
    }

    static FuzzTempFile file;
    const char* path = file.Write(data, size);
    CkvrReadText reader;
    if (path != nullptr && reader.Open(path))
    {
        if (reader.GetBuffer()[reader.GetSize() - 1] != 0)
            __builtin_trap();
        Drive(reader, static_cast<uint8_t>(seed + 1));
    }
    return 0;
}
