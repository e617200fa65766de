#include "tests/tools/config/ConfigToolFixture.h"

#include "tools/config/CNetworkPage.h"

#include "engine/core/GameText.h"

#include <string>

namespace
{
std::string TextOf(DialogWindow* window, int id)
{
    char text[256];
    return window->GetControlText(id, text, sizeof(text)) ? text : "";
}

bool MarkedInvalid(DialogWindow* window, int id)
{
    return gtk_style_context_has_class(gtk_widget_get_style_context(Control(window, id)), GTK_STYLE_CLASS_ERROR);
}
}

TEST_F(ConfigTool, APortThatCantBeUsedIsRefusedAtItsFieldAndNothingIsSaved)
{
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    // Saved once, so that there is a file to keep.
    Click(app->GetDialog(), CConfigMain::ID_APPLY);
    Settle(app);
    const std::string before = TempFolder::Read(m_folders.ConfigFile());
    ASSERT_FALSE(before.empty());

    DialogWindow* network = app->GetPage(PAGE_NETWORK)->GetWindow();
    for (const char* port : {"99999x", "70000", "0", ""})
    {
        ASSERT_TRUE(ShowPage(app, PAGE_SCREEN));
        network->SetControlText(CNetworkPage::ID_PORT, port);
        Settle(app);
        // OK neither saves nor closes; the page with the field comes forward.
        Click(app->GetDialog(), DIALOG_ID_OK);
        Settle(app);
        EXPECT_FALSE(g_quit) << port;
        EXPECT_EQ(app->GetCurrentPage(), PAGE_NETWORK) << port;
        EXPECT_TRUE(MarkedInvalid(network, CNetworkPage::ID_PORT)) << port;
        EXPECT_EQ(TextOf(network, CNetworkPage::ID_PORT_PROBLEM), "Use a whole number from 1 to 65535.") << port;
        // What the user typed stays for mending.
        EXPECT_EQ(TextOf(network, CNetworkPage::ID_PORT), port);
        EXPECT_EQ(TempFolder::Read(m_folders.ConfigFile()), before) << port;
    }
    EXPECT_TRUE(SaveScreenshot(app->GetDialog(), Artefact("ConfigBadPort.png")));

    // Mending the field clears the mark; the value is then saved.
    network->SetControlText(CNetworkPage::ID_PORT, "15300");
    Settle(app);
    EXPECT_FALSE(MarkedInvalid(network, CNetworkPage::ID_PORT));
    EXPECT_EQ(TextOf(network, CNetworkPage::ID_PORT_PROBLEM), "");
    Click(app->GetDialog(), CConfigMain::ID_APPLY);
    Settle(app);
    tag_TOLQGAMECONFIG saved;
    ASSERT_TRUE(ReadConfig(m_folders.ConfigFile(), &saved));
    EXPECT_EQ(saved.lobbyPort, 15300);
}

TEST_F(ConfigTool, ALoginIdTooLongAndASendByteOutOfRangeAreRefusedToo)
{
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    DialogWindow* network = app->GetPage(PAGE_NETWORK)->GetWindow();
    // 17 Japanese characters are 34 bytes, two more than the file holds.
    std::string loginId;
    for (int i = 0; i < 17; ++i)
        loginId += "あ";
    network->SetControlText(CNetworkPage::ID_LOGIN_ID, ToGameText(loginId).c_str());
    network->SetControlText(CNetworkPage::ID_SEND_BYTE, "256");
    Settle(app);
    Click(app->GetDialog(), CConfigMain::ID_APPLY);
    Settle(app);
    EXPECT_FALSE(std::filesystem::exists(m_folders.ConfigFile()));
    EXPECT_TRUE(MarkedInvalid(network, CNetworkPage::ID_LOGIN_ID));
    EXPECT_TRUE(MarkedInvalid(network, CNetworkPage::ID_SEND_BYTE));
    EXPECT_FALSE(MarkedInvalid(network, CNetworkPage::ID_PORT));
}

TEST_F(ConfigTool, KeyResponseAndSendByteExplainThemselves)
{
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    DialogWindow* network = app->GetPage(PAGE_NETWORK)->GetWindow();
    const int explained[] = {CNetworkPage::ID_LABELS + 2, CNetworkPage::ID_RESPONSE_TRACK,
                             CNetworkPage::ID_LABELS + 3, CNetworkPage::ID_SEND_BYTE};
    for (int id : explained)
    {
        gchar* tip = gtk_widget_get_tooltip_text(Control(network, id));
        ASSERT_NE(tip, nullptr) << id;
        EXPECT_GT(std::string(tip).size(), 40u) << id;
        g_free(tip);
    }
    EXPECT_EQ(TextOf(network, CNetworkPage::ID_RESPONSE_VALUE), "2 frames");
}
