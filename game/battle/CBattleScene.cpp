// Building a battle from its setting, the frame, and taking it down again.
//
// Sections: set-up (Init and its steps); the frame (Update); drawing
// (Render, in BattleSceneRender.cpp); the end (results in BattleResults.cpp,
// Release and the replay).
#include "game/battle/CBattleScene.h"

#include "engine/core/CRandom.h"
#include "engine/core/FailureLog.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/sound/CListener.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CRenderList.h"
#include "engine/resource/CResourceController.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/actor/CCpu.h"
#include "game/actor/CPlayer.h"
#include "game/actor/CStage.h"
#include "game/actor/CStateHash.h"
#include "game/actor/tag_TOLQBATTLEFRAME.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameServices.h"
#include "game/app/SaveFolder.h"
#include "game/battle/BattleGameData.h"
#include "game/battle/BattleServices.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CReplay.h"
#include "game/battle/ReplaySettingBlock.h"
#include "game/battle/SeatRadioChat.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr const char* kShadowTexture = "Shadow.dds";
constexpr const char* kProduct = "QOR";
constexpr uint32_t kSaveFolderSize = 512;
// A battle without settings keeps this many replays before it uses the
// "New" name.
constexpr uint32_t kDefaultReplayCount = 10;
// Music fades in and out at these speeds; the result music a little slower.
constexpr int32_t kMusicFadeIn = 200;
constexpr int32_t kMusicFadeOut = -200;
constexpr int32_t kResultMusicFadeIn = 150;
// The free camera over the stage.
constexpr int kFreeCameraFov = 60;
constexpr float kCameraNear = 0.1f;
constexpr float kCameraFar = 1500.0f;
constexpr float kFreeCameraHeight = 50.0f;
// A start point is drawn again while it is taken, at most this often (two
// points at one place would otherwise never let the search end).
constexpr uint32_t kMaxStartDraws = 256;
// The longest music list a signed music choice can index.
constexpr uint32_t kMaxMusicChoices = 127;

bool SamePosition(const CkvrVector3& a, const CkvrVector3& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool IsCloseRange(const CWeaponDefinition* weapon)
{
    return weapon->type <= 5;
}
}

CBattleScene::CBattleScene() = default;

CBattleScene::~CBattleScene()
{
    CBattleScene::Release();
}

uint32_t CBattleScene::GetPlayerCount() const
{
    return m_setting != nullptr ? m_setting->playerCount : 0;
}

void CBattleScene::SetReplay(CReplay* replay)
{
    m_replay.reset(replay);
}

// ---------------------------------------------------------------- set-up

int CBattleScene::Init(uintptr_t argument)
{
    m_setting = argument != 0 ? reinterpret_cast<tag_TOLQBATTLESETTING*>(argument) : CreateBattleSetting(2, 1);
    if (m_setting == nullptr)
        return 0;
    if (m_config == nullptr)
        m_config = GetBattleGameConfig();
    // The resources the fighters find their models and sounds in: the game
    // application installs its own when it publishes its services.
    CopyGameDataLists(CActorResources::GetController(), &m_gameData);
    std::string unresolved;
    if (m_setting->playback != 0 &&
        !ReplaySeatsResolve(*m_setting, static_cast<uint32_t>(m_gameData.characters.size()), &unresolved))
    {
        LogFailure("The replay can't be played", unresolved.c_str());
        return 0;
    }
    // The music is drawn before the seed is set, as every peer draws it.
    PickMusic();
    m_camera = std::make_unique<CCamera>();
    SetBattleCameraViewport(m_camera.get());
    m_listener = std::make_unique<CListener>(CSound::GetInstance());
    m_console = std::make_unique<CBattleConsole>();
    m_bullets = GetBattleBulletPool();
    if (m_bullets == nullptr)
    {
        m_ownBullets = std::make_unique<CBulletMemoryList>();
        m_bullets = m_ownBullets.get();
    }
    m_effectController = g_pEffectController;
    if (m_effectController == nullptr)
    {
        m_ownEffectController = std::make_unique<CEffectController>();
        m_ownEffectController->Initialize(CCamera::GetGraphics(), kEffectCapacity, kParticleCapacity);
        m_effectController = m_ownEffectController.get();
    }
    m_effects = std::make_unique<CActorEffects>(m_effectController);
    m_input = g_pInput;
    if (m_input == nullptr)
    {
        m_ownInput = std::make_unique<CInput>();
        m_input = m_ownInput.get();
    }
    // Effects and bullets left by an earlier battle would draw from the
    // stream the seed starts, and replays would part from the battle.
    m_effectController->ReleaseAll();
    m_bullets->DestroyAll();
    SeedRandom(m_setting->seed);
    FillSharedData();
    if (!CreateStage())
        return 0;
    CreatePlayers();
    CreateNpcs();
    if (!SetUpConsole())
        return 0;
    // Counted once the battle stands: a start that fails, and may be tried
    // again every frame, counts nothing.
    if (m_setting->session != nullptr)
        CountBattleNetwork(GetLocalPlayerIndex());
    else
        CountBattleOffline(GetLocalPlayerIndex());
    StartRecording();
    StartMusic();
    return 1;
}

