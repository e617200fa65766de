#include "tests/engine/effect/EffectTestUtil.h"

using namespace effecttest;

namespace
{
class EffectPool : public EffectFixture
{
protected:
    void AddObjects(int count, float length = 1.0f)
    {
        for (int i = 0; i < count; ++i)
            container.AddObject(MakeObject(("Object" + std::to_string(i)).c_str(), 0, length));
    }
    uint32_t UsedEffects() { return controller.GetEffectPool()->GetUsedCount(); }
};
}

TEST_F(EffectPool, ThreeRootsPutOneEntryOnTheLiveChain)
{
    AddObjects(3);
    CEffect* first = container.Play(&controller, 1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(controller.GetFirstEffect(), first);
    EXPECT_EQ(first->GetNextLive(), nullptr);
    CEffect* second = first->GetNextSibling();
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second->GetNextSibling(), nullptr);
    EXPECT_EQ(second->GetNextSibling()->GetNextSibling(), nullptr);
    EXPECT_EQ(UsedEffects(), 3u);

    // A second play goes in front.
    CEffect* again = container.Play(&controller, 1);
    EXPECT_EQ(controller.GetFirstEffect(), again);
    EXPECT_EQ(again->GetNextLive(), first);
    EXPECT_EQ(first->GetPreviousLive(), again);

    // Unregistered plays stay off the chain.
    CEffect* loose = container.Play(&controller, 0);
    ASSERT_NE(loose, nullptr);
    EXPECT_EQ(controller.GetFirstEffect(), again);
    loose->Release();
}

TEST_F(EffectPool, FullPoolStartsWhatFitsAndRecoversWhenEffectsFinish)
{
    AddObjects(3, 0.5f);
    ASSERT_EQ(controller.Initialize(nullptr, 5, 8), 1);
    ASSERT_NE(container.Play(&controller, 1), nullptr);
    // Two slots left: two of three objects start.
    CEffect* partial = container.Play(&controller, 1);
    ASSERT_NE(partial, nullptr);
    ASSERT_NE(partial->GetNextSibling(), nullptr);
    EXPECT_EQ(partial->GetNextSibling()->GetNextSibling(), nullptr);
    EXPECT_EQ(container.Play(&controller, 1), nullptr) << "no slot left";
    EXPECT_EQ(UsedEffects(), 5u);

    // 0.5 s effects finish in the third quarter-second frame.
    Frames(2);
    EXPECT_EQ(UsedEffects(), 5u);
    Frames(1);
    EXPECT_EQ(UsedEffects(), 0u);
    EXPECT_EQ(controller.GetFirstEffect(), nullptr);
    EXPECT_NE(container.Play(&controller, 1), nullptr);
}

TEST_F(EffectPool, LowestFreeSlotIsTakenFirst)
{
    ASSERT_EQ(controller.Initialize(nullptr, 2, 2), 1);
    CEffect* a = controller.AllocEffect();
    CEffect* b = controller.AllocEffect();
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(controller.AllocEffect(), nullptr);
    a->Release();
    EXPECT_EQ(controller.AllocEffect(), a);
    controller.Clear();
}

TEST_F(EffectPool, HandlesStopResolvingOnceTheSlotIsReused)
{
    AddObjects(1, 0.25f);
    CEffect* effect = container.Play(&controller, 1);
    const CEffectHandle handle = controller.GetHandle(effect);
    EXPECT_EQ(handle.Get(), effect);
    Frames(2);
    EXPECT_EQ(handle.Get(), nullptr) << "finished and released";
    CEffect* reuse = container.Play(&controller, 1);
    EXPECT_EQ(reuse, effect) << "same slot";
    EXPECT_EQ(handle.Get(), nullptr) << "an old holder can't steer the new effect";
    EXPECT_EQ(controller.GetHandle(reuse).Get(), reuse);
    EXPECT_EQ(CEffectHandle().Get(), nullptr);
    const CEffectHandle kept = controller.GetHandle(reuse);
    controller.ReleaseAll();
    ASSERT_EQ(controller.Initialize(nullptr, kEffects, kParticles), 1);
    EXPECT_NE(container.Play(&controller, 1), nullptr);
    EXPECT_EQ(kept.Get(), nullptr) << "a new sizing starts new generations";
    CEffect stray;
    EXPECT_EQ(controller.GetHandle(&stray).Get(), nullptr);
}

