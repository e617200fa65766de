#include "tools/config/CConfigPage.h"

#include <cstdio>

bool CConfigPage::Create(DialogWindow* parent, WindowProcedure procedure)
{
    m_parent = parent;
    m_window = std::make_unique<DialogWindow>(procedure);
    if (!m_window->Create(MakeTemplate(), parent, 0))
    {
        m_window.reset();
        return false;
    }
    m_window->Hide();
    return true;
}

void CConfigPage::Show(bool show)
{
    if (m_window == nullptr)
        return;
    if (show)
    {
        m_window->Show();
        return;
    }
    OnHide();
    m_window->Hide();
}

void CConfigPage::SetTrackValue(int trackId, int labelId, int value) const
{
    m_window->SetTrackPosition(trackId, value);
    ShowNumber(labelId, value);
}

void CConfigPage::ShowNumber(int labelId, int value) const
{
    char text[16];
    std::snprintf(text, sizeof(text), "%d", value);
    m_window->SetControlText(labelId, text);
}
