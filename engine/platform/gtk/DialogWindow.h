#pragma once

#include "engine/platform/gtk/DialogTemplate.h"
#include "engine/platform/message/PlatformWindow.h"

#include <cstddef>
#include <memory>
#include <vector>

// A dialog on GTK, built from a DialogTemplate. Its procedure gets
// MSG_INITDIALOG (sent, lParam = the init parameter) while it is made,
// then posted MSG_COMMAND, MSG_HSCROLL and MSG_NOTIFY from its controls
// and MSG_CLOSE from the close box. Changes the program makes itself
// (selections, checks, slider positions, tab selection) notify nobody, so
// a page filling its controls never hears its own filling as a choice;
// text set into an edit field does notify.
class DialogWindow : public PlatformWindow
{
public:
    explicit DialogWindow(WindowProcedure procedure);
    ~DialogWindow() override;

    // A top-level window of fixed size, without a maximise button, or, for
    // a child template whose parent is a
    // dialog, a page inside the parent placed at 0, 0 and hidden until
    // shown. false when GTK can't start.
    bool Create(const DialogTemplate& dialogTemplate, PlatformWindow* parent, LParam initParam);

    void SetTitle(const char* text) override;
    void SetBounds(const WindowBounds& bounds) override;
    void Show() override;
    void Hide();
    void Minimize() override;
    void Restore() override;
    void Raise() override;
    bool IsVisible() const override;
    bool IsMinimized() const override;
    bool HasFocus() const override;
    bool GetScreenSize(int& width, int& height) const override;
    // The top-level GtkWidget (a GtkWindow), or the page's container.
    void* GetNativeHandle() const override { return m_root; }

    // The control's GtkWidget, null for an unknown id.
    void* GetControl(int id) const;

    // Texts are Shift-JIS.
    bool SetControlText(int id, const char* text);
    // Copies an edit field's or label's text; false when it does not fit.
    bool GetControlText(int id, char* out, size_t outSize) const;
    bool EnableControl(int id, bool enable);
    // The text shown while the pointer rests on the control; empty: none.
    bool SetControlTooltip(int id, const char* text);
    // Marks a field whose value can't be used (the theme draws it in the
    // error colour), or clears the mark.
    bool MarkControlInvalid(int id, bool invalid);

    bool AddComboItem(int id, const char* text);
    bool ClearComboItems(int id);
    bool SetComboSelection(int id, int index);
    // -1 when nothing is selected or the id is no combo box.
    int GetComboSelection(int id) const;

    bool SetCheck(int id, bool checked);
    bool GetCheck(int id) const;

    bool SetTrackRange(int id, int minimum, int maximum);
    // How far the arrow keys (step) and Page Up/Down (page) move the slider.
    bool SetTrackSteps(int id, int step, int page);
    bool SetTrackPosition(int id, int position);
    int GetTrackPosition(int id) const;

    // While on, every key pressed in this top-level dialog is posted to it
    // as MSG_KEYDOWN instead of reaching the focused control: wParam is the
    // DirectInput key code (KeyCodes.h), lParam the window key flags with
    // the scan code in bits 16-23 and the extended-key flag in bit 24. Keys
    // without a DirectInput code are swallowed too.
    void SetKeyCapture(bool capture) { m_keyCapture = capture; }
    bool IsCapturingKeys() const { return m_keyCapture; }

    bool AddTabItem(int id, const char* text);
    bool SetTabSelection(int id, int index);
    int GetTabSelection(int id) const;

    struct Control;
    bool IsQuietForSignals() const;

protected:
    void DestroyNative() override;

private:
    Control* Find(int id, DialogControlKind kind) const;
    Control* FindAny(int id) const;
    void AddControl(const DialogControl& description);
    void ForgetWidgets();

    static void OnRootDestroyed(void* widget, void* self);

    void* m_root = nullptr;      // GtkWidget*
    void* m_container = nullptr; // the GtkFixed the controls sit in
    bool m_topLevel = false;
    bool m_minimized = false;
    bool m_keyCapture = false;
    int m_quiet = 0; // nonzero while the program changes controls itself
    std::vector<std::unique_ptr<Control>> m_controls;
};
