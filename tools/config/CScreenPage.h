#pragma once

#include "tools/config/CConfigPage.h"

// Full screen, the opening movie and screen shake.
class CScreenPage : public CConfigPage
{
public:
    enum ControlId
    {
        ID_FULL_SCREEN = 200,
        ID_OPENING_MOVIE,
        ID_SCREEN_SHAKE,
    };

    const char* GetTitle() const override { return "Screen"; }
    void Fill(const tag_TOLQGAMECONFIG& config) override;
    void Store(tag_TOLQGAMECONFIG* config) const override;

protected:
    DialogTemplate MakeTemplate() const override;
};
