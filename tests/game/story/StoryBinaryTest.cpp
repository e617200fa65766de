// The binary form of story scripts: the writer's bytes field by field, the
// round trip from text, and what the reader makes of damaged records.
#include "tests/game/story/StoryTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

using namespace storytest;

namespace
{
// A battle option record: count players, each with the given CPU level,
// team and weapon and clothes counts (names "W" and "C").
std::vector<uint8_t> BattleRecord(uint8_t count, uint8_t rule = 4, uint8_t limit = 4, uint8_t cpu = 2,
                                  uint8_t team = 1, uint8_t weapons = 1, uint8_t clothes = 1)
{
    Record r(STORY_BATTLE_OPTION);
    r.U8(count);
    r.U32(0);
    for (uint8_t byte : {uint8_t(0), uint8_t(0), rule, limit, uint8_t(2), uint8_t(0)})
        r.U8(byte);
    r.Zeros(6 + 17);
    for (uint8_t i = 0; i < count; ++i)
    {
        r.Floats({1, 0, 1, 0, 1, 1});
        r.U32(0);
        if (i > 0)
            r.U8(cpu);
        r.U8(i);
        r.U8(team);
        r.U32(0xFFFFFFFFu);
        r.Zeros(27);
        r.U8(weapons);
        for (uint8_t w = 0; w < weapons; ++w)
            r.Text("W");
        if (i == 0)
            continue;
        r.U8(clothes);
        for (uint8_t c = 0; c < clothes; ++c)
            r.Text("C");
    }
    return r.GetBytes();
}

// The commands of bytes that must load; a Wait(2) after them shows that
// the reader kept to the file's order.
std::unique_ptr<CStory> LoadFollowed(const std::vector<uint8_t>& bytes)
{
    auto story = std::make_unique<CStory>();
    std::string error;
    EXPECT_TRUE(LoadBinary(story.get(), Join({bytes, Record(STORY_WAIT).Floats({2}).GetBytes()}), &error)) << error;
    EXPECT_GE(story->GetCommandCount(), 1u);
    if (story->GetCommandCount() > 0)
    {
        const tag_TOLQSTORYTEMPLATE* last = story->GetCommand(story->GetCommandCount() - 1);
        EXPECT_EQ(last->opcode, STORY_WAIT);
        EXPECT_EQ(last->waitTime, 2.0f);
    }
    return story;
}
}

TEST(StoryBinary, RecordsHoldTheirFieldsInFileOrder)
{
    CStory story;
    ASSERT_TRUE(LoadText(&story, "ShowText(1, 2, \"Hi\", 0.5, 2, 1, 1, 0.5, 0, 0.2, \"\")\n"
                                 "ShowTextTime(1, 2, \"\", 0.5, 4, 2, 0, 0, 0, 0, 1, \"V\")\n"
                                 "ImageRegister(3, 4, \"P\", 5, 6, 0.5, 7, 8)\n"
                                 "ScreenQuake(2.5, 1.5, 1)\nScreenColor(0.25, 0.5, 0.75, 1, 3)\n"
                                 "NextScene(\"A\", \"\", \"C\", \"\", \"E\")\nEnding"));
    // The packed colour goes out as red, green, blue, alpha, each / 255;
    // ShowText has no display time; a missing text is a single 0 byte.
    const auto channel = [](int byte) { return static_cast<float>(byte / 255.0); };
    Record expected;
    expected.Byte(STORY_SHOW_TEXT).Floats({1, 2}).Text("Hi").Floats({0.5f, 2}).Byte(1);
    expected.Floats({1, channel(127), 0, channel(51)}).Text("");
    expected.Byte(STORY_SHOW_TEXT_TIME).Floats({1, 2}).Text("").Floats({0.5f, 4, 2}).Byte(0);
    expected.Floats({0, 0, 0, 1}).Text("V");
    expected.Byte(STORY_IMAGE_REGISTER).Floats({3, 4}).Text("P").Byte(5).Byte(6).Floats({0.5f}).Byte(7).Byte(8);
    expected.Byte(STORY_SCREEN_QUAKE).Floats({2.5f, 1.5f}).Word(1);
    expected.Byte(STORY_SCREEN_COLOR).Floats({0.25f, 0.5f, 0.75f, 1, 3});
    expected.Byte(STORY_NEXT_SCENE).Text("A").Text("").Text("C").Text("").Text("E");
    expected.Byte(STORY_ENDING);
    EXPECT_EQ(Encoded(story), expected.GetBytes());
}

