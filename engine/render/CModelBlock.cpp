#include "engine/render/CModelBlock.h"

#include "engine/platform/CGraphics.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/ModelDeviceBuffers.h"
#include "engine/render/ModelDraw.h"

#include "engine/core/Collision.h"

#include <algorithm>
#include <vector>

CGraphics* CModelBlock::s_graphics = nullptr;

namespace
{
void Extend(CkvrVector3* low, CkvrVector3* high, const CkvrVector3& p)
{
    low->x = p.x < low->x ? p.x : low->x;
    low->y = p.y < low->y ? p.y : low->y;
    low->z = p.z < low->z ? p.z : low->z;
    high->x = p.x > high->x ? p.x : high->x;
    high->y = p.y > high->y ? p.y : high->y;
    high->z = p.z > high->z ? p.z : high->z;
}

// Widens content by a triangle's box as the hit queries bound it; a
// coordinate that is not a number (no query box overlaps it) is left out.
void AddContent(float* content, const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& c)
{
    float low[3], high[3];
    GetTriangleBounds(low, high, &a.x, &b.x, &c.x);
    for (int axis = 0; axis < 3; ++axis)
    {
        content[axis] = low[axis] < content[axis] ? low[axis] : content[axis];
        content[3 + axis] = high[axis] > content[3 + axis] ? high[axis] : content[3 + axis];
    }
}

// Boxes that only touch overlap.
bool Overlap(const CkvrVector3& lowA, const CkvrVector3& highA, const CkvrVector3* box)
{
    return lowA.x <= box[1].x && highA.x >= box[0].x && lowA.y <= box[1].y && highA.y >= box[0].y &&
           lowA.z <= box[1].z && highA.z >= box[0].z;
}
}

CModelBlock::CModelBlock() = default;

CModelBlock::CModelBlock(CModelVertexList* vertices, KVRMODELINDEXSET* objectIndices, CMaterialList* materials)
    : m_vertices(vertices), m_objectIndices(objectIndices), m_materials(materials)
{
}

CModelBlock::CModelBlock(const CkvrVector3* bounds, CModelVertexList* vertices, KVRMODELINDEXSET* objectIndices,
                         CMaterialList* materials)
    : CModelBlock(vertices, objectIndices, materials)
{
    if (bounds != nullptr)
    {
        m_bounds[0] = bounds[0];
        m_bounds[1] = bounds[1];
    }
}

CModelBlock::CModelBlock(const CModelBlock& other)
    : CResourceBase(), m_vertices(other.m_vertices), m_objectIndices(other.m_objectIndices),
      m_materials(other.m_materials)
{
    Build(other.m_bounds);
}

CModelBlock::~CModelBlock()
{
    CModelBlock::Release();
}

uint32_t CModelBlock::Release()
{
    ModelDraw::ForgetBindings(s_graphics, nullptr, m_indexSet.indexBuffer.get(), nullptr);
    m_indexSet.indexBuffer.reset();
    m_indexSet.indices.Release();
    m_indexSet.ranges.Release();
    return CResourceBase::Release();
}

