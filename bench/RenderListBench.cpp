// The render list and the HDR filter on the software rasterizer.
//
// BM_RenderListFrame: 2,000 objects added, sorted and drawn through the
// list each frame; BM_PlainOrderFrame: the same draws in the order they
// were made, without the list. The list's own cost is the difference.
// BM_RenderListOnly: adding and sorting alone (objects that draw nothing).
//
// BM_HdrComposite: the HDR filter's capture and composite at 1280x720 with
// the 2048x2048 targets the game asks for, of a frame with a scene and
// glowing sprites (every pass of the glow runs); BM_HdrCompositeNothingGlows
// the same frame without the sprites (the battle's frame today);
// BM_HdrCaptureOnly its capture (the clears) alone; BM_PlainFullScreenCopy:
// one full-screen textured copy at the same size.
//
// Before timing, the list must queue every object and its frame must cover
// what the plain order covers; the filter's composite of a grey scene and
// the copy of a grey texture must both cover the screen.
#include "bench/support/BenchGraphics.h"
#include "engine/core/CRect.h"
#include "engine/render/CCamera.h"
#include "engine/render/CHDRFilter.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CTexture.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <chrono>
#include <memory>
#include <vector>

namespace
{
constexpr uint32_t OBJECTS = 2000;
constexpr uint32_t BLACK = 0xFF000000;

// A graphics object of the given size with the 3D camera the list sorts
// by, in 2D mode for the screen quads.
struct Engine
{
    Engine(int width, int height) : graphics(width, height)
    {
        if (!graphics.Created())
            return;
        const float eye[3] = {0, 0, -10};
        const float target[3] = {0, 0, 0};
        const float up[3] = {0, 1, 0};
        camera.SetLookAt(eye, target, up);
        camera.SetProjection(60, -1.0f, 1.0f, 100.0f);
        camera.SetViewport(0, 0, 0, 0);
        camera.Apply();
        graphics.Graphics().Begin2D();
        created = true;
    }
    void Clear() { graphics.Device().Clear(CLEAR_TARGET | CLEAR_ZBUFFER, BLACK, 1.0f, 0); }

