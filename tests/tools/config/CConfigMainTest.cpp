#include "tests/tools/config/ConfigToolFixture.h"

#include "tools/config/CControlsPage.h"
#include "tools/config/CScreenPage.h"
#include "tools/config/CSoundPage.h"

#include "engine/core/TextEncoding.h"
#include "engine/platform/PlatformMessageBox.h"
#include "engine/platform/input/KeyCodes.h"
#include "game/app/CQorResourceController.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

CApplicationMain* CreateApplication()
{
    return new CConfigMain();
}

TEST_F(ConfigTool, StartsWithItsPagesAndTheGameDataNames)
{
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    ASSERT_EQ(app->GetPageCount(), 5u);
    EXPECT_EQ(app->GetCurrentPage(), 0);
    auto* characters = static_cast<CResourceList<CResourceBase*>*>(
        app->GetResourceController()->GetList(CQorResourceController::LIST_CHARACTERS));
    ASSERT_EQ(characters->GetCount(), 1u);
    EXPECT_STREQ(characters->GetData()[0]->GetName(), "Character\\Hero.chr");

    // Each page shows when its tab is chosen, and draws something.
    for (int page = 0; page < 5; ++page)
    {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(Control(app->GetDialog(), CConfigMain::ID_TABS)), page);
        ASSERT_TRUE(RunUntil(app, [&] { return app->GetCurrentPage() == page; }));
        Settle(app);
        // Kept in the test's working folder as an artefact.
        const std::string shot = g_startFolder + "/ConfigPage" + std::to_string(page) + ".png";
        EXPECT_TRUE(SaveScreenshot(app->GetDialog(), shot)) << shot;
    }
}

TEST_F(ConfigTool, VolumeAndARealKeyPressAreSavedByOk)
{
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    DialogWindow* dialog = app->GetDialog();

    // The music slider moved by the user.
    DialogWindow* sound = app->GetPage(1)->GetWindow();
    gtk_range_set_value(GTK_RANGE(Control(sound, CSoundPage::ID_BGM_TRACK)), -1200.0);

    // The "LS_UP" row waits for a key; K is pressed on the real keyboard.
    gtk_notebook_set_current_page(GTK_NOTEBOOK(Control(dialog, CConfigMain::ID_TABS)), 2);
    ASSERT_TRUE(RunUntil(app, [&] { return app->GetCurrentPage() == 2; }));
    auto* controls = static_cast<CControlsPage*>(app->GetPage(2));
    gtk_button_clicked(GTK_BUTTON(Control(controls->GetWindow(), CControlsPage::ID_KEY + 4)));
    ASSERT_TRUE(RunUntil(app, [&] { return controls->GetWaitingKey() == 4; }));
    const std::string press = "xdotool windowfocus --sync " + std::to_string(XidOf(dialog)) + " key k";
    ASSERT_EQ(std::system(press.c_str()), 0);
    ASSERT_TRUE(RunUntil(app, [&] { return controls->GetWaitingKey() < 0; }));

    gtk_button_clicked(GTK_BUTTON(Control(dialog, DIALOG_ID_OK)));
    ASSERT_TRUE(RunUntil(app, [] { return g_quit; }));
    tag_TOLQGAMECONFIG saved;
    ASSERT_TRUE(ReadConfig(m_folders.ConfigFile(), &saved));
    EXPECT_EQ(saved.bgmVolume, -1200);
    EXPECT_EQ(saved.keys[4], static_cast<uint32_t>(KEY_K));
    EXPECT_EQ(saved.keys[5], static_cast<uint32_t>(KEY_S));
}

TEST_F(ConfigTool, CancelLeavesTheFileAndDefaultsResetThePage)
{
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    DialogWindow* dialog = app->GetDialog();
    DialogWindow* screen = app->GetPage(0)->GetWindow();
    // Apply saves without closing.
    gtk_button_clicked(GTK_BUTTON(Control(screen, CScreenPage::ID_FULL_SCREEN)));  // full screen on
    Settle(app);
    gtk_button_clicked(GTK_BUTTON(Control(dialog, CConfigMain::ID_APPLY)));
    Settle(app);
    tag_TOLQGAMECONFIG saved;
    ASSERT_TRUE(ReadConfig(m_folders.ConfigFile(), &saved));
    EXPECT_EQ(saved.fullScreen, 1u);
    EXPECT_FALSE(g_quit);

    // Defaults resets the shown page; Cancel then leaves the file alone.
    gtk_button_clicked(GTK_BUTTON(Control(dialog, CConfigMain::ID_DEFAULTS)));
    Settle(app);
    EXPECT_FALSE(screen->GetCheck(CScreenPage::ID_FULL_SCREEN));
    const std::string before = TempFolder::Read(m_folders.ConfigFile());
    gtk_button_clicked(GTK_BUTTON(Control(dialog, DIALOG_ID_CANCEL)));
    ASSERT_TRUE(RunUntil(app, [] { return g_quit; }));
    EXPECT_EQ(TempFolder::Read(m_folders.ConfigFile()), before);
}

