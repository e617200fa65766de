// Feeds arbitrary bytes to the effect-player record reader. A record that
// loads is saved, loaded again and saved again: the two saves must match.
#include "engine/effect/CEffectPlayer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
struct Buffer
{
    char* data = nullptr;
    size_t size = 0;
    ~Buffer() { std::free(data); }
};

bool SaveToMemory(const CEffectPlayer& player, Buffer* out)
{
    FILE* f = open_memstream(&out->data, &out->size);
    if (f == nullptr)
        return false;
    const int ok = player.Save(nullptr, f);
    std::fclose(f);
    return ok == 1;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (f == nullptr)
        return 0;
    CEffectPlayer player;
    // Records follow one another in game files: read as many as there are.
    int loaded = player.Load(nullptr, f);
    for (int i = 0; loaded && i < 4; ++i)
    {
        CEffectPlayer next;
        if (!next.Load(nullptr, f))
            break;
    }
    std::fclose(f);
    if (!loaded)
        return 0;

    Buffer first, second;
    if (!SaveToMemory(player, &first))
        std::abort();
    FILE* again = fmemopen(first.data, first.size, "rb");
    if (again == nullptr)
        return 0;
    CEffectPlayer reloaded;
    if (!reloaded.Load(nullptr, again))
        std::abort();
    std::fclose(again);
    if (!SaveToMemory(reloaded, &second))
        std::abort();
    if (first.size != second.size || std::memcmp(first.data, second.data, first.size) != 0)
        std::abort();
    return 0;
}
