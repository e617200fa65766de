// The setup's members page: eight panels, one per player entry, where each
// player picks a character, a seat (their own, a computer or closed) and a
// team, and confirms the panel; leaving it forward prepares the entries
// this side answers for (preview, radio chat, weapons, clothes).
//
// Sections: the panels' layout; rules of the page; update by phase; the
// entries' preparation; drawing.
#include "game/battle/CBattleConfig.h"

#include "engine/core/CkvrVector3.h"
#include "game/actor/CCharacter.h"
#include "engine/render/CTexture.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CClothesDefinition.h"
#include "game/app/CGameConfig.h"
#include "game/battle/SeatRadioChat.h"
#include "game/battle/SetupSheet.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuButton.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

namespace
{
// Members page, in 1024 x 768 layout units: the eight panels (200 x 268),
// two blocks of 2 x 2, and what lies on and around them, relative to a
// panel's top-left corner.
constexpr MenuPoint kPanelAt[CBattleConfig::kPanels] = {{24, 112},  {232, 112}, {24, 388},  {232, 388},
                                                        {592, 112}, {800, 112}, {592, 388}, {800, 388}};
constexpr MenuPoint kDecideAt{452.0f, 612.0f};
constexpr MenuPoint kSeatLeft{-16.0f, 20.0f};
constexpr MenuPoint kSeatRight{60.0f, 20.0f};
constexpr MenuPoint kTeamLeft{68.0f, 236.0f};
constexpr MenuPoint kTeamRight{164.0f, 236.0f};
constexpr MenuPoint kPanelOkAt{28.0f, 236.0f};
constexpr MenuPoint kSeatCellAt{6.0f, 22.0f};
constexpr MenuPoint kComputerSeatCellAt{6.0f, 24.0f};
constexpr MenuPoint kPictureAt{20.0f, 40.0f};
constexpr MenuPoint kNameAt{84.0f, 4.0f};
constexpr MenuPoint kBadgeAt{108.0f, 30.0f};
constexpr MenuPoint kTeamMarkAt{96.0f, 240.0f};
constexpr MenuPoint kConfirmedAt{8.0f, 160.0f};
constexpr MenuPoint kMarkerAt{-4.0f, 272.0f};
// Character icons: a column between the blocks from y 152, at most 60
// apart, that ends above the decide button; a column of more icons than
// that holds at full size shrinks them to fit.
constexpr MenuPoint kIconOrigin{460.0f, 152.0f};
constexpr float kIconPitch = 60.0f;
constexpr float kIconGap = 4.0f;
constexpr float kIconsBottom = kDecideAt.y - 8.0f;
// The edited panel's arrows swing outward by up to this much once a second.
constexpr float kArrowSwing = 4.0f;
constexpr uint32_t kSwingPeriod = 1000;
// The preview faces the setup's camera, which stands at -z looking along
// +z, turned 8 degrees: a fighter faces +z at yaw 0, so half round and 8.
const CkvrVector3 kPreviewRotation(0.0f, 180.0f + 8.0f, 0.0f);

MenuPoint At(int32_t panel, MenuPoint offset)
{
    const MenuPoint& base = kPanelAt[panel];
    return {base.x + offset.x, base.y + offset.y};
}

MenuRect PanelRect(int32_t panel)
{
    return CBattleConfig::SpriteRect(kPanelAt[panel], SetupSheet::kPanels[0]);
}

// Icon index of a column of count icons.
MenuRect IconRect(int32_t index, int32_t count)
{
    const MenuCell& cell = SetupSheet::kCharacterIcons[0];
    const float room = kIconsBottom - kIconOrigin.y + kIconGap;
    const float pitch = std::min(kIconPitch, room / static_cast<float>(std::max(count, 1)));
    const float scale = std::min(1.0f, (pitch - kIconGap) / cell.Height());
    const float width = cell.Width() * scale;
    return MenuRect::At(kIconOrigin.x + (cell.Width() - width) * 0.5f,
                        kIconOrigin.y + pitch * static_cast<float>(index), width, cell.Height() * scale);
}

int32_t PictureOf(const CCharacterDefinition* definition)
{
    if (definition == nullptr)
        return SetupSheet::kRandomPicture;
    return std::min<int32_t>(definition->number, SetupSheet::kRandomPicture - 1);
}
}

