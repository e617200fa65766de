#include "engine/render/CModelObject.h"

#include "engine/core/AlignedMemory.h"
#include "engine/render/CLowModelObject.h"
#include "engine/render/CModelBlock.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"

#include <cmath>
#include <cstdio>

CGraphics* CModelObject::s_graphics = nullptr;

namespace
{
template <class P>
bool Contains(const CResourceList<P>* list, const void* item)
{
    for (uint32_t i = 0; i < list->GetCount(); ++i)
    {
        if (list->GetItem(i) == item)
            return true;
    }
    return false;
}

float Component(const CkvrVector3& v, int axis)
{
    return axis == 0 ? v.x : (axis == 1 ? v.y : v.z);
}
}

CModelObject::CModelObject() = default;

CModelObject::~CModelObject()
{
    CModelObject::Release();
}

void CModelObject::FreeMaterial(tag_KVRMODELMATERIAL* material)
{
    AlignedFree(material->name);
    material->name = nullptr;
    if (material->textures != nullptr)
    {
        if (material->ownsTextures)
        {
            for (uint32_t j = 0; j < material->textures->GetCount(); ++j)
                delete material->textures->GetItem(j);
        }
        delete material->textures;
        material->textures = nullptr;
    }
    if (material->ownsEffect)
        delete material->effect;
    material->effect = nullptr;
}

void CModelObject::DeleteBlocks()
{
    if (m_blocks == nullptr)
        return;
    for (uint32_t i = 0; i < m_blocks->GetCount(); ++i)
        delete m_blocks->GetItem(i);
    delete m_blocks;
    m_blocks = nullptr;
}

void CModelObject::DeleteLowModels()
{
    if (m_lowModels == nullptr)
        return;
    for (uint32_t i = 0; i < m_lowModels->GetCount(); ++i)
        delete m_lowModels->GetItem(i);
    delete m_lowModels;
    m_lowModels = nullptr;
}

uint32_t CModelObject::Release()
{
    // Blocks and low models point into the object's lists: they go first.
    DeleteBlocks();
    DeleteLowModels();
    m_geometry.Release(s_graphics);
    for (uint32_t i = 0; i < m_materials.GetCount(); ++i)
        FreeMaterial(m_materials.GetAt(i));
    m_materials.Release();
    m_grid = {};
    return CResourceBase::Release();
}

uint32_t CModelObject::CreateBlockList()
{
    if (m_blocks == nullptr)
        m_blocks = new CResourceList<CModelBlock*>();
    return m_blocks != nullptr ? 1 : 0;
}

uint32_t CModelObject::AddLowModel(CLowModelObject* lowModel)
{
    if (m_lowModels == nullptr)
        m_lowModels = new CResourceList<CLowModelObject*>();
    if (m_lowModels == nullptr || lowModel == nullptr)
        return 0;
    lowModel->SetMaterials(&m_materials);
    return m_lowModels->Add(lowModel);
}

uint32_t CModelObject::Create()
{
    if (!m_geometry.Create(s_graphics))
        return 0;
    if (m_lowModels != nullptr)
    {
        for (uint32_t i = 0; i < m_lowModels->GetCount(); ++i)
            m_lowModels->GetItem(i)->Create();
    }
    if (m_blocks != nullptr)
    {
        for (uint32_t i = 0; i < m_blocks->GetCount(); ++i)
            m_blocks->GetItem(i)->CreateIndexBuffer();
    }
    return 1;
}

uint32_t CModelObject::Draw(const CkvrMatrix* world, const CkvrVector4* color, CAnimationController* controller,
                            CShader* effect)
{
    return Render(world, color, controller, effect, nullptr, nullptr);
}

uint32_t CModelObject::Render(const CkvrMatrix* world, const CkvrVector4* color, CAnimationController* controller,
                              CShader* effect, KVRMODELINDEXSET* indexSet, KVRMODELVERTEXSET* vertexSet)
{
    return m_geometry.Render(s_graphics, world, color, controller, effect, &m_materials, indexSet, vertexSet);
}

uint32_t CModelObject::CalcBounds(CkvrVector3* centre, CkvrVector3* halfSize) const
{
    const CModelVertexList& vertices = m_geometry.vertices;
    if (centre == nullptr || halfSize == nullptr)
        return 0;
    if (vertices.GetCount() == 0)
    {
        *centre = CkvrVector3();
        *halfSize = CkvrVector3();
        return 1;
    }
    CkvrVector3 low = vertices.GetAt(0)->position;
    CkvrVector3 high = low;
    for (uint32_t i = 1; i < vertices.GetCount(); ++i)
    {
        const CkvrVector3& p = vertices.GetAt(i)->position;
        low.Set(std::fmin(low.x, p.x), std::fmin(low.y, p.y), std::fmin(low.z, p.z));
        high.Set(std::fmax(high.x, p.x), std::fmax(high.y, p.y), std::fmax(high.z, p.z));
    }
    *centre = (high + low) * 0.5f;
    *halfSize = (high - low) * 0.5f;
    return 1;
}

