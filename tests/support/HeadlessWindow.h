#pragma once

#include "engine/platform/message/PlatformWindow.h"

// A window with no OS window behind it. Tests drive it by posting and
// sending messages; focus is whatever the test says.
class HeadlessWindow : public PlatformWindow
{
public:
    explicit HeadlessWindow(WindowProcedure procedure) : PlatformWindow(procedure) {}

    bool HasFocus() const override { return m_focus; }
    void SetFocus(bool focus) { m_focus = focus; }

private:
    bool m_focus = true;
};