void CBattleScene::PickMusic()
{
    m_musicLoop = 0.0f;
    m_setting->streamedMusic = 0;
    if (m_config == nullptr)
        return;
    const tag_TOLQPLAYDATA* play = m_config->GetPlayData();
    const uint32_t builtIn = play->builtInMusicCount < kBuiltInTracks ? play->builtInMusicCount : kBuiltInTracks;
    const uint32_t total = play->musicCount < kMaxMusicChoices ? play->musicCount : kMaxMusicChoices;
    int32_t choice = m_setting->rules.musicChoice;
    if (choice < 0 || static_cast<uint32_t>(choice) >= total)
    {
        // No music to draw from: silence rather than a draw of nothing.
        if (total == 0)
            return;
        choice = static_cast<int32_t>(Random() % total);
    }
    const uint32_t index = static_cast<uint32_t>(choice);
    if (index < builtIn)
    {
        m_stageMusic = CActorResources::FindSound(kTracks[index].name);
        m_musicLoop = kTracks[index].loopSeconds;
        return;
    }
    if (index - builtIn >= play->userMusic.size())
        return;
    const std::string path = "Bgm\\" + play->userMusic[index - builtIn] + ".wav";
    auto music = std::make_unique<CSoundBuffer>();
    if (music->Load(path.c_str(), 1, CResourceController::SOUND_MUSIC_NOTIFY) == 0)
        return;
    m_streamedMusic = std::move(music);
    m_stageMusic = m_streamedMusic.get();
    m_setting->streamedMusic = 1;
}

void CBattleScene::FillSharedData()
{
    const tag_TOLQBATTLERULE& rules = m_setting->rules;
    m_npcCount = m_gameData.characters.empty() ? 0 : rules.GetNpcCount();
    m_data = std::make_unique<tag_TOLQBATTLECHARADATA>();
    m_data->friendlyFire = rules.friendlyFire;
    m_data->teamBattle = rules.teamBattle;
    m_data->fighterWord = m_setting->fighterWord;
    m_data->rule = rules.rule;
    m_data->goalCount = static_cast<uint8_t>(rules.limit + 1);
    m_data->totalFighters = m_setting->playerCount + m_npcCount;
    if (m_config != nullptr)
    {
        m_data->effectVolume = m_config->GetData()->seVolume;
        m_data->voiceVolume = m_config->GetData()->voiceVolume;
    }
    m_data->bullets = m_bullets;
    m_data->input = m_input;
    m_data->console = m_console.get();
    m_data->effects = m_effects.get();
}

