// Mission files: header and battle from either form, the round trip from
// text to binary, texts cut to their fields, and saving through the
// crash-safe writer.
#include "engine/resource/CSafeFileWriter.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/game/story/StoryTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace storytest;

namespace
{
std::string HeaderText(const std::string& title = "First", const std::string& description = "Beat them all.")
{
    return "MissionHeader(\"" + title + "\", \"" + description +
           "\", \"Aria\", \"Bram, Cleo\", \"5:00\", \"\", 0, 1, 2, 3, 5, 8, -1)\n";
}

void ExpectSameMission(const CMission& a, const CMission& b)
{
    EXPECT_EQ(std::memcmp(a.GetHeader(), b.GetHeader(), sizeof(tag_TOLQMISSIONHEADER)), 0);
    ASSERT_EQ(a.GetBattleOption() != nullptr, b.GetBattleOption() != nullptr);
    EXPECT_EQ(Encoded(a), Encoded(b));
}
}

TEST(Mission, TextMissionsRoundTripThroughTheBinaryForm)
{
    CMission text;
    std::string error;
    ASSERT_TRUE(LoadMission(&text, HeaderText() + BattleText("BattleOption", 3, "2, 1, 5, 2, 0, 3"),
                            "Mission\\First.mit", &error))
        << error;
    EXPECT_STREQ(text.GetName(), "First");
    const tag_TOLQMISSIONHEADER& h = *text.GetHeader();
    EXPECT_STREQ(h.title, "First");
    EXPECT_STREQ(h.enemies, "Bram, Cleo");
    EXPECT_STREQ(h.rankCondition, "");
    EXPECT_EQ(h.rankThresholds[4], 5u);
    EXPECT_EQ(h.rankThresholds[6], 0xFFFFFFFFu);
    const tag_TOLQBATTLESETTING* battle = text.GetBattleOption();
    ASSERT_NE(battle, nullptr);
    EXPECT_EQ(battle->playerCount, 3);
    EXPECT_EQ(battle->rules.rule, 5);
    EXPECT_EQ(battle->rules.limit, 2);
    EXPECT_EQ(battle->rules.npcCountIndex, 3);
    EXPECT_EQ(battle->fighterWord, 0u);

    // The binary form is the header record, then the battle record.
    const std::vector<uint8_t> bytes = Encoded(text);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes[0], STORY_MISSION_HEADER);
    const size_t header = 1 + 6 + 15 + 5 + 11 + 5 + 1 + 7 * 4;
    EXPECT_EQ(bytes[header], STORY_BATTLE_OPTION);
    CMission binary;
    ASSERT_TRUE(LoadMission(&binary, std::string(bytes.begin(), bytes.end()), "Mission\\First.mis", &error))
        << error;
    ExpectSameMission(text, binary);
}

TEST(Mission, HeaderTextsAreCutToTheirFieldsBetweenCharacters)
{
    // 258 bytes, then a double-byte character that would end past the
    // 259 the title holds.
    const std::string title = std::string(258, 't') + "\x82\xA0" + "tail";
    const std::string description(1100, 'd');
    CMission mission;
    ASSERT_TRUE(LoadMission(&mission, HeaderText(title, description), "M.mit"));
    EXPECT_EQ(std::string(mission.GetHeader()->title), std::string(258, 't'));
    // The description holds 1023 bytes: more than any command text.
    EXPECT_EQ(std::string(mission.GetHeader()->description), std::string(1023, 'd'));
    EXPECT_EQ(mission.GetBattleOption(), nullptr);

    // Without a battle only the header is written, and reads back so.
    const std::vector<uint8_t> bytes = Encoded(mission);
    CMission again;
    ASSERT_TRUE(LoadMission(&again, std::string(bytes.begin(), bytes.end()), "M.mis"));
    ExpectSameMission(mission, again);
}

