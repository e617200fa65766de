// The story and mission lists of the game's resource controller: both
// forms read whole from a resource list or a pack, kept by file name,
// files that can't be read left out and named on standard error, and saved in the binary forms
// through the crash-safe save.
#include "engine/resource/CResourceListFile.h"
#include "engine/resource/CResourcePackWriter.h"
#include "engine/resource/CSafeFileWriter.h"
#include "game/app/CQorResourceController.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/game/story/StoryTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace storytest;

namespace
{
using Qor = CQorResourceController;

const std::string kChapter1 = "ShowWindow(0.5)\nNextScene(\"A_02\", \"A_02\", \"A_02\", \"A_02\", \"A_02\")\n";
const std::string kChapter2 = "Wait(1)\n" + BattleText("LastBattleOption", 2) + "Ending\n";
const std::string kMission = "MissionHeader(\"M\", \"\", \"\", \"\", \"\", \"\", 0, 1, 2, 3, 4, 5, 6)\n" +
                             BattleText("BattleOption", 2);

std::vector<uint8_t> BinaryOf(const std::string& text)
{
    CStory story;
    EXPECT_TRUE(LoadText(&story, text));
    return Encoded(story);
}

void WriteList(const char* name, const std::vector<std::string>& records)
{
    CSafeFileWriter list;
    bool written = list.Open(name) && CResourceListFile::WriteHeader(list, Qor::kSetIdentifier);
    for (const std::string& record : records)
        written = written && CResourceListFile::WriteRecord(list, record.c_str());
    ASSERT_TRUE(written && CResourceListFile::WriteEnd(list) && list.Commit());
}

// Chapter 1 as text, chapter 2 in binary, a mission in each form, and
// files listed twice (also one chapter in both forms): the first stays.
void WriteSet()
{
    const std::vector<uint8_t> chapter2 = BinaryOf(kChapter2);
    TempFolder::Write("Story/A_01.stt", kChapter1);
    TempFolder::Write("Story/A_01.str", std::string(1, static_cast<char>(STORY_ENDING)));
    TempFolder::Write("Story/A_02.str", std::string(chapter2.begin(), chapter2.end()));
    TempFolder::Write("Mission/M_01.mit", kMission);
    CMission mission;
    ASSERT_TRUE(LoadMission(&mission, kMission, "M.mit"));
    const std::vector<uint8_t> binary = Encoded(mission);
    TempFolder::Write("Mission/M_02.MIS", std::string(binary.begin(), binary.end()));
    WriteList("GameResource.grc", {"Story\\A_01.stt", "Story\\A_02.str", "Mission\\M_01.mit", "Mission\\M_02.MIS",
                                   "Story\\A_01.stt", "Story\\A_01.str"});
}

void ExpectTheSet(Qor& controller)
{
    ASSERT_EQ(controller.GetStoryList()->GetCount(), 2u);
    ASSERT_EQ(controller.GetMissionList()->GetCount(), 2u);
    const CStory* first = controller.GetStoryList()->FindByFileName("A_01");
    const CStory* second = controller.GetStoryList()->FindByFileName("A_02");
    ASSERT_TRUE(first != nullptr && second != nullptr);
    EXPECT_EQ(first->GetCommandCount(), 2u);
    EXPECT_STREQ(first->GetCommand(1)->nextScene[4], "A_02");
    ASSERT_EQ(second->GetCommandCount(), 3u);
    EXPECT_EQ(second->GetCommand(1)->battle->fighterWord, 1u);
    // In list order, which the play data's mission records follow.
    EXPECT_STREQ(controller.GetMissionList()->GetItem(0)->GetName(), "M_01");
    EXPECT_STREQ(controller.GetMissionList()->GetItem(1)->GetName(), "M_02");
    EXPECT_NE(controller.GetMissionList()->GetItem(1)->GetBattleOption(), nullptr);
}
}

TEST(StoryList, StoriesAndMissionsLoadWholeInEitherFormWithAndWithoutContents)
{
    TempFolder temp;
    WriteSet();
    for (uint32_t contents : {1u, 0u})
    {
        SCOPED_TRACE(contents);
        Qor controller;
        ASSERT_EQ(controller.Load("GameResource.grc", contents), 1) << controller.GetLastError();
        ExpectTheSet(controller);
        EXPECT_EQ(controller.GetList(Qor::LIST_STORIES), controller.GetStoryList());
        EXPECT_EQ(controller.GetList(Qor::LIST_MISSIONS), controller.GetMissionList());
        controller.DeleteGameData();
        EXPECT_EQ(controller.GetStoryList()->GetCount(), 0u);
        EXPECT_EQ(controller.GetMissionList()->GetCount(), 0u);
    }
}

