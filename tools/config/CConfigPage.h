#pragma once

#include "engine/platform/gtk/DialogTemplate.h"
#include "engine/platform/gtk/DialogWindow.h"
#include "game/app/GameConfigTypes.h"

#include <cstdint>
#include <memory>

class CInput;

// One tab page of the configuration tool: a child dialog over the main
// dialog's tab control that shows and edits a part of the settings.
class CConfigPage
{
public:
    virtual ~CConfigPage() = default;

    // Makes the page's dialog inside the main dialog, hidden. false when the
    // dialog layer fails.
    bool Create(DialogWindow* parent, WindowProcedure procedure);
    DialogWindow* GetWindow() const { return m_window.get(); }
    void Show(bool show);

    // The tab's caption.
    virtual const char* GetTitle() const = 0;
    // The controls from the settings; only this page's fields are read, so
    // filling from the default settings resets just this page.
    virtual void Fill(const tag_TOLQGAMECONFIG& config) = 0;
    // The settings from the controls; only this page's fields are written.
    virtual void Store(tag_TOLQGAMECONFIG* config) const = 0;
    // Checks the fields the user types values into: each that holds a value
    // that can't be saved is marked and says why beside it, the others lose
    // their marks. false when one can't be saved; Store then keeps that
    // field's old setting.
    virtual bool CheckFields() { return true; }

    virtual void OnCommand(int id, uint32_t code) { (void)id, (void)code; }
    virtual void OnScroll(int id, int position) { (void)id, (void)position; }
    // A key captured by the main dialog (DirectInput key code).
    virtual void OnKey(uint8_t code) { (void)code; }
    // Once per frame, after the input object was polled.
    virtual void OnFrame(CInput* input) { (void)input; }
    // Called when the page stops being shown: drops any pending wait.
    virtual void OnHide() {}

protected:
    // The page's dialog; controls below the tab row (y >= 44).
    virtual DialogTemplate MakeTemplate() const = 0;

    DialogWindow* Window() const { return m_window.get(); }
    DialogWindow* Parent() const { return m_parent; }

    // Helpers for the common control pairs.
    void SetTrackValue(int trackId, int labelId, int value) const;
    void ShowNumber(int labelId, int value) const;

private:
    std::unique_ptr<DialogWindow> m_window;
    DialogWindow* m_parent = nullptr;
};

// Page size and the place of its first control row (below the tabs).
constexpr int kPageWidth = 888;
constexpr int kPageHeight = 640;
constexpr int kPageTop = 44;
// The height the theme draws buttons, text fields, lists and sliders at.
constexpr int kControlHeight = 34;
