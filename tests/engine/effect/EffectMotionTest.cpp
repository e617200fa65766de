#include "tests/engine/effect/EffectTestUtil.h"

#include "engine/effect/EffectMath.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CModelBone.h"

#include <cmath>
#include <cstring>

using namespace effecttest;

namespace
{
class Target : public CObjectBase
{
public:
    int Create(uintptr_t) override { return 1; }
    int Update(uintptr_t) override { return 1; }
    int Render(uintptr_t) override { return 1; }
};

void ExpectVector(const CkvrVector3& v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-4f);
    EXPECT_NEAR(v.y, y, 1e-4f);
    EXPECT_NEAR(v.z, z, 1e-4f);
}

class EffectMotion : public EffectFixture
{
protected:
    // Moves from (0,0,0) to (0,0,4) over one second, turns 90 degrees about
    // y, doubles its scale and fades out.
    CEffectObject* Mover()
    {
        CEffectObject* object = MakeObject("Mover", 0, 0.0f);
        AddKey(object->GetPositionTrack(), 0.0f, Offset(0, 0, 0));
        AddKey(object->GetPositionTrack(), 1.0f, Offset(0, 0, 4));
        // A straight line: the control point sits on the segment.
        object->GetPositionTrack()->GetAt(0)->value.first = CkvrVector3(0, 0, 2);
        AddKey(object->GetRotationTrack(), 0.0f, CkvrVector3(0, 0, 0));
        AddKey(object->GetRotationTrack(), 1.0f, CkvrVector3(0, 90, 0));
        AddKey(object->GetScalingTrack(), 0.0f, CkvrVector3(1, 1, 1));
        AddKey(object->GetScalingTrack(), 1.0f, CkvrVector3(2, 2, 2));
        AddKey(object->GetColorTrack(), 0.0f, CkvrVector4(1, 1, 1, 1));
        AddKey(object->GetColorTrack(), 1.0f, CkvrVector4(1, 0.5f, 0, 0));
        return object;
    }
};
}

TEST_F(EffectMotion, TracksDriveThePlacementWithoutParent)
{
    container.AddObject(Mover());
    const CkvrVector3 position(10, 0, 0);
    const CkvrVector3 direction(0, 90, 0);
    const CkvrVector3 scale(3, 3, 3);
    CEffect* effect = container.Play(&controller, &position, &direction, &scale, 1);
    ASSERT_NE(effect, nullptr);
    Frames(2);
    EXPECT_FLOAT_EQ(effect->GetElapsed(), 0.5f);
    // Offset (0,0,2) turned by the start direction (90 about y) is (2,0,0).
    ExpectVector(*effect->GetPosition(), 12, 0, 0);
    ExpectVector(*effect->GetRotation(), 0, 135, 0);
    ExpectVector(*effect->GetScale(), 4.5f, 4.5f, 4.5f);
    EXPECT_NEAR(effect->GetColor()->y, 0.75f, 1e-6f);
    EXPECT_NEAR(effect->GetColor()->w, 0.5f, 1e-6f);
    // The world matrix leaves out the track's own rotation and scaling: the
    // start direction (x axis to -z) and the start scale.
    const CkvrVector3 x = CkvrVector3(1, 0, 0).GetTransform(*effect->GetWorldMatrix());
    ExpectVector(x, 12, 0, -3);

    // A track scale with a zero component does not flatten the world.
    effect->SetElapsed(0.0f);
    container.GetObjectList()->GetItem(0)->GetScalingTrack()->GetAt(0)->value = CkvrVector3(0, 1, 1);
    effect->EvaluateTracks();
    const float* m = effect->GetWorldMatrix()->m;
    EXPECT_NEAR(std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]), 3.0f, 1e-4f);
}

TEST_F(EffectMotion, FlagSixtyFourTakesTheTrackRotationAlone)
{
    CEffectObject* object = Mover();
    object->GetParameters()->flags = EFFECTFLAG_TRACK_ROTATION_ONLY;
    container.AddObject(object);
    const CkvrVector3 direction(0, 90, 0);
    CEffect* effect = container.Play(&controller, nullptr, &direction, nullptr, 1);
    Frames(2);
    ExpectVector(*effect->GetRotation(), 0, 45, 0);
}

