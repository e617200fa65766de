// Replay files: what a recording writes and where, the buffer, the names a
// finished battle gets, and a reader that refuses whatever a file can get
// wrong.
#include "engine/core/CByteReader.h"
#include "engine/core/CByteWriter.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CCpu.h"
#include "game/actor/CPlayer.h"
#include "game/battle/CReplay.h"
#include "game/battle/ReplaySettingBlock.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace
{
std::string FolderOf(const TempFolder& folder)
{
    return folder.Path().string() + "/";
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Two human fighters in slots 0 and 1 and a computer fighter.
struct Seats
{
    Seats()
    {
        for (int i = 0; i < 3; ++i)
            definitions[i].number = static_cast<uint8_t>(i);
        fighters.push_back(std::make_unique<CPlayer>(&definitions[0]));
        fighters.push_back(std::make_unique<CPlayer>(&definitions[1]));
        fighters.push_back(std::make_unique<CCpu>(&definitions[2], 2));
        for (size_t i = 0; i < fighters.size(); ++i)
        {
            tag_TOLQBATTLECHARADATA data;
            data.fighterIndex = static_cast<uint8_t>(i);
            data.localInput = i == 2 ? 1 : 0;
            fighters[i]->Create(0);
            fighters[i]->Setup(&data, nullptr);
            pointers.push_back(fighters[i].get());
        }
    }
    // Fighter i acts on a record whose first byte and stick carry the frame.
    void Apply(uint32_t frame)
    {
        for (uint32_t i = 0; i < 2; ++i)
        {
            tag_TOLQINPUTRECORD record;
            record.bytes[0] = static_cast<uint8_t>(frame + i);
            record.bytes[7] = static_cast<uint8_t>((frame * 3 + i) % 200 - 100);
            pointers[i]->ApplyInputRecord(&record, &input);
        }
    }
    CCharacterDefinition definitions[3];
    std::vector<std::unique_ptr<CCharacter>> fighters;
    std::vector<CCharacter*> pointers;
    CInput input;
};

tag_TOLQBATTLESETTING* ThreeSeatSetting()
{
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(3, 0, nullptr);
    setting->players[1].slotState = 1;
    setting->seed = 0x12345678;
    setting->rules.rule = tag_TOLQBATTLERULE::RULE_TEAM_JEWELS;
    return setting;
}

// A recording of frames 0..count-1 at 16 + frame % 5 ms; the bytes of the
// frames as they must reach the file.
std::vector<uint8_t> Record(CReplay* replay, Seats* seats, uint32_t count)
{
    CByteWriter expected;
    for (uint32_t frame = 0; frame < count; ++frame)
    {
        seats->Apply(frame);
        const uint32_t ms = 16 + frame % 5;
        replay->RecordFrame(seats->pointers.data(), 3, ms);
        expected.U32(ms);
        expected.Bytes(seats->pointers[0]->GetLastInputRecord()->bytes, 15);
        expected.Bytes(seats->pointers[1]->GetLastInputRecord()->bytes, 15);
    }
    return expected.GetBytes();
}

std::vector<uint8_t> SettingBytes(const tag_TOLQBATTLESETTING& setting)
{
    CByteWriter writer;
    WriteReplaySettingBlock(&writer, setting);
    return writer.GetBytes();
}

// Reads a block that must be refused, and checks the setting kept its own.
std::string Refusal(const std::vector<uint8_t>& bytes)
{
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(2, 0, nullptr);
    setting->seed = 77;
    CByteReader reader(bytes.data(), bytes.size());
    std::string reason;
    const bool read = ReadReplaySettingBlock(&reader, setting, &reason);
    EXPECT_FALSE(read);
    EXPECT_EQ(setting->playerCount, 2);
    EXPECT_EQ(setting->seed, 77u);
    FreeBattleSetting(setting);
    return reason;
}

// The offset of entry 0's fields in a setting block.
constexpr size_t kEntry0 = 1 + 1 + 4 + 36;

uint32_t g_now = 0;
std::vector<uint32_t> g_sleeps;
uint32_t FakeClock()
{
    return g_now;
}
void FakeSleep(uint32_t ms)
{
    g_sleeps.push_back(ms);
    g_now += ms;
}
}

TEST(Replay, TwoHumansAndAComputerFighterWriteFourPlusFifteenPlusFifteenBytesAFrame)
{
    TempFolder folder;
    Seats seats;
    CReplay replay;
    ASSERT_EQ(replay.OpenForRecord(FolderOf(folder).c_str()), 1);
    const std::vector<uint8_t> frames = Record(&replay, &seats, 10);
    EXPECT_EQ(frames.size(), 10u * (4 + 15 + 15));
    const std::string final = FolderOf(folder) + "QorReplay_01.rep";
    ASSERT_EQ(replay.Finish(final.c_str()), 1);
    const std::string file = TempFolder::Read(final);
    ASSERT_EQ(file.size(), 4 + frames.size()); // the empty leading name, then the frames
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 4, file.end()), frames);
}

