#include "engine/platform/CGraphics.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CRect.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/device/DeviceBuffer.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/DeviceVertexDeclaration.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/PlatformClock.h"
#include "engine/platform/PlatformMessageBox.h"
#include "engine/platform/message/PlatformWindow.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
// Bits of CGraphics::m_cacheValid.
enum : uint32_t
{
    CACHED_AMBIENT = 1u << 0,
    CACHED_BLEND = 1u << 1,
    CACHED_CULL = 1u << 2,
    CACHED_LIGHTING = 1u << 3,
    CACHED_FOG = 1u << 4,
    CACHED_ZENABLE = 1u << 5,
    CACHED_ZWRITE = 1u << 6,
    CACHED_TEXTURE = 1u << 7,
    CACHED_STREAM = 1u << 8,
    CACHED_INDICES = 1u << 9,
    CACHED_DECLARATION = 1u << 10,
    CACHED_FVF = 1u << 11,
};

// Shift-JIS text of a failed device creation. (The object that the
// device comes from always exists here: GL is a library, not an object.)
const char* const TEXT_NO_DEVICE =
    "Direct3D\x83\x66\x83\x6f\x83\x43\x83\x58\x82\xcc\x90\xb6\x90\xac\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82"
    "\xb5\x82\xbd";

const uint32_t DISPLAY_FORMAT_ORDER[CGraphics::DISPLAY_FORMAT_COUNT] = {
    FORMAT_A8R8G8B8, FORMAT_X8R8G8B8, FORMAT_R5G6B5, FORMAT_X1R5G5B5, FORMAT_A1R5G5B5};
const uint32_t TEXTURE_FORMAT_ORDER[CGraphics::TEXTURE_FORMAT_COUNT] = {
    FORMAT_A4R4G4B4, FORMAT_X4R4G4B4, FORMAT_A8R8G8B8, FORMAT_X8R8G8B8, FORMAT_A1R5G5B5,
    FORMAT_A8,       FORMAT_R16F,     FORMAT_R32F,     FORMAT_DXT1,     FORMAT_DXT2,
    FORMAT_DXT3,     FORMAT_DXT4,     FORMAT_DXT5};

CGraphics::RenderClassHooks g_render;
CGraphics::SleepFunction g_deviceSleep;
// The graphics object the drawing classes draw with (the last one created
// or activated) and its default effect.
CGraphics* g_drawing;
CShader* g_defaultShader;

bool IsDefaultEffect(CShader* shader)
{
    return shader != nullptr && g_render.isDefaultEffect != nullptr && g_render.isDefaultEffect(shader);
}

bool HasScreen()
{
    DisplayMode mode;
    return GraphicsDevice::GetDesktopMode(&mode);
}

template <typename T>
T* AllocateTable(uint32_t count)
{
    return static_cast<T*>(AlignedAlloc(sizeof(T) * (count > 0 ? count : 1), 16));
}
}

CGraphics::RenderClassHooks CGraphics::SetRenderClassHooks(const RenderClassHooks& hooks)
{
    const RenderClassHooks previous = g_render;
    g_render = hooks;
    return previous;
}

void CGraphics::SetSleepFunction(SleepFunction sleep)
{
    g_deviceSleep = sleep;
}

CShader* CGraphics::GetDefaultShader()
{
    return g_defaultShader;
}

void CGraphics::SetDefaultShader(CShader* shader)
{
    g_defaultShader = shader;
}

CGraphics::CGraphics() = default;

CGraphics::~CGraphics()
{
    Destroy();
}

void CGraphics::Sleep(uint32_t milliseconds)
{
    if (g_deviceSleep != nullptr)
        g_deviceSleep(milliseconds);
    else
        SleepMilliseconds(milliseconds);
}

void CGraphics::SendToWindow(uint32_t id)
{
    if (m_system != nullptr && m_system->GetWindowHandle() != nullptr)
        MessageQueue::Send(m_system->GetWindowHandle(), id, 0, 0);
}

