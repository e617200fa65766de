#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Kinds of controls a dialog is made of.
enum class DialogControlKind
{
    Static,     // a line of text
    GroupBox,   // a framed caption around other controls
    Button,     // push button: MSG_COMMAND with NOTIFY_BUTTON_CLICKED
    CheckBox,   // MSG_COMMAND with NOTIFY_BUTTON_CLICKED when toggled by the user
    Edit,       // one-line text field: MSG_COMMAND with NOTIFY_EDIT_CHANGE
    ComboBox,   // drop-down list: MSG_COMMAND with NOTIFY_COMBO_SELCHANGE
    Trackbar,   // horizontal slider: MSG_HSCROLL
    TabControl, // tabs: MSG_NOTIFY with NOTIFY_TAB_SELCHANGE
};

// Notification codes in the high word of a MSG_COMMAND's wParam (the low
// word is the control id), and in NotifyHeader::code.
enum DialogNotification : uint32_t
{
    NOTIFY_BUTTON_CLICKED = 0,
    NOTIFY_COMBO_SELCHANGE = 1,
    NOTIFY_EDIT_CHANGE = 0x0300,
    NOTIFY_TAB_SELCHANGE = static_cast<uint32_t>(-551),
};

// Ids of the usual buttons.
enum DialogButtonId : int
{
    DIALOG_ID_OK = 1,
    DIALOG_ID_CANCEL = 2,
};

// Scroll code in the low word of a trackbar's MSG_HSCROLL (the high word is
// the new position; lParam is the control id).
constexpr uint32_t kTrackbarThumbPosition = 4;

// What lParam of MSG_NOTIFY points at; valid while the dialog lives.
struct NotifyHeader
{
    void* from = nullptr; // the control's native widget
    uintptr_t controlId = 0;
    uint32_t code = 0;
};

// How a line of text (DialogControlKind::Static) reads.
enum class DialogTextStyle
{
    Normal,
    Heading, // bold: a column or group heading
    Hint,    // smaller and dimmed: a secondary note under or beside a name
    Error,   // red: what is wrong with the field beside it
};

struct DialogControl
{
    DialogControlKind kind = DialogControlKind::Static;
    int id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::string text; // Shift-JIS
    DialogTextStyle style = DialogTextStyle::Normal;
    std::string tooltip; // Shift-JIS; empty: none
};

// A dialog described in code: its size in pixels, its title and its
// controls at fixed positions. A child template makes a page that lives
// inside its parent dialog (the pages of a tab control).
class DialogTemplate
{
public:
    DialogTemplate(const char* title, int width, int height, bool child = false)
        : m_title(title != nullptr ? title : ""), m_width(width), m_height(height), m_child(child)
    {
    }

    DialogTemplate& Add(DialogControlKind kind, int id, int x, int y, int width, int height, const char* text = "")
    {
        m_controls.push_back(DialogControl{kind, id, x, y, width, height, text != nullptr ? text : "", {}, {}});
        return *this;
    }

    // The style and the tooltip of the control added last.
    DialogTemplate& Style(DialogTextStyle style)
    {
        if (!m_controls.empty())
            m_controls.back().style = style;
        return *this;
    }
    DialogTemplate& Tooltip(const char* text)
    {
        if (!m_controls.empty())
            m_controls.back().tooltip = text != nullptr ? text : "";
        return *this;
    }

    const std::string& GetTitle() const { return m_title; }
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    bool IsChild() const { return m_child; }
    const std::vector<DialogControl>& GetControls() const { return m_controls; }

private:
    std::string m_title;
    int m_width;
    int m_height;
    bool m_child;
    std::vector<DialogControl> m_controls;
};