TEST(Replay, AFullBufferIsWrittenOutInTheMiddleOfASequenceAndTheFileIsTheSame)
{
    TempFolder folder;
    Seats seats;
    tag_TOLQBATTLESETTING* setting = ThreeSeatSetting();
    CReplay replay;
    ASSERT_EQ(replay.OpenForRecord(FolderOf(folder).c_str()), 1);
    ASSERT_EQ(replay.WriteHeader("Stand-in Arena", "Aria", 0), 1);
    ASSERT_EQ(replay.WriteSetting(setting), 1);
    // 400 frames of 34 bytes pass the 6000-byte buffer twice, not at a frame's edge.
    const std::vector<uint8_t> frames = Record(&replay, &seats, 400);
    ASSERT_GT(std::filesystem::file_size(replay.GetTemporaryName()), 6000u);
    const std::string final = FolderOf(folder) + "QorReplay_01.rep";
    ASSERT_EQ(replay.Finish(final.c_str()), 1);
    CByteWriter expected;
    expected.U32(0);
    WriteReplayHeader(&expected, replay.GetHeader());
    const std::vector<uint8_t> block = SettingBytes(*setting);
    expected.Bytes(block.data(), block.size());
    expected.Bytes(frames.data(), frames.size());
    EXPECT_EQ(Bytes(TempFolder::Read(final)), expected.GetBytes());
    FreeBattleSetting(setting);
}

TEST(Replay, ARecordingLivesBesideItsFinalNameAndABattleQuitEarlyLeavesNoFile)
{
    TempFolder folder;
    Seats seats;
    {
        CReplay replay;
        ASSERT_EQ(replay.OpenForRecord(FolderOf(folder).c_str()), 1);
        EXPECT_EQ(std::filesystem::path(replay.GetTemporaryName()).parent_path(), folder.Path());
        Record(&replay, &seats, 5);
        EXPECT_EQ(FilesIn(folder.Path()).size(), 1u);
    }
    EXPECT_TRUE(FilesIn(folder.Path()).empty());
}

TEST(Replay, ARecordingThatCantBeOpenedWritesNothing)
{
    TempFolder folder;
    Seats seats;
    CReplay replay;
    EXPECT_EQ(replay.OpenForRecord((FolderOf(folder) + "missing/").c_str()), 0);
    EXPECT_FALSE(replay.IsRecording());
    EXPECT_EQ(replay.WriteHeader("a", "b", 0), 0);
    EXPECT_EQ(replay.RecordFrame(seats.pointers.data(), 3, 16), 0);
    EXPECT_EQ(replay.Finish((FolderOf(folder) + "x.rep").c_str()), 1); // nothing to finish
    EXPECT_TRUE(FilesIn(folder.Path()).empty());
}

