#include "game/app/CQorResourceController.h"

#include "engine/resource/CResourceListFile.h"
#include "engine/resource/CSafeFileWriter.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/game/app/ResourceListOf.h"

#include <gtest/gtest.h>

TEST(CQorResourceControllerTest, GameDataExtensionsChooseTheirListsInEitherCase)
{
    EXPECT_EQ(CQorResourceController::ListOfName("Bullet\\Shot.blt"), CQorResourceController::LIST_BULLETS);
    EXPECT_EQ(CQorResourceController::ListOfName("CHARACTER\\HERO.CHR"), CQorResourceController::LIST_CHARACTERS);
    EXPECT_EQ(CQorResourceController::ListOfName("Weapon\\Gun.lwp"), CQorResourceController::LIST_WEAPONS);
    EXPECT_EQ(CQorResourceController::ListOfName("Weapon\\Bomb.SPW"), CQorResourceController::LIST_WEAPONS);
    EXPECT_EQ(CQorResourceController::ListOfName("Stage\\Box.sto"), CQorResourceController::LIST_STAGE_OBJECTS);
    EXPECT_EQ(CQorResourceController::ListOfName("Attack\\Max.ema"), CQorResourceController::LIST_ELEMENT_ATTACKS);
    EXPECT_EQ(CQorResourceController::ListOfName("Mission\\First.mis"), CQorResourceController::LIST_MISSIONS);
    EXPECT_EQ(CQorResourceController::ListOfName("Story\\StaffRoll.stt"), CQorResourceController::LIST_STORIES);
    // Mixed case is no extension of the game's.
    EXPECT_EQ(CQorResourceController::ListOfName("Weapon\\Gun.Lwp"), -1);
    EXPECT_EQ(CQorResourceController::ListOfName("Texture\\Title.dds"), -1);
    EXPECT_EQ(CQorResourceController::ListOfName(nullptr), -1);
}

TEST(CQorResourceControllerTest, NamesOnlyLoadKeepsGameDataAndSkipsDeviceResources)
{
    TempFolder temp;
    CSafeFileWriter list;
    ASSERT_TRUE(list.Open("GameResource.grc") && CResourceListFile::WriteHeader(list, 0x10001003u) &&
                CResourceListFile::WriteRecord(list, "Texture\\Missing.dds") &&
                CResourceListFile::WriteRecord(list, "Sound\\Missing.ogg") &&
                CResourceListFile::WriteRecord(list, "Character\\Hero.chr") &&
                CResourceListFile::WriteRecord(list, "Character\\Hero.chr") &&
                CResourceListFile::WriteRecord(list, "Stage\\Arena.STG") && CResourceListFile::WriteEnd(list) &&
                list.Commit());
    CQorResourceController controller;
    ASSERT_EQ(controller.Load("GameResource.grc", 0), 1) << controller.GetLastError();
    ASSERT_EQ(List(controller, CQorResourceController::LIST_CHARACTERS)->GetCount(), 1u);
    EXPECT_NE(List(controller, CQorResourceController::LIST_STAGES)->FindByName("Stage\\Arena.STG"), nullptr);
    EXPECT_EQ(controller.GetTextureList().GetCount(), 0u);
    EXPECT_EQ(controller.GetList(CQorResourceController::LIST_GAME_COUNT), nullptr);
    EXPECT_EQ(controller.GetList(CResourceController::LIST_TEXTURES), &controller.GetTextureList());

    // Game data held by name only can't be written back: the save fails
    // whole rather than drop it.
    EXPECT_EQ(controller.SaveTo("Saved.grc"), 0);
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "Saved.grc"));

    controller.Release();
    EXPECT_EQ(List(controller, CQorResourceController::LIST_CHARACTERS)->GetCount(), 0u);
    controller.Release();
}
