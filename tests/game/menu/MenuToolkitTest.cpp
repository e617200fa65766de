// The menu toolkit without a device: layout rules and the mouse mapping,
// anchors, fades, keys from the pad record, buttons frame by frame, and
// what a frame records.
#include "engine/platform/input/tag_KVRPADSTATE.h"
#include "engine/render/CTexture.h"
#include "game/menu/CMenuFrame.h"
#include "game/menu/CMenuLayout.h"
#include "game/menu/MenuAnchor.h"
#include "game/menu/MenuButton.h"
#include "game/menu/MenuColors.h"
#include "game/menu/MenuFade.h"
#include "game/menu/MenuKeys.h"
#include "game/menu/MenuTransitions.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
class SoundLog : public IMenuSounds
{
public:
    void PlayMenuSound(MenuSound sound) override { played.push_back(sound); }
    std::vector<MenuSound> played;
};

// A frame whose mouse has just moved to a layout point, with the left
// button as given.
CMenuFrame FrameWithMouse(MenuPoint cursor, bool pressed, bool held)
{
    CMenuFrame frame;
    MenuKeys keys;
    keys.SetCursor({cursor.x + 1.0f, cursor.y});
    frame.Begin(CMenuLayout(640, 480, MenuScaleRule::Menu4x3), keys, nullptr);
    keys.SetCursor(cursor);
    keys.SetPressed(MenuKey::Click, pressed);
    keys.SetHeld(MenuKey::Click, held);
    frame.Begin(CMenuLayout(640, 480, MenuScaleRule::Menu4x3), keys, nullptr);
    return frame;
}
}

TEST(MenuLayout, TheMenuRuleScalesByHeightOverTheFourByThreeArea)
{
    const CMenuLayout wide(1280, 720, MenuScaleRule::Menu4x3);
    EXPECT_FLOAT_EQ(wide.Scale(), 720.0f / 768.0f);
    EXPECT_FLOAT_EQ(wide.PixelWidth(), 960.0f);
    EXPECT_FLOAT_EQ(wide.Area().right, 1024.0f);
    EXPECT_FLOAT_EQ(wide.Area().bottom, 768.0f);
    const CMenuLayout small(640, 480, MenuScaleRule::Menu4x3);
    const MenuRect pixels = small.ToPixels(MenuRect{.left = 512, .top = 384, .right = 1024, .bottom = 768});
    EXPECT_FLOAT_EQ(pixels.left, 320.0f);
    EXPECT_FLOAT_EQ(pixels.top, 240.0f);
    EXPECT_FLOAT_EQ(pixels.right, 640.0f);
    EXPECT_FLOAT_EQ(pixels.bottom, 480.0f);
}

TEST(MenuLayout, TheLobbyRuleTakesTheSmallerRatio)
{
    EXPECT_FLOAT_EQ(CMenuLayout(1280, 720, MenuScaleRule::Lobby).Scale(), 720.0f / 768.0f);
    EXPECT_FLOAT_EQ(CMenuLayout(800, 1000, MenuScaleRule::Lobby).Scale(), 800.0f / 1024.0f);
    // The menu rule follows the height even on a tall window.
    EXPECT_FLOAT_EQ(CMenuLayout(800, 1000, MenuScaleRule::Menu4x3).Scale(), 1000.0f / 768.0f);
}

TEST(MenuLayout, TheMouseMapsThroughTheViewportOriginBothWays)
{
    // A 1280 x 720 window draws its 4:3 area 160 pixels in.
    const CMenuLayout layout(1280, 720, MenuScaleRule::Menu4x3, MenuPoint{160.0f, 0.0f});
    const MenuPoint centre = layout.CursorToLayout({640.0f, 360.0f});
    EXPECT_FLOAT_EQ(centre.x, 512.0f);
    EXPECT_FLOAT_EQ(centre.y, 384.0f);
    const MenuPoint back = layout.LayoutToCursor(centre);
    EXPECT_FLOAT_EQ(back.x, 640.0f);
    EXPECT_FLOAT_EQ(back.y, 360.0f);
}

