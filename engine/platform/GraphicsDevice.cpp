#include "engine/platform/GraphicsDevice.h"

#include "engine/platform/DeviceBuffer.h"
#include "engine/platform/DeviceSurface.h"
#include "engine/platform/DeviceTexture.h"
#include "engine/platform/DeviceVertexDeclaration.h"
#include "engine/platform/FixedLightingProgram.h"
#include "engine/platform/GlFormat.h"
#include "engine/platform/GraphicsContext.h"
#include "engine/platform/PlatformWindow.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

// Every GL call of the device goes through this, so that tests and the
// benchmark can see how many calls a frame costs.
#define KVR_GL(call) \
    do \
    { \
        ++m_glCalls; \
        call; \
    } while (0)

namespace
{
constexpr uint32_t STREAM_VERTEX_BYTES = 1u << 20;
constexpr uint32_t STREAM_INDEX_BYTES = 1u << 18;
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

float BitsFloat(uint32_t bits)
{
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void ArgbToFloats(uint32_t argb, float out[4])
{
    out[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(argb & 0xFF) / 255.0f;
    out[3] = static_cast<float>((argb >> 24) & 0xFF) / 255.0f;
}

GLenum GlBlendFactor(uint32_t factor)
{
    switch (factor)
    {
    case BLEND_ZERO: return GL_ZERO;
    case BLEND_ONE: return GL_ONE;
    case BLEND_SRCCOLOR: return GL_SRC_COLOR;
    case BLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case BLEND_SRCALPHA: return GL_SRC_ALPHA;
    case BLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case BLEND_DESTALPHA: return GL_DST_ALPHA;
    case BLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case BLEND_DESTCOLOR: return GL_DST_COLOR;
    case BLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case BLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

GLenum GlBlendEquation(uint32_t operation)
{
    switch (operation)
    {
    case BLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case BLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case BLENDOP_MIN: return GL_MIN;
    case BLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum GlCompare(uint32_t function)
{
    if (function < CMP_NEVER || function > CMP_ALWAYS)
        return GL_ALWAYS;
    return GL_NEVER + (function - CMP_NEVER);
}

GLenum GlStencilOp(uint32_t operation)
{
    switch (operation)
    {
    case STENCILOP_ZERO: return GL_ZERO;
    case STENCILOP_REPLACE: return GL_REPLACE;
    case STENCILOP_INCRSAT: return GL_INCR;
    case STENCILOP_DECRSAT: return GL_DECR;
    case STENCILOP_INVERT: return GL_INVERT;
    case STENCILOP_INCR: return GL_INCR_WRAP;
    case STENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

GLenum GlPrimitive(uint32_t type)
{
    switch (type)
    {
    case PT_POINTLIST: return GL_POINTS;
    case PT_LINELIST: return GL_LINES;
    case PT_LINESTRIP: return GL_LINE_STRIP;
    case PT_TRIANGLELIST: return GL_TRIANGLES;
    case PT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case PT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
    }
}

GLenum GlAddress(uint32_t address)
{
    switch (address)
    {
    case TADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case TADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case TADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
    }
}

GLenum GlMinFilter(uint32_t minFilter, uint32_t mipFilter)
{
    const bool linear = minFilter >= TEXF_LINEAR;
    if (mipFilter == TEXF_NONE)
        return linear ? GL_LINEAR : GL_NEAREST;
    if (mipFilter == TEXF_POINT)
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

GLenum GlCombinerSource(uint32_t argument)
{
    switch (argument & TA_SELECTMASK)
    {
    case TA_CURRENT: return GL_PREVIOUS;
    case TA_TEXTURE: return GL_TEXTURE;
    case TA_TFACTOR: return GL_CONSTANT;
    default: return GL_PRIMARY_COLOR;
    }
}

GLenum GlCombinerOperand(uint32_t argument, bool alpha)
{
    const bool complement = (argument & TA_COMPLEMENT) != 0;
    if (alpha || (argument & TA_ALPHAREPLICATE))
        return complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    return complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
}

// Row-vector product a x b of two row-major matrices.
void Multiply(const float* a, const float* b, float* out)
{
    for (int row = 0; row < 4; ++row)
    {
        for (int column = 0; column < 4; ++column)
        {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[row * 4 + k] * b[k * 4 + column];
            out[row * 4 + column] = sum;
        }
    }
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

void GraphicsDevice::ApplyWindowMode(const PresentParameters& parameters)
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
    SDL_SetWindowDisplayMode(window, &mode);
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
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

DeviceTexture* GraphicsDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                             uint32_t format)
{
    auto texture = std::make_unique<DeviceTexture>(this, width, height, levels, usage, format);
    return texture->IsValid() ? texture.release() : nullptr;
}

DeviceSurface* GraphicsDevice::CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format)
{
    auto surface = std::make_unique<DeviceSurface>(this, width, height, format);
    if (!surface->IsValid() || surface->GetKind() != DeviceSurface::KIND_DEPTH_STENCIL)
        return nullptr;
    return surface.release();
}

DeviceSurface* GraphicsDevice::CreateRenderTargetSurface(uint32_t width, uint32_t height, uint32_t format)
{
    auto surface = std::make_unique<DeviceSurface>(this, width, height, format);
    if (!surface->IsValid() || surface->GetKind() != DeviceSurface::KIND_COLOR_BUFFER)
        return nullptr;
    return surface.release();
}

DeviceBuffer* GraphicsDevice::CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf)
{
    auto buffer = std::make_unique<DeviceBuffer>(this, DeviceBuffer::KIND_VERTEX, length, usage, fvf);
    return buffer->IsValid() ? buffer.release() : nullptr;
}

DeviceBuffer* GraphicsDevice::CreateIndexBuffer(uint32_t length, uint32_t usage, uint32_t format)
{
    if (format != FORMAT_INDEX16 && format != FORMAT_INDEX32)
        return nullptr;
    auto buffer = std::make_unique<DeviceBuffer>(this, DeviceBuffer::KIND_INDEX, length, usage, format);
    return buffer->IsValid() ? buffer.release() : nullptr;
}

DeviceVertexDeclaration* GraphicsDevice::CreateVertexDeclaration(const VertexElement* elements)
{
    if (elements == nullptr)
        return nullptr;
    return new DeviceVertexDeclaration(this, elements);
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

// ---------------------------------------------------------------------------
// Drawing

uint32_t GraphicsDevice::VerticesForPrimitives(uint32_t type, uint32_t primitiveCount)
{
    if (primitiveCount == 0)
        return 0;
    switch (type)
    {
    case PT_POINTLIST: return primitiveCount;
    case PT_LINELIST: return primitiveCount * 2;
    case PT_LINESTRIP: return primitiveCount + 1;
    case PT_TRIANGLELIST: return primitiveCount * 3;
    case PT_TRIANGLESTRIP:
    case PT_TRIANGLEFAN: return primitiveCount + 2;
    default: return 0;
    }
}

const VertexLayout& GraphicsDevice::CurrentLayout() const
{
    return m_declaration != nullptr ? m_declaration->GetLayout() : m_fvfLayout;
}

uint32_t GraphicsDevice::TargetWidth() const
{
    return m_renderTarget != nullptr ? m_renderTarget->GetWidth() : 0;
}

uint32_t GraphicsDevice::TargetHeight() const
{
    return m_renderTarget != nullptr ? m_renderTarget->GetHeight() : 0;
}

DeviceResult GraphicsDevice::DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount)
{
    const uint32_t vertexCount = VerticesForPrimitives(type, primitiveCount);
    const VertexLayout& layout = CurrentLayout();
    if (vertexCount == 0 || !layout.position.Present())
        return DEVICE_ERROR_INVALID_CALL;
    GlStream streams[MAX_STREAMS];
    for (uint32_t i = 0; i < MAX_STREAMS; ++i)
    {
        const StreamSource& source = m_streams[i];
        if ((layout.streamMask & (1u << i)) && (source.buffer == nullptr || !source.buffer->IsValid()))
            return DEVICE_ERROR_INVALID_CALL;
        if (source.buffer != nullptr)
            streams[i] = {source.buffer->GetGlName(), source.offset, source.stride};
    }
    const DeviceResult prepared = PrepareDraw(layout, type);
    if (DeviceFailed(prepared))
        return prepared;
    ApplyArrays(layout, streams);
    KVR_GL(glDrawArrays(GlPrimitive(type), static_cast<GLint>(startVertex), static_cast<GLsizei>(vertexCount)));
    ++m_draws;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::DrawIndexedPrimitive(uint32_t type, int32_t baseVertexIndex, uint32_t minIndex,
                                                  uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount)
{
    (void)minIndex;
    (void)vertexCount;
    const uint32_t indexCount = VerticesForPrimitives(type, primitiveCount);
    const VertexLayout& layout = CurrentLayout();
    if (indexCount == 0 || m_indices == nullptr || !m_indices->IsValid() || !layout.position.Present())
        return DEVICE_ERROR_INVALID_CALL;
    const uint32_t indexSize = m_indices->GetIndexSize();
    if (static_cast<uint64_t>(startIndex + indexCount) * indexSize > m_indices->GetLength())
        return DEVICE_ERROR_INVALID_CALL;
    GlStream streams[MAX_STREAMS];
    for (uint32_t i = 0; i < MAX_STREAMS; ++i)
    {
        const StreamSource& source = m_streams[i];
        if ((layout.streamMask & (1u << i)) && (source.buffer == nullptr || !source.buffer->IsValid()))
            return DEVICE_ERROR_INVALID_CALL;
        if (source.buffer != nullptr)
            streams[i] = {source.buffer->GetGlName(), source.offset, source.stride};
    }
    const DeviceResult prepared = PrepareDraw(layout, type);
    if (DeviceFailed(prepared))
        return prepared;
    ApplyArrays(layout, streams);
    BindElementBuffer(m_indices->GetGlName());
    const GLenum indexType = indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    KVR_GL(glDrawElementsBaseVertex(GlPrimitive(type), static_cast<GLsizei>(indexCount), indexType,
                                    reinterpret_cast<const void*>(static_cast<uintptr_t>(startIndex) * indexSize),
                                    baseVertexIndex));
    ++m_draws;
    return DEVICE_OK;
}

void GraphicsDevice::OrphanStreamBuffer(unsigned target, uint32_t& capacity, uint32_t needed)
{
    // Draws still reading the old storage keep it; new data goes to fresh
    // memory from the start.
    const uint32_t minimum = target == GL_ARRAY_BUFFER ? STREAM_VERTEX_BYTES : STREAM_INDEX_BYTES;
    if (capacity < needed || capacity < minimum)
        capacity = std::max(needed * 2, minimum);
    KVR_GL(glBufferData(target, capacity, nullptr, GL_STREAM_DRAW));
}

uint32_t GraphicsDevice::StreamVertices(const void* data, uint32_t size, uint32_t alignment)
{
    BindArrayBuffer(m_streamVertexBuffer);
    uint32_t offset = (m_streamVertexOffset + alignment - 1) / alignment * alignment;
    if (m_streamVertexCapacity < size || offset + size > m_streamVertexCapacity)
    {
        OrphanStreamBuffer(GL_ARRAY_BUFFER, m_streamVertexCapacity, size);
        offset = 0;
    }
    KVR_GL(glBufferSubData(GL_ARRAY_BUFFER, offset, size, data));
    m_streamVertexOffset = offset + size;
    return offset;
}

uint32_t GraphicsDevice::StreamIndices(const void* data, uint32_t size)
{
    BindElementBuffer(m_streamIndexBuffer);
    uint32_t offset = (m_streamIndexOffset + 3u) & ~3u;
    if (m_streamIndexCapacity < size || offset + size > m_streamIndexCapacity)
    {
        OrphanStreamBuffer(GL_ELEMENT_ARRAY_BUFFER, m_streamIndexCapacity, size);
        offset = 0;
    }
    KVR_GL(glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, offset, size, data));
    m_streamIndexOffset = offset + size;
    return offset;
}

DeviceResult GraphicsDevice::DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices,
                                             uint32_t stride)
{
    const uint32_t vertexCount = VerticesForPrimitives(type, primitiveCount);
    const VertexLayout& layout = CurrentLayout();
    if (vertexCount == 0 || vertices == nullptr || stride == 0 || !layout.position.Present())
        return DEVICE_ERROR_INVALID_CALL;
    const uint32_t size = vertexCount * stride;
    const DeviceResult prepared = PrepareDraw(layout, type);
    if (DeviceFailed(prepared))
        return prepared;

    // When the arrays already point into the streaming buffer with this
    // stride, the data goes to a whole number of vertices after where they
    // point and the draw starts at a later vertex: a run of similar draws
    // costs one upload and one draw call each.
    const ArrayBinding& position = m_gl.arrays[SLOT_POSITION];
    const uintptr_t positionOffset = static_cast<uintptr_t>(layout.position.offset);
    const bool keepArrays = position.buffer == m_streamVertexBuffer && position.stride == stride &&
                            position.pointer >= positionOffset &&
                            position.pointer - positionOffset <= m_streamVertexOffset;
    uint32_t base = 0;
    uint32_t offset = 0;
    if (keepArrays)
    {
        base = static_cast<uint32_t>(position.pointer - positionOffset);
        const uint32_t wanted = base + (m_streamVertexOffset - base + stride - 1) / stride * stride;
        if (m_streamVertexCapacity >= size && wanted + size <= m_streamVertexCapacity)
        {
            BindArrayBuffer(m_streamVertexBuffer);
            KVR_GL(glBufferSubData(GL_ARRAY_BUFFER, wanted, size, vertices));
            m_streamVertexOffset = wanted + size;
            offset = wanted;
        }
        else
        {
            offset = StreamVertices(vertices, size, 4);
            base = offset;
        }
    }
    else
    {
        offset = StreamVertices(vertices, size, 4);
        base = offset;
    }

    GlStream streams[MAX_STREAMS];
    streams[0] = {m_streamVertexBuffer, base, stride};
    ApplyArrays(layout, streams);
    KVR_GL(glDrawArrays(GlPrimitive(type), static_cast<GLint>((offset - base) / stride),
                        static_cast<GLsizei>(vertexCount)));
    ++m_draws;
    // Drawing from memory leaves stream 0 and the indices unbound.
    m_streams[0] = StreamSource();
    m_indices = nullptr;
    return DEVICE_OK;
}

DeviceResult GraphicsDevice::DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t vertexCount,
                                                    uint32_t primitiveCount, const void* indices,
                                                    uint32_t indexFormat, const void* vertices, uint32_t stride)
{
    const uint32_t indexCount = VerticesForPrimitives(type, primitiveCount);
    const VertexLayout& layout = CurrentLayout();
    if (indexCount == 0 || indices == nullptr || vertices == nullptr || stride == 0 || vertexCount == 0 ||
        !layout.position.Present() || (indexFormat != FORMAT_INDEX16 && indexFormat != FORMAT_INDEX32))
        return DEVICE_ERROR_INVALID_CALL;
    const uint32_t indexSize = indexFormat == FORMAT_INDEX32 ? 4u : 2u;
    const DeviceResult prepared = PrepareDraw(layout, type);
    if (DeviceFailed(prepared))
        return prepared;
    // Indices address the vertex data from its start.
    const uint32_t vertexStart = StreamVertices(vertices, (minIndex + vertexCount) * stride, 16);
    const uint32_t indexStart = StreamIndices(indices, indexCount * indexSize);
    GlStream streams[MAX_STREAMS];
    streams[0] = {m_streamVertexBuffer, vertexStart, stride};
    ApplyArrays(layout, streams);
    BindElementBuffer(m_streamIndexBuffer);
    KVR_GL(glDrawElements(GlPrimitive(type), static_cast<GLsizei>(indexCount),
                          indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                          reinterpret_cast<const void*>(static_cast<uintptr_t>(indexStart))));
    ++m_draws;
    m_streams[0] = StreamSource();
    m_indices = nullptr;
    return DEVICE_OK;
}

// ---------------------------------------------------------------------------
// Bringing GL up to the recorded state

DeviceResult GraphicsDevice::PrepareDraw(const VertexLayout& layout, uint32_t type)
{
    ApplyFramebuffer();
    const bool hasDiffuse = layout.diffuse.Present();
    if (m_statesDirty || layout.pretransformed != m_lastPretransformed || hasDiffuse != m_lastHadDiffuse)
    {
        ApplyStates(layout);
        m_statesDirty = false;
        m_lastPretransformed = layout.pretransformed;
        m_lastHadDiffuse = hasDiffuse;
    }
    ApplyViewport(layout.pretransformed);
    ApplyTransforms(layout.pretransformed, type <= PT_LINESTRIP);
    unsigned program = m_program;
    if (program == 0)
    {
        if (!m_fixedLighting)
            m_fixedLighting = std::make_unique<FixedLightingProgram>();
        program = m_fixedLighting->Prepare(m_lights, m_lightEnabled, m_caps.maxActiveLights, m_view, m_material,
                                           m_renderStates, layout, &m_glCalls);
    }
    if (m_gl.program != program)
    {
        KVR_GL(glUseProgram(program));
        m_gl.program = program;
    }
    return DEVICE_OK;
}

void GraphicsDevice::SetCapability(unsigned capability, bool on, bool& shadow)
{
    if (shadow == on)
        return;
    if (on)
        KVR_GL(glEnable(capability));
    else
        KVR_GL(glDisable(capability));
    shadow = on;
}

void GraphicsDevice::SetActiveTexture(unsigned unit)
{
    if (m_gl.activeTexture == unit)
        return;
    KVR_GL(glActiveTexture(GL_TEXTURE0 + unit));
    m_gl.activeTexture = unit;
}

void GraphicsDevice::BindDrawFramebuffer(unsigned name)
{
    if (m_gl.drawFramebuffer == name)
        return;
    KVR_GL(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, name));
    m_gl.drawFramebuffer = name;
}

void GraphicsDevice::BindReadFramebuffer(unsigned name)
{
    if (m_gl.readFramebuffer == name)
        return;
    KVR_GL(glBindFramebuffer(GL_READ_FRAMEBUFFER, name));
    m_gl.readFramebuffer = name;
}

void GraphicsDevice::BindArrayBuffer(unsigned name)
{
    if (m_gl.arrayBuffer == name)
        return;
    KVR_GL(glBindBuffer(GL_ARRAY_BUFFER, name));
    m_gl.arrayBuffer = name;
}

void GraphicsDevice::BindElementBuffer(unsigned name)
{
    if (m_gl.elementBuffer == name)
        return;
    KVR_GL(glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, name));
    m_gl.elementBuffer = name;
}

void GraphicsDevice::ApplyFramebuffer()
{
    BindDrawFramebuffer(m_drawFramebuffer);
    if (!m_framebufferDirty)
        return;
    if (m_renderTarget != nullptr)
        m_renderTarget->AttachTo(GL_DRAW_FRAMEBUFFER);
    KVR_GL(glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0));
    if (m_depthStencil != nullptr)
        m_depthStencil->AttachTo(GL_DRAW_FRAMEBUFFER);
    m_glCalls += 2;
    m_framebufferDirty = false;
    // The viewport and pixel projection follow the target's size.
    m_gl.viewportValid = false;
    m_gl.matrices = MATRICES_UNKNOWN;
}

void GraphicsDevice::ApplyStates(const VertexLayout& layout)
{
    ApplyBlendAndTests();
    ApplyRasterStates();
    ApplyLightingStates(layout);
    ApplyFog(layout.pretransformed);
    ApplyTextureUnits();
    ApplySamplers();
}

void GraphicsDevice::ApplyBlendAndTests()
{
    const uint32_t* rs = m_renderStates;
    const bool blend = rs[RS_ALPHABLENDENABLE] != 0;
    SetCapability(GL_BLEND, blend, m_gl.blend);
    if (blend)
    {
        const GLenum source = GlBlendFactor(rs[RS_SRCBLEND]);
        const GLenum destination = GlBlendFactor(rs[RS_DESTBLEND]);
        if (source != m_gl.blendSource || destination != m_gl.blendDestination)
        {
            KVR_GL(glBlendFunc(source, destination));
            m_gl.blendSource = source;
            m_gl.blendDestination = destination;
        }
        const GLenum equation = GlBlendEquation(rs[RS_BLENDOP]);
        if (equation != m_gl.blendEquation)
        {
            KVR_GL(glBlendEquation(equation));
            m_gl.blendEquation = equation;
        }
    }

    const bool alphaTest = rs[RS_ALPHATESTENABLE] != 0;
    SetCapability(GL_ALPHA_TEST, alphaTest, m_gl.alphaTest);
    if (alphaTest)
    {
        const GLenum function = GlCompare(rs[RS_ALPHAFUNC]);
        const float reference = static_cast<float>(rs[RS_ALPHAREF] & 0xFF) / 255.0f;
        if (function != m_gl.alphaFunction || reference != m_gl.alphaReference)
        {
            KVR_GL(glAlphaFunc(function, reference));
            m_gl.alphaFunction = function;
            m_gl.alphaReference = reference;
        }
    }

    const bool depthTest = rs[RS_ZENABLE] != 0 && m_depthStencil != nullptr;
    SetCapability(GL_DEPTH_TEST, depthTest, m_gl.depthTest);
    if (depthTest)
    {
        const GLenum function = GlCompare(rs[RS_ZFUNC]);
        if (function != m_gl.depthFunction)
        {
            KVR_GL(glDepthFunc(function));
            m_gl.depthFunction = function;
        }
    }
    const bool depthMask = rs[RS_ZWRITEENABLE] != 0;
    if (depthMask != m_gl.depthMask)
    {
        KVR_GL(glDepthMask(depthMask ? GL_TRUE : GL_FALSE));
        m_gl.depthMask = depthMask;
    }

    const bool stencil = rs[RS_STENCILENABLE] != 0;
    SetCapability(GL_STENCIL_TEST, stencil, m_gl.stencil);
    if (stencil)
    {
        const GLenum function = GlCompare(rs[RS_STENCILFUNC]);
        const int reference = static_cast<int>(rs[RS_STENCILREF] & 0xFF);
        const uint32_t mask = rs[RS_STENCILMASK] & 0xFF;
        if (function != m_gl.stencilFunction || reference != m_gl.stencilReference || mask != m_gl.stencilMask)
        {
            KVR_GL(glStencilFunc(function, reference, mask));
            m_gl.stencilFunction = function;
            m_gl.stencilReference = reference;
            m_gl.stencilMask = mask;
        }
        const GLenum fail = GlStencilOp(rs[RS_STENCILFAIL]);
        const GLenum depthFail = GlStencilOp(rs[RS_STENCILZFAIL]);
        const GLenum pass = GlStencilOp(rs[RS_STENCILPASS]);
        if (fail != m_gl.stencilFail || depthFail != m_gl.stencilDepthFail || pass != m_gl.stencilPass)
        {
            KVR_GL(glStencilOp(fail, depthFail, pass));
            m_gl.stencilFail = fail;
            m_gl.stencilDepthFail = depthFail;
            m_gl.stencilPass = pass;
        }
    }
    const uint32_t writeMask = rs[RS_STENCILWRITEMASK] & 0xFF;
    if (writeMask != m_gl.stencilWriteMask)
    {
        KVR_GL(glStencilMask(writeMask));
        m_gl.stencilWriteMask = writeMask;
    }
    const uint32_t colorMask = rs[RS_COLORWRITEENABLE] & 0xF;
    if (colorMask != m_gl.colorMask)
    {
        KVR_GL(glColorMask((colorMask & 1) != 0, (colorMask & 2) != 0, (colorMask & 4) != 0, (colorMask & 8) != 0));
        m_gl.colorMask = colorMask;
    }
}

void GraphicsDevice::ApplyRasterStates()
{
    const uint32_t* rs = m_renderStates;
    const uint32_t cullMode = rs[RS_CULLMODE];
    const bool cull = cullMode == CULL_CW || cullMode == CULL_CCW;
    SetCapability(GL_CULL_FACE, cull, m_gl.cull);
    if (cull)
    {
        // Front faces are the screen's clockwise ones.
        const GLenum face = cullMode == CULL_CW ? GL_FRONT : GL_BACK;
        if (face != m_gl.cullFace)
        {
            KVR_GL(glCullFace(face));
            m_gl.cullFace = face;
        }
    }
    const GLenum polygonMode = rs[RS_FILLMODE] == FILL_POINT ? GL_POINT
                               : rs[RS_FILLMODE] == FILL_WIREFRAME ? GL_LINE
                                                                   : GL_FILL;
    if (polygonMode != m_gl.polygonMode)
    {
        KVR_GL(glPolygonMode(GL_FRONT_AND_BACK, polygonMode));
        m_gl.polygonMode = polygonMode;
    }
    const GLenum shadeModel = rs[RS_SHADEMODE] == SHADE_FLAT ? GL_FLAT : GL_SMOOTH;
    if (shadeModel != m_gl.shadeModel)
    {
        KVR_GL(glShadeModel(shadeModel));
        m_gl.shadeModel = shadeModel;
    }
    SetCapability(GL_DITHER, rs[RS_DITHERENABLE] != 0, m_gl.dither);
}

void GraphicsDevice::ApplyLightingStates(const VertexLayout& layout)
{
    const uint32_t* rs = m_renderStates;
    // Pre-transformed vertices carry their final colours.
    const bool lighting = rs[RS_LIGHTING] != 0 && !layout.pretransformed;
    SetCapability(GL_LIGHTING, lighting, m_gl.lighting);
    if (!lighting)
        return;
    if (rs[RS_AMBIENT] != m_gl.ambient)
    {
        float ambient[4];
        ArgbToFloats(rs[RS_AMBIENT], ambient);
        KVR_GL(glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient));
        m_gl.ambient = rs[RS_AMBIENT];
    }
    SetCapability(GL_NORMALIZE, rs[RS_NORMALIZENORMALS] != 0, m_gl.normalize);
    const bool separateSpecular = rs[RS_SPECULARENABLE] != 0;
    if (separateSpecular != m_gl.separateSpecular)
    {
        KVR_GL(glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL,
                             separateSpecular ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR));
        KVR_GL(glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, rs[RS_LOCALVIEWER] != 0 ? GL_TRUE : GL_FALSE));
        m_gl.separateSpecular = separateSpecular;
    }
    // The vertex colour stands in for the material colours whose source
    // says so, when the vertex has one.
    unsigned colorMaterial = 0;
    if (rs[RS_COLORVERTEX] != 0 && layout.diffuse.Present())
    {
        const bool diffuse = rs[RS_DIFFUSEMATERIALSOURCE] == MCS_COLOR1;
        const bool ambient = rs[RS_AMBIENTMATERIALSOURCE] == MCS_COLOR1;
        colorMaterial = diffuse && ambient ? GL_AMBIENT_AND_DIFFUSE : diffuse ? GL_DIFFUSE : ambient ? GL_AMBIENT : 0;
    }
    if (colorMaterial != m_gl.colorMaterial)
    {
        if (colorMaterial != 0)
        {
            KVR_GL(glColorMaterial(GL_FRONT_AND_BACK, colorMaterial));
            if (m_gl.colorMaterial == 0)
                KVR_GL(glEnable(GL_COLOR_MATERIAL));
        }
        else
        {
            KVR_GL(glDisable(GL_COLOR_MATERIAL));
        }
        m_gl.colorMaterial = colorMaterial;
        // Tracking overwrote material colours in GL.
        m_materialDirty = true;
    }
    if (m_materialDirty || m_gl.specularEnabled != separateSpecular)
        ApplyMaterial();
}