bool CBattleScene::CreateStage()
{
    const tag_TOLQBATTLERULE& rules = m_setting->rules;
    const int32_t choice = rules.stageChoice < static_cast<int8_t>(rules.stageCount) ? rules.stageChoice
                                                                                        : rules.randomStage;
    if (choice < 0 || static_cast<size_t>(choice) >= m_gameData.stages.size())
    {
        LogFailure("The battle can't start", ("there is no stage " + std::to_string(choice)).c_str());
        return false;
    }
    const CStageDefinition& definition = m_gameData.stages[static_cast<size_t>(choice)];
    m_stage = std::make_unique<CStage>(definition);
    m_stage->SetModels(CActorResources::FindMesh(definition.groundModel), CActorResources::FindMesh(definition.hitModel));
    if (m_stage->Create(0) == 0)
    {
        LogFailure("The battle can't start", ("the stage \"" + std::string(definition.name) + "\" has no models").c_str());
        return false;
    }
    // Altars offer only the elements of the characters that fight.
    uint32_t elements = 0;
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        const tag_TOLQBATTLEPLAYER& entry = m_setting->players[i];
        const uint8_t character = entry.GetCharacterIndex();
        if (!entry.IsClosed() && character < m_gameData.characters.size())
            elements |= 1u << (m_gameData.characters[character].element & 31u);
    }
    m_stage->CreateStageObjects(&m_gameData, &m_field, rules.weaponMask, rules.itemMask,
                                rules.rule == tag_TOLQBATTLERULE::RULE_TEAM_JEWELS ? 1 : 0,
                                elements & rules.elementMask);
    m_stage->ResetPlacedObjects();
    return true;
}

void CBattleScene::PlaceFighter(CCharacter* fighter, uint32_t index, uint32_t drawsUntil)
{
    const uint32_t points = m_stage->GetStartPointCount();
    if (points == 0)
        return;
    const uint32_t wanted = index < m_setting->playerCount ? m_setting->players[index].startPoint : points;
    uint32_t point = wanted;
    if (wanted >= points)
    {
        auto taken = [&](uint32_t candidate) {
            const CkvrVector3* at = m_stage->GetStartPoint(candidate, nullptr);
            for (uint32_t earlier = 0; earlier < index; ++earlier)
            {
                if (m_fighters[earlier] != nullptr && SamePosition(*m_fighters[earlier]->GetPosition(), *at))
                    return true;
            }
            return false;
        };
        point = RandomInt(points);
        for (uint32_t draws = 1; drawsUntil < points && taken(point) && draws < kMaxStartDraws; ++draws)
            point = RandomInt(points);
    }
    CkvrVector3 rotation;
    const CkvrVector3 position = *m_stage->GetStartPoint(point, &rotation);
    fighter->SetPosition(&position);
    fighter->SetRotation(&rotation);
}

void CBattleScene::EquipFighter(CCharacter* fighter, const char* const* weapons, uint32_t weaponCount)
{
    bool closeGiven = false, otherGiven = false;
    for (uint32_t i = 0; i < weaponCount; ++i)
    {
        const CWeaponDefinition* weapon = weapons[i] != nullptr ? m_gameData.FindWeapon(weapons[i]) : nullptr;
        if (weapon == nullptr)
            continue;
        bool& given = IsCloseRange(weapon) ? closeGiven : otherGiven;
        const uint32_t kind = given ? 4 : (IsCloseRange(weapon) ? 1 : 2);
        if (fighter->AddWeapon(weapon, kind) != 0)
            given = true;
    }
}

void CBattleScene::FinishFighter(CCharacter* fighter)
{
    fighter->SetShadowTexture(CActorResources::FindTexture(kShadowTexture));
    m_effects->SetFighterVoices(static_cast<uint32_t>(fighter->GetIndex()), &fighter->GetDefinition()->voices);
}

void CBattleScene::CreatePlayers()
{
    const uint32_t total = m_setting->playerCount + m_npcCount;
    m_fighters.assign(total, nullptr);
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        const tag_TOLQBATTLEPLAYER& entry = m_setting->players[i];
        if (entry.IsClosed())
            continue;
        const uint8_t character = entry.GetCharacterIndex();
        if (character >= m_gameData.characters.size())
        {
            LogFailure("A seat of the battle stays empty",
                       ("there is no character " + std::to_string(character)).c_str());
            continue;
        }
        const CCharacterDefinition* definition = &m_gameData.characters[character];
        const bool computer = entry.slotState == tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
        std::unique_ptr<CCharacter> fighter;
        if (computer)
            fighter = std::make_unique<CCpu>(definition, entry.cpuLevel);
        else
            fighter = std::make_unique<CPlayer>(definition);
        PlaceFighter(fighter.get(), i, i);
        tag_TOLQBATTLECHARADATA& data = *m_data;
        std::memcpy(data.factors, entry.factors, sizeof(data.factors));
        data.mouseSensitivity = computer ? 2.0f : entry.mouseSensitivity;
        data.cameraSensitivity = entry.cameraSensitivity;
        data.flags = entry.flags;
        data.extra = entry.extra;
        data.localInput = m_setting->playback != 0 ? (computer ? 1u : 0u) : entry.localInput;
        std::copy_n(FighterRadioChat(&entry, *definition), tag_TOLQBATTLECHARADATA::kRadioChats, data.radioChat);
        data.name = entry.name != nullptr ? entry.name : "";
        data.npc = 0;
        data.team = entry.team;
        data.fighterIndex = i;
        for (const char* name : entry.clothes)
            fighter->SetClothes(name != nullptr ? m_gameData.FindClothes(name) : nullptr);
        fighter->Create(0);
        // Set up before the weapons go in: each weapon takes its owner's
        // index, which its bullets carry.
        fighter->Setup(&data, &m_gameData);
        EquipFighter(fighter.get(), entry.weapons, tag_TOLQBATTLEPLAYER::kWeapons);
        FinishFighter(fighter.get());
        m_fighters[i] = fighter.get();
        m_owned.push_back(std::move(fighter));
    }
}