// ---------------------------------------------------------------------------
// Rules of the page

bool CBattleConfig::IsSlotStateTaken(int8_t state) const
{
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        if (m_setting->players[i].slotState == state)
            return true;
    }
    return false;
}

bool CBattleConfig::CanAdvanceMembers() const
{
    // A random match's players each choose at their own pace; the match's
    // room decides the rest.
    if (m_randomMatch)
    {
        const tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
        return own != nullptr && (!m_online || own->roomWords[0] != 0);
    }
    std::set<uint8_t> teams;
    int32_t entries = 0;
    bool anyHuman = false;
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        const tag_TOLQBATTLEPLAYER& entry = m_setting->players[i];
        if (entry.IsClosed())
            continue;
        if (entry.IsHuman())
        {
            anyHuman = true;
            if (m_online && entry.roomWords[0] == 0)
                return false;
        }
        ++entries;
        teams.insert(entry.team);
    }
    if (!anyHuman || entries < 2)
        return false;
    const bool enoughSides = teams.size() > 1 || (teams.size() == 1 && m_setting->rules.teamBattle == 0);
    if (!enoughSides)
        return false;
    return !m_online || m_host;
}

bool CBattleConfig::IsPanelEditable(int32_t panel) const
{
    if (panel < 0 || panel >= m_setting->playerCount)
        return false;
    const int8_t state = m_setting->players[panel].slotState;
    if (state == static_cast<int8_t>(m_setting->ownSlot))
        return true;
    // In a random match the room's rules fill the other seats.
    return !m_randomMatch && state >= tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
}

int8_t CBattleConfig::NextSlotState(int8_t state, int32_t direction) const
{
    const int8_t own = static_cast<int8_t>(m_setting->ownSlot);
    auto takes = [&](int8_t value) {
        return (value == own && !IsSlotStateTaken(value)) || value >= tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
    };
    if (direction > 0)
    {
        const int8_t start = state == tag_TOLQBATTLEPLAYER::SLOT_CLOSED ? 0 : static_cast<int8_t>(state + 1);
        for (int8_t value = start; value <= tag_TOLQBATTLEPLAYER::SLOT_CLOSED; ++value)
        {
            if (takes(value))
                return value;
        }
        return tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
    }
    for (int8_t value = static_cast<int8_t>(state - 1); value >= 0; --value)
    {
        if (takes(value))
            return value;
    }
    return tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
}

void CBattleConfig::ChangeSlotState(int32_t panel, int32_t direction)
{
    tag_TOLQBATTLEPLAYER& entry = m_setting->players[panel];
    // Online, a player's own seat stays theirs.
    if (m_online && entry.slotState == static_cast<int8_t>(m_setting->ownSlot))
        return;
    entry.slotState = NextSlotState(entry.slotState, direction);
    Play(MenuSound::Decide);
    SendEntrySummary(panel);
}

void CBattleConfig::SendEntrySummary(int32_t panel)
{
    SendPlayerSummary(m_setting->players[panel], static_cast<uint8_t>(panel));
}

// ---------------------------------------------------------------------------
// Update by phase

void CBattleConfig::UpdateCharacterPage(const SetupInput& input, uint32_t milliseconds)
{
    m_elapsedMs += milliseconds;
    switch (static_cast<MembersPhase>(m_phase))
    {
    case MembersPhase::FadeIn:
        StepFadeIn(milliseconds, Value(MembersPhase::Panels));
        return;
    case MembersPhase::Panels:
        UpdatePanels(input);
        return;
    case MembersPhase::Editing:
        UpdateEditing(input);
        return;
    case MembersPhase::FadeOut:
        if (StepFadeOut(milliseconds))
            m_row = m_column = 0;
        return;
    case MembersPhase::Forward:
        MembersForward();
        return;
    case MembersPhase::Back:
        EnterPage(m_randomMatch ? PAGE_LEAVE : PAGE_MODE);
        for (uint8_t i = 0; i < m_setting->playerCount; ++i)
            m_setting->players[i].roomWords[0] = 0;
        return;
    case MembersPhase::BackMenu:
        RunBackMenu(input, kMembersBack, Value(MembersPhase::Panels), false);
        return;
    }
}

