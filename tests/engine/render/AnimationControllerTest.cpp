#include "ModelSamples.h"

#include "engine/platform/FrameTimer.h"
#include "engine/render/CAnimationController.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
// A skeleton of "Body" under root and "Arm" under Body, with animations
// built by the tests.
class AnimationControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        body = ModelSamples::AddBone(&mesh, "Body", nullptr);
        CModelBone* root = mesh.GetBoneList()->GetItem(0);
        body->SetParent(root);
        root->GetChildren()->Add(body);
        arm = ModelSamples::AddBone(&mesh, "Arm", body);
        arm->GetLocalMatrix()->m[12] = 3.0f;
        SetFrameTime(0);
    }

    void TearDown() override
    {
        if (controller != nullptr)
            controller->Release();
        SetFrameTime(0);
    }

    // An animation moving bone along x from 0 at tick 0 to 4 at tick 4800.
    CModelAnimation* AddSlide(CModelBone* bone, float to = 4.0f)
    {
        CModelAnimation* animation = new CModelAnimation();
        animation->SetName("Slide");
        tag_KVRBONEANIMATION track = {};
        track.bone = bone;
        track.boneName = bone != nullptr ? bone->GetName() : nullptr;
        track.position = new CKeyFrameList<CkvrVector3>();
        track.position->SetCount(2);
        *track.position->GetAt(0) = {0.0f, 0.0f, CkvrVector3(0, 0, 0)};
        *track.position->GetAt(1) = {4800.0f, 0.0f, CkvrVector3(to, 0, 0)};
        animation->GetBoneAnimationList()->Add(track);
        mesh.GetAnimationList()->Add(animation);
        return animation;
    }

    // A quarter turn about z over one second.
    CModelAnimation* AddTurn(CModelBone* bone)
    {
        CModelAnimation* animation = new CModelAnimation();
        animation->SetName("Turn");
        tag_KVRBONEANIMATION track = {};
        track.bone = bone;
        track.boneName = bone->GetName();
        track.rotation = new CKeyFrameList<CkvrQuaternion>();
        track.rotation->SetCount(2);
        const float s = std::sqrt(0.5f);
        *track.rotation->GetAt(0) = {0.0f, 0.0f, CkvrQuaternion(0, 0, 0, 1)};
        *track.rotation->GetAt(1) = {4800.0f, 0.0f, CkvrQuaternion(0, 0, s, s)};
        animation->GetBoneAnimationList()->Add(track);
        mesh.GetAnimationList()->Add(animation);
        return animation;
    }

    CAnimationController* Make()
    {
        controller = mesh.CreateAnimationController();
        return controller;
    }

    tag_KVRBONESTATE* State(uint32_t i) { return controller->GetBoneStateList()->GetAt(i); }

    CMesh mesh;
    CModelBone* body = nullptr;
    CModelBone* arm = nullptr;
    CAnimationController* controller = nullptr;
};

TEST_F(AnimationControllerTest, KeysSampleAtAndBetweenKeysInTicksOf4800ASecond)
{
    AddSlide(body);
    AddTurn(arm);
    Make();
    ASSERT_EQ(controller->Play(0, 0.0f, 0, 0), 1u);
    ASSERT_EQ(controller->Play(1, 0.0f, 0, 0), 1u);
    EXPECT_EQ(State(1)->time, 0.0f);
    controller->Update(0.1f);
    EXPECT_FLOAT_EQ(State(1)->time, 480.0f) << "a tenth of a second is 480 ticks";
    EXPECT_NEAR(State(1)->position.x, 0.4f, 1e-5f);
    EXPECT_NEAR(State(1)->local.m[12], 0.4f, 1e-5f);
    controller->Update(0.4f);
    EXPECT_NEAR(State(1)->position.x, 2.0f, 1e-5f);
    // Halfway through the quarter turn.
    const float angle = std::atan2(State(2)->local.m[1], State(2)->local.m[0]);
    EXPECT_NEAR(std::fabs(angle), 3.14159265f / 4.0f, 1e-4f);
    // The arm has no position track: it keeps its rest translation.
    EXPECT_FLOAT_EQ(State(2)->local.m[12], 3.0f);
    controller->Update(0.5f);
    EXPECT_FLOAT_EQ(State(1)->position.x, 4.0f) << "exactly on the last key";
    EXPECT_FLOAT_EQ(controller->GetAnimationLength(0), 1.0f);
    EXPECT_FLOAT_EQ(controller->GetCurrentAnimationLength(), 1.0f);
}