void GraphicsDevice::ApplyMaterial()
{
    const DeviceMaterial& material = m_material;
    const bool specular = m_renderStates[RS_SPECULARENABLE] != 0;
    const float diffuse[4] = {material.diffuse.r, material.diffuse.g, material.diffuse.b, material.diffuse.a};
    const float ambient[4] = {material.ambient.r, material.ambient.g, material.ambient.b, material.ambient.a};
    const float emissive[4] = {material.emissive.r, material.emissive.g, material.emissive.b, material.emissive.a};
    float specularColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (specular)
    {
        specularColor[0] = material.specular.r;
        specularColor[1] = material.specular.g;
        specularColor[2] = material.specular.b;
        specularColor[3] = material.specular.a;
    }
    // Set after the colour-material mode, so tracking cannot overwrite the
    // colours that stay with the material.
    KVR_GL(glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse));
    KVR_GL(glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient));
    KVR_GL(glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emissive));
    KVR_GL(glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specularColor));
    KVR_GL(glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(material.power, 0.0f, 128.0f)));
    m_gl.specularEnabled = specular;
    m_materialDirty = false;
}

void GraphicsDevice::ApplyFog(bool pretransformed)
{
    const uint32_t* rs = m_renderStates;
    const uint32_t mode = rs[RS_FOGTABLEMODE] != FOG_NONE ? rs[RS_FOGTABLEMODE] : rs[RS_FOGVERTEXMODE];
    const bool fog = rs[RS_FOGENABLE] != 0 && mode != FOG_NONE && !pretransformed;
    SetCapability(GL_FOG, fog, m_gl.fog);
    if (!fog)
        return;
    const GLenum glMode = mode == FOG_EXP ? GL_EXP : mode == FOG_EXP2 ? GL_EXP2 : GL_LINEAR;
    if (glMode != m_gl.fogMode)
    {
        KVR_GL(glFogi(GL_FOG_MODE, glMode));
        m_gl.fogMode = glMode;
    }
    const float start = BitsFloat(rs[RS_FOGSTART]);
    const float end = BitsFloat(rs[RS_FOGEND]);
    const float density = BitsFloat(rs[RS_FOGDENSITY]);
    if (start != m_gl.fogStart)
    {
        KVR_GL(glFogf(GL_FOG_START, start));
        m_gl.fogStart = start;
    }
    if (end != m_gl.fogEnd)
    {
        KVR_GL(glFogf(GL_FOG_END, end));
        m_gl.fogEnd = end;
    }
    if (density != m_gl.fogDensity)
    {
        KVR_GL(glFogf(GL_FOG_DENSITY, density));
        m_gl.fogDensity = density;
    }
    if (rs[RS_FOGCOLOR] != m_gl.fogColor)
    {
        float color[4];
        ArgbToFloats(rs[RS_FOGCOLOR], color);
        KVR_GL(glFogfv(GL_FOG_COLOR, color));
        m_gl.fogColor = rs[RS_FOGCOLOR];
    }
}

