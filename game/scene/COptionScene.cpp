// The options screen: nine rows over a copy of the settings.
//
// Sections: layout table; set-up; update (keys, mouse, apply and save);
// drawing.
#include "game/scene/COptionScene.h"

#include "engine/core/FailureLog.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CTexture.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameServices.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuButton.h"
#include "game/scene/MenuScene.h"
#include "game/scene/MenuScreenSheet.h"

#include <algorithm>
#include <cmath>

namespace
{
namespace Sheet = MenuScreenSheet;

// Options, in 1024 x 768 layout units: the labels down the left at a pitch
// of 56 (the confirm row apart), the cursor arrow 44 left of its label, each
// row's buttons at their own places, and the volume rows' buttons and bar.
constexpr float kLabelX = 60.0f;
constexpr float kLabelTop = 128.0f;
constexpr float kRowPitch = 56.0f;
constexpr float kConfirmY = 612.0f;
constexpr float kArrowGap = 44.0f;
constexpr float kFlagColumnX[2] = {492.0f, 636.0f};
constexpr MenuPoint kRadarAt[2] = {{480.0f, 464.0f}, {632.0f, 464.0f}};
constexpr MenuPoint kDifficultyAt[Sheet::kDifficultyCount] = {
    {376.0f, 524.0f}, {464.0f, 524.0f}, {588.0f, 524.0f}, {676.0f, 524.0f}, {828.0f, 524.0f}};
constexpr float kVolumeY[3] = {304.0f, 360.0f, 416.0f};
constexpr float kMinimumX = 404.0f;
constexpr float kMaximumX = 752.0f;
constexpr float kBarX = 452.0f;
constexpr float kBarDrop = 8.0f;
// The underline's pulse: full, dipping by up to 225 over 1.5 s.
constexpr uint32_t kPulsePeriod = 1500;
constexpr float kPulseMiddle = 750.0f;
constexpr float kPulseDip = 0.3f;

// Volume keys move 50 a frame; the option music loops from 7.058 s.
constexpr int32_t kVolumeStep = 50;
constexpr float kMusicLoop = 7.058f;

bool IsVolumeRow(int32_t row)
{
    return row >= COptionScene::ROW_BGM && row <= COptionScene::ROW_VOICE;
}

bool IsFlagRow(int32_t row)
{
    return row >= COptionScene::ROW_FULL_SCREEN && row <= COptionScene::ROW_SHAKE;
}

MenuPoint LabelAt(int32_t row)
{
    return {kLabelX, row == COptionScene::ROW_CONFIRM ? kConfirmY : kLabelTop + kRowPitch * static_cast<float>(row)};
}

MenuRect LabelRect(int32_t row)
{
    const MenuPoint at = LabelAt(row);
    return Sheet::kRowLabels[row].PlacedAt(at.x, at.y);
}

const MenuCell& ButtonCell(int32_t row, int32_t column)
{
    if (row == COptionScene::ROW_RADAR)
        return Sheet::kRadarButtons[column];
    if (row == COptionScene::ROW_DIFFICULTY)
        return Sheet::kDifficultyButtons[column];
    return column == 0 ? Sheet::kOnButton : Sheet::kOffButton;
}

MenuPoint ButtonAt(int32_t row, int32_t column)
{
    if (row == COptionScene::ROW_RADAR)
        return kRadarAt[column];
    if (row == COptionScene::ROW_DIFFICULTY)
        return kDifficultyAt[column];
    return {kFlagColumnX[column], LabelAt(row).y};
}

MenuRect ButtonRect(int32_t row, int32_t column)
{
    const MenuPoint at = ButtonAt(row, column);
    return ButtonCell(row, column).PlacedAt(at.x, at.y);
}

float VolumeY(int32_t row)
{
    return kVolumeY[row - COptionScene::ROW_BGM];
}

MenuRect MinimumRect(int32_t row)
{
    return Sheet::kVolumeMin.PlacedAt(kMinimumX, VolumeY(row));
}

MenuRect MaximumRect(int32_t row)
{
    return Sheet::kVolumeMax.PlacedAt(kMaximumX, VolumeY(row));
}

MenuRect BarRect(int32_t row)
{
    return Sheet::kBarFill.PlacedAt(kBarX, VolumeY(row) + kBarDrop);
}

int32_t Wrap(int32_t value, int32_t count)
{
    return ((value % count) + count) % count;
}

// A settings flag shows in column 0 when set, 1 when clear.
int32_t FlagColumn(uint32_t flag)
{
    return flag == 0 ? 1 : 0;
}
}

