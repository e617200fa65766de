// The process entry of the game: everything runs from WinMain with this
// process's instance token; the game application is CController on the
// game's scenes. The first argument, when given, is the data folder.
#include "engine/platform/WinMain.h"
#include "engine/render/RenderClasses.h"
#include "game/app/CController.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/SceneFactory.h"
#include "game/story/StoryBattleSetting.h"

#include <filesystem>
#include <new>
#include <system_error>

CApplicationMain* CreateApplication()
{
    return new (std::nothrow) CController();
}

int main(int argc, char** argv)
{
    // The window's creation makes the program's folder current: a relative
    // data folder is taken from where the program was started.
    if (argc > 1)
    {
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::absolute(argv[1], error);
        CController::SetDataFolder(error ? argv[1] : folder.c_str());
    }
    CController::SetSceneFactory(&CreateGameScene);
    // Stories and missions make their battle settings as every battle does,
    // from the settings and play data: installed before the resource list
    // is read, and kept for the program's life.
    SetBattleSettingFactory(&CreateBattleSetting, &FreeBattleSetting);
    RenderClasses::Install();
    return RunWinMain(argc, argv);
}
