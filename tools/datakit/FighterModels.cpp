// The stand-in fighters' jointed figures: boxes, bones, weights and the ten
// animations, written through the engine's own model writer.
//
// Sections: the skeleton; the boxes; the animations; the motion table.
#include "tools/datakit/FighterModels.h"

#include "tools/datakit/ModelBuilding.h"

#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrQuaternion.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelAnimation.h"
#include "engine/render/CModelBone.h"
#include "engine/render/CModelObject.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace
{
// Animation time runs at this many ticks a second.
constexpr float kTicks = 4800.0f;

// ---------------------------------------------------------------- the skeleton

enum Bone : uint32_t
{
    BONE_ROOT,
    BONE_HIPS,
    BONE_CHEST,
    BONE_HEAD,
    BONE_ARM_L,
    BONE_FOREARM_L,
    BONE_ARM_R,
    BONE_FOREARM_R,
    BONE_LEG_L,
    BONE_SHIN_L,
    BONE_LEG_R,
    BONE_SHIN_R,
    BONE_HAND_R,
    BONE_COUNT,
};

struct BoneShape
{
    const char* name;
    Bone parent;
    CkvrVector3 joint; // from the parent's joint, at rest
};

// Facing +z with y up, so +x is the figure's right. The hips stand 0.95
// above the feet. Every length below is scaled by FighterModels::kScale
// where it is used.
const BoneShape kBones[BONE_COUNT] = {
    {"root", BONE_ROOT, CkvrVector3(0.0f, 0.0f, 0.0f)},
    {"Hips", BONE_ROOT, CkvrVector3(0.0f, 0.95f, 0.0f)},
    {"Chest", BONE_HIPS, CkvrVector3(0.0f, 0.1f, 0.0f)},
    {"Head", BONE_CHEST, CkvrVector3(0.0f, 0.42f, 0.0f)},
    {"ArmL", BONE_CHEST, CkvrVector3(-0.25f, 0.36f, 0.0f)},
    {"ForearmL", BONE_ARM_L, CkvrVector3(0.0f, -0.3f, 0.0f)},
    {"ArmR", BONE_CHEST, CkvrVector3(0.25f, 0.36f, 0.0f)},
    {"ForearmR", BONE_ARM_R, CkvrVector3(0.0f, -0.3f, 0.0f)},
    {"LegL", BONE_HIPS, CkvrVector3(-0.11f, -0.05f, 0.0f)},
    {"ShinL", BONE_LEG_L, CkvrVector3(0.0f, -0.45f, 0.0f)},
    {"LegR", BONE_HIPS, CkvrVector3(0.11f, -0.05f, 0.0f)},
    {"ShinR", BONE_LEG_R, CkvrVector3(0.0f, -0.45f, 0.0f)},
    // At the wrist: the grip of the weapon, which runs forward from it.
    {"HandR", BONE_FOREARM_R, CkvrVector3(0.0f, -0.27f, 0.0f)},
};

CkvrVector3 Scaled(const CkvrVector3& v)
{
    return v * FighterModels::kScale;
}

CkvrVector3 Joint(Bone bone)
{
    return Scaled(kBones[bone].joint);
}

CkvrVector3 RestPosition(Bone bone)
{
    CkvrVector3 at = Joint(bone);
    for (Bone b = bone; b != BONE_ROOT;)
    {
        b = kBones[b].parent;
        at = at + Joint(b);
    }
    return at;
}

void AddSkeleton(CMesh* mesh, CModelBone* bones[BONE_COUNT])
{
    for (uint32_t i = 0; i < BONE_COUNT; ++i)
    {
        CModelBone* bone = new CModelBone();
        bone->SetName(kBones[i].name);
        bone->SetIndex(i);
        mesh->GetBoneList()->Add(bone);
        bones[i] = bone;
        if (i == BONE_ROOT)
            continue;
        CModelBone* parent = bones[kBones[i].parent];
        bone->SetParent(parent);
        parent->GetChildren()->Add(bone);
        const CkvrVector3 joint = Joint(static_cast<Bone>(i));
        bone->GetLocalMatrix()->SetTranslation(&joint);
        // Skinned from the figure's space: the offset undoes the rest place.
        const CkvrVector3 back = RestPosition(static_cast<Bone>(i)) * -1.0f;
        bone->GetOffsetMatrix()->SetTranslation(&back);
    }
}

// ---------------------------------------------------------------- the boxes

struct Part
{
    Bone bone;
    CkvrVector3 low, high; // the box's corners in the figure's space, at rest
    uint32_t tone;         // 0 the figure's colour, 1 darker, 2 skin, 3 the visor
};

const Part kParts[] = {
    {BONE_HIPS, CkvrVector3(-0.17f, 0.84f, -0.11f), CkvrVector3(0.17f, 1.04f, 0.11f), 1},
    {BONE_CHEST, CkvrVector3(-0.2f, 1.04f, -0.12f), CkvrVector3(0.2f, 1.45f, 0.12f), 0},
    {BONE_HEAD, CkvrVector3(-0.12f, 1.48f, -0.12f), CkvrVector3(0.12f, 1.74f, 0.12f), 2},
    {BONE_HEAD, CkvrVector3(-0.09f, 1.59f, 0.12f), CkvrVector3(0.09f, 1.65f, 0.14f), 3},
    {BONE_ARM_L, CkvrVector3(-0.31f, 1.12f, -0.055f), CkvrVector3(-0.2f, 1.44f, 0.055f), 0},
    {BONE_FOREARM_L, CkvrVector3(-0.3f, 0.84f, -0.05f), CkvrVector3(-0.21f, 1.12f, 0.05f), 2},
    {BONE_ARM_R, CkvrVector3(0.2f, 1.12f, -0.055f), CkvrVector3(0.31f, 1.44f, 0.055f), 0},
    {BONE_FOREARM_R, CkvrVector3(0.21f, 0.84f, -0.05f), CkvrVector3(0.3f, 1.12f, 0.05f), 2},
    {BONE_LEG_L, CkvrVector3(-0.18f, 0.46f, -0.075f), CkvrVector3(-0.04f, 0.9f, 0.075f), 1},
    {BONE_SHIN_L, CkvrVector3(-0.17f, 0.0f, -0.065f), CkvrVector3(-0.05f, 0.46f, 0.065f), 1},
    {BONE_SHIN_L, CkvrVector3(-0.17f, 0.0f, 0.065f), CkvrVector3(-0.05f, 0.07f, 0.16f), 3},
    {BONE_LEG_R, CkvrVector3(0.04f, 0.46f, -0.075f), CkvrVector3(0.18f, 0.9f, 0.075f), 1},
    {BONE_SHIN_R, CkvrVector3(0.05f, 0.0f, -0.065f), CkvrVector3(0.17f, 0.46f, 0.065f), 1},
    {BONE_SHIN_R, CkvrVector3(0.05f, 0.0f, 0.065f), CkvrVector3(0.17f, 0.07f, 0.16f), 3},
};

// A hue per character, red, green, blue in 0..1.
const float kHues[8][3] = {{0.9f, 0.2f, 0.2f}, {0.2f, 0.45f, 0.95f}, {0.95f, 0.8f, 0.15f}, {0.2f, 0.8f, 0.3f},
                           {0.7f, 0.3f, 0.9f}, {0.95f, 0.5f, 0.1f},  {0.2f, 0.85f, 0.85f}, {0.85f, 0.85f, 0.85f}};

CkvrVector4 ToneColour(uint32_t character, uint32_t tone)
{
    const float* hue = kHues[character % 8];
    switch (tone)
    {
    case 0: return CkvrVector4(hue[0], hue[1], hue[2], 1.0f);
    case 1: return CkvrVector4(hue[0] * 0.5f, hue[1] * 0.5f, hue[2] * 0.5f, 1.0f);
    case 2: return CkvrVector4(0.95f, 0.78f, 0.62f, 1.0f);
    default: return CkvrVector4(0.1f, 0.1f, 0.12f, 1.0f);
    }
}

// Lit by the battle's light and a little by itself, so a figure reads in
// shade too.
CModelObject* Box(const Part& part, uint32_t character, const char* name)
{
    CModelObject* box = new CModelObject();
    box->SetName(name);
    const CkvrVector3 l = Scaled(part.low);
    const CkvrVector3 h = Scaled(part.high);
    std::vector<uint32_t> indices;
    auto face = [&](CkvrVector3 p0, CkvrVector3 p1, CkvrVector3 p2, CkvrVector3 p3, CkvrVector3 normal) {
        const CkvrVector3 corners[4] = {p0, p1, p2, p3};
        ModelBuilding::AddQuad(box, &indices, corners, normal, static_cast<int32_t>(part.bone));
    };
    face({l.x, l.y, l.z}, {l.x, h.y, l.z}, {h.x, h.y, l.z}, {h.x, l.y, l.z}, {0, 0, -1});
    face({l.x, l.y, h.z}, {h.x, l.y, h.z}, {h.x, h.y, h.z}, {l.x, h.y, h.z}, {0, 0, 1});
    face({l.x, l.y, l.z}, {l.x, l.y, h.z}, {l.x, h.y, h.z}, {l.x, h.y, l.z}, {-1, 0, 0});
    face({h.x, l.y, l.z}, {h.x, h.y, l.z}, {h.x, h.y, h.z}, {h.x, l.y, h.z}, {1, 0, 0});
    face({l.x, h.y, l.z}, {l.x, h.y, h.z}, {h.x, h.y, h.z}, {h.x, h.y, l.z}, {0, 1, 0});
    face({l.x, l.y, l.z}, {h.x, l.y, l.z}, {h.x, l.y, h.z}, {l.x, l.y, h.z}, {0, -1, 0});
    const tag_KVRMODELMATERIAL material = ModelBuilding::FlatMaterial(ToneColour(character, part.tone), 0.6f, 0.25f);
    ModelBuilding::FinishObject(box, indices, material);
    return box;
}

void AddBoxes(CMesh* mesh, CModelBone* bones[BONE_COUNT], uint32_t character)
{
    uint16_t object = 0;
    for (const Part& part : kParts)
    {
        char name[32];
        std::snprintf(name, sizeof(name), "%s_%u", kBones[part.bone].name, static_cast<unsigned>(object));
        CModelObject* box = Box(part, character, name);
        mesh->GetObjectList()->Add(box);
        for (uint32_t v = 0; v < box->GetVertexList()->GetCount(); ++v)
            bones[part.bone]->GetWeights()->Add(tag_KVRBONEWEIGHT{object, v, 1.0f});
        ++object;
    }
}

// ---------------------------------------------------------------- the animations

// A bone's turn in degrees about x (forward is negative for limbs hanging
// down: the hand or foot swings to +z), then y, then z.
struct Turn
{
    Bone bone;
    float x, y, z;
};

// One key of an animation: its time, the turned bones (the others stand as
// at rest) and the hips' height.
struct Key
{
    float seconds;
    std::initializer_list<Turn> turns;
    float hipsHeight = 0.95f;
};

CkvrQuaternion Rotation(float x, float y, float z)
{
    CkvrMatrix turn;
    turn.SetRotationXYZ(x, y, z);
    CkvrQuaternion q;
    q.SetRotationMatrix(&turn);
    return q;
}

void AddAnimation(CMesh* mesh, CModelBone* bones[BONE_COUNT], const char* name, std::initializer_list<Key> keys)
{
    CModelAnimation* animation = new CModelAnimation();
    animation->SetName(name);
    float last = 0.0f;
    for (const Key& key : keys)
        last = key.seconds;
    animation->SetStoredLength(static_cast<uint32_t>(last * kTicks));
    // Every bone gets a track, so that switching animations leaves none in
    // the last one's pose.
    for (uint32_t b = BONE_HIPS; b < BONE_COUNT; ++b)
    {
        tag_KVRBONEANIMATION track = {};
        track.bone = bones[b];
        track.boneName = bones[b]->GetName();
        track.rotation = new CKeyFrameList<CkvrQuaternion>();
        track.rotation->SetName("Rotation");
        track.rotation->SetCount(static_cast<uint32_t>(keys.size()));
        if (b == BONE_HIPS)
        {
            track.position = new CKeyFrameList<CkvrVector3>();
            track.position->SetName("Position");
            track.position->SetCount(static_cast<uint32_t>(keys.size()));
        }
        uint32_t k = 0;
        for (const Key& key : keys)
        {
            Turn turn = {static_cast<Bone>(b), 0.0f, 0.0f, 0.0f};
            for (const Turn& given : key.turns)
            {
                if (given.bone == b)
                    turn = given;
            }
            *track.rotation->GetAt(k) = {key.seconds * kTicks, 0.0f, Rotation(turn.x, turn.y, turn.z)};
            if (track.position != nullptr)
                *track.position->GetAt(k) = {key.seconds * kTicks, 0.0f,
                                             Scaled(CkvrVector3(0.0f, key.hipsHeight, 0.0f))};
            ++k;
        }
        animation->GetBoneAnimationList()->Add(track);
    }
    mesh->GetAnimationList()->Add(animation);
}

void AddAnimations(CMesh* mesh, CModelBone* bones[BONE_COUNT])
{
    using namespace FighterModels;
    // Arms hang a little away from the body.
    const Turn armL = {BONE_ARM_L, 0, 0, -8}, armR = {BONE_ARM_R, 0, 0, 8};
    // The hand turned so that the weapon runs along the arm: a gun aimed
    // down a raised arm, a blade hanging from a limp hand or held up in
    // victory; and so that a fallen fighter's blade lies beside it, towards
    // its feet.
    const Turn handAlong = {BONE_HAND_R, 90, 0, 0}, handBeside = {BONE_HAND_R, 90, 0, -60};
    AddAnimation(mesh, bones, kAnimationNames[ANIMATION_STAND],
                 {{0.0f, {armL, armR}}, {1.0f, {armL, armR, {BONE_CHEST, 3, 0, 0}}, 0.94f}, {2.0f, {armL, armR}}});
    AddAnimation(mesh, bones, kAnimationNames[ANIMATION_RUN],
                 {{0.0f, {{BONE_CHEST, 10, 0, 0}, {BONE_LEG_L, -40, 0, 0}, {BONE_SHIN_L, 15, 0, 0}, {BONE_LEG_R, 35, 0, 0},
                          {BONE_SHIN_R, 45, 0, 0}, {BONE_ARM_L, 35, 0, -8}, {BONE_ARM_R, -35, 0, 8},
                          {BONE_FOREARM_L, -30, 0, 0}, {BONE_FOREARM_R, -40, 0, 0}}},
                  {0.15f, {{BONE_CHEST, 10, 0, 0}, {BONE_SHIN_L, 20, 0, 0}, {BONE_SHIN_R, 60, 0, 0},
                           {BONE_FOREARM_L, -35, 0, 0}, {BONE_FOREARM_R, -35, 0, 0}}, 1.0f},
                  {0.3f, {{BONE_CHEST, 10, 0, 0}, {BONE_LEG_L, 35, 0, 0}, {BONE_SHIN_L, 45, 0, 0}, {BONE_LEG_R, -40, 0, 0},
                          {BONE_SHIN_R, 15, 0, 0}, {BONE_ARM_L, -35, 0, -8}, {BONE_ARM_R, 35, 0, 8},
                          {BONE_FOREARM_L, -40, 0, 0}, {BONE_FOREARM_R, -30, 0, 0}}},
                  {0.45f, {{BONE_CHEST, 10, 0, 0}, {BONE_SHIN_L, 60, 0, 0}, {BONE_SHIN_R, 20, 0, 0},
                           {BONE_FOREARM_L, -35, 0, 0}, {BONE_FOREARM_R, -35, 0, 0}}, 1.0f},
                  {0.6f, {{BONE_CHEST, 10, 0, 0}, {BONE_LEG_L, -40, 0, 0}, {BONE_SHIN_L, 15, 0, 0}, {BONE_LEG_R, 35, 0, 0},
                          {BONE_SHIN_R, 45, 0, 0}, {BONE_ARM_L, 35, 0, -8}, {BONE_ARM_R, -35, 0, 8},
                          {BONE_FOREARM_L, -30, 0, 0}, {BONE_FOREARM_R, -40, 0, 0}}}});
    AddAnimation(mesh, bones, kAnimationNames[ANIMATION_JUMP],
                 {{0.0f, {armL, armR}},
                  {0.15f, {{BONE_LEG_L, -60, 0, 0}, {BONE_SHIN_L, 80, 0, 0}, {BONE_LEG_R, -30, 0, 0}, {BONE_SHIN_R, 50, 0, 0},
                           {BONE_ARM_L, -150, 0, -20}, {BONE_ARM_R, -150, 0, 20}}},
                  {0.4f, {{BONE_LEG_L, -50, 0, 0}, {BONE_SHIN_L, 70, 0, 0}, {BONE_LEG_R, -20, 0, 0}, {BONE_SHIN_R, 40, 0, 0},
                          {BONE_ARM_L, -160, 0, -25}, {BONE_ARM_R, -160, 0, 25}}}});
    AddAnimation(mesh, bones, kAnimationNames[ANIMATION_SWING],
                 {{0.0f, {{BONE_CHEST, 0, -30, 0}, {BONE_ARM_R, -170, 0, 10}, {BONE_FOREARM_R, -30, 0, 0}, armL}},
                  {0.12f, {{BONE_CHEST, 5, -35, 0}, {BONE_ARM_R, -175, 0, 15}, {BONE_FOREARM_R, -50, 0, 0}, armL}},
                  {0.3f, {{BONE_CHEST, 15, 30, 0}, {BONE_ARM_R, -40, 0, -10}, {BONE_FOREARM_R, -10, 0, 0},
                          {BONE_ARM_L, 25, 0, -15}, {BONE_LEG_L, -20, 0, 0}}},
                  {0.5f, {armL, armR}}});
    AddAnimation(mesh, bones, kAnimationNames[ANIMATION_SHOOT],
                 {{0.0f, {armL, armR}},
                  {0.08f, {{BONE_CHEST, 0, -15, 0}, {BONE_ARM_R, -90, 0, 0}, {BONE_ARM_L, -80, 0, 25},
                           {BONE_FOREARM_L, -20, 0, 0}, handAlong}},
                  {0.12f, {{BONE_CHEST, -4, -15, 0}, {BONE_ARM_R, -105, 0, 0}, {BONE_ARM_L, -90, 0, 25},
                           {BONE_FOREARM_L, -20, 0, 0}, handAlong}},
                  {0.3f, {{BONE_CHEST, 0, -15, 0}, {BONE_ARM_R, -90, 0, 0}, {BONE_ARM_L, -80, 0, 25},
                          {BONE_FOREARM_L, -20, 0, 0}, handAlong}}});
    AddAnimation(mesh, bones, kAnimationNames[ANIMATION_HIT],
                 {{0.0f, {armL, armR}},
                  {0.08f, {{BONE_CHEST, -25, 0, 5}, {BONE_HEAD, -20, 0, 0}, {BONE_ARM_L, 20, 0, -40},
                           {BONE_ARM_R, 20, 0, 40}}, 0.9f},
                  {0.3f, {armL, armR}}});
    const std::initializer_list<Turn> lying = {{BONE_HIPS, -85, 0, 0}, {BONE_ARM_L, 0, 0, -60}, {BONE_ARM_R, 0, 0, 60},
                                               {BONE_LEG_L, 0, 0, -10}, {BONE_LEG_R, 0, 0, 10}, handBeside};
    AddAnimation(mesh, bones, kAnimationNames[ANIMATION_DOWN],
                 {{0.0f, {armL, armR}},
                  {0.2f, {{BONE_HIPS, -40, 0, 0}, {BONE_LEG_L, -40, 0, 0}, {BONE_SHIN_L, 60, 0, 0},
                          {BONE_ARM_L, -60, 0, -30}, {BONE_ARM_R, -60, 0, 30}}, 0.6f},
                  {0.45f, lying, 0.18f}});
    AddAnimation(mesh, bones, kAnimationNames[ANIMATION_GET_UP],
                 {{0.0f, lying, 0.18f},
                  {0.3f, {{BONE_HIPS, 10, 0, 0}, {BONE_CHEST, 30, 0, 0}, {BONE_LEG_L, -80, 0, 0}, {BONE_SHIN_L, 110, 0, 0},
                          {BONE_LEG_R, -80, 0, 0}, {BONE_SHIN_R, 110, 0, 0}}, 0.5f},
                  {0.6f, {armL, armR}}});
    AddAnimation(mesh, bones, kAnimationNames[ANIMATION_WIN],
                 {{0.0f, {{BONE_ARM_L, 0, 0, -150}, {BONE_ARM_R, 0, 0, 150}, handAlong}},
                  {0.4f, {{BONE_ARM_L, 0, 0, -130}, {BONE_ARM_R, 0, 0, 130}, {BONE_HEAD, -15, 0, 0}, handAlong}, 1.08f},
                  {0.8f, {{BONE_ARM_L, 0, 0, -150}, {BONE_ARM_R, 0, 0, 150}, handAlong}}});
    AddAnimation(mesh, bones, kAnimationNames[ANIMATION_LOSE],
                 {{0.0f, {armL, armR}},
                  {0.8f, {{BONE_CHEST, 35, 0, 0}, {BONE_HEAD, 30, 0, 0}, {BONE_ARM_L, 15, 0, -4}, {BONE_ARM_R, 15, 0, 4},
                          {BONE_LEG_L, -15, 0, 0}, {BONE_SHIN_L, 30, 0, 0}, {BONE_LEG_R, -15, 0, 0},
                          {BONE_SHIN_R, 30, 0, 0}, handAlong}, 0.9f}});
}

}

