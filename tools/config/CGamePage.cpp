#include "tools/config/CGamePage.h"

namespace
{
const char* const kRadarTypes[] = {"Fixed", "Rotating"};
const char* const kDifficulties[] = {"Easy", "Normal", "Hard", "VeryHard", "Nightmare"};
constexpr int kMaxReplays = 99;

int Selection(int index, int count)
{
    return index >= 0 && index < count ? index : 0;
}
}

DialogTemplate CGamePage::MakeTemplate() const
{
    DialogTemplate page("Game", kPageWidth, kPageHeight, true);
    const int y = kPageTop + 8;
    page.Add(DialogControlKind::Static, ID_LABELS, 24, y + 7, 140, 20, "Radar")
        .Add(DialogControlKind::ComboBox, ID_RADAR, 170, y, 180, kControlHeight)
        .Add(DialogControlKind::Static, ID_LABELS + 1, 24, y + 47, 140, 20, "Story difficulty")
        .Add(DialogControlKind::ComboBox, ID_DIFFICULTY, 170, y + 40, 180, kControlHeight)
        .Add(DialogControlKind::CheckBox, ID_FRIENDLY_FIRE, 24, y + 84, 300, 24, "Friendly fire")
        .Add(DialogControlKind::CheckBox, ID_REPLAY_SAVE, 24, y + 116, 300, 24, "Save replays")
        .Add(DialogControlKind::Static, ID_LABELS + 2, 24, y + 159, 140, 20, "Replays kept")
        .Add(DialogControlKind::Trackbar, ID_REPLAY_TRACK, 170, y + 152, 300, kControlHeight)
        .Add(DialogControlKind::Static, ID_REPLAY_VALUE, 480, y + 159, 60, 20);
    return page;
}

void CGamePage::Fill(const tag_TOLQGAMECONFIG& config)
{
    Window()->ClearComboItems(ID_RADAR);
    for (const char* name : kRadarTypes)
        Window()->AddComboItem(ID_RADAR, name);
    Window()->SetComboSelection(ID_RADAR, Selection(config.radarType, 2));
    Window()->ClearComboItems(ID_DIFFICULTY);
    for (const char* name : kDifficulties)
        Window()->AddComboItem(ID_DIFFICULTY, name);
    Window()->SetComboSelection(ID_DIFFICULTY, Selection(config.storyDifficulty, 5));
    Window()->SetCheck(ID_FRIENDLY_FIRE, config.friendlyFire != 0);
    Window()->SetCheck(ID_REPLAY_SAVE, config.replaySave != 0);
    Window()->SetTrackRange(ID_REPLAY_TRACK, 1, kMaxReplays);
    SetTrackValue(ID_REPLAY_TRACK, ID_REPLAY_VALUE, config.replayCount);
}

void CGamePage::Store(tag_TOLQGAMECONFIG* config) const
{
    config->radarType = static_cast<uint8_t>(Selection(Window()->GetComboSelection(ID_RADAR), 2));
    config->storyDifficulty = static_cast<uint8_t>(Selection(Window()->GetComboSelection(ID_DIFFICULTY), 5));
    config->friendlyFire = Window()->GetCheck(ID_FRIENDLY_FIRE) ? 1 : 0;
    config->replaySave = Window()->GetCheck(ID_REPLAY_SAVE) ? 1 : 0;
    config->replayCount = static_cast<uint8_t>(Window()->GetTrackPosition(ID_REPLAY_TRACK));
}

void CGamePage::OnScroll(int id, int position)
{
    if (id == ID_REPLAY_TRACK)
        ShowNumber(ID_REPLAY_VALUE, position);
}
