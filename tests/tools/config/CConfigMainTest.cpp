#include "tools/config/CConfigMain.h"
#include "tools/config/CControlsPage.h"
#include "tools/config/CScreenPage.h"
#include "tools/config/CSoundPage.h"

#include "engine/platform/WinMain.h"
#include "engine/platform/gtk/DialogWindow.h"
#include "engine/platform/input/KeyCodes.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/resource/CResourceListFile.h"
#include "engine/resource/CSafeFileWriter.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"

#include <gtest/gtest.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

CApplicationMain* CreateApplication()
{
    return new CConfigMain();
}

namespace
{
// A data folder with a resource list that names a texture (skipped with
// contents 0) and one character (kept by name), and a save folder.
class ToolFolders
{
public:
    ToolFolders()
    {
        const std::string data = m_temp.Path().string() + "/data";
        std::filesystem::create_directories(data);
        setenv("XDG_DATA_HOME", (m_temp.Path().string() + "/home").c_str(), 1);
        CSafeFileWriter list;
        const std::string grc = data + "/GameResource.grc";
        m_listWritten = list.Open(grc.c_str()) && CResourceListFile::WriteHeader(list, 0x10001003u) &&
                        CResourceListFile::WriteRecord(list, "Texture\\Title.dds") &&
                        CResourceListFile::WriteRecord(list, "Character\\Hero.chr") &&
                        CResourceListFile::WriteEnd(list) && list.Commit();
        m_data = data;
    }

    bool Ready() const { return m_listWritten; }
    const std::string& Data() const { return m_data; }
    std::string ConfigFile() const { return m_temp.Path().string() + "/home/CorvaneSystem/QOR/GameConfig.dat"; }
    const std::filesystem::path& Root() const { return m_temp.Path(); }

private:
    TempFolder m_temp;
    std::string m_data;
    bool m_listWritten = false;
};

bool g_quit;
// The folder the test program started in (ctest's build folder), where the
// screenshots stay as artefacts; the tool itself runs in its data folder.
const std::string g_startFolder = std::filesystem::current_path().string();

// Runs the message loop as WinMain does, with frames, until done() holds or
// the quit message comes; at most about ten seconds.
bool RunUntil(CApplicationMain* app, const std::function<bool()>& done)
{
    for (int round = 0; round < 1000; ++round)
    {
        Message message;
        while (MessageQueue::Peek(message))
        {
            if (message.id == MSG_QUIT)
            {
                g_quit = true;
                return done();
            }
            MessageQueue::Dispatch(message);
        }
        app->Update();
        if (done())
            return true;
        usleep(10000);
    }
    return false;
}

GtkWidget* Control(DialogWindow* window, int id)
{
    return static_cast<GtkWidget*>(window->GetControl(id));
}

unsigned long XidOf(DialogWindow* dialog)
{
    GtkWidget* root = static_cast<GtkWidget*>(dialog->GetNativeHandle());
    return gdk_x11_window_get_xid(gtk_widget_get_window(root));
}

bool ReadConfig(const std::string& path, tag_TOLQGAMECONFIG* config)
{
    const std::string bytes = TempFolder::Read(path);
    SetDefaultGameConfig(config);
    return DecodeGameConfig(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), config) == 1;
}

// Saves what the dialog shows as a PNG and tells whether it holds more
// than one colour (a blank window would not).
bool SaveScreenshot(DialogWindow* dialog, const std::string& name)
{
    GtkWidget* root = static_cast<GtkWidget*>(dialog->GetNativeHandle());
    GdkWindow* window = gtk_widget_get_window(root);
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                 gdk_window_get_height(window));
    if (shot == nullptr)
        return false;
    gdk_pixbuf_save(shot, name.c_str(), "png", nullptr, nullptr);
    const int channels = gdk_pixbuf_get_n_channels(shot);
    const guchar* pixels = gdk_pixbuf_get_pixels(shot);
    const int stride = gdk_pixbuf_get_rowstride(shot);
    bool varied = false;
    for (int y = 0; y < gdk_pixbuf_get_height(shot) && !varied; ++y)
    {
        for (int x = 0; x < gdk_pixbuf_get_width(shot) && !varied; ++x)
            varied = std::memcmp(pixels, pixels + y * stride + x * channels, 3) != 0;
    }
    g_object_unref(shot);
    return varied;
}

// A few rounds of the loop, for what the dialogs post to reach them.
void Settle(CApplicationMain* app)
{
    int rounds = 0;
    RunUntil(app, [&] { return ++rounds >= 20; });
}

class ConfigTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (m_x.GetDisplay().empty())
            GTEST_SKIP() << "Xvfb is not installed";
        // The dialogs and the key presses live on a display of this test's
        // own, where the focus belongs to it alone.
        setenv("DISPLAY", m_x.GetDisplay().c_str(), 1);
        ASSERT_TRUE(m_folders.Ready());
        CConfigMain::SetDataFolder(m_folders.Data().c_str());
        // Tests run side by side: each is a program of its own name.
        CConfigMain::SetInstanceName(("QORConfigurationTest" + std::to_string(getpid())).c_str());
        g_quit = false;
        MessageQueue::Clear();
    }

    void TearDown() override
    {
        if (g_pApplication != nullptr)
        {
            delete g_pApplication;
            g_pApplication = nullptr;
        }
        MessageQueue::Clear();
    }

    CConfigMain* Start()
    {
        auto* app = new CConfigMain();
        g_pApplication = app;
        if (app->Init(GetProgramInstance(), WndProc) == 0)
            return nullptr;
        return app;
    }

    PrivateXServer m_x;
    ToolFolders m_folders;
};
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
