#include "tests/engine/effect/EffectTestUtil.h"

#include <cstring>

using namespace effecttest;

namespace
{
uint64_t Mix(uint64_t hash, const void* data, size_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

// Hash of every particle's placement, frame by frame.
std::vector<uint64_t> RunSpray(uint32_t seed)
{
    SetFrameTime(16);
    SeedRandom(seed);
    CEffectController controller;
    EXPECT_EQ(controller.Initialize(nullptr, 8, 256), 1);
    CEffectContainer container("Efc_spray");
    CEffectObject* object = MakeObject("Spray", 0, 0.0f);
    AddKey(object->GetParticleTrack(), 0.0f, 5u);
    AddKey(object->GetParticleTrack(), 0.1f, 5u);
    object->GetParticleTrack()->SetLoop(1);
    tag_KVRPARTICLEPARAMETER* p = object->GetParticleParameters();
    p->life = 0.5f;
    p->offset = CkvrVector3(1, 0.5f, 0.25f);
    p->positionSpread = CkvrVector3(0.2f, 0.2f, 0.2f);
    p->rotationSpread = CkvrVector3(30, 30, 30);
    p->scaleSpread = CkvrVector3(0.3f, 0.3f, 0.3f);
    p->direction = CkvrVector3(0, 1, 0);
    p->directionSpread = CkvrVector3(0.5f, 0.1f, 0.5f);
    p->spin = CkvrVector3(0, 180, 0);
    p->colorSpread = CkvrVector4(0.1f, 0.1f, 0.1f, 0.2f);
    p->speed = 4.0f;
    p->speedSpread = 1.0f;
    p->gravity = -9.8f;
    container.AddObject(object);
    const CkvrVector3 at(1, 2, 3);
    container.Play(&controller, &at, 1);

    std::vector<uint64_t> hashes;
    for (int frame = 0; frame < 90; ++frame)
    {
        controller.Update(0);
        uint64_t hash = 1469598103934665603ull;
        CMemoryList<CParticle>& pool = *controller.GetParticlePool();
        for (uint32_t i = 0; i < pool.GetCount(); ++i)
        {
            if (!pool.IsUsed(i))
                continue;
            CParticle* particle = pool.GetAt(i);
            hash = Mix(hash, &i, sizeof(i));
            hash = Mix(hash, particle->GetPosition(), sizeof(CkvrVector3));
            hash = Mix(hash, particle->GetRotation(), sizeof(CkvrVector3));
            hash = Mix(hash, particle->GetScale(), sizeof(CkvrVector3));
            hash = Mix(hash, particle->GetColor(), sizeof(CkvrVector4));
        }
        hashes.push_back(hash);
    }
    controller.ReleaseAll();
    container.Release();
    return hashes;
}
}

TEST(EffectDeterminism, SameSeedGivesTheSameParticlesFrameByFrame)
{
    const std::vector<uint64_t> first = RunSpray(2024);
    const std::vector<uint64_t> second = RunSpray(2024);
    EXPECT_EQ(first, second);
    EXPECT_NE(first, RunSpray(2025)) << "the particles do draw from the stream";
}