TEST(Replay, NewFilesTakeTheFirstFreeNumberUpToTheReplayCountThenTheNewName)
{
    TempFolder folder;
    const std::string base = FolderOf(folder);
    TempFolder::Write(base + "QorReplay_01.rep", "x");
    TempFolder::Write(base + "QorReplay_02.rep", "x");
    EXPECT_EQ(CReplay::MakeFileName(base.c_str(), 14), base + "QorReplay_03.rep");
    for (int n = 3; n <= 14; ++n)
    {
        char name[32];
        std::snprintf(name, sizeof(name), "QorReplay_%2.2d.rep", n);
        TempFolder::Write(base + name, "x");
    }
    EXPECT_EQ(CReplay::MakeFileName(base.c_str(), 14), base + "QorReplay_New.rep");
    EXPECT_EQ(CReplay::MakeFileName(base.c_str(), 0), base + "QorReplay_New.rep");
}

TEST(Replay, FinishingReplacesAnOlderNewReplay)
{
    TempFolder folder;
    const std::string final = FolderOf(folder) + "QorReplay_New.rep";
    TempFolder::Write(final, "old");
    CReplay replay;
    ASSERT_EQ(replay.OpenForRecord(FolderOf(folder).c_str()), 1);
    ASSERT_EQ(replay.Finish(final.c_str()), 1);
    EXPECT_EQ(TempFolder::Read(final), std::string(4, '\0'));
    EXPECT_EQ(FilesIn(folder.Path()).size(), 1u);
}

TEST(Replay, HeaderNamesAreCutToFitWithTheirNul)
{
    TempFolder folder;
    CReplay replay;
    ASSERT_EQ(replay.OpenForRecord(FolderOf(folder).c_str()), 1);
    const std::string stage(40, 's'), character(300, 'c');
    ASSERT_EQ(replay.WriteHeader(stage.c_str(), character.c_str(), 1), 1);
    EXPECT_EQ(std::string(replay.GetHeader().stageName), std::string(31, 's'));
    EXPECT_EQ(std::string(replay.GetHeader().characterName), std::string(259, 'c'));
    EXPECT_EQ(replay.GetHeader().version, 259);
    EXPECT_EQ(replay.GetHeader().online, 1);
    const std::string final = FolderOf(folder) + "r.rep";
    ASSERT_EQ(replay.Finish(final.c_str()), 1);
    CReplay reader;
    ASSERT_EQ(reader.OpenForPlay(final.c_str()), 1);
    EXPECT_EQ(reader.ReadHeader(), 1);
    EXPECT_EQ(std::string(reader.GetHeader().stageName), std::string(31, 's'));
    EXPECT_GE(reader.GetHeader().year, 2024);
    EXPECT_GE(reader.GetHeader().month, 1);
    EXPECT_LE(reader.GetHeader().day, 31);
}

TEST(Replay, TheSettingComesBackAsWrittenWithLongTextsCut)
{
    tag_TOLQBATTLESETTING* setting = ThreeSeatSetting();
    const std::string longName(200, 'n');
    setting->players[0].name = longName.c_str();
    setting->players[0].weapons[3] = "Rifle";
    setting->players[2].clothes[5] = "Hat";
    setting->players[1].factors[3] = 0.5f;
    setting->players[1].radioChat[11].phrase = 0x47;
    std::snprintf(setting->players[1].radioChat[11].text, 33, "%s", "Help!");
    setting->ownSlot = 1;
    const std::vector<uint8_t> bytes = SettingBytes(*setting);
    tag_TOLQBATTLESETTING* read = CreateBattleSettingFrom(1, 0, nullptr);
    CByteReader reader(bytes.data(), bytes.size());
    std::string reason;
    ASSERT_TRUE(ReadReplaySettingBlock(&reader, read, &reason)) << reason;
    EXPECT_TRUE(reader.AtEnd());
    ASSERT_EQ(read->playerCount, 3);
    EXPECT_EQ(read->ownSlot, 1);
    EXPECT_EQ(read->viewedSlot, 1u);
    EXPECT_EQ(read->seed, 0x12345678u);
    EXPECT_EQ(read->rules.rule, tag_TOLQBATTLERULE::RULE_TEAM_JEWELS);
    EXPECT_EQ(std::string(read->players[0].name), std::string(126, 'n'));
    EXPECT_STREQ(read->players[0].weapons[3], "Rifle");
    EXPECT_EQ(read->players[0].weapons[2], nullptr);
    EXPECT_STREQ(read->players[2].clothes[5], "Hat");
    EXPECT_EQ(read->players[1].slotState, 1);
    EXPECT_FLOAT_EQ(read->players[1].factors[3], 0.5f);
    EXPECT_EQ(read->players[1].radioChat[11].phrase, 0x47);
    EXPECT_STREQ(read->players[1].radioChat[11].text, "Help!");
    EXPECT_EQ(read->players[2].slotState, tag_TOLQBATTLEPLAYER::SLOT_COMPUTER);
    FreeReplayTexts(read);
    FreeBattleSetting(read);
    FreeBattleSetting(setting);
}

