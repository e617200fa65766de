// The effect controller at the game's pool sizes (1,536 effects, 4,196
// particles), every slot live.
//
// BM_EffectUpdateFullPools: one CEffectController::Update over the full
// pools (tracks, triggers, particle motion), one core, no drawing; the goal
// is under 2 ms a frame.
// BM_EffectRenderFullPools: the same particles as textured billboards
// queued through the render list, sorted and drawn on the software
// rasterizer; BM_PlainQuadsFullPools: the same quads, same matrices, drawn
// directly in pool order. The list's and the effect walk's cost is the
// difference.
#include "engine/core/CRandom.h"
#include "engine/effect/CEffectContainer.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CCamera.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CTexture.h"
#include "engine/render/RenderClasses.h"
#include "tests/support/HeadlessWindow.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace
{
constexpr uint32_t EFFECTS = 1536;
constexpr uint32_t PARTICLES = 4196;

template <class T>
void AddKey(CKeyFrameList<T>* track, float time, const T& value)
{
    KVRKEYFRAME<T> key{time, 0.0f, value};
    track->Add(key);
}

// A keyframed effect whose one emission of three particles fills the pools.
void MakeContainer(CEffectContainer* container, CTexture* texture)
{
    CEffectObject* object = new CEffectObject();
    object->SetName("Spark");
    object->SetResourceFile("Texture\\Spark.png", texture);
    const CkvrVector3 a(0, 0, 0), b(0, 1, 0);
    AddKey(object->GetPositionTrack(), 0.0f, CkvrLine(&a, &a));
    AddKey(object->GetPositionTrack(), 2.0f, CkvrLine(&b, &b));
    object->GetPositionTrack()->SetLoop(1);
    AddKey(object->GetRotationTrack(), 0.0f, CkvrVector3(0, 0, 0));
    AddKey(object->GetRotationTrack(), 2.0f, CkvrVector3(0, 360, 0));
    AddKey(object->GetColorTrack(), 0.0f, CkvrVector4(1, 1, 1, 1));
    AddKey(object->GetColorTrack(), 2.0f, CkvrVector4(1, 0.5f, 0.2f, 0.8f));
    AddKey(object->GetParticleTrack(), 0.0f, 3u);
    tag_KVRPARTICLEPARAMETER* p = object->GetParticleParameters();
    p->offset = CkvrVector3(0.5f, 0.5f, 0.5f);
    p->direction = CkvrVector3(0, 1, 0);
    p->directionSpread = CkvrVector3(1, 1, 1);
    p->speed = 0.2f;
    p->spin = CkvrVector3(0, 90, 0);
    p->scaleSpread = CkvrVector3(0.2f, 0.2f, 0.2f);
    p->colorDecay = CkvrVector4(0, 0, 0, 0.01f);
    object->GetParameters()->billboard = 2;
    object->GetParameters()->sorted = 1;
    object->GetParameters()->blendMode = 2;
    container->AddObject(object);
}

// Fills both pools and runs the first frame, which emits.
void Fill(CEffectController* controller, CEffectContainer* container)
{
    SetFrameTime(16);
    SeedRandom(1);
    for (uint32_t i = 0; i < EFFECTS; ++i)
    {
        const CkvrVector3 at(float(i % 48) * 0.4f - 9.6f, float(i / 48) * 0.4f - 6.4f, float(i % 7));
        const CkvrVector3 none;
        const CkvrVector3 scale(0.3f, 0.3f, 0.3f);
        container->Play(controller, &at, &none, &scale, 1);
    }
    controller->Update(0);
}

void BM_EffectUpdateFullPools(benchmark::State& state)
{
    CEffectController controller;
    CEffectContainer container("Efc_bench");
    if (!controller.Initialize(nullptr, EFFECTS, PARTICLES))
    {
        state.SkipWithError("pools");
        return;
    }
    MakeContainer(&container, nullptr);
    Fill(&controller, &container);
    for (auto _ : state)
        controller.Update(0);
    state.counters["effects"] = controller.GetEffectPool()->GetUsedCount();
    state.counters["particles"] = controller.GetParticlePool()->GetUsedCount();
    controller.ReleaseAll();
    container.Release();
}
BENCHMARK(BM_EffectUpdateFullPools)->Unit(benchmark::kMillisecond);

struct Engine
{
    Engine()
    {
        RenderClasses::Install();
        window = std::make_unique<HeadlessWindow>(nullptr);
        system.AttachWindow(window.get());
        system.SetClientSize(640, 480, 0);
        created = graphics.Create(&system) != 0;
        if (!created)
            return;
        const float eye[3] = {0, 0, -12};
        const float target[3] = {0, 0, 0};
        const float up[3] = {0, 1, 0};
        camera.SetLookAt(eye, target, up);
        camera.SetProjection(60, -1.0f, 1.0f, 100.0f);
        camera.SetViewport(0, 0, 0, 0);
        camera.Apply();
        graphics.SetCamera(&camera);
        graphics.Begin3D();
        graphics.SetLighting(0);
        created = texture.CreateRenderTarget(8, 8, 0, FORMAT_A8R8G8B8, 1) && texture.Fill(0xFFFFFFFF);
    }
    ~Engine()
    {
        texture.Release();
        graphics.SetCamera(nullptr);
        graphics.Destroy();
        system.Release();
    }
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
    CTexture texture;
    bool created = false;
};

void BM_EffectRenderFullPools(benchmark::State& state)
{
    Engine engine;
    CEffectController controller;
    CEffectContainer container("Efc_bench");
    if (!engine.created || !controller.Initialize(&engine.graphics, EFFECTS, PARTICLES))
    {
        state.SkipWithError("no graphics device");
        return;
    }
    MakeContainer(&container, &engine.texture);
    Fill(&controller, &container);
    CRenderList list("list", PARTICLES + 16, &engine.graphics);
    for (auto _ : state)
    {
        list.Clear();
        controller.Render(&list);
        list.Draw();
        engine.Finish();
    }
    state.counters["drawn"] = list.GetQueuedCount();
    controller.ReleaseAll();
    container.Release();
}
BENCHMARK(BM_EffectRenderFullPools)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainQuadsFullPools(benchmark::State& state)
{
    Engine engine;
    CEffectController controller;
    CEffectContainer container("Efc_bench");
    if (!engine.created || !controller.Initialize(&engine.graphics, EFFECTS, PARTICLES))
    {
        state.SkipWithError("no graphics device");
        return;
    }
    MakeContainer(&container, &engine.texture);
    Fill(&controller, &container);
    // The particles' own world matrices and colours, drawn in pool order.
    CMemoryList<CParticle>& pool = *controller.GetParticlePool();
    const float source[4] = {0, 0, 8, 8};
    for (auto _ : state)
    {
        engine.graphics.SetZWriteEnable(0);
        engine.graphics.SetBlendMode(2);
        for (uint32_t i = 0; i < pool.GetCount(); ++i)
        {
            if (!pool.IsUsed(i))
                continue;
            CParticle* particle = pool.GetAt(i);
            particle->UpdateWorldMatrix();
            engine.texture.DrawPolygon(particle->GetWorldMatrix(), source, 0xFFFFFFFF);
        }
        engine.graphics.SetZWriteEnable(1);
        engine.Finish();
    }
    controller.ReleaseAll();
    container.Release();
}
BENCHMARK(BM_PlainQuadsFullPools)->Unit(benchmark::kMillisecond)->UseRealTime();
}
