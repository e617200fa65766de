// The HUD's stencil clipping.
#include "game/battle/CHudStencil.h"

#include "engine/platform/device/GraphicsDevice.h"

void CHudStencil::BeginWriting(uint32_t value) const
{
    if (m_device == nullptr)
        return;
    m_device->SetRenderState(RS_COLORWRITEENABLE, 0);
    m_device->SetRenderState(RS_STENCILENABLE, 1);
    m_device->SetRenderState(RS_STENCILFUNC, CMP_ALWAYS);
    m_device->SetRenderState(RS_STENCILPASS, STENCILOP_REPLACE);
    m_device->SetRenderState(RS_STENCILREF, value);
}

void CHudStencil::BeginClipping() const
{
    if (m_device == nullptr)
        return;
    m_device->SetRenderState(RS_COLORWRITEENABLE, 0xF);
    m_device->SetRenderState(RS_STENCILFUNC, CMP_EQUAL);
    m_device->SetRenderState(RS_STENCILPASS, STENCILOP_KEEP);
    m_device->SetRenderState(RS_STENCILREF, 1);
}

void CHudStencil::End() const
{
    if (m_device == nullptr)
        return;
    m_device->SetRenderState(RS_STENCILENABLE, 0);
    m_device->SetRenderState(RS_STENCILFUNC, CMP_ALWAYS);
    m_device->SetRenderState(RS_COLORWRITEENABLE, 0xF);
}