bool CBattleConfig::MovePanelCursor(const SetupInput& input)
{
    const MenuKeys& keys = input.keys;
    const int32_t decideRow = m_setting->playerCount;
    const tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
    const bool toDecide = CanAdvanceMembers() || (m_online && own != nullptr && own->roomWords[0] == 0);
    int32_t row = m_row;
    if (keys.Pressed(MenuKey::Left))
    {
        if (row == 4 || row == 6)
            row = toDecide ? decideRow : row - 3;
        else if (row == 0 || row == 2)
            row += 5;
        else
            row = row == decideRow ? 3 : row - 1;
    }
    else if (keys.Pressed(MenuKey::Right))
    {
        if (row == 1 || row == 3)
            row = toDecide ? decideRow : row + 3;
        else if (row == 5 || row == 7)
            row -= 5;
        else
            row = row == decideRow ? 6 : row + 1;
    }
    else if (keys.Pressed(MenuKey::Up) || keys.Pressed(MenuKey::Down))
    {
        if (row != decideRow)
            row = (row % 4) < 2 ? row + 2 : row - 2;
    }
    else
    {
        return false;
    }
    m_row = row;
    Play(MenuSound::Cursor);
    MoveMouseTo(row == decideRow ? GetSpriteCenter(kDecideAt, SetupSheet::kDecide) : PanelRect(row).Centre());
    return true;
}

void CBattleConfig::UpdatePanels(const SetupInput& input)
{
    if (m_chatOpen)
    {
        UpdateChatLine(input);
        return;
    }
    if (ChatKeyOpensLine(input))
        return;
    const int32_t decideRow = m_setting->playerCount;
    const int32_t panels = std::min<int32_t>(kPanels, m_setting->playerCount);
    int32_t hovered = -1;
    for (int32_t panel = 0; panel < panels; ++panel)
    {
        // A random match's player has its own panel only.
        if (m_randomMatch && panel != GetOwnIndex())
            continue;
        if (MenuButton(m_frame, kMemberPanelId + panel, PanelRect(panel), m_row == panel).hovered)
            hovered = panel;
    }
    const MenuButtonResult decide =
        MenuButton(m_frame, kMembersDecideId, SpriteRect(kDecideAt, SetupSheet::kDecide), m_row == decideRow, "decide");
    // A key wins over the mouse this frame: it moves the mouse onto the
    // panel it chose.
    if (MovePanelCursor(input))
        return;
    bool unconfirmed = false;
    if (hovered >= 0 && IsPanelEditable(hovered))
    {
        if (m_row != hovered)
            Play(MenuSound::Cursor);
        m_row = hovered;
    }
    if (m_row < decideRow && IsPanelEditable(m_row))
    {
        tag_TOLQBATTLEPLAYER& entry = m_setting->players[m_row];
        const bool overRow = m_frame.HitTest(PanelRect(m_row));
        if ((DecidePressed(input) || (Clicked(input) && overRow)) && entry.roomWords[0] == 0)
        {
            Play(MenuSound::Decide);
            EnterPhase(MembersPhase::Editing);
            return;
        }
        if ((input.keys.Pressed(MenuKey::Cancel) || (AltClicked(input) && overRow)) && entry.roomWords[0] != 0)
        {
            // Unconfirming is local: the panel is sent again when edited.
            Play(MenuSound::Cancel);
            entry.roomWords[0] = 0;
            unconfirmed = true;
        }
    }
    const tag_TOLQBATTLEPLAYER* own = GetOwnEntry();
    const bool canAdvance = CanAdvanceMembers();
    const bool ownOpen = m_online && own != nullptr && own->roomWords[0] == 0;
    if (decide.hovered && m_row != decideRow && (canAdvance || ownOpen))
    {
        Play(MenuSound::Cursor);
        m_row = decideRow;
    }
    if (m_row == decideRow && (DecidePressed(input) || decide.clicked))
    {
        if (canAdvance)
        {
            Play(MenuSound::Decide);
            ChangePage(kMembersForward);
            return;
        }
        if (ownOpen)
        {
            Play(MenuSound::Decide);
            GetOwnEntry()->roomWords[0] = 1;
            SendEntrySummary(GetOwnIndex());
        }
    }
    if ((m_online && !m_host && !m_randomMatch) || unconfirmed || !CancelPressed(input))
        return;
    if (m_online)
    {
        OpenBackMenu(Value(MembersPhase::BackMenu));
        return;
    }
    Play(MenuSound::Cancel);
    ChangePage(kMembersBack);
}