// ---------------------------------------------------------------------------
// Set-up

COptionScene::~COptionScene()
{
    Release();
}

int COptionScene::Init(uintptr_t parameter)
{
    const tag_TOLQSCENEPARAM* param = SceneParam(parameter);
    m_background = MenuFade();
    m_foreground = MenuFade();
    m_state = OptionState::FadeIn;
    m_time = 0;
    m_row = 0;
    m_column = 0;
    m_dragRow = 0;
    if (param != nullptr)
    {
        m_state =
            static_cast<OptionState>(std::min<uint32_t>(param->step, static_cast<uint32_t>(OptionState::LeaveToTitle)));
        m_row = static_cast<int32_t>(std::min<uint32_t>(param->item, ROW_CONFIRM));
        m_background.SetLevel(param->fade);
        m_foreground.SetLevel(param->fade2);
    }
    m_texture = MenuScene::FindTexture("Select_01.dds");
    m_music = MenuScene::FindSound("Bgm_option.ogg");
    m_settings = *g_pController->GetGameConfig()->GetData();
    m_column = StoredColumn(m_row);
    return 1;
}

uint32_t COptionScene::Release()
{
    return CResourceBase::Release();
}

void COptionScene::EnterState(OptionState state, OptionState next)
{
    m_state = state;
    m_next = next;
}

// ---------------------------------------------------------------------------
// Update

int COptionScene::Update(uintptr_t)
{
    g_pController->UpdateBackgroundEffect();
    const CMenuLayout layout = MenuScene::Layout();
    m_frame.Begin(layout, MenuScene::ReadKeys(layout), g_pController);
    const uint32_t milliseconds = GetElapsedMilliseconds();
    m_time += milliseconds;
    ReportItems();
    switch (m_state)
    {
    case OptionState::FadeIn:
        g_pController->PlayBgm(m_music, MenuScene::MusicVolume(), MenuScene::kMusicFadeIn, kMusicLoop);
        m_foreground.SetTarget(1.0f);
        if (m_foreground.Step(milliseconds))
            EnterState(OptionState::Input);
        m_background.RaiseTo(m_foreground.Level());
        return 1;
    case OptionState::Input:
        UpdateInput();
        return 1;
    case OptionState::FadeOut:
        m_foreground.SetTarget(0.0f);
        if (m_foreground.Step(milliseconds))
            EnterState(m_next);
        return 1;
    case OptionState::Leave:
    case OptionState::LeaveToTitle:
        MenuScene::FadeOutMusic(m_music);
        EnterState(OptionState::FadeIn);
        return g_pController->ChangeScene(CController::SCENE_TITLE, 3, 1.0f, 5);
    }
    return 1;
}

void COptionScene::UpdateInput()
{
    // A frame that begins with a drag handles nothing else.
    if (UpdateDrag())
        return;
    UpdateRowKeys();
    UpdateColumnKeys();
    UpdateMouse();
    if (m_state != OptionState::Input)
        return;
    UpdateDecide();
    if (m_state != OptionState::Input)
        return;
    if (m_frame.Keys().AnyPressed({MenuKey::Cancel, MenuKey::AltClick}))
    {
        // The copy is dropped.
        m_frame.Play(MenuSound::Cancel);
        EnterState(OptionState::FadeOut, OptionState::LeaveToTitle);
    }
}