uint32_t CModelBlock::Build(const CkvrVector3* bounds)
{
    if (bounds == nullptr)
        return 0;
    const CkvrVector3 box[2] = {bounds[0], bounds[1]};
    // Gathered first, stored once: the lists copy their arrays on every add.
    std::vector<uint32_t> indices;
    std::vector<tag_KVRMODELINDEXOFFSET> ranges;
    if (m_vertices != nullptr && m_objectIndices != nullptr)
    {
        const CList<uint32_t>& source = m_objectIndices->indices;
        const uint32_t vertexCount = m_vertices->GetCount();
        for (uint32_t k = 0; k < m_objectIndices->ranges.GetCount(); ++k)
        {
            const tag_KVRMODELINDEXOFFSET range = *m_objectIndices->ranges.GetAt(k);
            tag_KVRMODELINDEXOFFSET out = {static_cast<uint32_t>(indices.size()), 0};
            const uint64_t end = uint64_t(range.start) + range.count;
            for (uint64_t i = range.start; i + 3 <= end && i + 3 <= source.GetCount(); i += 3)
            {
                const uint32_t* t = source.GetData() + i;
                if (t[0] >= vertexCount || t[1] >= vertexCount || t[2] >= vertexCount)
                    continue;
                CkvrVector3 low = m_vertices->GetAt(t[0])->position;
                CkvrVector3 high = low;
                Extend(&low, &high, m_vertices->GetAt(t[1])->position);
                Extend(&low, &high, m_vertices->GetAt(t[2])->position);
                if (!Overlap(low, high, box))
                    continue;
                indices.insert(indices.end(), t, t + 3);
                out.count += 3;
            }
            ranges.push_back(out);
        }
    }
    if (!m_indexSet.indices.SetArray(indices.data(), static_cast<uint32_t>(indices.size())) ||
        !m_indexSet.ranges.SetArray(ranges.data(), static_cast<uint32_t>(ranges.size())))
        return 0;
    m_bounds[0] = box[0];
    m_bounds[1] = box[1];
    UpdateContentBounds();
    return CreateIndexBuffer();
}

void CModelBlock::UpdateContentBounds()
{
    float content[6] = {INFINITY, INFINITY, INFINITY, -INFINITY, -INFINITY, -INFINITY};
    const uint32_t vertexCount = m_vertices != nullptr ? m_vertices->GetCount() : 0;
    const uint32_t* t = m_indexSet.indices.GetData();
    for (uint32_t i = 0; i + 3 <= m_indexSet.indices.GetCount(); i += 3, t += 3)
    {
        // The queries pass over triangles that name no vertex.
        if (t[0] >= vertexCount || t[1] >= vertexCount || t[2] >= vertexCount)
            continue;
        AddContent(content, m_vertices->GetAt(t[0])->position, m_vertices->GetAt(t[1])->position,
                   m_vertices->GetAt(t[2])->position);
    }
    std::copy(content, content + 6, m_contentBounds);
}

uint32_t CModelBlock::CreateIndexBuffer()
{
    if (m_indexSet.indices.GetCount() == 0)
        return 1;
    ModelDraw::ForgetBindings(s_graphics, nullptr, m_indexSet.indexBuffer.get(), nullptr);
    m_indexSet.indexBuffer.reset();
    // Without a device the block serves collision queries only.
    if (s_graphics == nullptr || s_graphics->GetDevice() == nullptr)
        return 1;
    m_indexSet.indexBuffer = ModelDeviceBuffers::CreateIndexBuffer(s_graphics, m_indexSet.indices);
    return m_indexSet.indexBuffer != nullptr ? 1 : 0;
}

uint32_t CModelBlock::Draw(const CkvrMatrix* world, const CkvrVector4* color, CAnimationController* controller,
                           CShader* effect)
{
    return Render(world, color, controller, effect, nullptr, nullptr);
}

uint32_t CModelBlock::Render(const CkvrMatrix* world, const CkvrVector4* color, CAnimationController* controller,
                             CShader* effect, KVRMODELINDEXSET* indexSet, CModelVertexList* vertexList)
{
    const KVRMODELINDEXSET* set = indexSet != nullptr ? indexSet : &m_indexSet;
    if (set->indexBuffer == nullptr)
        return 1;
    const CModelVertexList* vertices = vertexList != nullptr ? vertexList : m_vertices;
    ModelDrawSource source;
    source.vertexCount = vertices != nullptr ? vertices->GetCount() : 0;
    source.indexBuffer = set->indexBuffer.get();
    source.ranges = &set->ranges;
    source.materials = m_materials;
    source.setStream = false;
    if (effect != nullptr)
        return ModelDraw::DrawShader(s_graphics, source, world, color, controller != nullptr, effect);
    return ModelDraw::DrawFixed(s_graphics, source, color);
}