TEST_F(AnimationControllerTest, LoopWrapsAndNoLoopHoldsTheLastKey)
{
    AddSlide(body);
    Make();
    controller->Play(0, 6000.0f, 0.0f, 1, 0);
    EXPECT_NEAR(State(1)->position.x, 1.0f, 1e-5f) << "tick 6000 of a 4800 loop is tick 1200";
    controller->Play(0, 6000.0f, 0.0f, 0, 0);
    EXPECT_FLOAT_EQ(State(1)->position.x, 4.0f);
    controller->Update(10.0f);
    EXPECT_FLOAT_EQ(State(1)->position.x, 4.0f);
}

TEST_F(AnimationControllerTest, PlayBlendsFromTheCurrentPoseOverTheBlendTime)
{
    AddSlide(body, 0.0f);
    AddSlide(body, 0.0f);
    // The second animation holds x = 2 from the start.
    mesh.GetAnimationList()->GetItem(1)->GetBoneAnimationList()->GetAt(0)->position->GetAt(0)->value.Set(2, 0, 0);
    mesh.GetAnimationList()->GetItem(1)->GetBoneAnimationList()->GetAt(0)->position->GetAt(1)->value.Set(2, 0, 0);
    Make();
    controller->Play(0, 0.0f, 1, 0);
    EXPECT_FLOAT_EQ(State(1)->position.x, 0.0f);
    // A fade of a quarter second is 1200 ticks; it samples nothing yet.
    ASSERT_EQ(controller->Play(1, 0.25f, 1, 0), 1u);
    EXPECT_FLOAT_EQ(State(1)->blendTime, 1200.0f);
    controller->Update(0.125f);
    EXPECT_NEAR(State(1)->position.x, 1.0f, 1e-5f) << "halfway through the fade";
    controller->Update(0.125f);
    EXPECT_FLOAT_EQ(State(1)->position.x, 2.0f);
    EXPECT_EQ(State(1)->blendTime, 0.0f) << "the update reaching the end samples unblended";
    // A start time half the blend time begins the fade halfway.
    controller->Play(0, 600.0f, 0.25f, 1, 0);
    controller->Update(0.0f);
    EXPECT_NEAR(State(1)->position.x, 1.0f, 1e-5f);
}

TEST_F(AnimationControllerTest, TracksNamingNoBoneAreSkippedAndBadIndicesRefused)
{
    CModelAnimation* animation = AddSlide(nullptr);
    CModelBone ghost;
    ghost.SetName("Ghost");
    tag_KVRBONEANIMATION track = {};
    track.bone = &ghost;
    track.boneName = ghost.GetName();
    animation->GetBoneAnimationList()->Add(track);
    Make();
    EXPECT_EQ(controller->Play(0, 0.0f, 1, 0), 1u);
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(State(i)->track, nullptr);
    EXPECT_EQ(controller->Play(1, 0.0f, 1, 0), 0u);
    EXPECT_EQ(controller->GetAnimationLength(7), 0.0f);
    animation->GetBoneAnimationList()->SetCount(1);

    CAnimationController empty;
    EXPECT_EQ(empty.Play(0, 0.0f, 1, 0), 0u);
    EXPECT_EQ(empty.SetMode(1), 0u);
    EXPECT_EQ(empty.Update(1.0f), 1u);
    empty.UpdatePose(nullptr);
    EXPECT_EQ(empty.IsAnimationEnd(0.0f), 1u);
}