TEST_F(ConfigTool, ASecondCopyStopsAndTheFirstStays)
{
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    CConfigMain second;
    EXPECT_EQ(second.Init(GetProgramInstance(), WndProc), 0);
    second.Shutdown();
    EXPECT_NE(app->GetDialog(), nullptr);
}

TEST_F(ConfigTool, AMissingResourceListFailsTheStart)
{
    std::filesystem::remove(m_folders.Data() + "/GameResource.grc");
    // WinMain returns -1 when the tool can't start.
    EXPECT_EQ(WinMain(GetProgramInstance(), nullptr, nullptr, 1), -1);
}

namespace
{
std::vector<std::string> g_boxes;

void CatchBox(const char* text, const char* caption)
{
    g_boxes.push_back(std::string(caption) + ": " + ConvertShiftJisToUtf8(text));
}

// Motif window-manager hints: which functions the frame offers.
constexpr unsigned long kMotifFunctionsFlag = 1ul << 0;
constexpr unsigned long kMotifResize = 1ul << 1;
constexpr unsigned long kMotifMaximize = 1ul << 4;
constexpr unsigned long kMotifAll = 1ul << 0;

// The functions word of the window's _MOTIF_WM_HINTS, or ~0 when it has none.
unsigned long MotifFunctions(DialogWindow* dialog)
{
    Display* display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
    const Atom hints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, XidOf(dialog), hints, 0, 5, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) != Success ||
        data == nullptr)
        return ~0ul;
    const auto* words = reinterpret_cast<const unsigned long*>(data);
    const unsigned long functions = count >= 2 && (words[0] & kMotifFunctionsFlag) != 0 ? words[1] : ~0ul;
    XFree(data);
    return functions;
}

void ShowRealMessages()
{
    unsetenv("KVR_MESSAGE_BOX");
}
}

TEST_F(ConfigTool, TheWindowFitsTheScreenAndOffersNoMaximiseButton)
{
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    Settle(app);
    GtkWidget* root = static_cast<GtkWidget*>(app->GetDialog()->GetNativeHandle());
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(root)));
    int screenWidth = 0;
    int screenHeight = 0;
    ASSERT_TRUE(app->GetDialog()->GetScreenSize(screenWidth, screenHeight));
    EXPECT_LE(gtk_widget_get_allocated_width(root), screenWidth);
    EXPECT_LE(gtk_widget_get_allocated_height(root), screenHeight);
    const unsigned long functions = MotifFunctions(app->GetDialog());
    ASSERT_NE(functions, ~0ul);
    EXPECT_EQ(functions & kMotifAll, 0u);
    EXPECT_EQ(functions & kMotifMaximize, 0u);
    EXPECT_EQ(functions & kMotifResize, 0u);
}

TEST_F(ConfigTool, ClosingWithUnsavedChangesAsksWhetherToSave)
{
    ShowRealMessages();
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    Click(app->GetPage(PAGE_SCREEN)->GetWindow(), CScreenPage::ID_FULL_SCREEN);
    Settle(app);

    // Cancel keeps the tool open with the change.
    {
        ModalAnswerer answer(GTK_RESPONSE_CANCEL, "ConfigCloseQuestion.png");
        PressCloseBox(app->GetDialog());
        Settle(app);
        EXPECT_TRUE(answer.Message().seen);
        EXPECT_NE(answer.Message().text.find("Save them before closing?"), std::string::npos);
        EXPECT_TRUE(answer.Message().screenshot);
    }
    EXPECT_FALSE(g_quit);
    EXPECT_FALSE(std::filesystem::exists(m_folders.ConfigFile()));

    // Save writes the change and closes.
    ModalAnswerer answer(GTK_RESPONSE_YES);
    PressCloseBox(app->GetDialog());
    ASSERT_TRUE(RunUntil(app, [] { return g_quit; }));
    tag_TOLQGAMECONFIG saved;
    ASSERT_TRUE(ReadConfig(m_folders.ConfigFile(), &saved));
    EXPECT_EQ(saved.fullScreen, 1u);
}

TEST_F(ConfigTool, ClosingAfterAChangeWasUndoneAsksNothing)
{
    ShowRealMessages();
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    Click(app->GetPage(PAGE_SCREEN)->GetWindow(), CScreenPage::ID_FULL_SCREEN);
    Click(app->GetPage(PAGE_SCREEN)->GetWindow(), CScreenPage::ID_FULL_SCREEN);
    Settle(app);
    ModalAnswerer unexpected(GTK_RESPONSE_CANCEL);
    PressCloseBox(app->GetDialog());
    ASSERT_TRUE(RunUntil(app, [] { return g_quit; }));
    EXPECT_FALSE(unexpected.Message().seen);
}

