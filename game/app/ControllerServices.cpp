// The services scenes and the battle reach through the game application:
// music and sounds, the menu background, the pointer, pop-up menus and the
// camera's viewport.
#include "game/app/CController.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/ControllerSheet.h"
#include "game/menu/CMenuLayout.h"
#include "game/menu/CMenuPainter.h"

namespace
{
// Voices are heard in full up to this distance from the listener.
constexpr float kVoiceMinDistance = 1000.0f;
// One-shot sounds do not loop.
constexpr float kNoLoop = -1.0f;

// Pop-up menus, in layout units: a window of this width centred on the
// screen, one row per line at this pitch, text at 24 layout pixels.
constexpr float kMenuWidth = 480.0f;
constexpr float kMenuRowPitch = 40.0f;
constexpr float kMenuPadding = 20.0f;
constexpr float kMenuTextSize = 24.0f;
constexpr uint32_t kMenuFont = 1;
}

// ---------------------------------------------------------------------------
// Music and sounds

int CController::PlayBgm(CSoundBuffer* sound, int32_t volume, int32_t speed, float loopSeconds)
{
    if (sound == nullptr)
        return 0;
    const int32_t music = m_config ? m_config->GetData()->bgmVolume : 0;
    if (music < CSoundBuffer::kQuietestPlayedVolume || sound->IsPlaying())
        return 1;
    sound->PlayWithFade(volume, speed, music, CSoundBuffer::PLAY_LOOPING, loopSeconds, 1);
    return 1;
}

namespace
{
int PlayOnce(CSoundBuffer* sound, int32_t volume)
{
    if (sound == nullptr)
        return 0;
    if (volume < CSoundBuffer::kQuietestPlayedVolume)
        return 1;
    const int voice = sound->PlayWithVolume(volume, 0, kNoLoop, 1);
    if (voice >= 0)
        sound->SetMinDistance(static_cast<uint32_t>(voice), kVoiceMinDistance);
    return 1;
}
}

int CController::PlayVoice(CSoundBuffer* sound)
{
    return PlayOnce(sound, m_config ? m_config->GetData()->voiceVolume : 0);
}

void CController::PlaySelectSound()
{
    PlayOnce(m_selectSound, m_config ? m_config->GetData()->seVolume : 0);
}

void CController::PlayDecideSound()
{
    PlayOnce(m_decideSound, m_config ? m_config->GetData()->seVolume : 0);
}

void CController::PlayCancelSound()
{
    PlayOnce(m_cancelSound, m_config ? m_config->GetData()->seVolume : 0);
}

void CController::PlayMenuSound(MenuSound sound)
{
    switch (sound)
    {
    case MenuSound::Cursor:
        PlaySelectSound();
        return;
    case MenuSound::Decide:
        PlayDecideSound();
        return;
    case MenuSound::Cancel:
    case MenuSound::Error:
        PlayCancelSound();
        return;
    }
}

// ---------------------------------------------------------------------------
// Background, pointer, pop-up menus

void CController::DrawBackground(uint32_t color)
{
    m_graphics->Begin2D();
    m_graphics->SetBlendMode(1);
    const CMenuPainter painter(CMenuLayout::ForGraphics(m_graphics, MenuScaleRule::Menu4x3));
    if (m_background != nullptr)
    {
        const MenuCell screen{
            .left = 0, .top = 0, .right = CMenuLayout::kLayoutWidth, .bottom = CMenuLayout::kLayoutHeight};
        painter.PictureInto(m_background, screen, painter.Layout().Area(), color);
    }
    m_backgroundEffect.Render(painter, m_menuSheet, static_cast<float>(color >> 24) / 255.0f);
}

void CController::UpdateBackgroundEffect()
{
    m_backgroundEffect.Update(GetElapsedMilliseconds());
}

void CController::DrawCursor()
{
    m_graphics->Begin2D();
    m_graphics->SetBlendMode(1);
    const CMenuLayout layout = CMenuLayout::ForGraphics(m_graphics, MenuScaleRule::Menu4x3);
    float mouse[2] = {};
    m_input->GetMousePosition(mouse);
    CMenuPainter(layout).Picture(m_menuSheet, ControllerSheet::kPointer, layout.CursorToLayout({mouse[0], mouse[1]}),
                                 MenuColor(MenuRole::Focused, 1.0f));
}

void CController::DrawMenu(const tag_TOLQMENU* menu)
{
    if (menu == nullptr || menu->itemCount == 0)
        return;
    m_graphics->Begin2D();
    m_graphics->SetBlendMode(1);
    const CMenuPainter painter(CMenuLayout::ForGraphics(m_graphics, MenuScaleRule::Menu4x3));
    const uint32_t titleRows = menu->title != nullptr ? 1 : 0;
    const float height = static_cast<float>(menu->itemCount + titleRows) * kMenuRowPitch + kMenuPadding * 2.0f;
    const MenuRect window = PlaceRect(painter.Layout().Area(), MenuAnchor::Centre, {}, kMenuWidth, height);
    painter.Fill(window, MenuColor(MenuRole::Panel, 1.0f));
    painter.Outline(window, MenuColor(MenuRole::Focused, 1.0f));
    CFontTexture* font = GetFont(kMenuFont);
    const MenuRect firstRow{window.left, window.top + kMenuPadding, window.right,
                            window.top + kMenuPadding + kMenuRowPitch};
    if (menu->title != nullptr)
        painter.Text(font, firstRow, MenuAnchor::Centre, kMenuTextSize, MenuColor(MenuRole::Focused, 1.0f),
                     menu->title);
    for (uint32_t i = 0; i < menu->itemCount; ++i)
    {
        const MenuRect row = firstRow.Offset(0.0f, static_cast<float>(i + titleRows) * kMenuRowPitch);
        const MenuRole role = static_cast<int>(i) == menu->cursor ? MenuRole::Focused : MenuRole::Dimmed;
        painter.Text(font, row, MenuAnchor::Centre, kMenuTextSize, MenuColor(role, 1.0f), menu->items[i]);
    }
}

CFontTexture* CController::GetFont(uint32_t index) const
{
    if (!m_resources || index >= m_resources->GetFontList().GetCount())
        return nullptr;
    return m_resources->GetFontList().GetItem(index);
}

// ---------------------------------------------------------------------------
// The camera's viewport

void CController::SetCameraViewport(CCamera* camera) const
{
    if (camera == nullptr || m_system == nullptr)
        return;
    const uint32_t width = static_cast<uint32_t>(m_system->GetWidth());
    const uint32_t height = static_cast<uint32_t>(m_system->GetHeight());
    // Wider than 4:3 (height / width below 0.75): a 4:3 area of the full
    // height in the middle.
    if (width > 0 && static_cast<float>(height) / static_cast<float>(width) < 0.75f)
    {
        const uint32_t area = height * 4 / 3;
        camera->SetViewport((width - area) / 2, 0, area, height);
        return;
    }
    camera->SetViewport(0, 0, width, height);
}