void CBattleConfig::UpdateEditing(const SetupInput& input)
{
    const int32_t panel = m_row;
    if (CancelPressed(input) || !IsPanelEditable(panel))
    {
        Play(MenuSound::Cancel);
        EnterPhase(MembersPhase::Panels);
        return;
    }
    tag_TOLQBATTLEPLAYER& entry = m_setting->players[panel];
    const int8_t count = static_cast<int8_t>(entry.characterCount);
    const MenuKeys& keys = input.keys;
    if (keys.Pressed(MenuKey::Up) || keys.Pressed(MenuKey::Down))
    {
        const int8_t step = keys.Pressed(MenuKey::Up) ? -1 : 1;
        const int8_t next = static_cast<int8_t>(entry.character + step);
        entry.character = next < 0 ? count : (next > count ? 0 : next);
        Play(MenuSound::Cursor);
        SendEntrySummary(panel);
    }
    if (keys.Pressed(MenuKey::Right) || keys.Pressed(MenuKey::Left))
        ChangeSlotState(panel, keys.Pressed(MenuKey::Right) ? 1 : -1);

    const bool team = m_setting->rules.teamBattle != 0;
    const MenuButtonResult seatLeft =
        MenuButton(m_frame, kSeatLeftId, SpriteRect(At(panel, kSeatLeft), SetupSheet::kSmallArrow), false, "seat left");
    const MenuButtonResult seatRight = MenuButton(m_frame, kSeatRightId,
                                                  SpriteRect(At(panel, kSeatRight), SetupSheet::kSmallArrow), false,
                                                  "seat right");
    const MenuButtonResult ok =
        MenuButton(m_frame, kPanelOkId, SpriteRect(At(panel, kPanelOkAt), SetupSheet::kPanelOk), false, "ok");
    std::vector<MenuButtonResult> icons;
    for (int32_t i = 0; i <= count; ++i)
        icons.push_back(MenuButton(m_frame, kCharacterIconId + i, IconRect(i, count + 1), i == entry.character));
    MenuButtonResult teamLeft, teamRight;
    if (team)
    {
        teamLeft = MenuButton(m_frame, kTeamLeftId, SpriteRect(At(panel, kTeamLeft), SetupSheet::kSmallArrow), false,
                              "team left");
        teamRight = MenuButton(m_frame, kTeamRightId, SpriteRect(At(panel, kTeamRight), SetupSheet::kSmallArrow),
                               false, "team right");
    }
    const bool overDecide = m_frame.HitTest(SpriteRect(kDecideAt, SetupSheet::kDecide));
    if (!DecidePressed(input) && !Clicked(input))
        return;
    bool hit = false;
    if (seatLeft.hovered || seatRight.hovered)
    {
        ChangeSlotState(panel, seatRight.hovered ? 1 : -1);
        hit = true;
    }
    if (entry.IsClosed())
        return;
    for (int32_t i = 0; i <= count; ++i)
    {
        if (!icons[static_cast<size_t>(i)].hovered)
            continue;
        entry.character = static_cast<int8_t>(i);
        Play(MenuSound::Decide);
        SendEntrySummary(panel);
        hit = true;
    }
    if (teamLeft.hovered || teamRight.hovered)
    {
        const int32_t step = teamRight.hovered ? 1 : 3;
        entry.team = static_cast<uint8_t>((entry.team % SetupSheet::kTeams + step) % SetupSheet::kTeams);
        Play(MenuSound::Decide);
        SendEntrySummary(panel);
        hit = true;
    }
    if (ok.hovered || overDecide || !hit)
    {
        Play(MenuSound::Decide);
        EnterPhase(MembersPhase::Panels);
        entry.roomWords[0] = 1;
        SendEntrySummary(panel);
    }
}