void CBattleScene::CreateNpcs()
{
    if (m_npcCount == 0)
        return;
    const CCharacterDefinition* definition = &m_gameData.characters.front();
    for (const CCharacterDefinition& candidate : m_gameData.characters)
    {
        if (candidate.npc != 0)
        {
            definition = &candidate;
            break;
        }
    }
    const char* weapons[CCharacterDefinition::kWeaponSlots];
    for (uint32_t w = 0; w < CCharacterDefinition::kWeaponSlots; ++w)
        weapons[w] = definition->defaultWeapons[w];
    for (uint32_t n = 0; n < m_npcCount; ++n)
    {
        const uint32_t index = m_setting->playerCount + n;
        auto fighter = std::make_unique<CCpu>(definition, m_setting->rules.cpuLevel);
        PlaceFighter(fighter.get(), index, index);
        tag_TOLQBATTLECHARADATA& data = *m_data;
        const tag_TOLQBATTLECHARADATA defaults;
        std::memcpy(data.factors, defaults.factors, sizeof(data.factors));
        data.mouseSensitivity = 2.0f;
        data.cameraSensitivity = defaults.cameraSensitivity;
        data.flags = 0;
        data.extra = 0;
        data.localInput = 1;
        std::copy_n(FighterRadioChat(nullptr, *definition), tag_TOLQBATTLECHARADATA::kRadioChats, data.radioChat);
        data.name = definition->name;
        data.npc = 1;
        data.team = tag_TOLQBATTLEPLAYER::kNoTeam;
        data.fighterIndex = static_cast<uint8_t>(index);
        fighter->Create(0);
        fighter->Setup(&data, &m_gameData);
        EquipFighter(fighter.get(), weapons, CCharacterDefinition::kWeaponSlots);
        FinishFighter(fighter.get());
        m_fighters[index] = fighter.get();
        m_owned.push_back(std::move(fighter));
    }
}

bool CBattleScene::SetUpConsole()
{
    if (m_console->Init(reinterpret_cast<uintptr_t>(m_setting)) == 0)
    {
        LogFailure("The battle can't start", "the HUD picture \"Console_01.dds\" is missing");
        return false;
    }
    const uint32_t local = GetLocalPlayerIndex();
    m_console->SetCharacters(m_fighters.data(), GetFighter(local < GetPlayerCount() ? local : GetFighterCount()),
                             GetFighterCount());
    m_console->SetStage(m_stage.get());
    m_console->SetField(&m_field);
    m_console->SetInput(m_input);
    m_console->StartIntro();
    return true;
}

void CBattleScene::StartRecording()
{
    if (m_setting->record == 0)
        return;
    char folder[kSaveFolderSize];
    if (GetSaveFolder(folder, kProduct, sizeof(folder)) == 0)
    {
        LogFailure("The battle is not recorded", "there is no save folder");
        return;
    }
    auto replay = std::make_unique<CReplay>();
    if (replay->OpenForRecord(folder) == 0)
    {
        LogFailure("The battle is not recorded", replay->GetError().c_str());
        return;
    }
    const uint32_t local = GetLocalPlayerIndex();
    const CCharacter* fighter = local < GetPlayerCount() ? m_fighters[local] : nullptr;
    replay->WriteHeader(m_stage->GetDefinition().name, fighter != nullptr ? fighter->GetDefinition()->name : "",
                        m_setting->session != nullptr ? 1 : 0);
    replay->WriteSetting(m_setting);
    m_replay = std::move(replay);
}