void CGraphics::SetDrawingClassesGraphics(CGraphics* graphics)
{
    if (g_render.setGraphics != nullptr)
        g_render.setGraphics(graphics);
}

void CGraphics::ApplyCamera()
{
    if (m_camera != nullptr && g_render.applyCamera != nullptr)
        g_render.applyCamera(m_camera);
}

// ---------------------------------------------------------------------------
// Creation

int CGraphics::Create(CSystem* system)
{
    if (system == nullptr)
        return 0;
    m_system = system;
    // There is always a GL library to ask; what can fail is the context.
    if (!GraphicsDevice::GetDesktopMode(&m_desktopMode))
    {
        m_desktopMode.width = static_cast<uint32_t>(system->GetWidth());
        m_desktopMode.height = static_cast<uint32_t>(system->GetHeight());
        m_desktopMode.refreshRate = 60;
        m_desktopMode.format = FORMAT_X8R8G8B8;
    }
    SetupPresentParameters();
    if (!CreateDeviceLadder())
    {
        ShowMessageBox(nullptr, TEXT_NO_DEVICE, "Error");
        return 0;
    }
    m_device->SetReleaseObserver(&CGraphics::ForgetResource, this);
    if (!CheckCaps())
        return 0;
    m_backBuffer = m_device->GetRenderTarget();
    m_currentRenderTarget = m_backBuffer;
    m_depthStencil = m_device->GetDepthStencilSurface();
    m_currentDepthStencil = m_depthStencil;
    if (m_backBuffer == nullptr || m_depthStencil == nullptr)
        return 0;
    DeviceViewport viewport;
    viewport.width = m_presentParameters.backBufferWidth;
    viewport.height = m_presentParameters.backBufferHeight;
    if (DeviceFailed(m_device->SetViewport(viewport)))
        return 0;
    InvalidateStateCache();
    SetDefaultStates();
    SetBlendMode(1);
    // One cleared frame.
    if (BeginScene())
        EndScene();

    Activate();

    const bool shaders = m_caps.vertexShaderVersion >= VertexShaderVersion(1, 1) &&
                         m_caps.pixelShaderVersion >= PixelShaderVersion(1, 1);
    if (shaders && g_render.createDefaultEffect != nullptr)
        m_defaultShader = g_render.createDefaultEffect(this);
    g_defaultShader = m_defaultShader;
    return 1;
}

int CGraphics::Activate()
{
    if (!m_device || !m_device->MakeCurrent())
        return 0;
    g_drawing = this;
    g_defaultShader = m_defaultShader;
    SetDrawingClassesGraphics(this);
    return 1;
}

bool CGraphics::CreateDeviceLadder()
{
    // An accelerated context first; on GL the three vertex-processing
    // rungs of the ladder are one and the same, so the first that works is
    // recorded as mixed. Then any context, software rasterizers included,
    // reported as the reference type with software vertex processing.
    PresentParameters parameters = m_presentParameters;
    m_device = GraphicsDevice::Create(DEVICE_TYPE_ACCELERATED, parameters);
    if (m_device)
    {
        m_deviceType = DEVICE_TYPE_ACCELERATED;
        m_vertexProcessing = VERTEX_PROCESSING_MIXED;
    }
    else
    {
        parameters = m_presentParameters;
        m_device = GraphicsDevice::Create(DEVICE_TYPE_REFERENCE, parameters);
        if (!m_device)
            return false;
        m_deviceType = DEVICE_TYPE_REFERENCE;
        m_vertexProcessing = VERTEX_PROCESSING_SOFTWARE;
    }
    m_presentParameters = parameters;
    return true;
}