TEST_F(EffectMotion, ChildrenFollowTheirParentEffect)
{
    CEffectObject* parentObject = MakeObject("Parent", 0, 0.0f);
    AddKey(parentObject->GetPositionTrack(), 0.0f, Offset(0, 5, 0));
    container.AddObject(parentObject);
    CEffectObject* childObject = Mover();
    childObject->SetParent(parentObject);
    container.AddObject(childObject);
    const CkvrVector3 position(1, 0, 0);
    const CkvrVector4 tint(0.5f, 0.5f, 0.5f, 1);
    const CkvrVector3 one(1, 1, 1);
    const CkvrVector3 none;
    CEffect* root = container.Play(&controller, &position, &none, &one, &tint, 0.0f, 1);
    ASSERT_NE(root, nullptr);
    CEffect* child = root->GetFirstChild();
    ASSERT_NE(child, nullptr);
    Frames(2);
    ExpectVector(*root->GetPosition(), 1, 5, 0);
    // The child's own start position (1,0,0) plus its offset (0,0,2) put
    // through the parent's world matrix.
    ExpectVector(*child->GetPosition(), 2, 5, 2);
    EXPECT_NEAR(child->GetColor()->x, 0.25f, 1e-6f) << "parent tint times its own";
}

TEST_F(EffectMotion, FollowsAnObjectFrameByFrame)
{
    CEffectObject* object = MakeObject("Still", 0, 0.0f);
    AddKey(object->GetPositionTrack(), 0.0f, Offset(0, 1, 0));
    container.AddObject(object);
    Target target;
    target.GetPosition()->Set(5, 0, 0);
    target.GetColor()->Set(1, 0, 0, 1);
    CEffect* effect = container.Play(&controller, 1, &target);
    Frames(1);
    ExpectVector(*effect->GetPosition(), 5, 1, 0);
    EXPECT_FLOAT_EQ(effect->GetColor()->y, 0.0f);
    target.GetPosition()->Set(-2, 0, 3);
    Frames(1);
    ExpectVector(*effect->GetPosition(), -2, 1, 3);
}

TEST_F(EffectMotion, FollowsABone)
{
    CEffectObject* object = MakeObject("OnBone", 0, 0.0f);
    object->GetParameters()->flags = EFFECTFLAG_BONE_FACING;
    container.AddObject(object);
    tag_KVRBONESTATE bone{};
    const CkvrVector3 at(0, 10, 0);
    bone.combined.SetTranslation(&at);
    const CkvrVector3 position(1, 0, 0);
    const CkvrVector3 direction(0, 30, 0);
    const CkvrVector3 scale(2, 2, 2);
    CEffect* effect = container.Play(&controller, &position, &direction, &scale, 1, &bone);
    ASSERT_NE(effect, nullptr);
    Frames(1);
    ExpectVector(*effect->GetPosition(), 1, 10, 0);
    // Facing down -z: yaw 180 + 180.
    ExpectVector(*effect->GetRotation(), 0, 360, 0);
    ExpectVector(*effect->GetScale(), 2, 2, 2);
    const CkvrVector3 moved(0, 20, 0);
    bone.combined.SetTranslation(&moved);
    Frames(1);
    ExpectVector(*effect->GetPosition(), 1, 20, 0);

    // Without the facing flag the block's direction stays.
    object->GetParameters()->flags = 0;
    Frames(1);
    ExpectVector(*effect->GetRotation(), 0, 30, 0);
}

TEST_F(EffectMotion, ParticleKeysEmitOnceAtTheirTime)
{
    CEffectObject* object = MakeObject("Burst", 0, 0.0f);
    AddKey(object->GetParticleTrack(), 0.5f, 3u);
    container.AddObject(object);
    CEffect* effect = container.Play(&controller, 1);
    Frames(1);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 0u);
    Frames(1);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 3u);
    EXPECT_FLOAT_EQ(effect->GetFirstParticle()->GetState()->birthTime, 0.5f);
    Frames(8);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 3u) << "a track that doesn't loop fires once";
}

