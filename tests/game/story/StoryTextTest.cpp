// The text form of story scripts: every command's fields in file order,
// the word and block rules, and the integer, float and text edge cases,
// read as atoi and atof read them.
#include "tests/game/story/StoryTestSupport.h"

#include <gtest/gtest.h>

using namespace storytest;

TEST(StoryText, EveryCommandReadsItsFieldsInFileOrder)
{
    CStory story;
    std::string error;
    ASSERT_TRUE(LoadText(&story, AllCommandsText(), &error)) << error;
    ASSERT_EQ(story.GetCommandCount(), 21u);
    for (uint32_t i = 0; i < 21; ++i)
        EXPECT_EQ(story.GetCommand(i)->opcode, i);

    EXPECT_FLOAT_EQ(story.GetCommand(0)->window.fadeTime, 0.5f);
    EXPECT_FLOAT_EQ(story.GetCommand(1)->window.fadeTime, 0.25f);

    // x, y, text, interval, scale, font, colour, voice; no display time.
    const tag_TOLQSTORYTEXT& text = story.GetCommand(2)->text;
    EXPECT_FLOAT_EQ(text.x, 10.0f);
    EXPECT_FLOAT_EQ(text.y, 20.0f);
    EXPECT_STREQ(text.text, "Hello, world; (x) // not a comment");
    EXPECT_FLOAT_EQ(text.interval, 0.05f);
    EXPECT_EQ(text.displayTime, 0.0f);
    EXPECT_FLOAT_EQ(text.scale, 1.5f);
    EXPECT_EQ(text.font, 1);
    // Each channel x 255 truncated, alpha on top.
    EXPECT_EQ(text.color, 0xBFFF7F3Fu);
    EXPECT_STREQ(text.voice, "Vo_a.ogg");

    // The display time right after the interval; "" is no voice.
    const tag_TOLQSTORYTEXT& timed = story.GetCommand(3)->text;
    EXPECT_FLOAT_EQ(timed.interval, 0.04f);
    EXPECT_FLOAT_EQ(timed.displayTime, 3.0f);
    EXPECT_FLOAT_EQ(timed.scale, 2.0f);
    EXPECT_EQ(timed.color, 0xFF000000u);
    EXPECT_EQ(timed.voice, nullptr);

    // x, y, picture, face, face position, fade time, spare byte, object.
    const tag_TOLQSTORYIMAGE& image = story.GetCommand(5)->image;
    EXPECT_FLOAT_EQ(image.x, 30.0f);
    EXPECT_FLOAT_EQ(image.y, 40.0f);
    EXPECT_STREQ(image.picture, "Pic.dds");
    EXPECT_EQ(image.face, 5);
    EXPECT_EQ(image.facePosition, 6);
    EXPECT_FLOAT_EQ(image.fadeTime, 0.75f);
    EXPECT_EQ(image.spare, 9);
    EXPECT_EQ(image.object, 15);
    EXPECT_EQ(story.GetMaxObjectIndex(), 15);

    EXPECT_FLOAT_EQ(story.GetCommand(6)->imageFree.fadeTime, 0.5f);
    EXPECT_EQ(story.GetCommand(6)->imageFree.object, 3);
    const tag_TOLQSTORYFACE& face = story.GetCommand(7)->face;
    EXPECT_FLOAT_EQ(face.delay, 0.1f);
    EXPECT_FLOAT_EQ(face.duration, 0.2f);
    EXPECT_EQ(face.face, 11);
    EXPECT_EQ(face.object, 4);
    const tag_TOLQSTORYCOLOR& color = story.GetCommand(8)->color;
    EXPECT_FLOAT_EQ(color.duration, 0.3f);
    EXPECT_FLOAT_EQ(color.color.x, 0.1f);
    EXPECT_FLOAT_EQ(color.color.w, 0.4f);
    EXPECT_EQ(color.object, 5);
    EXPECT_STREQ(story.GetCommand(9)->stage, "Stand-in Arena");
    const tag_TOLQSTORYCAMERA& camera = story.GetCommand(10)->camera;
    EXPECT_FLOAT_EQ(camera.eye.z, 3.0f);
    EXPECT_FLOAT_EQ(camera.target.x, 4.0f);
    EXPECT_FLOAT_EQ(camera.duration, 7.0f);

    // The file holds strength before duration, and the colour before its
    // duration.
    const tag_TOLQSTORYQUAKE& quake = story.GetCommand(11)->quake;
    EXPECT_FLOAT_EQ(quake.strength, 2.5f);
    EXPECT_FLOAT_EQ(quake.duration, 1.5f);
    EXPECT_EQ(quake.windowShake, 1u);
    const tag_TOLQSTORYSCREENCOLOR& screen = story.GetCommand(12)->screenColor;
    EXPECT_FLOAT_EQ(screen.color.z, 0.3f);
    EXPECT_FLOAT_EQ(screen.duration, 2.0f);

    const tag_TOLQSTORYSOUND& sound = story.GetCommand(13)->sound;
    EXPECT_FLOAT_EQ(sound.position.y, 2.0f);
    EXPECT_EQ(sound.volume, -500);
    EXPECT_STREQ(sound.name, "Se.ogg");
    const tag_TOLQSTORYBGM& bgm = story.GetCommand(14)->bgm;
    EXPECT_FLOAT_EQ(bgm.loopPoint, 7.5f);
    EXPECT_EQ(bgm.volume, -300);
    EXPECT_FLOAT_EQ(bgm.fadeTime, 1.25f);
    EXPECT_EQ(bgm.rewind, 1u);
    EXPECT_STREQ(bgm.name, "Bgm.ogg");
    EXPECT_FLOAT_EQ(story.GetCommand(15)->stopBgm.fadeTime, 0.5f);
    EXPECT_EQ(story.GetCommand(15)->stopBgm.rewind, 0u);
    EXPECT_FLOAT_EQ(story.GetCommand(16)->waitTime, 1.5f);

    // The last battle sets the fighter word; a battle of one holds entry 0
    // only, which has no clothes.
    ASSERT_NE(story.GetCommand(17)->battle, nullptr);
    EXPECT_EQ(story.GetCommand(17)->battle->fighterWord, 0u);
    const tag_TOLQBATTLESETTING* last = story.GetCommand(18)->battle;
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->fighterWord, 1u);
    EXPECT_EQ(last->playerCount, 1);
    EXPECT_EQ(last->players[0].clothes[0], nullptr);
    EXPECT_STREQ(last->players[0].weapons[1], "Sabre");
    for (uint32_t d = 0; d < kStoryDifficultyCount; ++d)
        EXPECT_EQ(story.GetCommand(19)->nextScene[d], std::string(1, static_cast<char>('A' + d)));
}

