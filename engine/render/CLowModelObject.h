#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/render/ModelGeometry.h"

class CAnimationController;
class CGraphics;
class CkvrMatrix;
class CShader;

// A second, separately stored vertex and index set of a model object,
// built and drawn like the object itself with a material list it is given.
class CLowModelObject : public CResourceBase
{
public:
    CLowModelObject();
    explicit CLowModelObject(CMaterialList* materials);
    // Copies vertices and indices; the copy builds its own device objects.
    CLowModelObject(const CLowModelObject& other);
    CLowModelObject& operator=(const CLowModelObject&) = delete;
    ~CLowModelObject() override;

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }

    uint32_t Release() override;
    const char* GetClassName() const override { return "CLowModelObject"; }

    uint32_t Create();
    uint32_t Draw(const CkvrMatrix* world, const CkvrVector4* color, CAnimationController* controller,
                  CShader* effect);
    uint32_t Render(const CkvrMatrix* world, const CkvrVector4* color, CAnimationController* controller,
                    CShader* effect, KVRMODELINDEXSET* indexSet, KVRMODELVERTEXSET* vertexSet);
    uint32_t SkinVertices(CAnimationController* controller) { return m_geometry.SkinVertices(controller); }
    uint32_t RemoveBoneInfluences(uint32_t bone);

    float GetValue() const { return m_value; }
    void SetValue(float value) { m_value = value; }
    CModelVertexList* GetVertexList() { return &m_geometry.vertices; }
    KVRMODELINDEXSET* GetIndexSet() { return &m_geometry.indexSet; }
    CMaterialList* GetMaterials() const { return m_materials; }
    void SetMaterials(CMaterialList* materials) { m_materials = materials; }
    ModelGeometry* GetGeometry() { return &m_geometry; }

private:
    float m_value = 0.0f;
    ModelGeometry m_geometry;
    CMaterialList* m_materials = nullptr;

    static CGraphics* s_graphics;
};
