#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/core/CResourceList.h"

#include <cstdint>
#include <memory>

class CGraphics;
class CRect;
class CShader;
class CTexture;
class DeviceSurface;

// A full-screen filter: screen-sized render-target textures with a
// depth-stencil surface of their size and an effect. Objects are drawn into
// the targets during the frame (the render list routes them there), and
// Apply composites the targets onto the render target that was current.
//
// Every operation that takes a target index returns 0 for an index at or
// past the target count and touches nothing.
class CFilter : public CResourceBase
{
public:
    CFilter();
    ~CFilter() override;

    CFilter(const CFilter&) = delete;
    CFilter& operator=(const CFilter&) = delete;

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }
    static CGraphics* GetGraphics() { return s_graphics; }

    // Frees the depth surface, the shader when the filter made it, and the
    // targets.
    uint32_t Release() override;
    const char* GetClassName() const override { return "CFilter"; }

    // Clears the targets for a new frame, keeping the current render
    // target and depth-stencil surface.
    virtual int BeginCapture(uint32_t argument);
    // Draws target 0 over the whole window.
    virtual int Apply(uint32_t argument);

    // count render-target textures of width x height, opaque black, and a
    // depth-stencil surface of depthFormat; drops what the filter held.
    int CreateTargets(uint32_t width, uint32_t height, uint32_t format, uint32_t depthFormat, uint32_t count);
    int LoadShaderFromFile(const char* path, uint32_t flags);
    int LoadShaderFromMemory(const void* data, const char* name, uint32_t size, uint32_t flags, uint32_t keepCopy);

    int SetRenderTarget(uint32_t index);
    // Makes the target current and clears it to 0x00000000.
    int ClearTarget(uint32_t index, uint32_t unused = 0);
    int SetDepthStencil();
    int ClearAllTargets(uint32_t argument);
    int BeginCaptureTarget(uint32_t index, uint32_t argument);

    // Rectangles null: the whole window, the whole target.
    int DrawTarget(const CRect* destination, const CRect* source, uint32_t color, uint32_t index);
    // Draws target index into target into, then restores the back buffer.
    int DrawTargetInto(const CRect* destination, const CRect* source, uint32_t color, uint32_t index,
                       uint32_t into);
    // Point-sampled copy from the back buffer; null rectangles are the
    // window's client area.
    int CopyBackBufferToTarget(const CRect* source, const CRect* destination, uint32_t index);

    uint32_t GetTargetCount() const;
    CTexture* GetTarget(uint32_t index) const;
    CShader* GetShader() const { return m_shader; }
    DeviceSurface* GetDepthSurface() const { return m_depthSurface.get(); }

protected:
    // The window's client size; the back buffer's without a window.
    static void GetWindowSize(float* width, float* height);
    int ClearDepth();

    CResourceList<CTexture*>* m_targets = nullptr;
    CShader* m_shader = nullptr;
    uint32_t m_ownsShader = 0;
    std::unique_ptr<DeviceSurface> m_depthSurface;

    static CGraphics* s_graphics;

private:
    void ReleaseTargets();
    void ReleaseShader();
};
