// The stand-in fighters' figures: every character names its own model and
// motions that play the figure's animations, and the animations move the
// figure as their names say.
#include "tests/engine/render/RenderGraphics.h"

#include "engine/render/CAnimationController.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelAnimation.h"
#include "engine/render/CModelBone.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "tools/datakit/FighterModels.h"
#include "tools/datakit/GameDataKit.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
std::vector<CCharacterDefinition> Characters()
{
    std::vector<CCharacterDefinition> characters;
    for (const GameDataKit::GameFile& file : GameDataKit::Files())
    {
        if (file.name.rfind("Character\\", 0) != 0)
            continue;
        CCharacterDefinition definition;
        EXPECT_NE(definition.Load(file.bytes.data(), file.bytes.size()), 0u) << file.name;
        characters.push_back(definition);
    }
    return characters;
}

// The height of a bone's joint in the current pose.
float JointHeight(CAnimationController* animation, const char* bone)
{
    CList<tag_KVRBONESTATE>* states = animation->GetBoneStateList();
    for (uint32_t i = 0; i < states->GetCount(); ++i)
    {
        const tag_KVRBONESTATE* state = states->GetAt(i);
        if (state->bone != nullptr && std::strcmp(state->bone->GetName(), bone) == 0)
            return state->combined.m[13];
    }
    return -1.0f;
}
}

TEST(FighterModels, EveryCharacterNamesItsFigureAndMotionsOfItsAnimations)
{
    const std::vector<CCharacterDefinition> characters = Characters();
    ASSERT_EQ(characters.size(), GameDataKit::kCharacters);
    for (uint32_t i = 0; i < characters.size(); ++i)
    {
        const CCharacterDefinition& character = characters[i];
        EXPECT_EQ(character.model, FighterModels::ModelName(i));
        for (const CCharacterDefinition::Motion& motion : character.motions)
            EXPECT_TRUE(motion.animation == 255 || motion.animation < FighterModels::ANIMATION_COUNT);
        // The states a battle shows most: stand, down, run, jump, hit, shoot, swing.
        for (uint32_t state : {CCharacter::STATE_STAND, CCharacter::STATE_DOWN, CCharacter::STATE_MOVE,
                               CCharacter::STATE_JUMP, CCharacter::STATE_HIT, CCharacter::STATE_LONG_ATTACK,
                               CCharacter::STATE_ATTACK})
        {
            ASSERT_LT(8 + state, character.motions.size());
            EXPECT_NE(character.motions[8 + state].animation, 255) << state;
        }
        EXPECT_EQ(character.motions[4].animation, FighterModels::ANIMATION_WIN);
        EXPECT_EQ(character.motions[5].animation, FighterModels::ANIMATION_LOSE);
    }
}

TEST(FighterModels, AFigureHasItsSkeletonAndTheTenNamedAnimations)
{
    RenderGraphics graphics(64, 48);
    ASSERT_TRUE(graphics.Created());
    const std::vector<uint8_t> bytes = FighterModels::Model(2);
    ASSERT_FALSE(bytes.empty());
    CMesh mesh;
    ASSERT_EQ(mesh.LoadFromPack(bytes.data(), "Fighter_02.mdl", static_cast<uint32_t>(bytes.size()), nullptr, nullptr),
              1u);
    EXPECT_EQ(mesh.GetBoneList()->GetCount(), 13u);
    ASSERT_EQ(mesh.GetAnimationList()->GetCount(), static_cast<uint32_t>(FighterModels::ANIMATION_COUNT));
    for (uint32_t i = 0; i < FighterModels::ANIMATION_COUNT; ++i)
    {
        CModelAnimation* animation = mesh.GetAnimationList()->GetItem(i);
        EXPECT_STREQ(animation->GetName(), FighterModels::kAnimationNames[i]);
        // Every bone but the root moves in every animation, so that none is
        // left in the last one's pose.
        EXPECT_EQ(animation->GetBoneAnimationList()->GetCount(), 12u);
    }
    // Released (and deleted) by its own Release.
    CAnimationController* animation = mesh.CreateAnimationController();
    ASSERT_NE(animation, nullptr);
    CkvrMatrix world;
    world.Identity();
    // The figure is drawn at the fighters' height.
    const float k = FighterModels::kScale;
    animation->Play(FighterModels::ANIMATION_STAND, 0.0f, 1, 0);
    animation->UpdatePose(&world);
    EXPECT_NEAR(JointHeight(animation, "Hips"), 0.95f * k, 0.02f);
    EXPECT_NEAR(JointHeight(animation, "Head"), 1.47f * k, 0.02f);
    animation->Play(FighterModels::ANIMATION_DOWN, 0.0f, 0, 0);
    animation->Update(1.0f);
    animation->UpdatePose(&world);
    EXPECT_NEAR(JointHeight(animation, "Hips"), 0.18f * k, 0.02f);
    EXPECT_LT(JointHeight(animation, "Head"), 0.4f * k); // lying on its back
    animation->Play(FighterModels::ANIMATION_WIN, 0.0f, 1, 0);
    animation->UpdatePose(&world);
    EXPECT_GT(JointHeight(animation, "ForearmR"), 1.5f * k); // arms up
    animation->Release();
    mesh.Release();
}
