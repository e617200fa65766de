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
// difference. Before timing, the pools must be full and the two frames must
// cover the same pixels.
#include "bench/support/BenchGraphics.h"
#include "engine/core/CRandom.h"
#include "engine/effect/CEffectContainer.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/FrameTimer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CTexture.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
constexpr uint32_t EFFECTS = 1536;
constexpr uint32_t PARTICLES = 4196;
constexpr uint32_t BLACK = 0xFF000000;
// Billboards turned by the list and quads turned by their own matrices may
// round an edge pixel either way.
constexpr double kEdgeTolerance = 0.01;

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

// The work: every slot of both pools is live.
bool PoolsFull(benchmark::State& state, CEffectController& controller)
{
    if (controller.GetEffectPool()->GetUsedCount() == EFFECTS &&
        controller.GetParticlePool()->GetUsedCount() == PARTICLES)
        return true;
    state.SkipWithError("the pools are not full");
    return false;
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
    if (!PoolsFull(state, controller))
        return;
    for (auto _ : state)
        controller.Update(0);
    state.counters["effects"] = controller.GetEffectPool()->GetUsedCount();
    state.counters["particles"] = controller.GetParticlePool()->GetUsedCount();
    controller.ReleaseAll();
    container.Release();
}
BENCHMARK(BM_EffectUpdateFullPools)->Unit(benchmark::kMillisecond);

// The full pools on a graphics object, drawn either through the render list
// or as plain quads in pool order.
class EffectScene
{
public:
    EffectScene() : m_list("list", PARTICLES + 16, &m_engine.Graphics())
    {
        if (!m_engine.Created())
            return;
        CGraphics& graphics = m_engine.Graphics();
        const float eye[3] = {0, 0, -12};
        const float target[3] = {0, 0, 0};
        const float up[3] = {0, 1, 0};
        m_camera.SetLookAt(eye, target, up);
        m_camera.SetProjection(60, -1.0f, 1.0f, 100.0f);
        m_camera.SetViewport(0, 0, 0, 0);
        m_camera.Apply();
        graphics.SetCamera(&m_camera);
        graphics.Begin3D();
        graphics.SetLighting(0);
        if (!m_texture.CreateRenderTarget(8, 8, 0, FORMAT_A8R8G8B8, 1) || !m_texture.Fill(0xFFFFFFFF) ||
            !m_controller.Initialize(&graphics, EFFECTS, PARTICLES))
            return;
        MakeContainer(&m_container, &m_texture);
        Fill(&m_controller, &m_container);
        m_ready = true;
    }
    ~EffectScene()
    {
        m_controller.ReleaseAll();
        m_container.Release();
        m_texture.Release();
    }
    bool Ready() const { return m_ready; }
    CEffectController& Controller() { return m_controller; }

    // Through the list: queued by the effect walk, sorted, drawn. Returns
    // the objects queued.
    uint32_t ListFrame()
    {
        m_engine.Device().Clear(CLEAR_TARGET | CLEAR_ZBUFFER, BLACK, 1.0f, 0);
        m_list.Clear();
        m_controller.Render(&m_list);
        m_list.Draw();
        const uint32_t queued = m_list.GetQueuedCount();
        m_engine.Finish();
        return queued;
    }
    // The particles' own world matrices and colours, drawn in pool order.
    void PlainFrame()
    {
        CGraphics& graphics = m_engine.Graphics();
        m_engine.Device().Clear(CLEAR_TARGET | CLEAR_ZBUFFER, BLACK, 1.0f, 0);
        CMemoryList<CParticle>& pool = *m_controller.GetParticlePool();
        const float source[4] = {0, 0, 8, 8};
        graphics.SetZWriteEnable(0);
        graphics.SetBlendMode(2);
        for (uint32_t i = 0; i < pool.GetCount(); ++i)
        {
            if (!pool.IsUsed(i))
                continue;
            CParticle* particle = pool.GetAt(i);
            particle->UpdateWorldMatrix();
            m_texture.DrawPolygon(particle->GetWorldMatrix(), source, 0xFFFFFFFF);
        }
        graphics.SetZWriteEnable(1);
        m_engine.Finish();
    }
    std::vector<uint32_t> Picture() { return m_engine.ReadBack(); }

private:
    BenchGraphics m_engine{640, 480};
    CCamera m_camera;
    CTexture m_texture;
    CEffectController m_controller;
    CEffectContainer m_container{"Efc_bench"};
    CRenderList m_list;
    bool m_ready = false;
};

// The work and the picture: both pools full, and the list's frame covers
// the pixels the plain quads cover (the order differs, the quads do not).
bool Checked(benchmark::State& state, EffectScene& scene)
{
    if (!scene.Ready())
    {
        state.SkipWithError("no graphics device");
        return false;
    }
    if (!PoolsFull(state, scene.Controller()))
        return false;
    scene.ListFrame();
    const std::vector<uint32_t> listed = scene.Picture();
    scene.PlainFrame();
    return CheckCoverage(state, listed, scene.Picture(), BLACK, kEdgeTolerance);
}

void BM_EffectRenderFullPools(benchmark::State& state)
{
    EffectScene scene;
    if (!Checked(state, scene))
        return;
    uint32_t queued = 0;
    for (auto _ : state)
        queued = scene.ListFrame();
    state.counters["drawn"] = queued;
}
BENCHMARK(BM_EffectRenderFullPools)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainQuadsFullPools(benchmark::State& state)
{
    EffectScene scene;
    if (!Checked(state, scene))
        return;
    for (auto _ : state)
        scene.PlainFrame();
}
BENCHMARK(BM_PlainQuadsFullPools)->Unit(benchmark::kMillisecond)->UseRealTime();
}
