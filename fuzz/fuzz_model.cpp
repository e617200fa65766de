// Loads arbitrary bytes as a model file. What loads is posed, measured,
// written and loaded again: the second writing must equal the first.
#include "engine/render/CAnalysMesh.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CMesh.h"
#include "tests/engine/render/ModelSamples.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > UINT32_MAX)
        return 0;
    CMesh mesh;
    CAnalysMesh reader;
    if (!reader.OpenMemory(data, static_cast<uint32_t>(size)) || !reader.Load(&mesh, "fuzz.mdl", nullptr, nullptr))
        return 0;

    CAnimationController* controller = mesh.CreateAnimationController();
    if (controller != nullptr)
    {
        controller->ResetPose();
        for (uint32_t i = 0; i < mesh.GetAnimationList()->GetCount() && i < 4; ++i)
        {
            controller->Play(i, 0.1f, i & 1, int32_t(i % 4));
            controller->Update(0.05f);
            CkvrMatrix world;
            controller->UpdatePose(&world);
            controller->IsAnimationEnd(0.0f);
        }
        controller->Release();
    }
    CkvrVector3 centre;
    CkvrVector3 half;
    float radius = 0.0f;
    mesh.GetBoundingBox(&centre, &half);
    mesh.GetBoundingSphere(&centre, &radius);
    float* spheres = nullptr;
    if (mesh.CreateBoneSpheres(&spheres))
        AlignedFree(spheres);

    const std::vector<uint8_t> first = ModelSamples::WriteToMemory(&mesh);
    CMesh copy;
    if (first.empty() || !ModelSamples::LoadFromMemory(&copy, first))
        __builtin_trap();
    if (ModelSamples::WriteToMemory(&copy) != first)
        __builtin_trap();
    return 0;
}