TEST(Mission, OtherCommandsAroundTheRecordsAreIgnoredAndALaterBattleReplacesAnEarlierOne)
{
    CMission mission;
    std::string error;
    ASSERT_TRUE(LoadMission(&mission,
                            BattleText("BattleOption", 2) + HeaderText() + BattleText("BattleOption", 4) +
                                "Wait(1) ShowWindow(0.5)",
                            "M.mit", &error))
        << error;
    ASSERT_NE(mission.GetBattleOption(), nullptr);
    EXPECT_EQ(mission.GetBattleOption()->playerCount, 4);
    EXPECT_STREQ(mission.GetHeader()->title, "First");

    // In the binary form any other opcode is one byte to skip.
    const std::vector<uint8_t> bytes = Join({{STORY_WAIT, 200, STORY_ENDING}, Encoded(mission), {STORY_SHOW_TEXT}});
    CMission binary;
    ASSERT_TRUE(LoadMission(&binary, std::string(bytes.begin(), bytes.end()), "M.mis", &error)) << error;
    ExpectSameMission(mission, binary);
}

TEST(Mission, ACutOrDamagedRecordKeepsWhatIsLeftAndTheBattleAnEarlierLoadGave)
{
    CMission mission;
    ASSERT_TRUE(LoadMission(&mission, HeaderText() + BattleText("BattleOption", 2), "M.mit"));
    std::string error;
    // Numbers as atoi reads them: a threshold past a 32-bit word saturates,
    // one with letters after its digits keeps the digits; the text ends
    // before the last threshold, which reads as 0. The battle of the
    // earlier load stays.
    ASSERT_TRUE(LoadMission(&mission,
                            "\n\nMissionHeader(\"a\", \"b\", \"c\", \"d\", \"e\", \"f\", 0, 1, 2, 3x, 4294967296, -7",
                            "M.mit", &error))
        << error;
    const tag_TOLQMISSIONHEADER& h = *mission.GetHeader();
    EXPECT_STREQ(h.title, "a");
    EXPECT_STREQ(h.rankCondition, "f");
    EXPECT_EQ(h.rankThresholds[3], 3u);
    EXPECT_EQ(h.rankThresholds[4], 0x7FFFFFFFu);
    EXPECT_EQ(h.rankThresholds[5], 0xFFFFFFF9u);
    EXPECT_EQ(h.rankThresholds[6], 0u);
    ASSERT_NE(mission.GetBattleOption(), nullptr);
    EXPECT_EQ(mission.GetBattleOption()->playerCount, 2);

    // The binary form cut inside its last threshold: that one reads as 0,
    // the rest as written.
    CMission header;
    ASSERT_TRUE(LoadMission(&header, HeaderText(), "M.mit"));
    const std::vector<uint8_t> bytes = Encoded(header);
    const std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 1);
    CMission binary;
    ASSERT_TRUE(LoadMission(&binary, std::string(cut.begin(), cut.end()), "M.mis", &error)) << error;
    EXPECT_STREQ(binary.GetHeader()->enemies, "Bram, Cleo");
    EXPECT_EQ(binary.GetHeader()->rankThresholds[5], 8u);
    EXPECT_EQ(binary.GetHeader()->rankThresholds[6], 0u);
    EXPECT_EQ(binary.GetBattleOption(), nullptr);
}

TEST(Mission, SavingGoesThroughThePathLayerAndKeepsTheOldFileOnFailure)
{
    TempFolder temp;
    CMission mission;
    ASSERT_TRUE(LoadMission(&mission, HeaderText() + BattleText("BattleOption", 2), "First.mit"));
    ASSERT_EQ(mission.Save("Set\\Mission\\First.mis"), 1u);
    const std::filesystem::path file = temp.Path() / "Set" / "Mission" / "First.mis";
    ASSERT_TRUE(std::filesystem::exists(file));
    const std::string saved = TempFolder::Read(file);

    CMission loaded;
    std::string error;
    ASSERT_EQ(loaded.Load("SET\\mission\\First.mis", &error), 1u) << error;
    ExpectSameMission(mission, loaded);

    // A write that fails leaves the old file whole.
    mission.GetHeader()->rankThresholds[0] = 99;
    CSafeFileWriter::SetFailAfterWrites(0);
    EXPECT_EQ(mission.Save("Set\\Mission\\First.mis"), 0u);
    CSafeFileWriter::SetFailAfterWrites(-1);
    EXPECT_EQ(TempFolder::Read(file), saved);
    EXPECT_EQ(loaded.Load("Set\\Mission\\Missing.mis", &error), 0u);
    EXPECT_FALSE(error.empty());
}
