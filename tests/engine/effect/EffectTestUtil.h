#pragma once

#include "engine/core/CRandom.h"
#include "engine/effect/CEffect.h"
#include "engine/effect/CEffectContainer.h"
#include "engine/effect/CEffectController.h"
#include "engine/effect/CEffectObject.h"
#include "engine/effect/CParticle.h"
#include "engine/platform/FrameTimer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace effecttest
{
// Frames of a quarter second: effect times add up exactly in binary.
constexpr uint32_t kFrameMs = 250;
constexpr float kFrame = 0.25f;

template <class T>
void AddKey(CKeyFrameList<T>* track, float time, const T& value, float ease = 0.0f)
{
    KVRKEYFRAME<T> key{time, ease, value};
    track->Add(key);
}

inline CkvrLine Offset(float x, float y, float z)
{
    const CkvrVector3 point(x, y, z);
    return CkvrLine(&point, &point);
}

// A bare object of the given kind with the given length.
inline CEffectObject* MakeObject(const char* name, uint8_t kind, float length)
{
    CEffectObject* object = new CEffectObject();
    object->SetName(name);
    object->GetParameters()->kind = kind;
    object->GetParameters()->length = length;
    return object;
}

// Every byte a container saves.
inline std::vector<uint8_t> SaveBytes(const CEffectContainer& container)
{
    char* data = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&data, &size);
    EXPECT_NE(stream, nullptr);
    const int ok = container.SaveToStream(stream);
    std::fclose(stream);
    EXPECT_EQ(ok, 1);
    std::vector<uint8_t> bytes(data, data + size);
    std::free(data);
    return bytes;
}

// Pools of the given sizes, the frame timer at a fixed step.
class EffectFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetFrameTime(kFrameMs);
        SeedRandom(12345);
        ASSERT_EQ(controller.Initialize(nullptr, kEffects, kParticles), 1);
    }
    void TearDown() override
    {
        controller.ReleaseAll();
        EXPECT_EQ(controller.GetEffectPool()->GetUsedCount(), 0u);
        EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 0u);
        container.Release();
    }

    // Runs frames of the controller.
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            controller.Update(0);
    }

    static constexpr uint32_t kEffects = 16;
    static constexpr uint32_t kParticles = 64;
    CEffectController controller;
    CEffectContainer container{"Efc_test"};
};
}
