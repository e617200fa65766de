#include "engine/platform/device/DeviceVertexDeclaration.h"

DeviceVertexDeclaration::DeviceVertexDeclaration(GraphicsDevice* device, const VertexElement* elements)
    : DeviceResource(device)
{
    if (elements != nullptr)
    {
        for (int i = 0; i < 64 && elements[i].stream != 0xFF; ++i)
            m_elements.push_back(elements[i]);
    }
    m_elements.push_back(VERTEX_ELEMENT_END);
    m_layout = VertexLayout::FromElements(m_elements.data());
}
