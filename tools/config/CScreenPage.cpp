#include "tools/config/CScreenPage.h"

DialogTemplate CScreenPage::MakeTemplate() const
{
    DialogTemplate page("Screen", kPageWidth, kPageHeight, true);
    page.Add(DialogControlKind::CheckBox, ID_FULL_SCREEN, 24, kPageTop + 8, 300, 24, "Full screen")
        .Add(DialogControlKind::CheckBox, ID_OPENING_MOVIE, 24, kPageTop + 40, 300, 24, "Play the opening movie")
        .Add(DialogControlKind::CheckBox, ID_SCREEN_SHAKE, 24, kPageTop + 72, 300, 24, "Screen shake");
    return page;
}

void CScreenPage::Fill(const tag_TOLQGAMECONFIG& config)
{
    Window()->SetCheck(ID_FULL_SCREEN, config.fullScreen != 0);
    Window()->SetCheck(ID_OPENING_MOVIE, config.openingMovie != 0);
    Window()->SetCheck(ID_SCREEN_SHAKE, config.screenShake != 0);
}

void CScreenPage::Store(tag_TOLQGAMECONFIG* config) const
{
    config->fullScreen = Window()->GetCheck(ID_FULL_SCREEN) ? 1 : 0;
    config->openingMovie = Window()->GetCheck(ID_OPENING_MOVIE) ? 1 : 0;
    config->screenShake = Window()->GetCheck(ID_SCREEN_SHAKE) ? 1 : 0;
}