TEST_F(EffectMotion, LoopingTrackFiresLastAndFirstKeysOnEachWrap)
{
    CEffectObject* object = MakeObject("Loop", 0, 0.0f);
    AddKey(object->GetParticleTrack(), 0.0f, 1u);
    AddKey(object->GetParticleTrack(), 1.0f, 2u);
    object->GetParticleTrack()->SetLoop(1);
    container.AddObject(object);
    container.Play(&controller, 1);
    Frames(1);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 1u);
    Frames(3);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 4u) << "at 1.0: 2 of the last key, 1 of the first";
    Frames(3);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 4u);
    Frames(1);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 7u) << "at 2.0 again";
}

TEST_F(EffectMotion, ZeroSpanLoopingTrackFiresOnce)
{
    CEffectObject* object = MakeObject("Stuck", 0, 0.0f);
    AddKey(object->GetParticleTrack(), 0.25f, 1u);
    AddKey(object->GetParticleTrack(), 0.25f, 1u);
    object->GetParticleTrack()->SetLoop(1);
    container.AddObject(object);
    CEffectObject* modulo = MakeObject("Modulo", 0, 0.0f);
    AddKey(modulo->GetParticleTrack(), 0.0f, 1u);
    modulo->GetParticleTrack()->SetLoop(1);
    modulo->GetParameters()->loopMode = 2;
    container.AddObject(modulo);
    container.Play(&controller, 1);
    Frames(12);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 2u);
}

TEST_F(EffectMotion, ParticlesLiveTheirLifeAndLeave)
{
    CEffectObject* object = MakeObject("Short", 0, 0.0f);
    AddKey(object->GetParticleTrack(), 0.5f, 2u);
    object->GetParticleParameters()->life = 1.0f;
    container.AddObject(object);
    CEffect* effect = container.Play(&controller, 1);
    Frames(5);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 2u);
    Frames(1);
    EXPECT_EQ(controller.GetParticlePool()->GetUsedCount(), 0u) << "released at effect time 1.5";
    EXPECT_EQ(effect->GetFirstParticle(), nullptr);
}

TEST_F(EffectMotion, ParticleMotionDecayAndClamp)
{
    CEffectObject* object = MakeObject("Fall", 0, 0.0f);
    AddKey(object->GetParticleTrack(), 0.0f, 1u);
    tag_KVRPARTICLEPARAMETER* p = object->GetParticleParameters();
    p->direction = CkvrVector3(1, 0, 0);
    p->speed = 2.0f;
    p->gravity = -8.0f;
    p->scaleDecay = CkvrVector3(2, 0, 0);
    p->colorDecay = CkvrVector4(0, 0, 0, 0.5f);
    p->colorSpread = CkvrVector4(0, 0, 0, 0);
    container.AddObject(object);
    const CkvrVector3 position(0, 10, 0);
    CEffect* effect = container.Play(&controller, &position, 1);
    Frames(3);
    const CParticle* particle = effect->GetFirstParticle();
    ASSERT_NE(particle, nullptr);
    // Age 0.75: x = 2 * 0.75, y = 10 - 8 * 0.75^2 / 2.
    ExpectVector(*particle->GetPosition(), 1.5f, 7.75f, 0);
    EXPECT_FLOAT_EQ(particle->GetScale()->x, 0.0f) << "decay clamps at 0";
    EXPECT_FLOAT_EQ(particle->GetScale()->y, 1.0f);
    EXPECT_FLOAT_EQ(particle->GetColor()->w, 0.625f);
}

TEST_F(EffectMotion, DetachedParticlesKeepTheirBirthPlace)
{
    CEffectObject* object = MakeObject("Left", 0, 0.0f);
    AddKey(object->GetParticleTrack(), 0.0f, 1u);
    object->GetParameters()->flags = EFFECTFLAG_DETACHED;
    container.AddObject(object);
    Target target;
    target.GetPosition()->Set(3, 0, 0);
    CEffect* effect = container.Play(&controller, 1, &target);
    Frames(1);
    target.GetPosition()->Set(-50, 0, 0);
    Frames(2);
    ExpectVector(*effect->GetPosition(), -50, 0, 0);
    ExpectVector(*effect->GetFirstParticle()->GetPosition(), 3, 0, 0);
}