void CGraphics::SetupPresentParameters()
{
    m_presentParameters = PresentParameters();
    m_presentParameters.windowed = m_windowed;
    m_presentParameters.deviceWindow = m_system != nullptr ? m_system->GetWindowHandle() : nullptr;
    m_presentParameters.backBufferCount = 1;
    m_presentParameters.swapEffect = 1;
    m_presentParameters.enableAutoDepthStencil = 1;
    m_presentParameters.autoDepthStencilFormat = FORMAT_D24S8;
    m_presentParameters.presentationInterval = PRESENT_INTERVAL_IMMEDIATE;
    if (m_windowed)
    {
        // The device takes the client size.
        m_presentParameters.backBufferFormat = m_desktopMode.format;
        return;
    }
    if (m_system != nullptr)
    {
        m_presentParameters.backBufferWidth = static_cast<uint32_t>(m_system->GetWidth());
        m_presentParameters.backBufferHeight = static_cast<uint32_t>(m_system->GetHeight());
    }
    m_presentParameters.backBufferFormat = m_fullScreenFormat;
}

int CGraphics::CheckCaps()
{
    if (!m_device)
        return 0;
    m_adapterCount = 1;
    std::snprintf(m_adapterDescription, sizeof m_adapterDescription, "%s", m_device->GetRendererName().c_str());
    // The GL version stands in for the driver version: major.minor high,
    // the rest of the version text's numbers are not comparable across
    // drivers.
    const std::string& version = m_device->GetVersionText();
    unsigned major = 0;
    unsigned minor = 0;
    std::sscanf(version.c_str(), "%u.%u", &major, &minor);
    m_driverVersionHigh = (major << 16) | minor;
    m_driverVersionLow = 0;
    m_textureMemory = m_device->GetAvailableTextureMemory();
    m_caps = m_device->GetCaps();

    AlignedFree(m_cache.streamBuffers);
    AlignedFree(m_cache.streamStrides);
    m_cache.streamBuffers = AllocateTable<DeviceBuffer*>(m_caps.maxStreams);
    m_cache.streamStrides = AllocateTable<uint32_t>(m_caps.maxStreams);

    AlignedFree(m_displayFormats);
    m_displayFormatCount = DISPLAY_FORMAT_COUNT;
    m_displayFormats = AllocateTable<uint32_t>(DISPLAY_FORMAT_COUNT);
    m_desktopWidth = m_desktopMode.width;
    m_desktopHeight = m_desktopMode.height;
    m_desktopRefreshRate = m_desktopMode.refreshRate;
    const bool hasScreen = !GraphicsDevice::GetDisplayModes(m_desktopMode.format).empty();
    for (uint32_t i = 0; i < DISPLAY_FORMAT_COUNT; ++i)
    {
        const uint32_t format = DISPLAY_FORMAT_ORDER[i];
        // Without a screen (headless) only the desktop's own format exists.
        const bool usable = hasScreen ? GraphicsDevice::IsDisplayFormatAvailable(format) : format == m_desktopMode.format;
        m_displayFormats[i] = usable ? format : 0;
    }
    m_fullScreenFormat = 0;
    for (uint32_t format : DISPLAY_FORMAT_ORDER)
    {
        if (SetFullScreenFormat(format))
            break;
    }
    if (!EnumDisplayModes())
        return 0;

    AlignedFree(m_textureFormats);
    m_textureFormatCount = TEXTURE_FORMAT_COUNT;
    m_textureFormats = AllocateTable<uint32_t>(TEXTURE_FORMAT_COUNT);
    for (uint32_t i = 0; i < TEXTURE_FORMAT_COUNT; ++i)
    {
        const uint32_t format = TEXTURE_FORMAT_ORDER[i];
        m_textureFormats[i] = m_device->IsTextureFormatSupported(format) ? format : 0;
    }
    return 1;
}

int CGraphics::EnumDisplayModes()
{
    std::vector<DisplayMode> modes = GraphicsDevice::GetDisplayModes(m_fullScreenFormat);
    // Without a screen the one mode is the desktop the window stands for.
    if (modes.empty() && m_fullScreenFormat == m_desktopMode.format && !HasScreen())
        modes.push_back(m_desktopMode);
    AlignedFree(m_displayModes);
    m_displayModeCount = static_cast<uint32_t>(modes.size());
    m_displayModes = AllocateTable<DisplayMode>(m_displayModeCount);
    if (m_displayModes == nullptr)
        return 0;
    for (uint32_t i = 0; i < m_displayModeCount; ++i)
        m_displayModes[i] = modes[i];
    return 1;
}

