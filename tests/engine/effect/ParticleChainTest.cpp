#include "tests/engine/effect/EffectTestUtil.h"

using namespace effecttest;

namespace
{
// An owner particle on an effect's chain with a trail chain of three.
class ParticleChain : public EffectFixture
{
protected:
    void SetUp() override
    {
        EffectFixture::SetUp();
        object = MakeObject("Chain", 0, 0.0f);
        object->GetParticleParameters()->life = 1.0f;
        container.AddObject(object);
        effect = container.Play(&controller, 1);
        ASSERT_NE(effect, nullptr);
        owner = Emit(0.0f);
        effect->SetFirstParticle(owner);
        for (CParticle*& p : trail)
            p = Emit(0.0f);
        owner->SetTrailChain(trail[0]);
        for (int i = 0; i < 3; ++i)
        {
            trail[i]->SetTrailOwner(owner);
            trail[i]->SetNext(i < 2 ? trail[i + 1] : nullptr);
            trail[i]->SetPrevious(i > 0 ? trail[i - 1] : nullptr);
        }
    }

    CParticle* Emit(float time)
    {
        CParticle* particle = controller.AllocParticle();
        EXPECT_NE(particle, nullptr);
        particle->Emit(object, &controller, effect, time);
        return particle;
    }

    // Ages one trail particle past its life and runs a frame step.
    void Expire(int index)
    {
        trail[index]->GetState()->birthTime = -5.0f;
        effect->SetElapsed(0.5f);
        owner->Update(reinterpret_cast<uintptr_t>(static_cast<CObjectBase*>(effect)));
    }

    std::vector<CParticle*> TrailOf(CParticle* head)
    {
        std::vector<CParticle*> out;
        for (CParticle* p = head; p != nullptr && out.size() < 10; p = p->GetNext())
            out.push_back(p);
        return out;
    }

    CEffectObject* object = nullptr;
    CEffect* effect = nullptr;
    CParticle* owner = nullptr;
    CParticle* trail[3] = {};
};
}

TEST_F(ParticleChain, HeadLeavesTheTrailChainNotTheEffectChain)
{
    Expire(0);
    EXPECT_EQ(effect->GetFirstParticle(), owner) << "the effect's own chain stays whole";
    EXPECT_EQ(owner->GetTrailChain(), trail[1]);
    EXPECT_EQ(trail[1]->GetPrevious(), nullptr);
    EXPECT_EQ(TrailOf(owner->GetTrailChain()), (std::vector<CParticle*>{trail[1], trail[2]}));
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 3u);
}

TEST_F(ParticleChain, MiddleAndTailLeaveCleanly)
{
    Expire(1);
    EXPECT_EQ(TrailOf(owner->GetTrailChain()), (std::vector<CParticle*>{trail[0], trail[2]}));
    EXPECT_EQ(trail[2]->GetPrevious(), trail[0]);
    Expire(2);
    EXPECT_EQ(TrailOf(owner->GetTrailChain()), (std::vector<CParticle*>{trail[0]}));
    EXPECT_EQ(effect->GetFirstParticle(), owner);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 2u);
}

TEST_F(ParticleChain, OwnerTakesItsTrailChainAlong)
{
    owner->GetState()->birthTime = -5.0f;
    effect->SetElapsed(0.5f);
    owner->Update(reinterpret_cast<uintptr_t>(static_cast<CObjectBase*>(effect)));
    EXPECT_EQ(effect->GetFirstParticle(), nullptr);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 0u);
}

TEST_F(EffectFixture, AttachedEmissionHangsOnTheExistingParticles)
{
    CEffectObject* object = MakeObject("Attach", 0, 0.0f);
    AddKey(object->GetParticleTrack(), 0.0f, 2u);
    AddKey(object->GetParticleTrack(), 0.5f, 3u);
    object->GetParticleParameters()->attach = 1;
    container.AddObject(object);
    CEffect* effect = container.Play(&controller, 1);
    Frames(2);
    CParticle* first = effect->GetFirstParticle();
    ASSERT_NE(first, nullptr);
    CParticle* second = first->GetNext();
    ASSERT_NE(second, nullptr);
    // Three new ones: on the tail's trail, on the head's trail, then the
    // cursor has run past the head and the last one appends to the chain.
    ASSERT_NE(second->GetTrailChain(), nullptr);
    ASSERT_NE(first->GetTrailChain(), nullptr);
    EXPECT_EQ(second->GetTrailChain()->GetTrailOwner(), second);
    ASSERT_NE(second->GetNext(), nullptr);
    EXPECT_EQ(second->GetNext()->GetNext(), nullptr);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 5u);
}
