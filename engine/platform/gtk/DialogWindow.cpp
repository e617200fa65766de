#include "engine/platform/gtk/DialogWindow.h"

#include "engine/core/TextEncoding.h"
#include "engine/platform/gtk/EvdevKeyMap.h"
#include "engine/platform/gtk/GtkHost.h"
#include "engine/platform/message/MessageQueue.h"

#include <gtk/gtk.h>

#include <cmath>
#include <cstring>
#include <string>

struct DialogWindow::Control
{
    DialogWindow* owner = nullptr;
    DialogControlKind kind = DialogControlKind::Static;
    int id = 0;
    GtkWidget* widget = nullptr;
    NotifyHeader notify;
};

namespace
{
// The counter that keeps notifications quiet while the program itself
// changes a control.
class QuietScope
{
public:
    explicit QuietScope(int& counter) : m_counter(counter) { ++m_counter; }
    ~QuietScope() { --m_counter; }

private:
    int& m_counter;
};

std::string ToUtf8(const char* text)
{
    return ConvertShiftJisToUtf8(text != nullptr ? text : "");
}

void ApplyTextStyle(GtkWidget* label, DialogTextStyle style)
{
    if (style == DialogTextStyle::Normal)
        return;
    PangoAttrList* attributes = pango_attr_list_new();
    switch (style)
    {
    case DialogTextStyle::Heading:
        pango_attr_list_insert(attributes, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
        break;
    case DialogTextStyle::Hint:
        pango_attr_list_insert(attributes, pango_attr_scale_new(PANGO_SCALE_SMALL));
        gtk_style_context_add_class(gtk_widget_get_style_context(label), GTK_STYLE_CLASS_DIM_LABEL);
        break;
    case DialogTextStyle::Error:
        pango_attr_list_insert(attributes, pango_attr_foreground_new(0xC000, 0x1C00, 0x2800));
        break;
    case DialogTextStyle::Normal:
        break;
    }
    gtk_label_set_attributes(GTK_LABEL(label), attributes);
    pango_attr_list_unref(attributes);
}

WParam CommandParam(int id, uint32_t code)
{
    return static_cast<WParam>((code << 16) | (static_cast<uint32_t>(id) & 0xFFFFu));
}
}

// Signal handlers reach the dialog through its control record; they post
// so that the procedure runs from the message loop, never from inside GTK.
namespace DialogSignals
{
bool IsQuiet(const DialogWindow::Control* control);

void OnClicked(GtkButton*, gpointer data)
{
    auto* control = static_cast<DialogWindow::Control*>(data);
    if (!IsQuiet(control))
        MessageQueue::Post(control->owner, MSG_COMMAND, CommandParam(control->id, NOTIFY_BUTTON_CLICKED), 0);
}

void OnToggled(GtkToggleButton*, gpointer data)
{
    OnClicked(nullptr, data);
}

void OnComboChanged(GtkComboBox*, gpointer data)
{
    auto* control = static_cast<DialogWindow::Control*>(data);
    if (!IsQuiet(control))
        MessageQueue::Post(control->owner, MSG_COMMAND, CommandParam(control->id, NOTIFY_COMBO_SELCHANGE), 0);
}

void OnEditChanged(GtkEditable*, gpointer data)
{
    auto* control = static_cast<DialogWindow::Control*>(data);
    MessageQueue::Post(control->owner, MSG_COMMAND, CommandParam(control->id, NOTIFY_EDIT_CHANGE), 0);
}

void OnValueChanged(GtkRange* range, gpointer data)
{
    auto* control = static_cast<DialogWindow::Control*>(data);
    if (IsQuiet(control))
        return;
    const uint32_t position = static_cast<uint32_t>(std::lround(gtk_range_get_value(range)));
    const WParam wParam = static_cast<WParam>((position << 16) | kTrackbarThumbPosition);
    MessageQueue::Post(control->owner, MSG_HSCROLL, wParam, static_cast<LParam>(control->id));
}

void OnSwitchPage(GtkNotebook*, GtkWidget*, guint, gpointer data)
{
    auto* control = static_cast<DialogWindow::Control*>(data);
    if (!IsQuiet(control))
        MessageQueue::Post(control->owner, MSG_NOTIFY, static_cast<WParam>(control->id),
                           reinterpret_cast<LParam>(&control->notify));
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data)
{
    auto* dialog = static_cast<DialogWindow*>(data);
    if (!dialog->IsCapturingKeys())
        return FALSE;
    // X11 key codes are input-event codes offset by 8.
    const uint32_t evdev = event->hardware_keycode >= 8 ? event->hardware_keycode - 8u : 0u;
    const uint8_t code = DirectInputKeyFromEvdev(evdev);
    if (code != 0)
    {
        const uint32_t flags = 1u | ((code & 0x7Fu) << 16) | ((code & 0x80u) != 0 ? 1u << 24 : 0u);
        MessageQueue::Post(dialog, MSG_KEYDOWN, code, static_cast<LParam>(flags));
    }
    return TRUE;
}

// The window keeps the size its pages are laid out for: the window manager
// is asked for no maximise button and no resizing.
void OnRealize(GtkWidget* widget, gpointer)
{
    GdkWindow* window = gtk_widget_get_window(widget);
    if (window == nullptr)
        return;
    gdk_window_set_functions(window, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_MINIMIZE | GDK_FUNC_CLOSE));
    gdk_window_set_decorations(
        window, static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU | GDK_DECOR_MINIMIZE));
}

gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data)
{
    MessageQueue::Post(static_cast<DialogWindow*>(data), MSG_CLOSE, 0, 0);
    return TRUE; // The procedure decides whether the window goes.
}
}

DialogWindow::DialogWindow(WindowProcedure procedure) : PlatformWindow(procedure)
{
}

DialogWindow::~DialogWindow()
{
    // Closing without MSG_DESTROY, as for every window deleted by its owner.
    DestroyNative();
}

void DialogWindow::OnRootDestroyed(void*, void* self)
{
    static_cast<DialogWindow*>(self)->ForgetWidgets();
}

void DialogWindow::ForgetWidgets()
{
    m_root = nullptr;
    m_container = nullptr;
    for (auto& control : m_controls)
        control->widget = nullptr;
}

void DialogWindow::DestroyNative()
{
    if (m_root == nullptr)
        return;
    ++m_quiet;
    gtk_widget_destroy(GTK_WIDGET(m_root)); // OnRootDestroyed clears the pointers.
    --m_quiet;
    ForgetWidgets();
}

namespace DialogSignals
{
bool IsQuiet(const DialogWindow::Control* control)
{
    return control->owner->IsQuietForSignals();
}
}

bool DialogWindow::Create(const DialogTemplate& dialogTemplate, PlatformWindow* parent, LParam initParam)
{
    if (m_root != nullptr || !StartGtk())
        return false;

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, dialogTemplate.GetWidth(), dialogTemplate.GetHeight());
    auto* parentDialog = dynamic_cast<DialogWindow*>(parent);
    if (dialogTemplate.IsChild() && parentDialog != nullptr && parentDialog->m_container != nullptr)
    {
        m_topLevel = false;
        m_root = fixed;
        gtk_fixed_put(GTK_FIXED(parentDialog->m_container), fixed, 0, 0);
    }
    else
    {
        m_topLevel = true;
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
        gtk_container_add(GTK_CONTAINER(window), fixed);
        gtk_widget_show(fixed);
        if (parentDialog != nullptr && parentDialog->m_topLevel && parentDialog->m_root != nullptr)
            gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(parentDialog->m_root));
        g_signal_connect(window, "delete-event", G_CALLBACK(DialogSignals::OnDeleteEvent), this);
        g_signal_connect(window, "key-press-event", G_CALLBACK(DialogSignals::OnKeyPress), this);
        g_signal_connect_after(window, "realize", G_CALLBACK(DialogSignals::OnRealize), nullptr);
        m_root = window;
    }
    m_container = fixed;
    g_signal_connect(GTK_WIDGET(m_root), "destroy", G_CALLBACK(OnRootDestroyed), this);

    PlatformWindow::SetBounds(WindowBounds{0, 0, dialogTemplate.GetWidth(), dialogTemplate.GetHeight()});
    SetTitle(dialogTemplate.GetTitle().c_str());
    for (const DialogControl& description : dialogTemplate.GetControls())
        AddControl(description);

    MessageQueue::Send(this, MSG_INITDIALOG, 0, initParam);
    return true;
}

bool DialogWindow::IsQuietForSignals() const
{
    return m_quiet != 0;
}

