#pragma once

#include "engine/platform/device/GraphicsTypes.h"
#include "engine/platform/device/VertexLayout.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DeviceBuffer;
class DeviceResource;
class DeviceSurface;
class DeviceTexture;
class DeviceVertexDeclaration;
class FixedLightingProgram;
class GraphicsContext;
class PlatformWindow;

// The engine's graphics device over OpenGL 3.3 (compatibility profile).
//
// It offers what the engine uses of a fixed-function device: render states,
// texture stage 0, samplers, transforms, lights and materials, fog, vertex
// formats and declarations, vertex and index buffers, drawing from memory,
// render targets, viewport, clear and present. The conventions of the
// engine live here and nowhere else:
//   - matrices are row-major for row vectors and go to GL unchanged;
//   - depth runs 0..1 and targets are stored top-down (glClipControl);
//   - clockwise triangles on the screen are front faces;
//   - the frame is drawn into a back-buffer framebuffer that Present blits
//     to the window;
//   - Clear clears only the viewport;
//   - colours are packed ARGB, BGRA bytes in memory;
//   - pre-transformed vertices are screen pixels, drawn through a pixel
//     projection with lighting and fog off, pixel centres on integers.
//
// States are recorded when set and reach GL at the next draw or clear, and
// only where GL's current state differs, so repeated identical settings cost
// no GL call. The device counts the GL calls it issues.
//
// OpenGL has no lost device; tests make one with SimulateDeviceLoss so that
// the engine's reset protocol runs for real.
class GraphicsDevice
{
public:
    static constexpr uint32_t MAX_LIGHTS = 8;
    static constexpr uint32_t MAX_TEXTURE_UNITS = 8;
    static constexpr uint32_t MAX_STREAMS = 16;

    // Null when no context of the type can be made: DEVICE_TYPE_ACCELERATED
    // refuses software rasterizers, DEVICE_TYPE_REFERENCE takes any.
    // parameters gets the back-buffer size actually used.
    static std::unique_ptr<GraphicsDevice> Create(uint32_t deviceType, PresentParameters& parameters);
    ~GraphicsDevice();

    GraphicsDevice(const GraphicsDevice&) = delete;
    GraphicsDevice& operator=(const GraphicsDevice&) = delete;

    // What the device is.
    uint32_t GetDeviceType() const { return m_deviceType; }
    const DeviceCaps& GetCaps() const { return m_caps; }
    const std::string& GetRendererName() const;
    const std::string& GetVersionText() const;
    uint32_t GetAvailableTextureMemory() const;
    bool IsTextureFormatSupported(uint32_t format) const;
    bool IsRenderTargetFormatSupported(uint32_t format) const;
    const PresentParameters& GetPresentParameters() const { return m_present; }
    PlatformWindow* GetWindow() const { return m_present.deviceWindow; }

    // Display modes of the screen the SDL video subsystem reports; empty
    // and false without one (headless).
    static bool GetDesktopMode(DisplayMode* mode);
    static std::vector<DisplayMode> GetDisplayModes(uint32_t format);
    static bool IsDisplayFormatAvailable(uint32_t format);

    // The context moves between threads: one thread makes it current, does
    // its work, releases it, and only then may another make it current. The
    // caller serialises the hand-over (the device itself takes no lock).
    bool MakeCurrent();
    bool ReleaseCurrent();

    // The lost-device protocol.
    DeviceResult TestCooperativeLevel();
    DeviceResult Reset(PresentParameters& parameters);
    // The device is lost for the next lostChecks calls of
    // TestCooperativeLevel, then can be reset; until Reset succeeds,
    // BeginScene and Present fail.
    void SimulateDeviceLoss(uint32_t lostChecks);
    // The next count calls of Reset fail.
    void SimulateResetFailures(uint32_t count);

    // Frames.
    DeviceResult BeginScene();
    DeviceResult EndScene();
    // Rectangles in pixels of the back buffer and of the window's client
    // area; null for the whole. window must be null or the device window.
    DeviceResult Present(const DeviceRect* source, const DeviceRect* destination, PlatformWindow* window);
    DeviceResult Clear(uint32_t flags, uint32_t color, float z, uint32_t stencil);