TEST(StoryBinary, TextScriptsRoundTripCommandByCommand)
{
    CStory text;
    std::string error;
    ASSERT_TRUE(LoadText(&text, AllCommandsText(), &error)) << error;
    const std::vector<uint8_t> bytes = Encoded(text);
    CStory binary;
    ASSERT_TRUE(LoadBinary(&binary, bytes, &error)) << error;
    ExpectSameCommands(text, binary);
    // The battle settings keep every field the file holds.
    const tag_TOLQBATTLESETTING* a = text.GetCommand(17)->battle;
    const tag_TOLQBATTLESETTING* b = binary.GetCommand(17)->battle;
    ASSERT_TRUE(a != nullptr && b != nullptr);
    EXPECT_EQ(b->playerCount, 2);
    EXPECT_EQ(b->players[1].cpuLevel, 2);
    EXPECT_STREQ(b->players[1].clothes[0], "Hat");
    EXPECT_EQ(b->players[1].clothes[1], nullptr);
    EXPECT_EQ(b->rules.weaponMask, a->rules.weaponMask);
    // The same bytes on every write, and from the copy.
    EXPECT_EQ(Encoded(text), bytes);
    EXPECT_EQ(Encoded(binary), bytes);
}

TEST(StoryBinary, OpcodesPastEndingAreSkippedOneByteAtATime)
{
    CStory story;
    const std::vector<uint8_t> bytes = Join({{21, 200, 255}, Record(STORY_WAIT).Floats({2}).GetBytes(), {22}});
    ASSERT_TRUE(LoadBinary(&story, bytes));
    ASSERT_EQ(story.GetCommandCount(), 1u);
    EXPECT_FLOAT_EQ(story.GetCommand(0)->waitTime, 2.0f);
}

TEST(StoryBinary, ATruncatedRecordKeepsWhatIsLeftAtEveryCut)
{
    CStory whole;
    ASSERT_TRUE(LoadText(&whole, AllCommandsText()));
    const std::vector<uint8_t> bytes = Encoded(whole);
    // Where each record starts.
    std::vector<size_t> starts;
    size_t start = 0;
    for (uint32_t i = 0; i < whole.GetCommandCount(); ++i)
    {
        starts.push_back(start);
        start += CommandBytes(*whole.GetCommand(i)).size();
    }
    for (size_t cut = 1; cut < bytes.size(); ++cut)
    {
        SCOPED_TRACE(cut);
        CStory story;
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        std::string error;
        ASSERT_TRUE(LoadBinary(&story, part, &error)) << error;
        // Every record begun before the cut, but a battle whose player
        // count is cut off: no players, no battle.
        const size_t begun = static_cast<size_t>(std::lower_bound(starts.begin(), starts.end(), cut) - starts.begin());
        const uint8_t lastOpcode = whole.GetCommand(static_cast<uint32_t>(begun - 1))->opcode;
        const bool battle = lastOpcode == STORY_BATTLE_OPTION || lastOpcode == STORY_LAST_BATTLE_OPTION;
        const size_t expected = begun - (battle && cut == starts[begun - 1] + 1 ? 1 : 0);
        ASSERT_EQ(story.GetCommandCount(), expected);
        // The records before the one cut are whole.
        for (uint32_t i = 0; i + 1 < begun; ++i)
            EXPECT_EQ(CommandBytes(*story.GetCommand(i)), CommandBytes(*whole.GetCommand(i))) << "command " << i;
        if (expected == begun)
        {
            EXPECT_EQ(story.GetCommand(static_cast<uint32_t>(begun - 1))->opcode, lastOpcode);
        }
    }
}