void CBattleScene::StartMusic()
{
    if (m_stageMusic != nullptr && m_stageMusic->IsPlaying())
        m_stageMusic->StopAll(1);
    const int32_t volume = m_config != nullptr ? m_config->GetData()->bgmVolume : 0;
    PlayBattleMusic(m_stageMusic, volume, kMusicFadeIn, m_musicLoop);
    m_winMusic = CActorResources::FindSound(kWinMusic.name);
    m_loseMusic = CActorResources::FindSound(kLoseMusic.name);
}

// ---------------------------------------------------------------- queries

uint32_t CBattleScene::GetLocalPlayerIndex() const
{
    if (m_setting == nullptr)
        return 0;
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        if (m_setting->players[i].slotState == static_cast<int8_t>(m_setting->ownSlot))
            return i;
    }
    return m_setting->ownSlot;
}

uint32_t CBattleScene::GetViewedIndex() const
{
    if (m_setting == nullptr)
        return 0;
    const uint32_t viewed = m_setting->viewedSlot;
    if (viewed >= m_setting->playerCount)
        return viewed;
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        if (m_setting->players[i].slotState == static_cast<int32_t>(viewed))
            return i;
    }
    uint32_t atOrBelow = 0;
    for (uint32_t i = viewed; i < m_setting->playerCount; ++i)
    {
        if (m_setting->players[i].slotState <= static_cast<int32_t>(viewed))
            ++atOrBelow;
    }
    return viewed - atOrBelow;
}

int CBattleScene::IsFinished() const
{
    if (m_console == nullptr)
        return 0;
    const tag_TOLQCONSOLESTATE& state = m_console->GetState();
    return state.phase == ConsolePhase::Finish && state.fade >= 1.0f ? 1 : 0;
}

// ---------------------------------------------------------------- the frame

int CBattleScene::Update(uintptr_t)
{
    if (m_console == nullptr || m_stage == nullptr)
        return 1;
    const uint32_t local = GetLocalPlayerIndex();
    const uint32_t viewed = GetViewedIndex();
    CCharacter* viewedFighter = viewed < GetPlayerCount() ? m_fighters[viewed] : nullptr;
    if (viewedFighter != nullptr)
        m_console->SetFocusedCharacter(viewedFighter);
    else
    {
        UpdateFreeCamera();
        m_console->SetFocusedCharacter(nullptr);
    }
    tag_TOLQBATTLEFRAME frame;
    frame.fighters = m_fighters.data();
    frame.count = static_cast<uint8_t>(m_fighters.size());
    frame.stage = m_stage.get();
    frame.bullets = m_bullets;
    frame.field = &m_field;
    frame.elements = m_stage->GetElements();
    frame.elementCount = m_stage->GetElementCount();
    if (m_streamedMusic != nullptr)
        m_streamedMusic->Update();
    if (!m_console->IsPlayBlocked())
    {
        if (HoldsReplayFrame())
            HoldFrame(viewedFighter);
        else
            StepSimulation(&frame);
    }
    m_console->Update(reinterpret_cast<uintptr_t>(m_camera.get()));
    CCharacter* localFighter = local < GetPlayerCount() ? m_fighters[local] : nullptr;
    if (m_config != nullptr && m_config->GetData()->padVibration != 0 && localFighter != nullptr)
    {
        tag_KVRPADSTATE* pad = m_input->GetPadState(0);
        pad->leftMotorSpeed = localFighter->GetControlState()->leftMotorSpeed;
        pad->rightMotorSpeed = localFighter->GetControlState()->rightMotorSpeed;
    }
    RecentreBattleMouse(m_input);
    const bool playbackOver = m_replay != nullptr && m_setting->playback != 0 && m_replay->HasEnded();
    if (m_console->GetPhase() == ConsolePhase::Running && (playbackOver || CheckEnd(local) != 0))
        EndBattle();
    return 1;
}

bool CBattleScene::HoldsReplayFrame() const
{
    return m_replay != nullptr && m_setting->playback != 0 && !m_replay->IsFrameDue();
}

