// One update's items, mouse tests and sounds of a menu screen, and whether
// the pointer or the keys lead.
#include "game/menu/CMenuFrame.h"

#include <cmath>

namespace
{
// A warp not seen after this many updates is dropped; the pointer counts
// as arrived within this many window pixels of the point.
constexpr uint32_t kWarpUpdates = 10;
constexpr float kWarpPixels = 2.0f;
}

void CMenuFrame::Begin(const CMenuLayout& layout, const MenuKeys& keys, IMenuSounds* sounds)
{
    const MenuPoint before = m_keys.Cursor();
    m_layout = layout;
    m_pointerMoved = m_begun && MovedByPlayer(before, keys.Cursor());
    m_begun = true;
    m_keys = keys;
    if (m_pointerMoved || keys.AnyPressed({MenuKey::Click, MenuKey::AltClick}))
        m_pointerLeads = true;
    // A key wins over the pointer in the frame both move.
    if (keys.AnyPressed(kMenuDirectionKeys))
        m_pointerLeads = false;
    m_player = sounds;
    m_locked = false;
    m_items.clear();
    m_sounds.clear();
}

bool CMenuFrame::MovedByPlayer(MenuPoint before, MenuPoint now)
{
    const bool moved = before.x != now.x || before.y != now.y;
    if (!m_warp)
        return moved;
    const float tolerance = kWarpPixels / (m_layout.Scale() > 0.0f ? m_layout.Scale() : 1.0f);
    const bool arrived =
        std::fabs(now.x - m_warp->point.x) <= tolerance && std::fabs(now.y - m_warp->point.y) <= tolerance;
    if (arrived || ++m_warp->updates > kWarpUpdates)
        m_warp.reset();
    return moved && !arrived;
}

void CMenuFrame::PointerWarped(MenuPoint point)
{
    m_warp = PendingWarp{point, 0};
}

bool CMenuFrame::HitTest(const MenuRect& rect) const
{
    return !m_locked && m_pointerLeads && rect.Contains(m_keys.Cursor());
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
