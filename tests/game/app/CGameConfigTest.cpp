#include "game/app/CGameConfig.h"
#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "game/app/SaveFolder.h"

#include "engine/core/FileIo.h"
#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/resource.h>

namespace
{
std::string Folder(const TempFolder& temp)
{
    return temp.Path().string() + "/";
}

tag_TOLQGAMECONFIG ChangedConfig()
{
    tag_TOLQGAMECONFIG config;
    SetDefaultGameConfig(&config);
    config.lobbyPort = 5000;
    config.upnp = 0;
    std::strcpy(config.loginId, "player-one");
    config.fullScreen = 1;
    config.bgmVolume = -1500;
    config.seVolume = -10000;
    config.voiceVolume = -3000;
    config.storyDifficulty = 4;
    config.radioChat.resize(2 * kRadioChatsPerCharacter);
    for (size_t i = 0; i < config.radioChat.size(); ++i)
    {
        config.radioChat[i].scope = static_cast<uint8_t>(i & 1);
        std::snprintf(config.radioChat[i].text, sizeof(config.radioChat[i].text), "chat %zu", i);
        config.radioChat[i].phrase = static_cast<uint8_t>(0x38 + i % 16);
    }
    config.keys[4] = 0x11;
    config.padElements[14] = 40;
    config.cameraSensitivity = 2.5f;
    config.keyResponse = 30;
    config.replayCount = 99;
    return config;
}

tag_TOLQPLAYDATA FilledPlayData()
{
    tag_TOLQPLAYDATA data;
    data.points = 12345;
    data.stageCount = 6;
    data.builtInMusicCount = 4;
    data.musicCount = 5;
    data.characters.resize(3);
    data.characters[1].storyClear[2] = 7;
    std::strcpy(data.characters[2].weapons[9], "Weapon\\Sword.swp");
    std::strcpy(data.characters[0].clothes[5], "Clothes\\Hat.cls");
    data.weapons = {{1, 1, 0}, {0, 0, 0}};
    data.clothes = {{1, 0, 0}};
    data.missions = {{3, 900, true}, {0, 0, false}};
    data.clearedMissionCount = 1;
    data.userMusic = {"Bgm\\Mine.wav"};
    return data;
}

tag_TOLQPLAYRECORD FilledRecord()
{
    tag_TOLQPLAYRECORD record = {};
    record.totalPlayTime = 3600000;
    record.playerRank = 4;
    record.records.resize(2);
    for (uint32_t i = 0; i < kBattleTallies; ++i)
    {
        if (i == 7 || i == 8)
            continue;
        record.records[1].offline[i] = i + 1;
        record.records[0].network[i] = 100 + i;
    }
    return record;
}
}

TEST(GameConfigFiles, AllThreeRoundTripByteExactly)
{
    const std::vector<uint8_t> config = EncodeGameConfig(ChangedConfig());
    tag_TOLQGAMECONFIG readConfig;
    SetDefaultGameConfig(&readConfig);
    ASSERT_EQ(DecodeGameConfig(config.data(), config.size(), &readConfig), 1);
    EXPECT_EQ(EncodeGameConfig(readConfig), config);
    EXPECT_STREQ(readConfig.loginId, "player-one");
    EXPECT_EQ(readConfig.radioChat.size(), 24u);

    const std::vector<uint8_t> play = EncodePlayData(FilledPlayData());
    tag_TOLQPLAYDATA readPlay;
    ASSERT_EQ(DecodePlayData(play.data(), play.size(), &readPlay), 1);
    EXPECT_EQ(EncodePlayData(readPlay), play);
    EXPECT_STREQ(readPlay.characters[2].weapons[9], "Weapon\\Sword.swp");
    // A won mission's rank byte carries the win in its top bit.
    EXPECT_EQ(readPlay.missions[0].rank, 3);
    EXPECT_TRUE(readPlay.missions[0].won);
    EXPECT_FALSE(readPlay.missions[1].won);

    const std::vector<uint8_t> record = EncodePlayRecord(FilledRecord());
    tag_TOLQPLAYRECORD readRecord = {};
    ASSERT_EQ(DecodePlayRecord(record.data(), record.size(), &readRecord), 1);
    EXPECT_EQ(EncodePlayRecord(readRecord), record);
    // The two run-time tallies are not kept.
    EXPECT_EQ(record.size(), 2u + 4 + 1 + 1 + 2 * 2 * 13 * 4);
}

