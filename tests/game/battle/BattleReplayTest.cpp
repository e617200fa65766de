// A recorded battle of two human fighters (one on the local pad, one fed
// from outside as a peer's would be) and six computer fighters, over 5,000
// frames of changing length, plays back to the same state at every frame;
// so does one with frames of 1.5 s, one with frames of a minute played at
// their pace in the program's frame loop (which never waits longer than its
// own frame meanwhile, and opens the pause menu), and one with a frame
// longer than playback takes.
#include "tests/engine/core/TempFolder.h"
#include "tests/game/battle/BattleTestData.h"
#include "tests/game/battle/PadScript.h"

#include "engine/platform/FrameTimer.h"
#include "engine/render/CCamera.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CStage.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/CReplay.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/battle/tag_TOLQCONSOLESTATE.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
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

// Stalls of a minute in the fight, as of a laptop suspended and woken.
uint32_t StalledFrameTime(uint32_t frame)
{
    return frame == 450 || frame == 452 ? CReplay::kMaxFrameMilliseconds : 16;
}

// A stall longer than a replay frame may be.
uint32_t OverlongFrameTime(uint32_t frame)
{
    return frame == 450 ? CReplay::kMaxFrameMilliseconds + 30000 : 16;
}

// The frame timer's clock and sleep, faked for the program's frame loop at
// 60 frames a second: only its sleeps move the clock on.
uint32_t g_loopNow = 0;
uint32_t g_longestSleep = 0;
uint32_t LoopClock()
{
    return g_loopNow;
}
void LoopSleep(uint32_t milliseconds)
{
    g_longestSleep = std::max(g_longestSleep, milliseconds);
    g_loopNow += milliseconds;
}
class FakeFrameLoop
{
public:
    FakeFrameLoop()
    {
        g_loopNow = 5000;
        g_longestSleep = 0;
        SetFrameTimerClock(LoopClock, LoopSleep);
        InitFrameTimer(nullptr, 60);
    }
    ~FakeFrameLoop()
    {
        SetFrameTimerClock(nullptr, nullptr);
        InitFrameTimer(nullptr, 0);
    }
};

constexpr const char* kResumeItem[] = {"Resume"};
constexpr int8_t kResumeCode[] = {RESULT_RESUME};

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

TEST_F(BattleReplay, FramesOfAMinutePlayAtTheirPaceWhileTheFrameLoopRunsOnAndTakesThePauseMenu)
{
    const std::string file = File("stalled.rep");
    const std::vector<uint64_t> recorded = RecordBattle(file, 500, StalledFrameTime);
    ASSERT_EQ(recorded.size(), 500u);
    FakeFrameLoop loop;
    auto* replay = new CReplay();
    tag_TOLQBATTLESETTING* played = CreateBattleSettingFrom(1, 0, nullptr);
    ASSERT_TRUE(replay->OpenForPlay(file.c_str()) == 1 && replay->ReadSetting(played) == 1) << replay->GetError();
    played->playback = 1;
    played->record = 0;
    {
        CBattleScene scene;
        ASSERT_EQ(scene.Init(reinterpret_cast<uintptr_t>(played)), 1);
        scene.SetReplay(replay);
        scene.GetConsole()->SetBanner1(1, 1, nullptr, kResumeItem, kResumeCode);
        // Every loop frame either plays the next recorded frame or leaves
        // the battle as it stood; the loop frame each recorded one played in.
        uint64_t shown = scene.GetStateHash();
        std::map<uint32_t, uint32_t> playedAt;
        uint32_t next = 0;
        uint32_t pausedIn = 0;
        bool turned = false;
        for (uint32_t frame = 1; frame < 20000 && next < recorded.size(); ++frame)
        {
            WaitNextFrame();
            // Into the first stall: at 5 s the viewer turns the camera to
            // the other fighter for a loop frame; at 10 s the menu button
            // opens the pause menu, and pressed again 60 loop frames later
            // closes it.
            const uint32_t intoStall = next == 451 ? g_loopNow - playedAt[450] : 0;
            const bool turn = intoStall >= 5000 && !turned;
            const bool press = intoStall >= 10000 && (pausedIn == 0 || frame == pausedIn + 60);
            played->viewedSlot = turn ? 1 : 0;
            if (press)
                battletest::HoldButtons(scene.GetInput(), {CBattleConsole::BUTTON_MENU});
            else
                battletest::ReleaseButtons(scene.GetInput());
            scene.Update(0);
            if (turn)
            {
                turned = true;
                CkvrVector3 eye, target;
                scene.GetFighter(1)->UpdateCamera(nullptr, scene.GetStage(), &eye, &target);
                const CkvrVector3& at = scene.GetCamera()->GetTarget();
                EXPECT_TRUE(at.x == target.x && at.y == target.y && at.z == target.z) << "the camera stayed";
            }
            if (press && pausedIn == 0)
            {
                pausedIn = frame;
                EXPECT_EQ(scene.GetConsole()->GetState().currentMenu, ConsoleMenu::Pause);
            }
            const uint64_t hash = scene.GetStateHash();
            if (hash == recorded[next])
                playedAt[next++] = g_loopNow;
            else
                ASSERT_EQ(hash, shown) << "loop frame " << frame << " neither stood still nor played frame " << next;
            shown = hash;
        }
        EXPECT_EQ(next, recorded.size()) << "the playback stopped at this frame";
        EXPECT_TRUE(turned && pausedIn != 0) << "the stall was not reached";
        EXPECT_EQ(scene.GetConsole()->GetState().currentMenu, ConsoleMenu::None);
        EXPECT_LE(g_longestSleep, GetFrameInterval()) << "the loop waited longer than its frame";
        // Each stall holds its frame its length, and not a loop frame more.
        for (uint32_t stall : {450u, 452u})
        {
            EXPECT_GE(playedAt[stall + 1] - playedAt[stall], CReplay::kMaxFrameMilliseconds) << stall;
            EXPECT_LE(playedAt[stall + 1] - playedAt[stall], CReplay::kMaxFrameMilliseconds + 16) << stall;
        }
    }
    FreeReplayTexts(played);
    FreeBattleSetting(played);
}

TEST_F(BattleReplay, AFrameLongerThanPlaybackTakesIsRecordedAtTheLimitAndPlaysBackWholeAndAlike)
{
    const std::string file = File("overlong.rep");
    const std::vector<uint64_t> recorded = RecordBattle(file, 500, OverlongFrameTime);
    ASSERT_EQ(recorded.size(), 500u);
    EXPECT_EQ(PlayBack(file, recorded), 500u) << "playback parts from the recording at this frame";
}
