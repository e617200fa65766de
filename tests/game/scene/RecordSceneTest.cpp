// The record pages: the figures in 64 bits, the play time, paging over
// records built here and leaving at either end, the pictures from the pack,
// and the pages' pixels.
#include "tests/game/scene/SceneFiles.h"

#include "game/app/CGameConfig.h"
#include "game/app/GameConfigFormat.h"
#include "game/scene/CRecordScene.h"
#include "game/scene/CTitleScene.h"
#include "game/scene/SceneFactory.h"

#include <gtest/gtest.h>

#include <filesystem>

using game_test::GameHarness;
using scene_test::SceneFiles;
using Half = CRecordScene::RecordHalf;
using State = CRecordScene::RecordState;

namespace
{
tag_TOLQBATTLERECORD Record(uint32_t soloWins, uint32_t soloLosses, uint32_t teamWins, uint32_t teamLosses)
{
    tag_TOLQBATTLERECORD record;
    record.offline[CRecordScene::FIELD_SOLO_WINS] = soloWins;
    record.offline[CRecordScene::FIELD_SOLO_LOSSES] = soloLosses;
    record.offline[CRecordScene::FIELD_TEAM_WINS] = teamWins;
    record.offline[CRecordScene::FIELD_TEAM_LOSSES] = teamLosses;
    return record;
}

// The pictures' pack the build wrote into the stand-in set, linked into
// the test's data folder (the current one): the same pack, not encoded
// again for every test.
bool LinkRecordPack()
{
    std::error_code error;
    std::filesystem::create_directories("Data", error);
    std::filesystem::create_symlink(std::filesystem::path(KVR_STAND_IN_SET) / "Data" / "RecordData.gpk",
                                    std::filesystem::path("Data") / "RecordData.gpk", error);
    return !error;
}

class RecordScene : public ::testing::Test
{
protected:
    // The game with these records (one per character) and, unless told
    // otherwise, the pictures' pack.
    void Open(const CRecordScene::Records& records, bool pack = true, int32_t width = 640, int32_t height = 480)
    {
        tag_TOLQPLAYRECORD record;
        record.playerRank = 7;
        record.totalPlayTime = 3723000;
        record.records = records;
        const std::vector<uint8_t> bytes = EncodePlayRecord(record);
        m_game = std::make_unique<GameHarness>(width, height, SceneFiles(), &CreateGameScene, nullptr, [&] {
            TempFolder::Write("home/CorvaneSystem/QOR/PlayRecord.dat", std::string(bytes.begin(), bytes.end()));
            return !pack || LinkRecordPack();
        });
        ASSERT_TRUE(m_game->Ready());
        ASSERT_TRUE(m_game->Start());
        m_initResult = m_game->Controller().ChangeScene(CController::SCENE_RECORD, 0, 1.0f, 0);
        ASSERT_NE(Records(), nullptr);
        ASSERT_TRUE(m_game->StepUntil([&] { return Records()->GetState() == State::Input; }, 60));
    }
    void TearDown() override { m_game.reset(); }

    CRecordScene* Records() { return dynamic_cast<CRecordScene*>(m_game->Controller().GetScene()); }
    CTitleScene* Title() { return dynamic_cast<CTitleScene*>(m_game->Controller().GetScene()); }
    void Page(uint8_t key)
    {
        m_game->Tap(key);
        ASSERT_TRUE(m_game->StepUntil(
            [&] {
                return Records() == nullptr || Records()->GetState() == State::Input ||
                       Records()->GetState() == State::FadeOut;
            },
            40));
    }

    std::unique_ptr<GameHarness> m_game;
    int m_initResult = 0;
};
}

TEST(RecordFigures, RatesTruncateAndShowZeroWhereNothingWasTried)
{
    const CRecordScene::Records none(3);
    EXPECT_EQ(CRecordScene::GetWinRate(none, Half::Offline), 0u);
    EXPECT_EQ(CRecordScene::GetHitRate(none, Half::Network, true), 0u);
    const CRecordScene::Records some = {Record(2, 1, 1, 0)};
    EXPECT_EQ(CRecordScene::GetWinRate(some, Half::Offline), 75u);
    EXPECT_EQ(CRecordScene::GetCharacterWinRate(some[0], Half::Offline), 75u);
    EXPECT_EQ(CRecordScene::GetBattleTotal(some, Half::Offline), 4u);
    CRecordScene::Records shots(1);
    shots[0].network[CRecordScene::FIELD_SHOTS] = 3;
    shots[0].network[CRecordScene::FIELD_SHOT_HITS] = 2;
    EXPECT_EQ(CRecordScene::GetHitRate(shots, Half::Network, true), 66u);
    EXPECT_EQ(CRecordScene::GetHitRate(shots, Half::Offline, true), 0u);
}

TEST(RecordFigures, LongRecordsPassThirtyTwoBitsWithoutWrapping)
{
    // 60 million hits of 90 million attacks: hits x 100 passes 2^32.
    CRecordScene::Records records(2);
    for (tag_TOLQBATTLERECORD& record : records)
    {
        record.offline[CRecordScene::FIELD_MELEE_ATTACKS] = 45000000;
        record.offline[CRecordScene::FIELD_MELEE_HITS] = 30000000;
        record.offline[CRecordScene::FIELD_DAMAGE_DEALT] = 4000000000u;
    }
    EXPECT_EQ(CRecordScene::GetHitRate(records, Half::Offline, false), 66u);
    EXPECT_EQ(CRecordScene::SumField(records, Half::Offline, CRecordScene::FIELD_DAMAGE_DEALT), 8000000000ull);
}

