// The loading screen: frames are drawn while the loading thread runs, its
// bar follows the count of loaded entries, and it is full once everything
// is in.
#include "tests/game/scene/SceneFiles.h"

#include <gtest/gtest.h>

using game_test::GameHarness;

namespace
{
// The bar's white fill in pixels along its middle row, at 640 x 480 (the
// bar spans layout x 258 to 766 at y 688).
int FilledPixels(GameHarness& game)
{
    int filled = 0;
    for (float x = 258.0f; x < 766.0f; x += 1.6f)
        filled += (game.LayoutPixel({x, 688.0f}) & 0xFFFFFF) == 0xFFFFFF ? 1 : 0;
    return filled;
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
        const int filled = FilledPixels(game);
        controller.GetLoadingLock().Unlock();
        partlyFilled += filled > 0 && filled < 300 ? 1 : 0;
    }
    ASSERT_EQ(controller.GetLoadingState(), CController::LoadingState::WaitingForKey);
    EXPECT_GT(framesWhileLoading, 0u);
    EXPECT_GT(partlyFilled, 0);
    EXPECT_EQ(controller.GetLoadedEntries(), controller.GetTotalEntries());
    game.Step(2);
    EXPECT_GE(FilledPixels(game), 315);
}
