#include "engine/render/CLowModelObject.h"

CGraphics* CLowModelObject::s_graphics = nullptr;

CLowModelObject::CLowModelObject() = default;

CLowModelObject::CLowModelObject(CMaterialList* materials) : m_materials(materials)
{
}

CLowModelObject::CLowModelObject(const CLowModelObject& other)
    : CResourceBase(other), m_value(other.m_value), m_materials(other.m_materials)
{
    m_geometry.CopyFrom(other.m_geometry);
}

CLowModelObject::~CLowModelObject()
{
    CLowModelObject::Release();
}

uint32_t CLowModelObject::Release()
{
    m_geometry.Release(s_graphics);
    return CResourceBase::Release();
}

uint32_t CLowModelObject::Create()
{
    return m_geometry.Create(s_graphics);
}

uint32_t CLowModelObject::Draw(const CkvrMatrix* world, const CkvrVector4* color, CAnimationController* controller,
                               CShader* effect)
{
    return Render(world, color, controller, effect, nullptr, nullptr);
}

uint32_t CLowModelObject::Render(const CkvrMatrix* world, const CkvrVector4* color,
                                 CAnimationController* controller, CShader* effect, KVRMODELINDEXSET* indexSet,
                                 KVRMODELVERTEXSET* vertexSet)
{
    if (m_materials == nullptr)
        return 1;
    return m_geometry.Render(s_graphics, world, color, controller, effect, m_materials, indexSet, vertexSet);
}

uint32_t CLowModelObject::RemoveBoneInfluences(uint32_t bone)
{
    m_geometry.RemoveBoneInfluences(bone);
    return 1;
}
