#pragma once

// The configuration tool on a private X server, driven as a user drives it:
// clicks on its buttons, key presses through the X server (xdotool), pad
// buttons through a scripted input source, and the answers to its modal
// messages. Screenshots stay in the test's working folder as artefacts.

#include "tools/config/CConfigMain.h"

#include "engine/platform/WinMain.h"
#include "engine/platform/gtk/DialogWindow.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/resource/CResourceListFile.h"
#include "engine/resource/CSafeFileWriter.h"
#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/support/ScriptedInputSource.h"

#include <gtest/gtest.h>

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

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
    std::string SaveFolder() const { return m_temp.Path().string() + "/home/CorvaneSystem/QOR"; }
    std::string ConfigFile() const { return SaveFolder() + "/GameConfig.dat"; }
    const std::filesystem::path& Root() const { return m_temp.Path(); }

private:
    TempFolder m_temp;
    std::string m_data;
    bool m_listWritten = false;
};

inline bool g_quit;
// The folder the test program started in (ctest's build folder), where the
// screenshots stay as artefacts; the tool itself runs in its data folder.
inline const std::string g_startFolder = std::filesystem::current_path().string();

// Runs the message loop as WinMain does, with frames, until done() holds or
// the quit message comes; at most about ten seconds.
inline bool RunUntil(CApplicationMain* app, const std::function<bool()>& done)
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

// A few rounds of the loop, for what the dialogs post to reach them.
inline void Settle(CApplicationMain* app)
{
    int rounds = 0;
    RunUntil(app, [&] { return ++rounds >= 20; });
}

inline GtkWidget* Control(DialogWindow* window, int id)
{
    return static_cast<GtkWidget*>(window->GetControl(id));
}

inline void Click(DialogWindow* window, int id)
{
    gtk_button_clicked(GTK_BUTTON(Control(window, id)));
}

// The close box of the window's frame, as the window manager sends it.
inline void PressCloseBox(DialogWindow* dialog)
{
    gtk_window_close(GTK_WINDOW(dialog->GetNativeHandle()));
}

inline unsigned long XidOf(DialogWindow* dialog)
{
    GtkWidget* root = static_cast<GtkWidget*>(dialog->GetNativeHandle());
    return gdk_x11_window_get_xid(gtk_widget_get_window(root));
}

// A key pressed on the real keyboard of the test's X server, into the
// dialog ("z", "Escape").
inline bool PressKey(DialogWindow* dialog, const char* key)
{
    const std::string press = "xdotool windowfocus --sync " + std::to_string(XidOf(dialog)) + " key " + key;
    return std::system(press.c_str()) == 0;
}

inline bool ReadConfig(const std::string& path, tag_TOLQGAMECONFIG* config)
{
    const std::string bytes = TempFolder::Read(path);
    SetDefaultGameConfig(config);
    return DecodeGameConfig(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), config) == 1;
}