void GraphicsDevice::ApplyTextureUnits()
{
    for (unsigned unit = 0; unit < MAX_TEXTURE_UNITS; ++unit)
    {
        const DeviceTexture* texture = m_textures[unit];
        const unsigned name = texture != nullptr ? texture->GetGlName() : 0;
        if (m_gl.boundTexture[unit] == name)
            continue;
        SetActiveTexture(unit);
        KVR_GL(glBindTexture(GL_TEXTURE_2D, name));
        m_gl.boundTexture[unit] = name;
    }
    // Only stage 0 runs in the fixed pipeline. Without a texture the stage
    // passes the vertex colour, as the engine's untextured draws expect.
    const bool texturing = m_gl.boundTexture[0] != 0 && m_stageStates[0][TSS_COLOROP] != TOP_DISABLE;
    if (texturing != m_gl.texture2D)
    {
        SetActiveTexture(0);
        SetCapability(GL_TEXTURE_2D, texturing, m_gl.texture2D);
    }
    if (texturing)
        ApplyTextureEnvironment();
}

void GraphicsDevice::ApplyTextureEnvironment()
{
    const uint32_t* stage = m_stageStates[0];
    const uint64_t key = static_cast<uint64_t>(stage[TSS_COLOROP] & 0xFF) |
                         static_cast<uint64_t>(stage[TSS_COLORARG1] & 0xFF) << 8 |
                         static_cast<uint64_t>(stage[TSS_COLORARG2] & 0xFF) << 16 |
                         static_cast<uint64_t>(stage[TSS_ALPHAOP] & 0xFF) << 24 |
                         static_cast<uint64_t>(stage[TSS_ALPHAARG1] & 0xFF) << 32 |
                         static_cast<uint64_t>(stage[TSS_ALPHAARG2] & 0xFF) << 40;
    const uint32_t factor = m_renderStates[RS_TEXTUREFACTOR];
    if (m_gl.textureEnvValid && key == m_gl.textureEnvKey && factor == m_gl.textureFactor)
        return;
    SetActiveTexture(0);
    KVR_GL(glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE));
    for (int channel = 0; channel < 2; ++channel)
    {
        const bool alpha = channel == 1;
        const uint32_t operation = stage[alpha ? TSS_ALPHAOP : TSS_COLOROP];
        uint32_t argument1 = stage[alpha ? TSS_ALPHAARG1 : TSS_COLORARG1];
        const uint32_t argument2 = stage[alpha ? TSS_ALPHAARG2 : TSS_COLORARG2];
        GLenum combine = GL_MODULATE;
        float scale = 1.0f;
        GLenum source2 = GL_PRIMARY_COLOR;
        switch (operation)
        {
        case TOP_DISABLE: combine = GL_REPLACE; argument1 = TA_CURRENT; break;
        case TOP_SELECTARG1: combine = GL_REPLACE; break;
        case TOP_SELECTARG2: combine = GL_REPLACE; argument1 = argument2; break;
        case TOP_MODULATE2X: scale = 2.0f; break;
        case TOP_MODULATE4X: scale = 4.0f; break;
        case TOP_ADD: combine = GL_ADD; break;
        case TOP_ADDSIGNED: combine = GL_ADD_SIGNED; break;
        case TOP_ADDSIGNED2X: combine = GL_ADD_SIGNED; scale = 2.0f; break;
        case TOP_SUBTRACT: combine = GL_SUBTRACT; break;
        case TOP_BLENDDIFFUSEALPHA: combine = GL_INTERPOLATE; source2 = GL_PRIMARY_COLOR; break;
        case TOP_BLENDTEXTUREALPHA: combine = GL_INTERPOLATE; source2 = GL_TEXTURE; break;
        default: break;
        }
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB, combine));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_SRC0_ALPHA : GL_SRC0_RGB, GlCombinerSource(argument1)));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_OPERAND0_ALPHA : GL_OPERAND0_RGB,
                         GlCombinerOperand(argument1, alpha)));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_SRC1_ALPHA : GL_SRC1_RGB, GlCombinerSource(argument2)));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_OPERAND1_ALPHA : GL_OPERAND1_RGB,
                         GlCombinerOperand(argument2, alpha)));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_SRC2_ALPHA : GL_SRC2_RGB, source2));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_OPERAND2_ALPHA : GL_OPERAND2_RGB, GL_SRC_ALPHA));
        KVR_GL(glTexEnvf(GL_TEXTURE_ENV, alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE, scale));
    }
    float color[4];
    ArgbToFloats(factor, color);
    KVR_GL(glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, color));
    m_gl.textureEnvKey = key;
    m_gl.textureFactor = factor;
    m_gl.textureEnvValid = true;
}

