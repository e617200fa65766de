#pragma once

#include "tools/config/CConfigPage.h"

// Radar type, story difficulty, friendly fire and the replays kept.
class CGamePage : public CConfigPage
{
public:
    enum ControlId
    {
        ID_RADAR = 200,
        ID_DIFFICULTY,
        ID_FRIENDLY_FIRE,
        ID_REPLAY_SAVE,
        ID_REPLAY_TRACK,
        ID_REPLAY_VALUE,
        ID_LABELS = 300,
    };

    const char* GetTitle() const override { return "Game"; }
    void Fill(const tag_TOLQGAMECONFIG& config) override;
    void Store(tag_TOLQGAMECONFIG* config) const override;
    void OnScroll(int id, int position) override;

protected:
    DialogTemplate MakeTemplate() const override;
};
