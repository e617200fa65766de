// Feeds arbitrary bytes to the camera-path loader. A path that loads is
// evaluated around its keys with and without subjects, applied to a camera,
// saved, loaded again and saved again: the two saves must be identical.
#include "engine/render/CActiveCamera.h"
#include "engine/render/CCamera.h"

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

bool SaveToMemory(const CActiveCamera& path, Buffer* out)
{
    FILE* f = open_memstream(&out->data, &out->size);
    if (f == nullptr)
        return false;
    const int ok = path.Save(nullptr, f);
    std::fclose(f);
    return ok == 1;
}

void Evaluate(const CActiveCamera& path, float time)
{
    const CkvrVector3 position(3.0f, -1.0f, 7.0f);
    const CkvrVector3 rotation(10.0f, 200.0f, -30.0f);
    CkvrVector3 eye, target, up;
    int32_t enable = 0;
    path.GetCameraVectors(time, nullptr, nullptr, nullptr, nullptr, &eye, &target, &up, &enable);
    path.GetCameraVectors(time, &position, &rotation, &rotation, &position, &eye, &target, &up, &enable);
    CCamera camera;
    path.ApplyToCamera(time, &camera);
    path.ApplyToCamera(time, &camera, &position, &rotation, &position, nullptr);
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (f == nullptr)
        return 0;
    CActiveCamera path;
    const int loaded = path.Load(nullptr, f);
    std::fclose(f);
    if (!loaded)
        return 0;

    CKeyFrameList<CkvrLine>& positions = path.GetPositionTrack();
    for (uint32_t i = 0; i < positions.GetCount() && i < 32; ++i)
    {
        const float t = positions.GetAt(i)->time;
        for (float probe : {t, std::nextafter(t, -INFINITY), std::nextafter(t, INFINITY), t * 2.5f + 1.0f})
            Evaluate(path, probe);
    }
    for (float probe : {0.0f, 1.0f, -3.0f, 1.0e30f, NAN, INFINITY})
        Evaluate(path, probe);

    Buffer first, second;
    if (!SaveToMemory(path, &first))
        std::abort();
    FILE* again = fmemopen(first.data, first.size, "rb");
    if (again == nullptr)
        return 0;
    CActiveCamera reloaded;
    if (!reloaded.Load(nullptr, again))
        std::abort();
    std::fclose(again);
    if (!SaveToMemory(reloaded, &second))
        std::abort();
    if (first.size != second.size || std::memcmp(first.data, second.data, first.size) != 0)
        std::abort();
    return 0;
}
