#include "engine/render/CFilter.h"

#include "engine/core/CRect.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"

CGraphics* CFilter::s_graphics = nullptr;

namespace
{
constexpr uint32_t POOL_DEFAULT = 0;

GraphicsDevice* Device()
{
    CGraphics* graphics = CFilter::GetGraphics();
    return graphics != nullptr ? graphics->GetDevice() : nullptr;
}

// The whole target to one colour, straight through the device: a clear
// through the graphics object would cover only the current camera's
// viewport, and filling through a lock would keep a CPU copy of every
// target. The device's render target and viewport are put back as found.
bool FillTarget(GraphicsDevice* device, CTexture* texture, uint32_t argb)
{
    DeviceSurface* surface = texture->GetSurface();
    DeviceSurface* previous = device->GetRenderTarget();
    const DeviceViewport viewport = device->GetViewport();
    if (surface == nullptr || DeviceFailed(device->SetRenderTarget(0, surface)))
        return false;
    device->Clear(CLEAR_TARGET, argb, 1.0f, 0);
    if (previous != nullptr)
        device->SetRenderTarget(0, previous);
    device->SetViewport(viewport);
    return true;
}

DeviceRect ToDeviceRect(const CRect& rect)
{
    return {static_cast<int32_t>(rect.left), static_cast<int32_t>(rect.top), static_cast<int32_t>(rect.right),
            static_cast<int32_t>(rect.bottom)};
}
}

CFilter::CFilter() = default;

CFilter::~CFilter()
{
    CFilter::Release();
}

uint32_t CFilter::Release()
{
    m_depthSurface.reset();
    ReleaseShader();
    ReleaseTargets();
    return CResourceBase::Release();
}

void CFilter::ReleaseShader()
{
    if (m_shader != nullptr && m_ownsShader)
    {
        m_shader->Release();
        delete m_shader;
    }
    m_shader = nullptr;
    m_ownsShader = 0;
}

void CFilter::ReleaseTargets()
{
    if (m_targets == nullptr)
        return;
    for (uint32_t i = 0; i < m_targets->GetCount(); ++i)
    {
        CTexture* texture = m_targets->GetItem(i);
        if (texture == nullptr)
            continue;
        texture->Release();
        delete texture;
    }
    m_targets->Release();
    delete m_targets;
    m_targets = nullptr;
}

uint32_t CFilter::GetTargetCount() const
{
    return m_targets != nullptr ? m_targets->GetCount() : 0;
}

CTexture* CFilter::GetTarget(uint32_t index) const
{
    return m_targets != nullptr ? m_targets->GetItem(index) : nullptr;
}

void CFilter::GetWindowSize(float* width, float* height)
{
    *width = 0.0f;
    *height = 0.0f;
    if (s_graphics == nullptr)
        return;
    const CSystem* system = s_graphics->GetSystem();
    if (system != nullptr)
    {
        *width = static_cast<float>(system->GetWidth());
        *height = static_cast<float>(system->GetHeight());
        return;
    }
    if (s_graphics->GetDevice() != nullptr)
    {
        *width = static_cast<float>(s_graphics->GetDevice()->GetPresentParameters().backBufferWidth);
        *height = static_cast<float>(s_graphics->GetDevice()->GetPresentParameters().backBufferHeight);
    }
}

// ---------------------------------------------------------------------------
// Creation

int CFilter::CreateTargets(uint32_t width, uint32_t height, uint32_t format, uint32_t depthFormat, uint32_t count)
{
    GraphicsDevice* device = Device();
    if (device == nullptr || count == 0)
        return 0;
    m_depthSurface.reset();
    ReleaseTargets();
    m_targets = new CResourceList<CTexture*>();
    for (uint32_t i = 0; i < count; ++i)
    {
        CTexture* texture = new CTexture();
        // Kept in the list even when it fails, so that Release frees it.
        m_targets->Add(texture);
        if (!texture->CreateRenderTarget(width, height, USAGE_RENDERTARGET, format, POOL_DEFAULT) ||
            !FillTarget(device, texture, 0xFF000000))
            return 0;
    }
    // Takes a raw pointer or an owning handle from the device alike.
    m_depthSurface = std::unique_ptr<DeviceSurface>(device->CreateDepthStencilSurface(width, height, depthFormat));
    return m_depthSurface != nullptr ? 1 : 0;
}

int CFilter::LoadShaderFromFile(const char* path, uint32_t flags)
{
    ReleaseShader();
    m_shader = new CShader();
    m_ownsShader = 1;
    return m_shader->CreateFromFile(path, flags);
}