// ---------------------------------------------------------------- the motion table

std::string FighterModels::ModelName(uint32_t character)
{
    char name[32];
    std::snprintf(name, sizeof(name), "Fighter_%02u.mdl", static_cast<unsigned>(character));
    return name;
}

std::vector<uint8_t> FighterModels::Model(uint32_t character)
{
    CMesh mesh;
    CModelBone* bones[BONE_COUNT] = {};
    AddSkeleton(&mesh, bones);
    AddBoxes(&mesh, bones, character);
    AddAnimations(&mesh, bones);
    std::vector<uint8_t> bytes = ModelBuilding::WriteModel(&mesh);
    mesh.Release();
    return bytes;
}

std::vector<FighterModels::ModelFile> FighterModels::Files(uint32_t characters)
{
    std::vector<ModelFile> files;
    for (uint32_t i = 0; i < characters; ++i)
        files.push_back({"Model\\" + ModelName(i), Model(i)});
    return files;
}

void FighterModels::Dress(CCharacterDefinition* character, uint32_t index)
{
    using Motion = CCharacterDefinition::Motion;
    const Motion none = {255, 0, 1.0f};
    auto loop = [](Animation animation) { return Motion{animation, 1, 1.0f}; };
    auto once = [](Animation animation) { return Motion{animation, 0, 1.0f}; };
    character->model = ModelName(index);
    character->handBone = kBones[BONE_HAND_R].name;
    // 0-7: the poses (1 and 2 ready, 3 back to control, 4 win, 5 lose and
    // draw); from 8: 8 + the action state the fighter enters.
    character->motions = {
        loop(ANIMATION_STAND), loop(ANIMATION_STAND), loop(ANIMATION_STAND), loop(ANIMATION_STAND),
        loop(ANIMATION_WIN),   once(ANIMATION_LOSE),  none,                  none,
        loop(ANIMATION_STAND), once(ANIMATION_DOWN),  loop(ANIMATION_WIN),   none,                   // 0-3
        loop(ANIMATION_RUN),   once(ANIMATION_JUMP),  once(ANIMATION_JUMP),  once(ANIMATION_JUMP),   // 4-7
        once(ANIMATION_GET_UP), once(ANIMATION_SHOOT), loop(ANIMATION_RUN),  none,                  // 8-11
        once(ANIMATION_HIT),   once(ANIMATION_SHOOT), none,                  once(ANIMATION_SWING),  // 12-15
        none,                  once(ANIMATION_SHOOT), none,                  none,                   // 16-19
        none,                  none,                  once(ANIMATION_SWING), once(ANIMATION_SWING),  // 20-23
        once(ANIMATION_SWING),
    };
}
