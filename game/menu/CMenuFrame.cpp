// One update's items, mouse tests and sounds of a menu screen.
#include "game/menu/CMenuFrame.h"

void CMenuFrame::Begin(const CMenuLayout& layout, const MenuKeys& keys, IMenuSounds* sounds)
{
    m_layout = layout;
    m_keys = keys;
    m_player = sounds;
    m_locked = false;
    m_items.clear();
    m_sounds.clear();
}

bool CMenuFrame::HitTest(const MenuRect& rect) const
{
    return !m_locked && rect.Contains(m_keys.Cursor());
}

void CMenuFrame::Report(int32_t id, const MenuRect& rect, MenuItemState state, std::string label)
{
    if (m_locked)
        state = MenuItemState::Disabled;
    m_items.push_back({id, rect, state, std::move(label)});
}

const MenuItemRecord* CMenuFrame::FindItem(int32_t id) const
{
    for (const MenuItemRecord& item : m_items)
    {
        if (item.id == id)
            return &item;
    }
    return nullptr;
}

void CMenuFrame::Play(MenuSound sound)
{
    m_sounds.push_back(sound);
    if (m_player != nullptr)
        m_player->PlayMenuSound(sound);
}