int CFilter::LoadShaderFromMemory(const void* data, const char* name, uint32_t size, uint32_t flags,
                                  uint32_t keepCopy)
{
    ReleaseShader();
    m_shader = new CShader();
    m_ownsShader = 1;
    return m_shader->CreateFromMemory(data, name, size, flags, keepCopy);
}

// ---------------------------------------------------------------------------
// Targets

int CFilter::SetRenderTarget(uint32_t index)
{
    CTexture* target = GetTarget(index);
    return target != nullptr ? target->SetAsRenderTarget() : 0;
}

int CFilter::ClearTarget(uint32_t index, uint32_t)
{
    GraphicsDevice* device = Device();
    if (device == nullptr || !SetRenderTarget(index))
        return 0;
    return DeviceFailed(device->Clear(CLEAR_TARGET, 0x00000000, 1.0f, 0)) ? 0 : 1;
}

int CFilter::SetDepthStencil()
{
    if (s_graphics == nullptr || m_depthSurface == nullptr)
        return 0;
    return s_graphics->SetDepthStencilSurface(m_depthSurface.get());
}

int CFilter::ClearDepth()
{
    GraphicsDevice* device = Device();
    if (device == nullptr || !SetDepthStencil())
        return 0;
    return DeviceFailed(device->Clear(CLEAR_ZBUFFER | CLEAR_STENCIL, 0, 1.0f, 0)) ? 0 : 1;
}

int CFilter::ClearAllTargets(uint32_t)
{
    if (s_graphics == nullptr || GetTargetCount() == 0)
        return 0;
    DeviceSurface* target = s_graphics->GetCurrentRenderTarget();
    DeviceSurface* depth = s_graphics->GetCurrentDepthStencil();
    for (uint32_t i = 0; i < GetTargetCount(); ++i)
        ClearTarget(i);
    ClearDepth();
    s_graphics->SetRenderTarget(target);
    s_graphics->SetDepthStencilSurface(depth);
    return 1;
}

int CFilter::BeginCapture(uint32_t argument)
{
    return ClearAllTargets(argument);
}

int CFilter::BeginCaptureTarget(uint32_t index, uint32_t)
{
    if (s_graphics == nullptr || GetTarget(index) == nullptr)
        return 0;
    DeviceSurface* target = s_graphics->GetCurrentRenderTarget();
    DeviceSurface* depth = s_graphics->GetCurrentDepthStencil();
    ClearTarget(index);
    ClearDepth();
    s_graphics->SetRenderTarget(target);
    s_graphics->SetDepthStencilSurface(depth);
    return 1;
}

// ---------------------------------------------------------------------------
// Composition

int CFilter::Apply(uint32_t)
{
    return DrawTarget(nullptr, nullptr, 0xFFFFFFFF, 0);
}

int CFilter::DrawTarget(const CRect* destination, const CRect* source, uint32_t color, uint32_t index)
{
    CTexture* target = GetTarget(index);
    if (s_graphics == nullptr || s_graphics->GetDevice() == nullptr || target == nullptr)
        return 0;
    // Texture draws answer with the device's result.
    const DeviceResult result = target->DrawRect(destination != nullptr ? &destination->left : nullptr,
                                                 source != nullptr ? &source->left : nullptr, color, 0);
    return DeviceFailed(result) ? 0 : 1;
}

int CFilter::DrawTargetInto(const CRect* destination, const CRect* source, uint32_t color, uint32_t index,
                            uint32_t into)
{
    CTexture* target = GetTarget(index);
    CTexture* intoTarget = GetTarget(into);
    // A target drawn into itself would read what it is writing.
    if (s_graphics == nullptr || target == nullptr || intoTarget == nullptr || index == into)
        return 0;
    if (s_graphics->GetCurrentRenderTarget() != intoTarget->GetSurface() && !intoTarget->SetAsRenderTarget())
        return 0;
    const int result = DrawTarget(destination, source, color, index);
    s_graphics->RestoreRenderTarget();
    return result;
}

int CFilter::CopyBackBufferToTarget(const CRect* source, const CRect* destination, uint32_t index)
{
    GraphicsDevice* device = Device();
    CTexture* target = GetTarget(index);
    if (device == nullptr || target == nullptr || target->GetSurface() == nullptr ||
        s_graphics->GetBackBuffer() == nullptr)
        return 0;
    float width = 0.0f;
    float height = 0.0f;
    GetWindowSize(&width, &height);
    const CRect window(0.0f, width, 0.0f, height);
    const DeviceRect from = ToDeviceRect(source != nullptr ? *source : window);
    const DeviceRect to = ToDeviceRect(destination != nullptr ? *destination : window);
    return DeviceFailed(device->StretchRect(s_graphics->GetBackBuffer(), &from, target->GetSurface(), &to,
                                            TEXF_POINT))
               ? 0
               : 1;
}
