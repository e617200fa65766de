// A recorded battle of two human fighters (one on the local pad, one fed
// from outside as a peer's would be) and six computer fighters, over 5,000
// frames of changing length, plays back to the same state at every frame.
#include "tests/engine/core/TempFolder.h"
#include "tests/game/battle/BattleTestData.h"
#include "tests/game/battle/PadScript.h"

#include "engine/platform/FrameTimer.h"
#include "game/actor/CCharacter.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/CReplay.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace
{
constexpr uint32_t kFrames = 5000;
// The state after the last frame, the same in every build: a change to the
// frame order, the fighters or the replay moves it.
constexpr uint64_t kFinalHash = 0xa57dfa72eedb2d1aull;

// 15-18 ms, with a stall of 33 or 50 ms now and then.
uint32_t FrameTime(uint32_t frame)
{
    if (frame % 211 == 210)
        return 50;
    if (frame % 97 == 96)
        return 33;
    return 15 + (frame * 7) % 4;
}

// The local player's hands: the stick turning, attacks, jumps and aims.
void ScriptLocalPad(CInput* input, uint32_t frame)
{
    std::vector<uint8_t> held;
    if ((frame / 40) % 3 == 0)
        held.push_back(CCharacter::BUTTON_ATTACK);
    if (frame % 150 < 4)
        held.push_back(CCharacter::BUTTON_JUMP);
    if ((frame / 200) % 4 == 1)
        held.push_back(CCharacter::BUTTON_AIM);
    tag_KVRPADSTATE* pad = input->GetPadState(0);
    pad->previous = pad->current;
    std::memset(&pad->current, 0, sizeof(pad->current));
    for (uint8_t button : held)
        pad->current.button[button] = 1;
    CInput::UpdateButtonTimers(pad);
    // Values that a record keeps only in part: hundredths and whole pixels.
    pad->leftX = ((frame / 60) % 2 == 0 ? 0.637f : -0.4449f);
    pad->leftY = ((frame / 90) % 3 == 0 ? -0.999f : 0.25f);
    pad->mouseDeltaX = (frame % 50 < 10) ? 3.7f : 0.0f;
    pad->mouseDeltaY = (frame % 70 < 5) ? -1.2f : 0.0f;
}

// The other human's record for a frame, as a peer would send it.
tag_TOLQINPUTRECORD RemoteRecord(uint32_t frame)
{
    tag_TOLQINPUTRECORD record;
    if ((frame / 30) % 2 == 0)
        record.bytes[CCharacter::BUTTON_ATTACK / 8] |= 1u << (CCharacter::BUTTON_ATTACK % 8);
    record.bytes[7] = static_cast<uint8_t>(static_cast<int8_t>((frame / 45) % 2 == 0 ? 80 : -60));
    record.bytes[8] = static_cast<uint8_t>(static_cast<int8_t>(-100));
    record.bytes[11] = static_cast<uint8_t>(frame % 13 == 0 ? 5 : 0);
    return record;
}

tag_TOLQBATTLESETTING* RecordedSetting()
{
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(8, 0, nullptr);
    setting->seed = 20240601;
    setting->record = 1;
    setting->rules.npcCountIndex = 0;
    for (uint8_t i = 0; i < 8; ++i)
    {
        setting->players[i].character = static_cast<int8_t>(i);
        setting->players[i].characterCount = 8;
        setting->players[i].cpuLevel = static_cast<uint8_t>(i % 5);
    }
    setting->players[1].slotState = 1;
    setting->players[1].localInput = 0;
    setting->players[0].name = "Local";
    setting->players[1].name = "Remote";
    return setting;
}
}

TEST(BattleReplay, ARecordedBattlePlaysBackToTheSameStateAtEveryFrame)
{
    battletest::BattleData::Install();
    ASSERT_NE(battletest::BattleData::Get(), nullptr) << battletest::BattleData::GetError();
    TempFolder folder;
    setenv("XDG_DATA_HOME", folder.Path().c_str(), 1);
    const std::string file = (folder.Path() / "recorded.rep").string();

    std::vector<uint64_t> recorded;
    tag_TOLQBATTLESETTING* setting = RecordedSetting();
    {
        CBattleScene scene;
        ASSERT_EQ(scene.Init(reinterpret_cast<uintptr_t>(setting)), 1);
        ASSERT_NE(scene.GetReplay(), nullptr);
        for (uint32_t frame = 0; frame < kFrames; ++frame)
        {
            SetFrameTime(FrameTime(frame));
            ScriptLocalPad(scene.GetInput(), frame);
            const tag_TOLQINPUTRECORD remote = RemoteRecord(frame);
            scene.GetFighter(1)->ApplyInputRecord(&remote, scene.GetInput());
            scene.Update(0);
            recorded.push_back(scene.GetStateHash());
        }
        ASSERT_EQ(scene.GetConsole()->GetPhase(), ConsolePhase::Running);
        ASSERT_EQ(scene.GetReplay()->Finish(file.c_str()), 1);
    }
    FreeBattleSetting(setting);
    // Two human fighters: 4 + 15 + 15 bytes a frame after the setting.
    EXPECT_GT(std::filesystem::file_size(file), kFrames * 34u);

    auto* replay = new CReplay();
    replay->SetPacing(false);
    ASSERT_EQ(replay->OpenForPlay(file.c_str()), 1) << replay->GetError();
    tag_TOLQBATTLESETTING* played = CreateBattleSettingFrom(1, 0, nullptr);
    ASSERT_EQ(replay->ReadSetting(played), 1) << replay->GetError();
    played->playback = 1;
    played->record = 0;
    {
        CBattleScene scene;
        ASSERT_EQ(scene.Init(reinterpret_cast<uintptr_t>(played)), 1);
        scene.SetReplay(replay);
        uint32_t parted = kFrames;
        for (uint32_t frame = 0; frame < kFrames; ++frame)
        {
            SetFrameTime(1); // the replay's times replace whatever the loop measured
            scene.Update(0);
            if (scene.GetStateHash() != recorded[frame])
            {
                parted = frame;
                break;
            }
        }
        EXPECT_EQ(parted, kFrames) << "playback parts from the recording at this frame";
        EXPECT_EQ(recorded.back(), kFinalHash) << std::hex << recorded.back();
        // The file is at its end: the playback ends and so does the battle,
        // with its current state.
        EXPECT_EQ(scene.GetConsole()->GetPhase(), ConsolePhase::Running);
        scene.Update(0);
        EXPECT_TRUE(replay->HasEnded());
        EXPECT_NE(scene.GetConsole()->GetPhase(), ConsolePhase::Running);
    }
    FreeReplayTexts(played);
    FreeBattleSetting(played);
    unsetenv("XDG_DATA_HOME");
}
