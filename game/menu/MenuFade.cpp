// Fade levels of the menu screens.
#include "game/menu/MenuFade.h"

#include "game/menu/MenuTransitions.h"

bool MenuFade::Step(uint32_t milliseconds)
{
    const float delta = m_rate * static_cast<float>(milliseconds) * 0.001f;
    const float before = m_level;
    if (m_level < m_target)
        m_level = m_level + delta >= m_target ? m_target : m_level + delta;
    else if (m_level > m_target)
        m_level = m_level - delta <= m_target ? m_target : m_level - delta;
    MenuTransitions::Moved(before, m_level);
    return IsSettled();
}

void MenuFade::RaiseTo(float minimum)
{
    if (m_level < minimum)
        m_level = minimum;
}

void MenuFade::LowerTo(float maximum)
{
    if (m_level > maximum)
        m_level = maximum;
}