TEST(StoryBinary, CountsAndIndicesPastTheirPlacesAreLimitedAndTheRestOfTheFileStillReads)
{
    // No players: no battle, and the record is left out.
    EXPECT_EQ(LoadFollowed(BattleRecord(0))->GetCommandCount(), 1u);
    // Nine players: the first eight.
    std::unique_ptr<CStory> story = LoadFollowed(BattleRecord(9));
    ASSERT_EQ(story->GetCommandCount(), 2u);
    EXPECT_EQ(story->GetCommand(0)->battle->playerCount, 8);
    EXPECT_EQ(story->GetCommand(0)->battle->players[7].character, 7);
    // Eleven weapons and seven clothes: the places the entry has.
    story = LoadFollowed(BattleRecord(2, 4, 4, 2, 1, 11, 7));
    const tag_TOLQBATTLEPLAYER& second = story->GetCommand(0)->battle->players[1];
    EXPECT_STREQ(second.weapons[9], "W");
    EXPECT_STREQ(second.clothes[5], "C");
    // Rule 8, CPU level 5 and team 5 name nothing: the last of each.
    story = LoadFollowed(BattleRecord(2, 8, 4, 5, 5));
    EXPECT_EQ(story->GetCommand(0)->battle->rules.rule, 7);
    EXPECT_EQ(story->GetCommand(0)->battle->players[1].cpuLevel, 4);
    EXPECT_EQ(story->GetCommand(0)->battle->players[1].team, 4);
    // Rules 5 and 6 name a player by the limit: past the last, the last.
    story = LoadFollowed(BattleRecord(2, 5, 2));
    EXPECT_EQ(story->GetCommand(0)->battle->rules.limit, 1);
    story = LoadFollowed(Join({BattleRecord(8, 6, 7, 4, 4, 10, 6), BattleRecord(1)}));
    ASSERT_EQ(story->GetCommandCount(), 3u);
    EXPECT_EQ(story->GetCommand(0)->battle->players[7].clothes[5], std::string("C"));
    EXPECT_EQ(story->GetCommand(0)->battle->players[7].weapons[9], std::string("W"));

    // Object indices stay as the file holds them: the scene passes over
    // commands on pictures it has not got.
    story = LoadFollowed(Join(
        {Record(STORY_IMAGE_REGISTER).Floats({0, 0}).Text("P").Byte(0).Byte(0).Floats({0}).Byte(0).Byte(16).GetBytes(),
         Record(STORY_IMAGE_REGISTER_FREE).Floats({0}).Byte(255).GetBytes(),
         Record(STORY_CHANGE_FACE).Floats({0, 0}).Byte(0).Byte(128).GetBytes(),
         Record(STORY_CHANGE_COLOR).Floats({0, 1, 1, 1, 1}).Byte(16).GetBytes()}));
    ASSERT_EQ(story->GetCommandCount(), 5u);
    EXPECT_EQ(story->GetCommand(0)->image.object, 16);
    EXPECT_EQ(story->GetCommand(1)->imageFree.object, 255);
    EXPECT_EQ(story->GetCommand(2)->face.object, 128);
    EXPECT_EQ(story->GetCommand(3)->color.object, 16);
    EXPECT_EQ(story->GetMaxObjectIndex(), 16);
}

TEST(StoryBinary, ColoursAreLimitedBeforeTheyBecomeBytesAndNumbersThatAreNotFiniteReadAsZero)
{
    CStory story;
    const std::vector<uint8_t> bytes =
        Join({Record(STORY_SHOW_TEXT).Floats({0, 0}).Text("T").Floats({0, 1}).Byte(0).Floats({2, -1, 0.5f, 1e30f})
                  .Text("").GetBytes(),
              Record(STORY_CHANGE_COLOR).Floats({1, -0.5f, 3, 0.25f, 1}).Byte(0).GetBytes(),
              Record(STORY_SCREEN_COLOR).Floats({-1e30f, 1, 0, 2, 1}).GetBytes()});
    ASSERT_TRUE(LoadBinary(&story, bytes));
    EXPECT_EQ(story.GetCommand(0)->text.color, 0xFFFF007Fu);
    const CkvrVector4& color = story.GetCommand(1)->color.color;
    EXPECT_EQ(color.x, 0.0f);
    EXPECT_EQ(color.y, 1.0f);
    EXPECT_EQ(color.z, 0.25f);
    EXPECT_EQ(story.GetCommand(2)->screenColor.color.x, 0.0f);
    EXPECT_EQ(story.GetCommand(2)->screenColor.color.w, 1.0f);

    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
    {
        std::unique_ptr<CStory> read = LoadFollowed(Join({Record(STORY_WAIT).Floats({bad}).GetBytes(),
                                                          Record(STORY_CHANGE_COLOR).Floats({1, bad, 0, 0, 1}).Byte(0)
                                                              .GetBytes()}));
        ASSERT_EQ(read->GetCommandCount(), 3u);
        EXPECT_EQ(read->GetCommand(0)->waitTime, 0.0f);
        EXPECT_EQ(read->GetCommand(1)->color.color.x, 0.0f);
        EXPECT_EQ(read->GetCommand(1)->color.duration, 1.0f);
    }
}