void DialogWindow::AddControl(const DialogControl& description)
{
    auto control = std::make_unique<Control>();
    control->owner = this;
    control->kind = description.kind;
    control->id = description.id;
    const std::string text = ToUtf8(description.text.c_str());
    GtkWidget* widget = nullptr;
    switch (description.kind)
    {
    case DialogControlKind::Static:
        widget = gtk_label_new(text.c_str());
        gtk_label_set_xalign(GTK_LABEL(widget), 0.0f);
        ApplyTextStyle(widget, description.style);
        break;
    case DialogControlKind::GroupBox:
        widget = gtk_frame_new(text.c_str());
        break;
    case DialogControlKind::Button:
        widget = gtk_button_new_with_label(text.c_str());
        g_signal_connect(widget, "clicked", G_CALLBACK(DialogSignals::OnClicked), control.get());
        break;
    case DialogControlKind::CheckBox:
        widget = gtk_check_button_new_with_label(text.c_str());
        g_signal_connect(widget, "toggled", G_CALLBACK(DialogSignals::OnToggled), control.get());
        break;
    case DialogControlKind::Edit:
        widget = gtk_entry_new();
        gtk_entry_set_text(GTK_ENTRY(widget), text.c_str());
        g_signal_connect(widget, "changed", G_CALLBACK(DialogSignals::OnEditChanged), control.get());
        break;
    case DialogControlKind::ComboBox:
        widget = gtk_combo_box_text_new();
        g_signal_connect(widget, "changed", G_CALLBACK(DialogSignals::OnComboChanged), control.get());
        break;
    case DialogControlKind::Trackbar:
        widget = gtk_scale_new_with_range(GTK_ORIENTATION_HORIZONTAL, 0.0, 100.0, 1.0);
        gtk_scale_set_draw_value(GTK_SCALE(widget), FALSE);
        gtk_scale_set_digits(GTK_SCALE(widget), 0);
        g_signal_connect(widget, "value-changed", G_CALLBACK(DialogSignals::OnValueChanged), control.get());
        break;
    case DialogControlKind::TabControl:
        widget = gtk_notebook_new();
        g_signal_connect_after(widget, "switch-page", G_CALLBACK(DialogSignals::OnSwitchPage), control.get());
        break;
    }
    control->widget = widget;
    control->notify.from = widget;
    control->notify.controlId = static_cast<uintptr_t>(description.id);
    control->notify.code = NOTIFY_TAB_SELCHANGE;
    if (!description.tooltip.empty())
        gtk_widget_set_tooltip_text(widget, ToUtf8(description.tooltip.c_str()).c_str());
    gtk_widget_set_size_request(widget, description.width, description.height);
    gtk_fixed_put(GTK_FIXED(m_container), widget, description.x, description.y);
    gtk_widget_show(widget);
    m_controls.push_back(std::move(control));
}

DialogWindow::Control* DialogWindow::FindAny(int id) const
{
    for (const auto& control : m_controls)
    {
        if (control->id == id && control->widget != nullptr)
            return control.get();
    }
    return nullptr;
}

DialogWindow::Control* DialogWindow::Find(int id, DialogControlKind kind) const
{
    Control* control = FindAny(id);
    return control != nullptr && control->kind == kind ? control : nullptr;
}

void* DialogWindow::GetControl(int id) const
{
    Control* control = FindAny(id);
    return control != nullptr ? control->widget : nullptr;
}

void DialogWindow::SetTitle(const char* text)
{
    PlatformWindow::SetTitle(text);
    if (m_topLevel && m_root != nullptr)
        gtk_window_set_title(GTK_WINDOW(m_root), ToUtf8(GetTitle()).c_str());
}

void DialogWindow::SetBounds(const WindowBounds& bounds)
{
    PlatformWindow::SetBounds(bounds);
    if (m_root == nullptr)
        return;
    if (m_topLevel)
    {
        gtk_window_move(GTK_WINDOW(m_root), bounds.x, bounds.y);
        gtk_widget_set_size_request(GTK_WIDGET(m_container), bounds.width, bounds.height);
        gtk_window_resize(GTK_WINDOW(m_root), bounds.width, bounds.height);
        return;
    }
    GtkWidget* parent = gtk_widget_get_parent(GTK_WIDGET(m_root));
    if (parent != nullptr && GTK_IS_FIXED(parent))
        gtk_fixed_move(GTK_FIXED(parent), GTK_WIDGET(m_root), bounds.x, bounds.y);
    gtk_widget_set_size_request(GTK_WIDGET(m_root), bounds.width, bounds.height);
}

void DialogWindow::Show()
{
    PlatformWindow::Show();
    m_minimized = false;
    if (m_root != nullptr)
        gtk_widget_show(GTK_WIDGET(m_root));
}

