// Parses arbitrary bytes as a text X file and converts what parses into a
// mesh; the mesh written as a model file must load again.
#include "engine/render/CConvertMesh.h"
#include "engine/render/CMesh.h"
#include "tests/engine/render/ModelSamples.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > UINT32_MAX)
        return 0;
    CkvrAnalysXFile parser;
    CkvrXModel model;
    if (!parser.OpenMemory(data, static_cast<uint32_t>(size)) || !parser.ParseOpened(&model))
        return 0;
    CMesh mesh;
    if (!CConvertMesh::BuildMesh(&model, &mesh))
        return 0;
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&mesh);
    CMesh copy;
    if (bytes.empty() || !ModelSamples::LoadFromMemory(&copy, bytes))
        __builtin_trap();
    return 0;
}