TEST_F(EffectPool, ClearWithoutReleaseFreesEverythingAndTwiceIsHarmless)
{
    CEffectObject* object = MakeObject("Trails", 0, 0.0f);
    AddKey(object->GetParticleTrack(), 0.0f, 4u);
    tag_KVRPARTICLETRACEDATA trace{};
    trace.segments = 4;
    object->AddTrace(trace);
    container.AddObject(object);
    CEffect* effect = container.Play(&controller, 1);
    const CEffectHandle handle = controller.GetHandle(effect);
    Frames(1);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 4u);
    ASSERT_NE(effect->GetFirstParticle()->GetTrailLists(), nullptr);
    controller.Clear();
    EXPECT_EQ(controller.GetEffectPool()->GetUsedCount(), 0u);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 0u);
    EXPECT_EQ(controller.GetFirstEffect(), nullptr);
    EXPECT_EQ(handle.Get(), nullptr);
    controller.Clear();
    EXPECT_EQ(controller.Update(0), 1) << "empty chain";
}

TEST_F(EffectPool, ParentEffectTakesEveryRootInAChainThatEnds)
{
    AddObjects(1, 0.0f);
    CEffect* parent = container.Play(&controller, 1);
    CEffectContainer three("Three");
    for (int i = 0; i < 3; ++i)
        three.AddObject(MakeObject("Leaf", 0, 0.0f));
    CEffect* earlier = three.Play(&controller, 1, parent);
    ASSERT_NE(earlier, nullptr);
    CEffect* roots = three.Play(&controller, 1, parent);
    ASSERT_NE(roots, nullptr);
    EXPECT_EQ(parent->GetFirstChild(), roots);
    // Walk the whole child chain: it must end, and hold all six.
    int count = 0;
    for (CEffect* e = parent->GetFirstChild(); e != nullptr && count < 100; e = e->GetNextSibling())
    {
        EXPECT_EQ(e->GetParent(), parent);
        ++count;
    }
    EXPECT_EQ(count, 6);
    EXPECT_EQ(controller.GetFirstEffect(), parent) << "children are not on the live chain";
    EXPECT_EQ(parent->GetNextLive(), nullptr);
    controller.ReleaseAll();
    EXPECT_EQ(UsedEffects(), 0u);
    three.Release();
}

TEST_F(EffectPool, MissingOrFinishedParentTakesNothing)
{
    AddObjects(2, 0.25f);
    // The second object names a parent object that no root plays.
    CEffectObject orphanParent;
    container.GetObjectList()->GetItem(1)->SetParent(&orphanParent);
    EXPECT_EQ(container.Play(&controller, 1), nullptr);
    EXPECT_EQ(UsedEffects(), 0u);

    container.GetObjectList()->GetItem(1)->SetParent(container.GetObjectList()->GetItem(0));
    CEffect* tree = container.Play(&controller, 1);
    ASSERT_NE(tree, nullptr);
    ASSERT_NE(tree->GetFirstChild(), nullptr);
    EXPECT_EQ(tree->GetFirstChild()->GetParent(), tree);
    EXPECT_EQ(tree->GetNextSibling(), nullptr);

    // A finished parent, and one already released.
    CEffectContainer leaf("Leaf");
    leaf.AddObject(MakeObject("Leaf", 0, 0.0f));
    tree->SetElapsed(10.0f);
    tree->GetFirstChild()->SetElapsed(10.0f);
    ASSERT_TRUE(tree->IsFinished());
    EXPECT_EQ(leaf.Play(&controller, 1, tree), nullptr);
    Frames(1);
    EXPECT_EQ(UsedEffects(), 0u);
    EXPECT_EQ(leaf.Play(&controller, 1, tree), nullptr);
    EXPECT_EQ(UsedEffects(), 0u);
    leaf.Release();
}

TEST_F(EffectPool, FinishRules)
{
    AddObjects(1, 0.0f);
    CEffect* endless = container.Play(&controller, 1);
    Frames(40);
    EXPECT_EQ(controller.GetHandle(endless).Get(), endless) << "length 0 runs until released";
    controller.ReleaseAll();

    const CkvrVector3 origin;
    CEffect* limited = container.Play(&controller, &origin, &origin, &origin, 2.0f, 1);
    ASSERT_NE(limited, nullptr);
    EXPECT_FLOAT_EQ(limited->GetTimeLimit(), 2.0f);
    Frames(8);
    EXPECT_FALSE(limited->IsFinished()) << "elapsed 2.0 is not past 2.0";
    Frames(1);
    EXPECT_EQ(UsedEffects(), 0u);

    // A sound effect counts as finished after its first update.
    container.GetObjectList()->GetItem(0)->GetParameters()->kind = 2;
    container.Play(&controller, 1);
    Frames(1);
    EXPECT_EQ(UsedEffects(), 0u);
}
