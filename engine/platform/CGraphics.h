#pragma once

#include "engine/platform/device/GraphicsTypes.h"

#include <cstdint>
#include <memory>

class CCamera;
class CkvrMatrix;
class CRect;
class CShader;
class CSystem;
class DeviceBuffer;
class DeviceResource;
class DeviceSurface;
class DeviceTexture;
class DeviceVertexDeclaration;
class GraphicsDevice;
class PlatformWindow;

// The render states and bindings the engine changes most, as last set
// through the cached setters. Drawing classes read it (GetStateCache).
struct GraphicsStateCache
{
    uint32_t ambient = 0;
    uint32_t blendMode = 0;
    uint32_t cullMode = 0;
    uint32_t lighting = 0;
    uint32_t fogEnable = 0;
    uint32_t zEnable = 0;
    uint32_t zWriteEnable = 0;
    DeviceTexture* texture = nullptr;
    DeviceBuffer** streamBuffers = nullptr; // maxStreams entries
    uint32_t* streamStrides = nullptr;      // maxStreams entries
    DeviceBuffer* indices = nullptr;
    DeviceVertexDeclaration* declaration = nullptr;
    uint32_t declarationKey = 0;
    uint32_t fvf = 0;
};

// The graphics device of the program's one window: creation with its
// fallbacks, capabilities and format tables, the render-state cache, blend
// modes 0-6, the 2D and 3D presets, the frame, and the reset protocol that
// announces itself to the application with two private messages.
class CGraphics
{
public:
    // Messages sent to the system window around a device reset.
    static constexpr uint32_t MSG_DEVICE_RELEASE = 0x0400 + 1;
    static constexpr uint32_t MSG_DEVICE_RECREATE = 0x0400 + 2;

    static constexpr uint32_t DISPLAY_FORMAT_COUNT = 5;
    static constexpr uint32_t TEXTURE_FORMAT_COUNT = 13;

    // What the render library's drawing classes do for the graphics object.
    // The program's start-up hands them over once, before the first Create,
    // through RenderClasses::Install (engine/render/RenderClasses.h); the
    // platform layer itself has no link to the render classes. Without
    // them Create hands itself to no drawing class and makes no default
    // effect "Default.shd".
    struct RenderClassHooks
    {
        // Every drawing class's static graphics pointer: this object on
        // Create, null on Destroy.
        void (*setGraphics)(CGraphics* graphics) = nullptr;
        // Re-applies the current camera when the render target changes.
        int (*applyCamera)(CCamera* camera) = nullptr;
        // The default effect, in the reset protocol's order.
        CShader* (*createDefaultEffect)(CGraphics* graphics) = nullptr; // null on failure
        int (*isDefaultEffect)(CShader* shader) = nullptr;             // named "Default.shd"
        int (*releaseDefaultEffect)(CShader* shader) = nullptr;        // before a reset
        int (*recreateDefaultEffect)(CShader* shader) = nullptr;       // after a reset; 0 fails it
        void (*destroyDefaultEffect)(CShader* shader) = nullptr;       // Release and delete
        // Where a camera's viewport lies: x, y, width, height.
        const uint32_t* (*cameraViewport)(const CCamera* camera) = nullptr;
    };
    // Returns the hooks it replaces.
    static RenderClassHooks SetRenderClassHooks(const RenderClassHooks& hooks);

    // The protocol's waits (500 ms while lost, 1000 ms between two resets);
    // tests count them instead of sleeping. Null restores the real sleep.
    using SleepFunction = void (*)(uint32_t milliseconds);
    static void SetSleepFunction(SleepFunction sleep);

    CGraphics();
    ~CGraphics();

    CGraphics(const CGraphics&) = delete;
    CGraphics& operator=(const CGraphics&) = delete;

    // Create makes the object the one the drawing classes draw with;
    // Destroy lets go of what is its own (its device, its default effect,
    // and the drawing classes while they draw with it).
    int Create(CSystem* system);
    void Destroy();
    // Where a process holds more than one graphics object (tests): makes
    // this one the drawing classes' again, with its context current on the
    // calling thread and its default effect. 0 without a device.
    int Activate();

    void SetupPresentParameters();
    int CheckCaps();
    int EnumDisplayModes();

    int BeginScene();
    int EndScene();
    int EndSceneToWindow(const CRect* source, const CRect* destination, PlatformWindow* window);
    DeviceResult Clear(uint32_t flags);

    int ResetDevice();
    // window 0 asks for full screen at that size; a size the display does
    // not offer, or a screen that refuses, leaves the window (GetWindowed
    // tells which one the device ended in).
    int ChangeMode(int window, int width, int height);

    // The device's context on the calling thread, or off it. A loading
    // thread that uploads takes the context this way while the main thread
    // waits for it; whichever thread draws next takes it back first.
    int MakeContextCurrent();
    void ReleaseContext();

    int IsDisplayFormat(uint32_t format) const;
    int IsTextureFormat(uint32_t format) const;
    int SetFullScreenFormat(uint32_t format);

    void SetDefaultStates();
    void SetBlendMode(uint32_t mode);
    void Begin2D();
    void Begin3D();