int CGraphics::IsDisplayFormat(uint32_t format) const
{
    if (format == 0 || m_displayFormats == nullptr)
        return 0;
    for (uint32_t i = 0; i < m_displayFormatCount; ++i)
    {
        if (m_displayFormats[i] == format)
            return 1;
    }
    return 0;
}

int CGraphics::IsTextureFormat(uint32_t format) const
{
    if (format == 0 || m_textureFormats == nullptr)
        return 0;
    for (uint32_t i = 0; i < m_textureFormatCount; ++i)
    {
        if (m_textureFormats[i] == format)
            return 1;
    }
    return 0;
}

int CGraphics::SetFullScreenFormat(uint32_t format)
{
    if (!IsDisplayFormat(format))
        return 0;
    m_fullScreenFormat = format;
    return 1;
}

void CGraphics::Destroy()
{
    AlignedFree(m_displayFormats);
    AlignedFree(m_textureFormats);
    AlignedFree(m_displayModes);
    AlignedFree(m_cache.streamBuffers);
    AlignedFree(m_cache.streamStrides);
    m_displayFormats = nullptr;
    m_textureFormats = nullptr;
    m_displayModes = nullptr;
    m_cache.streamBuffers = nullptr;
    m_cache.streamStrides = nullptr;
    m_displayFormatCount = 0;
    m_textureFormatCount = 0;
    m_displayModeCount = 0;
    m_backBuffer = nullptr;
    m_currentRenderTarget = nullptr;
    m_depthStencil = nullptr;
    m_currentDepthStencil = nullptr;
    // Only what is this object's own goes: another graphics object that
    // draws meanwhile keeps its default effect, its drawing classes and its
    // context.
    if (m_device)
        m_device->MakeCurrent();
    if (m_defaultShader != nullptr && g_render.destroyDefaultEffect != nullptr)
        g_render.destroyDefaultEffect(m_defaultShader);
    m_defaultShader = nullptr;
    if (m_device)
        m_device->SetReleaseObserver(nullptr, nullptr);
    m_device.reset();
    m_camera = nullptr;
    if (g_drawing == this)
    {
        g_drawing = nullptr;
        g_defaultShader = nullptr;
        SetDrawingClassesGraphics(nullptr);
    }
    else if (g_drawing != nullptr)
    {
        g_drawing->m_device->MakeCurrent();
    }
}

// ---------------------------------------------------------------------------
// Frames

int CGraphics::BeginScene()
{
    if (!m_device)
        return 0;
    if (DeviceFailed(m_device->BeginScene()))
    {
        // Whether or not the reset works, this frame has no scene: the
        // caller skips it and the next frame begins normally.
        ResetDevice();
        return 0;
    }
    Clear(CLEAR_TARGET | CLEAR_ZBUFFER | CLEAR_STENCIL);
    return 1;
}

DeviceResult CGraphics::Clear(uint32_t flags)
{
    if (!m_device)
        return DEVICE_ERROR_INVALID_CALL;
    return m_device->Clear(flags, 0xFF000000, 1.0f, 0);
}

int CGraphics::EndScene()
{
    if (!m_device || DeviceFailed(m_device->EndScene()))
        return 0;
    if (DeviceFailed(m_device->Present(nullptr, nullptr, nullptr)))
        return ResetDevice();
    return 1;
}