TEST(StoryText, UnknownWordsSkipTheBlockAfterThemOrTheRest)
{
    CStory story;
    // A block in braces (with braces nested inside) is passed over whole.
    ASSERT_TRUE(LoadText(&story, "Wait(1) Remark { a { b } ShowWindow(9) } Wait(2) MissionHeader Wait(3)"));
    ASSERT_EQ(story.GetCommandCount(), 3u);
    EXPECT_FLOAT_EQ(story.GetCommand(1)->waitTime, 2.0f);
    EXPECT_FLOAT_EQ(story.GetCommand(2)->waitTime, 3.0f);

    // A misspelt word with no block after it ends the script there; words
    // are compared case-sensitively.
    ASSERT_TRUE(LoadText(&story, "Wait(1)\nShowwindow(0.5)\nWait(2)\nEnding"));
    ASSERT_EQ(story.GetCommandCount(), 1u);
    EXPECT_EQ(story.GetCommand(0)->opcode, STORY_WAIT);
}

TEST(StoryText, ByteFieldsKeepTheLowEightBitsOfWhatAtoiReads)
{
    CStory story;
    std::string error;
    ASSERT_TRUE(LoadText(&story, "ChangeFace(0, 0, 255, 0) ChangeFace(0, 0, -1, 0) ChangeFace(0, 0, +7, 0)", &error))
        << error;
    EXPECT_EQ(story.GetCommand(0)->face.face, 255);
    EXPECT_EQ(story.GetCommand(1)->face.face, 255);
    EXPECT_EQ(story.GetCommand(2)->face.face, 7);

    // Past the byte's range, or with something after the digits: the
    // number at the token's front, its low 8 bits; no number at all is 0.
    const std::pair<const char*, uint8_t> fields[] = {{"256", 0},  {"300", 44}, {"-129", 127},
                                                      {"12abc", 12}, {"0x10", 0}, {"1.5", 1}, {"abc", 0}};
    for (const auto& [field, value] : fields)
    {
        SCOPED_TRACE(field);
        ASSERT_TRUE(LoadText(&story, "Wait(1)\nChangeFace(0, 0, " + std::string(field) + ", 0)", &error)) << error;
        ASSERT_EQ(story.GetCommandCount(), 2u);
        EXPECT_EQ(story.GetCommand(1)->face.face, value);
    }
}

TEST(StoryText, WordFieldsTakeMinusOneAsAllOnesAndSaturateAtThirtyTwoBits)
{
    CStory story;
    ASSERT_TRUE(LoadText(&story, "ScreenQuake(1, 1, -1) ScreenQuake(1, 1, 4294967295) PlaySound(0, 0, 0, "
                                 "-2147483648, \"a\") PlaySound(0, 0, 0, 2147483648, \"a\")"));
    EXPECT_EQ(story.GetCommand(0)->quake.windowShake, 0xFFFFFFFFu);
    // A decimal value past a signed 32-bit word saturates, as atoi does.
    EXPECT_EQ(story.GetCommand(1)->quake.windowShake, 0x7FFFFFFFu);
    EXPECT_EQ(story.GetCommand(2)->sound.volume, INT32_MIN);
    EXPECT_EQ(story.GetCommand(3)->sound.volume, INT32_MAX);

    // A random start point in a battle is written as -1.
    ASSERT_TRUE(LoadText(&story, BattleText("BattleOption", 2)));
    EXPECT_EQ(story.GetCommand(0)->battle->players[1].startPoint, 0xFFFFFFFFu);
}