void GraphicsDevice::ApplySamplers()
{
    for (unsigned unit = 0; unit < MAX_TEXTURE_UNITS; ++unit)
    {
        if (!m_samplerDirty[unit])
            continue;
        const uint32_t* states = m_samplerStates[unit];
        const unsigned sampler = m_samplers[unit];
        KVR_GL(glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GlAddress(states[SAMP_ADDRESSU])));
        KVR_GL(glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GlAddress(states[SAMP_ADDRESSV])));
        KVR_GL(glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, GlAddress(states[SAMP_ADDRESSW])));
        KVR_GL(glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                                   states[SAMP_MAGFILTER] >= TEXF_LINEAR ? GL_LINEAR : GL_NEAREST));
        KVR_GL(glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                                   GlMinFilter(states[SAMP_MINFILTER], states[SAMP_MIPFILTER])));
        float border[4];
        ArgbToFloats(states[SAMP_BORDERCOLOR], border);
        KVR_GL(glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border));
        m_samplerDirty[unit] = false;
    }
}

void GraphicsDevice::ApplyViewport(bool pretransformed)
{
    DeviceViewport wanted = m_viewport;
    if (pretransformed)
    {
        // Screen vertices address the whole target.
        wanted.x = 0;
        wanted.y = 0;
        wanted.width = TargetWidth();
        wanted.height = TargetHeight();
        wanted.minZ = 0.0f;
        wanted.maxZ = 1.0f;
    }
    const DeviceViewport& current = m_gl.viewport;
    if (m_gl.viewportValid && current.x == wanted.x && current.y == wanted.y && current.width == wanted.width &&
        current.height == wanted.height && current.minZ == wanted.minZ && current.maxZ == wanted.maxZ)
        return;
    // Targets are stored top-down, so the engine's top-left y is GL's y.
    KVR_GL(glViewport(static_cast<GLint>(wanted.x), static_cast<GLint>(wanted.y), static_cast<GLsizei>(wanted.width),
                      static_cast<GLsizei>(wanted.height)));
    KVR_GL(glDepthRange(wanted.minZ, wanted.maxZ));
    m_gl.viewport = wanted;
    m_gl.viewportValid = true;
}