int CGraphics::EndSceneToWindow(const CRect* source, const CRect* destination, PlatformWindow* window)
{
    if (!m_device || DeviceFailed(m_device->EndScene()))
        return 0;
    DeviceRect from;
    DeviceRect to;
    if (source != nullptr)
        from = {static_cast<int32_t>(source->left), static_cast<int32_t>(source->top),
                static_cast<int32_t>(source->right), static_cast<int32_t>(source->bottom)};
    if (destination != nullptr)
        to = {static_cast<int32_t>(destination->left), static_cast<int32_t>(destination->top),
              static_cast<int32_t>(destination->right), static_cast<int32_t>(destination->bottom)};
    if (DeviceFailed(m_device->Present(source != nullptr ? &from : nullptr, destination != nullptr ? &to : nullptr,
                                       window)))
    {
        ResetDevice();
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------------------
// The reset protocol

int CGraphics::ResetDevice()
{
    if (!m_device)
        return 0;
    const DeviceResult level = m_device->TestCooperativeLevel();
    if (level == DEVICE_ERROR_LOST)
    {
        Sleep(500);
        return 0;
    }
    if (DeviceFailed(level) && level != DEVICE_ERROR_NOT_RESET)
        return 0;

    m_backBuffer = nullptr;
    m_currentRenderTarget = nullptr;
    m_depthStencil = nullptr;
    m_currentDepthStencil = nullptr;
    if (IsDefaultEffect(m_defaultShader) && g_render.releaseDefaultEffect != nullptr)
        g_render.releaseDefaultEffect(m_defaultShader);
    // A reset that failed before left the application's objects released
    // already: it hears of the release once per re-create.
    if (!m_resourcesReleased)
    {
        m_resourcesReleased = true;
        SendToWindow(MSG_DEVICE_RELEASE);
    }

    PresentParameters parameters = m_presentParameters;
    if (DeviceFailed(m_device->Reset(parameters)))
    {
        Sleep(1000);
        parameters = m_presentParameters;
        if (DeviceFailed(m_device->Reset(parameters)))
            return 0;
    }
    m_presentParameters = parameters;
    m_backBuffer = m_device->GetRenderTarget();
    m_currentRenderTarget = m_backBuffer;
    m_depthStencil = m_device->GetDepthStencilSurface();
    m_currentDepthStencil = m_depthStencil;

    // The device is back at its defaults: what the cache holds is no
    // longer true of it.
    const uint32_t wasCached = m_cacheValid;
    InvalidateStateCache();
    SetDefaultStates();
    RestoreCachedStates(wasCached);
    ApplyCamera();

    if (IsDefaultEffect(m_defaultShader) && g_render.recreateDefaultEffect != nullptr &&
        !g_render.recreateDefaultEffect(m_defaultShader))
        return 0;
    m_resourcesReleased = false;
    SendToWindow(MSG_DEVICE_RECREATE);
    return 1;
}

int CGraphics::ChangeMode(int window, int width, int height)
{
    if (!m_device || m_system == nullptr)
        return 0;
    m_windowed = 1;
    if (window == 0)
    {
        for (uint32_t i = 0; i < m_displayModeCount; ++i)
        {
            if (m_displayModes[i].width == static_cast<uint32_t>(width) &&
                m_displayModes[i].height == static_cast<uint32_t>(height))
            {
                m_windowed = 0;
                break;
            }
        }
    }
    m_system->SetClientSize(width, height, WINPOS_SHOWWINDOW);
    SetupPresentParameters();
    if (!ResetDevice())
        return 0;
    m_windowed = m_presentParameters.windowed;
    m_system->SetClientSize(width, height, WINPOS_SHOWWINDOW);
    return 1;
}

int CGraphics::MakeContextCurrent()
{
    return m_device && m_device->MakeCurrent() ? 1 : 0;
}

void CGraphics::ReleaseContext()
{
    if (m_device)
        m_device->ReleaseCurrent();
}

// ---------------------------------------------------------------------------
// States

void CGraphics::InvalidateStateCache()
{
    m_cacheValid = 0;
}

void CGraphics::RestoreCachedStates(uint32_t wasCached)
{
    // Values the defaults do not set go back to what the engine last chose;
    // what it never chose stays at the device's default.
    const GraphicsStateCache saved = m_cache;
    if (wasCached & CACHED_BLEND)
        SetBlendMode(saved.blendMode);
    if (wasCached & CACHED_CULL)
        SetCullMode(saved.cullMode);
    if (wasCached & CACHED_LIGHTING)
        SetLighting(saved.lighting);
    if (wasCached & CACHED_FOG)
        SetFogEnable(saved.fogEnable);
    if (wasCached & CACHED_ZWRITE)
        SetZWriteEnable(saved.zWriteEnable);
}

void CGraphics::SetDefaultStates()
{
    if (!m_device)
        return;
    GraphicsDevice& device = *m_device;
    device.SetTextureStageState(0, TSS_COLOROP, TOP_MODULATE);
    device.SetTextureStageState(0, TSS_COLORARG1, TA_TEXTURE);
    device.SetTextureStageState(0, TSS_COLORARG2, TA_DIFFUSE);
    device.SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
    device.SetTextureStageState(0, TSS_ALPHAARG1, TA_TEXTURE);
    device.SetTextureStageState(0, TSS_ALPHAARG2, TA_DIFFUSE);
    device.SetSamplerState(0, SAMP_MINFILTER, TEXF_LINEAR);
    device.SetSamplerState(0, SAMP_MAGFILTER, TEXF_LINEAR);
    device.SetRenderState(RS_ALPHABLENDENABLE, 1);
    device.SetRenderState(RS_ALPHATESTENABLE, 1);
    device.SetRenderState(RS_ALPHAFUNC, CMP_GREATER);
    device.SetRenderState(RS_ALPHAREF, 5);
    SetAmbient(0xFF000000);
    SetZEnable(1);
    device.SetRenderState(RS_DITHERENABLE, 1);
    device.SetRenderState(RS_SPECULARENABLE, 1);
    device.SetRenderState(RS_SHADEMODE, SHADE_GOURAUD);
    device.SetRenderState(RS_NORMALIZENORMALS, 1);
    SetTexture(nullptr);
    SetStreamSource(nullptr, 0);
    SetIndices(nullptr);
    SetVertexDeclaration(nullptr);
    SetFVF(FVF_XYZRHW | FVF_DIFFUSE);
}

void CGraphics::SetBlendMode(uint32_t mode)
{
    if ((m_cacheValid & CACHED_BLEND) && m_cache.blendMode == mode)
        return;
    m_cache.blendMode = mode;
    m_cacheValid |= CACHED_BLEND;
    if (!m_device || mode > 6)
        return;
    static const uint32_t table[7][3] = {
        {BLEND_ONE, BLEND_ZERO, BLENDOP_ADD},          {BLEND_SRCALPHA, BLEND_INVSRCALPHA, BLENDOP_ADD},
        {BLEND_SRCALPHA, BLEND_ONE, BLENDOP_ADD},      {BLEND_SRCALPHA, BLEND_ONE, BLENDOP_REVSUBTRACT},
        {BLEND_ONE, BLEND_ONE, BLENDOP_ADD},           {BLEND_DESTCOLOR, BLEND_ONE, BLENDOP_ADD},
        {BLEND_INVDESTCOLOR, BLEND_ZERO, BLENDOP_ADD}};
    m_device->SetRenderState(RS_SRCBLEND, table[mode][0]);
    m_device->SetRenderState(RS_DESTBLEND, table[mode][1]);
    m_device->SetRenderState(RS_BLENDOP, table[mode][2]);
}

void CGraphics::Begin2D()
{
    SetAmbient(0xFFFFFFFF);
    SetZEnable(0);
    SetZWriteEnable(0);
    SetLighting(0);
    SetFogEnable(0);
    SetCullMode(CULL_NONE);
}

void CGraphics::Begin3D()
{
    SetZEnable(1);
    SetZWriteEnable(1);
    SetLighting(1);
    SetCullMode(CULL_CCW);
}

namespace
{
// One cached render state: the device hears of it only when it changes
// or the cache entry is no longer known to match.
void SetCachedState(GraphicsDevice* device, uint32_t& cached, uint32_t& valid, uint32_t bit, uint32_t state,
                    uint32_t value)
{
    if ((valid & bit) && cached == value)
        return;
    cached = value;
    valid |= bit;
    if (device != nullptr)
        device->SetRenderState(state, value);
}
}

void CGraphics::SetAmbient(uint32_t color)
{
    SetCachedState(m_device.get(), m_cache.ambient, m_cacheValid, CACHED_AMBIENT, RS_AMBIENT, color);
}

void CGraphics::SetZEnable(uint32_t enable)
{
    SetCachedState(m_device.get(), m_cache.zEnable, m_cacheValid, CACHED_ZENABLE, RS_ZENABLE, enable);
}

void CGraphics::SetZWriteEnable(uint32_t enable)
{
    SetCachedState(m_device.get(), m_cache.zWriteEnable, m_cacheValid, CACHED_ZWRITE, RS_ZWRITEENABLE, enable);
}

void CGraphics::SetCullMode(uint32_t mode)
{
    SetCachedState(m_device.get(), m_cache.cullMode, m_cacheValid, CACHED_CULL, RS_CULLMODE, mode);
}

void CGraphics::SetLighting(uint32_t enable)
{
    SetCachedState(m_device.get(), m_cache.lighting, m_cacheValid, CACHED_LIGHTING, RS_LIGHTING, enable);
}

void CGraphics::SetFogEnable(uint32_t enable)
{
    SetCachedState(m_device.get(), m_cache.fogEnable, m_cacheValid, CACHED_FOG, RS_FOGENABLE, enable);
}

void CGraphics::SetTexture(DeviceTexture* texture)
{
    if ((m_cacheValid & CACHED_TEXTURE) && m_cache.texture == texture)
        return;
    m_cache.texture = texture;
    m_cacheValid |= CACHED_TEXTURE;
    if (m_device)
        m_device->SetTexture(0, texture);
}

void CGraphics::SetStreamSource(DeviceBuffer* buffer, uint32_t stride)
{
    if (m_cache.streamBuffers == nullptr || m_cache.streamStrides == nullptr)
        return;
    if ((m_cacheValid & CACHED_STREAM) && m_cache.streamBuffers[0] == buffer && m_cache.streamStrides[0] == stride)
        return;
    m_cache.streamBuffers[0] = buffer;
    m_cache.streamStrides[0] = stride;
    m_cacheValid |= CACHED_STREAM;
    if (m_device)
        m_device->SetStreamSource(0, buffer, 0, stride);
}

void CGraphics::SetIndices(DeviceBuffer* buffer)
{
    if ((m_cacheValid & CACHED_INDICES) && m_cache.indices == buffer)
        return;
    m_cache.indices = buffer;
    m_cacheValid |= CACHED_INDICES;
    if (m_device)
        m_device->SetIndices(buffer);
}

void CGraphics::SetVertexDeclaration(DeviceVertexDeclaration* declaration)
{
    if ((m_cacheValid & CACHED_DECLARATION) && m_cache.declaration == declaration)
        return;
    m_cache.declaration = declaration;
    m_cache.declarationKey = 0;
    m_cache.fvf = 0;
    m_cacheValid |= CACHED_DECLARATION;
    m_cacheValid &= ~CACHED_FVF;
    if (m_device)
        m_device->SetVertexDeclaration(declaration);
}

void CGraphics::SetFVF(uint32_t fvf)
{
    if ((m_cacheValid & CACHED_FVF) && m_cache.fvf == fvf)
        return;
    m_cache.fvf = fvf;
    m_cache.declaration = nullptr;
    m_cache.declarationKey = 0;
    m_cacheValid |= CACHED_FVF;
    m_cacheValid &= ~CACHED_DECLARATION;
    if (m_device)
        m_device->SetFVF(fvf);
}

int CGraphics::SetRenderTarget(DeviceSurface* surface)
{
    if (surface == m_currentRenderTarget)
        return 1;
    if (!m_device || DeviceFailed(m_device->SetRenderTarget(0, surface)))
        return 0;
    m_currentRenderTarget = surface;
    // A new target resets the viewport: the camera sets its own again.
    ApplyCamera();
    return 1;
}

void CGraphics::ForgetResource(void* context, DeviceResource* resource)
{
    // The device has unbound the object already: the caches follow it, so
    // that an object made later at the same address is bound for real.
    CGraphics* graphics = static_cast<CGraphics*>(context);
    GraphicsDevice* device = graphics->m_device.get();
    if (device == nullptr || resource == nullptr)
        return;
    if (static_cast<DeviceResource*>(graphics->m_currentRenderTarget) == resource)
        graphics->m_currentRenderTarget = device->GetRenderTarget();
    if (static_cast<DeviceResource*>(graphics->m_currentDepthStencil) == resource)
        graphics->m_currentDepthStencil = device->GetDepthStencilSurface();
    if (static_cast<DeviceResource*>(graphics->m_backBuffer) == resource)
        graphics->m_backBuffer = nullptr;
    if (static_cast<DeviceResource*>(graphics->m_depthStencil) == resource)
        graphics->m_depthStencil = nullptr;
    GraphicsStateCache& cache = graphics->m_cache;
    if (static_cast<DeviceResource*>(cache.texture) == resource)
        cache.texture = nullptr;
    for (uint32_t i = 0; cache.streamBuffers != nullptr && i < graphics->m_caps.maxStreams; ++i)
    {
        if (static_cast<DeviceResource*>(cache.streamBuffers[i]) == resource)
        {
            cache.streamBuffers[i] = nullptr;
            cache.streamStrides[i] = 0;
        }
    }
    if (static_cast<DeviceResource*>(cache.indices) == resource)
        cache.indices = nullptr;
    if (static_cast<DeviceResource*>(cache.declaration) == resource)
    {
        cache.declaration = nullptr;
        cache.declarationKey = 0;
    }
}

int CGraphics::SetDepthStencilSurface(DeviceSurface* surface)
{
    if (surface == m_currentDepthStencil)
        return 1;
    if (!m_device || DeviceFailed(m_device->SetDepthStencilSurface(surface)))
        return 0;
    m_currentDepthStencil = surface;
    return 1;
}

int CGraphics::RestoreRenderTarget()
{
    return m_backBuffer != nullptr ? SetRenderTarget(m_backBuffer) : 0;
}

int CGraphics::RestoreDepthStencil()
{
    return SetDepthStencilSurface(m_depthStencil);
}

void CGraphics::SetWorldTransform(const CkvrMatrix* matrix)
{
    if (m_device && matrix != nullptr)
        m_device->SetTransform(TRANSFORM_WORLD, matrix->m);
}

DeviceResult CGraphics::DrawPrimitiveUP(uint32_t type, uint32_t count, const void* vertices, uint32_t stride)
{
    if (!m_device)
        return DEVICE_ERROR_INVALID_CALL;
    // The device unbinds stream 0 and the indices after drawing from memory.
    if (m_cache.streamBuffers != nullptr && m_cache.streamStrides != nullptr)
    {
        m_cache.streamBuffers[0] = nullptr;
        m_cache.streamStrides[0] = 0;
    }
    m_cache.indices = nullptr;
    return m_device->DrawPrimitiveUP(type, count, vertices, stride);
}

void CGraphics::GetViewportOrigin(float* x, float* y) const
{
    float originX = 0.0f;
    float originY = 0.0f;
    // The camera's own viewport: the device's may not have been set from
    // it since it changed, or may be clipped to a small render target.
    const uint32_t* viewport =
        m_camera != nullptr && g_render.cameraViewport != nullptr ? g_render.cameraViewport(m_camera) : nullptr;
    if (viewport != nullptr)
    {
        originX = static_cast<float>(viewport[0]);
        originY = static_cast<float>(viewport[1]);
    }
    if (x != nullptr)
        *x = originX;
    if (y != nullptr)
        *y = originY;
}
