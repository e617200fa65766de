#include "engine/platform/CSystem.h"
#include "engine/platform/gtk/DialogWindow.h"
#include "engine/platform/gtk/GtkHost.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/WinMain.h"

#include <gtest/gtest.h>

#include "tests/support/TestDisplay.h"

#include <gtk/gtk.h>

#include <clocale>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace
{
enum ControlId
{
    ID_TABS = 100,
    ID_CHECK = 200,
    ID_COMBO = 300,
    ID_TRACK = 400,
    ID_EDIT = 500,
    ID_LABEL = 600,
};

std::vector<Message> g_received;
int g_comboItemsAtInit;

LResult DialogProcedure(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    g_received.push_back(Message{window, id, wParam, lParam});
    if (id == MSG_INITDIALOG)
    {
        // Controls exist by now: the procedure fills them.
        auto* dialog = dynamic_cast<DialogWindow*>(window);
        dialog->AddComboItem(ID_COMBO, "640x480");
        dialog->AddComboItem(ID_COMBO, "800x600");
        dialog->SetComboSelection(ID_COMBO, 0);
        g_comboItemsAtInit = 2;
    }
    return 0;
}

DialogTemplate MainTemplate()
{
    DialogTemplate dialogTemplate("Config \x90\xDD\x92\xE8", 400, 300); // "Config 設定"
    dialogTemplate.Add(DialogControlKind::TabControl, ID_TABS, 5, 5, 390, 240)
        .Add(DialogControlKind::Button, DIALOG_ID_OK, 230, 260, 75, 25, "OK")
        .Add(DialogControlKind::Button, DIALOG_ID_CANCEL, 315, 260, 75, 25, "Cancel")
        .Add(DialogControlKind::CheckBox, ID_CHECK, 10, 250, 100, 20, "Full screen")
        .Add(DialogControlKind::ComboBox, ID_COMBO, 10, 30, 150, 25)
        .Add(DialogControlKind::Trackbar, ID_TRACK, 10, 60, 150, 25)
        .Add(DialogControlKind::Edit, ID_EDIT, 10, 90, 150, 25, "Player")
        .Add(DialogControlKind::Static, ID_LABEL, 10, 120, 150, 20, "Volume");
    return dialogTemplate;
}

class DialogHost : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "needs an X display (the test command starts Xvfb)";
        MessageQueue::Clear();
        g_received.clear();
        g_comboItemsAtInit = 0;
        ASSERT_TRUE(m_dialog.Create(MainTemplate(), nullptr, 42));
        m_dialog.Show();
    }
    void TearDown() override
    {
        MessageQueue::Clear();
        g_received.clear();
    }

    // Dispatches what the GTK signals posted.
    std::vector<Message> Drain()
    {
        g_received.clear();
        Message message;
        for (int i = 0; i < 1000 && MessageQueue::Peek(message); ++i)
            MessageQueue::Dispatch(message);
        return g_received;
    }

    GtkWidget* Widget(int id) { return static_cast<GtkWidget*>(m_dialog.GetControl(id)); }

    DialogWindow m_dialog{DialogProcedure};
};

WParam Command(int id, uint32_t code)
{
    return static_cast<WParam>((code << 16) | static_cast<uint32_t>(id));
}
}

TEST_F(DialogHost, InitDialogArrivesWhileCreatingWithTheParameter)
{
    ASSERT_FALSE(g_received.empty());
    EXPECT_EQ(g_received[0].id, static_cast<uint32_t>(MSG_INITDIALOG));
    EXPECT_EQ(g_received[0].lParam, 42);
    EXPECT_EQ(g_received[0].window, &m_dialog);
    EXPECT_EQ(g_comboItemsAtInit, 2);
    EXPECT_EQ(m_dialog.GetComboSelection(ID_COMBO), 0);
    // Filling controls from the program notified nobody.
    EXPECT_TRUE(Drain().empty());

    GtkWidget* root = static_cast<GtkWidget*>(m_dialog.GetNativeHandle());
    ASSERT_TRUE(GTK_IS_WINDOW(root));
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(root)), "Config \xE8\xA8\xAD\xE5\xAE\x9A");
    EXPECT_TRUE(m_dialog.IsVisible());
}

