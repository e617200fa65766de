#pragma once

#include "tools/config/CConfigPage.h"

#include <string>

// Music, sound-effect and voice volumes, each a slider in decibels (0 dB
// loudest) with an Off box, 3D sound and the number of voices per sound.
class CSoundPage : public CConfigPage
{
public:
    enum ControlId
    {
        ID_BGM_TRACK = 200,
        ID_BGM_VALUE,
        ID_BGM_OFF,
        ID_SE_TRACK,
        ID_SE_VALUE,
        ID_SE_OFF,
        ID_VOICE_TRACK,
        ID_VOICE_VALUE,
        ID_VOICE_OFF,
        ID_SOUND_3D,
        ID_COUNT_TRACK,
        ID_COUNT_VALUE,
        ID_LABELS = 300,
    };

    const char* GetTitle() const override { return "Sound"; }
    void Fill(const tag_TOLQGAMECONFIG& config) override;
    void Store(tag_TOLQGAMECONFIG* config) const override;
    void OnCommand(int id, uint32_t code) override;
    void OnScroll(int id, int position) override;

    // A volume as the page shows it: "-12.5 dB".
    static std::string VolumeText(int volume);

protected:
    DialogTemplate MakeTemplate() const override;

private:
    void FillVolume(int track, int32_t volume);
    void ShowVolume(int track, int volume) const;
    void EnableVolume(int track, bool enable) const;
    int32_t ReadVolume(int track) const;
};