void COptionScene::ReportItems()
{
    for (int32_t row = 0; row < ROW_COUNT; ++row)
    {
        const MenuItemState labelState = row == m_row ? MenuItemState::Focused : MenuItemState::Normal;
        m_frame.Report(LabelId(row), LabelRect(row), labelState, Sheet::kRowNames[row]);
        if (IsVolumeRow(row))
        {
            m_frame.Report(MinimumId(row), MinimumRect(row), MenuItemState::Normal, "MIN");
            m_frame.Report(MaximumId(row), MaximumRect(row), MenuItemState::Normal, "MAX");
            m_frame.Report(BarId(row), BarRect(row), MenuItemState::Normal, "bar");
            continue;
        }
        for (int32_t column = 0; column < ColumnCount(row); ++column)
        {
            const bool focused = row == m_row && column == m_column;
            m_frame.Report(ButtonId(row, column), ButtonRect(row, column),
                           focused ? MenuItemState::Focused : MenuItemState::Normal);
        }
    }
}

bool COptionScene::UpdateDrag()
{
    if (!IsVolumeRow(m_dragRow))
        return false;
    if (m_frame.Keys().Held(MenuKey::Click))
        *Volume(m_dragRow) = VolumeFromCursor(m_frame.Keys().Cursor().x);
    else
        m_dragRow = 0;
    return true;
}

void COptionScene::UpdateRowKeys()
{
    const MenuKeys& keys = m_frame.Keys();
    int32_t step = 0;
    if (keys.Pressed(MenuKey::Up))
        step = -1;
    else if (keys.Pressed(MenuKey::Down))
        step = 1;
    if (step == 0)
        return;
    m_row = Wrap(m_row + step, ROW_COUNT);
    m_column = StoredColumn(m_row);
    MenuScene::MoveMouseTo(m_frame, LabelRect(m_row).Centre());
    m_frame.Play(MenuSound::Cursor);
}

void COptionScene::UpdateColumnKeys()
{
    const MenuKeys& keys = m_frame.Keys();
    const int32_t columns = ColumnCount(m_row);
    // Exactly one of these, in this order: a press moves the column of a
    // button row; holding moves a volume (not in the frame the key went
    // down, which the press took).
    if (keys.Pressed(MenuKey::Left) || keys.Pressed(MenuKey::Right))
    {
        if (columns > 1)
            SelectColumn(Wrap(m_column + (keys.Pressed(MenuKey::Left) ? -1 : 1), columns));
        return;
    }
    if (!IsVolumeRow(m_row))
        return;
    int32_t* volume = Volume(m_row);
    if (keys.Held(MenuKey::Left))
        *volume = *volume - kVolumeStep <= kQuietest ? kQuietest : *volume - kVolumeStep;
    else if (keys.Held(MenuKey::Right))
        *volume = *volume + kVolumeStep >= 0 ? 0 : *volume + kVolumeStep;
}

void COptionScene::SelectColumn(int32_t column)
{
    m_column = column;
    MenuScene::MoveMouseTo(m_frame, ButtonRect(m_row, m_column).Centre());
    m_frame.Play(MenuSound::Cursor);
}

void COptionScene::UpdateMouse()
{
    for (int32_t row = 0; row < ROW_COUNT; ++row)
    {
        if (UpdateRowMouse(row))
            return;
    }
}

// True when the pointer is on the row's label (the search ends there).
bool COptionScene::UpdateRowMouse(int32_t row)
{
    const bool click = m_frame.Keys().Pressed(MenuKey::Click);
    if (m_frame.HitTest(LabelRect(row)))
    {
        if (row != m_row)
        {
            m_row = row;
            m_frame.Play(MenuSound::Cursor);
        }
        m_column = StoredColumn(row);
        if (row == ROW_CONFIRM && click)
            ApplyAndSave();
        return true;
    }
    if (IsVolumeRow(row))
    {
        if (!click)
            return false;
        int32_t* volume = Volume(row);
        if (m_frame.HitTest(MinimumRect(row)))
            *volume = kQuietest;
        else if (m_frame.HitTest(MaximumRect(row)))
            *volume = 0;
        else if (m_frame.HitTest(BarRect(row)))
        {
            *volume = VolumeFromCursor(m_frame.Keys().Cursor().x);
            m_dragRow = row;
        }
        else
            return false;
        m_frame.Play(MenuSound::Decide);
        return false;
    }
    for (int32_t column = 0; column < ColumnCount(row); ++column)
    {
        if (!m_frame.HitTest(ButtonRect(row, column)))
            continue;
        if (row != m_row || column != m_column)
        {
            m_row = row;
            m_column = column;
            m_frame.Play(MenuSound::Cursor);
        }
        if (click)
        {
            StoreColumn(row, column);
            m_frame.Play(MenuSound::Decide);
        }
    }
    return false;
}

