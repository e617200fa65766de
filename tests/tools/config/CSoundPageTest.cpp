#include "tests/tools/config/ConfigToolFixture.h"

#include "tools/config/CSoundPage.h"

#include <string>

namespace
{
std::string ValueText(DialogWindow* window, int id)
{
    char text[64];
    return window->GetControlText(id, text, sizeof(text)) ? text : "";
}
}

TEST(SoundPageText, VolumesReadInDecibelsWithTheirUnit)
{
    EXPECT_EQ(CSoundPage::VolumeText(0), "0.0 dB");
    EXPECT_EQ(CSoundPage::VolumeText(-1250), "-12.5 dB");
    EXPECT_EQ(CSoundPage::VolumeText(-2999), "-30.0 dB");
}

TEST_F(ConfigTool, OffSilencesAVolumeAndUntickingBringsItsLevelBack)
{
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    ASSERT_TRUE(ShowPage(app, PAGE_SOUND));
    DialogWindow* sound = app->GetPage(PAGE_SOUND)->GetWindow();
    GtkWidget* music = Control(sound, CSoundPage::ID_BGM_TRACK);

    // The user drags the music slider: the label follows in decibels.
    gtk_range_set_value(GTK_RANGE(music), -1250.0);
    Settle(app);
    EXPECT_EQ(ValueText(sound, CSoundPage::ID_BGM_VALUE), "-12.5 dB");

    // Off greys the slider out where it stands and saves silence.
    Click(sound, CSoundPage::ID_BGM_OFF);
    Settle(app);
    EXPECT_FALSE(gtk_widget_get_sensitive(music));
    EXPECT_EQ(sound->GetTrackPosition(CSoundPage::ID_BGM_TRACK), -1250);
    EXPECT_EQ(ValueText(sound, CSoundPage::ID_BGM_VALUE), "-12.5 dB");
    EXPECT_TRUE(SaveScreenshot(app->GetDialog(), Artefact("ConfigSoundOff.png")));
    Click(app->GetDialog(), CConfigMain::ID_APPLY);
    Settle(app);
    tag_TOLQGAMECONFIG saved;
    ASSERT_TRUE(ReadConfig(m_folders.ConfigFile(), &saved));
    EXPECT_EQ(saved.bgmVolume, -10000);
    EXPECT_EQ(saved.seVolume, 0);

    // Unticking it brings the level back.
    Click(sound, CSoundPage::ID_BGM_OFF);
    Settle(app);
    EXPECT_TRUE(gtk_widget_get_sensitive(music));
    Click(app->GetDialog(), CConfigMain::ID_APPLY);
    Settle(app);
    ASSERT_TRUE(ReadConfig(m_folders.ConfigFile(), &saved));
    EXPECT_EQ(saved.bgmVolume, -1250);
}

TEST_F(ConfigTool, AVolumeTooQuietToBePlayedShowsAsOff)
{
    tag_TOLQGAMECONFIG settings;
    SetDefaultGameConfig(&settings);
    settings.seVolume = -3000;
    const std::vector<uint8_t> bytes = EncodeGameConfig(settings);
    TempFolder::Write(m_folders.ConfigFile(), std::string(bytes.begin(), bytes.end()));
    CConfigMain* app = Start();
    ASSERT_NE(app, nullptr);
    DialogWindow* sound = app->GetPage(PAGE_SOUND)->GetWindow();
    EXPECT_TRUE(sound->GetCheck(CSoundPage::ID_SE_OFF));
    EXPECT_FALSE(sound->GetCheck(CSoundPage::ID_BGM_OFF));
}
