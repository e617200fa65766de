// The data kit's stand-in story and missions: every chapter and mission
// reads, converts and reads back the same; the routes hang together, use
// every command and name only what the set holds.
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CGameDataResource.h"
#include "game/app/CQorResourceController.h"
#include "game/story/StaffRoll.h"
#include "tests/game/story/StoryTestSupport.h"
#include "tools/datakit/DataKit.h"
#include "tools/datakit/GameDataKit.h"
#include "tools/datakit/StoryDataKit.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

using namespace storytest;

namespace
{
struct StandIn
{
    std::map<std::string, std::unique_ptr<CStory>> chapters;
    std::vector<std::unique_ptr<CMission>> missions;
};

// Each file read from its text, written by the game's writer and read
// again from those bytes, which must give the same records.
const StandIn& Loaded()
{
    static const StandIn set = [] {
        StandIn out;
        for (StoryDataKit::ScriptFile& file : StoryDataKit::Files())
        {
            const std::string text(file.bytes.begin(), file.bytes.end());
            std::string name = file.name;
            std::string error;
            EXPECT_TRUE(StoryDataKit::ToPackedForm(&name, &file.bytes, &error)) << file.name << ": " << error;
            const std::string binary(file.bytes.begin(), file.bytes.end());
            if (name.find(".str") != std::string::npos)
            {
                auto fromText = std::make_unique<CStory>();
                auto fromBinary = std::make_unique<CStory>();
                EXPECT_TRUE(LoadStory(fromText.get(), text, file.name.c_str(), &error)) << error;
                EXPECT_TRUE(LoadStory(fromBinary.get(), binary, name.c_str(), &error)) << error;
                ExpectSameCommands(*fromText, *fromBinary);
                out.chapters[fromBinary->GetName()] = std::move(fromBinary);
                continue;
            }
            auto mission = std::make_unique<CMission>();
            EXPECT_TRUE(LoadMission(mission.get(), binary, name.c_str(), &error)) << error;
            out.missions.push_back(std::move(mission));
        }
        return out;
    }();
    return set;
}

std::set<std::string> FileNames(const std::vector<std::string>& records)
{
    std::set<std::string> names;
    for (const std::string& record : records)
        names.insert(record.substr(record.rfind('\\') + 1));
    return names;
}

// The names the game data defines: weapons, clothes, stages.
std::set<std::string> DefinitionNames()
{
    std::set<std::string> names;
    for (const GameDataKit::GameFile& file : GameDataKit::Files())
    {
        const int list = CQorResourceController::ListOfName(file.name.c_str());
        std::unique_ptr<CGameDataResourceBase> definition(
            LoadGameDataResource(static_cast<uint32_t>(list), file.bytes.data(), file.bytes.size()));
        if (definition != nullptr)
            names.insert(definition->GetName());
    }
    return names;
}

void ExpectBattleNamesExist(const tag_TOLQBATTLESETTING& battle, const std::set<std::string>& names)
{
    for (uint32_t i = 0; i < battle.playerCount; ++i)
    {
        for (const char* weapon : battle.players[i].weapons)
            EXPECT_TRUE(weapon == nullptr || names.count(weapon) == 1) << weapon;
        for (const char* clothes : battle.players[i].clothes)
            EXPECT_TRUE(clothes == nullptr || names.count(clothes) == 1) << clothes;
    }
}
}

TEST(StandInStory, EveryRouteRunsFromItsFirstChapterToTheEnding)
{
    const StandIn& set = Loaded();
    ASSERT_EQ(set.chapters.size(), GameDataKit::kCharacters * StoryDataKit::kChaptersPerRoute);
    std::set<uint8_t> used;
    for (uint32_t route = 0; route < GameDataKit::kCharacters; ++route)
    {
        SCOPED_TRACE(route);
        // Follow NextScene at every difficulty until the Ending.
        for (uint32_t difficulty = 0; difficulty < kStoryDifficultyCount; ++difficulty)
        {
            auto at = set.chapters.find(StoryDataKit::FirstChapter(route));
            ASSERT_NE(at, set.chapters.end());
            bool battle = false;
            bool lastBattle = false;
            bool ended = false;
            for (uint32_t chapters = 0; at != set.chapters.end() && chapters < 10 && !ended; ++chapters)
            {
                const CStory& chapter = *at->second;
                at = set.chapters.end();
                for (uint32_t i = 0; i < chapter.GetCommandCount(); ++i)
                {
                    const tag_TOLQSTORYTEMPLATE& c = *chapter.GetCommand(i);
                    used.insert(c.opcode);
                    battle = battle || c.opcode == STORY_BATTLE_OPTION;
                    lastBattle = lastBattle || c.opcode == STORY_LAST_BATTLE_OPTION;
                    ended = ended || c.opcode == STORY_ENDING;
                    if (c.opcode == STORY_BATTLE_OPTION || c.opcode == STORY_LAST_BATTLE_OPTION)
                    {
                        EXPECT_EQ(c.battle->players[0].character, static_cast<int8_t>(route));
                    }
                    if (c.opcode == STORY_NEXT_SCENE)
                        at = set.chapters.find(c.nextScene[difficulty]);
                }
            }
            EXPECT_TRUE(battle && lastBattle && ended);
        }
    }
    // Together the chapters use every story command.
    for (uint8_t opcode = 0; opcode <= STORY_ENDING; ++opcode)
        EXPECT_EQ(used.count(opcode), 1u) << StoryCommandWord(opcode);
}

