#pragma once

#include "engine/platform/device/DeviceResource.h"
#include "engine/platform/device/GraphicsTypes.h"
#include "engine/platform/device/VertexLayout.h"

#include <vector>

// A vertex declaration: its elements and the layout worked out from them.
class DeviceVertexDeclaration : public DeviceResource
{
public:
    DeviceVertexDeclaration(GraphicsDevice* device, const VertexElement* elements);
    ~DeviceVertexDeclaration() override = default;

    const VertexLayout& GetLayout() const { return m_layout; }
    // The elements including the end marker.
    const std::vector<VertexElement>& GetElements() const { return m_elements; }

protected:
    void FreeGlObjects() override {}

private:
    std::vector<VertexElement> m_elements;
    VertexLayout m_layout;
};