    // Surfaces. The back buffer and the automatic depth surface belong to
    // the device and are replaced by Reset.
    DeviceSurface* GetBackBuffer() const { return m_backBuffer.get(); }
    DeviceSurface* GetAutoDepthStencil() const { return m_autoDepth.get(); }
    DeviceSurface* GetRenderTarget() const { return m_renderTarget; }
    DeviceSurface* GetDepthStencilSurface() const { return m_depthStencil; }
    DeviceResult SetRenderTarget(uint32_t index, DeviceSurface* surface);
    DeviceResult SetDepthStencilSurface(DeviceSurface* surface);
    // Copies a rectangle between colour surfaces, scaling; filter is a
    // TextureFilter (POINT or LINEAR).
    DeviceResult StretchRect(DeviceSurface* source, const DeviceRect* sourceRect, DeviceSurface* destination,
                             const DeviceRect* destinationRect, uint32_t filter);
    // Reads pixels of a colour surface (null: the current render target)
    // as ARGB values, rows from the top.
    DeviceResult ReadPixels(DeviceSurface* surface, int32_t x, int32_t y, int32_t width, int32_t height,
                            uint32_t* argb);

    // Objects the caller owns through the handle it gets; empty on failure.
    // An object may outlive the device (it is then empty of GL objects).
    std::unique_ptr<DeviceTexture> CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                                 uint32_t format);
    std::unique_ptr<DeviceSurface> CreateDepthStencilSurface(uint32_t width, uint32_t height, uint32_t format);
    std::unique_ptr<DeviceSurface> CreateRenderTargetSurface(uint32_t width, uint32_t height, uint32_t format);
    std::unique_ptr<DeviceBuffer> CreateVertexBuffer(uint32_t length, uint32_t usage, uint32_t fvf);
    std::unique_ptr<DeviceBuffer> CreateIndexBuffer(uint32_t length, uint32_t usage, uint32_t format);
    std::unique_ptr<DeviceVertexDeclaration> CreateVertexDeclaration(const VertexElement* elements);

    // States.
    DeviceResult SetRenderState(uint32_t state, uint32_t value);
    uint32_t GetRenderState(uint32_t state) const;
    DeviceResult SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value);
    uint32_t GetTextureStageState(uint32_t stage, uint32_t type) const;
    DeviceResult SetSamplerState(uint32_t sampler, uint32_t type, uint32_t value);
    uint32_t GetSamplerState(uint32_t sampler, uint32_t type) const;
    DeviceResult SetTexture(uint32_t stage, DeviceTexture* texture);
    DeviceTexture* GetTexture(uint32_t stage) const;
    // matrix: 16 floats, row-major, row vectors.
    DeviceResult SetTransform(uint32_t transform, const float* matrix);
    const float* GetTransform(uint32_t transform) const;
    DeviceResult SetViewport(const DeviceViewport& viewport);
    const DeviceViewport& GetViewport() const { return m_viewport; }
    DeviceResult SetLight(uint32_t index, const DeviceLight& light);
    DeviceResult GetLight(uint32_t index, DeviceLight* light) const;
    DeviceResult LightEnable(uint32_t index, bool enable);
    bool IsLightEnabled(uint32_t index) const;
    DeviceResult SetMaterial(const DeviceMaterial& material);
    const DeviceMaterial& GetMaterial() const { return m_material; }

    // Vertex input. SetFVF and SetVertexDeclaration replace each other.
    DeviceResult SetFVF(uint32_t fvf);
    uint32_t GetFVF() const { return m_fvf; }
    DeviceResult SetVertexDeclaration(DeviceVertexDeclaration* declaration);
    DeviceVertexDeclaration* GetVertexDeclaration() const { return m_declaration; }
    DeviceResult SetStreamSource(uint32_t stream, DeviceBuffer* buffer, uint32_t offset, uint32_t stride);
    DeviceBuffer* GetStreamSource(uint32_t stream) const;
    DeviceResult SetIndices(DeviceBuffer* buffer);
    DeviceBuffer* GetIndices() const { return m_indices; }

    // A GLSL program in place of the fixed-function pipeline (0: fixed
    // function). The effect runtime sets its own uniforms; vertex arrays
    // and texture units are fed as for fixed function (gl_Vertex,
    // gl_Normal, gl_Color, gl_MultiTexCoord0.., generic attributes of
    // VertexLayout.h), and GL's built-in matrices hold view x world and the
    // projection.
    void SetProgram(unsigned program);
    unsigned GetProgram() const { return m_program; }

    // Drawing. Primitive counts as the engine gives them.
    DeviceResult DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount);
    DeviceResult DrawIndexedPrimitive(uint32_t type, int32_t baseVertexIndex, uint32_t minIndex, uint32_t vertexCount,
                                      uint32_t startIndex, uint32_t primitiveCount);
    // From memory through the streaming buffer; stream 0 and the indices
    // are unbound afterwards.
    DeviceResult DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride);
    DeviceResult DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t vertexCount, uint32_t primitiveCount,
                                        const void* indices, uint32_t indexFormat, const void* vertices,
                                        uint32_t stride);

    // GL calls issued so far (state, binding, upload and draw calls).
    uint64_t GetGlCallCount() const { return m_glCalls; }
    uint64_t GetDrawCount() const { return m_draws; }
    // Calls of the state and binding setters, changing or not.
    uint64_t GetStateCallCount() const { return m_stateCalls; }
    void AddGlCalls(uint32_t count) { m_glCalls += count; }

    // For the resource classes.
    void RegisterResource(DeviceResource* resource);
    void UnregisterResource(DeviceResource* resource);
    void BindTextureForUpload(unsigned name);
    // GL objects about to be deleted: forget where GL had them bound.
    void ForgetGlTexture(unsigned name);
    void ForgetGlBuffer(unsigned name);
    // A GLSL program about to be deleted: stop using it, and forget that GL
    // has it in use, since GL may hand its name to a new program.
    void ForgetGlProgram(unsigned name);

    // Told of every object the device forgets as it is deleted, after the
    // device has unbound it, so that caches above the device can drop it
    // before a new object takes its address. Null stops the calls.
    using ReleaseObserver = void (*)(void* context, DeviceResource* resource);
    void SetReleaseObserver(ReleaseObserver observer, void* context);

    static uint32_t VerticesForPrimitives(uint32_t type, uint32_t primitiveCount);

