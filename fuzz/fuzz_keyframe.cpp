// Feeds arbitrary bytes to the keyframe track loader. The first byte picks
// the value type; the rest is the track record. A record that loads is
// evaluated around its keys, saved, loaded again and saved again: the two
// saves must be identical.
#include "engine/core/CKeyFrameList.h"

#include <cmath>
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

template <class T>
bool SaveToMemory(const CKeyFrameList<T>& track, Buffer* out)
{
    FILE* f = open_memstream(&out->data, &out->size);
    if (f == nullptr)
        return false;
    const uint32_t ok = track.Save(nullptr, f);
    std::fclose(f);
    return ok == 1;
}

template <class T>
void Exercise(const uint8_t* data, size_t size)
{
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (f == nullptr)
        return;
    CKeyFrameList<T> track;
    const uint32_t loaded = track.Load(nullptr, f);
    std::fclose(f);
    if (!loaded)
        return;

    T value{};
    for (uint32_t i = 0; i < track.GetCount() && i < 64; ++i)
    {
        const float t = track.GetAt(i)->time;
        for (float probe : {t, std::nextafter(t, -INFINITY), std::nextafter(t, INFINITY), t * 2.5f + 1.0f})
        {
            for (uint32_t loop : {0u, 1u})
            {
                track.SetLoop(loop);
                track.GetValueAt(probe, &value, 0);
                track.GetValueAt(probe, &value, 1);
            }
        }
    }
    track.GetValueAt(NAN, &value, 1);

    Buffer first, second;
    if (!SaveToMemory(track, &first))
        std::abort();
    FILE* again = fmemopen(first.data, first.size, "rb");
    if (again == nullptr)
        return;
    CKeyFrameList<T> reloaded;
    if (!reloaded.Load(nullptr, again))
        std::abort();
    std::fclose(again);
    if (!SaveToMemory(reloaded, &second))
        std::abort();
    if (first.size != second.size || std::memcmp(first.data, second.data, first.size) != 0)
        std::abort();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t kind = data[0] % 8;
    ++data;
    --size;
    switch (kind)
    {
    case 0: Exercise<float>(data, size); break;
    case 1: Exercise<int32_t>(data, size); break;
    case 2: Exercise<uint32_t>(data, size); break;
    case 3: Exercise<CkvrVector3>(data, size); break;
    case 4: Exercise<CkvrVector4>(data, size); break;
    case 5: Exercise<CkvrQuaternion>(data, size); break;
    case 6: Exercise<CRect>(data, size); break;
    default: Exercise<CkvrLine>(data, size); break;
    }
    return 0;
}
