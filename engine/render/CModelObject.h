#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/render/ModelGeometry.h"

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
    void DeleteBlocks();
    void DeleteLowModels();

    ModelGeometry m_geometry;
    CMaterialList m_materials;
    KVRMODELGRID m_grid = {};
    CResourceList<CModelBlock*>* m_blocks = nullptr;
    CResourceList<CLowModelObject*>* m_lowModels = nullptr;

    static CGraphics* s_graphics;
};