// ---------------------------------------------------------------------------
// The entries' preparation

void CBattleConfig::MembersForward()
{
    EnterPage(m_randomMatch ? PAGE_WEAPONS : PAGE_RULES);
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        tag_TOLQBATTLEPLAYER& entry = m_setting->players[i];
        // A random match seats players only: the room's rules fill the rest.
        if (m_online && m_randomMatch && !entry.IsHuman())
            entry.slotState = tag_TOLQBATTLEPLAYER::SLOT_CLOSED;
        entry.roomWords[0] = 0;
        const bool otherSeat = entry.IsHuman() && entry.slotState != static_cast<int8_t>(m_setting->ownSlot);
        const bool peerComputer = m_online && !m_host && entry.slotState == tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
        if (entry.IsClosed() || otherSeat || peerComputer)
            continue;
        PrepareEntry(&entry);
    }
}

void CBattleConfig::PrepareEntry(tag_TOLQBATTLEPLAYER* entry)
{
    if (entry->preview != nullptr)
    {
        entry->preview->ReleaseModel();
        delete entry->preview;
        entry->preview = nullptr;
    }
    int32_t c = entry->character;
    if (c >= static_cast<int32_t>(entry->characterCount) || c < 0)
    {
        entry->randomCharacter = DrawSeatRandom(*entry);
        c = entry->randomCharacter;
    }
    const CCharacterDefinition* definition = CharacterAt(c);
    if (definition == nullptr)
        return;
    entry->preview = new CCharacter(definition);
    const bool human = entry->IsHuman();
    tag_TOLQCHARAPLAYDATA* play = m_config != nullptr ? m_config->GetCharacterData(static_cast<uint32_t>(c)) : nullptr;
    GiveSeatRadioChat(*entry, static_cast<uint32_t>(c), *definition,
                      m_config != nullptr ? m_config->GetData() : nullptr);
    for (uint32_t k = 0; k < tag_TOLQBATTLEPLAYER::kClothes; ++k)
    {
        entry->clothes[k] = human && play != nullptr ? play->clothes[k] : definition->defaultClothes[k];
        for (const CClothesDefinition* clothes : m_data.clothes)
        {
            if (entry->clothes[k][0] != '\0' && std::strcmp(clothes->name, entry->clothes[k]) == 0)
                entry->preview->SetClothes(clothes);
        }
    }
    const bool ownWeapons = human && play != nullptr && m_setting->rules.defaultWeapons == 0;
    for (uint32_t k = 0; k < tag_TOLQBATTLEPLAYER::kWeapons; ++k)
        entry->weapons[k] = ownWeapons ? play->weapons[k] : definition->defaultWeapons[k];
    entry->preview->Create(0);
    entry->preview->SetRotation(&kPreviewRotation);
    entry->preview->UpdateWorldMatrix();
}

// ---------------------------------------------------------------------------
// Drawing

