// A menu frame tells a pointer that moved from one that rests.
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
}

TEST(MenuFramePointer, MovedOnlyWhenThePointerStandsElsewhereThanAtTheLastUpdate)
{
    CMenuFrame frame;
    frame.Begin(CMenuLayout(1024, 768, MenuScaleRule::Menu4x3), PointerAt(100.0f, 100.0f), nullptr);
    EXPECT_FALSE(frame.PointerMoved()) << "the first update has nothing to compare";
    frame.Begin(CMenuLayout(1024, 768, MenuScaleRule::Menu4x3), PointerAt(100.0f, 100.0f), nullptr);
    EXPECT_FALSE(frame.PointerMoved());
    frame.Begin(CMenuLayout(1024, 768, MenuScaleRule::Menu4x3), PointerAt(100.0f, 101.0f), nullptr);
    EXPECT_TRUE(frame.PointerMoved());
}

TEST(MenuFramePointer, AListFollowsAPointerThatMovesOntoAnItemOrClicksItButNotOneThatRests)
{
    const MenuRect item{.left = 50, .top = 50, .right = 150, .bottom = 150};
    const CMenuLayout layout(1024, 768, MenuScaleRule::Menu4x3);
    CMenuFrame frame;
    frame.Begin(layout, PointerAt(100.0f, 100.0f), nullptr);
    frame.Begin(layout, PointerAt(100.0f, 100.0f), nullptr);
    EXPECT_FALSE(PointerChooses(frame, MenuButton(frame, 1, item, false)));
    frame.Begin(layout, PointerAt(100.0f, 100.0f, true), nullptr);
    EXPECT_TRUE(PointerChooses(frame, MenuButton(frame, 1, item, false)));
    frame.Begin(layout, PointerAt(120.0f, 100.0f), nullptr);
    EXPECT_TRUE(PointerChooses(frame, MenuButton(frame, 1, item, false)));
    frame.Begin(layout, PointerAt(300.0f, 100.0f), nullptr);
    EXPECT_FALSE(PointerChooses(frame, MenuButton(frame, 1, item, false)));
}
