#include "engine/platform/CSystem.h"
#include "engine/platform/gtk/FileDialog.h"
#include "engine/platform/gtk/GtkHost.h"

#include <gtest/gtest.h>

#include "tests/support/TestDisplay.h"

#include <gtk/gtk.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

TEST(FileFilter, PairsOfNamesAndPatterns)
{
    const char filter[] = "Text\0*.txt\0All\0*.*\0\0";
    const std::vector<FileFilter> filters = ParseFileFilter(filter);
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].name, "Text");
    ASSERT_EQ(filters[0].patterns.size(), 1u);
    EXPECT_EQ(filters[0].patterns[0], "*.txt");
    EXPECT_EQ(filters[1].name, "All");
    EXPECT_EQ(filters[1].patterns[0], "*.*");
}

TEST(FileFilter, SeveralPatternsSplitAtSemicolons)
{
    const char filter[] = "Images (*.bmp;*.png)\0*.bmp; *.png;*.dds\0\0";
    const std::vector<FileFilter> filters = ParseFileFilter(filter);
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].name, "Images (*.bmp;*.png)");
    const std::vector<std::string> expected = {"*.bmp", "*.png", "*.dds"};
    EXPECT_EQ(filters[0].patterns, expected);
}

TEST(FileFilter, EmptyNullAndUnpairedFilters)
{
    EXPECT_TRUE(ParseFileFilter(nullptr).empty());
    EXPECT_TRUE(ParseFileFilter("\0").empty());
    // A name with no pattern ends the list.
    const char unpaired[] = "Text\0*.txt\0Lonely\0\0";
    EXPECT_EQ(ParseFileFilter(unpaired).size(), 1u);
    // An empty pattern list is skipped, not turned into a filter.
    const char blank[] = "Blank\0 ; \0Text\0*.txt\0\0";
    const std::vector<FileFilter> filters = ParseFileFilter(blank);
    ASSERT_EQ(filters.size(), 1u);
    EXPECT_EQ(filters[0].name, "Text");
}

TEST(FileFilter, PatternsIgnoreCase)
{
    EXPECT_EQ(MakeCaseInsensitivePattern("*.txt"), "*.[tT][xX][tT]");
    EXPECT_EQ(MakeCaseInsensitivePattern("*.*"), "*.*");
    EXPECT_EQ(MakeCaseInsensitivePattern("Save0?.dat"), "[sS][aA][vV][eE]0?.[dD][aA][tT]");
}

namespace
{
// What the scripted user does in the next file chooser. The chooser loads
// its folder in the background and refuses to accept until the chosen file
// is selected, so the user names the file once and then presses the button
// on every tick until the chooser closes; after kMaxTicks it gives up.
constexpr int kMaxTicks = 250;
std::string g_answerPath;
bool g_answerAccept;
bool g_sawChooser;
bool g_named;
int g_ticks;
int g_filterCount;

GtkWidget* FindChooser()
{
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item != nullptr && found == nullptr; item = item->next)
    {
        GtkWidget* widget = GTK_WIDGET(item->data);
        if (GTK_IS_FILE_CHOOSER_DIALOG(widget) && gtk_widget_get_visible(widget))
            found = widget;
    }
    g_list_free(windows);
    return found;
}

void NameTheFile(GtkFileChooser* chooser)
{
    const size_t slash = g_answerPath.find_last_of('/');
    if (gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_SAVE)
    {
        gtk_file_chooser_set_current_folder(chooser, g_answerPath.substr(0, slash).c_str());
        gtk_file_chooser_set_current_name(chooser, g_answerPath.substr(slash + 1).c_str());
        return;
    }
    gtk_file_chooser_set_filename(chooser, g_answerPath.c_str());
}

gboolean AnswerChooser(gpointer)
{
    GtkWidget* widget = FindChooser();
    if (widget == nullptr)
        return g_sawChooser ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
    g_sawChooser = true;
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(widget);
    if (!g_named)
    {
        GSList* filters = gtk_file_chooser_list_filters(chooser);
        g_filterCount = static_cast<int>(g_slist_length(filters));
        g_slist_free(filters);
        g_named = true;
        if (g_answerAccept)
        {
            NameTheFile(chooser);
            return G_SOURCE_CONTINUE;
        }
    }
    const bool accept = g_answerAccept && ++g_ticks < kMaxTicks;
    gtk_dialog_response(GTK_DIALOG(widget), accept ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
    return G_SOURCE_CONTINUE;
}

class FileChooser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "needs an X display (the test command starts Xvfb)";
        ASSERT_TRUE(StartGtk());
        ASSERT_NE(getcwd(m_saved, sizeof(m_saved)), nullptr);
        char pattern[] = "/tmp/kvr-chooser-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
        m_file = m_folder + "/Settings.txt";
        FILE* file = std::fopen(m_file.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
        g_sawChooser = false;
        g_named = false;
        g_ticks = 0;
        g_filterCount = 0;
        ASSERT_EQ(m_system.SetCurrentFolder("/tmp"), 1);
        // A bounded number of tries: the chooser appears within a few.
        m_timer = g_timeout_add(20, AnswerChooser, nullptr);
    }
    void TearDown() override
    {
        GSource* timer = m_timer != 0 ? g_main_context_find_source_by_id(nullptr, m_timer) : nullptr;
        if (timer != nullptr && !g_source_is_destroyed(timer))
            g_source_remove(m_timer);
        if (!m_file.empty())
        {
            std::remove(m_file.c_str());
            std::remove((m_folder + "/Saved.cfg").c_str());
            rmdir(m_folder.c_str());
        }
        if (m_saved[0] != 0)
        {
            EXPECT_EQ(chdir(m_saved), 0);
        }
    }

    CSystem m_system;
    std::string m_folder;
    std::string m_file;
    guint m_timer = 0;
    char m_saved[PATH_MAX] = {};
};

const char kFilter[] = "Text\0*.txt\0All\0*.*\0\0";
}

TEST_F(FileChooser, OpenReturnsTheChosenFile)
{
    g_answerPath = m_file;
    g_answerAccept = true;
    char buffer[kPathBufferSize] = {};
    ASSERT_EQ(m_system.GetOpenFileName(buffer, "Open", kFilter, "txt"), 1);
    EXPECT_TRUE(g_sawChooser);
    EXPECT_EQ(g_filterCount, 2);
    EXPECT_EQ(std::string(buffer), m_file);
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    EXPECT_STREQ(cwd, "/tmp");
}

TEST_F(FileChooser, SaveAddsTheDefaultExtension)
{
    g_answerPath = m_folder + "/Saved";
    g_answerAccept = true;
    char buffer[kPathBufferSize] = {};
    ASSERT_EQ(m_system.GetSaveFileName(buffer, "Save", kFilter, "cfg"), 1);
    EXPECT_EQ(std::string(buffer), m_folder + "/Saved.cfg");
}

TEST_F(FileChooser, CancelLeavesTheBufferAndRestoresTheFolder)
{
    g_answerPath = m_file;
    g_answerAccept = false;
    char buffer[kPathBufferSize] = "initial.txt";
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(m_system.GetOpenFileName(buffer, "Open", kFilter, nullptr), 0);
    EXPECT_TRUE(g_sawChooser);
    EXPECT_STREQ(buffer, "initial.txt");
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    EXPECT_STREQ(cwd, "/tmp");
}