void COptionScene::UpdateDecide()
{
    if (!m_frame.Keys().Pressed(MenuKey::Decide))
        return;
    if (m_row == ROW_CONFIRM)
    {
        ApplyAndSave();
        return;
    }
    if (IsVolumeRow(m_row))
        return;
    StoreColumn(m_row, m_column);
    m_frame.Play(MenuSound::Decide);
}

void COptionScene::ApplyAndSave()
{
    tag_TOLQGAMECONFIG* live = g_pController->GetGameConfig()->GetData();
    // The display mode changes only when the flag does; a screen that
    // refuses full screen leaves the window, and the copy says so.
    if (m_settings.fullScreen != live->fullScreen && !g_pController->SetFullScreen(m_settings.fullScreen != 0))
        m_settings.fullScreen = 0;
    // Field by field: the live record keeps everything the screen does not
    // edit, its radio-chat table included.
    live->fullScreen = m_settings.fullScreen;
    live->padVibration = m_settings.padVibration;
    live->screenShake = m_settings.screenShake;
    live->bgmVolume = m_settings.bgmVolume;
    live->seVolume = m_settings.seVolume;
    live->voiceVolume = m_settings.voiceVolume;
    live->radarType = m_settings.radarType;
    live->storyDifficulty = m_settings.storyDifficulty;
    // Effect sounds follow at once; the music playing now keeps its volume.
    if (g_pEffectController != nullptr)
        g_pEffectController->GetSoundSettings()->volume = live->seVolume <= kQuietest ? kSilent : live->seVolume;
    if (g_pController->GetGameConfig()->SaveConfig() == 0)
        LogFailure("options", "GameConfig.dat could not be saved; the new settings last until the game ends");
    m_frame.Play(MenuSound::Decide);
    EnterState(OptionState::FadeOut, OptionState::LeaveToTitle);
}

int32_t COptionScene::VolumeFromCursor(float x)
{
    const MenuRect bar = Sheet::kBarFill.PlacedAt(kBarX, 0.0f);
    if (x < bar.left)
        return kQuietest;
    if (x > bar.right)
        return 0;
    const double fraction = (static_cast<double>(x) - bar.left) * -kQuietest / (bar.left - bar.right);
    return static_cast<int32_t>(-(fraction - kQuietest));
}

float COptionScene::GetVolumeFraction(int32_t volume)
{
    if (volume >= 0)
        return 1.0f;
    if (volume <= kSilent)
        return 0.0f;
    return std::fabs(static_cast<float>(kQuietest - volume) / static_cast<float>(kQuietest));
}

int32_t COptionScene::ColumnCount(int32_t row) const
{
    if (IsFlagRow(row) || row == ROW_RADAR)
        return 2;
    if (row == ROW_DIFFICULTY)
        return Sheet::kDifficultyCount;
    return 1;
}

int32_t COptionScene::StoredColumn(int32_t row) const
{
    switch (row)
    {
    case ROW_FULL_SCREEN:
        return FlagColumn(m_settings.fullScreen);
    case ROW_VIBRATION:
        return FlagColumn(m_settings.padVibration);
    case ROW_SHAKE:
        return FlagColumn(m_settings.screenShake);
    case ROW_RADAR:
        return std::min<int32_t>(m_settings.radarType, 1);
    case ROW_DIFFICULTY:
        return std::min<int32_t>(m_settings.storyDifficulty, Sheet::kDifficultyCount - 1);
    default:
        return 0;
    }
}

