#include "engine/resource/MeshLoader.h"

#include "engine/render/CConvertMesh.h"
#include "engine/render/CMesh.h"
#include "engine/resource/CResourceController.h"

namespace
{
CResourceBase* Keep(CMesh* mesh, uint32_t loaded)
{
    if (loaded != 0)
        return mesh;
    mesh->Release();
    delete mesh;
    return nullptr;
}
}

tag_KVRKINDLOADER MakeMeshLoader()
{
    tag_KVRKINDLOADER loader;
    loader.loadFile = [](CResourceController& owner, const char* path, uint32_t) -> CResourceBase* {
        CMesh* mesh = new CMesh();
        return Keep(mesh, mesh->LoadFromFile(path, &owner.GetTextureList(), &owner.GetShaderList()));
    };
    loader.loadMemory = [](CResourceController& owner, const uint8_t* data, uint32_t size,
                           const char* name) -> CResourceBase* {
        CMesh* mesh = new CMesh();
        return Keep(mesh, mesh->LoadFromPack(data, name, size, &owner.GetTextureList(), &owner.GetShaderList()));
    };
    loader.saveFile = [](const CResourceBase& object, const char* path) -> int {
        // Saving writes the mesh as it is; the writer takes it unconst.
        CMesh* mesh = dynamic_cast<CMesh*>(const_cast<CResourceBase*>(&object));
        return mesh != nullptr && mesh->SaveToFile(path) != 0 ? 1 : 0;
    };
    loader.convert = [](const char* xPath, const char* modelPath) -> int {
        CConvertMesh converter;
        return converter.Convert(xPath, modelPath) != 0 ? 1 : 0;
    };
    return loader;
}

void InstallMeshLoader(CResourceController& controller)
{
    controller.SetMeshLoader(MakeMeshLoader());
}
