#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/core/CkvrLine.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

#include <cstdint>

// Every object placed in the 3D world: its placement (position, rotation in
// degrees, scale), a colour, how it is drawn, and the world matrix built from
// the placement. Owners Create it, then Update and Render it every frame
// until Update returns 0 (asking the owner to remove it) or the owner does.
//
// The word arguments are wide enough to carry a pointer; their meaning
// belongs to the derived class.
class CObjectBase : public CResourceBase
{
public:
    CObjectBase() = default;
    explicit CObjectBase(const char* name) : CResourceBase(name) {}
    // Every field copied; the name is duplicated when duplicate is nonzero
    // and shared with the source (one reference-counted block) when it is 0.
    CObjectBase(const CObjectBase& other, int duplicate = 1);
    // Every field copied; the name block is shared with the source.
    CObjectBase& operator=(const CObjectBase& other);

    const char* GetClassName() const override { return "CObjectBase"; }

    virtual int Create(uintptr_t argument) = 0;
    // Nonzero keeps the object; 0 asks its owner to remove it.
    virtual int Update(uintptr_t argument) = 0;
    // world = rotation (degrees, Z x X x Y), each of its first three rows
    // scaled by scale x, y, z, then translated by the position: a model point
    // p lands at p * scale * rotation + position.
    virtual void UpdateWorldMatrix();
    // Draws the object; the render list passes back the argument it stored.
    virtual int Render(uintptr_t argument) = 0;

    CkvrVector3* GetPosition() { return &m_position; }
    CkvrVector3* GetRotation() { return &m_rotation; }
    CkvrVector3* GetScale() { return &m_scale; }
    CkvrVector4* GetColor() { return &m_color; }
    CkvrMatrix* GetWorldMatrix() { return &m_world; }
    CkvrLine* GetLine() { return &m_line; }
    CkvrVector3* GetViewPosition() { return &m_viewPosition; }
    const CkvrVector3* GetPosition() const { return &m_position; }
    const CkvrVector3* GetRotation() const { return &m_rotation; }
    const CkvrVector3* GetScale() const { return &m_scale; }
    const CkvrVector4* GetColor() const { return &m_color; }
    const CkvrMatrix* GetWorldMatrix() const { return &m_world; }

    // A null vector changes nothing.
    void SetPosition(const CkvrVector3* position);
    void SetRotation(const CkvrVector3* rotation);

    // Graphics blend mode 0-6 used when drawing.
    void SetBlendMode(uint32_t mode) { m_blendMode = mode; }
    uint32_t GetBlendMode() const { return m_blendMode; }
    // Draw priority in the render list, higher first.
    void SetPriority(int32_t priority) { m_priority = priority; }
    int32_t GetPriority() const { return m_priority; }
    // Render target of the full-screen filter to draw into; negative for none.
    void SetRenderOption(int32_t option) { m_renderOption = option; }
    int32_t GetRenderOption() const { return m_renderOption; }
    // Nonzero queues the object in the depth-sorted render list instead of
    // drawing it at once.
    void SetUseRenderList(uint32_t use) { m_useRenderList = use; }
    uint32_t GetUseRenderList() const { return m_useRenderList; }
    // Bounding radius the render list uses to drop objects behind the camera.
    void SetRadius(float radius) { m_radius = radius; }
    float GetRadius() const { return m_radius; }
    // Word stored by the render list and passed back to Render.
    void SetRenderArgument(uint32_t argument) { m_renderArgument = argument; }
    uint32_t GetRenderArgument() const { return m_renderArgument; }

protected:
    void CopyFields(const CObjectBase& other);

    CkvrVector3 m_position;
    CkvrVector3 m_rotation;
    CkvrVector3 m_scale = CkvrVector3(1.0f, 1.0f, 1.0f);
    CkvrVector4 m_color = CkvrVector4(1.0f, 1.0f, 1.0f, 1.0f);
    uint32_t m_blendMode = 1;
    int32_t m_priority = 0;
    int32_t m_renderOption = 0;
    CkvrMatrix m_world;
    CkvrLine m_line;
    CkvrVector3 m_viewPosition;
    float m_radius = 0.0f;
    uint32_t m_useRenderList = 0;
    uint32_t m_renderArgument = 0;
};