TEST_F(ConfigTool, ClosingWithoutSavingLeavesTheFileAlone)
{
    ShowRealMessages();
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    Click(app->GetPage(PAGE_SCREEN)->GetWindow(), CScreenPage::ID_SCREEN_SHAKE);
    Settle(app);
    ModalAnswerer answer(GTK_RESPONSE_NO);
    PressCloseBox(app->GetDialog());
    ASSERT_TRUE(RunUntil(app, [] { return g_quit; }));
    EXPECT_TRUE(answer.Message().seen);
    EXPECT_FALSE(std::filesystem::exists(m_folders.ConfigFile()));
}

TEST_F(ConfigTool, DamagedSettingsFilesAreNamedOneLineEachInAWarningThatFitsTheScreen)
{
    TempFolder::Write(m_folders.ConfigFile(), "damaged");
    TempFolder::Write(m_folders.SaveFolder() + "/PlayData.dat", std::string(3, '\x01'));
    ShowRealMessages();
    ModalAnswerer answer(GTK_RESPONSE_OK, "ConfigDamagedFiles.png");
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    ASSERT_TRUE(answer.Message().seen);
    EXPECT_TRUE(answer.Message().screenshot);
    int screenWidth = 0;
    int screenHeight = 0;
    ASSERT_TRUE(app->GetDialog()->GetScreenSize(screenWidth, screenHeight));
    EXPECT_LE(answer.Message().width, screenWidth);
    EXPECT_LE(answer.Message().height, screenHeight);

    // One line per damaged file, by its full path; the file left intact.
    const std::string& text = answer.Message().text;
    EXPECT_NE(text.find("\n" + m_folders.ConfigFile() + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n" + m_folders.SaveFolder() + "/PlayData.dat"), std::string::npos) << text;
    EXPECT_EQ(text.find("PlayRecord.dat"), std::string::npos) << text;
    EXPECT_EQ(TempFolder::Read(m_folders.ConfigFile()), "damaged");
}

TEST_F(ConfigTool, StartErrorsNameTheFileWithItsFullPathAndThisSystemsSeparators)
{
    g_boxes.clear();
    SetMessageBoxHook(CatchBox);
    // A record that climbs out of the data folder.
    CSafeFileWriter list;
    const std::string grc = m_folders.Data() + "/GameResource.grc";
    ASSERT_TRUE(list.Open(grc.c_str()) && CResourceListFile::WriteHeader(list, 0x10001003u) &&
                CResourceListFile::WriteRecord(list, "Character\\..\\..\\Hero.chr") &&
                CResourceListFile::WriteEnd(list) && list.Commit());
    EXPECT_EQ(WinMain(GetProgramInstance(), nullptr, nullptr, 1), -1);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].find(grc + " could not be loaded"), std::string::npos) << g_boxes[0];
    EXPECT_NE(g_boxes[0].find("\"Character/../../Hero.chr\""), std::string::npos) << g_boxes[0];

    // A data folder that is not there is named in full.
    g_boxes.clear();
    CConfigMain::SetDataFolder("missing/data");
    EXPECT_EQ(WinMain(GetProgramInstance(), nullptr, nullptr, 1), -1);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].find(std::filesystem::current_path().string() + "/missing/data"), std::string::npos)
        << g_boxes[0];

    // So is a save folder that can't be made (a file stands in its way).
    g_boxes.clear();
    CConfigMain::SetDataFolder(m_folders.Data().c_str());
    CSafeFileWriter emptyList;
    ASSERT_TRUE(emptyList.Open(grc.c_str()) && CResourceListFile::WriteHeader(emptyList, 0x10001003u) &&
                CResourceListFile::WriteEnd(emptyList) && emptyList.Commit());
    const std::string blocked = m_folders.Root().string() + "/blocked";
    TempFolder::Write(blocked, "a file");
    setenv("XDG_DATA_HOME", blocked.c_str(), 1);
    EXPECT_EQ(WinMain(GetProgramInstance(), nullptr, nullptr, 1), -1);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].find(blocked + "/CorvaneSystem/QOR"), std::string::npos) << g_boxes[0];
    SetMessageBoxHook(nullptr);
}

TEST_F(ConfigTool, ASaveThatFailsNamesTheSettingsFile)
{
    // A folder where the file should be: the file can't replace it.
    std::filesystem::create_directories(m_folders.ConfigFile());
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    g_boxes.clear();
    SetMessageBoxHook(CatchBox);
    Click(app->GetDialog(), CConfigMain::ID_APPLY);
    Settle(app);
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_NE(g_boxes[0].find(m_folders.ConfigFile()), std::string::npos) << g_boxes[0];
    EXPECT_FALSE(g_quit);
}