TEST(StoryText, NumbersThatAreNotFiniteReadAsZeroAndFieldsCutOffKeepWhatIsLeft)
{
    CStory story;
    std::string error;
    ASSERT_TRUE(LoadText(&story, "Wait(1e39) Wait(-1e39) Wait(2.5)", &error)) << error;
    ASSERT_EQ(story.GetCommandCount(), 3u);
    EXPECT_EQ(story.GetCommand(0)->waitTime, 0.0f);
    EXPECT_EQ(story.GetCommand(1)->waitTime, 0.0f);
    EXPECT_EQ(story.GetCommand(2)->waitTime, 2.5f);
    // The data ends inside the record: the fields it holds, then zeros.
    ASSERT_TRUE(LoadText(&story, "Wait(1)\nSetCamera(1, 2, 3, 4)", &error)) << error;
    ASSERT_EQ(story.GetCommandCount(), 2u);
    EXPECT_EQ(story.GetCommand(1)->camera.target.x, 4.0f);
    EXPECT_EQ(story.GetCommand(1)->camera.target.y, 0.0f);
    EXPECT_EQ(story.GetCommand(1)->camera.duration, 0.0f);
    ASSERT_TRUE(LoadText(&story, "SetStage(", &error)) << error;
    ASSERT_EQ(story.GetCommandCount(), 1u);
    EXPECT_EQ(story.GetCommand(0)->stage, nullptr);
    // A text the data ends inside is what is left of it.
    ASSERT_TRUE(LoadText(&story, "PlayBgm(0, 0, 0, 1, \"Bgm", &error)) << error;
    EXPECT_STREQ(story.GetCommand(0)->bgm.name, "Bgm");
    EXPECT_EQ(story.GetCommand(0)->bgm.rewind, 1u);
    // A word alone is a command without fields only where it has none.
    ASSERT_TRUE(LoadText(&story, "NoShowText Ending"));
    EXPECT_EQ(story.GetCommandCount(), 2u);
}

TEST(StoryText, TextsKeepSeparatorsAndWholeCharacters)
{
    CStory story;
    // Shift-JIS: a lead byte may be followed by a byte equal to a separator
    // or a quote's neighbour; the pair stays whole.
    const std::string sjis = "\x83\x5C\x83\x40";
    ASSERT_TRUE(LoadText(&story, "SetStage(\"" + sjis + " (a), b; c\t{d}\")\n// SetStage(\"x\")\nWait(1)"));
    ASSERT_EQ(story.GetCommandCount(), 2u);
    EXPECT_EQ(std::string(story.GetCommand(0)->stage), sjis + " (a), b; c\t{d}");

    // A text longer than 511 bytes is cut between characters.
    std::string longText(510, 'a');
    longText += "\x82\xA0\x82\xA0";
    ASSERT_TRUE(LoadText(&story, "SetStage(\"" + longText + "\")"));
    EXPECT_EQ(std::string(story.GetCommand(0)->stage), std::string(510, 'a'));

    // CR LF line ends read as LF inside texts.
    ASSERT_TRUE(LoadText(&story, "SetStage(\"a\r\nb\")\r\nWait(1)\r\n"));
    EXPECT_STREQ(story.GetCommand(0)->stage, "a\nb");
}

TEST(StoryText, TheFileNamesTheChapterAndChoosesTheReader)
{
    CStory story;
    ASSERT_TRUE(LoadStory(&story, "Wait(2)", "Story\\Aria_01.stt"));
    EXPECT_STREQ(story.GetName(), "Aria_01");
    EXPECT_EQ(story.GetCommandCount(), 1u);
    ASSERT_TRUE(LoadStory(&story, "Wait(2)", "STORY\\ARIA_01.STT"));
    EXPECT_EQ(story.GetCommandCount(), 1u);

    // Any other extension reads bytes: "W" (87) is no opcode, nor is any
    // other letter.
    ASSERT_TRUE(LoadStory(&story, "Wait", "Story\\Aria_01.Stt"));
    EXPECT_EQ(story.GetCommandCount(), 0u);
    EXPECT_STREQ(story.GetName(), "Aria_01");
    ASSERT_TRUE(LoadStory(&story, "", "x/Empty.str"));
    EXPECT_STREQ(story.GetName(), "Empty");
    EXPECT_EQ(story.GetCommandCount(), 0u);
}