// Saves what a top-level widget shows as a PNG and tells whether it holds
// more than one colour (a blank window would not).
inline bool SaveScreenshot(GtkWidget* root, const std::string& name)
{
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

inline bool SaveScreenshot(DialogWindow* dialog, const std::string& name)
{
    return SaveScreenshot(static_cast<GtkWidget*>(dialog->GetNativeHandle()), name);
}

inline std::string Artefact(const std::string& name)
{
    return g_startFolder + "/" + name;
}

inline std::string Utf8Label(GtkWidget* label)
{
    return gtk_label_get_text(GTK_LABEL(label));
}

// What a modal message of the tool showed, and the answer it was given.
struct ModalMessage
{
    bool seen = false;
    std::string title;
    std::string text;
    int width = 0;
    int height = 0;
    bool screenshot = false;
};

// Answers the next modal message the tool opens with response, after
// noting what it showed (and a screenshot of it, when named). Runs from the
// modal loop's own timer.
class ModalAnswerer
{
public:
    ModalAnswerer(GtkResponseType response, std::string screenshot = "")
        : m_response(response), m_screenshot(std::move(screenshot))
    {
        m_timer = g_timeout_add(20, &ModalAnswerer::Tick, this);
    }
    ~ModalAnswerer()
    {
        GSource* timer = g_main_context_find_source_by_id(nullptr, m_timer);
        if (timer != nullptr && !g_source_is_destroyed(timer))
            g_source_remove(m_timer);
    }
    const ModalMessage& Message() const { return m_message; }

private:
    static GtkWidget* FindDialog()
    {
        GList* windows = gtk_window_list_toplevels();
        GtkWidget* found = nullptr;
        for (GList* item = windows; item != nullptr && found == nullptr; item = item->next)
        {
            GtkWidget* widget = GTK_WIDGET(item->data);
            if (GTK_IS_DIALOG(widget) && gtk_widget_get_mapped(widget) && gtk_widget_get_allocated_width(widget) > 1)
                found = widget;
        }
        g_list_free(windows);
        return found;
    }

    static void FindText(GtkWidget* widget, gpointer data)
    {
        auto* text = static_cast<std::string*>(data);
        if (GTK_IS_LABEL(widget) && gtk_label_get_selectable(GTK_LABEL(widget)))
            *text = Utf8Label(widget);
        else if (GTK_IS_CONTAINER(widget))
            gtk_container_forall(GTK_CONTAINER(widget), &ModalAnswerer::FindText, data);
    }

    static gboolean Tick(gpointer data)
    {
        auto* self = static_cast<ModalAnswerer*>(data);
        GtkWidget* dialog = FindDialog();
        if (dialog == nullptr)
            return ++self->m_ticks < 500 ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
        // One more tick so that it is drawn before it is photographed.
        if (!self->m_message.seen)
        {
            self->m_message.seen = true;
            return G_SOURCE_CONTINUE;
        }
        self->m_message.title = gtk_window_get_title(GTK_WINDOW(dialog));
        FindText(dialog, &self->m_message.text);
        self->m_message.width = gtk_widget_get_allocated_width(dialog);
        self->m_message.height = gtk_widget_get_allocated_height(dialog);
        if (!self->m_screenshot.empty())
            self->m_message.screenshot = SaveScreenshot(dialog, Artefact(self->m_screenshot));
        gtk_dialog_response(GTK_DIALOG(dialog), self->m_response);
        self->m_timer = 0;
        return G_SOURCE_REMOVE;
    }

    GtkResponseType m_response;
    std::string m_screenshot;
    ModalMessage m_message;
    guint m_timer = 0;
    int m_ticks = 0;
};

class ConfigTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (Display().empty())
            GTEST_SKIP() << "Xvfb is not installed";
        // The dialogs and the key presses live on a display of this test
        // program's own, where the focus belongs to it alone.
        setenv("DISPLAY", Display().c_str(), 1);
        ASSERT_TRUE(m_folders.Ready());
        CConfigMain::SetDataFolder(m_folders.Data().c_str());
        // Tests run side by side: each is a program of its own name.
        CConfigMain::SetInstanceName(("QORConfigurationTest" + std::to_string(getpid())).c_str());
        CConfigMain::SetInputSource(nullptr);
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
        CConfigMain::SetInputSource(nullptr);
        MessageQueue::Clear();
        // Tests that show the tool's real messages take the test setting
        // away; the next test has it back.
        setenv("KVR_MESSAGE_BOX", "stderr", 1);
    }

    CConfigMain* Start()
    {
        auto* app = new CConfigMain();
        g_pApplication = app;
        if (app->Init(GetProgramInstance(), WndProc) == 0)
            return nullptr;
        return app;
    }

    // Brings a page forward as a click on its tab does.
    bool ShowPage(CConfigMain* app, int page)
    {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(Control(app->GetDialog(), CConfigMain::ID_TABS)), page);
        return RunUntil(app, [&] { return app->GetCurrentPage() == page; });
    }

    // One server for the process: GTK keeps the display it first opened
    // for the life of the process and ends the program when that display
    // goes, so the tests of one program (run one after another) share it.
    static const std::string& Display()
    {
        static PrivateXServer server;
        return server.GetDisplay();
    }

    ToolFolders m_folders;
};

// The page indices, in tab order.
enum ConfigPageIndex
{
    PAGE_SCREEN,
    PAGE_SOUND,
    PAGE_CONTROLS,
    PAGE_GAME,
    PAGE_NETWORK,
};
