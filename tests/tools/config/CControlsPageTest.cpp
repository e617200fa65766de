#include "tests/tools/config/ConfigToolFixture.h"

#include "tools/config/CControlsPage.h"

#include "engine/core/GameText.h"
#include "engine/core/TextEncoding.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/input/KeyCodes.h"

#include <string>

namespace
{
std::string TextOf(DialogWindow* window, int id)
{
    char text[512];
    if (!window->GetControlText(id, text, sizeof(text)))
        return "";
    return ConvertShiftJisToUtf8(text);
}

// The controls page, brought forward in a started tool.
class ControlsPage : public ConfigTool
{
protected:
    CControlsPage* Open()
    {
        m_app = Start();
        if (m_app == nullptr || !ShowPage(m_app, PAGE_CONTROLS))
            return nullptr;
        m_page = static_cast<CControlsPage*>(m_app->GetPage(PAGE_CONTROLS));
        m_window = m_page->GetWindow();
        // Shown first, laid out a little later: until then a row has no place.
        GtkWidget* lastRow = Control(m_window, CControlsPage::ID_NAME + static_cast<int>(kActionCount) - 1);
        if (!RunUntil(m_app, [lastRow] { return gtk_widget_get_allocated_height(lastRow) > 1; }))
            return nullptr;
        return m_page;
    }

    bool SaveAndClose()
    {
        Click(m_app->GetDialog(), DIALOG_ID_OK);
        return RunUntil(m_app, [] { return g_quit; });
    }

    // Pads the test presses; one joystick.
    ScriptedInputSource& UseScriptedPads()
    {
        m_pads.SetJoystickCount(1);
        CConfigMain::SetInputSource(&m_pads);
        return m_pads;
    }

    // Outlives the tool, which the fixture deletes on tear-down.
    ScriptedInputSource m_pads;
    CConfigMain* m_app = nullptr;
    CControlsPage* m_page = nullptr;
    DialogWindow* m_window = nullptr;
};
}

TEST_F(ControlsPage, RowsAreNamedByWhatTheActionsDoInActionOrder)
{
    ASSERT_NE(Open(), nullptr);
    const char* const expected[kActionCount] = {
        "武器切り替え上", "武器切り替え下", "使用しない", "使用しない", "移動上", "移動下", "移動左", "移動右",
        "カメラ正面", "カメラ上", "カメラ下", "カメラ左", "カメラ右", "視点切り替え", "ジャンプ/決定",
        "アイテム/キャンセル", "攻撃", "エレメンタルアタック", "エレメンタルトリガー", "カバーアクション",
        "ロックオン", "構え", "参加者リスト", "メニュー"};
    GtkAllocation previous{};
    for (uint32_t action = 0; action < kActionCount; ++action)
    {
        const int id = static_cast<int>(action);
        EXPECT_EQ(TextOf(m_window, CControlsPage::ID_NAME + id), expected[action]);
        // The pad element is the hint; the rows run down the first column,
        // then down the second.
        EXPECT_EQ(TextOf(m_window, CControlsPage::ID_HINT + id).rfind(CInput::GetPadElementName(action), 0), 0u);
        GtkAllocation row;
        gtk_widget_get_allocation(Control(m_window, CControlsPage::ID_NAME + id), &row);
        if (action % 12 != 0)
        {
            EXPECT_EQ(row.x, previous.x);
            EXPECT_GT(row.y, previous.y);
        }
        else if (action > 0)
        {
            EXPECT_GT(row.x, previous.x);
        }
        previous = row;
    }
    // Two actions are unused in battle; the hint says what they do.
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_HINT + 2), "DP_LEFT, menus: left");
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_HEADINGS), "Action");
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_HEADINGS + 1), "Key");
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_HEADINGS + 2), "Pad button");
}

