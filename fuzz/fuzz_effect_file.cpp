// Feeds arbitrary bytes to the effect-file reader. A container that loads is
// played on small pools for a few frames, then saved, loaded again and saved
// again: the two saves must be identical.
#include "engine/effect/CEffectContainer.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/FrameTimer.h"

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

bool SaveToMemory(const CEffectContainer& container, Buffer* out)
{
    FILE* f = open_memstream(&out->data, &out->size);
    if (f == nullptr)
        return false;
    const int ok = container.SaveToStream(f);
    std::fclose(f);
    return ok == 1;
}

void Play(CEffectContainer& container)
{
    SetFrameTime(100);
    CEffectController controller;
    if (!controller.Initialize(nullptr, 32, 64))
        return;
    const CkvrVector3 at(1, 2, 3);
    container.Play(&controller, &at, 1);
    container.Play(&controller, 1, controller.GetFirstEffect());
    for (int frame = 0; frame < 12; ++frame)
        controller.Update(0);
    controller.ReleaseAll();
    if (controller.GetEffectPool()->GetUsedCount() != 0 || controller.GetParticlePool()->GetUsedCount() != 0)
        std::abort();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > (1u << 20))
        return 0;
    CEffectContainer container;
    if (!container.LoadFromMemory(data, static_cast<uint32_t>(size)))
        return 0;
    Play(container);

    Buffer first, second;
    if (!SaveToMemory(container, &first))
        std::abort();
    CEffectContainer reloaded;
    if (!reloaded.LoadFromMemory(reinterpret_cast<const uint8_t*>(first.data), static_cast<uint32_t>(first.size)))
        std::abort();
    if (!SaveToMemory(reloaded, &second))
        std::abort();
    if (first.size != second.size || std::memcmp(first.data, second.data, first.size) != 0)
        std::abort();
    return 0;
}