TEST_F(DialogHost, ButtonsAndCheckBoxesSendCommands)
{
    gtk_button_clicked(GTK_BUTTON(Widget(DIALOG_ID_OK)));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(Widget(ID_CHECK)), TRUE);
    const std::vector<Message> messages = Drain();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].id, static_cast<uint32_t>(MSG_COMMAND));
    EXPECT_EQ(messages[0].wParam, Command(DIALOG_ID_OK, NOTIFY_BUTTON_CLICKED));
    EXPECT_EQ(messages[1].wParam, Command(ID_CHECK, NOTIFY_BUTTON_CLICKED));
    EXPECT_TRUE(m_dialog.GetCheck(ID_CHECK));

    EXPECT_TRUE(m_dialog.SetCheck(ID_CHECK, false));
    EXPECT_FALSE(m_dialog.GetCheck(ID_CHECK));
    EXPECT_TRUE(Drain().empty());
}

TEST_F(DialogHost, ComboSelectionByTheUserSendsSelChange)
{
    gtk_combo_box_set_active(GTK_COMBO_BOX(Widget(ID_COMBO)), 1);
    const std::vector<Message> messages = Drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, static_cast<uint32_t>(MSG_COMMAND));
    EXPECT_EQ(messages[0].wParam, Command(ID_COMBO, NOTIFY_COMBO_SELCHANGE));
    EXPECT_EQ(m_dialog.GetComboSelection(ID_COMBO), 1);

    EXPECT_FALSE(m_dialog.SetComboSelection(ID_COMBO, 2)); // no third item
    EXPECT_TRUE(m_dialog.ClearComboItems(ID_COMBO));
    EXPECT_EQ(m_dialog.GetComboSelection(ID_COMBO), -1);
    EXPECT_TRUE(Drain().empty());
}

TEST_F(DialogHost, TrackbarSendsItsPosition)
{
    ASSERT_TRUE(m_dialog.SetTrackRange(ID_TRACK, 0, 10));
    ASSERT_TRUE(m_dialog.SetTrackPosition(ID_TRACK, 3));
    EXPECT_TRUE(Drain().empty());
    gtk_range_set_value(GTK_RANGE(Widget(ID_TRACK)), 7);
    const std::vector<Message> messages = Drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, static_cast<uint32_t>(MSG_HSCROLL));
    EXPECT_EQ(messages[0].wParam, (7u << 16) | kTrackbarThumbPosition);
    EXPECT_EQ(messages[0].lParam, ID_TRACK);
    EXPECT_EQ(m_dialog.GetTrackPosition(ID_TRACK), 7);
}

TEST_F(DialogHost, TabChangeSendsNotify)
{
    ASSERT_TRUE(m_dialog.AddTabItem(ID_TABS, "Graphics"));
    ASSERT_TRUE(m_dialog.AddTabItem(ID_TABS, "Game"));
    ASSERT_TRUE(m_dialog.AddTabItem(ID_TABS, "Network"));
    ASSERT_TRUE(m_dialog.SetTabSelection(ID_TABS, 1));
    EXPECT_EQ(m_dialog.GetTabSelection(ID_TABS), 1);
    EXPECT_TRUE(Drain().empty());

    gtk_notebook_set_current_page(GTK_NOTEBOOK(Widget(ID_TABS)), 2);
    const std::vector<Message> messages = Drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, static_cast<uint32_t>(MSG_NOTIFY));
    EXPECT_EQ(messages[0].wParam, static_cast<WParam>(ID_TABS));
    const auto* header = reinterpret_cast<const NotifyHeader*>(messages[0].lParam);
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->code, NOTIFY_TAB_SELCHANGE);
    EXPECT_EQ(header->controlId, static_cast<uintptr_t>(ID_TABS));
    EXPECT_EQ(header->from, Widget(ID_TABS));
    EXPECT_EQ(m_dialog.GetTabSelection(ID_TABS), 2);
    EXPECT_FALSE(m_dialog.SetTabSelection(ID_TABS, 3));
}

TEST_F(DialogHost, EditTextRoundTripsShiftJisAndNotifies)
{
    char text[64];
    ASSERT_TRUE(m_dialog.GetControlText(ID_EDIT, text, sizeof(text)));
    EXPECT_STREQ(text, "Player");
    ASSERT_TRUE(m_dialog.SetControlText(ID_EDIT, "\x83\x76\x83\x8C\x83\x43\x83\x84\x81\x5B")); // "プレイヤー"
    ASSERT_TRUE(m_dialog.GetControlText(ID_EDIT, text, sizeof(text)));
    EXPECT_STREQ(text, "\x83\x76\x83\x8C\x83\x43\x83\x84\x81\x5B");
    char tiny[4];
    EXPECT_FALSE(m_dialog.GetControlText(ID_EDIT, tiny, sizeof(tiny)));

    bool sawChange = false;
    for (const Message& message : Drain())
        sawChange = sawChange || message.wParam == Command(ID_EDIT, NOTIFY_EDIT_CHANGE);
    EXPECT_TRUE(sawChange);

    EXPECT_TRUE(m_dialog.SetControlText(ID_LABEL, "Volume 10"));
    ASSERT_TRUE(m_dialog.GetControlText(ID_LABEL, text, sizeof(text)));
    EXPECT_STREQ(text, "Volume 10");
    EXPECT_FALSE(m_dialog.SetControlText(999, "x"));
    EXPECT_EQ(m_dialog.GetControl(999), nullptr);
}