TEST_F(AnimationControllerTest, HeldBonesKeepTheirTrackUntilAnOverridingMode)
{
    AddSlide(body);
    AddSlide(body, -4.0f);
    Make();
    controller->Play(0, 0.0f, 1, 1);
    EXPECT_EQ(State(1)->hold, 1u);
    controller->Play(1, 0.0f, 1, 0);
    EXPECT_EQ(State(1)->track, mesh.GetAnimationList()->GetItem(0)->GetBoneAnimationList()->GetAt(0));
    controller->Play(1, 0.0f, 1, 2);
    EXPECT_EQ(State(1)->track, mesh.GetAnimationList()->GetItem(1)->GetBoneAnimationList()->GetAt(0));
    EXPECT_EQ(State(1)->hold, 0u);
    EXPECT_EQ(controller->SetMode(3), 1u);
    EXPECT_EQ(State(2)->hold, 1u);
}

TEST_F(AnimationControllerTest, TheAnimationEndsOncePastTheLastKeyLessTheMargin)
{
    AddSlide(body);
    Make();
    controller->Play(0, 0.0f, 0, 0);
    controller->Update(0.95f);
    EXPECT_EQ(controller->IsAnimationEnd(0.0f), 0u);
    EXPECT_EQ(controller->IsAnimationEnd(480.0f), 1u) << "a margin of a tenth of a second";
    controller->Update(0.1f);
    EXPECT_EQ(controller->IsAnimationEnd(0.0f), 1u);
}

TEST_F(AnimationControllerTest, PosesChainParentsAndFillThePalette)
{
    AddTurn(body);
    Make();
    controller->ResetPose();
    controller->Play(0, 4800.0f, 0.0f, 0, 0);
    CkvrMatrix world;
    world.m[13] = 5.0f;
    controller->UpdatePose(&world);
    // The arm's rest point (3, 0, 0) turned a quarter about the body, then
    // lifted by the world.
    const CkvrVector3 p = CkvrVector3(0, 0, 0).GetTransform(State(2)->combined);
    EXPECT_NEAR(std::fabs(p.y - 5.0f), 3.0f, 1e-4f);
    EXPECT_NEAR(p.x, 0.0f, 1e-4f);
    for (uint32_t i = 0; i < 3; ++i)
    {
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(controller->GetBoneMatrices()[i].m[k], State(i)->skin.m[k]);
    }
    // A pivot rotation turns a bone about its own position.
    State(2)->pivotRotation.SetRotationZ(90.0f);
    controller->UpdatePose(&world);
    const CkvrVector3 q = CkvrVector3(0, 0, 0).GetTransform(State(2)->combined);
    EXPECT_NEAR((q - p).Length(), 0.0f, 1e-4f);
}

// A dynamic "Hair" bone under the body: its head at (0, 1, 0), its sphere
// centre one unit out along x.
class DynamicBoneTest : public AnimationControllerTest
{
protected:
    void SetUp() override
    {
        AnimationControllerTest::SetUp();
        hair = ModelSamples::AddBone(&mesh, "Hair", body);
        hair->GetLocalMatrix()->m[13] = 1.0f;
        KVRBONEPARAMETERS* parameters = hair->GetParameters();
        parameters->dynamic = 1;
        parameters->resistance = 4.0f;
        parameters->collisionRadius = 0.25f;
        parameters->sphereCentre.Set(1.0f, 1.0f, 0.0f);
        parameters->sphereRadius = 0.5f;
        AddTurn(arm);
        Make();
        controller->ResetPose();
    }

    CkvrVector3 Tip() { return hair->GetParameters()->sphereCentre.GetTransform(State(3)->skin); }

    static bool Finite(const CkvrMatrix& m)
    {
        for (float v : m.m)
        {
            if (!std::isfinite(v))
                return false;
        }
        return true;
    }

    CModelBone* hair = nullptr;
};

TEST_F(DynamicBoneTest, TheFirstPoseAfterLoadingDoesNotFlingTheChain)
{
    EXPECT_FLOAT_EQ(hair->GetHead()->y, 1.0f) << "the bind pass placed the head";
    controller->UpdatePose(nullptr);
    EXPECT_EQ(State(3)->swingOffset.LengthSq(), 0.0f);
    EXPECT_NEAR((Tip() - CkvrVector3(1, 1, 0)).Length(), 0.0f, 1e-5f);
}

