// A menu frame tells a pointer that moved from one that rests, and hands
// the lead between the pointer and the keys.
#include "game/menu/CMenuFrame.h"
#include "game/menu/MenuButton.h"

#include <gtest/gtest.h>

namespace
{
MenuKeys PointerAt(float x, float y, bool click = false)
{
    MenuKeys keys;
    keys.SetCursor({x, y});
    keys.SetPressed(MenuKey::Click, click);
    keys.SetHeld(MenuKey::Click, click);
    return keys;
}

MenuKeys KeyWithPointerAt(MenuKey key, float x, float y)
{
    MenuKeys keys = PointerAt(x, y);
    keys.SetPressed(key, true);
    keys.SetHeld(key, true);
    return keys;
}

const CMenuLayout kLayout(1024, 768, MenuScaleRule::Menu4x3);
const MenuRect kItem{.left = 50, .top = 50, .right = 150, .bottom = 150};
}

TEST(MenuFramePointer, MovedOnlyWhenThePointerStandsElsewhereThanAtTheLastUpdate)
{
    CMenuFrame frame;
    frame.Begin(kLayout, PointerAt(100.0f, 100.0f), nullptr);
    EXPECT_FALSE(frame.PointerMoved()) << "the first update has nothing to compare";
    frame.Begin(kLayout, PointerAt(100.0f, 100.0f), nullptr);
    EXPECT_FALSE(frame.PointerMoved());
    frame.Begin(kLayout, PointerAt(100.0f, 101.0f), nullptr);
    EXPECT_TRUE(frame.PointerMoved());
}

TEST(MenuFramePointer, AListFollowsAPointerThatMovesOntoAnItemOrClicksItButNotOneThatRests)
{
    CMenuFrame frame;
    frame.Begin(kLayout, PointerAt(100.0f, 100.0f), nullptr);
    frame.Begin(kLayout, PointerAt(100.0f, 100.0f), nullptr);
    EXPECT_FALSE(MenuButton(frame, 1, kItem, false).hovered) << "it has rested there from the start";
    frame.Begin(kLayout, PointerAt(100.0f, 100.0f, true), nullptr);
    EXPECT_TRUE(MenuButton(frame, 1, kItem, false).hovered);
    frame.Begin(kLayout, PointerAt(120.0f, 100.0f), nullptr);
    EXPECT_TRUE(MenuButton(frame, 1, kItem, false).hovered);
    frame.Begin(kLayout, PointerAt(300.0f, 100.0f), nullptr);
    EXPECT_FALSE(MenuButton(frame, 1, kItem, false).hovered);
}

TEST(MenuFramePointer, ADirectionKeyTakesTheLeadUntilThePointerMovesAgain)
{
    CMenuFrame frame;
    frame.Begin(kLayout, PointerAt(300.0f, 300.0f), nullptr);
    frame.Begin(kLayout, PointerAt(100.0f, 100.0f), nullptr);
    ASSERT_TRUE(frame.PointerLeads());
    for (MenuKey key : {MenuKey::Up, MenuKey::Down, MenuKey::Left, MenuKey::Right, MenuKey::MoveUp, MenuKey::MoveDown,
                        MenuKey::MoveLeft, MenuKey::MoveRight})
    {
        frame.Begin(kLayout, PointerAt(101.0f, 100.0f), nullptr);
        ASSERT_TRUE(frame.PointerLeads());
        // The key wins in the frame the pointer also moves.
        frame.Begin(kLayout, KeyWithPointerAt(key, 100.0f, 100.0f), nullptr);
        EXPECT_FALSE(frame.PointerLeads());
        frame.Begin(kLayout, PointerAt(100.0f, 100.0f), nullptr);
        EXPECT_FALSE(frame.HitTest(kItem)) << "a pointer resting on the item points at nothing";
        MenuKeys decide = PointerAt(100.0f, 100.0f);
        decide.SetPressed(MenuKey::Decide, true);
        frame.Begin(kLayout, decide, nullptr);
        EXPECT_FALSE(MenuButton(frame, 1, kItem, false).hovered) << "decide leaves the lead where it was";
    }
    // Neither the camera keys nor decide take the lead from the pointer.
    frame.Begin(kLayout, PointerAt(120.0f, 100.0f), nullptr);
    frame.Begin(kLayout, KeyWithPointerAt(MenuKey::CameraUp, 120.0f, 100.0f), nullptr);
    EXPECT_TRUE(frame.HitTest(kItem));
    frame.KeysLead();
    EXPECT_FALSE(frame.HitTest(kItem)) << "a new page starts with the keys";
    frame.Begin(kLayout, PointerAt(120.0f, 100.0f, true), nullptr);
    EXPECT_TRUE(MenuButton(frame, 1, kItem, false).clicked) << "a click is the pointer's at once";
}

TEST(MenuFramePointer, ThePointerArrivingWhereTheScreenPutItIsNotThePlayersMove)
{
    // 640 x 480: a window pixel is 1.6 layout units.
    const CMenuLayout small(640, 480, MenuScaleRule::Menu4x3);
    CMenuFrame frame;
    frame.Begin(small, PointerAt(400.0f, 400.0f), nullptr);
    frame.Begin(small, KeyWithPointerAt(MenuKey::Down, 400.0f, 400.0f), nullptr);
    frame.PointerWarped({100.0f, 100.0f});
    // The window system moves it a frame later, to the nearest pixel.
    frame.Begin(small, PointerAt(400.0f, 400.0f), nullptr);
    frame.Begin(small, PointerAt(101.6f, 100.0f), nullptr);
    EXPECT_FALSE(frame.PointerMoved());
    EXPECT_FALSE(frame.HitTest(kItem)) << "the keys still lead where they put the pointer";
    frame.Begin(small, PointerAt(104.8f, 100.0f), nullptr);
    EXPECT_TRUE(frame.PointerMoved()) << "the player's own move once the pointer had arrived";
    EXPECT_TRUE(frame.HitTest(kItem));
    // A warp the window never carries out is forgotten: a later move onto
    // that very point is the player's.
    frame.Begin(small, KeyWithPointerAt(MenuKey::Up, 300.0f, 300.0f), nullptr);
    frame.PointerWarped({100.0f, 100.0f});
    for (int update = 0; update < 12; ++update)
        frame.Begin(small, PointerAt(300.0f, 300.0f), nullptr);
    frame.Begin(small, PointerAt(100.0f, 100.0f), nullptr);
    EXPECT_TRUE(frame.PointerLeads());
}
