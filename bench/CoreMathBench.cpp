// Core math, keyframe and collision speed beside the same work done by glm.
// Each pair is named Ours/... and Glm/...; the goal is Ours no slower.
#include "engine/core/CKeyFrameList.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrQuaternion.h"
#include "engine/core/Collision.h"

#include <benchmark/benchmark.h>

#define GLM_ENABLE_EXPERIMENTAL
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtx/norm.hpp>

#include <vector>

namespace
{
constexpr int kPoints = 10000;
constexpr int kKeys = 1000;

CkvrMatrix OurMatrix(float seed)
{
    CkvrMatrix m;
    m.SetRotationZXY(seed, seed * 2.0f, seed * 3.0f);
    const CkvrVector3 move(seed, -seed, 2.0f * seed);
    CkvrMatrix t;
    t.SetTranslation(&move);
    return m * t;
}

glm::mat4 GlmMatrix(const CkvrMatrix& m)
{
    // Same sixteen floats; glm's columns are our rows.
    glm::mat4 g;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            g[r][c] = m.m[r * 4 + c];
    return g;
}

std::vector<CkvrVector3> OurPoints()
{
    std::vector<CkvrVector3> p(kPoints);
    for (int i = 0; i < kPoints; ++i)
        p[i] = CkvrVector3(float(i % 97), float(i % 31) - 15.0f, float(i % 7) * 0.5f);
    return p;
}

void Ours_MatrixMultiply(benchmark::State& state)
{
    CkvrMatrix a = OurMatrix(10), b = OurMatrix(20);
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        CkvrMatrix r = a * b;
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(Ours_MatrixMultiply);

void Glm_MatrixMultiply(benchmark::State& state)
{
    glm::mat4 a = GlmMatrix(OurMatrix(10)), b = GlmMatrix(OurMatrix(20));
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        glm::mat4 r = b * a; // row-vector a * b in glm's column form
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(Glm_MatrixMultiply);

void Ours_MatrixInverse(benchmark::State& state)
{
    CkvrMatrix a = OurMatrix(33);
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(a);
        CkvrMatrix r = a.GetInverse();
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(Ours_MatrixInverse);

void Glm_MatrixInverse(benchmark::State& state)
{
    glm::mat4 a = GlmMatrix(OurMatrix(33));
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(a);
        glm::mat4 r = glm::inverse(a);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(Glm_MatrixInverse);

void Ours_Transform10000Points(benchmark::State& state)
{
    const std::vector<CkvrVector3> in = OurPoints();
    std::vector<CkvrVector3> out(kPoints);
    const CkvrMatrix m = OurMatrix(12);
    for (auto _ : state)
    {
        m.TransformArray(in.data(), out.data(), kPoints);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(Ours_Transform10000Points);

void Glm_Transform10000Points(benchmark::State& state)
{
    std::vector<glm::vec3> in(kPoints), out(kPoints);
    const std::vector<CkvrVector3> ours = OurPoints();
    for (int i = 0; i < kPoints; ++i)
        in[i] = glm::vec3(ours[i].x, ours[i].y, ours[i].z);
    const glm::mat4 m = GlmMatrix(OurMatrix(12));
    for (auto _ : state)
    {
        for (int i = 0; i < kPoints; ++i)
            out[i] = glm::vec3(m * glm::vec4(in[i], 1.0f));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(Glm_Transform10000Points);

void Ours_QuaternionSlerp(benchmark::State& state)
{
    CkvrQuaternion a, b, r;
    const CkvrVector3 axisA(0, 1, 0), axisB = CkvrVector3(1, 1, 0).GetNormal();
    a.SetRotationAxis(30, &axisA);
    b.SetRotationAxis(120, &axisB);
    float t = 0.37f;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(t);
        r.Slerp(&a, &b, t);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(Ours_QuaternionSlerp);

void Glm_QuaternionSlerp(benchmark::State& state)
{
    const glm::quat a = glm::angleAxis(glm::radians(30.0f), glm::vec3(0, 1, 0));
    const glm::quat b = glm::angleAxis(glm::radians(120.0f), glm::normalize(glm::vec3(1, 1, 0)));
    float t = 0.37f;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(t);
        glm::quat r = glm::slerp(a, b, t);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(Glm_QuaternionSlerp);

// 1,000 keys, evaluated at times spread over the whole track.
void Ours_KeyframeEvaluate1000(benchmark::State& state)
{
    CKeyFrameList<CkvrVector3> track;
    track.SetCount(kKeys);
    for (int i = 0; i < kKeys; ++i)
        *track.GetAt(i) = KVRKEYFRAME<CkvrVector3>{float(i), 0.0f, CkvrVector3(float(i), float(i % 13), 1.0f)};
    float t = 0.0f;
    CkvrVector3 v;
    for (auto _ : state)
    {
        t += 37.3f;
        if (t > float(kKeys))
            t -= float(kKeys);
        track.GetValueAt(t, &v, 1);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(Ours_KeyframeEvaluate1000);

struct GlmKey
{
    float time;
    float ease;
    glm::vec3 value;
};

glm::vec3 GlmEvaluate(const std::vector<GlmKey>& keys, float t)
{
    if (t <= keys.front().time)
        return keys.front().value;
    for (size_t i = 1; i < keys.size(); ++i)
    {
        if (keys[i].time == t)
            return keys[i].value;
        if (keys[i].time > t)
        {
            const GlmKey& a = keys[i - 1];
            float u = (t - a.time) / (keys[i].time - a.time);
            u = (1.0f - a.ease) * u + a.ease * u * u;
            return glm::mix(a.value, keys[i].value, u);
        }
    }
    return keys.back().value;
}

void Glm_KeyframeEvaluate1000(benchmark::State& state)
{
    std::vector<GlmKey> keys(kKeys);
    for (int i = 0; i < kKeys; ++i)
        keys[i] = GlmKey{float(i), 0.0f, glm::vec3(float(i), float(i % 13), 1.0f)};
    float t = 0.0f;
    for (auto _ : state)
    {
        t += 37.3f;
        if (t > float(kKeys))
            t -= float(kKeys);
        glm::vec3 v = GlmEvaluate(keys, t);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(Glm_KeyframeEvaluate1000);

// Collision: a small field of shapes tested pairwise per iteration.
constexpr int kShapes = 64;

void Ours_SphereSphere(benchmark::State& state)
{
    std::vector<float> s(kShapes * 4);
    for (int i = 0; i < kShapes; ++i)
    {
        s[i * 4 + 0] = float(i % 8);
        s[i * 4 + 1] = float(i / 8);
        s[i * 4 + 2] = 0.5f * float(i % 3);
        s[i * 4 + 3] = 0.6f;
    }
    for (auto _ : state)
    {
        uint32_t hits = 0;
        for (int i = 0; i < kShapes; ++i)
            for (int j = 0; j < kShapes; ++j)
                hits += HitSphereSphere(&s[i * 4], &s[j * 4]);
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kShapes * kShapes);
}
BENCHMARK(Ours_SphereSphere);

void Glm_SphereSphere(benchmark::State& state)
{
    std::vector<glm::vec4> s(kShapes);
    for (int i = 0; i < kShapes; ++i)
        s[i] = glm::vec4(float(i % 8), float(i / 8), 0.5f * float(i % 3), 0.6f);
    for (auto _ : state)
    {
        uint32_t hits = 0;
        for (int i = 0; i < kShapes; ++i)
            for (int j = 0; j < kShapes; ++j)
            {
                const float r = s[i].w + s[j].w;
                hits += glm::distance2(glm::vec3(s[i]), glm::vec3(s[j])) <= r * r ? 1u : 0u;
            }
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kShapes * kShapes);
}
BENCHMARK(Glm_SphereSphere);

void Ours_BoxBox(benchmark::State& state)
{
    std::vector<float> b(kShapes * 6);
    for (int i = 0; i < kShapes; ++i)
    {
        const float x = float(i % 8), y = float(i / 8), z = 0.5f * float(i % 3);
        const float box[6] = {x, y, z, x + 0.9f, y + 1.2f, z + 0.7f};
        std::copy(box, box + 6, &b[i * 6]);
    }
    for (auto _ : state)
    {
        uint32_t hits = 0;
        for (int i = 0; i < kShapes; ++i)
            for (int j = 0; j < kShapes; ++j)
                hits += HitBoxBox(&b[i * 6], &b[j * 6]);
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kShapes * kShapes);
}
BENCHMARK(Ours_BoxBox);

void Glm_BoxBox(benchmark::State& state)
{
    std::vector<glm::vec3> mn(kShapes), mx(kShapes);
    for (int i = 0; i < kShapes; ++i)
    {
        mn[i] = glm::vec3(float(i % 8), float(i / 8), 0.5f * float(i % 3));
        mx[i] = mn[i] + glm::vec3(0.9f, 1.2f, 0.7f);
    }
    for (auto _ : state)
    {
        uint32_t hits = 0;
        for (int i = 0; i < kShapes; ++i)
            for (int j = 0; j < kShapes; ++j)
                hits += (glm::all(glm::lessThanEqual(mn[j], mx[i])) && glm::all(glm::greaterThanEqual(mx[j], mn[i])))
                            ? 1u
                            : 0u;
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kShapes * kShapes);
}
BENCHMARK(Glm_BoxBox);

void Ours_SegmentSphere(benchmark::State& state)
{
    std::vector<float> s(kShapes * 4);
    std::vector<CkvrVector3> a(kShapes), b(kShapes);
    for (int i = 0; i < kShapes; ++i)
    {
        s[i * 4 + 0] = float(i % 8);
        s[i * 4 + 1] = float(i / 8);
        s[i * 4 + 2] = 0.0f;
        s[i * 4 + 3] = 0.4f;
        a[i] = CkvrVector3(-1.0f, float(i) * 0.11f, -0.3f);
        b[i] = CkvrVector3(9.0f, 8.0f - float(i) * 0.1f, 0.3f);
    }
    for (auto _ : state)
    {
        uint32_t hits = 0;
        for (int i = 0; i < kShapes; ++i)
            for (int j = 0; j < kShapes; ++j)
                hits += HitSegmentSphere(&a[i], &b[i], &s[j * 4]);
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kShapes * kShapes);
}
BENCHMARK(Ours_SegmentSphere);

uint32_t GlmSegmentSphere(const glm::vec3& start, const glm::vec3& end, const glm::vec4& sphere)
{
    const glm::vec3 d = end - start;
    const glm::vec3 w = glm::vec3(sphere) - start;
    const float k = glm::dot(d, w);
    const float rr = sphere.w * sphere.w;
    const float dd = glm::dot(d, d);
    if (k < 0.0f || dd == 0.0f)
        return glm::length2(w) < rr ? 1u : 0u;
    if (k > dd)
        return glm::distance2(glm::vec3(sphere), end) < rr ? 1u : 0u;
    return glm::length2(w) - k * k / dd < rr ? 1u : 0u;
}

void Glm_SegmentSphere(benchmark::State& state)
{
    std::vector<glm::vec4> s(kShapes);
    std::vector<glm::vec3> a(kShapes), b(kShapes);
    for (int i = 0; i < kShapes; ++i)
    {
        s[i] = glm::vec4(float(i % 8), float(i / 8), 0.0f, 0.4f);
        a[i] = glm::vec3(-1.0f, float(i) * 0.11f, -0.3f);
        b[i] = glm::vec3(9.0f, 8.0f - float(i) * 0.1f, 0.3f);
    }
    for (auto _ : state)
    {
        uint32_t hits = 0;
        for (int i = 0; i < kShapes; ++i)
            for (int j = 0; j < kShapes; ++j)
                hits += GlmSegmentSphere(a[i], b[i], s[j]);
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kShapes * kShapes);
}
BENCHMARK(Glm_SegmentSphere);
}