// A loop frame in which the battle stands still: no time passes in it, so
// the HUD after it takes keys (its menus open) but moves nothing of the
// battle. The camera follows whom the viewer chose.
void CBattleScene::HoldFrame(const CCharacter* viewed)
{
    SetFrameTime(0);
    if (viewed != nullptr)
        viewed->UpdateCamera(m_camera.get(), m_stage.get());
}

void CBattleScene::UpdateFreeCamera()
{
    const float* extent = m_stage->GetExtent();
    const CkvrVector3 eye(extent[0] + extent[3], kFreeCameraHeight, extent[2] + extent[5]);
    const CkvrVector3 target(0.0f, 0.0f, 0.0f);
    // Over a stage centred on the origin the eye is straight above the
    // target, where "up" can't be up: the view is then turned to north.
    const bool straightDown = eye.x == 0.0f && eye.z == 0.0f;
    const CkvrVector3 up = straightDown ? CkvrVector3(0.0f, 0.0f, 1.0f) : CkvrVector3(0.0f, 1.0f, 0.0f);
    m_camera->SetProjection(kFreeCameraFov, -1.0f, kCameraNear, kCameraFar);
    m_camera->SetLookAt(&eye.x, &target.x, &up.x);
}

// A seat left during the battle: its fighter stands still from then on, on
// every machine alike.
void CBattleScene::ApplyDepartures()
{
    const tag_TOLQINPUTRECORD empty;
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        if (m_setting->players[i].IsClosed() && m_fighters[i] != nullptr)
            m_fighters[i]->ApplyInputRecord(&empty, m_input);
    }
}

void CBattleScene::StepSimulation(tag_TOLQBATTLEFRAME* frame)
{
    const uint32_t players = GetPlayerCount();
    if (m_replay != nullptr && m_setting->playback != 0)
        m_replay->PlayFrame(m_fighters.data(), players, m_input);
    else if (m_replay != nullptr && m_replay->IsRecording())
        SetFrameTime(CReplay::LimitFrameTime(GetElapsedMilliseconds()));
    ApplyDepartures();
    m_stage->Update(reinterpret_cast<uintptr_t>(frame));
    m_bullets->UpdateAll(0);
    for (CCharacter* fighter : m_fighters)
    {
        if (fighter != nullptr)
            fighter->Update(reinterpret_cast<uintptr_t>(frame));
    }
    for (CCharacter* fighter : m_fighters)
    {
        if (fighter != nullptr)
            fighter->MoveAndCollide(frame);
    }
    m_field.Update(m_stage.get(), GetElapsedMilliseconds());
    for (uint32_t i = 0; i < m_stage->GetElementCount(); ++i)
        m_stage->GetElements()[i]->Update(reinterpret_cast<uintptr_t>(frame));
    const uint32_t viewed = GetViewedIndex();
    for (uint32_t i = 0; i < m_fighters.size(); ++i)
    {
        if (m_fighters[i] == nullptr)
            continue;
        m_fighters[i]->UpdateHitsAndAttachments(frame);
        if (i < players)
            m_fighters[i]->UpdateCamera(i == viewed ? m_camera.get() : nullptr, m_stage.get());
    }
    m_bullets->HitTestAll(m_stage.get());
    m_effectController->Update(0);
    if (m_replay != nullptr && m_replay->IsRecording())
        m_replay->RecordFrame(m_fighters.data(), players, GetElapsedMilliseconds());
}

void CBattleScene::EndBattle()
{
    m_ended = true;
    if (m_stageMusic != nullptr)
        m_stageMusic->Fade(0, kMusicFadeOut);
    for (uint32_t i = 0; i < GetPlayerCount(); ++i)
    {
        if (m_fighters[i] != nullptr)
            m_fighters[i]->SetRequestedResultPose(GetResult(i));
    }
    // The local player's result shows even when its seat has no fighter, so
    // that the battle does end.
    const uint32_t local = GetLocalPlayerIndex();
    const uint8_t result = GetResult(local);
    const int32_t volume = m_config != nullptr ? m_config->GetData()->bgmVolume : 0;
    if (result == OUTCOME_WIN)
    {
        m_console->ShowWin();
        PlayBattleMusic(m_winMusic, volume, kResultMusicFadeIn, kWinMusic.loopSeconds);
    }
    else
    {
        if (result == OUTCOME_LOSE)
            m_console->ShowLose();
        else
            m_console->ShowDraw();
        PlayBattleMusic(m_loseMusic, volume, kResultMusicFadeIn, kLoseMusic.loopSeconds);
    }
    if (m_setting->session != nullptr)
        RecordResultNetwork(result, local);
    else
        RecordResultOffline(result, local);
}