    BenchGraphics graphics;
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
    for (uint32_t i = 0; i < OBJECTS; ++i)
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

// Every object through the list: added, sorted, drawn. Returns the
// objects queued.
uint32_t ListFrame(Engine& engine, CRenderList& list, std::vector<std::unique_ptr<QuadObject>>& objects)
{
    engine.Clear();
    list.Clear();
    for (auto& object : objects)
        list.Add(object.get(), 0);
    list.Draw();
    const uint32_t queued = list.GetQueuedCount();
    engine.graphics.Finish();
    return queued;
}

// The same draws in the order they were made, without the list.
void PlainOrderFrame(Engine& engine, std::vector<std::unique_ptr<QuadObject>>& objects)
{
    engine.Clear();
    engine.graphics.Graphics().SetZWriteEnable(0);
    for (auto& object : objects)
        object->Render(0);
    engine.graphics.Graphics().SetZWriteEnable(1);
    engine.graphics.Finish();
}

// The work and the picture: the list queues every object, and its frame
// covers the pixels the plain order covers (the order differs, the quads
// do not).
bool ListChecked(benchmark::State& state, Engine& engine)
{
    if (!engine.created)
    {
        state.SkipWithError("no graphics device");
        return false;
    }
    auto objects = MakeObjects(&engine.graphics.Graphics(), true);
    CRenderList list("list", 4196, &engine.graphics.Graphics());
    if (ListFrame(engine, list, objects) != OBJECTS)
    {
        state.SkipWithError("the list did not queue every object");
        return false;
    }
    const std::vector<uint32_t> listed = engine.graphics.ReadBack();
    PlainOrderFrame(engine, objects);
    return CheckCoverage(state, listed, engine.graphics.ReadBack(), BLACK, 0.0);
}

void ListFrames(benchmark::State& state, bool draws)
{
    Engine engine(640, 480);
    if (!ListChecked(state, engine))
        return;
    auto objects = MakeObjects(&engine.graphics.Graphics(), draws);
    CRenderList list("list", 4196, &engine.graphics.Graphics());
    uint32_t queued = 0;
    for (auto _ : state)
        queued = ListFrame(engine, list, objects);
    state.counters["objects"] = static_cast<double>(queued);
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
    if (!ListChecked(state, engine))
        return;
    auto objects = MakeObjects(&engine.graphics.Graphics(), true);
    for (auto _ : state)
        PlainOrderFrame(engine, objects);
}
BENCHMARK(BM_PlainOrderFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// A frame through the filter as the game draws one: the capture, a scene
// over the whole screen drawn into the scene target (and, when it glows, a
// few glowing sprites into the glow target), the composite. Only the
// capture and the composite are timed, each waited for to the end; the
// copy of a grey texture over the same screen is the baseline. Before
// timing, the filter's composite of a grey scene and the copy must both
// cover the screen.
struct HdrScene
{
    HdrScene() : engine(kHdrWidth, kHdrHeight)
    {
        ready = engine.created && hdr.Create(2048, 2048, FORMAT_A8R8G8B8, FORMAT_D24S8) &&
                copy.CreateRenderTarget(2048, 2048, USAGE_RENDERTARGET, FORMAT_A8R8G8B8, 0) && copy.Fill(GREY);
    }
    ~HdrScene()
    {
        hdr.Release();
        copy.Release();
    }
    // Waits until every target's drawing is done, not only the window's.
    static void FinishAll() { glFinish(); }

    void DrawPicture(bool glowing)
    {
        CGraphics& graphics = engine.graphics.Graphics();
        const CRect screen(0.0f, static_cast<float>(kHdrWidth), 0.0f, static_cast<float>(kHdrHeight));
        hdr.SetRenderTarget(0);
        graphics.SetBlendMode(1);
        copy.DrawRect(&screen.left, &screen.left, 0xFFFFFFFF, 0);
        if (glowing)
        {
            struct Vertex
            {
                float x, y, z, rhw;
                uint32_t color;
            };
            hdr.SetRenderTarget(1);
            graphics.SetTexture(nullptr);
            graphics.SetFVF(FVF_XYZRHW | FVF_DIFFUSE);
            for (int i = 0; i < kSparks; ++i)
            {
                const float x = 80.0f + static_cast<float>(i % 4) * 320.0f;
                const float y = 120.0f + static_cast<float>(i / 4) * 400.0f;
                const Vertex quad[4] = {{x, y, 0, 1, 0xFFFFE080}, {x + 64, y, 0, 1, 0xFFFFE080},
                                        {x + 64, y + 64, 0, 1, 0xFFFF8020}, {x, y + 64, 0, 1, 0xFFFF8020}};
                graphics.DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof(Vertex));
            }
        }
        graphics.RestoreRenderTarget();
    }

    // One frame; the seconds the capture and the composite took.
    double Frame(bool glowing)
    {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point captureStart = Clock::now();
        hdr.BeginCapture(0);
        FinishAll();
        const Clock::time_point captureEnd = Clock::now();
        DrawPicture(glowing);
        FinishAll();
        const Clock::time_point applyStart = Clock::now();
        hdr.Apply(0);
        FinishAll();
        const Clock::time_point applyEnd = Clock::now();
        return std::chrono::duration<double>((captureEnd - captureStart) + (applyEnd - applyStart)).count();
    }

    void Copy()
    {
        const CRect screen(0.0f, static_cast<float>(kHdrWidth), 0.0f, static_cast<float>(kHdrHeight));
        copy.DrawRect(&screen.left, &screen.left, 0xFFFFFFFF, 0);
        engine.graphics.Finish();
    }
    bool Checked(benchmark::State& state)
    {
        if (!ready)
        {
            state.SkipWithError("no graphics device or filter");
            return false;
        }
        engine.Clear();
        hdr.BeginCapture(0);
        DrawPicture(false);
        hdr.Apply(0);
        const std::vector<uint32_t> composited = engine.graphics.ReadBack();
        engine.Clear();
        Copy();
        return CheckCoverage(state, composited, engine.graphics.ReadBack(), BLACK, 0.0);
    }

    static constexpr int kHdrWidth = 1280;
    static constexpr int kHdrHeight = 720;
    static constexpr int kSparks = 8;
    static constexpr uint32_t GREY = 0xFF808080;
    Engine engine;
    CHDRFilter hdr;
    CTexture copy;
    bool ready = false;
};

void HdrFrames(benchmark::State& state, bool glowing)
{
    HdrScene scene;
    if (!scene.Checked(state))
        return;
    for (auto _ : state)
        state.SetIterationTime(scene.Frame(glowing));
    state.counters["whole_texels"] = scene.hdr.TakesWholeTexels() ? 1.0 : 0.0;
}

// The frame whose glow target holds glowing sprites: every pass runs.
void BM_HdrComposite(benchmark::State& state)
{
    HdrFrames(state, true);
}
BENCHMARK(BM_HdrComposite)->Unit(benchmark::kMillisecond)->UseManualTime();

// The frame the battle draws today: a scene, nothing glowing.
void BM_HdrCompositeNothingGlows(benchmark::State& state)
{
    HdrFrames(state, false);
}
BENCHMARK(BM_HdrCompositeNothingGlows)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_HdrCaptureOnly(benchmark::State& state)
{
    HdrScene scene;
    if (!scene.Checked(state))
        return;
    for (auto _ : state)
    {
        // The scene drawn each frame: the capture has it to clear.
        scene.DrawPicture(false);
        HdrScene::FinishAll();
        const auto start = std::chrono::steady_clock::now();
        scene.hdr.BeginCapture(0);
        HdrScene::FinishAll();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_HdrCaptureOnly)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_PlainFullScreenCopy(benchmark::State& state)
{
    HdrScene scene;
    if (!scene.Checked(state))
        return;
    for (auto _ : state)
        scene.Copy();
}
BENCHMARK(BM_PlainFullScreenCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
}