TEST_F(DialogHost, CloseBoxSendsCloseAndTheProcedureDecides)
{
    gtk_window_close(GTK_WINDOW(m_dialog.GetNativeHandle()));
    PumpGtkEvents();
    bool sawClose = false;
    for (const Message& message : Drain())
        sawClose = sawClose || message.id == MSG_CLOSE;
    EXPECT_TRUE(sawClose);
    EXPECT_NE(m_dialog.GetNativeHandle(), nullptr);
    EXPECT_FALSE(m_dialog.IsDestroyed());

    m_dialog.Destroy();
    EXPECT_EQ(m_dialog.GetNativeHandle(), nullptr);
    EXPECT_EQ(m_dialog.GetControl(ID_COMBO), nullptr);
    EXPECT_EQ(g_received.back().id, static_cast<uint32_t>(MSG_DESTROY));
}

TEST_F(DialogHost, ChildPageLivesInsideItsParent)
{
    DialogTemplate pageTemplate("Page", 380, 200, true);
    pageTemplate.Add(DialogControlKind::CheckBox, 700, 10, 10, 120, 20, "Shadows");
    DialogWindow page(DialogProcedure);
    ASSERT_TRUE(page.Create(pageTemplate, &m_dialog, 7));
    EXPECT_EQ(g_received.back().id, static_cast<uint32_t>(MSG_INITDIALOG));
    EXPECT_EQ(g_received.back().window, &page);
    GtkWidget* pageRoot = static_cast<GtkWidget*>(page.GetNativeHandle());
    ASSERT_NE(pageRoot, nullptr);
    EXPECT_EQ(gtk_widget_get_toplevel(pageRoot), m_dialog.GetNativeHandle());
    EXPECT_FALSE(page.IsVisible());
    page.SetBounds(WindowBounds{10, 30, 380, 200});
    page.Show();
    EXPECT_TRUE(page.IsVisible());

    gtk_button_clicked(GTK_BUTTON(page.GetControl(700)));
    const std::vector<Message> messages = Drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].window, &page);

    // The parent going first takes the page's widgets with it.
    m_dialog.Destroy();
    EXPECT_EQ(page.GetNativeHandle(), nullptr);
}

TEST(DialogHostLocale, GtkLeavesTheNumericLocaleAlone)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "needs an X display";
    ASSERT_TRUE(StartGtk());
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    EXPECT_EQ(std::strtod("1.5", nullptr), 1.5);
}

TEST(DialogHostSystem, CreateDialogWindowCentresTheDialog)
{
    if (!HaveDisplay())
        GTEST_SKIP() << "needs an X display";
    char saved[PATH_MAX];
    ASSERT_NE(getcwd(saved, sizeof(saved)), nullptr);
    g_received.clear();
    const DialogTemplate dialogTemplate = MainTemplate();
    CSystem system;
    EXPECT_EQ(system.CreateDialogWindow(nullptr, &dialogTemplate, -1, -1, 105, DialogProcedure, nullptr), 0);
    ASSERT_EQ(system.CreateDialogWindow(GetProgramInstance(), &dialogTemplate, -1, -1, 105, DialogProcedure, nullptr),
              1);
    EXPECT_STREQ(system.GetName(), "Dialog");
    EXPECT_EQ(system.GetWidth(), 400);
    EXPECT_EQ(system.GetHeight(), 300);
    auto* dialog = dynamic_cast<DialogWindow*>(system.GetWindowHandle());
    ASSERT_NE(dialog, nullptr);
    int screenWidth = 0;
    int screenHeight = 0;
    ASSERT_TRUE(dialog->GetScreenSize(screenWidth, screenHeight));
    const WindowBounds bounds = dialog->GetBounds();
    EXPECT_EQ(bounds.x, (screenWidth - 400) / 2);
    EXPECT_EQ(bounds.y, (screenHeight - 300) / 2);
    EXPECT_TRUE(dialog->IsVisible());
    EXPECT_STRNE(system.GetFolder(), "");
    EXPECT_EQ(chdir(saved), 0);
    MessageQueue::Clear();
}