TEST_F(DynamicBoneTest, TheSwingFollowsTheFrameTimerAndSettles)
{
    // No time passes: nothing pulls the bone.
    for (int frame = 0; frame < 10; ++frame)
        controller->UpdatePose(nullptr);
    EXPECT_NEAR((Tip() - CkvrVector3(1, 1, 0)).Length(), 0.0f, 1e-5f);

    SetFrameTime(16);
    CkvrVector3 last = Tip();
    float lastStep = 0.0f;
    for (int frame = 0; frame < 1500; ++frame)
    {
        controller->Update(0.016f);
        controller->UpdatePose(nullptr);
        ASSERT_TRUE(Finite(State(3)->skin)) << frame;
        lastStep = (Tip() - last).Length();
        last = Tip();
    }
    EXPECT_LT(Tip().y, 0.9f) << "gravity pulls the hair down";
    EXPECT_GT(Tip().z, 1e-3f) << "the wind blows along +z";
    EXPECT_LT(lastStep, 1e-4f) << "the swing has settled";
    // The bone keeps its length: the swing turns it about its head.
    EXPECT_NEAR((Tip() - CkvrVector3(0, 1, 0)).Length(), 1.0f, 1e-3f);
}

TEST_F(DynamicBoneTest, DynamicBonesIgnoreTheirKeysAndRestAtZeroScale)
{
    CModelAnimation* animation = AddSlide(hair);
    (void)animation;
    controller->Play(1, 2400.0f, 0.0f, 0, 0);
    EXPECT_EQ(State(3)->position.x, 0.0f) << "no key reaches a dynamic bone";
    EXPECT_FLOAT_EQ(State(3)->local.m[13], 1.0f);

    // The body scaled to nothing: the swing divides by no zero.
    CkvrVector3 zero;
    body->GetLocalMatrix()->SetScaling(&zero);
    controller->Update(0.0f);
    SetFrameTime(16);
    CkvrVector3 push(0, -1, 0);
    controller->SetBoneOffsets(&push);
    for (int frame = 0; frame < 20; ++frame)
    {
        controller->UpdatePose(nullptr);
        ASSERT_TRUE(Finite(State(3)->skin)) << frame;
        ASSERT_TRUE(Finite(State(3)->boneFrameRotation)) << frame;
    }
    const CkvrMatrix identity;
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(State(3)->boneFrameRotation.m[k], identity.m[k]) << "the bone rests";
}

TEST_F(DynamicBoneTest, OffsetsReachEveryStateOfADynamicChainOnly)
{
    // A keyed bone under the hair belongs to its chain.
    CModelBone* clip = ModelSamples::AddBone(&mesh, "Clip", hair);
    controller->Release();
    Make();
    ASSERT_EQ(State(4)->bone, clip);
    const CkvrVector3 v(0.5f, 0.0f, 0.0f);
    controller->SetBoneOffsets(&v);
    EXPECT_FLOAT_EQ(State(3)->swingOffset.x, 0.5f);
    EXPECT_FLOAT_EQ(State(4)->swingForce.x, 0.5f);
    EXPECT_EQ(State(2)->swingOffset.x, 0.0f) << "the arm swings nowhere";
    controller->AddBoneOffsets(&v);
    controller->AddBoneOffsets(nullptr);
    EXPECT_FLOAT_EQ(State(4)->swingOffset.x, 1.0f);
    controller->SetBoneOffsets(nullptr);
    EXPECT_EQ(State(3)->swingOffset.LengthSq(), 0.0f);

    // With no time passing the offset alone turns the bone: down by half.
    const CkvrVector3 down(0.0f, -1.0f, 0.0f);
    controller->SetBoneOffsets(&down);
    controller->UpdatePose(nullptr);
    const CkvrVector3 expected = CkvrVector3(1, -1, 0).GetNormal() + CkvrVector3(0, 1, 0);
    EXPECT_NEAR((Tip() - expected).Length(), 0.0f, 1e-3f);
}