void GraphicsDevice::ApplyTransforms(bool pretransformed, bool lines)
{
    if (pretransformed)
    {
        const uint32_t width = TargetWidth();
        const uint32_t height = TargetHeight();
        if (m_gl.matrices == MATRICES_PIXEL && m_gl.pixelWidth == width && m_gl.pixelHeight == height &&
            m_gl.pixelLines == lines)
            return;
        // Pixel (x, y) to clip space over the whole target; z is depth as
        // it stands. This is the one place of the screen-space pixel
        // convention:
        // - Triangles: a rectangle from x0 to x1 covers the pixels x0 to
        //   x1 - 1, and a pixel's centre samples the middle of its texel.
        //   Edges on half pixels (a centred sprite of odd size) meet pixel
        //   centres, where GL breaks the tie one way across and the other
        //   way down. One subpixel step right and down settles every such
        //   tie alike on both axes: an edge at 17.5 starts at pixel 18, as
        //   on a device whose pixel centres lie on integers.
        // - Lines and points move by half a pixel, so that a line at
        //   integer y runs through the middle of row y instead of along
        //   the edge of two rows.
        const float w = static_cast<float>(width);
        const float h = static_cast<float>(height);
        const float shift = lines ? 0.5f : m_subpixelStep;
        const float pixel[16] = {2.0f / w, 0, 0, 0, 0, -2.0f / h, 0, 0, 0, 0, 1, 0, 2.0f * shift / w - 1.0f,
                                 1.0f - 2.0f * shift / h, 0, 1};
        KVR_GL(glMatrixMode(GL_PROJECTION));
        KVR_GL(glLoadMatrixf(pixel));
        KVR_GL(glMatrixMode(GL_MODELVIEW));
        KVR_GL(glLoadIdentity());
        m_gl.matrices = MATRICES_PIXEL;
        m_gl.pixelWidth = width;
        m_gl.pixelHeight = height;
        m_gl.pixelLines = lines;
        return;
    }
    const bool fresh = m_gl.matrices != MATRICES_WORLD;
    if (fresh || m_gl.projectionVersion != m_projectionVersion)
    {
        KVR_GL(glMatrixMode(GL_PROJECTION));
        KVR_GL(glLoadMatrixf(m_projection));
        KVR_GL(glMatrixMode(GL_MODELVIEW));
        m_gl.projectionVersion = m_projectionVersion;
    }
    const bool lightsStale = m_renderStates[RS_LIGHTING] != 0 &&
                             (m_gl.lightsVersion != m_lightsVersion || m_gl.lightsViewVersion != m_viewVersion);
    bool loadWorldView = fresh || m_gl.viewVersion != m_viewVersion || m_gl.worldVersion != m_worldVersion;
    if (lightsStale)
    {
        // GL keeps light positions in eye space as of the call: give them
        // with the view alone.
        KVR_GL(glLoadMatrixf(m_view));
        ApplyLights();
        loadWorldView = true;
    }
    if (loadWorldView)
    {
        float worldView[16];
        Multiply(m_world, m_view, worldView);
        KVR_GL(glLoadMatrixf(worldView));
        m_gl.viewVersion = m_viewVersion;
        m_gl.worldVersion = m_worldVersion;
    }
    m_gl.matrices = MATRICES_WORLD;
}