void DialogWindow::Hide()
{
    if (m_root != nullptr)
        gtk_widget_hide(GTK_WIDGET(m_root));
}

void DialogWindow::Minimize()
{
    PlatformWindow::Minimize();
    m_minimized = true;
    if (m_topLevel && m_root != nullptr)
        gtk_window_iconify(GTK_WINDOW(m_root));
}

void DialogWindow::Restore()
{
    PlatformWindow::Restore();
    m_minimized = false;
    if (m_topLevel && m_root != nullptr)
        gtk_window_deiconify(GTK_WINDOW(m_root));
}

void DialogWindow::Raise()
{
    if (m_topLevel && m_root != nullptr)
        gtk_window_present(GTK_WINDOW(m_root));
}

bool DialogWindow::IsVisible() const
{
    return m_root != nullptr && gtk_widget_get_visible(GTK_WIDGET(m_root));
}

bool DialogWindow::IsMinimized() const
{
    if (m_root == nullptr)
        return false;
    GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(m_root));
    if (m_topLevel && window != nullptr && (gdk_window_get_state(window) & GDK_WINDOW_STATE_ICONIFIED) != 0)
        return true;
    return m_minimized;
}

bool DialogWindow::HasFocus() const
{
    if (m_root == nullptr)
        return false;
    if (m_topLevel)
        return gtk_window_is_active(GTK_WINDOW(m_root));
    GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(m_root));
    return GTK_IS_WINDOW(top) && gtk_window_is_active(GTK_WINDOW(top));
}

bool DialogWindow::GetScreenSize(int& width, int& height) const
{
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr)
        return false;
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr)
        monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr)
        return false;
    GdkRectangle area;
    gdk_monitor_get_geometry(monitor, &area);
    width = area.width;
    height = area.height;
    return true;
}

bool DialogWindow::SetControlText(int id, const char* text)
{
    Control* control = FindAny(id);
    if (control == nullptr)
        return false;
    const std::string utf8 = ToUtf8(text);
    switch (control->kind)
    {
    case DialogControlKind::Static:
        gtk_label_set_text(GTK_LABEL(control->widget), utf8.c_str());
        return true;
    case DialogControlKind::GroupBox:
        gtk_frame_set_label(GTK_FRAME(control->widget), utf8.c_str());
        return true;
    case DialogControlKind::Button:
    case DialogControlKind::CheckBox:
        gtk_button_set_label(GTK_BUTTON(control->widget), utf8.c_str());
        return true;
    case DialogControlKind::Edit:
        gtk_entry_set_text(GTK_ENTRY(control->widget), utf8.c_str());
        return true;
    default:
        return false;
    }
}

bool DialogWindow::GetControlText(int id, char* out, size_t outSize) const
{
    Control* control = FindAny(id);
    if (control == nullptr || out == nullptr || outSize == 0)
        return false;
    const char* utf8 = nullptr;
    switch (control->kind)
    {
    case DialogControlKind::Static:
        utf8 = gtk_label_get_text(GTK_LABEL(control->widget));
        break;
    case DialogControlKind::Edit:
        utf8 = gtk_entry_get_text(GTK_ENTRY(control->widget));
        break;
    case DialogControlKind::Button:
    case DialogControlKind::CheckBox:
        utf8 = gtk_button_get_label(GTK_BUTTON(control->widget));
        break;
    default:
        return false;
    }
    const std::string text = ConvertUtf8ToShiftJis(utf8 != nullptr ? utf8 : "");
    if (text.size() >= outSize)
        return false;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

bool DialogWindow::EnableControl(int id, bool enable)
{
    Control* control = FindAny(id);
    if (control == nullptr)
        return false;
    gtk_widget_set_sensitive(control->widget, enable ? TRUE : FALSE);
    return true;
}

bool DialogWindow::SetControlTooltip(int id, const char* text)
{
    Control* control = FindAny(id);
    if (control == nullptr)
        return false;
    const std::string utf8 = ToUtf8(text);
    gtk_widget_set_tooltip_text(control->widget, utf8.empty() ? nullptr : utf8.c_str());
    return true;
}

bool DialogWindow::MarkControlInvalid(int id, bool invalid)
{
    Control* control = FindAny(id);
    if (control == nullptr)
        return false;
    GtkStyleContext* style = gtk_widget_get_style_context(control->widget);
    if (invalid)
        gtk_style_context_add_class(style, GTK_STYLE_CLASS_ERROR);
    else
        gtk_style_context_remove_class(style, GTK_STYLE_CLASS_ERROR);
    return true;
}

bool DialogWindow::AddComboItem(int id, const char* text)
{
    Control* control = Find(id, DialogControlKind::ComboBox);
    if (control == nullptr)
        return false;
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(control->widget), ToUtf8(text).c_str());
    return true;
}

