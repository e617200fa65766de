#include "engine/render/CXMesh.h"

#include "engine/platform/CGraphics.h"
#include "engine/render/CConvertMesh.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelObject.h"
#include "engine/render/CTexture.h"

#include <vector>

CGraphics* CXMesh::s_graphics = nullptr;

CXMesh::CXMesh() = default;

CXMesh::~CXMesh()
{
    CXMesh::Release();
}

uint32_t CXMesh::Release()
{
    delete m_mesh;
    m_mesh = nullptr;
    return CResourceBase::Release();
}

namespace
{
// Material textures made from their file names; those that do not load
// leave the slot empty.
void LoadTextures(CModelObject* object)
{
    CMaterialList* materials = object->GetMaterials();
    for (uint32_t m = 0; m < materials->GetCount(); ++m)
    {
        CResourceList<CTexture*>* textures = materials->GetAt(m)->textures;
        for (uint32_t j = 0; textures != nullptr && j < textures->GetCount(); ++j)
        {
            CTexture* texture = textures->GetItem(j);
            if (texture == nullptr || texture->CreateFromFile(texture->GetName()))
                continue;
            delete texture;
            textures->SetAt(nullptr, j);
        }
    }
}
}

uint32_t CXMesh::LoadFromFile(const char* fileName)
{
    if (fileName == nullptr || s_graphics == nullptr || s_graphics->GetDevice() == nullptr)
        return 0;
    Release();
    CkvrXModel model;
    CkvrAnalysXFile parser;
    if (!parser.Parse(&model, fileName))
        return 0;
    m_mesh = new CMesh();
    if (!CConvertMesh::BuildMesh(&model, m_mesh))
    {
        Release();
        return 0;
    }
    CResourceList<CModelObject*>* objects = m_mesh->GetObjectList();
    for (uint32_t i = 0; i < objects->GetCount(); ++i)
    {
        LoadTextures(objects->GetItem(i));
        if (!objects->GetItem(i)->Create())
        {
            Release();
            return 0;
        }
    }
    SetName(fileName);
    return 1;
}

uint32_t CXMesh::GetSubsetCount() const
{
    if (m_mesh == nullptr || m_mesh->GetObjectList()->GetCount() == 0)
        return 0;
    return m_mesh->GetObjectList()->GetItem(0)->GetMaterials()->GetCount();
}

uint32_t CXMesh::Draw(const CkvrMatrix* world)
{
    if (m_mesh == nullptr)
        return 0;
    CResourceList<CModelObject*>* objects = m_mesh->GetObjectList();
    for (uint32_t i = 0; i < objects->GetCount(); ++i)
        objects->GetItem(i)->Draw(world, nullptr, nullptr, nullptr);
    return 1;
}

uint32_t CXMesh::DrawSubset(const CkvrMatrix* world, uint32_t subset)
{
    if (m_mesh == nullptr || subset >= GetSubsetCount())
        return 0;
    // The other subsets' ranges are emptied for the draw and put back.
    CModelObject* object = m_mesh->GetObjectList()->GetItem(0);
    CList<tag_KVRMODELINDEXOFFSET>& ranges = object->GetIndexSet()->ranges;
    std::vector<uint32_t> counts(ranges.GetCount());
    for (uint32_t i = 0; i < ranges.GetCount(); ++i)
    {
        counts[i] = ranges.GetAt(i)->count;
        if (i != subset)
            ranges.GetAt(i)->count = 0;
    }
    object->Draw(world, nullptr, nullptr, nullptr);
    for (uint32_t i = 0; i < ranges.GetCount(); ++i)
        ranges.GetAt(i)->count = counts[i];
    return 1;
}
