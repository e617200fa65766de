// The render list and the HDR filter on the software rasterizer.
//
// BM_RenderListFrame: 2,000 objects added, sorted and drawn through the
// list each frame; BM_PlainOrderFrame: the same draws in the order they
// were made, without the list. The list's own cost is the difference.
// BM_RenderListOnly: adding and sorting alone (objects that draw nothing).
//
// BM_HdrComposite: the HDR filter's capture and composite at 1280x720 with
// the 2048x2048 targets the game asks for, BM_HdrCaptureOnly its capture
// (the clears) alone; BM_PlainFullScreenCopy: one full-screen textured copy
// at the same size.
#include "engine/core/CRect.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "tests/support/HeadlessWindow.h"
#include "engine/render/CCamera.h"
#include "engine/render/CHDRFilter.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CTexture.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
constexpr int OBJECTS = 2000;

struct Engine
{
    Engine(int width, int height)
    {
        window = std::make_unique<HeadlessWindow>(nullptr);
        system.AttachWindow(window.get());
        system.SetClientSize(width, height, 0);
        created = graphics.Create(&system) != 0;
        if (!created)
            return;
        const float eye[3] = {0, 0, -10};
        const float target[3] = {0, 0, 0};
        const float up[3] = {0, 1, 0};
        camera.SetLookAt(eye, target, up);
        camera.SetProjection(60, -1.0f, 1.0f, 100.0f);
        camera.SetViewport(0, 0, 0, 0);
        camera.Apply();
        graphics.Begin2D();
    }
    ~Engine()
    {
        graphics.SetCamera(nullptr);
        graphics.Destroy();
        system.Release();
    }

    // Waits for the rasterizer: every frame ends with the same read.
    void Finish()
    {
        uint32_t argb = 0;
        graphics.GetDevice()->ReadPixels(graphics.GetBackBuffer(), 0, 0, 1, 1, &argb);
        benchmark::DoNotOptimize(argb);
    }

    std::unique_ptr<HeadlessWindow> window;
    CSystem system;
    CGraphics graphics;
    CCamera camera;
    bool created = false;
};

// A small translucent screen quad.
class QuadObject : public CObjectBase
{
public:
    QuadObject(CGraphics* graphics, float x, float y, uint32_t color, bool draws)
        : m_graphics(graphics), m_draws(draws)
    {
        m_quad[0] = {x, y, 0, 1, color};
        m_quad[1] = {x + 8, y, 0, 1, color};
        m_quad[2] = {x + 8, y + 8, 0, 1, color};
        m_quad[3] = {x, y + 8, 0, 1, color};
    }
    int Create(uintptr_t) override { return 1; }
    int Update(uintptr_t) override { return 1; }
    int Render(uintptr_t) override
    {
        if (!m_draws)
            return 1;
        m_graphics->SetTexture(nullptr);
        m_graphics->SetFVF(FVF_XYZRHW | FVF_DIFFUSE);
        m_graphics->SetBlendMode(GetBlendMode());
        return m_graphics->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, m_quad, sizeof(Vertex)) == DEVICE_OK;
    }

private:
    struct Vertex
    {
        float x, y, z, rhw;
        uint32_t color;
    };
    CGraphics* m_graphics;
    bool m_draws;
    Vertex m_quad[4];
};

std::vector<std::unique_ptr<QuadObject>> MakeObjects(CGraphics* graphics, bool draws)
{
    std::vector<std::unique_ptr<QuadObject>> objects;
    uint32_t seed = 2024;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int i = 0; i < OBJECTS; ++i)
    {
        auto object = std::make_unique<QuadObject>(graphics, static_cast<float>(next() % 632),
                                                   static_cast<float>(next() % 472), 0x80000000u | next(), draws);
        const CkvrVector3 position(static_cast<float>(next() % 200) / 10.0f - 10.0f,
                                   static_cast<float>(next() % 200) / 10.0f - 10.0f,
                                   static_cast<float>(next() % 500) / 10.0f);
        object->SetPosition(&position);
        object->SetRadius(1.0f);
        object->SetPriority(static_cast<int32_t>(next() % 3));
        object->SetUseRenderList(next() % 4 == 0 ? 0 : 1);
        objects.push_back(std::move(object));
    }
    return objects;
}

void ListFrames(benchmark::State& state, bool draws)
{
    Engine engine(640, 480);
    if (!engine.created)
    {
        state.SkipWithError("no graphics device");
        return;
    }
    auto objects = MakeObjects(&engine.graphics, draws);
    CRenderList list("list", 4196, &engine.graphics);
    for (auto _ : state)
    {
        list.Clear();
        for (auto& object : objects)
            list.Add(object.get(), 0);
        list.Draw();
        engine.Finish();
    }
    state.counters["objects"] = static_cast<double>(list.GetQueuedCount());
}

void BM_RenderListFrame(benchmark::State& state)
{
    ListFrames(state, true);
}
BENCHMARK(BM_RenderListFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RenderListOnly(benchmark::State& state)
{
    ListFrames(state, false);
}
BENCHMARK(BM_RenderListOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainOrderFrame(benchmark::State& state)
{
    Engine engine(640, 480);
    if (!engine.created)
    {
        state.SkipWithError("no graphics device");
        return;
    }
    auto objects = MakeObjects(&engine.graphics, true);
    for (auto _ : state)
    {
        engine.graphics.SetZWriteEnable(0);
        for (auto& object : objects)
            object->Render(0);
        engine.graphics.SetZWriteEnable(1);
        engine.Finish();
    }
}
BENCHMARK(BM_PlainOrderFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HdrComposite(benchmark::State& state)
{
    Engine engine(1280, 720);
    CHDRFilter hdr;
    if (!engine.created || !hdr.Create(2048, 2048, FORMAT_A8R8G8B8, FORMAT_D24S8))
    {
        state.SkipWithError("no graphics device or filter");
        return;
    }
    for (auto _ : state)
    {
        hdr.BeginCapture(0);
        hdr.Apply(0);
        engine.Finish();
    }
    hdr.Release();
}
BENCHMARK(BM_HdrComposite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HdrCaptureOnly(benchmark::State& state)
{
    Engine engine(1280, 720);
    CHDRFilter hdr;
    if (!engine.created || !hdr.Create(2048, 2048, FORMAT_A8R8G8B8, FORMAT_D24S8))
    {
        state.SkipWithError("no graphics device or filter");
        return;
    }
    for (auto _ : state)
    {
        hdr.BeginCapture(0);
        engine.Finish();
    }
    hdr.Release();
}
BENCHMARK(BM_HdrCaptureOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainFullScreenCopy(benchmark::State& state)
{
    Engine engine(1280, 720);
    CTexture texture;
    if (!engine.created || !texture.CreateRenderTarget(2048, 2048, USAGE_RENDERTARGET, FORMAT_A8R8G8B8, 0))
    {
        state.SkipWithError("no graphics device or texture");
        return;
    }
    const CRect screen(0.0f, 1280.0f, 0.0f, 720.0f);
    for (auto _ : state)
    {
        texture.DrawRect(&screen.left, &screen.left, 0xFFFFFFFF, 0);
        engine.Finish();
    }
    texture.Release();
}
BENCHMARK(BM_PlainFullScreenCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
}
