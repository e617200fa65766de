// Core math, keyframe and collision speed beside the same work done by glm,
// in glm's float and in its double precision. Our types keep floats but
// compute in double, so glm's double path is the fair baseline: the goal is
// Ours_X no slower than Glm_X<double>, with Glm_X<float> shown beside it.
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

template <typename T>
using Mat4 = glm::mat<4, 4, T>;
template <typename T>
using Vec3 = glm::vec<3, T>;
template <typename T>
using Vec4 = glm::vec<4, T>;

template <typename T>
Mat4<T> GlmMatrix(const CkvrMatrix& m)
{
    // Same sixteen values; glm's columns are our rows.
    Mat4<T> g;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            g[r][c] = T(m.m[r * 4 + c]);
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

template <typename T>
void Glm_MatrixMultiply(benchmark::State& state)
{
    Mat4<T> a = GlmMatrix<T>(OurMatrix(10)), b = GlmMatrix<T>(OurMatrix(20));
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        Mat4<T> r = b * a; // row-vector a * b in glm's column form
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK_TEMPLATE(Glm_MatrixMultiply, float);
BENCHMARK_TEMPLATE(Glm_MatrixMultiply, double);

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

template <typename T>
void Glm_MatrixInverse(benchmark::State& state)
{
    Mat4<T> a = GlmMatrix<T>(OurMatrix(33));
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(a);
        Mat4<T> r = glm::inverse(a);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK_TEMPLATE(Glm_MatrixInverse, float);
BENCHMARK_TEMPLATE(Glm_MatrixInverse, double);

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

template <typename T>
void Glm_Transform10000Points(benchmark::State& state)
{
    std::vector<Vec3<T>> in(kPoints), out(kPoints);
    const std::vector<CkvrVector3> ours = OurPoints();
    for (int i = 0; i < kPoints; ++i)
        in[i] = Vec3<T>(ours[i].x, ours[i].y, ours[i].z);
    const Mat4<T> m = GlmMatrix<T>(OurMatrix(12));
    for (auto _ : state)
    {
        for (int i = 0; i < kPoints; ++i)
            out[i] = Vec3<T>(m * Vec4<T>(in[i], T(1)));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK_TEMPLATE(Glm_Transform10000Points, float);
BENCHMARK_TEMPLATE(Glm_Transform10000Points, double);

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

template <typename T>
void Glm_QuaternionSlerp(benchmark::State& state)
{
    const glm::qua<T> a = glm::angleAxis(glm::radians(T(30)), Vec3<T>(0, 1, 0));
    const glm::qua<T> b = glm::angleAxis(glm::radians(T(120)), glm::normalize(Vec3<T>(1, 1, 0)));
    T t = T(0.37);
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(t);
        glm::qua<T> r = glm::slerp(a, b, t);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK_TEMPLATE(Glm_QuaternionSlerp, float);
BENCHMARK_TEMPLATE(Glm_QuaternionSlerp, double);

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

template <typename T>
struct GlmKey
{
    T time;
    T ease;
    Vec3<T> value;
};

template <typename T>
Vec3<T> GlmEvaluate(const std::vector<GlmKey<T>>& keys, T t)
{
    if (t <= keys.front().time)
        return keys.front().value;
    for (size_t i = 1; i < keys.size(); ++i)
    {
        if (keys[i].time == t)
            return keys[i].value;
        if (keys[i].time > t)
        {
            const GlmKey<T>& a = keys[i - 1];
            T u = (t - a.time) / (keys[i].time - a.time);
            u = (T(1) - a.ease) * u + a.ease * u * u;
            return glm::mix(a.value, keys[i].value, u);
        }
    }
    return keys.back().value;
}

template <typename T>
void Glm_KeyframeEvaluate1000(benchmark::State& state)
{
    std::vector<GlmKey<T>> keys(kKeys);
    for (int i = 0; i < kKeys; ++i)
        keys[i] = GlmKey<T>{T(i), T(0), Vec3<T>(T(i), T(i % 13), T(1))};
    T t = 0;
    for (auto _ : state)
    {
        t += T(37.3);
        if (t > T(kKeys))
            t -= T(kKeys);
        Vec3<T> v = GlmEvaluate(keys, t);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK_TEMPLATE(Glm_KeyframeEvaluate1000, float);
BENCHMARK_TEMPLATE(Glm_KeyframeEvaluate1000, double);

// Collision: a small field of shapes tested pairwise per iteration, ours one
// shape against the whole field per call.
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
            hits += HitSphereSpheres(&s[i * 4], s.data(), kShapes, nullptr);
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kShapes * kShapes);
}
BENCHMARK(Ours_SphereSphere);

template <typename T>
void Glm_SphereSphere(benchmark::State& state)
{
    std::vector<Vec4<T>> s(kShapes);
    for (int i = 0; i < kShapes; ++i)
        s[i] = Vec4<T>(T(i % 8), T(i / 8), T(0.5) * T(i % 3), T(0.6f));
    for (auto _ : state)
    {
        uint32_t hits = 0;
        for (int i = 0; i < kShapes; ++i)
            for (int j = 0; j < kShapes; ++j)
            {
                const T r = s[i].w + s[j].w;
                hits += glm::distance2(Vec3<T>(s[i]), Vec3<T>(s[j])) <= r * r ? 1u : 0u;
            }
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kShapes * kShapes);
}
BENCHMARK_TEMPLATE(Glm_SphereSphere, float);
BENCHMARK_TEMPLATE(Glm_SphereSphere, double);

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

template <typename T>
void Glm_BoxBox(benchmark::State& state)
{
    std::vector<Vec3<T>> mn(kShapes), mx(kShapes);
    for (int i = 0; i < kShapes; ++i)
    {
        mn[i] = Vec3<T>(T(i % 8), T(i / 8), T(0.5) * T(i % 3));
        mx[i] = mn[i] + Vec3<T>(T(0.9f), T(1.2f), T(0.7f));
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
BENCHMARK_TEMPLATE(Glm_BoxBox, float);
BENCHMARK_TEMPLATE(Glm_BoxBox, double);

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
            hits += HitSegmentSpheres(&a[i], &b[i], s.data(), kShapes, nullptr);
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kShapes * kShapes);
}
BENCHMARK(Ours_SegmentSphere);

template <typename T>
uint32_t GlmSegmentSphere(const Vec3<T>& start, const Vec3<T>& end, const Vec4<T>& sphere)
{
    const Vec3<T> d = end - start;
    const Vec3<T> w = Vec3<T>(sphere) - start;
    const T k = glm::dot(d, w);
    const T rr = sphere.w * sphere.w;
    const T dd = glm::dot(d, d);
    if (k < T(0) || dd == T(0))
        return glm::length2(w) < rr ? 1u : 0u;
    if (k > dd)
        return glm::distance2(Vec3<T>(sphere), end) < rr ? 1u : 0u;
    return glm::length2(w) - k * k / dd < rr ? 1u : 0u;
}

template <typename T>
void Glm_SegmentSphere(benchmark::State& state)
{
    std::vector<Vec4<T>> s(kShapes);
    std::vector<Vec3<T>> a(kShapes), b(kShapes);
    for (int i = 0; i < kShapes; ++i)
    {
        s[i] = Vec4<T>(T(i % 8), T(i / 8), T(0), T(0.4f));
        a[i] = Vec3<T>(T(-1), T(float(i) * 0.11f), T(-0.3f));
        b[i] = Vec3<T>(T(9), T(8.0f - float(i) * 0.1f), T(0.3f));
    }
    for (auto _ : state)
    {
        uint32_t hits = 0;
        for (int i = 0; i < kShapes; ++i)
            for (int j = 0; j < kShapes; ++j)
                hits += GlmSegmentSphere<T>(a[i], b[i], s[j]);
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kShapes * kShapes);
}
BENCHMARK_TEMPLATE(Glm_SegmentSphere, float);
BENCHMARK_TEMPLATE(Glm_SegmentSphere, double);
}