TEST(RecordFigures, PlayTimeShowsHoursPlainAndMinutesAndSecondsInTwoDigits)
{
    EXPECT_EQ(CRecordScene::FormatPlayTime(0), "0:00:00");
    EXPECT_EQ(CRecordScene::FormatPlayTime(3723000), "1:02:03");
    EXPECT_EQ(CRecordScene::FormatPlayTime(360000000), "100:00:00");
}

TEST_F(RecordScene, PagesForwardOverEveryCharacterWithItsPictureAndLeavesAfterTheLast)
{
    Open({Record(1, 0, 0, 0), Record(0, 1, 0, 0), Record(3, 1, 0, 0)});
    EXPECT_EQ(m_initResult, 1);
    EXPECT_EQ(Records()->GetPage(), 0u);
    EXPECT_EQ(Records()->GetPicture(), nullptr);
    Page(KEY_Z);
    EXPECT_EQ(Records()->GetPage(), 1u);
    EXPECT_NE(Records()->GetPicture(), nullptr);
    Page(KEY_RIGHT);
    Page(KEY_S);
    EXPECT_EQ(Records()->GetPage(), 3u);
    // Only the page fades: the frame stays at full alpha.
    m_game->Tap(KEY_LEFT);
    m_game->Step(3);
    EXPECT_LT(Records()->GetPageAlpha(), 1.0f);
    EXPECT_FLOAT_EQ(Records()->GetForegroundAlpha(), 1.0f);
    ASSERT_TRUE(m_game->StepUntil([&] { return Records()->GetState() == State::Input; }, 40));
    EXPECT_EQ(Records()->GetPage(), 2u);
    Page(KEY_DOWN);
    Page(KEY_Z);
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 60));
    EXPECT_EQ(Title()->GetFrontItem(), 6u);
    EXPECT_EQ(Title()->GetState(), CTitleScene::TitleState::Menu);
}

TEST_F(RecordScene, BackOnTheTotalsPageLeaves)
{
    Open({Record(1, 0, 0, 0)});
    m_game->Tap(KEY_X);
    EXPECT_EQ(Records()->GetState(), State::FadeOut);
    ASSERT_TRUE(m_game->StepUntil([&] { return Title() != nullptr; }, 60));
    EXPECT_EQ(Title()->GetFrontItem(), 6u);
}

TEST_F(RecordScene, CancelOnACharacterPageTurnsBackAPageAndTheNumberPadPagesTheWayItsKeysPoint)
{
    Open({Record(1, 0, 0, 0), Record(0, 1, 0, 0)});
    Page(KEY_Z);
    Page(KEY_Z);
    ASSERT_EQ(Records()->GetPage(), 2u);
    Page(KEY_X);
    EXPECT_EQ(Records()->GetPage(), 1u) << "cancel turns back, it does not leave";
    EXPECT_EQ(Records()->GetState(), State::Input);
    // Number pad 2 (down) pages on and number pad 8 (up) back, as down and
    // up do.
    Page(KEY_NUMPAD2);
    EXPECT_EQ(Records()->GetPage(), 2u);
    Page(KEY_NUMPAD8);
    EXPECT_EQ(Records()->GetPage(), 1u);
    Page(KEY_X);
    Page(KEY_X);
    EXPECT_EQ(Records()->GetState(), State::FadeOut) << "cancel on the totals page leaves";
}

TEST_F(RecordScene, WithoutThePackTheScenesStartFailsButThePagesStillRead)
{
    Open({Record(1, 0, 0, 0)}, false);
    EXPECT_EQ(m_initResult, 0);
    Page(KEY_Z);
    EXPECT_EQ(Records()->GetPage(), 1u);
    EXPECT_EQ(Records()->GetPicture(), nullptr);
}

TEST_F(RecordScene, TheTotalsPageDrawsStripesAndWhiteFiguresAtBothSizes)
{
    for (const auto& size : {std::pair<int32_t, int32_t>{640, 480}, std::pair<int32_t, int32_t>{1280, 720}})
    {
        m_game.reset();
        Open({Record(3, 1, 0, 0)}, true, size.first, size.second);
        m_game->Step(1);
        // The stripe of the "総勝利数" row darkens the background along its
        // length (an average: the background's motes move); the win rate's
        // figures above it are white.
        auto blue = [&](float y) {
            int sum = 0;
            m_game->CountPixels({.left = 700, .top = y, .right = 990, .bottom = y + 1.6f}, [&](uint32_t rgb) {
                sum += static_cast<int>(rgb & 0xFF);
                return false;
            });
            return sum;
        };
        EXPECT_LT(blue(344.0f), blue(312.0f)) << size.first;
        const int white = m_game->CountPixels({.left = 380, .top = 294, .right = 412, .bottom = 316},
                                              [](uint32_t rgb) { return rgb == 0xFFFFFF; });
        EXPECT_GT(white, 0) << size.first;
    }
}
