#include "tests/engine/effect/EffectTestUtil.h"

#include "engine/platform/CPrimitiveList.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CTexture.h"
#include "tests/engine/render/RenderGraphics.h"

#include <cmath>

using namespace effecttest;

namespace
{
// Clip space is world space here (identity view and projection), so a
// world unit is half the 64-pixel frame.
class EffectDraw : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        device = graphics.GetDevice();
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        device->SetTransform(TRANSFORM_VIEW, identity);
        device->SetTransform(TRANSFORM_PROJECTION, identity);
        graphics.Begin3D();
        graphics.SetLighting(0);
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        SetFrameTime(kFrameMs);
        SeedRandom(99);
        ASSERT_EQ(controller.Initialize(&graphics, 16, 64), 1);
        ASSERT_EQ(texture.CreateRenderTarget(4, 4, 0, FORMAT_A8R8G8B8, 1), 1);
        ASSERT_EQ(texture.Fill(0xFFFFFFFF), 1);
    }
    void TearDown() override
    {
        controller.ReleaseAll();
        container.Release();
        texture.Release();
    }

    CEffectObject* Sorted(const char* name)
    {
        CEffectObject* object = MakeObject(name, 0, 0.0f);
        object->GetParameters()->sorted = 1;
        object->GetParameters()->blendMode = 2;
        return object;
    }

    // Updates the frames, then draws the effects through the render list.
    void FramesAndDraw(int frames)
    {
        for (int i = 0; i < frames; ++i)
            controller.Update(0);
        CRenderList list("list", 64, &graphics);
        list.Clear();
        controller.Render(&list);
        EXPECT_GT(list.GetQueuedCount(), 0u) << "sorted particles queue, not draw";
        EXPECT_EQ(Lit(32, 32) + Lit(10, 32) + Lit(32, 10), 0) << "nothing drawn before the list draws";
        list.Draw();
    }

    int Lit(int x, int y) { return (headless.Pixel(x, y) & 0x00FFFFFF) != 0 ? 1 : 0; }

    RenderGraphics headless{64, 64};
    CGraphics& graphics = headless.Graphics();
    GraphicsDevice* device = nullptr;
    CEffectController controller;
    CEffectContainer container{"Efc_draw"};
    CTexture texture;
};
}

TEST_F(EffectDraw, ParticleBurstLandsOnItsRing)
{
    CEffectObject* burst = Sorted("Burst");
    burst->SetResourceFile("Texture\\Spark.png", &texture);
    EXPECT_FLOAT_EQ(burst->GetRectTrack()->GetDefault().right, 4.0f);
    AddKey(burst->GetParticleTrack(), 0.0f, 6u);
    // Offsets of 0.5 turned about z by random angles: a ring of radius 16 px.
    burst->GetParticleParameters()->offset = CkvrVector3(0, 2.5f, 0);
    container.AddObject(burst);
    const CkvrVector3 at(0, 0, 0.5f);
    const CkvrVector3 none;
    const CkvrVector3 scale(0.2f, 0.2f, 0.2f);
    ASSERT_NE(container.Play(&controller, &at, &none, &scale, 1), nullptr);
    FramesAndDraw(1);

    int lit = 0;
    for (int y = 0; y < 64; ++y)
    {
        for (int x = 0; x < 64; ++x)
        {
            if (!Lit(x, y))
                continue;
            ++lit;
            const double r = std::hypot(x + 0.5 - 32.0, y + 0.5 - 32.0);
            EXPECT_NEAR(r, 16.0, 6.0) << x << "," << y;
        }
    }
    // Six quads of about 6 x 6 pixels, some perhaps overlapping.
    EXPECT_GT(lit, 30);
    EXPECT_LT(lit, 6 * 60);
}

TEST_F(EffectDraw, TrailFollowsAMovingParticle)
{
    CEffectObject* mover = Sorted("Mover");
    AddKey(mover->GetParticleTrack(), 0.0f, 1u);
    mover->GetParticleParameters()->direction = CkvrVector3(1, 0, 0);
    mover->GetParticleParameters()->speed = 1.0f;
    tag_KVRPARTICLETRACEDATA trace{};
    trace.firstEdge = CkvrVector3(0, 0.1f, 0);
    trace.secondEdge = CkvrVector3(0, -0.1f, 0);
    trace.segments = 8;
    ASSERT_EQ(mover->AddTrace(trace), 1);
    container.AddObject(mover);
    const CkvrVector3 at(-0.6f, 0, 0.5f);
    ASSERT_NE(container.Play(&controller, &at, 1), nullptr);
    FramesAndDraw(4);

    CParticle* particle = controller.GetFirstEffect()->GetFirstParticle();
    ASSERT_NE(particle, nullptr);
    CPrimitiveList* ribbon = *particle->GetTrailLists()->GetAt(0);
    EXPECT_EQ(ribbon->GetDrawCount(), 8u) << "two records a frame";
    // The ribbon runs from x = -0.35 (first update) to 0.4 (now).
    EXPECT_EQ(Lit(32, 32), 1);
    EXPECT_EQ(Lit(40, 32), 1);
    EXPECT_EQ(Lit(5, 32), 0);
    EXPECT_EQ(Lit(60, 32), 0);
    EXPECT_EQ(Lit(32, 12), 0);
    EXPECT_EQ(Lit(32, 52), 0);
}
