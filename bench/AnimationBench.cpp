// Skeletal animation and hit-model queries.
//   BM_AnimateControllers: 64 controllers over a 60-bone skeleton, each
//     frame updated by 1/60 s and posed, every controller starting a
//     quarter-second cross-fade to the other animation every 30 frames
//     (staggered, so some are always blending). Goal: under 1 ms a frame on
//     one core; the per_controller_us counter is the cost of one.
//   BM_RayGrid beside BM_RayBrute: probe segments against a 20,000-triangle
//     stage through its 16 x 16 block grid and through every triangle.
//     Goal: the grid at least 20 times the brute-force rate (rays_per_s).
//     Before timing, the grid must give every probe the walk's answer.
#include "engine/core/Collision.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CModelBlock.h"
#include "engine/render/HitModel.h"
#include "tests/engine/render/ModelSamples.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t CONTROLLERS = 64;
constexpr uint32_t BONES = 60;

// Keys every quarter second over one second.
void AddAnimation(CMesh* mesh, const char* name, float sign)
{
    CModelAnimation* animation = new CModelAnimation();
    animation->SetName(name);
    CResourceList<CModelBone*>* bones = mesh->GetBoneList();
    for (uint32_t i = 1; i < bones->GetCount(); ++i)
    {
        tag_KVRBONEANIMATION track = {};
        track.bone = bones->GetItem(i);
        track.boneName = track.bone->GetName();
        track.rotation = new CKeyFrameList<CkvrQuaternion>();
        track.position = new CKeyFrameList<CkvrVector3>();
        track.scaling = new CKeyFrameList<CkvrVector3>();
        track.rotation->SetCount(5);
        track.position->SetCount(5);
        track.scaling->SetCount(1);
        for (uint32_t k = 0; k < 5; ++k)
        {
            const float angle = sign * 0.2f * float(k) + 0.01f * float(i);
            const float time = 1200.0f * float(k);
            *track.rotation->GetAt(k) = {time, 0.0f, CkvrQuaternion(0, std::sin(angle), 0, std::cos(angle))};
            *track.position->GetAt(k) = {time, 0.0f, CkvrVector3(0.0f, 0.1f + 0.01f * float(k), 0.0f)};
        }
        *track.scaling->GetAt(0) = {0.0f, 0.0f, CkvrVector3(1, 1, 1)};
        animation->GetBoneAnimationList()->Add(track);
    }
    mesh->GetAnimationList()->Add(animation);
}

// A spine with limbs: every twelfth bone starts a new branch off the first.
void FillSkeleton(CMesh* mesh)
{
    CModelBone* first = ModelSamples::AddBone(mesh, "Bone1", nullptr);
    CModelBone* root = mesh->GetBoneList()->GetItem(0);
    first->SetParent(root);
    root->GetChildren()->Add(first);
    CModelBone* previous = first;
    for (uint32_t i = 2; i < BONES; ++i)
    {
        CModelBone* parent = (i % 12 == 0) ? first : previous;
        previous = ModelSamples::AddBone(mesh, ("Bone" + std::to_string(i)).c_str(), parent);
        previous->GetLocalMatrix()->m[13] = 0.1f;
    }
    AddAnimation(mesh, "Walk", 1.0f);
    AddAnimation(mesh, "Run", -1.0f);
}

void BM_AnimateControllers(benchmark::State& state)
{
    CMesh mesh;
    FillSkeleton(&mesh);
    std::vector<CAnimationController*> controllers;
    for (uint32_t i = 0; i < CONTROLLERS; ++i)
    {
        controllers.push_back(mesh.CreateAnimationController());
        controllers.back()->ResetPose();
        controllers.back()->Play(i % 2, 0.0f, 1, 0);
    }
    CkvrMatrix world;
    uint32_t frame = 0;
    const CkvrMatrix bind = controllers[0]->GetBoneMatrices()[BONES - 1];
    for (auto _ : state)
    {
        for (uint32_t i = 0; i < CONTROLLERS; ++i)
        {
            CAnimationController* controller = controllers[i];
            if ((frame + i) % 30 == 0)
                controller->Play((frame / 30 + i) % 2, 0.25f, 1, 0);
            controller->Update(1.0f / 60.0f);
            controller->UpdatePose(&world);
        }
        benchmark::DoNotOptimize(controllers[0]->GetBoneMatrices()[BONES - 1].m[12]);
        ++frame;
    }
    state.counters["per_controller_us"] = benchmark::Counter(
        double(state.iterations()) * CONTROLLERS, benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
        benchmark::Counter::kIs1000);
    // The work: every controller moved its skeleton's last bone.
    for (CAnimationController* controller : controllers)
    {
        const CkvrMatrix& posed = controller->GetBoneMatrices()[BONES - 1];
        if (std::memcmp(posed.m, bind.m, sizeof(posed.m)) == 0)
            state.SkipWithError("a controller left its skeleton in the bind pose");
    }
    for (CAnimationController* controller : controllers)
        controller->Release();
}
BENCHMARK(BM_AnimateControllers)->Unit(benchmark::kMicrosecond);

