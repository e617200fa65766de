// A battle inside the game application: its bullet pool, settings and
// records, the stage music and the result music, the ready/go voices, the
// HUD menus' sounds and the 4:3 camera of a wide window all come from the
// game's services. A random match's setup draws the lobby's matching line
// through the game's font.
#include "tests/game/GameHarness.h"
#include "tests/game/battle/PadScript.h"
#include "tests/game/battle/SetupHarness.h"

#include "engine/core/GameText.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFontTexture.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CCharacter.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/MenuKeys.h"
#include "net/lobby/CLobbyClient.h"
#include "tools/datakit/DataKit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace
{
// The stand-in set's battle files, as the data kit wrote them into the build
// folder: game data, models, effects, the HUD's picture and shadow, the
// music and voices the battle names.
std::vector<game_test::DataFile> BattleFiles()
{
    std::vector<game_test::DataFile> files = game_test::BasicFiles();
    for (const std::string& record : DataKit::LooseRecords())
    {
        const std::string extension = record.substr(record.rfind('.') + 1);
        const bool wanted = extension == "mdl" || extension == "efc" ||
                            CQorResourceController::ListOfName(record.c_str()) > 0 ||
                            record == "Texture\\Console_01.dds" || record == "Texture\\Shadow.dds" ||
                            record.rfind("Sound\\Vo_", 0) == 0 || record == "Sound\\Se_annouce.ogg" ||
                            record == "Bgm\\Bgm_plum.ogg" || record == "Bgm\\Bgm_win.ogg" ||
                            record == "Bgm\\Bgm_lose.ogg";
        if (!wanted)
            continue;
        std::string path = std::string(KVR_BATTLE_DATA_DIR) + "/Source/" + record;
        for (char& c : path)
            c = c == '\\' ? '/' : c;
        const std::string bytes = TempFolder::Read(path);
        files.push_back({record, std::vector<uint8_t>(bytes.begin(), bytes.end())});
    }
    return files;
}

CSoundBuffer* Sound(const char* name)
{
    return g_pResourceController->GetSoundList().FindByFileName(name);
}

bool AnyReadyVoicePlays()
{
    for (const auto& pair : CBattleConsole::kReadyVoices)
    {
        CSoundBuffer* voice = Sound(pair[0]);
        if (voice != nullptr && voice->IsPlaying())
            return true;
    }
    return false;
}
}

TEST(BattleWithGame, TheBattleTakesItsServicesFromTheGameApplication)
{
    game_test::GameHarness game(1280, 720, BattleFiles());
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.Load()) << game.Controller().GetLoadingError();
    // One more frame: the loading thread may have ended after the frame that
    // would have taken the graphics context back to this thread.
    game.Step(1);
    // The game application hands its resource lists to the fighters.
    EXPECT_EQ(CActorResources::GetController(), g_pResourceController);
    CGameConfig* config = game.Controller().GetGameConfig();
    config->GetPlayData()->builtInMusicCount = 11;
    config->GetPlayData()->musicCount = 11;
    config->GetRecord()->records.resize(8);
    tag_TOLQBATTLESETTING* setting = CreateBattleSetting(3, 0);
    ASSERT_NE(setting, nullptr);
    EXPECT_EQ(setting->rules.friendlyFire, config->GetData()->friendlyFire);
    setting->record = 0;
    setting->rules.musicChoice = 0;
    for (uint8_t i = 0; i < 3; ++i)
    {
        setting->players[i].character = static_cast<int8_t>(i);
        setting->players[i].characterCount = 8;
    }
    {
        CBattleScene scene;
        ASSERT_EQ(scene.Init(reinterpret_cast<uintptr_t>(setting)), 1);
        EXPECT_EQ(scene.GetBullets(), game.Controller().GetBulletPool());
        EXPECT_EQ(scene.GetInput(), g_pInput);
        EXPECT_EQ(config->GetRecord()->records[0].offline[0], 1u);
        ASSERT_NE(Sound("Bgm_plum.ogg"), nullptr);
        EXPECT_TRUE(Sound("Bgm_plum.ogg")->IsPlaying());
        // A 4:3 area of the wide window.
        EXPECT_EQ(scene.GetCamera()->GetViewport()[0], 160u);
        EXPECT_EQ(scene.GetCamera()->GetViewport()[2], 960u);

        const char* const items[] = {"a", "b"};
        const int8_t codes[] = {RESULT_RESUME, RESULT_RETRY};
        scene.GetConsole()->SetBanner1(2, 1, nullptr, items, codes);
        bool voiced = false;
        for (uint32_t frame = 0; frame < (500 + 6400) / 16 + 2; ++frame)
        {
            SetFrameTime(16);
            scene.Update(0);
            voiced = voiced || AnyReadyVoicePlays();
        }
        EXPECT_TRUE(voiced);
        ASSERT_EQ(scene.GetConsole()->GetPhase(), ConsolePhase::Running);
        battletest::HoldButtons(g_pInput, {CBattleConsole::BUTTON_MENU});
        scene.Update(0);
        battletest::HoldButtons(g_pInput, {MenuKeyButton(MenuKey::Down)});
        scene.Update(0);
        EXPECT_TRUE(Sound("Se_select.ogg")->IsPlaying());
        battletest::HoldButtons(g_pInput, {CBattleConsole::BUTTON_CANCEL});
        scene.Update(0);
        EXPECT_TRUE(Sound("Se_cancel.ogg")->IsPlaying());
        battletest::ReleaseButtons(g_pInput);

        scene.GetFighter(0)->GetStateBlock()->ruleCounter = 5;
        scene.Update(0);
        EXPECT_EQ(scene.GetConsole()->GetPhase(), ConsolePhase::Win);
        EXPECT_TRUE(Sound("Bgm_win.ogg")->IsPlaying());
        EXPECT_EQ(config->GetRecord()->records[0].offline[1], 1u);
        scene.Render(0);
        scene.Release();
        EXPECT_FALSE(Sound("Bgm_win.ogg")->IsPlaying());
    }
    FreeBattleSetting(setting);
}

// The match's host keeps the matching line on the members page while a
// player the lobby matched has no seat yet, and drops it once all are in.
TEST(BattleWithGame, ARandomMatchsHostShowsTheMatchingLineUntilTheMatchedPlayersAreSeated)
{
    game_test::GameHarness game(640, 480, game_test::BasicFiles());
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.Load()) << game.Controller().GetLoadingError();
    game.Step(1);
    CLobbyClient lobby;
    ASSERT_TRUE(lobby.Initialize(nullptr, "QOR", "", nullptr, nullptr, game.Controller().GetFont(0)));
    lobby.SetState(LOBBY_MATCH_HOST);
    {
        auto lock = lobby.Lock();
        lobby.GetStateBlock().matchedPlayers = 2;
    }
    setuptest::SetupHarness setup(CBattleConfig::PAGE_MEMBERS, true, true, nullptr, &lobby);
    std::set<std::string> drawn[2];
    for (std::set<std::string>& frame : drawn)
    {
        CFontTexture::SetTextListener([](const char* text, void* heard)
                                      { static_cast<std::set<std::string>*>(heard)->insert(text); },
                                      &frame);
        setup.setup.Render(0);
        setup.Entry(1).slotState = 1;
    }
    CFontTexture::SetTextListener(nullptr, nullptr);
    EXPECT_EQ(drawn[0].count(GameText("対戦相手募集中")), 1u);
    EXPECT_EQ(drawn[1].count(GameText("対戦相手募集中")), 0u);
}