TEST(Replay, TheSettingReaderRefusesWhatNoBattleWrites)
{
    tag_TOLQBATTLESETTING* setting = ThreeSeatSetting();
    setting->players[0].name = "Aria";
    const std::vector<uint8_t> good = SettingBytes(*setting);
    FreeBattleSetting(setting);
    auto with = [&](size_t offset, uint8_t value) {
        std::vector<uint8_t> bytes = good;
        bytes[offset] = value;
        return bytes;
    };
    EXPECT_NE(Refusal(with(0, 0)).find("player count"), std::string::npos);
    EXPECT_NE(Refusal(with(0, 9)).find("player count"), std::string::npos);
    EXPECT_NE(Refusal(with(0, 4)).find("ends"), std::string::npos); // a fourth entry is missing
    EXPECT_NE(Refusal(with(1, 8)).find("own slot"), std::string::npos);
    EXPECT_NE(Refusal(with(6 + 8, 8)).find("rule"), std::string::npos);
    EXPECT_NE(Refusal(with(6 + 10, 5)).find("time limit"), std::string::npos);
    EXPECT_NE(Refusal(with(kEntry0 + 1, 8)).find("character"), std::string::npos); // the drawn one
    EXPECT_NE(Refusal(with(kEntry0 + 2, 10)).find("seat"), std::string::npos);
    EXPECT_NE(Refusal(with(kEntry0 + 2, 0xFF)).find("seat"), std::string::npos);
    EXPECT_NE(Refusal(with(kEntry0 + 3, 5)).find("team"), std::string::npos);
    EXPECT_NE(Refusal(with(kEntry0 + 8, 9)).find("character"), std::string::npos);
    const size_t cpuLevel = kEntry0 + 9 + 8 + 24 + 8;
    EXPECT_NE(Refusal(with(cpuLevel, 5)).find("CPU level"), std::string::npos);
    EXPECT_NE(Refusal(with(cpuLevel + 1, 200)).find("text length"), std::string::npos);
    const size_t radioChat = cpuLevel + 1 + 1 + 5; // past the name "Aria" and its NUL
    EXPECT_NE(Refusal(with(radioChat, 2)).find("scopes and phrases"), std::string::npos);
    EXPECT_NE(Refusal(with(radioChat + 34, 0x48)).find("scopes and phrases"), std::string::npos);
    std::vector<uint8_t> nan = good;
    const float notANumber = std::nanf("");
    std::memcpy(&nan[kEntry0 + 9], &notANumber, 4);
    EXPECT_NE(Refusal(nan).find("not a number"), std::string::npos);
    for (size_t cut : {size_t(0), size_t(3), kEntry0 - 1, kEntry0 + 20, cpuLevel + 3, good.size() - 1})
        EXPECT_NE(Refusal(std::vector<uint8_t>(good.begin(), good.begin() + cut)).find("ends"), std::string::npos)
            << cut;
}