void GraphicsDevice::ApplyLights()
{
    for (uint32_t index = 0; index < m_caps.maxActiveLights; ++index)
    {
        const GLenum light = GL_LIGHT0 + index;
        if (!m_lightEnabled[index])
        {
            KVR_GL(glDisable(light));
            continue;
        }
        const DeviceLight& source = m_lights[index];
        const float diffuse[4] = {source.diffuse.r, source.diffuse.g, source.diffuse.b, source.diffuse.a};
        const float ambient[4] = {source.ambient.r, source.ambient.g, source.ambient.b, source.ambient.a};
        const float specular[4] = {source.specular.r, source.specular.g, source.specular.b, source.specular.a};
        KVR_GL(glLightfv(light, GL_DIFFUSE, diffuse));
        KVR_GL(glLightfv(light, GL_AMBIENT, ambient));
        KVR_GL(glLightfv(light, GL_SPECULAR, specular));
        if (source.type == LIGHT_DIRECTIONAL)
        {
            // GL wants the direction towards the light.
            const float towards[4] = {-source.direction[0], -source.direction[1], -source.direction[2], 0.0f};
            KVR_GL(glLightfv(light, GL_POSITION, towards));
            KVR_GL(glLightf(light, GL_SPOT_CUTOFF, 180.0f));
            KVR_GL(glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f));
            KVR_GL(glLightf(light, GL_LINEAR_ATTENUATION, 0.0f));
            KVR_GL(glLightf(light, GL_QUADRATIC_ATTENUATION, 0.0f));
        }
        else
        {
            const float position[4] = {source.position[0], source.position[1], source.position[2], 1.0f};
            KVR_GL(glLightfv(light, GL_POSITION, position));
            // All three zero would divide by zero; treat as no falloff.
            const bool none = source.attenuation0 == 0.0f && source.attenuation1 == 0.0f && source.attenuation2 == 0.0f;
            KVR_GL(glLightf(light, GL_CONSTANT_ATTENUATION, none ? 1.0f : source.attenuation0));
            KVR_GL(glLightf(light, GL_LINEAR_ATTENUATION, source.attenuation1));
            KVR_GL(glLightf(light, GL_QUADRATIC_ATTENUATION, source.attenuation2));
            if (source.type == LIGHT_SPOT)
            {
                KVR_GL(glLightfv(light, GL_SPOT_DIRECTION, source.direction));
                const float cutoff = std::clamp(source.phi * 0.5f * 57.29578f, 0.0f, 90.0f);
                KVR_GL(glLightf(light, GL_SPOT_CUTOFF, cutoff));
                KVR_GL(glLightf(light, GL_SPOT_EXPONENT, std::clamp(source.falloff, 0.0f, 128.0f)));
            }
            else
            {
                KVR_GL(glLightf(light, GL_SPOT_CUTOFF, 180.0f));
            }
        }
        KVR_GL(glEnable(light));
    }
    m_gl.lightsVersion = m_lightsVersion;
    m_gl.lightsViewVersion = m_viewVersion;
}

