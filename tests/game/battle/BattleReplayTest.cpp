// A recorded battle of two human fighters (one on the local pad, one fed
// from outside as a peer's would be) and six computer fighters, over 5,000
// frames of changing length, plays back to the same state at every frame;
// so does one with frames of 1.5 s.
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
constexpr uint64_t kFinalHash = 0x4a89813491defc2eull;

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

// Records frames of a battle from RecordedSetting with the given frame
// times into file; the state hash after every frame.
std::vector<uint64_t> RecordBattle(const std::string& file, uint32_t frames, uint32_t (*frameTime)(uint32_t))
{
    std::vector<uint64_t> recorded;
    tag_TOLQBATTLESETTING* setting = RecordedSetting();
    {
        CBattleScene scene;
        EXPECT_EQ(scene.Init(reinterpret_cast<uintptr_t>(setting)), 1);
        EXPECT_NE(scene.GetReplay(), nullptr);
        if (scene.GetReplay() == nullptr)
        {
            FreeBattleSetting(setting);
            return recorded;
        }
        for (uint32_t frame = 0; frame < frames; ++frame)
        {
            SetFrameTime(frameTime(frame));
            ScriptLocalPad(scene.GetInput(), frame);
            const tag_TOLQINPUTRECORD remote = RemoteRecord(frame);
            scene.GetFighter(1)->ApplyInputRecord(&remote, scene.GetInput());
            scene.Update(0);
            recorded.push_back(scene.GetStateHash());
        }
        EXPECT_EQ(scene.GetConsole()->GetPhase(), ConsolePhase::Running);
        EXPECT_EQ(scene.GetReplay()->Finish(file.c_str()), 1);
    }
    FreeBattleSetting(setting);
    return recorded;
}

// Plays file back unpaced against the recorded hashes: the first frame
// whose state differs (the frame count when none does). The playback then
// finds the file's end and the battle ends with it.
uint32_t PlayBack(const std::string& file, const std::vector<uint64_t>& recorded)
{
    auto* replay = new CReplay();
    replay->SetPacing(false);
    tag_TOLQBATTLESETTING* played = CreateBattleSettingFrom(1, 0, nullptr);
    uint32_t parted = 0;
    if (replay->OpenForPlay(file.c_str()) == 0 || replay->ReadSetting(played) == 0)
    {
        ADD_FAILURE() << replay->GetError();
        delete replay;
        FreeReplayTexts(played);
        FreeBattleSetting(played);
        return parted;
    }
    played->playback = 1;
    played->record = 0;
    {
        CBattleScene scene;
        EXPECT_EQ(scene.Init(reinterpret_cast<uintptr_t>(played)), 1);
        scene.SetReplay(replay);
        const uint32_t frames = static_cast<uint32_t>(recorded.size());
        parted = frames;
        for (uint32_t frame = 0; frame < frames; ++frame)
        {
            SetFrameTime(1); // the replay's times replace whatever the loop measured
            scene.Update(0);
            if (scene.GetStateHash() != recorded[frame])
            {
                parted = frame;
                break;
            }
        }
        EXPECT_FALSE(replay->HasEnded()) << replay->GetError();
        EXPECT_EQ(scene.GetConsole()->GetPhase(), ConsolePhase::Running);
        scene.Update(0);
        EXPECT_TRUE(replay->HasEnded());
        EXPECT_TRUE(replay->GetError().empty()) << replay->GetError();
        EXPECT_NE(scene.GetConsole()->GetPhase(), ConsolePhase::Running);
    }
    FreeReplayTexts(played);
    FreeBattleSetting(played);
    return parted;
}

// A slow first frame after the set-up, and a stall of 1.5 s later on.
uint32_t SlowFrameTime(uint32_t frame)
{
    return frame == 0 || frame == 450 ? 1500 : 16;
}

class BattleReplay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        battletest::BattleData::Install();
        ASSERT_NE(battletest::BattleData::Get(), nullptr) << battletest::BattleData::GetError();
        setenv("XDG_DATA_HOME", m_folder.Path().c_str(), 1);
    }
    void TearDown() override { unsetenv("XDG_DATA_HOME"); }
    std::string File(const char* name) const { return (m_folder.Path() / name).string(); }

private:
    TempFolder m_folder;
};
}

TEST_F(BattleReplay, ARecordedBattlePlaysBackToTheSameStateAtEveryFrame)
{
    const std::string file = File("recorded.rep");
    const std::vector<uint64_t> recorded = RecordBattle(file, kFrames, FrameTime);
    ASSERT_EQ(recorded.size(), kFrames);
    // Two human fighters: 4 + 15 + 15 bytes a frame after the setting.
    EXPECT_GT(std::filesystem::file_size(file), kFrames * 34u);
    EXPECT_EQ(PlayBack(file, recorded), kFrames) << "playback parts from the recording at this frame";
    EXPECT_EQ(recorded.back(), kFinalHash) << std::hex << recorded.back();
}

TEST_F(BattleReplay, FramesOfOneAndAHalfSecondsPlayBackToTheSameState)
{
    const std::string file = File("slow.rep");
    // Past the intro's 7 s into the fight.
    const std::vector<uint64_t> recorded = RecordBattle(file, 600, SlowFrameTime);
    ASSERT_EQ(recorded.size(), 600u);
    EXPECT_EQ(PlayBack(file, recorded), 600u) << "playback parts from the recording at this frame";
}