TEST_F(DynamicBoneTest, AnOffsetShorterThanTheDampingStopsAndALongerOneShrinks)
{
    // Both steps start from the rest direction, so gravity and wind add the
    // same force to each: the difference is the damping alone.
    const auto step = [&](float resistance, float offset) {
        hair->GetParameters()->resistance = resistance;
        State(3)->boneFrameRotation = CkvrMatrix();
        const CkvrVector3 v(0.0f, 0.0f, offset);
        controller->SetBoneOffsets(&v);
        controller->UpdatePose(nullptr);
        return State(3)->swingOffset;
    };
    SetFrameTime(100);
    // Resistance 4 over 0.1 s damps by 0.4: 0.3 stops, 1 shrinks to 0.6.
    CkvrVector3 d = step(4.0f, 1.0f) - step(4.0f, 0.3f);
    EXPECT_NEAR(d.z, 0.6f, 1e-5f);
    EXPECT_NEAR(d.x, 0.0f, 1e-5f);
    EXPECT_NEAR(d.y, 0.0f, 1e-5f);
    // Resistance 0 damps nothing.
    d = step(0.0f, 1.0f) - step(0.0f, 0.3f);
    EXPECT_NEAR(d.z, 0.7f, 1e-5f);
}
}

namespace
{
TEST_F(AnimationControllerTest, AnInterruptedFadeRestartsFromTheBlendedPositionButTheSampledRotation)
{
    AddSlide(body, 0.0f);
    AddTurn(body);
    // The turn also holds x = 2.
    tag_KVRBONEANIMATION* turn = mesh.GetAnimationList()->GetItem(1)->GetBoneAnimationList()->GetAt(0);
    turn->position = new CKeyFrameList<CkvrVector3>();
    turn->position->SetCount(1);
    *turn->position->GetAt(0) = {0.0f, 0.0f, CkvrVector3(2, 0, 0)};
    Make();
    controller->Play(0, 0.0f, 1, 0);
    // Blend 0 samples at once; a later Update (0) keeps the pose.
    EXPECT_FLOAT_EQ(State(1)->position.x, 0.0f);
    const CkvrMatrix before = State(1)->local;
    controller->Update(0.0f);
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(State(1)->local.m[k], before.m[k]);

    controller->Play(1, 4800.0f, 2.0f, 0, 0);
    controller->Play(1, 0.0f, 1.0f, 0, 0);
    controller->Update(0.5f);
    // Half a second into a one-second fade from x = 0 to 2.
    EXPECT_NEAR(State(1)->position.x, 1.0f, 1e-5f);
    // The stored rotation is the key's, not the blended one.
    const float s = std::sqrt(0.5f);
    const CkvrQuaternion sampled = State(1)->rotation;
    EXPECT_GT(std::fabs(sampled.z), 0.3f);
    EXPECT_LT(std::fabs(sampled.z), s);
    controller->Play(0, 0.0f, 1.0f, 0, 0);
    EXPECT_FLOAT_EQ(State(1)->fromPosition.x, 1.0f) << "from the blended position";
    EXPECT_EQ(State(1)->fromRotation.z, sampled.z) << "from the unblended rotation";
}

TEST_F(DynamicBoneTest, OverlappingCollisionSpheresPushChainsApartAndStayFinite)
{
    // A second strand right beside the first: their spheres overlap.
    CModelBone* other = ModelSamples::AddBone(&mesh, "Strand", body);
    other->GetLocalMatrix()->m[13] = 1.0f;
    KVRBONEPARAMETERS* parameters = other->GetParameters();
    *parameters = *hair->GetParameters();
    parameters->sphereCentre.Set(1.0f, 1.0f, 0.2f);
    controller->Release();
    Make();
    controller->ResetPose();
    const auto apart = [&]() {
        const CkvrVector3 a = hair->GetParameters()->sphereCentre.GetTransform(State(3)->skin);
        const CkvrVector3 b = parameters->sphereCentre.GetTransform(State(4)->skin);
        return (a - b).Length();
    };
    // Bind-space centres 0.2 apart, radii 0.25 each.
    SetFrameTime(16);
    for (int frame = 0; frame < 200; ++frame)
    {
        controller->UpdatePose(nullptr);
        ASSERT_TRUE(Finite(State(3)->skin) && Finite(State(4)->skin)) << frame;
    }
    EXPECT_GT(apart(), 0.45f) << "pushed out to nearly touching (0.5)";
    EXPECT_LT(apart(), 0.55f);
}
}