TEST(StandInStory, ChaptersNameOnlyWhatTheSetHolds)
{
    const std::set<std::string> definitions = DefinitionNames();
    const std::set<std::string> files = FileNames(DataKit::LooseRecords());
    const std::vector<std::string> pictureList = StoryDataKit::Pictures();
    const std::set<std::string> pictures(pictureList.begin(), pictureList.end());
    const std::vector<std::string> voiceList = StoryDataKit::Voices();
    std::set<std::string> voices(voiceList.begin(), voiceList.end());
    for (const auto& [name, chapter] : Loaded().chapters)
    {
        SCOPED_TRACE(name);
        for (uint32_t i = 0; i < chapter->GetCommandCount(); ++i)
        {
            const tag_TOLQSTORYTEMPLATE& c = *chapter->GetCommand(i);
            // The name a command looks up, and where it must be.
            const char* named = nullptr;
            const std::set<std::string>* in = &files;
            if (c.opcode == STORY_SET_STAGE)
                named = c.stage, in = &definitions;
            else if (c.opcode == STORY_PLAY_SOUND)
                named = c.sound.name;
            else if (c.opcode == STORY_PLAY_BGM)
                named = c.bgm.name;
            else if (c.opcode == STORY_IMAGE_REGISTER)
                named = c.image.picture, in = &pictures;
            if (named != nullptr)
            {
                EXPECT_EQ(in->count(named), 1u) << named;
            }
            if ((c.opcode == STORY_SHOW_TEXT || c.opcode == STORY_SHOW_TEXT_TIME) && c.text.voice != nullptr)
            {
                EXPECT_EQ(voices.erase(c.text.voice), 1u) << c.text.voice;
            }
            if (c.opcode == STORY_BATTLE_OPTION || c.opcode == STORY_LAST_BATTLE_OPTION)
                ExpectBattleNamesExist(*c.battle, definitions);
        }
    }
    // Every voice of the list is spoken once.
    EXPECT_TRUE(voices.empty());
}

TEST(StandInStory, CharactersStartTheirRoutesAtTheirFirstChapter)
{
    for (const GameDataKit::GameFile& file : GameDataKit::Files())
    {
        if (CQorResourceController::ListOfName(file.name.c_str()) != CQorResourceController::LIST_CHARACTERS)
            continue;
        CCharacterDefinition character;
        ASSERT_TRUE(character.Load(file.bytes.data(), file.bytes.size()));
        EXPECT_EQ(character.firstChapter, StoryDataKit::FirstChapter(character.number)) << character.name;
        EXPECT_EQ(Loaded().chapters.count(character.firstChapter), 1u) << character.name;
    }
}

TEST(StandInStory, MissionsEachFightTheirOwnBattleOnTheArena)
{
    const StandIn& set = Loaded();
    ASSERT_GE(set.missions.size(), 27u);
    const std::set<std::string> definitions = DefinitionNames();
    std::set<uint8_t> rules;
    std::set<uint8_t> timeLimits;
    std::set<std::string> battles;
    for (const std::unique_ptr<CMission>& mission : set.missions)
    {
        SCOPED_TRACE(mission->GetName());
        const tag_TOLQMISSIONHEADER& header = *mission->GetHeader();
        EXPECT_NE(header.title[0], '\0');
        EXPECT_NE(header.description[0], '\0');
        EXPECT_NE(header.timeLimit[0], '\0');
        for (uint32_t k = 1; k < tag_TOLQMISSIONHEADER::kRanks; ++k)
            EXPECT_GT(header.rankThresholds[k], header.rankThresholds[k - 1]);
        const tag_TOLQBATTLESETTING* battle = mission->GetBattleOption();
        ASSERT_NE(battle, nullptr);
        EXPECT_EQ(battle->rules.stageChoice, 0); // the stand-in arena, the only stage
        rules.insert(battle->rules.rule);
        timeLimits.insert(battle->rules.timeLimitIndex);
        ExpectBattleNamesExist(*battle, definitions);
        CByteWriter bytes;
        tag_TOLQSTORYTEMPLATE command{};
        command.opcode = STORY_BATTLE_OPTION;
        command.battle = const_cast<tag_TOLQBATTLESETTING*>(battle);
        CStoryWriter::WriteCommand(command, &bytes);
        battles.insert(std::string(bytes.GetBytes().begin(), bytes.GetBytes().end()));
    }
    EXPECT_EQ(rules.size(), 8u);
    EXPECT_EQ(timeLimits.size(), 5u);
    EXPECT_EQ(battles.size(), set.missions.size());
}

TEST(StandInStory, TheStaffRollHasLinesOfTextSizes)
{
    const std::string text = StoryDataKit::StaffRoll();
    const auto lines = ParseStaffRoll(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    ASSERT_GE(lines.size(), 8u);
    for (const tag_TOLQSTORYENDINGSTAFF& line : lines)
        EXPECT_GE(line.size, 20);
}
