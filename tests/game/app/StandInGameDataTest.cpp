// The data kit's stand-in game data on its own (no device): every file
// loads into the list its extension names and saves back to its bytes, the
// set is the same on every run, and the table's rules for defaults and
// unlocks hold.
#include "game/actor/CGameDataResource.h"
#include "game/actor/CStageDefinition.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/app/CQorResourceController.h"
#include "tools/datakit/GameDataKit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>

namespace
{
struct Loaded
{
    std::unique_ptr<CGameDataResourceBase> resource;
    uint32_t list = 0;
};

std::vector<Loaded> LoadAll()
{
    std::vector<Loaded> out;
    for (const GameDataKit::GameFile& file : GameDataKit::Files())
    {
        const int list = CQorResourceController::ListOfName(file.name.c_str());
        Loaded loaded;
        loaded.list = static_cast<uint32_t>(list);
        if (list > 0)
            loaded.resource.reset(
                LoadGameDataResource(static_cast<uint32_t>(list), file.bytes.data(), file.bytes.size()));
        out.push_back(std::move(loaded));
    }
    return out;
}

template <class T>
const T* As(const Loaded& loaded)
{
    const auto* typed = dynamic_cast<const CGameDataResource<T>*>(loaded.resource.get());
    return typed != nullptr ? &typed->GetDefinition() : nullptr;
}
}

TEST(StandInGameData, EveryFileLoadsIntoItsListAndSavesBackToItsBytes)
{
    const auto files = GameDataKit::Files();
    const auto loaded = LoadAll();
    std::map<uint32_t, std::set<std::string>> names;
    for (size_t i = 0; i < files.size(); ++i)
    {
        ASSERT_NE(loaded[i].resource, nullptr) << files[i].name;
        EXPECT_EQ(GetGameDataListOfBytes(files[i].bytes.data(), files[i].bytes.size()), loaded[i].list);
        CByteWriter writer;
        loaded[i].resource->Save(&writer);
        EXPECT_EQ(writer.GetBytes(), files[i].bytes) << files[i].name;
        // Names are unique within a list: lookups by name find this one.
        EXPECT_TRUE(names[loaded[i].list].insert(loaded[i].resource->GetName()).second) << files[i].name;
    }
}

TEST(StandInGameData, IsTheSameOnEveryRun)
{
    const auto first = GameDataKit::Files();
    const auto second = GameDataKit::Files();
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i)
    {
        EXPECT_EQ(first[i].name, second[i].name);
        EXPECT_EQ(first[i].bytes, second[i].bytes) << first[i].name;
    }
    EXPECT_EQ(GameDataKit::ArenaGroundX(), GameDataKit::ArenaGroundX());
}

TEST(StandInGameData, WeaponsAndStageFollowTheTable)
{
    uint32_t defaults = 0;
    std::set<uint32_t> unlockKinds;
    const CStageDefinition* stage = nullptr;
    const auto all = LoadAll();
    for (const Loaded& loaded : all)
    {
        if (const CWeaponDefinition* w = As<CWeaponDefinition>(loaded))
        {
            EXPECT_EQ(w->characterMask, 0xFFu);
            EXPECT_EQ(w->rank, w->weight);
            unlockKinds.insert(w->unlockKind);
            // Unlocked from the start means free: the weapons page lists it.
            EXPECT_EQ(w->unlockKind == 0, w->price == 0) << w->name;
            if (w->unlockKind == 0)
                defaults += w->weight;
            if (w->type == 6 && w->unlockKind == 0)
            {
                EXPECT_EQ(w->capacity, 12u);
            }
            if (w->type == 12)
            {
                EXPECT_EQ(w->capacity, 3u);
            }
        }
        if (const CStageDefinition* s = As<CStageDefinition>(loaded))
            stage = s;
    }
    // The three defaults leave room under the weight limit of 10.
    EXPECT_EQ(defaults, 7u);
    EXPECT_EQ(unlockKinds, (std::set<uint32_t>{0, 1, 2}));
    ASSERT_NE(stage, nullptr);
    EXPECT_STREQ(stage->name, GameDataKit::kStageName);
    ASSERT_EQ(stage->starts.size(), 8u);
    const CkvrVector3& a = stage->starts[0].position;
    const CkvrVector3& b = stage->starts[1].position;
    EXPECT_LE(std::hypot(a.x - b.x, a.z - b.z), 30.0f);
}