uint32_t CModelObject::CalcRadius(CkvrVector3* centre, float* radius) const
{
    const CModelVertexList& vertices = m_geometry.vertices;
    if (centre == nullptr || radius == nullptr)
        return 0;
    *centre = CkvrVector3();
    *radius = 0.0f;
    if (vertices.GetCount() == 0)
        return 1;
    double sum[3] = {};
    for (uint32_t i = 0; i < vertices.GetCount(); ++i)
    {
        const CkvrVector3& p = vertices.GetAt(i)->position;
        sum[0] += p.x;
        sum[1] += p.y;
        sum[2] += p.z;
    }
    const double n = vertices.GetCount();
    centre->Set(float(sum[0] / n), float(sum[1] / n), float(sum[2] / n));
    float largest = 0.0f;
    for (uint32_t i = 0; i < vertices.GetCount(); ++i)
    {
        const float d = (vertices.GetAt(i)->position - *centre).Length();
        largest = d > largest ? d : largest;
    }
    *radius = largest;
    return 1;
}

uint32_t CModelObject::CreateBlocks(uint16_t countX, uint16_t countY, uint16_t countZ)
{
    if (!CalcBounds(&m_grid.centre, &m_grid.halfSize))
        return 0;
    const uint16_t counts[3] = {countX != 0 ? countX : uint16_t(1), countY != 0 ? countY : uint16_t(1),
                                countZ != 0 ? countZ : uint16_t(1)};
    float cell[3];
    float inverse[3];
    float offset[3];
    for (int axis = 0; axis < 3; ++axis)
    {
        m_grid.counts[axis] = counts[axis];
        cell[axis] = Component(m_grid.halfSize, axis) * 2.05f / counts[axis];
        offset[axis] = (counts[axis] & 1) ? cell[axis] * 0.5f : 0.0f;
        inverse[axis] = cell[axis] != 0.0f ? 1.0f / cell[axis] : 0.0f;
    }
    m_grid.inverseCellSize.Set(inverse[0], inverse[1], inverse[2]);
    m_grid.offset.Set(offset[0], offset[1], offset[2]);
    DeleteBlocks();
    if (!CreateBlockList())
        return 0;
    const CkvrVector3 origin = m_grid.centre - m_grid.halfSize;
    uint32_t counter = 0;
    for (uint32_t x = 0; x < counts[0]; ++x)
    {
        for (uint32_t y = 0; y < counts[1]; ++y)
        {
            for (uint32_t z = 0; z < counts[2]; ++z)
            {
                CkvrVector3 bounds[2];
                bounds[0] = origin + CkvrVector3(x * cell[0], y * cell[1], z * cell[2]);
                bounds[1] = bounds[0] + CkvrVector3(cell[0], cell[1], cell[2]);
                CModelBlock* block = new CModelBlock(GetVertexList(), GetIndexSet(), &m_materials);
                char name[32];
                std::snprintf(name, sizeof name, "Block_%u", counter++);
                block->SetName(name);
                block->Build(bounds);
                if (!m_blocks->Add(block))
                {
                    delete block;
                    return 0;
                }
            }
        }
    }
    return 1;
}

uint32_t CModelObject::DropMissingResources(const CResourceList<CTexture*>* textures,
                                            const CResourceList<CShader*>* effects)
{
    for (uint32_t i = 0; i < m_materials.GetCount(); ++i)
    {
        tag_KVRMODELMATERIAL* material = m_materials.GetAt(i);
        if (textures != nullptr && !material->ownsTextures && material->textures != nullptr)
        {
            for (uint32_t j = 0; j < material->textures->GetCount(); ++j)
            {
                if (!Contains(textures, material->textures->GetItem(j)))
                    material->textures->SetAt(nullptr, j);
            }
        }
        if (effects != nullptr && !material->ownsEffect && material->effect != nullptr &&
            !Contains(effects, material->effect))
            material->effect = nullptr;
    }
    return 1;
}

uint32_t CModelObject::RemoveBoneInfluences(uint32_t bone)
{
    m_geometry.RemoveBoneInfluences(bone);
    if (m_lowModels != nullptr)
    {
        for (uint32_t i = 0; i < m_lowModels->GetCount(); ++i)
            m_lowModels->GetItem(i)->RemoveBoneInfluences(bone);
    }
    return 1;
}