private:
    struct StreamSource
    {
        DeviceBuffer* buffer = nullptr;
        uint32_t offset = 0;
        uint32_t stride = 0;
    };

    // A stream as GL sees it for one draw.
    struct GlStream
    {
        unsigned buffer = 0;
        uint32_t offset = 0;
        uint32_t stride = 0;
    };

    // Where one vertex array of GL points now.
    struct ArrayBinding
    {
        unsigned buffer = 0;
        uintptr_t pointer = 0;
        uint32_t stride = 0;
        uint32_t type = 0xFFFFFFFF;
    };

    enum ArraySlot
    {
        SLOT_POSITION,
        SLOT_NORMAL,
        SLOT_DIFFUSE,
        SLOT_TEXCOORD0,
        SLOT_BLENDWEIGHT = SLOT_TEXCOORD0 + VertexLayout::MAX_TEXCOORDS,
        SLOT_BLENDINDICES,
        SLOT_TANGENT,
        SLOT_BINORMAL,
        SLOT_COUNT,
    };

    enum MatrixKind
    {
        MATRICES_UNKNOWN,
        MATRICES_PIXEL,
        MATRICES_WORLD,
    };

    // What GL holds now, so that only changes reach it.
    struct GlShadow
    {
        bool blend = false;
        unsigned blendSource = 0;
        unsigned blendDestination = 0;
        unsigned blendEquation = 0;
        bool alphaTest = false;
        unsigned alphaFunction = 0;
        float alphaReference = -1.0f;
        bool depthTest = false;
        unsigned depthFunction = 0;
        bool depthMask = true;
        bool cull = false;
        unsigned cullFace = 0;
        bool lighting = false;
        bool fog = false;
        unsigned fogMode = 0;
        float fogStart = -1.0f;
        float fogEnd = -1.0f;
        float fogDensity = -1.0f;
        uint32_t fogColor = 0xFFFFFFFF;
        uint32_t ambient = 0xFFFFFFFF;
        bool normalize = false;
        unsigned shadeModel = 0;
        bool dither = false;
        bool stencil = false;
        unsigned stencilFunction = 0;
        int stencilReference = -1;
        uint32_t stencilMask = 0;
        uint32_t stencilWriteMask = 0;
        unsigned stencilFail = 0;
        unsigned stencilDepthFail = 0;
        unsigned stencilPass = 0;
        uint32_t colorMask = 0xF;
        unsigned polygonMode = 0;
        unsigned colorMaterial = 0; // 0: off, else the tracked face property
        bool separateSpecular = false;
        bool materialValid = false;
        bool specularEnabled = false;
        DeviceViewport viewport;
        bool viewportValid = false;
        bool scissor = false;
        unsigned drawFramebuffer = 0;
        unsigned readFramebuffer = 0;
        unsigned activeTexture = 0;
        unsigned clientActiveTexture = 0;
        bool texture2D = false;
        unsigned boundTexture[MAX_TEXTURE_UNITS] = {};
        unsigned boundTextureUpload = 0;
        uint64_t textureEnvKey = 0;
        bool textureEnvValid = false;
        uint32_t textureFactor = 0;
        unsigned arrayBuffer = 0;
        unsigned elementBuffer = 0;
        uint32_t enabledArrays = 0;
        ArrayBinding arrays[SLOT_COUNT];
        bool currentColorWhite = false;
        MatrixKind matrices = MATRICES_UNKNOWN;
        uint32_t pixelWidth = 0;
        uint32_t pixelHeight = 0;
        bool pixelLines = false;
        uint64_t projectionVersion = 0;
        uint64_t viewVersion = 0;
        uint64_t worldVersion = 0;
        uint64_t lightsVersion = 0;
        uint64_t lightsViewVersion = 0;
        unsigned program = 0;
        uint32_t clearColor = 0;
        bool clearColorValid = false;
    };

    GraphicsDevice() = default;
    bool Initialize(uint32_t deviceType, PresentParameters& parameters, bool requireAccelerated);
    void ReadCaps();
    bool CreateBackBuffers(PresentParameters& parameters);
    // A screen that refuses full screen leaves the window, and parameters
    // say so.
    void ApplyWindowMode(PresentParameters& parameters);
    void SetDefaultDeviceState();
    void WriteInitialGlState();

    // The draw path.
    DeviceResult PrepareDraw(const VertexLayout& layout, uint32_t type);
    const VertexLayout& CurrentLayout() const;
    void ApplyFramebuffer();
    // Clears the viewport's part of a texture target to `color` without
    // drawing; false where that can't be done (the caller clears as usual).
    bool ClearTexturePart(uint32_t color);
    void ApplyStates(const VertexLayout& layout);
    void ApplyBlendAndTests();
    void ApplyRasterStates();
    void ApplyLightingStates(const VertexLayout& layout);
    void ApplyFog(bool pretransformed);
    void ApplyTextureUnits();
    void ApplyTextureEnvironment();
    void ApplySamplers();
    void ApplyViewport(bool pretransformed);
    void ApplyTransforms(bool pretransformed, bool lines);
    void ApplyLights();
    void ApplyMaterial();
    void ApplyArrays(const VertexLayout& layout, const GlStream* streams);
    void SetArray(int slot, const VertexAttribute& attribute, const GlStream& stream, bool pretransformed,
                  uint32_t& enabled);
    void EnableArrays(uint32_t enabled);
    void BindArrayBuffer(unsigned name);
    void BindElementBuffer(unsigned name);
    void SetCapability(unsigned capability, bool on, bool& shadow);
    void SetActiveTexture(unsigned unit);
    void BindDrawFramebuffer(unsigned name);
    void BindReadFramebuffer(unsigned name);
    // Binds name to target unless bound (the shadow of that binding) says
    // it is there already.
    void BindCached(unsigned target, unsigned name, unsigned& bound);
    void OrphanStreamBuffer(unsigned target, uint32_t& capacity, uint32_t needed);
    // Uploads into the streaming buffers; return the offset of the data.
    uint32_t StreamVertices(const void* data, uint32_t size, uint32_t alignment);
    uint32_t StreamIndices(const void* data, uint32_t size);
    // Writes size bytes at start of the streaming buffer bound to target,
    // or at its beginning after orphaning it when they don't fit there;
    // cursor ends after them. Returns where they went.
    uint32_t UploadToStream(unsigned target, uint32_t& capacity, uint32_t& cursor, uint32_t start, const void* data,
                            uint32_t size);
    // PrepareDraw, then GL's arrays pointed into the bound stream sources;
    // fails when the layout reads a stream that has no valid buffer.
    DeviceResult PrepareBufferDraw(const VertexLayout& layout, uint32_t type);
    uint32_t TargetWidth() const;
    uint32_t TargetHeight() const;
    void Unbind(DeviceResource* resource);

    std::unique_ptr<GraphicsContext> m_context;
    uint32_t m_deviceType = 0;
    DeviceCaps m_caps;
    PresentParameters m_present;

    std::unique_ptr<DeviceSurface> m_backBuffer;
    std::unique_ptr<DeviceSurface> m_autoDepth;
    DeviceSurface* m_renderTarget = nullptr;
    DeviceSurface* m_depthStencil = nullptr;
    unsigned m_drawFramebuffer = 0;
    unsigned m_readFramebuffer = 0;
    unsigned m_blitFramebuffer = 0;
    bool m_framebufferDirty = true;
    // Whether a texture's part can be cleared without drawing
    // (glClearTexSubImage).
    bool m_clearTexture = false;

    // Recorded device state.
    uint32_t m_renderStates[RS_COUNT] = {};
    uint32_t m_stageStates[MAX_TEXTURE_UNITS][TSS_COUNT] = {};
    uint32_t m_samplerStates[MAX_TEXTURE_UNITS][SAMP_COUNT] = {};
    bool m_samplerDirty[MAX_TEXTURE_UNITS] = {};
    unsigned m_samplers[MAX_TEXTURE_UNITS] = {};
    DeviceTexture* m_textures[MAX_TEXTURE_UNITS] = {};
    float m_world[16] = {};
    float m_view[16] = {};
    float m_projection[16] = {};
    float m_textureTransform[16] = {};
    uint64_t m_worldVersion = 1;
    uint64_t m_viewVersion = 1;
    uint64_t m_projectionVersion = 1;
    DeviceViewport m_viewport;
    DeviceLight m_lights[MAX_LIGHTS];
    bool m_lightEnabled[MAX_LIGHTS] = {};
    uint64_t m_lightsVersion = 1;
    DeviceMaterial m_material;
    bool m_materialDirty = true;
    uint32_t m_fvf = 0;
    VertexLayout m_fvfLayout;
    DeviceVertexDeclaration* m_declaration = nullptr;
    StreamSource m_streams[MAX_STREAMS];
    DeviceBuffer* m_indices = nullptr;
    unsigned m_program = 0;

    bool m_statesDirty = true;
    bool m_lastPretransformed = false;
    bool m_lastHadDiffuse = false;
    bool m_inScene = false;

    // Streaming buffers of the draws from memory.
    unsigned m_streamVertexBuffer = 0;
    uint32_t m_streamVertexCapacity = 0;
    uint32_t m_streamVertexOffset = 0;
    unsigned m_streamIndexBuffer = 0;
    uint32_t m_streamIndexCapacity = 0;
    uint32_t m_streamIndexOffset = 0;

    GlShadow m_gl;
    uint64_t m_glCalls = 0;
    uint64_t m_draws = 0;
    uint64_t m_stateCalls = 0;
    // The rasteriser's subpixel step: how far screen triangles move to
    // break ties on pixel centres.
    float m_subpixelStep = 1.0f / 256.0f;

    // Simulated loss.
    bool m_lost = false;
    uint32_t m_lostChecks = 0;
    uint32_t m_resetFailures = 0;

    std::vector<DeviceResource*> m_resources;
    // Lit draws with point or spot lights, whose range and cone GL's own
    // lighting lacks.
    std::unique_ptr<FixedLightingProgram> m_fixedLighting;
    ReleaseObserver m_releaseObserver = nullptr;
    void* m_releaseContext = nullptr;
};
