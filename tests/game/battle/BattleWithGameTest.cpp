// A battle inside the game application: its bullet pool, settings and
// records, the stage music and the result music, the ready/go voices, the
// HUD menus' sounds and the 4:3 camera of a wide window all come from the
// game's services.
#include "tests/game/GameHarness.h"
#include "tests/game/battle/PadScript.h"

#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CCharacter.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/MenuKeys.h"
#include "tools/datakit/DataKit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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