TEST(Replay, PlaybackAppliesTheRecordedRecordsAndTimesToTheHumanFighters)
{
    TempFolder folder;
    Seats recorded;
    tag_TOLQBATTLESETTING* setting = ThreeSeatSetting();
    CReplay replay;
    ASSERT_EQ(replay.OpenForRecord(FolderOf(folder).c_str()), 1);
    replay.WriteHeader("Stand-in Arena", "Aria", 0);
    replay.WriteSetting(setting);
    Record(&replay, &recorded, 30);
    const std::string final = FolderOf(folder) + "QorReplay_01.rep";
    ASSERT_EQ(replay.Finish(final.c_str()), 1);

    CReplay player;
    player.SetPacing(false);
    ASSERT_EQ(player.OpenForPlay(final.c_str()), 1) << player.GetError();
    tag_TOLQBATTLESETTING* read = CreateBattleSettingFrom(1, 0, nullptr);
    ASSERT_EQ(player.ReadSetting(read), 1) << player.GetError();
    Seats played;
    Seats expected;
    for (uint32_t frame = 0; frame < 30; ++frame)
    {
        ASSERT_EQ(player.PlayFrame(played.pointers.data(), 3, &played.input), 1);
        EXPECT_EQ(GetElapsedMilliseconds(), 16 + frame % 5);
        expected.Apply(frame);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(std::memcmp(played.pointers[i]->GetLastInputRecord(), expected.pointers[i]->GetLastInputRecord(),
                                  15),
                      0);
    }
    // The end of the file ends the playback: empty records, the time stays.
    EXPECT_EQ(player.PlayFrame(played.pointers.data(), 3, &played.input), 0);
    EXPECT_TRUE(player.HasEnded());
    EXPECT_EQ(GetElapsedMilliseconds(), 16 + 29 % 5);
    const tag_TOLQINPUTRECORD empty;
    EXPECT_EQ(std::memcmp(played.pointers[0]->GetLastInputRecord(), &empty, 15), 0);
    FreeReplayTexts(read);
    FreeBattleSetting(read);
    FreeBattleSetting(setting);
}

TEST(Replay, AFrameOfOverAMinuteOrAFrameCutShortEndsThePlayback)
{
    TempFolder folder;
    Seats seats;
    for (uint32_t bad : {CReplay::kMaxFrameMilliseconds + 1, 0xFFFFFFFFu})
    {
        CByteWriter file;
        file.U32(0);
        WriteReplayHeader(&file, tag_TOLQREPLAYHEADER());
        file.U32(17);
        file.Zeros(30);
        file.U32(bad);
        file.Zeros(30);
        TempFolder::Write("bad.rep", std::string(file.GetBytes().begin(), file.GetBytes().end()));
        CReplay replay;
        replay.SetPacing(false);
        ASSERT_EQ(replay.OpenForPlay("bad.rep"), 1);
        EXPECT_EQ(replay.PlayFrame(seats.pointers.data(), 3, &seats.input), 1);
        EXPECT_EQ(replay.PlayFrame(seats.pointers.data(), 3, &seats.input), 0);
        EXPECT_TRUE(replay.HasEnded());
        EXPECT_EQ(GetElapsedMilliseconds(), 17u);
        EXPECT_NE(replay.GetError().find("ms"), std::string::npos);
    }
    CByteWriter cut;
    cut.U32(0);
    WriteReplayHeader(&cut, tag_TOLQREPLAYHEADER());
    cut.U32(17);
    cut.Zeros(29);
    TempFolder::Write("cut.rep", std::string(cut.GetBytes().begin(), cut.GetBytes().end()));
    CReplay replay;
    ASSERT_EQ(replay.OpenForPlay("cut.rep"), 1);
    EXPECT_EQ(replay.PlayFrame(seats.pointers.data(), 3, &seats.input), 0);
    EXPECT_NE(replay.GetError().find("inside a frame"), std::string::npos);
}

