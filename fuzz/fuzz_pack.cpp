// Opens arbitrary bytes as a pack and reads every entry it accepts.
#include "engine/core/AlignedMemory.h"
#include "engine/core/CPathResolver.h"
#include "engine/core/CkvrPackFile.h"
#include "fuzz/FuzzTempFile.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzTempFile file;
    const char* path = file.Write(data, size);
    if (path == nullptr)
        return 0;

    CkvrPackFile pack;
    if (!pack.Open(path))
        return 0;
    for (uint32_t i = 0; i < pack.GetCount(); ++i)
    {
        const tag_KVRPACKENTRY* entry = pack.GetEntry(i);
        if (entry == nullptr || std::memchr(entry->name, 0, sizeof(entry->name)) == nullptr)
            __builtin_trap();
        if (static_cast<uint64_t>(entry->offset) + entry->size > size)
            __builtin_trap();
        uint8_t* bytes = pack.LoadFile(entry->name);
        const tag_KVRPACKENTRY* found = pack.FindEntry(entry->name);
        if (bytes == nullptr || found == nullptr || found > entry)
            __builtin_trap();
        // Equal names read the first entry of that name.
        if (found->size > 0 && std::memcmp(bytes, data + found->offset, found->size) != 0)
            __builtin_trap();
        AlignedFree(bytes);
        CPathResolver::IsInsideCurrentFolder(entry->name);
    }
    pack.Release();
    return 0;
}
