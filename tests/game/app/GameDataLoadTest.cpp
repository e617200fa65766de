// The game-data lists 7-15 of the game's resource controller: definitions
// loaded with contents and named after themselves, refused files, and a
// set saved back byte for byte.
#include "engine/core/CByteWriter.h"
#include "engine/core/FileIo.h"
#include "engine/resource/CResourceListFile.h"
#include "engine/resource/CSafeFileWriter.h"
#include "game/actor/CGameDataResource.h"
#include "game/app/CQorResourceController.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/game/app/ResourceListOf.h"
#include "tests/game/actor/SampleDefinitions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
bool WriteData(const char* name, const std::vector<uint8_t>& bytes)
{
    CSafeFileWriter file;
    return file.Open(name) && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

bool WriteList(const char* name, const std::vector<const char*>& records)
{
    CSafeFileWriter list;
    if (!list.Open(name) || !CResourceListFile::WriteHeader(list, CQorResourceController::kSetIdentifier))
        return false;
    for (const char* record : records)
    {
        if (!CResourceListFile::WriteRecord(list, record))
            return false;
    }
    return CResourceListFile::WriteEnd(list) && list.Commit();
}

const std::vector<const char*> kFiles = {"Bullet\\Rifle.blt", "Character\\Aria.chr", "Weapon\\Rifle.lwp",
                                         "Stage\\Arena.stg", "Attack\\Max.ema", "Stage\\Platform.sro"};

bool WriteSet()
{
    using namespace samples;
    return WriteData(kFiles[0], Bytes(Bullet())) && WriteData(kFiles[1], Bytes(Character())) &&
           WriteData(kFiles[2], Bytes(Weapon(CWeaponDefinition::FORMAT_LONG))) &&
           WriteData(kFiles[3], Bytes(Stage())) &&
           WriteData(kFiles[4], Bytes(ElementAttack(CElementAttackDefinition::FORMAT_MAXIMUM))) &&
           WriteData(kFiles[5], Bytes(StageObject(true))) && WriteList("GameResource.grc", kFiles);
}
}

TEST(GameDataLoad, DefinitionsLoadUnderTheirOwnNames)
{
    TempFolder temp;
    ASSERT_TRUE(WriteSet());
    CQorResourceController controller;
    ASSERT_EQ(controller.Load("GameResource.grc", 1), 1) << controller.GetLastError();
    const CResourceBase* bullet = List(controller, CQorResourceController::LIST_BULLETS)->FindByName("Bullet_rifle");
    ASSERT_NE(bullet, nullptr);
    const auto* typed = dynamic_cast<const CGameDataResource<CBulletDefinition>*>(bullet);
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->GetDefinition().speed, 120.0f);
    EXPECT_NE(List(controller, CQorResourceController::LIST_CHARACTERS)->FindByName("Aria"), nullptr);
    EXPECT_NE(List(controller, CQorResourceController::LIST_WEAPONS)->FindByName("Rifle"), nullptr);
    EXPECT_NE(List(controller, CQorResourceController::LIST_STAGES)->FindByName("Stand-in Arena"), nullptr);
    EXPECT_NE(List(controller, CQorResourceController::LIST_ELEMENT_ATTACKS)->FindByName("Ela_fire"), nullptr);
    EXPECT_NE(List(controller, CQorResourceController::LIST_STAGE_OBJECTS)->FindByName("Platform"), nullptr);

    // Without contents, the same set is kept by file names.
    CQorResourceController names;
    ASSERT_EQ(names.Load("GameResource.grc", 0), 1) << names.GetLastError();
    EXPECT_NE(List(names, CQorResourceController::LIST_CHARACTERS)->FindByName("Character\\Aria.chr"), nullptr);
    controller.Release();
    names.Release();
}

TEST(GameDataLoad, DamagedOrMisnamedFilesFailTheLoad)
{
    TempFolder temp;
    std::vector<uint8_t> bytes = samples::Bytes(samples::Bullet());
    bytes.pop_back();
    ASSERT_TRUE(WriteData("Bullet\\Cut.blt", bytes));
    ASSERT_TRUE(WriteList("Cut.grc", {"Bullet\\Cut.blt"}));
    CQorResourceController controller;
    EXPECT_EQ(controller.Load("Cut.grc", 1), 0);
    EXPECT_NE(controller.GetLastError().find("Cut.blt"), std::string::npos);
    controller.Release();

    // A character file under a bullet's extension.
    ASSERT_TRUE(WriteData("Bullet\\Odd.blt", samples::Bytes(samples::Character())));
    ASSERT_TRUE(WriteList("Odd.grc", {"Bullet\\Odd.blt"}));
    CQorResourceController other;
    EXPECT_EQ(other.Load("Odd.grc", 1), 0);
    other.Release();
}

TEST(GameDataLoad, ASetSavesBackByteForByte)
{
    TempFolder temp;
    ASSERT_TRUE(WriteSet());
    CQorResourceController controller;
    ASSERT_EQ(controller.Load("GameResource.grc", 1), 1) << controller.GetLastError();
    ASSERT_EQ(controller.SaveTo("Copy\\Saved.grc"), 1) << controller.GetLastError();
    controller.Release();
    for (const char* name : kFiles)
    {
        std::vector<uint8_t> original, saved;
        ASSERT_TRUE(ReadWholeFile(name, 1u << 20, &original));
        ASSERT_TRUE(ReadWholeFile((std::string("Copy\\") + name).c_str(), 1u << 20, &saved)) << name;
        EXPECT_EQ(original, saved) << name;
    }
    CQorResourceController again;
    ASSERT_EQ(again.Load("Copy\\Saved.grc", 1), 1) << again.GetLastError();
    EXPECT_NE(List(again, CQorResourceController::LIST_WEAPONS)->FindByName("Rifle"), nullptr);
    again.Release();
}
