#include "engine/platform/device/GraphicsDevice.h"
#include "engine/core/FailureLog.h"
#include "engine/platform/device/FixedLightingProgram.h"

#include "engine/platform/device/DeviceBuffer.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/DeviceVertexDeclaration.h"
#include "engine/platform/device/GlEnums.h"
#include "engine/platform/device/GlFormat.h"
#include "engine/platform/device/GraphicsContext.h"
#include "engine/platform/message/PlatformWindow.h"

#include <SDL.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

// The device's creation, capabilities, objects, frames and recorded
// states. Draws live in GraphicsDeviceDraw.cpp, bringing GL up to the
// recorded states in GraphicsDeviceApply.cpp, and the translation of the
// device's numbers into GL's in GlEnums.cpp.

namespace
{
constexpr unsigned UPLOAD_TEXTURE_UNIT = GraphicsDevice::MAX_TEXTURE_UNITS;

// Clockwise triangles on the screen are front faces. GL decides the
// winding in the window coordinates that glClipControl(GL_UPPER_LEFT)
// gives, which run top-down like the screen.
constexpr GLenum SCREEN_CLOCKWISE = GL_CW;

const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

uint32_t FloatBits(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

uint32_t SdlFormatToSurfaceFormat(uint32_t format)
{
    switch (format)
    {
    case SDL_PIXELFORMAT_ARGB8888: return FORMAT_A8R8G8B8;
    case SDL_PIXELFORMAT_RGB888: return FORMAT_X8R8G8B8;
    case SDL_PIXELFORMAT_RGB565: return FORMAT_R5G6B5;
    case SDL_PIXELFORMAT_RGB555: return FORMAT_X1R5G5B5;
    case SDL_PIXELFORMAT_ARGB1555: return FORMAT_A1R5G5B5;
    default: return FORMAT_UNKNOWN;
    }
}
}

// ---------------------------------------------------------------------------
// Creation

std::unique_ptr<GraphicsDevice> GraphicsDevice::Create(uint32_t deviceType, PresentParameters& parameters)
{
    if (deviceType != DEVICE_TYPE_ACCELERATED && deviceType != DEVICE_TYPE_REFERENCE)
        return nullptr;
    std::unique_ptr<GraphicsDevice> device(new GraphicsDevice());
    if (!device->Initialize(deviceType, parameters, deviceType == DEVICE_TYPE_ACCELERATED))
        return nullptr;
    return device;
}

bool GraphicsDevice::Initialize(uint32_t deviceType, PresentParameters& parameters, bool requireAccelerated)
{
    m_context = GraphicsContext::Create(parameters.deviceWindow, requireAccelerated);
    if (!m_context)
        return false;
    // Top-down targets and 0..1 depth are what every matrix and pixel
    // address of the engine assumes.
    if (m_context->GetVersionNumber() < 45 && !epoxy_has_gl_extension("GL_ARB_clip_control"))
        return false;
    m_deviceType = deviceType;
    m_context->SetSwapInterval(parameters.presentationInterval == PRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    ReadCaps();
    WriteInitialGlState();
    ApplyWindowMode(parameters);
    if (!CreateBackBuffers(parameters))
        return false;
    SetDefaultDeviceState();
    return true;
}

GraphicsDevice::~GraphicsDevice()
{
    if (!m_context)
        return;
    m_context->MakeCurrent();
    // Objects the caller still holds lose their GL objects now, while the
    // context exists.
    std::vector<DeviceResource*> resources;
    resources.swap(m_resources);
    for (DeviceResource* resource : resources)
    {
        if (resource != m_backBuffer.get() && resource != m_autoDepth.get())
            resource->DetachFromDevice();
    }
    m_backBuffer.reset();
    m_autoDepth.reset();
    glDeleteFramebuffers(1, &m_drawFramebuffer);
    glDeleteFramebuffers(1, &m_readFramebuffer);
    glDeleteFramebuffers(1, &m_blitFramebuffer);
    glDeleteBuffers(1, &m_streamVertexBuffer);
    glDeleteBuffers(1, &m_streamIndexBuffer);
    glDeleteSamplers(MAX_TEXTURE_UNITS, m_samplers);
}

void GraphicsDevice::ReadCaps()
{
    GLint maxTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    GLint maxLights = 0;
    glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
    GLint maxAttributes = 0;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS, &maxAttributes);
    m_caps.textureCaps = TEXCAPS_PERSPECTIVE | TEXCAPS_ALPHA | TEXCAPS_MIPMAP | TEXCAPS_CUBEMAP;
    m_caps.maxTextureWidth = static_cast<uint32_t>(maxTexture);
    m_caps.maxTextureHeight = static_cast<uint32_t>(maxTexture);
    m_caps.maxStreams = std::min<uint32_t>(MAX_STREAMS, static_cast<uint32_t>(maxAttributes));
    m_caps.maxVertexIndex = 0xFFFFFF;
    m_caps.maxPrimitiveCount = 0xFFFFFF;
    if (m_context->GetVersionNumber() >= 43)
    {
        GLint64 maxIndex = 0;
        glGetInteger64v(GL_MAX_ELEMENT_INDEX, &maxIndex);
        if (maxIndex > 0)
            m_caps.maxVertexIndex = static_cast<uint32_t>(std::min<GLint64>(maxIndex, 0xFFFFFFFF));
    }
    // Vertex blending runs in effect programs, not in the fixed pipeline.
    m_caps.maxVertexBlendMatrices = 0;
    // GLSL of GL 3.3 does everything shader model 3 does.
    m_caps.vertexShaderVersion = VertexShaderVersion(3, 0);
    m_caps.pixelShaderVersion = PixelShaderVersion(3, 0);
    m_caps.maxActiveLights = std::min<uint32_t>(MAX_LIGHTS, static_cast<uint32_t>(maxLights));
    // GL promises at least 4 bits; more than 8 buys nothing for the step.
    GLint subpixelBits = 0;
    glGetIntegerv(GL_SUBPIXEL_BITS, &subpixelBits);
    m_subpixelStep = 1.0f / static_cast<float>(1u << std::clamp<GLint>(subpixelBits, 4, 8));
}

const std::string& GraphicsDevice::GetRendererName() const
{
    return m_context->GetRendererName();
}

const std::string& GraphicsDevice::GetVersionText() const
{
    return m_context->GetVersionText();
}

uint32_t GraphicsDevice::GetAvailableTextureMemory() const
{
    GLint kilobytes[4] = {};
    if (epoxy_has_gl_extension("GL_NVX_gpu_memory_info"))
        glGetIntegerv(GL_GPU_MEMORY_INFO_CURRENT_AVAILABLE_VIDMEM_NVX, kilobytes);
    else if (epoxy_has_gl_extension("GL_ATI_meminfo"))
        glGetIntegerv(GL_TEXTURE_FREE_MEMORY_ATI, kilobytes);
    uint64_t bytes = static_cast<uint64_t>(std::max(kilobytes[0], 0)) * 1024u;
    if (bytes == 0)
    {
        // A software renderer's textures live in system memory.
        struct sysinfo info = {};
        if (sysinfo(&info) == 0)
            bytes = static_cast<uint64_t>(info.freeram) * info.mem_unit;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(bytes, 0xFFFFFFFFu));
}

bool GraphicsDevice::IsTextureFormatSupported(uint32_t format) const
{
    GlFormat glFormat;
    if (!LookupGlFormat(format, &glFormat) || glFormat.depth)
        return false;
    if (glFormat.compressed && !epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc"))
        return false;
    if (m_context->GetVersionNumber() >= 43 || epoxy_has_gl_extension("GL_ARB_internalformat_query2"))
    {
        GLint supported = GL_FALSE;
        glGetInternalformativ(GL_TEXTURE_2D, glFormat.internalFormat, GL_INTERNALFORMAT_SUPPORTED, 1, &supported);
        return supported == GL_TRUE;
    }
    return true;
}

bool GraphicsDevice::IsRenderTargetFormatSupported(uint32_t format) const
{
    GlFormat glFormat;
    if (!LookupGlFormat(format, &glFormat) || glFormat.compressed)
        return false;
    if (m_context->GetVersionNumber() >= 43 || epoxy_has_gl_extension("GL_ARB_internalformat_query2"))
    {
        GLint supported = GL_FALSE;
        glGetInternalformativ(GL_RENDERBUFFER, glFormat.internalFormat, GL_FRAMEBUFFER_RENDERABLE, 1, &supported);
        return supported == GL_FULL_SUPPORT;
    }
    return !glFormat.depth || format == FORMAT_D24S8 || format == FORMAT_D16;
}

bool GraphicsDevice::GetDesktopMode(DisplayMode* mode)
{
    if (mode == nullptr || SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return false;
    SDL_DisplayMode desktop = {};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0)
        return false;
    mode->width = static_cast<uint32_t>(desktop.w);
    mode->height = static_cast<uint32_t>(desktop.h);
    mode->refreshRate = static_cast<uint32_t>(desktop.refresh_rate);
    mode->format = SdlFormatToSurfaceFormat(desktop.format);
    if (mode->format == FORMAT_UNKNOWN)
        mode->format = FORMAT_X8R8G8B8;
    return true;
}

std::vector<DisplayMode> GraphicsDevice::GetDisplayModes(uint32_t format)
{
    std::vector<DisplayMode> modes;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i)
    {
        SDL_DisplayMode sdlMode = {};
        if (SDL_GetDisplayMode(0, i, &sdlMode) != 0 || SdlFormatToSurfaceFormat(sdlMode.format) != format)
            continue;
        DisplayMode mode;
        mode.width = static_cast<uint32_t>(sdlMode.w);
        mode.height = static_cast<uint32_t>(sdlMode.h);
        mode.refreshRate = static_cast<uint32_t>(sdlMode.refresh_rate);
        mode.format = format;
        modes.push_back(mode);
    }
    return modes;
}

bool GraphicsDevice::IsDisplayFormatAvailable(uint32_t format)
{
    return !GetDisplayModes(format).empty();
}

void GraphicsDevice::WriteInitialGlState()
{
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glFrontFace(SCREEN_CLOCKWISE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glNormal3f(0.0f, 0.0f, 0.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glEnable(GL_DITHER);
    m_gl.dither = true;
    m_gl.currentColorWhite = true;
    m_glCalls += 9;

    glGenFramebuffers(1, &m_drawFramebuffer);
    glGenFramebuffers(1, &m_readFramebuffer);
    glGenFramebuffers(1, &m_blitFramebuffer);
    glGenSamplers(MAX_TEXTURE_UNITS, m_samplers);
    for (unsigned unit = 0; unit < MAX_TEXTURE_UNITS; ++unit)
        glBindSampler(unit, m_samplers[unit]);
    glGenBuffers(1, &m_streamVertexBuffer);
    glGenBuffers(1, &m_streamIndexBuffer);
    m_glCalls += 6 + MAX_TEXTURE_UNITS;
}

void GraphicsDevice::ApplyWindowMode(PresentParameters& parameters)
{
    SDL_Window* window = static_cast<SDL_Window*>(m_context->GetSdlWindow());
    if (window == nullptr)
        return;
    const bool fullScreen = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
    if (parameters.windowed)
    {
        if (fullScreen)
            SDL_SetWindowFullscreen(window, 0);
        return;
    }
    SDL_DisplayMode mode = {};
    SDL_GetWindowDisplayMode(window, &mode);
    mode.w = static_cast<int>(parameters.backBufferWidth);
    mode.h = static_cast<int>(parameters.backBufferHeight);
    if (parameters.fullScreenRefreshRate != 0)
        mode.refresh_rate = static_cast<int>(parameters.fullScreenRefreshRate);
    if (SDL_SetWindowDisplayMode(window, &mode) != 0 || SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0)
    {
        LogFailure("graphics: full screen", SDL_GetError());
        SDL_SetWindowFullscreen(window, 0);
        parameters.windowed = 1;
    }
}

bool GraphicsDevice::CreateBackBuffers(PresentParameters& parameters)
{
    uint32_t width = parameters.backBufferWidth;
    uint32_t height = parameters.backBufferHeight;
    if (width == 0 || height == 0)
    {
        int drawableWidth = 0;
        int drawableHeight = 0;
        m_context->GetDrawableSize(&drawableWidth, &drawableHeight);
        if ((drawableWidth <= 0 || drawableHeight <= 0) && parameters.deviceWindow != nullptr)
        {
            const WindowBounds bounds = parameters.deviceWindow->GetBounds();
            drawableWidth = bounds.width;
            drawableHeight = bounds.height;
        }
        if (width == 0)
            width = drawableWidth > 0 ? static_cast<uint32_t>(drawableWidth) : 640u;
        if (height == 0)
            height = drawableHeight > 0 ? static_cast<uint32_t>(drawableHeight) : 480u;
    }
    if (parameters.backBufferFormat == FORMAT_UNKNOWN)
        parameters.backBufferFormat = FORMAT_X8R8G8B8;
    parameters.backBufferWidth = width;
    parameters.backBufferHeight = height;

    // The back buffer keeps an alpha channel whatever its format says:
    // blend modes read destination alpha only where the format has it.
    auto backBuffer = std::make_unique<DeviceSurface>(this, width, height, FORMAT_A8R8G8B8);
    if (!backBuffer->IsValid())
        return false;
    std::unique_ptr<DeviceSurface> depth;
    if (parameters.enableAutoDepthStencil)
    {
        const uint32_t format =
            parameters.autoDepthStencilFormat != FORMAT_UNKNOWN ? parameters.autoDepthStencilFormat : FORMAT_D24S8;
        depth = std::make_unique<DeviceSurface>(this, width, height, format);
        if (!depth->IsValid() || depth->GetKind() != DeviceSurface::KIND_DEPTH_STENCIL)
            return false;
    }
    m_renderTarget = nullptr;
    m_depthStencil = nullptr;
    m_backBuffer = std::move(backBuffer);
    m_autoDepth = std::move(depth);
    m_present = parameters;
    m_framebufferDirty = true;
    return true;
}

void GraphicsDevice::SetDefaultDeviceState()
{
    std::fill(std::begin(m_renderStates), std::end(m_renderStates), 0u);
    m_renderStates[RS_ZENABLE] = m_autoDepth ? 1u : 0u;
    m_renderStates[RS_FILLMODE] = FILL_SOLID;
    m_renderStates[RS_SHADEMODE] = SHADE_GOURAUD;
    m_renderStates[RS_ZWRITEENABLE] = 1;
    m_renderStates[RS_SRCBLEND] = BLEND_ONE;
    m_renderStates[RS_DESTBLEND] = BLEND_ZERO;
    m_renderStates[RS_CULLMODE] = CULL_CCW;
    m_renderStates[RS_ZFUNC] = CMP_LESSEQUAL;
    m_renderStates[RS_ALPHAFUNC] = CMP_ALWAYS;
    m_renderStates[RS_FOGSTART] = FloatBits(0.0f);
    m_renderStates[RS_FOGEND] = FloatBits(1.0f);
    m_renderStates[RS_FOGDENSITY] = FloatBits(1.0f);
    m_renderStates[RS_STENCILFAIL] = STENCILOP_KEEP;
    m_renderStates[RS_STENCILZFAIL] = STENCILOP_KEEP;
    m_renderStates[RS_STENCILPASS] = STENCILOP_KEEP;
    m_renderStates[RS_STENCILFUNC] = CMP_ALWAYS;
    m_renderStates[RS_STENCILMASK] = 0xFFFFFFFF;
    m_renderStates[RS_STENCILWRITEMASK] = 0xFFFFFFFF;
    m_renderStates[RS_TEXTUREFACTOR] = 0xFFFFFFFF;
    m_renderStates[RS_LIGHTING] = 1;
    m_renderStates[RS_COLORVERTEX] = 1;
    m_renderStates[RS_LOCALVIEWER] = 1;
    m_renderStates[RS_DIFFUSEMATERIALSOURCE] = MCS_COLOR1;
    m_renderStates[RS_SPECULARMATERIALSOURCE] = MCS_COLOR2;
    m_renderStates[RS_COLORWRITEENABLE] = 0xF;
    m_renderStates[RS_BLENDOP] = BLENDOP_ADD;

    for (uint32_t stage = 0; stage < MAX_TEXTURE_UNITS; ++stage)
    {
        uint32_t* states = m_stageStates[stage];
        std::fill(states, states + TSS_COUNT, 0u);
        states[TSS_COLOROP] = stage == 0 ? TOP_MODULATE : TOP_DISABLE;
        states[TSS_COLORARG1] = TA_TEXTURE;
        states[TSS_COLORARG2] = TA_CURRENT;
        states[TSS_ALPHAOP] = stage == 0 ? TOP_SELECTARG1 : TOP_DISABLE;
        states[TSS_ALPHAARG1] = TA_TEXTURE;
        states[TSS_ALPHAARG2] = TA_CURRENT;
        states[TSS_TEXCOORDINDEX] = stage;
        uint32_t* samplers = m_samplerStates[stage];
        std::fill(samplers, samplers + SAMP_COUNT, 0u);
        samplers[SAMP_ADDRESSU] = TADDRESS_WRAP;
        samplers[SAMP_ADDRESSV] = TADDRESS_WRAP;
        samplers[SAMP_ADDRESSW] = TADDRESS_WRAP;
        samplers[SAMP_MAGFILTER] = TEXF_POINT;
        samplers[SAMP_MINFILTER] = TEXF_POINT;
        samplers[SAMP_MIPFILTER] = TEXF_NONE;
        m_samplerDirty[stage] = true;
        m_textures[stage] = nullptr;
    }
    std::memcpy(m_world, IDENTITY, sizeof m_world);
    std::memcpy(m_view, IDENTITY, sizeof m_view);
    std::memcpy(m_projection, IDENTITY, sizeof m_projection);
    std::memcpy(m_textureTransform, IDENTITY, sizeof m_textureTransform);
    ++m_worldVersion;
    ++m_viewVersion;
    ++m_projectionVersion;
    for (uint32_t i = 0; i < MAX_LIGHTS; ++i)
    {
        m_lights[i] = DeviceLight();
        m_lights[i].type = LIGHT_DIRECTIONAL;
        m_lights[i].diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
        m_lights[i].direction[2] = 1.0f;
        m_lightEnabled[i] = false;
    }
    ++m_lightsVersion;
    m_material = DeviceMaterial();
    m_materialDirty = true;
    m_fvf = 0;
    m_fvfLayout = VertexLayout();
    m_declaration = nullptr;
    for (StreamSource& stream : m_streams)
        stream = StreamSource();
    m_indices = nullptr;
    m_program = 0;

    m_renderTarget = m_backBuffer.get();
    m_depthStencil = m_autoDepth.get();
    m_framebufferDirty = true;
    m_viewport = DeviceViewport();
    m_viewport.width = m_backBuffer->GetWidth();
    m_viewport.height = m_backBuffer->GetHeight();
    m_statesDirty = true;
}

void GraphicsDevice::RegisterResource(DeviceResource* resource)
{
    m_resources.push_back(resource);
}

void GraphicsDevice::UnregisterResource(DeviceResource* resource)
{
    auto found = std::find(m_resources.begin(), m_resources.end(), resource);
    if (found != m_resources.end())
        m_resources.erase(found);
    Unbind(resource);
    if (m_releaseObserver != nullptr)
        m_releaseObserver(m_releaseContext, resource);
}

void GraphicsDevice::SetReleaseObserver(ReleaseObserver observer, void* context)
{
    m_releaseObserver = observer;
    m_releaseContext = context;
}

void GraphicsDevice::Unbind(DeviceResource* resource)
{
    for (DeviceTexture*& texture : m_textures)
    {
        if (texture != nullptr && static_cast<DeviceResource*>(texture) == resource)
        {
            texture = nullptr;
            m_statesDirty = true;
        }
    }
    for (StreamSource& stream : m_streams)
    {
        if (stream.buffer != nullptr && static_cast<DeviceResource*>(stream.buffer) == resource)
            stream = StreamSource();
    }
    if (m_indices != nullptr && static_cast<DeviceResource*>(m_indices) == resource)
        m_indices = nullptr;
    if (m_declaration != nullptr && static_cast<DeviceResource*>(m_declaration) == resource)
        m_declaration = nullptr;
    if (m_renderTarget != nullptr && static_cast<DeviceResource*>(m_renderTarget) == resource)
    {
        m_renderTarget = m_backBuffer.get();
        m_framebufferDirty = true;
    }
    if (m_depthStencil != nullptr && static_cast<DeviceResource*>(m_depthStencil) == resource)
    {
        m_depthStencil = nullptr;
        m_framebufferDirty = true;
    }
}

void GraphicsDevice::ForgetGlProgram(unsigned name)
{
    if (name == 0)
        return;
    if (m_program == name)
        m_program = 0;
    if (m_gl.program == name)
    {
        KVR_GL(glUseProgram(0));
        m_gl.program = 0;
    }
}

void GraphicsDevice::ForgetGlTexture(unsigned name)
{
    for (unsigned& bound : m_gl.boundTexture)
    {
        if (bound == name)
            bound = 0;
    }
    if (m_gl.boundTextureUpload == name)
        m_gl.boundTextureUpload = 0;
    // A deleted texture may still be attached to the draw framebuffer.
    m_framebufferDirty = true;
}

void GraphicsDevice::ForgetGlBuffer(unsigned name)
{
    if (m_gl.arrayBuffer == name)
        m_gl.arrayBuffer = 0;
    if (m_gl.elementBuffer == name)
        m_gl.elementBuffer = 0;
    for (ArrayBinding& binding : m_gl.arrays)
    {
        if (binding.buffer == name)
            binding = ArrayBinding();
    }
}

void GraphicsDevice::BindTextureForUpload(unsigned name)
{
    if (m_gl.boundTextureUpload == name && m_gl.activeTexture == UPLOAD_TEXTURE_UNIT)
        return;
    SetActiveTexture(UPLOAD_TEXTURE_UNIT);
    KVR_GL(glBindTexture(GL_TEXTURE_2D, name));
    m_gl.boundTextureUpload = name;
}

bool GraphicsDevice::MakeCurrent()
{
    return m_context && m_context->MakeCurrent();
}

bool GraphicsDevice::ReleaseCurrent()
{
    return m_context && m_context->ReleaseCurrent();
}

// ---------------------------------------------------------------------------
// The lost-device protocol

DeviceResult GraphicsDevice::TestCooperativeLevel()
{
    if (!m_lost)
        return DEVICE_OK;
    if (m_lostChecks > 0)
    {
        --m_lostChecks;
        return DEVICE_ERROR_LOST;
    }
    return DEVICE_ERROR_NOT_RESET;
}

DeviceResult GraphicsDevice::Reset(PresentParameters& parameters)
{
    if (m_lost && m_lostChecks > 0)
        return DEVICE_ERROR_LOST;
    if (m_resetFailures > 0)
    {
        --m_resetFailures;
        return DEVICE_ERROR;
    }
    m_context->SetSwapInterval(parameters.presentationInterval == PRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    ApplyWindowMode(parameters);
    if (!CreateBackBuffers(parameters))
        return DEVICE_ERROR_OUT_OF_MEMORY;
    SetDefaultDeviceState();
    m_lost = false;
    m_inScene = false;
    return DEVICE_OK;
}

void GraphicsDevice::SimulateDeviceLoss(uint32_t lostChecks)
{
    m_lost = true;
    m_lostChecks = lostChecks;
}

void GraphicsDevice::SimulateResetFailures(uint32_t count)
{
    m_resetFailures = count;
}

// ---------------------------------------------------------------------------
// Frames

DeviceResult GraphicsDevice::BeginScene()
{
    if (m_lost)
        return DEVICE_ERROR_LOST;
    if (m_inScene)
        return DEVICE_ERROR_INVALID_CALL;
    m_inScene = true;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::EndScene()
{
    if (!m_inScene)
        return DEVICE_ERROR_INVALID_CALL;
    m_inScene = false;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::Present(const DeviceRect* source, const DeviceRect* destination, PlatformWindow* window)
{
    (void)window; // the device's context draws only into its own window
    if (m_lost)
        return DEVICE_ERROR_LOST;
    if (!m_context->HasWindow())
    {
        KVR_GL(glFlush());
        return DEVICE_OK;
    }
    int windowWidth = 0;
    int windowHeight = 0;
    m_context->GetDrawableSize(&windowWidth, &windowHeight);
    DeviceRect from = {0, 0, static_cast<int32_t>(m_backBuffer->GetWidth()),
                       static_cast<int32_t>(m_backBuffer->GetHeight())};
    DeviceRect to = {0, 0, windowWidth, windowHeight};
    if (source != nullptr)
        from = *source;
    if (destination != nullptr)
        to = *destination;

    BindReadFramebuffer(m_readFramebuffer);
    m_backBuffer->AttachTo(GL_READ_FRAMEBUFFER);
    ++m_glCalls;
    BindDrawFramebuffer(0);
    const bool scaled = (from.right - from.left) != (to.right - to.left) || (from.bottom - from.top) != (to.bottom - to.top);
    // The window's framebuffer is stored bottom-up.
    KVR_GL(glBlitFramebuffer(from.left, from.top, from.right, from.bottom, to.left, windowHeight - to.top, to.right,
                             windowHeight - to.bottom, GL_COLOR_BUFFER_BIT, scaled ? GL_LINEAR : GL_NEAREST));
    m_context->SwapBuffers();
    ++m_glCalls;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::Clear(uint32_t flags, uint32_t color, float z, uint32_t stencil)
{
    ApplyFramebuffer();
    GLbitfield bits = 0;
    if (flags & CLEAR_TARGET)
    {
        if (m_gl.colorMask != 0xF)
        {
            KVR_GL(glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE));
            m_gl.colorMask = 0xF;
        }
        if (!m_gl.clearColorValid || m_gl.clearColor != color)
        {
            float rgba[4];
            ArgbToFloats(color, rgba);
            KVR_GL(glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]));
            m_gl.clearColor = color;
            m_gl.clearColorValid = true;
        }
        bits |= GL_COLOR_BUFFER_BIT;
    }
    if ((flags & CLEAR_ZBUFFER) && m_depthStencil != nullptr)
    {
        if (!m_gl.depthMask)
        {
            KVR_GL(glDepthMask(GL_TRUE));
            m_gl.depthMask = true;
        }
        KVR_GL(glClearDepth(z));
        bits |= GL_DEPTH_BUFFER_BIT;
    }
    if ((flags & CLEAR_STENCIL) && m_depthStencil != nullptr && m_depthStencil->HasStencil())
    {
        if (m_gl.stencilWriteMask != 0xFF)
        {
            KVR_GL(glStencilMask(0xFF));
            m_gl.stencilWriteMask = 0xFF;
        }
        KVR_GL(glClearStencil(static_cast<GLint>(stencil)));
        bits |= GL_STENCIL_BUFFER_BIT;
    }
    if (bits == 0)
        return DEVICE_OK;
    if ((bits & GL_COLOR_BUFFER_BIT) && m_renderTarget != nullptr)
        m_renderTarget->Touch();
    if ((bits & (GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT)) && m_depthStencil != nullptr)
        m_depthStencil->Touch();
    // A clear covers the viewport only.
    SetCapability(GL_SCISSOR_TEST, true, m_gl.scissor);
    KVR_GL(glScissor(static_cast<GLint>(m_viewport.x), static_cast<GLint>(m_viewport.y),
                     static_cast<GLsizei>(m_viewport.width), static_cast<GLsizei>(m_viewport.height)));
    KVR_GL(glClear(bits));
    SetCapability(GL_SCISSOR_TEST, false, m_gl.scissor);
    // The masks may differ from the recorded states now.
    m_statesDirty = true;
    return DEVICE_OK;
}

// ---------------------------------------------------------------------------
// Surfaces and objects

DeviceResult GraphicsDevice::SetRenderTarget(uint32_t index, DeviceSurface* surface)
{
    if (index != 0)
        return DEVICE_ERROR_INVALID_CALL;
    if (surface == nullptr || !surface->IsValid() || surface->GetKind() == DeviceSurface::KIND_DEPTH_STENCIL)
        return DEVICE_ERROR_INVALID_CALL;
    m_renderTarget = surface;
    m_framebufferDirty = true;
    // A new target takes a viewport over all of it.
    m_viewport = DeviceViewport();
    m_viewport.width = surface->GetWidth();
    m_viewport.height = surface->GetHeight();
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::SetDepthStencilSurface(DeviceSurface* surface)
{
    if (surface != nullptr && (!surface->IsValid() || surface->GetKind() != DeviceSurface::KIND_DEPTH_STENCIL))
        return DEVICE_ERROR_INVALID_CALL;
    m_depthStencil = surface;
    m_framebufferDirty = true;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::StretchRect(DeviceSurface* source, const DeviceRect* sourceRect,
                                         DeviceSurface* destination, const DeviceRect* destinationRect,
                                         uint32_t filter)
{
    if (source == nullptr || destination == nullptr || !source->IsValid() || !destination->IsValid() ||
        source->GetKind() == DeviceSurface::KIND_DEPTH_STENCIL ||
        destination->GetKind() == DeviceSurface::KIND_DEPTH_STENCIL)
        return DEVICE_ERROR_INVALID_CALL;
    DeviceRect from = {0, 0, static_cast<int32_t>(source->GetWidth()), static_cast<int32_t>(source->GetHeight())};
    DeviceRect to = {0, 0, static_cast<int32_t>(destination->GetWidth()),
                     static_cast<int32_t>(destination->GetHeight())};
    if (sourceRect != nullptr)
        from = *sourceRect;
    if (destinationRect != nullptr)
        to = *destinationRect;
    BindReadFramebuffer(m_readFramebuffer);
    source->AttachTo(GL_READ_FRAMEBUFFER);
    BindDrawFramebuffer(m_blitFramebuffer);
    destination->AttachTo(GL_DRAW_FRAMEBUFFER);
    destination->Touch();
    m_glCalls += 2;
    // Both are stored top-down: no flip.
    KVR_GL(glBlitFramebuffer(from.left, from.top, from.right, from.bottom, to.left, to.top, to.right, to.bottom,
                             GL_COLOR_BUFFER_BIT, filter == TEXF_POINT ? GL_NEAREST : GL_LINEAR));
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::ReadPixels(DeviceSurface* surface, int32_t x, int32_t y, int32_t width, int32_t height,
                                        uint32_t* argb)
{
    if (surface == nullptr)
        surface = m_renderTarget;
    if (argb == nullptr || surface == nullptr || !surface->IsValid() ||
        surface->GetKind() == DeviceSurface::KIND_DEPTH_STENCIL || width <= 0 || height <= 0 || x < 0 || y < 0 ||
        static_cast<uint32_t>(x + width) > surface->GetWidth() || static_cast<uint32_t>(y + height) > surface->GetHeight())
        return DEVICE_ERROR_INVALID_CALL;
    BindReadFramebuffer(m_readFramebuffer);
    surface->AttachTo(GL_READ_FRAMEBUFFER);
    ++m_glCalls;
    // Rows are stored top-down, so GL's first row is the top one.
    KVR_GL(glReadPixels(x, y, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb));
    return DEVICE_OK;
}

std::unique_ptr<DeviceTexture> GraphicsDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels,
                                                             uint32_t usage, uint32_t format)
{
    auto texture = std::make_unique<DeviceTexture>(this, width, height, levels, usage, format);
    if (!texture->IsValid())
        return nullptr;
    return texture;
}

std::unique_ptr<DeviceSurface> GraphicsDevice::CreateDepthStencilSurface(uint32_t width, uint32_t height,
                                                                         uint32_t format)
{
    auto surface = std::make_unique<DeviceSurface>(this, width, height, format);
    if (!surface->IsValid() || surface->GetKind() != DeviceSurface::KIND_DEPTH_STENCIL)
        return nullptr;
    return surface;
}

std::unique_ptr<DeviceSurface> GraphicsDevice::CreateRenderTargetSurface(uint32_t width, uint32_t height,
                                                                         uint32_t format)
{
    auto surface = std::make_unique<DeviceSurface>(this, width, height, format);
    if (!surface->IsValid() || surface->GetKind() != DeviceSurface::KIND_COLOR_BUFFER)
        return nullptr;
    return surface;
}

std::unique_ptr<DeviceBuffer> GraphicsDevice::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf)
{
    auto buffer = std::make_unique<DeviceBuffer>(this, DeviceBuffer::KIND_VERTEX, length, usage, fvf);
    if (!buffer->IsValid())
        return nullptr;
    return buffer;
}

std::unique_ptr<DeviceBuffer> GraphicsDevice::CreateIndexBuffer(uint32_t length, uint32_t usage, uint32_t format)
{
    if (format != FORMAT_INDEX16 && format != FORMAT_INDEX32)
        return nullptr;
    auto buffer = std::make_unique<DeviceBuffer>(this, DeviceBuffer::KIND_INDEX, length, usage, format);
    if (!buffer->IsValid())
        return nullptr;
    return buffer;
}

std::unique_ptr<DeviceVertexDeclaration> GraphicsDevice::CreateVertexDeclaration(const VertexElement* elements)
{
    if (elements == nullptr)
        return nullptr;
    return std::make_unique<DeviceVertexDeclaration>(this, elements);
}

// ---------------------------------------------------------------------------
// Recorded states

DeviceResult GraphicsDevice::SetRenderState(uint32_t state, uint32_t value)
{
    ++m_stateCalls;
    if (state >= RS_COUNT)
        return DEVICE_ERROR_INVALID_CALL;
    if (m_renderStates[state] != value)
    {
        m_renderStates[state] = value;
        m_statesDirty = true;
    }
    return DEVICE_OK;
}

uint32_t GraphicsDevice::GetRenderState(uint32_t state) const
{
    return state < RS_COUNT ? m_renderStates[state] : 0;
}

DeviceResult GraphicsDevice::SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value)
{
    ++m_stateCalls;
    if (stage >= MAX_TEXTURE_UNITS || type >= TSS_COUNT)
        return DEVICE_ERROR_INVALID_CALL;
    if (m_stageStates[stage][type] != value)
    {
        m_stageStates[stage][type] = value;
        m_statesDirty = true;
    }
    return DEVICE_OK;
}

uint32_t GraphicsDevice::GetTextureStageState(uint32_t stage, uint32_t type) const
{
    return stage < MAX_TEXTURE_UNITS && type < TSS_COUNT ? m_stageStates[stage][type] : 0;
}

DeviceResult GraphicsDevice::SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value)
{
    ++m_stateCalls;
    if (sampler >= MAX_TEXTURE_UNITS || type >= SAMP_COUNT)
        return DEVICE_ERROR_INVALID_CALL;
    if (m_samplerStates[sampler][type] != value)
    {
        m_samplerStates[sampler][type] = value;
        m_samplerDirty[sampler] = true;
        m_statesDirty = true;
    }
    return DEVICE_OK;
}

uint32_t GraphicsDevice::GetSamplerState(uint32_t sampler, uint32_t type) const
{
    return sampler < MAX_TEXTURE_UNITS && type < SAMP_COUNT ? m_samplerStates[sampler][type] : 0;
}

DeviceResult GraphicsDevice::SetTexture(uint32_t stage, DeviceTexture* texture)
{
    ++m_stateCalls;
    if (stage >= MAX_TEXTURE_UNITS)
        return DEVICE_ERROR_INVALID_CALL;
    if (m_textures[stage] != texture)
    {
        m_textures[stage] = texture;
        m_statesDirty = true;
    }
    return DEVICE_OK;
}

DeviceTexture* GraphicsDevice::GetTexture(uint32_t stage) const
{
    return stage < MAX_TEXTURE_UNITS ? m_textures[stage] : nullptr;
}

DeviceResult GraphicsDevice::SetTransform(uint32_t transform, const float* matrix)
{
    if (matrix == nullptr)
        return DEVICE_ERROR_INVALID_CALL;
    float* target = nullptr;
    uint64_t* version = nullptr;
    switch (transform)
    {
    case TRANSFORM_WORLD: target = m_world; version = &m_worldVersion; break;
    case TRANSFORM_VIEW: target = m_view; version = &m_viewVersion; break;
    case TRANSFORM_PROJECTION: target = m_projection; version = &m_projectionVersion; break;
    case TRANSFORM_TEXTURE0: std::memcpy(m_textureTransform, matrix, sizeof m_textureTransform); return DEVICE_OK;
    default: return DEVICE_ERROR_INVALID_CALL;
    }
    if (std::memcmp(target, matrix, 16 * sizeof(float)) != 0)
    {
        std::memcpy(target, matrix, 16 * sizeof(float));
        ++*version;
    }
    return DEVICE_OK;
}

const float* GraphicsDevice::GetTransform(uint32_t transform) const
{
    switch (transform)
    {
    case TRANSFORM_WORLD: return m_world;
    case TRANSFORM_VIEW: return m_view;
    case TRANSFORM_PROJECTION: return m_projection;
    case TRANSFORM_TEXTURE0: return m_textureTransform;
    default: return nullptr;
    }
}

DeviceResult GraphicsDevice::SetViewport(const DeviceViewport& viewport)
{
    if (viewport.width == 0 || viewport.height == 0 || viewport.x + viewport.width > TargetWidth() ||
        viewport.y + viewport.height > TargetHeight() || viewport.x > TargetWidth() || viewport.y > TargetHeight())
        return DEVICE_ERROR_INVALID_CALL;
    m_viewport = viewport;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::SetLight(uint32_t index, const DeviceLight& light)
{
    if (index >= m_caps.maxActiveLights)
        return DEVICE_ERROR_INVALID_CALL;
    if (light.type < LIGHT_POINT || light.type > LIGHT_DIRECTIONAL)
        return DEVICE_ERROR_INVALID_CALL;
    m_lights[index] = light;
    ++m_lightsVersion;
    m_statesDirty = true;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::GetLight(uint32_t index, DeviceLight* light) const
{
    if (index >= MAX_LIGHTS || light == nullptr)
        return DEVICE_ERROR_INVALID_CALL;
    *light = m_lights[index];
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::LightEnable(uint32_t index, bool enable)
{
    if (index >= m_caps.maxActiveLights)
        return DEVICE_ERROR_INVALID_CALL;
    if (m_lightEnabled[index] != enable)
    {
        m_lightEnabled[index] = enable;
        ++m_lightsVersion;
        m_statesDirty = true;
    }
    return DEVICE_OK;
}

bool GraphicsDevice::IsLightEnabled(uint32_t index) const
{
    return index < MAX_LIGHTS && m_lightEnabled[index];
}

DeviceResult GraphicsDevice::SetMaterial(const DeviceMaterial& material)
{
    m_material = material;
    m_materialDirty = true;
    m_statesDirty = true;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::SetFVF(uint32_t fvf)
{
    ++m_stateCalls;
    if (m_fvf == fvf && m_declaration == nullptr)
        return DEVICE_OK;
    m_fvf = fvf;
    m_fvfLayout = VertexLayout::FromFvf(fvf);
    m_declaration = nullptr;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::SetVertexDeclaration(DeviceVertexDeclaration* declaration)
{
    ++m_stateCalls;
    m_declaration = declaration;
    if (declaration != nullptr)
        m_fvf = 0;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::SetStreamSource(uint32_t stream, DeviceBuffer* buffer, uint32_t offset, uint32_t stride)
{
    ++m_stateCalls;
    if (stream >= MAX_STREAMS)
        return DEVICE_ERROR_INVALID_CALL;
    if (buffer != nullptr && buffer->GetKind() != DeviceBuffer::KIND_VERTEX)
        return DEVICE_ERROR_INVALID_CALL;
    m_streams[stream].buffer = buffer;
    m_streams[stream].offset = offset;
    m_streams[stream].stride = stride;
    return DEVICE_OK;
}

DeviceBuffer* GraphicsDevice::GetStreamSource(uint32_t stream) const
{
    return stream < MAX_STREAMS ? m_streams[stream].buffer : nullptr;
}

DeviceResult GraphicsDevice::SetIndices(DeviceBuffer* buffer)
{
    ++m_stateCalls;
    if (buffer != nullptr && buffer->GetKind() != DeviceBuffer::KIND_INDEX)
        return DEVICE_ERROR_INVALID_CALL;
    m_indices = buffer;
    return DEVICE_OK;
}

void GraphicsDevice::SetProgram(unsigned program)
{
    m_program = program;
}
