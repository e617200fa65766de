// Drives the binary reader over arbitrary bytes; the bytes it reads also
// choose the next read, so every primitive meets every position.
#include "engine/core/AlignedMemory.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrQuaternion.h"
#include "engine/core/CkvrReadBinary.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > UINT32_MAX)
        return 0;
    CkvrReadBinary reader;
    if (!reader.OpenMemory(data, static_cast<uint32_t>(size)))
        return 0;
    uint8_t scratch[64];
    for (int step = 0; step < 4096 && reader.GetCursor() < reader.GetSize(); ++step)
    {
        float xy[2];
        switch (static_cast<uint8_t>(reader.ReadChar()) % 8)
        {
        case 0: reader.ReadShort(); break;
        case 1: reader.ReadLong(); break;
        case 2: reader.ReadFloat(); break;
        case 3:
        {
            CkvrMatrix matrix;
            CkvrQuaternion rotation;
            reader.ReadVector2(xy);
            reader.ReadQuaternion(&rotation);
            reader.ReadMatrix(&matrix);
            break;
        }
        case 4:
        {
            char* text = reader.ReadString();
            if (text != nullptr && std::strlen(text) >= CkvrReadBinary::kMaxString)
                __builtin_trap();
            AlignedFree(text);
            break;
        }
        case 5: reader.ReadData(scratch, static_cast<uint8_t>(reader.ReadChar()) % sizeof(scratch)); break;
        case 6: reader.SetCursor(static_cast<uint32_t>(reader.ReadLong())); break;
        default: reader.ReadInt(); break;
        }
        if (reader.GetCursor() > reader.GetSize())
            __builtin_trap();
    }
    reader.Close();
    return 0;
}