void GraphicsDevice::EnableArrays(uint32_t enabled)
{
    const uint32_t changed = enabled ^ m_gl.enabledArrays;
    if (changed == 0)
        return;
    for (int slot = 0; slot < SLOT_COUNT; ++slot)
    {
        const uint32_t bit = 1u << slot;
        if (!(changed & bit))
            continue;
        const bool on = (enabled & bit) != 0;
        if (slot >= SLOT_BLENDWEIGHT)
        {
            static const unsigned locations[4] = {VERTEX_ATTRIB_BLENDWEIGHT, VERTEX_ATTRIB_BLENDINDICES,
                                                  VERTEX_ATTRIB_TANGENT, VERTEX_ATTRIB_BINORMAL};
            const unsigned location = locations[slot - SLOT_BLENDWEIGHT];
            if (on)
                KVR_GL(glEnableVertexAttribArray(location));
            else
                KVR_GL(glDisableVertexAttribArray(location));
            continue;
        }
        GLenum array = GL_VERTEX_ARRAY;
        if (slot == SLOT_NORMAL)
            array = GL_NORMAL_ARRAY;
        else if (slot == SLOT_DIFFUSE)
            array = GL_COLOR_ARRAY;
        else if (slot >= SLOT_TEXCOORD0)
        {
            array = GL_TEXTURE_COORD_ARRAY;
            const unsigned unit = static_cast<unsigned>(slot - SLOT_TEXCOORD0);
            if (m_gl.clientActiveTexture != unit)
            {
                KVR_GL(glClientActiveTexture(GL_TEXTURE0 + unit));
                m_gl.clientActiveTexture = unit;
            }
        }
        if (on)
            KVR_GL(glEnableClientState(array));
        else
            KVR_GL(glDisableClientState(array));
    }
    // Without a colour array GL draws with the current colour, which the
    // last colour array left undefined: vertices without colour are white.
    if ((changed & (1u << SLOT_DIFFUSE)) && !(enabled & (1u << SLOT_DIFFUSE)))
        KVR_GL(glColor4f(1.0f, 1.0f, 1.0f, 1.0f));
    m_gl.enabledArrays = enabled;
}

