#include "tools/config/CSoundPage.h"

#include "engine/platform/sound/CSoundBuffer.h"

#include <cstdio>

namespace
{
// Volumes are hundredths of a decibel. The slider runs over the levels the
// game plays at; anything quieter is silence, which is what Off stands for.
constexpr int32_t kLoudest = 0;
constexpr int32_t kQuietest = CSoundBuffer::kQuietestPlayedVolume;
constexpr int32_t kOff = -10000;
// Where a volume that was saved as off starts when Off is unticked.
constexpr int32_t kLevelAfterOff = kLoudest;
// The arrow keys move a volume by 0.1 dB, Page Up and Down by 1 dB.
constexpr int kVolumeStep = 10;
constexpr int kVolumePage = 100;
constexpr int kMaxVoices = 32;

// The value label and the off box follow their slider's id.
constexpr int ValueOf(int track) { return track + 1; }
constexpr int OffOf(int track) { return track + 2; }
}

DialogTemplate CSoundPage::MakeTemplate() const
{
    DialogTemplate page("Sound", kPageWidth, kPageHeight, true);
    const char* names[] = {"Music", "Sound effects", "Voices"};
    const int tracks[] = {ID_BGM_TRACK, ID_SE_TRACK, ID_VOICE_TRACK};
    for (int i = 0; i < 3; ++i)
    {
        const int y = kPageTop + 8 + i * 40;
        page.Add(DialogControlKind::Static, ID_LABELS + i, 24, y + 7, 120, 20, names[i])
            .Add(DialogControlKind::Trackbar, tracks[i], 150, y, 300, kControlHeight)
            .Add(DialogControlKind::Static, ValueOf(tracks[i]), 460, y + 7, 80, 20)
            .Add(DialogControlKind::CheckBox, OffOf(tracks[i]), 550, y + 5, 80, 24, "Off")
            .Tooltip("Silences it; unticking brings back the level on the slider");
    }
    const int y = kPageTop + 140;
    page.Add(DialogControlKind::CheckBox, ID_SOUND_3D, 24, y, 300, 24, "3D sound")
        .Add(DialogControlKind::Static, ID_LABELS + 3, 24, y + 47, 120, 20, "Voices per sound")
        .Add(DialogControlKind::Trackbar, ID_COUNT_TRACK, 150, y + 40, 300, kControlHeight)
        .Add(DialogControlKind::Static, ID_COUNT_VALUE, 460, y + 47, 60, 20);
    return page;
}

std::string CSoundPage::VolumeText(int volume)
{
    char text[24];
    std::snprintf(text, sizeof(text), "%.1f dB", static_cast<double>(volume) / 100.0);
    return text;
}

void CSoundPage::ShowVolume(int track, int volume) const
{
    Window()->SetControlText(ValueOf(track), VolumeText(volume).c_str());
}

void CSoundPage::FillVolume(int track, int32_t volume)
{
    const bool off = volume < kQuietest;
    const int level = off ? kLevelAfterOff : (volume > kLoudest ? kLoudest : volume);
    Window()->SetTrackRange(track, kQuietest, kLoudest);
    Window()->SetTrackSteps(track, kVolumeStep, kVolumePage);
    Window()->SetTrackPosition(track, level);
    ShowVolume(track, level);
    Window()->SetCheck(OffOf(track), off);
    EnableVolume(track, !off);
}

// Off greys the slider and its level out but leaves both where they are,
// so that unticking it brings the same level back.
void CSoundPage::EnableVolume(int track, bool enable) const
{
    Window()->EnableControl(track, enable);
    Window()->EnableControl(ValueOf(track), enable);
}

int32_t CSoundPage::ReadVolume(int track) const
{
    if (Window()->GetCheck(OffOf(track)))
        return kOff;
    return Window()->GetTrackPosition(track);
}

void CSoundPage::Fill(const tag_TOLQGAMECONFIG& config)
{
    FillVolume(ID_BGM_TRACK, config.bgmVolume);
    FillVolume(ID_SE_TRACK, config.seVolume);
    FillVolume(ID_VOICE_TRACK, config.voiceVolume);
    Window()->SetCheck(ID_SOUND_3D, config.sound3D != 0);
    Window()->SetTrackRange(ID_COUNT_TRACK, 1, kMaxVoices);
    const int count = config.soundCount > kMaxVoices ? kMaxVoices : static_cast<int>(config.soundCount);
    SetTrackValue(ID_COUNT_TRACK, ID_COUNT_VALUE, count);
}

void CSoundPage::Store(tag_TOLQGAMECONFIG* config) const
{
    config->bgmVolume = ReadVolume(ID_BGM_TRACK);
    config->seVolume = ReadVolume(ID_SE_TRACK);
    config->voiceVolume = ReadVolume(ID_VOICE_TRACK);
    config->sound3D = Window()->GetCheck(ID_SOUND_3D) ? 1 : 0;
    config->soundCount = static_cast<uint32_t>(Window()->GetTrackPosition(ID_COUNT_TRACK));
}

void CSoundPage::OnCommand(int id, uint32_t code)
{
    (void)code;
    for (int track : {ID_BGM_TRACK, ID_SE_TRACK, ID_VOICE_TRACK})
    {
        if (id == OffOf(track))
            EnableVolume(track, !Window()->GetCheck(id));
    }
}

void CSoundPage::OnScroll(int id, int position)
{
    if (id == ID_BGM_TRACK || id == ID_SE_TRACK || id == ID_VOICE_TRACK)
        ShowVolume(id, position);
    else if (id == ID_COUNT_TRACK)
        ShowNumber(ID_COUNT_VALUE, position);
}