TEST(GameConfigFiles, VersionsLeadEachFile)
{
    const std::vector<uint8_t> config = EncodeGameConfig(ChangedConfig());
    EXPECT_EQ(config[0], 0x03);
    EXPECT_EQ(config[1], 0x01);
    EXPECT_EQ(EncodePlayData(FilledPlayData())[0], 0x01);
    EXPECT_EQ(EncodePlayRecord(FilledRecord())[1], 0x01);
}

TEST(GameConfigFiles, OutOfRangeFieldsAreBroughtIntoRange)
{
    tag_TOLQGAMECONFIG bad = ChangedConfig();
    bad.bgmVolume = 500;
    bad.seVolume = -20000;
    bad.keys[0] = 999;
    bad.padElements[3] = 64;
    bad.keyResponse = 0;
    bad.radarType = 9;
    bad.storyDifficulty = 5;
    bad.cameraSensitivity = std::nanf("");
    bad.radioChat[0].phrase = 0x10;
    bad.radioChat[1].scope = 7;
    std::memset(bad.loginId, 'x', sizeof(bad.loginId));
    const std::vector<uint8_t> bytes = EncodeGameConfig(bad);
    tag_TOLQGAMECONFIG read;
    SetDefaultGameConfig(&read);
    EXPECT_EQ(DecodeGameConfig(bytes.data(), bytes.size(), &read), 0);
    EXPECT_EQ(read.bgmVolume, 0);
    EXPECT_EQ(read.seVolume, -10000);
    EXPECT_EQ(read.keys[0], 255u);
    EXPECT_EQ(read.padElements[3], 63u);
    EXPECT_EQ(read.keyResponse, 1);
    EXPECT_EQ(read.radarType, 1);
    EXPECT_EQ(read.storyDifficulty, 4);
    EXPECT_EQ(read.cameraSensitivity, 1.0f);
    EXPECT_EQ(read.radioChat[0].phrase, 0x38);
    EXPECT_EQ(read.radioChat[1].scope, 1);
    EXPECT_EQ(std::strlen(read.loginId), 32u);
}

TEST(GameConfigFiles, EveryTruncationKeepsDefaultsForTheRest)
{
    const std::vector<uint8_t> config = EncodeGameConfig(ChangedConfig());
    tag_TOLQGAMECONFIG defaults;
    SetDefaultGameConfig(&defaults);
    for (size_t length = 0; length < config.size(); ++length)
    {
        tag_TOLQGAMECONFIG read;
        SetDefaultGameConfig(&read);
        EXPECT_EQ(DecodeGameConfig(config.data(), length, &read), 0) << length;
        // The last field is never read from a cut file.
        EXPECT_EQ(read.openingMovie, defaults.openingMovie) << length;
    }
    const std::vector<uint8_t> play = EncodePlayData(FilledPlayData());
    for (size_t length = 0; length < play.size(); ++length)
    {
        tag_TOLQPLAYDATA read;
        EXPECT_EQ(DecodePlayData(play.data(), length, &read), 0) << length;
        EXPECT_TRUE(read.characters.empty()) << length;
    }
    const std::vector<uint8_t> record = EncodePlayRecord(FilledRecord());
    for (size_t length = 0; length < record.size(); ++length)
    {
        tag_TOLQPLAYRECORD read = {};
        EXPECT_EQ(DecodePlayRecord(record.data(), length, &read), 0) << length;
        EXPECT_TRUE(read.records.empty()) << length;
    }
}