TEST(Replay, AFileThatEndsBeforeItsHeaderOrNamesAHugeLeadingNameIsRefused)
{
    TempFolder folder;
    CReplay replay;
    EXPECT_EQ(replay.OpenForPlay("missing.rep"), 0);
    EXPECT_NE(replay.GetError().find("not exist"), std::string::npos);
    TempFolder::Write("short.rep", std::string(4 + 299, '\0'));
    EXPECT_EQ(replay.OpenForPlay("short.rep"), 0);
    EXPECT_NE(replay.GetError().find("header"), std::string::npos);
    TempFolder::Write("huge.rep", std::string("\xFF\xFF\xFF\x7F", 4) + std::string(400, 'x'));
    EXPECT_EQ(replay.OpenForPlay("huge.rep"), 0);
    EXPECT_NE(replay.GetError().find("leading name"), std::string::npos);
    CByteWriter named;
    named.U32(5);
    named.Bytes("name", 5);
    WriteReplayHeader(&named, tag_TOLQREPLAYHEADER());
    TempFolder::Write("named.rep", std::string(named.GetBytes().begin(), named.GetBytes().end()));
    ASSERT_EQ(replay.OpenForPlay("named.rep"), 1);
    EXPECT_STREQ(replay.GetName(), "name");
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(2, 0, nullptr);
    EXPECT_EQ(replay.ReadSetting(setting), 0); // no setting follows
    EXPECT_EQ(setting->playerCount, 2);
    FreeBattleSetting(setting);
}

TEST(Replay, PlaybackHoldsFramesOfTwentyMillisecondsAndMoreToTheirRecordedLengthWithoutWaiting)
{
    TempFolder folder;
    Seats seats;
    auto write = [](const char* name, const std::vector<uint32_t>& times) {
        CByteWriter file;
        file.U32(0);
        WriteReplayHeader(&file, tag_TOLQREPLAYHEADER());
        for (uint32_t ms : times)
        {
            file.U32(ms);
            file.Zeros(30);
        }
        TempFolder::Write(name, std::string(file.GetBytes().begin(), file.GetBytes().end()));
    };
    write("paced.rep", {30u, 19u, 50u, 1500u, 16u});
    write("steady.rep", std::vector<uint32_t>(13, 25));
    struct FakeFrameClock
    {
        FakeFrameClock() { SetFrameTimerClock(FakeClock, FakeSleep); }
        ~FakeFrameClock() { SetFrameTimerClock(nullptr, nullptr); }
    } fake;
    g_sleeps.clear();
    g_now = 1000;
    // How long each frame is held (the clock moved on a millisecond at a
    // time until it is due): the first not at all, then the recorded
    // length of the frame before, but a frame under 20 ms lets the next one
    // run free; a slow frame of 1.5 s is held too.
    CReplay replay;
    ASSERT_EQ(replay.OpenForPlay("paced.rep"), 1);
    std::vector<uint32_t> held;
    for (int i = 0; i < 5; ++i)
    {
        uint32_t waited = 0;
        for (; !replay.IsFrameDue() && waited < 5000; ++waited)
            ++g_now;
        held.push_back(waited);
        EXPECT_EQ(replay.PlayFrame(seats.pointers.data(), 3, &seats.input), 1);
    }
    EXPECT_EQ(held, (std::vector<uint32_t>{0, 30, 0, 50, 1500}));
    EXPECT_TRUE(g_sleeps.empty()) << "the playback waited itself";
    // Frames of 25 ms in a loop of 16 ms frames play each in the first loop
    // frame they are due in, at the recorded speed all the same: the 12
    // after the first within 300 ms and a loop frame.
    CReplay steady;
    ASSERT_EQ(steady.OpenForPlay("steady.rep"), 1);
    uint32_t first = 0;
    for (uint32_t played = 0, loop = 0; played < 13 && loop < 100; ++loop)
    {
        g_now += 16;
        if (!steady.IsFrameDue())
            continue;
        if (played++ == 0)
            first = g_now;
        steady.PlayFrame(seats.pointers.data(), 3, &seats.input);
    }
    EXPECT_GE(g_now - first, 300u);
    EXPECT_LT(g_now - first, 316u);
    CReplay unpaced;
    unpaced.SetPacing(false);
    ASSERT_EQ(unpaced.OpenForPlay("paced.rep"), 1);
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_TRUE(unpaced.IsFrameDue());
        unpaced.PlayFrame(seats.pointers.data(), 3, &seats.input);
    }
}