// A 100 x 100-cell grid in the xy plane at z = 0.5: 20,000 triangles.
struct Stage
{
    Stage()
    {
        object = ModelSamples::GridObject("Stage", 100, KVRVERTEX_POSITION);
        object->CreateBlocks(16, 16, 1);
        mesh.GetObjectList()->Add(object);
        // Fixed probes: short slanted segments through the plane.
        uint32_t seed = 12345;
        const auto next = [&seed]() {
            seed = seed * 1664525u + 1013904223u;
            return float(seed >> 8) / float(1u << 24);
        };
        for (int i = 0; i < 1024; ++i)
        {
            const CkvrVector3 start(next() * 98.0f, next() * 98.0f, -2.0f);
            starts.push_back(start);
            ends.push_back(start + CkvrVector3(next() * 2.0f, next() * 2.0f, 5.0f));
        }
    }

    CMesh mesh;
    CModelObject* object = nullptr;
    std::vector<CkvrVector3> starts;
    std::vector<CkvrVector3> ends;
};

// The grid must give the answers of the brute-force walk (for every
// fourth probe: the walk is slow), and the probes must hit.
bool SameAnswers(benchmark::State& state, Stage& stage)
{
    uint32_t hits = 0;
    for (size_t i = 0; i < stage.starts.size(); i += 4)
    {
        CkvrVector3 gridPoint, brutePoint, normal;
        uint32_t gridTriangle = 0, bruteTriangle = 0, range = 0;
        const uint32_t grid = HitSegmentModelGrid(&stage.starts[i], &stage.ends[i], &stage.mesh, HIT_SIDE_BOTH,
                                                  &gridPoint, &normal, &gridTriangle, &range);
        const uint32_t brute = HitSegmentModel(&stage.starts[i], &stage.ends[i], &stage.mesh, HIT_SIDE_BOTH,
                                               &brutePoint, &normal, &bruteTriangle, &range);
        // Triangle numbers count within a block in the grid; the point is
        // the answer both must give.
        if (grid != brute || (grid != 0 && std::memcmp(&gridPoint.x, &brutePoint.x, sizeof(float) * 3) != 0))
        {
            state.SkipWithError(("probe " + std::to_string(i) + ": the grid and the walk disagree").c_str());
            return false;
        }
        hits += grid;
    }
    if (hits == 0)
    {
        state.SkipWithError("no probe hits the stage");
        return false;
    }
    return true;
}

template <class Query>
void RunRays(benchmark::State& state, Query query)
{
    Stage stage;
    if (!SameAnswers(state, stage))
        return;
    size_t i = 0;
    uint32_t hits = 0;
    for (auto _ : state)
    {
        CkvrVector3 point;
        CkvrVector3 normal;
        uint32_t triangle = 0;
        uint32_t range = 0;
        hits += query(&stage.starts[i], &stage.ends[i], &stage.mesh, HIT_SIDE_BOTH, &point, &normal, &triangle, &range);
        i = (i + 1) % stage.starts.size();
    }
    benchmark::DoNotOptimize(hits);
    state.counters["rays_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["hit_share"] = double(hits) / double(state.iterations());
}

void BM_RayGrid(benchmark::State& state)
{
    RunRays(state, HitSegmentModelGrid);
}
BENCHMARK(BM_RayGrid);

void BM_RayBrute(benchmark::State& state)
{
    RunRays(state, HitSegmentModel);
}
BENCHMARK(BM_RayBrute);
}
