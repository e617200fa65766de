// Saving and deleting the game lists 7-15: definitions made in memory find
// their folder and extension, a save that can't write one leaves nothing,
// and deleting empties every list for the next load.
#include "engine/core/CByteWriter.h"
#include "engine/core/FileIo.h"
#include "game/actor/CGameDataResource.h"
#include "game/app/CQorResourceController.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/game/app/ResourceListOf.h"
#include "tests/game/actor/SampleDefinitions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
using Qor = CQorResourceController;

// A definition added as the configuration tool or a test would: in memory,
// with no file behind it.
template <class T>
void AddMade(Qor& controller, uint8_t kind, const T& definition)
{
    CGameDataResourceBase* made = LoadGameDataResource(kind, samples::Bytes(definition).data(),
                                                       samples::Bytes(definition).size());
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(List(controller, kind)->Add(made));
}

std::vector<uint8_t> Read(const std::string& name)
{
    std::vector<uint8_t> bytes;
    ReadWholeFile(name.c_str(), 1u << 20, &bytes);
    return bytes;
}
}

TEST(GameDataSave, DefinitionsMadeInMemoryGoToTheirListsFolderAndKind)
{
    TempFolder temp;
    Qor controller;
    AddMade(controller, Qor::LIST_BULLETS, samples::Bullet());
    AddMade(controller, Qor::LIST_WEAPONS, samples::Weapon(CWeaponDefinition::FORMAT_SPECIAL));
    AddMade(controller, Qor::LIST_STAGE_OBJECTS, samples::StageObject(true));
    AddMade(controller, Qor::LIST_ELEMENT_ATTACKS, samples::ElementAttack(CElementAttackDefinition::FORMAT_BURST));
    ASSERT_EQ(controller.SaveTo("Set\\GameResource.grc"), 1) << controller.GetLastError();

    const CResourceBase* weapon = List(controller, Qor::LIST_WEAPONS)->GetData()[0];
    const CResourceBase* object = List(controller, Qor::LIST_STAGE_OBJECTS)->GetData()[0];
    const CResourceBase* attack = List(controller, Qor::LIST_ELEMENT_ATTACKS)->GetData()[0];
    EXPECT_EQ(Read("Set\\Bullet\\Bullet_rifle.blt"), samples::Bytes(samples::Bullet()));
    EXPECT_EQ(Read(std::string("Set\\Weapon\\") + weapon->GetName() + ".spw"),
              samples::Bytes(samples::Weapon(CWeaponDefinition::FORMAT_SPECIAL)));
    EXPECT_EQ(Read(std::string("Set\\Object\\") + object->GetName() + ".sro"),
              samples::Bytes(samples::StageObject(true)));
    EXPECT_FALSE(Read(std::string("Set\\Attack\\") + attack->GetName() + ".eba").empty());

    // The saved set loads again with the same definitions under the same names.
    Qor again;
    ASSERT_EQ(again.Load("Set\\GameResource.grc", 1), 1) << again.GetLastError();
    EXPECT_NE(List(again, Qor::LIST_BULLETS)->FindByName("Bullet_rifle"), nullptr);
    EXPECT_NE(List(again, Qor::LIST_WEAPONS)->FindByName(weapon->GetName()), nullptr);
    EXPECT_NE(List(again, Qor::LIST_STAGE_OBJECTS)->FindByName(object->GetName()), nullptr);
    EXPECT_NE(List(again, Qor::LIST_ELEMENT_ATTACKS)->FindByName(attack->GetName()), nullptr);
    again.Release();
    controller.Release();
}

TEST(GameDataSave, ADefinitionThatCantBeWrittenFailsTheWholeSave)
{
    TempFolder temp;
    // A name that would leave its folder has no file to go to.
    CBulletDefinition escaping = samples::Bullet();
    std::strcpy(escaping.name, "..\\Outside");
    Qor controller;
    AddMade(controller, Qor::LIST_BULLETS, samples::Bullet());
    AddMade(controller, Qor::LIST_BULLETS, escaping);
    EXPECT_EQ(controller.SaveTo("Set\\GameResource.grc"), 0);
    EXPECT_NE(controller.GetLastError().find("Outside"), std::string::npos) << controller.GetLastError();
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "Set" / "GameResource.grc"));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(temp.Path()))
        EXPECT_FALSE(entry.is_regular_file()) << entry.path();

    // Two definitions bound for the same file: the second fails the save.
    Qor twice;
    AddMade(twice, Qor::LIST_BULLETS, samples::Bullet());
    AddMade(twice, Qor::LIST_BULLETS, samples::Bullet());
    EXPECT_EQ(twice.SaveTo("Set\\GameResource.grc"), 0);
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "Set" / "GameResource.grc"));
    twice.Release();
    controller.Release();
}

TEST(GameDataSave, DeletingEmptiesEveryGameListForTheNextLoad)
{
    TempFolder temp;
    Qor controller;
    AddMade(controller, Qor::LIST_CHARACTERS, samples::Character());
    AddMade(controller, Qor::LIST_ELEMENTS, samples::Element());
    ASSERT_EQ(controller.SaveTo("GameResource.grc"), 1) << controller.GetLastError();
    controller.DeleteGameData();
    for (uint8_t kind = Qor::LIST_BULLETS; kind < Qor::LIST_MISSIONS; ++kind)
        EXPECT_EQ(List(controller, kind)->GetCount(), 0u) << static_cast<int>(kind);
    EXPECT_EQ(controller.GetMissionList()->GetCount(), 0u);
    EXPECT_EQ(controller.GetStoryList()->GetCount(), 0u);
    controller.DeleteGameData();

    // What was saved loads into the emptied lists once, not beside old entries.
    ASSERT_EQ(controller.Load("GameResource.grc", 1), 1) << controller.GetLastError();
    EXPECT_EQ(List(controller, Qor::LIST_CHARACTERS)->GetCount(), 1u);
    EXPECT_EQ(List(controller, Qor::LIST_ELEMENTS)->GetCount(), 1u);
    controller.Release();
    EXPECT_EQ(List(controller, Qor::LIST_CHARACTERS)->GetCount(), 0u);
}
