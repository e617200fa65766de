#pragma once

#include "game/actor/CCharacterDefinition.h"

#include <cstdint>
#include <string>
#include <vector>

// The stand-in fighters as a person can watch them fight: each character's
// model is a jointed figure of boxes skinned to a small skeleton (hips,
// chest, head, two-part arms and legs, the hand that holds the weapon), in a
// colour of its own, with the animations its character file names by motion.
namespace FighterModels
{
// The figures stand kHeight tall, head to foot: the height the battle's
// result shots and the setup's preview frame whole. Both look at 0.7 above
// the feet; the preview's camera, level and 3.2 away with a field of 30
// degrees, sees up to about 1.33 below the page's title band. Their shapes
// are written for a figure kWrittenHeight tall and scaled by kScale, the
// clothes' boxes on their bones too.
constexpr float kHeight = 1.25f;
constexpr float kWrittenHeight = 1.74f;
constexpr float kScale = kHeight / kWrittenHeight;

// The animations of every figure, by animation index.
enum Animation : uint8_t
{
    ANIMATION_STAND = 0,
    ANIMATION_RUN = 1,
    ANIMATION_JUMP = 2,
    ANIMATION_SWING = 3,
    ANIMATION_SHOOT = 4,
    ANIMATION_HIT = 5,
    ANIMATION_DOWN = 6,
    ANIMATION_GET_UP = 7,
    ANIMATION_WIN = 8,
    ANIMATION_LOSE = 9,
    ANIMATION_COUNT = 10,
};
// Their names in the model file.
constexpr const char* kAnimationNames[ANIMATION_COUNT] = {"Stand", "Run",  "Jump",  "Swing", "Shoot",
                                                          "Hit",   "Down", "GetUp", "Win",   "Lose"};

// "Fighter_NN.mdl" for character index.
std::string ModelName(uint32_t character);
// The model file of character index.
std::vector<uint8_t> Model(uint32_t character);
// The model files of every character, as records and bytes.
struct ModelFile
{
    std::string name; // the record, e.g. "Model\\Fighter_00.mdl"
    std::vector<uint8_t> bytes;
};
std::vector<ModelFile> Files(uint32_t characters);
// Gives a character definition its figure, the bone of the hand that holds
// its weapon, and the motions that play its animations: the result poses,
// then 8 + each action state.
void Dress(CCharacterDefinition* character, uint32_t index);
}