void COptionScene::StoreColumn(int32_t row, int32_t column)
{
    const uint32_t flag = column == 0 ? 1 : 0;
    switch (row)
    {
    case ROW_FULL_SCREEN:
        m_settings.fullScreen = flag;
        return;
    case ROW_VIBRATION:
        m_settings.padVibration = flag;
        return;
    case ROW_SHAKE:
        m_settings.screenShake = flag;
        return;
    case ROW_RADAR:
        m_settings.radarType = static_cast<uint8_t>(column);
        return;
    case ROW_DIFFICULTY:
        m_settings.storyDifficulty = static_cast<uint8_t>(column);
        return;
    default:
        return;
    }
}

int32_t COptionScene::VolumeOf(int32_t row) const
{
    if (row == ROW_SE)
        return m_settings.seVolume;
    if (row == ROW_VOICE)
        return m_settings.voiceVolume;
    return m_settings.bgmVolume;
}

int32_t* COptionScene::Volume(int32_t row)
{
    if (row == ROW_SE)
        return &m_settings.seVolume;
    if (row == ROW_VOICE)
        return &m_settings.voiceVolume;
    return &m_settings.bgmVolume;
}

// ---------------------------------------------------------------------------
// Drawing

int COptionScene::Render(uintptr_t)
{
    CGraphics* graphics = g_pController->GetGraphics();
    graphics->Begin2D();
    graphics->SetBlendMode(1);
    const CMenuPainter painter(MenuScene::Layout());
    MenuScene::DrawMenuFrame(painter, m_texture, Sheet::kOptionTitle, m_background.Level(), m_foreground.Level());
    for (int32_t row = 0; row < ROW_COUNT; ++row)
        RenderRow(painter, row);
    g_pController->DrawCursor();
    return 1;
}

void COptionScene::RenderRow(const CMenuPainter& painter, int32_t row) const
{
    const uint32_t color = MenuColor(MenuRole::Focused, m_foreground.Level());
    const MenuPoint label = LabelAt(row);
    if (row == m_row)
        painter.Picture(m_texture, Sheet::kRowArrow, {label.x - kArrowGap, label.y}, color);
    painter.Picture(m_texture, Sheet::kRowLabels[row], label, color);
    if (IsVolumeRow(row))
        RenderVolume(painter, row);
    else if (row != ROW_CONFIRM)
        RenderButtons(painter, row);
}

void COptionScene::RenderButtons(const CMenuPainter& painter, int32_t row) const
{
    const int32_t stored = StoredColumn(row);
    for (int32_t column = 0; column < ColumnCount(row); ++column)
    {
        const MenuRole role = column == stored ? MenuRole::Focused : MenuRole::Unfocused;
        painter.Picture(m_texture, ButtonCell(row, column), ButtonAt(row, column),
                        MenuColor(role, m_foreground.Level()));
    }
    if (row == m_row)
        DrawSelectionBar(painter, row, m_column);
}

void COptionScene::RenderVolume(const CMenuPainter& painter, int32_t row) const
{
    const uint32_t color = MenuColor(MenuRole::Focused, m_foreground.Level());
    const float y = VolumeY(row);
    painter.Picture(m_texture, Sheet::kVolumeMin, {kMinimumX, y}, color);
    painter.Picture(m_texture, Sheet::kVolumeMax, {kMaximumX, y}, color);
    painter.Picture(m_texture, Sheet::kBarEmpty, {kBarX, y + kBarDrop}, color);
    const float fraction = GetVolumeFraction(VolumeOf(row));
    painter.PictureStretched(m_texture, Sheet::kBarFill, {kBarX, y + kBarDrop}, fraction, 1.0f, color);
}

void COptionScene::DrawSelectionBar(const CMenuPainter& painter, int32_t row, int32_t column) const
{
    const MenuRect button = ButtonRect(row, column);
    const float pulse =
        m_foreground.Level() * 255.0f - std::fabs(kPulseMiddle - static_cast<float>(m_time % kPulsePeriod)) * kPulseDip;
    painter.PictureStretched(m_texture, Sheet::kUnderline, {button.left, button.bottom},
                             button.Width() / Sheet::kUnderline.Width(), 1.0f,
                             MenuColor(MenuRole::Focused, std::clamp(pulse, 0.0f, 255.0f) / 255.0f));
}