TEST(GameConfigFiles, LyingCountsAndFutureVersionsAreRefused)
{
    std::vector<uint8_t> play = EncodePlayData(FilledPlayData());
    play[6] = 200;  // character count far past the bytes
    tag_TOLQPLAYDATA read;
    EXPECT_EQ(DecodePlayData(play.data(), play.size(), &read), 0);
    EXPECT_TRUE(read.characters.empty());

    std::vector<uint8_t> config = EncodeGameConfig(ChangedConfig());
    config[0] = 0x04;
    tag_TOLQGAMECONFIG readConfig;
    SetDefaultGameConfig(&readConfig);
    EXPECT_EQ(DecodeGameConfig(config.data(), config.size(), &readConfig), 0);
    EXPECT_EQ(readConfig.lobbyPort, kDefaultLobbyPort);

    std::vector<uint8_t> longer = EncodeGameConfig(ChangedConfig());
    longer.push_back(0);
    SetDefaultGameConfig(&readConfig);
    EXPECT_EQ(DecodeGameConfig(longer.data(), longer.size(), &readConfig), 0);
    EXPECT_EQ(readConfig.lobbyPort, 5000);
}

TEST(GameConfigFiles, PointsAreCappedInTheFile)
{
    tag_TOLQPLAYDATA data = FilledPlayData();
    data.points = 250000;
    const std::vector<uint8_t> bytes = EncodePlayData(data);
    tag_TOLQPLAYDATA read;
    ASSERT_EQ(DecodePlayData(bytes.data(), bytes.size(), &read), 1);
    EXPECT_EQ(read.points, 99999u);
}

TEST(CGameConfigTest, FirstStartHasDefaultsAndSavesAllThree)
{
    TempFolder temp;
    CGameConfig config;
    ASSERT_EQ(config.LoadFrom(Folder(temp).c_str()), 1);
    EXPECT_TRUE(config.GetLoadProblem().empty());
    EXPECT_EQ(config.GetData()->keys[4], 0x11u);  // W
    EXPECT_EQ(config.GetData()->keyResponse, 2);
    EXPECT_EQ(config.GetData()->replayCount, 10);
    ASSERT_EQ(config.SaveAll(), 1);
    for (const char* name : {"GameConfig.dat", "PlayData.dat", "PlayRecord.dat"})
        EXPECT_TRUE(std::filesystem::exists(temp.Path() / name)) << name;

    config.GetData()->bgmVolume = -777;
    config.GetPlayData()->characters.resize(2);
    config.GetCharacterData(1)->storyClear[0] = 2;
    config.GetCharacterData(0)->storyClear[4] = 1;
    ASSERT_EQ(config.SaveAll(), 1);
    CGameConfig again;
    ASSERT_EQ(again.LoadFrom(Folder(temp).c_str()), 1);
    EXPECT_EQ(again.GetData()->bgmVolume, -777);
    EXPECT_EQ(again.GetStoryClearCount(), 3u);
    EXPECT_EQ(again.GetCharacterData(2), nullptr);
}

TEST(CGameConfigTest, CorruptFileIsReportedAndLeftUntilSaved)
{
    TempFolder temp;
    const std::string cut = "\x03\x01\x10";
    TempFolder::Write(temp.Path() / "GameConfig.dat", cut);
    CGameConfig config;
    ASSERT_EQ(config.LoadFrom(Folder(temp).c_str()), 1);
    EXPECT_NE(config.GetLoadProblem().find("GameConfig.dat"), std::string::npos);
    EXPECT_EQ(config.GetData()->lobbyPort, kDefaultLobbyPort);
    EXPECT_EQ(TempFolder::Read(temp.Path() / "GameConfig.dat"), cut);
    ASSERT_EQ(config.SaveConfig(), 1);
    CGameConfig again;
    ASSERT_EQ(again.LoadFrom(Folder(temp).c_str()), 1);
    EXPECT_TRUE(again.GetLoadProblem().empty());
}