void GraphicsDevice::SetArray(int slot, const VertexAttribute& attribute, const GlStream& stream,
                              bool pretransformed, uint32_t& enabled)
{
    if (!attribute.Present())
        return;
    enabled |= 1u << slot;
    ArrayBinding wanted;
    wanted.buffer = stream.buffer;
    wanted.pointer = static_cast<uintptr_t>(stream.offset) + static_cast<uintptr_t>(attribute.offset);
    wanted.stride = stream.stride;
    wanted.type = attribute.type;
    ArrayBinding& current = m_gl.arrays[slot];
    if (current.buffer == wanted.buffer && current.pointer == wanted.pointer && current.stride == wanted.stride &&
        current.type == wanted.type)
        return;
    BindArrayBuffer(stream.buffer);
    int components = 0;
    unsigned type = GL_FLOAT;
    bool normalized = false;
    GetDeclarationTypeInfo(attribute.type, &components, &type, &normalized);
    const void* pointer = reinterpret_cast<const void*>(wanted.pointer);
    const GLsizei stride = static_cast<GLsizei>(stream.stride);
    switch (slot)
    {
    case SLOT_POSITION:
        // Screen vertices: x, y, z; the reciprocal w is 1 in every draw of
        // the engine and takes no part.
        KVR_GL(glVertexPointer(pretransformed ? 3 : std::min(components, 4), type, stride, pointer));
        break;
    case SLOT_NORMAL: KVR_GL(glNormalPointer(type, stride, pointer)); break;
    case SLOT_DIFFUSE: KVR_GL(glColorPointer(components, type, stride, pointer)); break;
    case SLOT_BLENDWEIGHT:
    case SLOT_BLENDINDICES:
    case SLOT_TANGENT:
    case SLOT_BINORMAL:
    {
        static const unsigned locations[4] = {VERTEX_ATTRIB_BLENDWEIGHT, VERTEX_ATTRIB_BLENDINDICES,
                                              VERTEX_ATTRIB_TANGENT, VERTEX_ATTRIB_BINORMAL};
        KVR_GL(glVertexAttribPointer(locations[slot - SLOT_BLENDWEIGHT], components == GL_BGRA ? GL_BGRA : components,
                                     type, normalized ? GL_TRUE : GL_FALSE, stride, pointer));
        break;
    }
    default:
    {
        const unsigned unit = static_cast<unsigned>(slot - SLOT_TEXCOORD0);
        if (m_gl.clientActiveTexture != unit)
        {
            KVR_GL(glClientActiveTexture(GL_TEXTURE0 + unit));
            m_gl.clientActiveTexture = unit;
        }
        KVR_GL(glTexCoordPointer(components, type, stride, pointer));
        break;
    }
    }
    current = wanted;
}

void GraphicsDevice::ApplyArrays(const VertexLayout& layout, const GlStream* streams)
{
    uint32_t enabled = 0;
    const bool pre = layout.pretransformed;
    SetArray(SLOT_POSITION, layout.position, streams[layout.position.stream], pre, enabled);
    SetArray(SLOT_NORMAL, layout.normal, streams[layout.normal.stream], pre, enabled);
    SetArray(SLOT_DIFFUSE, layout.diffuse, streams[layout.diffuse.stream], pre, enabled);
    for (int i = 0; i < VertexLayout::MAX_TEXCOORDS; ++i)
        SetArray(SLOT_TEXCOORD0 + i, layout.texcoord[i], streams[layout.texcoord[i].stream], pre, enabled);
    SetArray(SLOT_BLENDWEIGHT, layout.blendWeight, streams[layout.blendWeight.stream], pre, enabled);
    SetArray(SLOT_BLENDINDICES, layout.blendIndices, streams[layout.blendIndices.stream], pre, enabled);
    SetArray(SLOT_TANGENT, layout.tangent, streams[layout.tangent.stream], pre, enabled);
    SetArray(SLOT_BINORMAL, layout.binormal, streams[layout.binormal.stream], pre, enabled);
    EnableArrays(enabled);
}