TEST(StoryList, ASavedSetHoldsTheBinaryFormsAndLoadsBackTheSame)
{
    TempFolder temp;
    WriteSet();
    Qor controller;
    ASSERT_EQ(controller.Load("GameResource.grc", 1), 1) << controller.GetLastError();
    ASSERT_EQ(controller.SaveTo("Saved\\GameResource.grc"), 1) << controller.GetLastError();
    for (const char* file : {"Story/A_01.str", "Story/A_02.str", "Mission/M_01.mis", "Mission/M_02.mis"})
        EXPECT_TRUE(std::filesystem::exists(temp.Path() / "Saved" / file)) << file;
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "Saved" / "Story" / "A_01.stt"));

    Qor saved;
    ASSERT_EQ(saved.Load("Saved\\GameResource.grc", 1), 1) << saved.GetLastError();
    ExpectTheSet(saved);
    for (const char* name : {"A_01", "A_02"})
        ExpectSameCommands(*controller.GetStoryList()->FindByName(name), *saved.GetStoryList()->FindByName(name));
    EXPECT_EQ(Encoded(*saved.GetMissionList()->GetItem(0)), Encoded(*controller.GetMissionList()->GetItem(0)));

    // Saving over itself works again and again.
    ASSERT_EQ(saved.SaveTo("Saved\\GameResource.grc"), 1) << saved.GetLastError();
}

TEST(StoryList, AScriptThatCantBeReadIsLeftOutSaidOnStandardErrorAndTheLoadGoesOn)
{
    TempFolder temp;
    // A damaged record costs only its own fields ("16x" reads as 16) and
    // its chapter loads; a chapter of more commands than a chapter may
    // hold, and a file that is not there, are left out.
    TempFolder::Write("Story/Bad.stt", "Wait(1)\nWait(2)\nImageRegisterFree(0.5, 16x)\n");
    TempFolder::Write("Story/Long.str", std::string(65536, static_cast<char>(STORY_NO_SHOW_TEXT)));
    TempFolder::Write("Story/A_01.stt", kChapter1);
    WriteList("Bad.grc", {"Story\\Bad.stt", "Story\\Long.str", "Mission\\Gone.mis", "Story\\A_01.stt"});
    Qor controller;
    testing::internal::CaptureStderr();
    EXPECT_EQ(controller.Load("Bad.grc", 1), 1) << controller.GetLastError();
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_EQ(controller.GetStoryList()->GetCount(), 2u);
    const CStory* bad = controller.GetStoryList()->FindByFileName("Bad");
    ASSERT_NE(bad, nullptr);
    ASSERT_EQ(bad->GetCommandCount(), 3u);
    EXPECT_EQ(bad->GetCommand(2)->imageFree.object, 16);
    EXPECT_NE(controller.GetStoryList()->FindByFileName("A_01"), nullptr);
    EXPECT_EQ(controller.GetStoryList()->FindByFileName("Long"), nullptr);
    EXPECT_EQ(controller.GetMissionList()->GetCount(), 0u);
    EXPECT_NE(log.find("\"Story\\Long.str\": byte 65535: NoShowText, a chapter holds at most 65535 commands"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("the mission is left out: \"Mission\\Gone.mis\": it can't be read"), std::string::npos) << log;
}

TEST(StoryList, ScriptsInAPackLoadFromThePack)
{
    TempFolder temp;
    CResourcePackWriter pack;
    ASSERT_TRUE(pack.Add("Story\\P_01.str", BinaryOf(kChapter2)));
    ASSERT_TRUE(pack.Add("Story\\P_02.stt", std::vector<uint8_t>(kChapter1.begin(), kChapter1.end())));
    CSafeFileWriter file;
    ASSERT_TRUE(file.Open("Data\\Story.gpk") && pack.Write(file) && file.Commit());
    WriteList("GameResource.grc", {"Data\\Story.gpk"});
    Qor controller;
    ASSERT_EQ(controller.Load("GameResource.grc", 1), 1) << controller.GetLastError();
    ASSERT_EQ(controller.GetStoryList()->GetCount(), 2u);
    EXPECT_EQ(controller.GetStoryList()->FindByName("P_01")->GetCommandCount(), 3u);
    EXPECT_EQ(controller.GetStoryList()->FindByName("P_02")->GetCommandCount(), 2u);
}

TEST(StoryList, AStoryThatCantBeWrittenFailsTheWholeSave)
{
    TempFolder temp;
    Qor controller;
    // A battle command made in memory without its setting.
    CStory* story = new CStory();
    story->SetName("Broken");
    tag_TOLQSTORYTEMPLATE* command = NewStoryCommand(STORY_BATTLE_OPTION);
    ASSERT_TRUE(story->SetCommands(&command, 1));
    ASSERT_TRUE(controller.GetStoryList()->Add(story));
    EXPECT_EQ(controller.SaveTo("GameResource.grc"), 0);
    EXPECT_NE(controller.GetLastError().find(
                  "\"Broken\": can't be written: command 0 (BattleOption) does not read back as written"),
              std::string::npos)
        << controller.GetLastError();
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "GameResource.grc"));
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "Story"));
}