void CBattleScene::HashState(CStateHash* hash) const
{
    for (const CCharacter* fighter : m_fighters)
    {
        hash->U8(fighter != nullptr ? 1 : 0);
        // A CPU's own decisions come with its hash.
        if (fighter != nullptr)
            fighter->HashState(hash);
    }
    if (m_bullets != nullptr)
        m_bullets->HashState(hash);
    m_field.HashState(hash);
    if (m_stage != nullptr)
        m_stage->HashState(hash);
    if (m_console != nullptr)
    {
        const tag_TOLQCONSOLESTATE& state = m_console->GetState();
        hash->U32(static_cast<uint32_t>(state.phase));
        hash->U32(state.phaseClock);
        hash->U32(state.timeLeft);
        hash->U32(state.voiceIndex);
    }
    uint32_t random[4];
    GetRandomState(random);
    for (uint32_t word : random)
        hash->U32(word);
}

uint64_t CBattleScene::GetStateHash() const
{
    CStateHash hash;
    HashState(&hash);
    return hash.Get();
}

// ---------------------------------------------------------------- the end

uint32_t CBattleScene::Release()
{
    if (m_setting == nullptr)
    {
        ReleaseAll();
        return 0;
    }
    const bool ended = m_ended || (m_stage != nullptr && CheckEnd(GetLocalPlayerIndex()) != 0);
    if (m_streamedMusic != nullptr)
    {
        m_streamedMusic->Release();
        m_streamedMusic.reset();
        m_setting->streamedMusic = 0;
    }
    else if (m_stageMusic != nullptr)
        m_stageMusic->StopAll(1);
    for (CSoundBuffer* music : {m_winMusic, m_loseMusic})
    {
        if (music != nullptr && music->IsPlaying())
            music->StopAll(1);
    }
    m_stageMusic = m_winMusic = m_loseMusic = nullptr;
    if (m_stage != nullptr)
        m_stage->ReleaseStageObjects();
    m_stage.reset();
    for (std::unique_ptr<CCharacter>& fighter : m_owned)
        fighter->ReleaseModel();
    m_owned.clear();
    m_fighters.clear();
    for (std::unique_ptr<CWeapon>& weapon : m_field.weapons)
        weapon->ReleaseRuntime();
    m_field.weapons.clear();
    for (std::unique_ptr<CItem>& item : m_field.items)
        item->ReleaseAttachedEffect();
    m_field.items.clear();
    if (m_effectController != nullptr)
        m_effectController->ReleaseAll();
    SaveReplay(ended);
    m_replay.reset();
    if (m_setting->freeWithBattle != 0)
        FreeBattleSetting(m_setting);
    m_setting = nullptr;
    ReleaseAll();
    return 1;
}

void CBattleScene::ReleaseAll()
{
    m_replay.reset();
    if (m_bullets != nullptr)
        m_bullets->DestroyAll();
    m_bullets = nullptr;
    m_ownBullets.reset();
    m_camera.reset();
    m_listener.reset();
    if (m_console != nullptr)
        m_console->Release();
    m_console.reset();
    m_effects.reset();
    m_effectController = nullptr;
    m_ownEffectController.reset();
    m_input = nullptr;
    m_ownInput.reset();
    m_ownRenderList.reset();
    m_data.reset();
    m_gameData.Clear();
    CScene::Release();
}

void CBattleScene::SaveReplay(bool ended)
{
    if (m_replay == nullptr || !m_replay->IsRecording() || !ended)
        return;
    char folder[kSaveFolderSize];
    if (GetSaveFolder(folder, kProduct, sizeof(folder)) == 0)
    {
        LogFailure("The replay is not saved", "there is no save folder");
        return;
    }
    const uint32_t count = m_config != nullptr ? m_config->GetData()->replayCount : kDefaultReplayCount;
    m_replay->Finish(CReplay::MakeFileName(folder, count).c_str());
}