TEST(MenuLayout, TheScreenRuleSpansTheWindowFromItsCornerWhateverTheViewport)
{
    // A 1280 x 720 window whose camera draws its 4:3 area 160 pixels in.
    const CMenuLayout layout(1280, 720, MenuScaleRule::Screen, MenuPoint{160.0f, 0.0f});
    const float s = 720.0f / 768.0f;
    EXPECT_FLOAT_EQ(layout.Scale(), s);
    EXPECT_FLOAT_EQ(layout.Area().right, 1280.0f / s);
    EXPECT_FLOAT_EQ(layout.Area().bottom, 768.0f);
    // The 1024-unit area stands (1280 - 960) / 2 pixels in.
    EXPECT_FLOAT_EQ(layout.Margin4x3(), 160.0f / s);
    EXPECT_FLOAT_EQ(CMenuLayout(1024, 768, MenuScaleRule::Menu4x3).Margin4x3(), 0.0f);
    // The window's corner is drawn at minus the viewport origin, since
    // every 2D draw adds it back.
    const MenuPoint corner = layout.ToPixels(MenuPoint{0.0f, 0.0f});
    EXPECT_FLOAT_EQ(corner.x, -160.0f);
    EXPECT_FLOAT_EQ(corner.y, 0.0f);
    const MenuPoint mouse = layout.CursorToLayout({640.0f, 360.0f});
    EXPECT_FLOAT_EQ(mouse.x, 640.0f / s);
    EXPECT_FLOAT_EQ(mouse.y, 384.0f);
    // A point the camera projects to the viewport's middle is the window's.
    const MenuPoint projected = layout.ViewportToLayout({480.0f, 360.0f});
    EXPECT_FLOAT_EQ(projected.x, 640.0f / s);
    EXPECT_FLOAT_EQ(layout.LayoutToCursor(projected).x, 640.0f);
}

TEST(MenuRect, HitTestsIncludeEveryEdge)
{
    const MenuRect rect{.left = 10, .top = 20, .right = 30, .bottom = 40};
    EXPECT_TRUE(rect.Contains({10, 20}));
    EXPECT_TRUE(rect.Contains({30, 40}));
    EXPECT_FALSE(rect.Contains({30.01f, 40}));
    EXPECT_FALSE(rect.Contains({10, 19.99f}));
    const MenuCell cell{.left = 100, .top = 200, .right = 148, .bottom = 236};
    const MenuRect placed = cell.PlacedAt(492, 128);
    EXPECT_FLOAT_EQ(placed.right, 540.0f);
    EXPECT_FLOAT_EQ(placed.bottom, 164.0f);
}

TEST(MenuAnchor, PlacesChildrenRelativeToTheirParent)
{
    const MenuRect panel{.left = 100, .top = 100, .right = 300, .bottom = 200};
    const MenuRect centred = PlaceRect(panel, MenuAnchor::Centre, {}, 40, 20);
    EXPECT_FLOAT_EQ(centred.left, 180.0f);
    EXPECT_FLOAT_EQ(centred.top, 140.0f);
    const MenuRect corner = PlaceRect(panel, MenuAnchor::BottomRight, {-4, -4}, 40, 20);
    EXPECT_FLOAT_EQ(corner.right, 296.0f);
    EXPECT_FLOAT_EQ(corner.bottom, 196.0f);
    // Moving the panel moves what is anchored to it.
    const MenuRect moved = PlaceRect(panel.Offset(50, 0), MenuAnchor::Centre, {}, 40, 20);
    EXPECT_FLOAT_EQ(moved.left, 230.0f);
    EXPECT_EQ(ToDrawAnchor(MenuAnchor::TopLeft), KVRDRAWANCHOR_DEFAULT);
    EXPECT_EQ(ToDrawAnchor(MenuAnchor::Centre), KVRDRAWANCHOR_HCENTER | KVRDRAWANCHOR_VCENTER);
    EXPECT_EQ(ToDrawAnchor(MenuAnchor::BottomRight), KVRDRAWANCHOR_RIGHT | KVRDRAWANCHOR_BOTTOM);
}

TEST(MenuFade, MovesAtItsRateAndStopsOnTheTarget)
{
    MenuFade fade(0.0f, 1.0f);
    EXPECT_FALSE(fade.Step(250));
    EXPECT_FLOAT_EQ(fade.Level(), 0.5f);
    EXPECT_TRUE(fade.Step(300));
    EXPECT_FLOAT_EQ(fade.Level(), 1.0f);
    fade.SetTarget(0.0f);
    fade.Step(100);
    EXPECT_NEAR(fade.Level(), 0.8f, 1e-6);
    fade.RaiseTo(0.9f);
    EXPECT_FLOAT_EQ(fade.Level(), 0.9f);
    fade.RaiseTo(0.1f);
    EXPECT_FLOAT_EQ(fade.Level(), 0.9f);
    // The steps that leave an end, pass one half or arrive at an end are
    // marked (tests draw those frames); the steps between, or at rest, not.
    MenuFade marked(1.0f, 0.0f);
    std::vector<uint32_t> marks;
    for (int step = 0; step < 6; ++step)
    {
        const uint32_t before = MenuTransitions::MarksPassed();
        marked.Step(120);
        marks.push_back(MenuTransitions::MarksPassed() - before);
    }
    EXPECT_EQ(marks, (std::vector<uint32_t>{1, 0, 1, 0, 1, 0}));
    // A clock's transition from 300 over 1000 ms, in 240 ms steps from 100:
    // it leaves its start in the first step, passes 800 in the third and
    // arrives in the fifth; a clock at rest marks nothing.
    marks.clear();
    for (uint32_t clock = 100; clock < 1540; clock += 240)
    {
        const uint32_t before = MenuTransitions::MarksPassed();
        MenuTransitions::MovedThrough(clock, clock + 240, 300, 1000);
        MenuTransitions::MovedThrough(clock, clock, 300, 1000);
        marks.push_back(MenuTransitions::MarksPassed() - before);
    }
    EXPECT_EQ(marks, (std::vector<uint32_t>{1, 0, 1, 0, 1, 0}));
}

