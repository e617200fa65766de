#include "tests/game/actor/StandInArena.h"

#include "engine/core/CRandom.h"
#include "engine/platform/FrameTimer.h"
#include "engine/render/CMesh.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CStateHash.h"
#include "game/actor/CWeapon.h"
#include "game/actor/SimulationMath.h"
#include "game/battle/BattleGameData.h"
#include "tools/datakit/GameDataKit.h"

#include <system_error>

namespace standin
{
namespace
{
bool OffTheSteps(float value)
{
    return QuantizeValue(value) != value;
}

bool OffTheSteps(const CkvrVector3& value)
{
    return OffTheSteps(value.x) || OffTheSteps(value.y) || OffTheSteps(value.z);
}
}

StandInData::StandInData() : m_graphics(64, 48)
{
    m_ready = Load();
}

StandInData::~StandInData()
{
    CActorResources::Install(nullptr);
    m_controller.Release();
    m_sound.Release();
    if (!m_previousFolder.empty())
    {
        std::error_code error;
        std::filesystem::current_path(m_previousFolder, error);
    }
}

bool StandInData::Load()
{
    const char* folder = KVR_BATTLE_DATA_DIR;
    if (!std::filesystem::exists(std::filesystem::path(folder) / "GameResource.grc"))
    {
        m_error = std::string("no stand-in data set in ") + folder;
        return false;
    }
    if (!m_graphics.Created() || m_sound.CreateLoopback() == 0)
    {
        m_error = "no headless graphics object or loopback sound device";
        return false;
    }
    m_previousFolder = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    if (m_controller.Load("GameResource.grc", 1) == 0)
    {
        m_error = m_controller.GetLastError();
        return false;
    }
    CActorResources::Install(&m_controller);
    // The battle's own copy of the definitions out of the controller.
    CopyGameDataLists(&m_controller, &m_lists);
    if (m_lists.FindStage(GameDataKit::kStageName) == nullptr || m_lists.characters.empty())
    {
        m_error = "the set has no stand-in arena or no characters";
        return false;
    }
    return true;
}

ArenaBattle::ArenaBattle(StandInData* data, uint8_t rule, IBattleConsole* console)
    : m_data(data), m_rule(rule), m_console(console), m_actorEffects(&m_effects)
{
    const CStageDefinition* definition = data->GetLists().FindStage(GameDataKit::kStageName);
    if (definition == nullptr || m_effects.Initialize(data->GetGraphics(), kEffectPool, kParticlePool) == 0)
        return;
    m_stage = std::make_unique<CStage>(*definition);
    m_stage->SetModels(CActorResources::FindMesh(definition->groundModel),
                       CActorResources::FindMesh(definition->hitModel));
    if (m_stage->Create(0) == 0)
        return;
    m_stage->CreateStageObjects(&data->GetLists(), &m_field, 0xFFFFFFFFu, 0xFFu, rule == 3 ? 1 : 0, 0x7F);
    m_stage->ResetPlacedObjects();
    m_frame.stage = m_stage.get();
    m_frame.bullets = &m_bullets;
    m_frame.field = &m_field;
    m_ready = true;
}

ArenaBattle::~ArenaBattle()
{
    m_bullets.DestroyAll();
    m_effects.ReleaseAll();
    for (std::unique_ptr<CCharacter>& fighter : m_fighters)
        fighter->ReleaseModel();
    for (std::unique_ptr<CWeapon>& weapon : m_field.weapons)
        weapon->ReleaseRuntime();
}

CCpu* ArenaBattle::AddCpu(uint32_t character, uint32_t level, uint32_t slots, bool thinking)
{
    const std::vector<CCharacterDefinition>& characters = m_data->GetLists().characters;
    const CCharacterDefinition* definition = &characters[character % characters.size()];
    const uint8_t index = static_cast<uint8_t>(m_fighters.size());
    auto cpu = std::make_unique<CCpu>(definition, level);
    uint32_t carried = 0;
    for (uint32_t slot = 0; slot < CCharacterDefinition::kWeaponSlots; ++slot)
    {
        const CWeaponDefinition* weapon = m_data->GetLists().FindWeapon(definition->defaultWeapons[slot]);
        if (weapon == nullptr || (slots & (1u << slot)) == 0)
            continue;
        cpu->AddWeapon(weapon, carried == 0 ? 1 : (carried == 1 ? 2 : 4));
        ++carried;
    }
    cpu->Create(0);
    tag_TOLQBATTLECHARADATA battle;
    battle.fighterIndex = index;
    battle.localInput = thinking ? 1 : 0;
    battle.input = &m_input;
    battle.console = m_console;
    battle.effects = &m_actorEffects;
    battle.bullets = &m_bullets;
    battle.totalFighters = index + 1u;
    // A goal no fighter reaches: every one fights to the end.
    battle.goalCount = kGoalCount;
    battle.rule = m_rule;
    cpu->Setup(&battle, &m_data->GetLists());
    CkvrVector3 rotation;
    const CkvrVector3* start = m_stage->GetStartPoint(index % m_stage->GetStartPointCount(), &rotation);
    cpu->SetPosition(start);
    cpu->SetRotation(&rotation);
    cpu->GetStateBlock()->cameraYaw = rotation.y;
    m_actorEffects.SetFighterVoices(index, &definition->voices);
    m_pointers.push_back(cpu.get());
    m_fighters.push_back(std::move(cpu));
    return static_cast<CCpu*>(m_pointers.back());
}

void ArenaBattle::Step(uint32_t milliseconds)
{
    SetFrameTime(milliseconds);
    m_frame.fighters = m_pointers.data();
    m_frame.count = static_cast<uint8_t>(m_pointers.size());
    m_frame.elements = m_stage->GetElements();
    m_frame.elementCount = m_stage->GetElementCount();
    const uintptr_t frame = reinterpret_cast<uintptr_t>(&m_frame);
    m_stage->Update(frame);
    m_bullets.UpdateAll(0);
    for (CCharacter* fighter : m_pointers)
        fighter->Update(frame);
    for (CCharacter* fighter : m_pointers)
        fighter->MoveAndCollide(&m_frame);
    m_field.Update(m_stage.get(), milliseconds);
    for (uint32_t i = 0; i < m_stage->GetElementCount(); ++i)
        m_stage->GetElements()[i]->Update(frame);
    for (CCharacter* fighter : m_pointers)
        fighter->UpdateHitsAndAttachments(&m_frame);
    m_bullets.HitTestAll(m_stage.get());
    m_effects.Update(0);
}

uint64_t ArenaBattle::Hash() const
{
    CStateHash hash;
    for (const CCharacter* fighter : m_pointers)
        fighter->HashState(&hash);
    m_bullets.HashState(&hash);
    m_field.HashState(&hash);
    m_stage->HashState(&hash);
    uint32_t state[4];
    GetRandomState(state);
    for (uint32_t word : state)
        hash.U32(word);
    return hash.Get();
}

std::string ArenaBattle::FindUnquantised() const
{
    for (const CCharacter* fighter : m_pointers)
    {
        const tag_TOLQCHARASTATE* state = fighter->GetStateBlock();
        if (OffTheSteps(*fighter->GetPosition()) || OffTheSteps(*fighter->GetRotation()) ||
            OffTheSteps(state->velocity) || OffTheSteps(state->cameraYaw) || OffTheSteps(state->cameraPitch))
            return std::string("fighter ") + fighter->GetDefinition()->name;
    }
    for (const CBullet* bullet = m_bullets.GetHead(); bullet != nullptr; bullet = m_bullets.GetNext(bullet))
    {
        if (OffTheSteps(*bullet->GetPosition()) || OffTheSteps(bullet->GetVelocity()))
            return "bullet";
    }
    for (const std::unique_ptr<CWeapon>& weapon : m_field.weapons)
    {
        if (OffTheSteps(*weapon->GetPosition()) || OffTheSteps(*weapon->GetRotation()))
            return std::string("field weapon ") + weapon->GetDefinition()->name;
    }
    for (const std::unique_ptr<CItem>& item : m_field.items)
    {
        if (OffTheSteps(*item->GetPosition()))
            return "field item";
    }
    for (uint32_t i = 0; i < m_stage->GetElementCount(); ++i)
    {
        if (OffTheSteps(*m_stage->GetElements()[i]->GetPosition()))
            return "element";
    }
    return "";
}
}
