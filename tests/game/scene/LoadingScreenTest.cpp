// The loading screen: frames are drawn while the loading thread runs, its
// bar follows the count of loaded entries, and it is full once everything
// is in.
#include "tests/game/scene/SceneFiles.h"

#include <gtest/gtest.h>

using game_test::GameHarness;

namespace
{
// The share of the bar's middle row that is filled (the bar spans layout x
// 258 to 766 inside its frame).
float FilledShare(GameHarness& game)
{
    const MenuRect row{.left = 258, .top = 687, .right = 766, .bottom = 689};
    const int filled = game.CountPixels(row, [](uint32_t rgb) { return rgb == 0xFFFFFF; });
    const int all = game.CountPixels(row, [](uint32_t) { return true; });
    return all > 0 ? static_cast<float>(filled) / static_cast<float>(all) : 0.0f;
}
}

TEST(LoadingScreen, DrawsItsBarWhileTheThreadLoadsAndFillsItAtTheEnd)
{
    GameHarness game(640, 480, scene_test::SceneFiles());
    ASSERT_TRUE(game.Ready());
    CController& controller = game.Controller();
    uint32_t framesWhileLoading = 0;
    int partlyFilled = 0;
    for (int frame = 0; frame < 4000 && controller.GetLoadingState() == CController::LoadingState::Loading; ++frame)
    {
        game.Step(1);
        if (controller.GetLoadingState() != CController::LoadingState::Loading)
            break;
        ++framesWhileLoading;
        // The context is the loading lock's holder's.
        controller.GetLoadingLock().Lock();
        const float filled = FilledShare(game);
        controller.GetLoadingLock().Unlock();
        partlyFilled += filled > 0.0f && filled < 0.97f ? 1 : 0;
    }
    ASSERT_EQ(controller.GetLoadingState(), CController::LoadingState::WaitingForKey);
    EXPECT_GT(framesWhileLoading, 0u);
    EXPECT_GT(partlyFilled, 0);
    EXPECT_EQ(controller.GetLoadedEntries(), controller.GetTotalEntries());
    game.Step(2);
    EXPECT_GT(FilledShare(game), 0.97f);
}
