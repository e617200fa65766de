#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/render/ModelGeometry.h"

#include <cmath>

class CAnimationController;
class CGraphics;
class CLowModelObject;
class CModelBlock;
class CkvrMatrix;
class CShader;

// The block grid of a model object: its box when the grid was made, the
// reciprocal cell size, the half-cell offset of odd counts and the counts.
struct KVRMODELGRID
{
    CkvrVector3 centre;
    CkvrVector3 halfSize;
    CkvrVector3 inverseCellSize;
    CkvrVector3 offset;
    uint16_t counts[3];
};

// One drawable part of a mesh: vertices, triangles split into one range
// per material, the materials, the device objects built from them, and
// optionally a block grid and low-detail models.
class CModelObject : public CResourceBase
{
public:
    CModelObject();
    CModelObject(const CModelObject&) = delete;
    CModelObject& operator=(const CModelObject&) = delete;
    ~CModelObject() override;

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }
    static CGraphics* GetGraphics() { return s_graphics; }

    uint32_t Release() override;
    const char* GetClassName() const override { return "CModelObject"; }

    // Builds the vertex buffer, declaration and index buffer, then those of
    // the low models and blocks. 0 when a device call fails.
    uint32_t Create();
    uint32_t Draw(const CkvrMatrix* world, const CkvrVector4* color, CAnimationController* controller,
                  CShader* effect);
    uint32_t Render(const CkvrMatrix* world, const CkvrVector4* color, CAnimationController* controller,
                    CShader* effect, KVRMODELINDEXSET* indexSet, KVRMODELVERTEXSET* vertexSet);
    uint32_t SkinVertices(CAnimationController* controller) { return m_geometry.SkinVertices(controller); }

    // An object without vertices has an empty box and a zero sphere at the
    // origin. 0 only for a null output.
    uint32_t CalcBounds(CkvrVector3* centre, CkvrVector3* halfSize) const;
    uint32_t CalcRadius(CkvrVector3* centre, float* radius) const;
    uint32_t CreateBlocks(uint16_t countX, uint16_t countY, uint16_t countZ);

    uint32_t DropMissingResources(const CResourceList<CTexture*>* textures, const CResourceList<CShader*>* effects);
    uint32_t RemoveBoneInfluences(uint32_t bone);

    CModelVertexList* GetVertexList() { return &m_geometry.vertices; }
    KVRMODELINDEXSET* GetIndexSet() { return &m_geometry.indexSet; }
    CMaterialList* GetMaterials() { return &m_materials; }
    KVRMODELGRID* GetGrid() { return &m_grid; }
    CResourceList<CModelBlock*>* GetBlocks() const { return m_blocks; }
    // The grid cell of a point, clamped into the grid on every axis. 0 (and
    // no cell) for a null argument or a coordinate that is not a number.
    // Inline, as GetCellBlock: every hit query against a grid asks both.
    uint32_t HitGridCellIndex(const CkvrVector3* point, uint32_t* x, uint32_t* y, uint32_t* z) const;
    // The block of cell (x, y, z), or null without a grid or past its end.
    CModelBlock* GetCellBlock(uint32_t x, uint32_t y, uint32_t z) const;
    CResourceList<CLowModelObject*>* GetLowModels() const { return m_lowModels; }
    // Creates the list on first use; 0 when that fails.
    uint32_t CreateBlockList();
    uint32_t AddLowModel(CLowModelObject* lowModel);
    ModelGeometry* GetGeometry() { return &m_geometry; }

    // Frees what a material holds (name, owned textures and effect, lists).
    static void FreeMaterial(tag_KVRMODELMATERIAL* material);

private:
    // The cell along one axis of a coordinate's offset into the grid in
    // cells; false when it is not a number.
    static bool GridCell(float cells, uint16_t count, uint32_t* cell);
    void DeleteBlocks();
    void DeleteLowModels();

    ModelGeometry m_geometry;
    CMaterialList m_materials;
    KVRMODELGRID m_grid = {};
    CResourceList<CModelBlock*>* m_blocks = nullptr;
    CResourceList<CLowModelObject*>* m_lowModels = nullptr;

    static CGraphics* s_graphics;
};

inline bool CModelObject::GridCell(float cells, uint16_t count, uint32_t* cell)
{
    if (std::isnan(cells))
        return false;
    // Compared before converting: a point far outside (or infinite) must
    // land in the last cell, not wrap into the middle of the grid.
    const uint32_t last = count > 0 ? count - 1u : 0u;
    if (cells < 0.0f)
        *cell = 0;
    else if (cells >= float(last))
        *cell = last;
    else
        *cell = static_cast<uint32_t>(cells);
    return true;
}

inline uint32_t CModelObject::HitGridCellIndex(const CkvrVector3* point, uint32_t* x, uint32_t* y, uint32_t* z) const
{
    if (point == nullptr || x == nullptr || y == nullptr || z == nullptr)
        return 0;
    const KVRMODELGRID& g = m_grid;
    return GridCell((point->x - g.centre.x + g.halfSize.x) * g.inverseCellSize.x, g.counts[0], x) &&
                   GridCell((point->y - g.centre.y + g.halfSize.y) * g.inverseCellSize.y, g.counts[1], y) &&
                   GridCell((point->z - g.centre.z + g.halfSize.z) * g.inverseCellSize.z, g.counts[2], z)
               ? 1
               : 0;
}

inline CModelBlock* CModelObject::GetCellBlock(uint32_t x, uint32_t y, uint32_t z) const
{
    if (m_blocks == nullptr)
        return nullptr;
    const uint64_t index = (uint64_t(x) * m_grid.counts[1] + y) * m_grid.counts[2] + z;
    return index < m_blocks->GetCount() ? m_blocks->GetItem(static_cast<uint32_t>(index)) : nullptr;
}
