#include "tests/tools/config/ConfigToolFixture.h"

#include "tools/config/CControlsPage.h"
#include "tools/config/CNetworkPage.h"

#include "engine/core/GameText.h"
#include "engine/platform/input/CInput.h"

#include <string>
#include <vector>

namespace
{
struct Placed
{
    GtkWidget* widget;
    GtkAllocation area;
    int requestedWidth;
    int requestedHeight;
};

std::string Describe(GtkWidget* widget)
{
    std::string text = G_OBJECT_TYPE_NAME(widget);
    if (GTK_IS_LABEL(widget))
        text += " \"" + Utf8Label(widget) + "\"";
    else if (GTK_IS_BUTTON(widget) && gtk_button_get_label(GTK_BUTTON(widget)) != nullptr)
        text += " \"" + std::string(gtk_button_get_label(GTK_BUTTON(widget))) + "\"";
    return text;
}

std::vector<Placed> PlacedControls(DialogWindow* page)
{
    std::vector<Placed> placed;
    GList* children = gtk_container_get_children(GTK_CONTAINER(page->GetNativeHandle()));
    for (GList* item = children; item != nullptr; item = item->next)
    {
        GtkWidget* widget = GTK_WIDGET(item->data);
        if (!gtk_widget_get_visible(widget))
            continue;
        Placed control{widget, {}, 0, 0};
        gtk_widget_get_allocation(widget, &control.area);
        gtk_widget_get_size_request(widget, &control.requestedWidth, &control.requestedHeight);
        placed.push_back(control);
    }
    g_list_free(children);
    return placed;
}

bool Overlap(const GtkAllocation& a, const GtkAllocation& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// Every control of the page drawn in the place the page gives it: no wider
// or taller than that place (its text fits), inside the page, and clear of
// every other control.
void ExpectApartAndWhole(DialogWindow* page, const std::string& name)
{
    const std::vector<Placed> placed = PlacedControls(page);
    ASSERT_FALSE(placed.empty()) << name;
    for (size_t i = 0; i < placed.size(); ++i)
    {
        const Placed& a = placed[i];
        EXPECT_LE(a.area.width, a.requestedWidth) << name << ": " << Describe(a.widget) << " is cut or spills over";
        EXPECT_LE(a.area.height, a.requestedHeight) << name << ": " << Describe(a.widget) << " is too tall";
        EXPECT_GE(a.area.x, 0) << name << ": " << Describe(a.widget);
        EXPECT_GE(a.area.y, kPageTop) << name << ": " << Describe(a.widget);
        EXPECT_LE(a.area.x + a.area.width, kPageWidth) << name << ": " << Describe(a.widget);
        EXPECT_LE(a.area.y + a.area.height, kPageHeight) << name << ": " << Describe(a.widget);
        for (size_t j = i + 1; j < placed.size(); ++j)
        {
            EXPECT_FALSE(Overlap(a.area, placed[j].area))
                << name << ": " << Describe(a.widget) << " overlaps " << Describe(placed[j].widget);
        }
    }
}

// The widest the control would be with text in it, as GTK measures it.
int NaturalWidthWith(GtkWidget* widget, const std::string& utf8)
{
    if (GTK_IS_BUTTON(widget))
        gtk_button_set_label(GTK_BUTTON(widget), utf8.c_str());
    else
        gtk_label_set_text(GTK_LABEL(widget), utf8.c_str());
    int minimum = 0;
    int natural = 0;
    gtk_widget_get_preferred_width(widget, &minimum, &natural);
    return natural;
}

int RequestedWidth(GtkWidget* widget)
{
    int width = 0;
    int height = 0;
    gtk_widget_get_size_request(widget, &width, &height);
    return width;
}
}

TEST_F(ConfigTool, EveryPageKeepsItsControlsApartAndWholeAtTheDefaultSize)
{
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    // The network page's reasons for refusing values shown as well.
    DialogWindow* network = app->GetPage(PAGE_NETWORK)->GetWindow();
    network->SetControlText(CNetworkPage::ID_PORT, "99999x");
    network->SetControlText(CNetworkPage::ID_LOGIN_ID, std::string(40, 'x').c_str());
    network->SetControlText(CNetworkPage::ID_SEND_BYTE, "256");
    Settle(app);
    Click(app->GetDialog(), CConfigMain::ID_APPLY);
    Settle(app);
    for (int page = 0; page < static_cast<int>(app->GetPageCount()); ++page)
    {
        ASSERT_TRUE(ShowPage(app, page));
        Settle(app);
        const std::string name = app->GetPage(static_cast<size_t>(page))->GetTitle();
        EXPECT_TRUE(SaveScreenshot(app->GetDialog(), Artefact("ConfigLayout" + name + ".png")));
        ExpectApartAndWhole(app->GetPage(static_cast<size_t>(page))->GetWindow(), name);
    }
}

TEST_F(ConfigTool, EveryKeyAndPadButtonNameFitsItsButton)
{
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    DialogWindow* controls = app->GetPage(PAGE_CONTROLS)->GetWindow();
    GtkWidget* key = Control(controls, CControlsPage::ID_KEY);
    GtkWidget* pad = Control(controls, CControlsPage::ID_PAD);
    for (int code = 0; code < 256; ++code)
    {
        const char* name = CInput::GetKeyName(static_cast<uint8_t>(code));
        EXPECT_LE(NaturalWidthWith(key, name), RequestedWidth(key)) << name;
    }
    EXPECT_LE(NaturalWidthWith(key, "Press a key"), RequestedWidth(key));
    for (int element = 0; element < KVR_PAD_ELEMENT_COUNT; ++element)
    {
        const char* name = CInput::GetPadElementName(static_cast<uint8_t>(element));
        EXPECT_LE(NaturalWidthWith(pad, name), RequestedWidth(pad)) << name;
    }
    EXPECT_LE(NaturalWidthWith(pad, "Press a button"), RequestedWidth(pad));

    // The longest word the line under the grid can say.
    GtkWidget* status = Control(controls, CControlsPage::ID_STATUS);
    const std::string swap =
        "NUMPADEQUALS was the pad button of \"エレメンタルトリガー\", which now has WEBFAVORITES instead.";
    EXPECT_LE(NaturalWidthWith(status, swap), RequestedWidth(status));
    const std::string wait = "Press the pad button for \"アイテム/キャンセル\" (Escape keeps the one it has).";
    EXPECT_LE(NaturalWidthWith(status, wait), RequestedWidth(status));
}