void CBattleConfig::RenderCharacterPage(const CMenuPainter& painter)
{
    const uint32_t color = PageColor();
    DrawHeading(painter, PAGE_MEMBERS, color);
    const bool team = m_setting->rules.teamBattle != 0;
    for (int32_t panel = 0; panel < kPanels; ++panel)
    {
        const bool exists = panel < m_setting->playerCount;
        const tag_TOLQBATTLEPLAYER* entry = exists ? &m_setting->players[panel] : nullptr;
        const bool closed = entry == nullptr || entry->IsClosed();
        const int kind = closed ? SetupSheet::kClosedPanel : (team ? entry->team % SetupSheet::kTeams : 0);
        painter.Picture(m_texture, SetupSheet::kPanels[kind], kPanelAt[panel], color);
        const int seat = closed ? SetupSheet::kClosedSeat : std::min<int>(entry->slotState, SetupSheet::kComputerSeat);
        painter.Picture(m_texture, SetupSheet::kSeats[seat],
                        At(panel, seat == SetupSheet::kComputerSeat ? kComputerSeatCellAt : kSeatCellAt), color);
        if (panel == m_row)
        {
            DrawFocusFrame(painter, PanelRect(panel));
            painter.Picture(m_texture, SetupSheet::kPanelMarker, At(panel, kMarkerAt), color);
        }
        if (closed)
            continue;
        const bool random = entry->character >= static_cast<int8_t>(entry->characterCount);
        const int picture = random ? SetupSheet::kRandomPicture : PictureOf(CharacterAt(entry->character));
        painter.Picture(m_texture, SetupSheet::kCharacterArt[picture], At(panel, kPictureAt), color);
        painter.Picture(m_texture, SetupSheet::kCharacterNames[picture], At(panel, kNameAt), color);
        if (const CCharacterDefinition* definition = random ? nullptr : CharacterAt(entry->character))
            painter.Picture(m_texture, SetupSheet::kElementMarks[definition->element % SetupSheet::kElements],
                            At(panel, kBadgeAt), color);
        if (team)
            painter.Picture(m_texture, SetupSheet::kTeamMarks[entry->team % SetupSheet::kTeams], At(panel, kTeamMarkAt),
                            color);
        if (entry->roomWords[0] != 0)
            painter.Picture(m_texture, SetupSheet::kConfirmedMark, At(panel, kConfirmedAt), color);
    }
    const MenuPoint mouse = m_frame.Keys().Cursor();
    // Lit under a leading pointer, and where the keys put the cursor (they
    // move the pointer there too, but a pointer the screen moved does not
    // lead).
    const bool keysOnDecide = !m_frame.PointerLeads() && !m_frame.IsLocked() && m_row == m_setting->playerCount;
    const bool litDecide = keysOnDecide || HitTestSprite(kDecideAt, SetupSheet::kDecide, mouse);
    painter.Picture(m_texture, litDecide ? SetupSheet::kDecideHover : SetupSheet::kDecide, kDecideAt, color);
    if (InPhase(MembersPhase::Editing) && m_row < m_setting->playerCount)
    {
        const int32_t panel = m_row;
        const float swing = kArrowSwing * std::fabs(std::sin(static_cast<float>(m_elapsedMs % kSwingPeriod) /
                                                             static_cast<float>(kSwingPeriod) * 3.14159265f));
        auto arrow = [&](MenuPoint offset, bool right) {
            const MenuPoint at = At(panel, offset);
            const bool hovered = HitTestSprite(at, SetupSheet::kSmallArrow, mouse);
            painter.Picture(m_texture, hovered ? SetupSheet::kSmallArrowHover : SetupSheet::kSmallArrow,
                            {at.x + (right ? swing : -swing), at.y}, color, MenuAnchor::TopLeft, 1.0f,
                            right ? KVRDRAWFLIP_NONE : KVRDRAWFLIP_HORIZONTAL);
        };
        arrow(kSeatLeft, false);
        arrow(kSeatRight, true);
        if (team)
        {
            arrow(kTeamLeft, false);
            arrow(kTeamRight, true);
        }
        const MenuPoint okAt = At(panel, kPanelOkAt);
        painter.Picture(m_texture,
                        HitTestSprite(okAt, SetupSheet::kPanelOk, mouse) ? SetupSheet::kPanelOkHover : SetupSheet::kPanelOk,
                        okAt, color);
        const tag_TOLQBATTLEPLAYER& entry = m_setting->players[panel];
        const int32_t icons = entry.characterCount + 1;
        for (int32_t i = 0; i < icons; ++i)
        {
            const int icon = i == entry.characterCount ? SetupSheet::kRandomPicture : PictureOf(CharacterAt(i));
            painter.PictureInto(m_texture, SetupSheet::kCharacterIcons[icon], IconRect(i, icons), color);
            if (i == entry.character)
                DrawFocusFrame(painter, IconRect(i, icons));
        }
    }
    DrawChat(painter, color);
    DrawMatchingStatus(color);
}