TEST(CGameConfigTest, FailedWriteLeavesTheOldFile)
{
    TempFolder temp;
    CGameConfig config;
    ASSERT_EQ(config.LoadFrom(Folder(temp).c_str()), 1);
    ASSERT_EQ(config.SaveConfig(), 1);
    const std::string before = TempFolder::Read(temp.Path() / "GameConfig.dat");

    // A file-size limit makes the write fail for real, even for root.
    config.GetData()->radioChat.resize(kMaxCharacters * kRadioChatsPerCharacter);
    rlimit previous = {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int saved = config.SaveConfig();
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);

    EXPECT_EQ(saved, 0);
    EXPECT_EQ(TempFolder::Read(temp.Path() / "GameConfig.dat"), before);
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(temp.Path()))
    {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u);  // no temporary file left behind
}

TEST(CGameConfigTest, UnlocksFollowBattlesAndWins)
{
    TempFolder temp;
    CGameConfig config;
    ASSERT_EQ(config.LoadFrom(Folder(temp).c_str()), 1);
    config.GetRecord()->records.resize(1);
    config.GetRecord()->records[0].offline[0] = 5;  // battles
    config.GetRecord()->records[0].network[1] = 2;  // solo wins
    config.SetUnlockRules({{0, 0}, {1, 5}, {1, 6}, {2, 2}, {2, 3}}, {{1, 1}});
    config.GetPlayData()->weapons.resize(1);
    config.GetPlayData()->weapons[0].reserved = 9;  // touched before: left alone
    ASSERT_EQ(config.UpdateUnlocks(), 1);
    const std::vector<tag_TOLQUNLOCKDATA>& weapons = config.GetPlayData()->weapons;
    ASSERT_EQ(weapons.size(), 5u);
    EXPECT_EQ(weapons[0].unlocked, 0u);
    EXPECT_EQ(weapons[1].unlocked, 1u);
    EXPECT_EQ(weapons[2].unlocked, 0u);
    EXPECT_EQ(weapons[3].unlocked, 1u);
    EXPECT_EQ(weapons[4].unlocked, 0u);
    EXPECT_EQ(config.GetPlayData()->clothes[0].unlocked, 1u);
}

TEST(SaveFolderTest, DataHomeThenProductFolders)
{
    TempFolder temp;
    const std::string home = temp.Path().string();
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const std::string keptData = oldData != nullptr ? oldData : "";
    const char* oldHome = std::getenv("HOME");
    const std::string keptHome = oldHome != nullptr ? oldHome : "";

    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    char folder[512];
    ASSERT_EQ(GetSaveFolder(folder, "QOR", sizeof(folder)), 1);
    EXPECT_EQ(std::string(folder), home + "/data/CorvaneSystem/QOR/");
    EXPECT_TRUE(std::filesystem::is_directory(home + "/data/CorvaneSystem/QOR"));

    unsetenv("XDG_DATA_HOME");
    setenv("HOME", home.c_str(), 1);
    ASSERT_EQ(GetSaveFolder(folder, "QOR", sizeof(folder)), 1);
    EXPECT_EQ(std::string(folder), home + "/.local/share/CorvaneSystem/QOR/");
    EXPECT_EQ(GetSaveFolder(folder, "QOR", 8), 0);
    EXPECT_EQ(GetSaveFolder(nullptr, "QOR", 512), 0);

    // No home: no folder, and nothing written into the current folder.
    unsetenv("HOME");
    EXPECT_EQ(GetSaveFolder(folder, "QOR", sizeof(folder)), 0);
    CGameConfig config;
    EXPECT_EQ(config.Load(), 0);
    EXPECT_FALSE(config.GetLoadProblem().empty());
    EXPECT_EQ(config.SaveConfig(), 0);
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "GameConfig.dat"));

    if (oldData != nullptr)
        setenv("XDG_DATA_HOME", keptData.c_str(), 1);
    if (oldHome != nullptr)
        setenv("HOME", keptHome.c_str(), 1);
}