bool DialogWindow::ClearComboItems(int id)
{
    Control* control = Find(id, DialogControlKind::ComboBox);
    if (control == nullptr)
        return false;
    QuietScope quiet(m_quiet);
    gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(control->widget));
    return true;
}

bool DialogWindow::SetComboSelection(int id, int index)
{
    Control* control = Find(id, DialogControlKind::ComboBox);
    if (control == nullptr)
        return false;
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(control->widget));
    const int count = model != nullptr ? gtk_tree_model_iter_n_children(model, nullptr) : 0;
    if (index >= count)
        return false;
    QuietScope quiet(m_quiet);
    gtk_combo_box_set_active(GTK_COMBO_BOX(control->widget), index < 0 ? -1 : index);
    return true;
}

int DialogWindow::GetComboSelection(int id) const
{
    Control* control = Find(id, DialogControlKind::ComboBox);
    if (control == nullptr)
        return -1;
    return gtk_combo_box_get_active(GTK_COMBO_BOX(control->widget));
}

bool DialogWindow::SetCheck(int id, bool checked)
{
    Control* control = Find(id, DialogControlKind::CheckBox);
    if (control == nullptr)
        return false;
    QuietScope quiet(m_quiet);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(control->widget), checked ? TRUE : FALSE);
    return true;
}

bool DialogWindow::GetCheck(int id) const
{
    Control* control = Find(id, DialogControlKind::CheckBox);
    return control != nullptr && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control->widget));
}

bool DialogWindow::SetTrackRange(int id, int minimum, int maximum)
{
    Control* control = Find(id, DialogControlKind::Trackbar);
    if (control == nullptr || maximum < minimum)
        return false;
    QuietScope quiet(m_quiet);
    // GTK refuses an empty range; a one-step range shows the same thing.
    const double top = maximum > minimum ? maximum : minimum + 1;
    gtk_range_set_range(GTK_RANGE(control->widget), minimum, top);
    return true;
}

bool DialogWindow::SetTrackSteps(int id, int step, int page)
{
    Control* control = Find(id, DialogControlKind::Trackbar);
    if (control == nullptr || step <= 0 || page <= 0)
        return false;
    gtk_range_set_increments(GTK_RANGE(control->widget), step, page);
    return true;
}

bool DialogWindow::SetTrackPosition(int id, int position)
{
    Control* control = Find(id, DialogControlKind::Trackbar);
    if (control == nullptr)
        return false;
    QuietScope quiet(m_quiet);
    gtk_range_set_value(GTK_RANGE(control->widget), position);
    return true;
}

int DialogWindow::GetTrackPosition(int id) const
{
    Control* control = Find(id, DialogControlKind::Trackbar);
    if (control == nullptr)
        return 0;
    return static_cast<int>(std::lround(gtk_range_get_value(GTK_RANGE(control->widget))));
}

bool DialogWindow::AddTabItem(int id, const char* text)
{
    Control* control = Find(id, DialogControlKind::TabControl);
    if (control == nullptr)
        return false;
    QuietScope quiet(m_quiet);
    // The pages themselves are child dialogs placed over the tab control;
    // the notebook's own pages stay empty.
    GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_show(page);
    GtkWidget* label = gtk_label_new(ToUtf8(text).c_str());
    gtk_notebook_append_page(GTK_NOTEBOOK(control->widget), page, label);
    return true;
}

bool DialogWindow::SetTabSelection(int id, int index)
{
    Control* control = Find(id, DialogControlKind::TabControl);
    if (control == nullptr)
        return false;
    if (index < 0 || index >= gtk_notebook_get_n_pages(GTK_NOTEBOOK(control->widget)))
        return false;
    QuietScope quiet(m_quiet);
    gtk_notebook_set_current_page(GTK_NOTEBOOK(control->widget), index);
    return true;
}

int DialogWindow::GetTabSelection(int id) const
{
    Control* control = Find(id, DialogControlKind::TabControl);
    if (control == nullptr)
        return -1;
    return gtk_notebook_get_current_page(GTK_NOTEBOOK(control->widget));
}
