#include "engine/platform/CGraphics.h"

#include "engine/core/CkvrMatrix.h"
#include "engine/platform/GraphicsDevice.h"
#include "engine/render/BuiltInEffects.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"

#include <string_view>

CShader* CGraphics::s_defaultShader = nullptr;

CGraphics::~CGraphics()
{
    Destroy();
}

int CGraphics::CreateOnDevice(GraphicsDevice* device, CSystem* system)
{
    if (device == nullptr)
        return 0;
    m_device = device;
    m_system = system;
    m_renderTarget = device->GetRenderTarget();
    m_lighting = device->GetRenderState(RS_LIGHTING);
    m_fogEnable = device->GetRenderState(RS_FOGENABLE);
    CTexture::SetGraphics(this);
    CShader::SetGraphics(this);
    // KVR_DEFAULT_EFFECT: the default effect is made here and after every
    // reset; failing to make it does not fail the device.
    RecreateDefaultEffect();
    return 1;
}

void CGraphics::Destroy()
{
    if (s_defaultShader != nullptr)
    {
        s_defaultShader->Release();
        delete s_defaultShader;
        s_defaultShader = nullptr;
    }
    if (m_device == nullptr)
        return;
    CTexture::SetGraphics(nullptr);
    CShader::SetGraphics(nullptr);
    m_device = nullptr;
    m_texture = nullptr;
    m_renderTarget = nullptr;
}

void CGraphics::ReleaseDefaultEffect()
{
    if (s_defaultShader != nullptr && std::string_view(s_defaultShader->GetName() ? s_defaultShader->GetName() : "") == "Default.shd")
        s_defaultShader->ReleaseEffect();
}

int CGraphics::RecreateDefaultEffect()
{
    const std::vector<uint8_t>& image = BuiltInEffects::GetDefaultImage();
    if (s_defaultShader == nullptr)
    {
        CShader* shader = new CShader();
        if (!shader->CreateFromMemory(image.data(), "Default.shd", static_cast<uint32_t>(image.size()), 0, 1))
        {
            shader->Release();
            delete shader;
            return 0;
        }
        s_defaultShader = shader;
        return 1;
    }
    return s_defaultShader->CreateFromMemory(image.data(), "Default.shd", static_cast<uint32_t>(image.size()), 0, 1);
}

void CGraphics::SetTexture(DeviceTexture* texture)
{
    if (m_device == nullptr || (texture == m_texture && m_device->GetTexture(0) == texture))
        return;
    m_texture = texture;
    m_device->SetTexture(0, texture);
}

void CGraphics::SetFVF(uint32_t fvf)
{
    if (m_device == nullptr || (fvf == m_fvf && m_device->GetFVF() == fvf))
        return;
    m_fvf = fvf;
    m_device->SetFVF(fvf);
}

void CGraphics::SetLighting(uint32_t lighting)
{
    if (m_device == nullptr || lighting == m_lighting)
        return;
    m_lighting = lighting;
    m_device->SetRenderState(RS_LIGHTING, lighting);
}

void CGraphics::SetFogEnable(uint32_t fog)
{
    if (m_device == nullptr || fog == m_fogEnable)
        return;
    m_fogEnable = fog;
    m_device->SetRenderState(RS_FOGENABLE, fog);
}

int CGraphics::SetRenderTarget(DeviceSurface* surface)
{
    if (m_device == nullptr)
        return 0;
    if (surface == m_renderTarget && m_device->GetRenderTarget() == surface)
        return 1;
    if (DeviceFailed(m_device->SetRenderTarget(0, surface)))
        return 0;
    m_renderTarget = surface;
    return 1;
}

void CGraphics::SetWorldTransform(const CkvrMatrix* matrix)
{
    if (m_device != nullptr && matrix != nullptr)
        m_device->SetTransform(TRANSFORM_WORLD, matrix->m);
}

DeviceResult CGraphics::DrawPrimitiveUP(uint32_t type, uint32_t count, const void* vertices, uint32_t stride)
{
    if (m_device == nullptr)
        return DEVICE_ERROR_INVALID_CALL;
    return m_device->DrawPrimitiveUP(type, count, vertices, stride);
}

void CGraphics::GetViewportOrigin(float* origin) const
{
    if (origin == nullptr)
        return;
    origin[0] = 0.0f;
    origin[1] = 0.0f;
}