TEST(MenuColors, RolesCarryTheAlphaTruncated)
{
    EXPECT_EQ(MenuColor(MenuRole::Focused, 1.0f), 0xFFFFFFFFu);
    EXPECT_EQ(MenuColor(MenuRole::Dimmed, 1.0f), 0xFF888888u);
    EXPECT_EQ(MenuColor(MenuRole::Unfocused, 0.5f), 0x7FB4B4B4u);
    EXPECT_EQ(MenuAlpha(-0.5f), 0u);
    EXPECT_EQ(MenuAlpha(2.0f), 255u);
}

TEST(MenuKeys, ComeFromThePadRecordPressedAndHeldApart)
{
    tag_KVRPADSTATE pad{};
    pad.pressed.button[22] = 1; // decide, this frame
    pad.held.button[22] = 1;
    pad.held.button[11] = 1;    // right, held from before
    pad.pressed.button[13] = 1; // the movement stick down
    const CMenuLayout layout(640, 480, MenuScaleRule::Menu4x3);
    const MenuKeys keys = MenuKeys::FromPad(&pad, layout, {320.0f, 240.0f});
    EXPECT_TRUE(keys.Pressed(MenuKey::Decide));
    EXPECT_TRUE(keys.Held(MenuKey::Right));
    EXPECT_FALSE(keys.Pressed(MenuKey::Right));
    EXPECT_TRUE(keys.AnyPressed(kPageForwardKeys));
    EXPECT_FALSE(keys.AnyPressed(kPageBackKeys));
    EXPECT_EQ(MenuCursorStep(keys), 1);
    EXPECT_FLOAT_EQ(keys.Cursor().x, 512.0f);
    EXPECT_FLOAT_EQ(keys.Cursor().y, 384.0f);
}

TEST(MenuButton, AnswersEachRowOfItsFrameTable)
{
    const MenuRect rect{.left = 100, .top = 100, .right = 200, .bottom = 150};
    struct Row
    {
        MenuPoint cursor;
        bool pressed;
        bool held;
        bool focused;
        MenuItemState state;
        bool hovered;
        bool clicked;
        bool heldAnswer;
    };
    const Row rows[] = {
        {{50, 50}, true, true, false, MenuItemState::Normal, false, false, false},
        {{50, 50}, false, false, true, MenuItemState::Focused, false, false, false},
        {{150, 125}, false, false, false, MenuItemState::Focused, true, false, false},
        {{200, 150}, true, true, false, MenuItemState::Pressed, true, true, false},
        {{150, 125}, false, true, false, MenuItemState::Focused, true, false, true},
    };
    for (const Row& row : rows)
    {
        CMenuFrame frame = FrameWithMouse(row.cursor, row.pressed, row.held);
        const MenuButtonResult result = MenuButton(frame, 7, rect, row.focused, "Seven");
        EXPECT_EQ(result.hovered, row.hovered);
        EXPECT_EQ(result.clicked, row.clicked);
        EXPECT_EQ(result.held, row.heldAnswer);
        ASSERT_NE(frame.FindItem(7), nullptr);
        EXPECT_EQ(frame.FindItem(7)->state, row.state);
        EXPECT_EQ(frame.FindItem(7)->label, "Seven");
    }
}

TEST(MenuFrame, ADialogLocksWhatLiesUnderIt)
{
    CMenuFrame frame = FrameWithMouse({150, 125}, true, true);
    const MenuRect under{.left = 100, .top = 100, .right = 200, .bottom = 150};
    frame.Lock();
    const MenuButtonResult locked = MenuButton(frame, 1, under, false);
    EXPECT_FALSE(locked.clicked);
    EXPECT_EQ(frame.FindItem(1)->state, MenuItemState::Disabled);
    frame.Unlock();
    EXPECT_TRUE(MenuButton(frame, 2, under, false).clicked);
}

TEST(MenuFrame, SoundsReachThePlayerAndStayListed)
{
    SoundLog log;
    CMenuFrame frame;
    frame.Begin(CMenuLayout(), MenuKeys(), &log);
    frame.Play(MenuSound::Cursor);
    frame.Play(MenuSound::Error);
    ASSERT_EQ(log.played.size(), 2u);
    EXPECT_EQ(frame.Sounds(), log.played);
    frame.Begin(CMenuLayout(), MenuKeys(), &log);
    EXPECT_TRUE(frame.Sounds().empty());
}
