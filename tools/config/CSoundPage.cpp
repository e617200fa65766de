#include "tools/config/CSoundPage.h"

namespace
{
constexpr int32_t kLoudest = 0;
constexpr int32_t kQuietest = -3000;
constexpr int32_t kOff = -10000;
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
        page.Add(DialogControlKind::Static, ID_LABELS + i, 24, y + 4, 120, 20, names[i])
            .Add(DialogControlKind::Trackbar, tracks[i], 150, y, 300, 30)
            .Add(DialogControlKind::Static, ValueOf(tracks[i]), 460, y + 4, 60, 20)
            .Add(DialogControlKind::CheckBox, OffOf(tracks[i]), 530, y + 2, 80, 24, "Off");
    }
    const int y = kPageTop + 140;
    page.Add(DialogControlKind::CheckBox, ID_SOUND_3D, 24, y, 300, 24, "3D sound")
        .Add(DialogControlKind::Static, ID_LABELS + 3, 24, y + 44, 120, 20, "Voices per sound")
        .Add(DialogControlKind::Trackbar, ID_COUNT_TRACK, 150, y + 40, 300, 30)
        .Add(DialogControlKind::Static, ID_COUNT_VALUE, 460, y + 44, 60, 20);
    return page;
}

void CSoundPage::FillVolume(int track, int32_t volume)
{
    const bool off = volume < kQuietest;
    Window()->SetTrackRange(track, kQuietest, kLoudest);
    SetTrackValue(track, ValueOf(track), off ? kQuietest : volume);
    Window()->SetCheck(OffOf(track), off);
    Window()->EnableControl(track, !off);
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
            Window()->EnableControl(track, !Window()->GetCheck(id));
    }
}

void CSoundPage::OnScroll(int id, int position)
{
    if (id == ID_BGM_TRACK || id == ID_SE_TRACK || id == ID_VOICE_TRACK || id == ID_COUNT_TRACK)
        ShowNumber(ValueOf(id), position);
}