TEST_F(ControlsPage, AKeyThatAnotherActionHasIsSwappedAndTheUserIsTold)
{
    ASSERT_NE(Open(), nullptr);
    // "攻撃" (action 16, C) is given Z, the key of "ジャンプ/決定" (action 14).
    Click(m_window, CControlsPage::ID_KEY + 16);
    ASSERT_TRUE(RunUntil(m_app, [&] { return m_page->GetWaitingKey() == 16; }));
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_KEY + 16), "Press a key");
    EXPECT_NE(TextOf(m_window, CControlsPage::ID_STATUS).find("Escape"), std::string::npos);
    ASSERT_TRUE(PressKey(m_app->GetDialog(), "z"));
    ASSERT_TRUE(RunUntil(m_app, [&] { return m_page->GetWaitingKey() < 0; }));
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_KEY + 16), "Z");
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_KEY + 14), "C");
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_STATUS),
              "Z was the key of \"ジャンプ/決定\", which now has C instead.");
    EXPECT_TRUE(SaveScreenshot(m_app->GetDialog(), Artefact("ConfigControlsSwapped.png")));

    // Escape while waiting keeps the key.
    Click(m_window, CControlsPage::ID_KEY + 4);
    ASSERT_TRUE(RunUntil(m_app, [&] { return m_page->GetWaitingKey() == 4; }));
    ASSERT_TRUE(PressKey(m_app->GetDialog(), "Escape"));
    ASSERT_TRUE(RunUntil(m_app, [&] { return m_page->GetWaitingKey() < 0; }));

    ASSERT_TRUE(SaveAndClose());
    tag_TOLQGAMECONFIG saved;
    ASSERT_TRUE(ReadConfig(m_folders.ConfigFile(), &saved));
    EXPECT_EQ(saved.keys[16], static_cast<uint32_t>(KEY_Z));
    EXPECT_EQ(saved.keys[14], static_cast<uint32_t>(KEY_C));
    EXPECT_EQ(saved.keys[4], static_cast<uint32_t>(KEY_W));
    for (uint32_t a = 0; a < kActionCount; ++a)
    {
        for (uint32_t b = a + 1; b < kActionCount; ++b)
            EXPECT_NE(saved.keys[a], saved.keys[b]) << a << " and " << b;
    }
}

TEST_F(ControlsPage, EscapeEndsTheWaitForAPadButtonAndKeepsIt)
{
    ScriptedInputSource& pads = UseScriptedPads();
    ASSERT_NE(Open(), nullptr);
    Click(m_window, CControlsPage::ID_PAD + 14);
    ASSERT_TRUE(RunUntil(m_app, [&] { return m_page->GetWaitingPad() == 14; }));
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_PAD + 14), "Press a button");
    // Other keys wait on; Escape gives up.
    ASSERT_TRUE(PressKey(m_app->GetDialog(), "k"));
    Settle(m_app);
    EXPECT_EQ(m_page->GetWaitingPad(), 14);
    ASSERT_TRUE(PressKey(m_app->GetDialog(), "Escape"));
    ASSERT_TRUE(RunUntil(m_app, [&] { return m_page->GetWaitingPad() < 0; }));
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_PAD + 14), "BUTTON1");
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_STATUS), "");
    // The keyboard works the dialog again.
    EXPECT_FALSE(m_app->GetDialog()->IsCapturingKeys());

    // A pad button pressed after the wait ended changes nothing.
    pads.GetJoystick(0)->buttons[30] = 1;
    Settle(m_app);
    ASSERT_TRUE(SaveAndClose());
    tag_TOLQGAMECONFIG saved;
    ASSERT_TRUE(ReadConfig(m_folders.ConfigFile(), &saved));
    EXPECT_EQ(saved.padElements[14], 14u);
}

TEST_F(ControlsPage, AnyPadButtonTheInputReadsCanBeBoundAndADuplicateIsSwapped)
{
    ScriptedInputSource& pads = UseScriptedPads();
    ASSERT_NE(Open(), nullptr);
    // Joystick button 30 is pad element 42, "BUTTON31", past the 24 the
    // actions have by default.
    Click(m_window, CControlsPage::ID_PAD + 16);
    ASSERT_TRUE(RunUntil(m_app, [&] { return m_page->GetWaitingPad() == 16; }));
    pads.GetJoystick(0)->buttons[30] = 1;
    ASSERT_TRUE(RunUntil(m_app, [&] { return m_page->GetWaitingPad() < 0; }));
    pads.GetJoystick(0)->buttons[30] = 0;
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_PAD + 16), "BUTTON31");

    // Joystick button 0 ("BUTTON1", action 14's) given to action 16 swaps.
    Click(m_window, CControlsPage::ID_PAD + 16);
    ASSERT_TRUE(RunUntil(m_app, [&] { return m_page->GetWaitingPad() == 16; }));
    pads.GetJoystick(0)->buttons[0] = 1;
    ASSERT_TRUE(RunUntil(m_app, [&] { return m_page->GetWaitingPad() < 0; }));
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_PAD + 16), "BUTTON1");
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_PAD + 14), "BUTTON31");
    EXPECT_EQ(TextOf(m_window, CControlsPage::ID_STATUS),
              "BUTTON1 was the pad button of \"ジャンプ/決定\", which now has BUTTON31 instead.");

    ASSERT_TRUE(SaveAndClose());
    tag_TOLQGAMECONFIG saved;
    ASSERT_TRUE(ReadConfig(m_folders.ConfigFile(), &saved));
    EXPECT_EQ(saved.padElements[16], 14u);
    EXPECT_EQ(saved.padElements[14], 42u);
}