TEST(StoryBinary, FlagBytesSetOnlyTheirOwnBitAndChoicesStayNonNegative)
{
    Record r(STORY_LAST_BATTLE_OPTION);
    r.Byte(1).Word(1).Byte(200).Byte(255).Byte(0).Byte(0).Byte(0).Byte(3);
    // Item kinds: any nonzero byte sets its bit; weapon classes all on.
    for (uint8_t byte : {2, 0, 255, 0, 0, 1})
        r.Byte(byte);
    for (int i = 0; i < 17; ++i)
        r.Byte(1);
    r.Floats({1, 0, 1, 0, 1, 1}).Word(7).Byte(250).Byte(0).Word(3);
    for (int i = 0; i < 27; ++i)
        r.Byte(i == 26 ? 255 : (i == 1 ? 2 : 0));
    r.Byte(0);
    CStory story;
    std::string error;
    ASSERT_TRUE(LoadBinary(&story, r.GetBytes(), &error)) << error;
    const tag_TOLQBATTLESETTING& s = *story.GetCommand(0)->battle;
    EXPECT_EQ(s.fighterWord, 1u);
    EXPECT_EQ(s.rules.teamBattle, 1u);
    EXPECT_EQ(s.rules.itemMask, 0x25u);
    EXPECT_EQ(s.rules.weaponMask, 0x1FFFFu);
    EXPECT_EQ(s.players[0].flags, (1u << 26) | (1u << 1));
    EXPECT_EQ(s.players[0].extra, 7u);
    EXPECT_EQ(s.players[0].startPoint, 3u);
    // Bytes past 127 would turn negative as signed choices: they stay at
    // 127, past every list, which means random.
    EXPECT_EQ(s.rules.stageChoice, 127);
    EXPECT_EQ(s.rules.musicChoice, 127);
    EXPECT_EQ(s.players[0].character, 127);
    EXPECT_EQ(s.players[0].randomCharacter, 127);
    EXPECT_EQ(s.rules.npcCountIndex, 3);

    // Written back, each flag byte is 0 or 1.
    const std::vector<uint8_t> written = Encoded(story);
    const size_t flags = 1 + 1 + 4 + 6 + 6 + 17 + 24 + 4 + 1 + 1 + 4;
    ASSERT_EQ(written.size(), flags + 27 + 1);
    EXPECT_EQ(written[flags + 1], 1);
    EXPECT_EQ(written[flags + 26], 1);
}

TEST(StoryBinary, TheWriterRefusesARecordThatWouldReadBackAsSomethingElse)
{
    CStory story;
    CByteWriter writer;
    std::string error;
    // A wait of no finite length would read back as 0.
    tag_TOLQSTORYTEMPLATE* commands[2] = {NewStoryCommand(STORY_WAIT), NewStoryCommand(STORY_WAIT)};
    commands[0]->waitTime = 1.0f;
    commands[1]->waitTime = std::numeric_limits<float>::infinity();
    ASSERT_TRUE(story.SetCommands(commands, 2));
    EXPECT_FALSE(CStoryWriter::Encode(story, &writer, &error));
    EXPECT_NE(error.find("command 1 (Wait) does not read back as written"), std::string::npos) << error;
    EXPECT_TRUE(writer.GetBytes().empty());

    // A picture index past the sixteen slots reads back as written.
    tag_TOLQSTORYTEMPLATE* image = NewStoryCommand(STORY_IMAGE_REGISTER_FREE);
    image->imageFree.object = 200;
    ASSERT_TRUE(story.SetCommands(&image, 1));
    EXPECT_TRUE(CStoryWriter::Encode(story, &writer, &error)) << error;
}