    // Cached setters: the device hears only of changes.
    void SetAmbient(uint32_t color);
    void SetZEnable(uint32_t enable);
    void SetZWriteEnable(uint32_t enable);
    void SetCullMode(uint32_t mode);
    void SetLighting(uint32_t enable);
    void SetFogEnable(uint32_t enable);
    void SetTexture(DeviceTexture* texture);
    void SetStreamSource(DeviceBuffer* buffer, uint32_t stride);
    void SetIndices(DeviceBuffer* buffer);
    void SetVertexDeclaration(DeviceVertexDeclaration* declaration);
    // The model code's declaration setter stores its key beside it.
    void SetVertexDeclarationKey(uint32_t key) { m_cache.declarationKey = key; }
    void SetFVF(uint32_t fvf);
    int SetRenderTarget(DeviceSurface* surface);
    // Null unbinds the depth-stencil surface.
    int SetDepthStencilSurface(DeviceSurface* surface);
    // The back buffer and the automatic depth-stencil surface again, each
    // only when another one is current.
    int RestoreRenderTarget();
    int RestoreDepthStencil();

    // Uncached.
    void SetWorldTransform(const CkvrMatrix* matrix);
    DeviceResult DrawPrimitiveUP(uint32_t type, uint32_t count, const void* vertices, uint32_t stride);

    GraphicsDevice* GetDevice() const { return m_device.get(); }
    CSystem* GetSystem() const { return m_system; }
    CCamera* GetCamera() const { return m_camera; }
    void SetCamera(CCamera* camera) { m_camera = camera; }
    GraphicsStateCache* GetStateCache() { return &m_cache; }
    uint32_t GetTextureFormat() const { return m_textureFormat; }
    DeviceSurface* GetBackBuffer() const { return m_backBuffer; }
    DeviceSurface* GetCurrentRenderTarget() const { return m_currentRenderTarget; }
    DeviceSurface* GetCurrentDepthStencil() const { return m_currentDepthStencil; }
    DeviceSurface* GetDepthStencil() const { return m_depthStencil; }
    // The top-left corner of the current camera's viewport; 0, 0 without
    // a camera.
    void GetViewportOrigin(float* x, float* y) const;

    uint32_t GetDeviceType() const { return m_deviceType; }
    uint32_t GetVertexProcessing() const { return m_vertexProcessing; }
    uint32_t GetWindowed() const { return m_windowed; }
    uint32_t GetFullScreenFormat() const { return m_fullScreenFormat; }
    const DisplayMode& GetDesktopMode() const { return m_desktopMode; }
    const PresentParameters& GetPresentParameters() const { return m_presentParameters; }
    const DeviceCaps& GetCaps() const { return m_caps; }
    const char* GetAdapterDescription() const { return m_adapterDescription; }
    uint32_t GetAvailableTextureMemory() const { return m_textureMemory; }
    uint32_t GetDisplayFormatCount() const { return m_displayFormatCount; }
    const uint32_t* GetDisplayFormats() const { return m_displayFormats; }
    uint32_t GetTextureFormatCount() const { return m_textureFormatCount; }
    const uint32_t* GetTextureFormats() const { return m_textureFormats; }
    uint32_t GetDisplayModeCount() const { return m_displayModeCount; }
    const DisplayMode* GetDisplayModes() const { return m_displayModes; }

    static CShader* GetDefaultShader();
    static void SetDefaultShader(CShader* shader);

private:
    bool CreateDeviceLadder();
    void InvalidateStateCache();
    void RestoreCachedStates(uint32_t wasCached);
    void SetDrawingClassesGraphics(CGraphics* graphics);
    void ApplyCamera();
    void Sleep(uint32_t milliseconds);
    void SendToWindow(uint32_t id);
    // A device object is gone: no cache may keep naming it.
    static void ForgetResource(void* graphics, DeviceResource* resource);

    std::unique_ptr<GraphicsDevice> m_device;
    PresentParameters m_presentParameters;
    DisplayMode m_desktopMode;
    uint32_t m_fullScreenFormat = 0;
    uint32_t m_textureFormat = 0;
    DeviceSurface* m_backBuffer = nullptr;
    DeviceSurface* m_currentRenderTarget = nullptr;
    DeviceSurface* m_depthStencil = nullptr;
    DeviceSurface* m_currentDepthStencil = nullptr;
    uint32_t m_adapterCount = 0;
    char m_adapterDescription[512] = {};
    uint32_t m_driverVersionHigh = 0;
    uint32_t m_driverVersionLow = 0;
    uint32_t m_deviceType = 0;
    uint32_t m_vertexProcessing = 0;
    uint32_t m_textureMemory = 0;
    DeviceCaps m_caps;
    uint32_t m_displayFormatCount = 0;
    uint32_t m_desktopWidth = 0;
    uint32_t m_desktopHeight = 0;
    uint32_t m_desktopRefreshRate = 0;
    uint32_t* m_displayFormats = nullptr;
    uint32_t m_textureFormatCount = 0;
    uint32_t* m_textureFormats = nullptr;
    uint32_t m_displayModeCount = 0;
    DisplayMode* m_displayModes = nullptr;
    GraphicsStateCache m_cache;
    // Entries of the cache that match the device; a reset clears them.
    uint32_t m_cacheValid = 0;
    uint32_t m_windowed = 1;
    CSystem* m_system = nullptr;
    CCamera* m_camera = nullptr;
    // The application has released its device objects and awaits the
    // re-create message.
    bool m_resourcesReleased = false;
    // The default effect made on this device (GetDefaultShader while this
    // object draws).
    CShader* m_defaultShader = nullptr;
};