TEST(EffectRandom, SpeedSpreadAndZeroDivisors)
{
    SeedRandom(7);
    for (int i = 0; i < 200; ++i)
    {
        const float offset = RandomSpeedOffset(0.5f);
        EXPECT_GE(offset, -0.5f);
        EXPECT_LT(offset, 0.5f);
        EXPECT_FLOAT_EQ(offset * 100.0f, std::round(offset * 100.0f));
    }
    uint32_t before[4];
    GetRandomState(before);
    EXPECT_EQ(RandomSpeedOffset(0.004f), 0.0f) << "spread below 0.005: no spread";
    uint32_t after[4];
    GetRandomState(after);
    EXPECT_NE(std::memcmp(before, after, sizeof(before)), 0) << "still one draw";
    EXPECT_EQ(RandomSpeedOffset(-0.004f), 0.0f);
    EXPECT_EQ(RandomSpeedOffset(NAN), 0.0f);
    EXPECT_EQ(RandomSpeedOffset(1e30f), 0.0f);
    EXPECT_EQ(RandomInt(0), 0u);
}

TEST(EffectRandom, RotationOrderPicksTheLowestBit)
{
    const CkvrVector3 angles(10, 20, 30);
    CkvrMatrix expected, got;
    expected.SetRotationXYZ(&angles);
    BuildEffectRotation(2 | 8, angles, &got);
    EXPECT_EQ(std::memcmp(expected.m, got.m, sizeof(got.m)), 0);
    expected.SetRotationZXY(&angles);
    BuildEffectRotation(64, angles, &got);
    EXPECT_EQ(std::memcmp(expected.m, got.m, sizeof(got.m)), 0);
}

TEST_F(EffectMotion, PlayFormsFillTheBlock)
{
    container.AddObject(MakeObject("Plain", 0, 0.0f));
    CkvrVector3 position(1, 2, 3);
    const CkvrVector3 direction(0, 0, 0);
    const CkvrVector3 scale(1, 1, 1);
    CEffect* tinted = container.Play(&controller, &position, &direction, &scale,
                                     static_cast<const CkvrVector4*>(nullptr), 0.0f, 1);
    ASSERT_NE(tinted, nullptr);
    EXPECT_FLOAT_EQ(tinted->GetPlayBlock()->color.x, 1.0f) << "a null colour is white";
    EXPECT_FLOAT_EQ(tinted->GetPlayBlock()->color.w, 1.0f);

    // The follow form rereads the caller's vectors every frame.
    CEffect* follower = container.Play(&controller, &position, &direction, &scale, 0.0f, 1, 1u);
    ASSERT_NE(follower, nullptr);
    EXPECT_EQ(follower->GetPlayBlock()->followPosition, &position);
    Frames(1);
    ExpectVector(*follower->GetPosition(), 1, 2, 3);
    position.Set(-4, 0, 8);
    Frames(1);
    ExpectVector(*follower->GetPosition(), -4, 0, 8);
    ExpectVector(*tinted->GetPosition(), 1, 2, 3); // a copy stays put

    // The bone forms copy the values into the block.
    tag_KVRBONESTATE bone{};
    CEffect* onBone = container.Play(&controller, &position, &direction, &scale, 0.5f, 1, &bone);
    ASSERT_NE(onBone, nullptr);
    EXPECT_FLOAT_EQ(onBone->GetPlayBlock()->position.x, -4.0f);
    EXPECT_EQ(onBone->GetPlayBlock()->followBone, &bone);
    EXPECT_FLOAT_EQ(onBone->GetTimeLimit(), 0.5f);
}

TEST(EffectResolve, KindPicksTheListAndMissingListsLeaveNull)
{
    CEffectContainer container("Efc_resolve");
    CEffectObject* nested = MakeObject("Nest", 3, 0.0f);
    nested->SetResourceFile("Efc_inner", nullptr);
    container.AddObject(nested);
    container.ResolveResources(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(nested->GetResource(), nullptr);
    CEffectContainer inner("Efc_inner");
    CResourceList<CResourceBase*> effects;
    effects.Add(&inner);
    container.ResolveResources(nullptr, nullptr, nullptr, &effects);
    EXPECT_EQ(nested->GetResource(), &inner);
    EXPECT_EQ(nested->GetParameters()->kind, 3);
    container.Release();
}
