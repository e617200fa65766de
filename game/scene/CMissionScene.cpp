// The mission scene: the list and its briefing, and the mission's battle.
//
// Sections: set-up and release; the list; the battle; drawing (layout
// table above it).
#include "game/scene/CMissionScene.h"

#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuButton.h"
#include "game/scene/MenuScene.h"
#include "game/scene/MissionSheet.h"
#include "game/scene/ModeBattle.h"
#include "game/story/CMission.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace
{
constexpr const char* kMusicName = "Bgm_custom.ogg";
constexpr uint32_t kListFont = 1;
// The title's ring item of the missions.
constexpr uint32_t kTitleItem = 3;
// What the screen says when nothing can start.
constexpr const char* kNoMission = "ミッションがありません";
constexpr const char* kNoBattle = "このミッションには戦闘の設定がないため開始できません";

// The list screen, in 1024 x 768 layout units (drawing below).
constexpr MenuRect kListPanel{.left = 36, .top = 116, .right = 540, .bottom = 632};
constexpr float kRowX = 64.0f;
constexpr float kRowTop = 148.0f;
constexpr float kRowPitch = 32.0f;
constexpr float kRowWidth = 440.0f;
constexpr float kRowHeight = 30.0f;
// The scroll bar: 20 units inside the panel's top right corner.
constexpr MenuRect kScrollBar{.left = kListPanel.right - 20.0f, .top = kListPanel.top + 20.0f,
                              .right = kListPanel.right - 20.0f + 16.0f, .bottom = kListPanel.top + 20.0f + 438.0f};
constexpr MenuRect kBackButton{.left = 24, .top = 720, .right = 84, .bottom = 760};

MenuRect RowRect(uint32_t row)
{
    return MenuRect::At(kRowX, kRowTop + kRowPitch * static_cast<float>(row), kRowWidth, kRowHeight);
}

CGameConfig* Config()
{
    return g_pController->GetGameConfig();
}
}

// ---------------------------------------------------------------------------
// Set-up and release

CMissionScene::CMissionScene() = default;

CMissionScene::~CMissionScene()
{
    Release();
}

int CMissionScene::Init(uintptr_t parameter)
{
    const tag_TOLQSCENEPARAM* param = SceneParam(parameter);
    m_state = MissionState::List;
    m_step = ListStep::FadeIn;
    m_next = ListStep::Leave;
    m_fades.Resume(param);
    m_clock = 0;
    m_cursor = MissionListCursor();
    m_notice.clear();
    m_noticeLeft = 0;
    if (param != nullptr)
    {
        // A battle needs the list's choice first: a block naming one starts
        // it from the list.
        m_state = param->subState == static_cast<uint32_t>(MissionState::StartBattle) ? MissionState::StartBattle
                                                                                      : MissionState::List;
        m_step = static_cast<ListStep>(std::min<uint32_t>(param->step, static_cast<uint32_t>(ListStep::Leave)));
        m_cursor.selected = param->item;
    }
    m_cursor.Fit(GetMissionCount());
    m_font = MenuScene::Font(kListFont);
    m_texture = MenuScene::FindTexture("Select_01.dds");
    m_music = MenuScene::FindSound(kMusicName);
    return 1;
}

uint32_t CMissionScene::Release()
{
    ModeBattle::Release(m_battle);
    return CResourceBase::Release();
}

uint32_t CMissionScene::GetMissionCount() const
{
    return g_pResourceController != nullptr ? g_pResourceController->GetMissionList()->GetCount() : 0;
}

CMission* CMissionScene::Mission(uint32_t index)
{
    if (g_pResourceController == nullptr || index >= g_pResourceController->GetMissionList()->GetCount())
        return nullptr;
    return g_pResourceController->GetMissionList()->GetItem(index);
}

uint8_t CMissionScene::BestRank(uint32_t index)
{
    const std::vector<tag_TOLQMISSIONRECORD>& records = Config()->GetPlayData()->missions;
    return index < records.size() ? std::min<uint8_t>(records[index].rank, tag_TOLQMISSIONHEADER::kRanks - 1) : 0;
}

int CMissionScene::Update(uintptr_t argument)
{
    switch (m_state)
    {
    case MissionState::List:
    {
        const uint32_t milliseconds = GetElapsedMilliseconds();
        UpdateList(milliseconds);
        if (m_step != ListStep::Leave)
            return 1;
        MenuScene::FadeOutMusic(m_music);
        EnterStep(ListStep::FadeIn);
        return g_pController->ChangeScene(CController::SCENE_TITLE, 3, 1.0f, kTitleItem);
    }
    case MissionState::StartBattle:
        return StartBattle();
    case MissionState::Battle:
        return UpdateBattle(argument);
    }
    return 1;
}

void CMissionScene::EnterStep(ListStep step, ListStep next)
{
    m_step = step;
    m_next = next;
}

void CMissionScene::Notify(const char* utf8)
{
    m_notice = utf8;
    m_noticeLeft = kNoticeMilliseconds;
}

// ---------------------------------------------------------------------------
// The list

void CMissionScene::UpdateList(uint32_t milliseconds)
{
    g_pController->UpdateBackgroundEffect();
    const CMenuLayout layout = MenuScene::Layout();
    m_frame.Begin(layout, MenuScene::ReadKeys(layout), g_pController);
    m_clock += milliseconds;
    m_noticeLeft = m_noticeLeft > milliseconds ? m_noticeLeft - milliseconds : 0;
    switch (m_step)
    {
    case ListStep::FadeIn:
        if (m_fades.StepIn(m_music, milliseconds))
            EnterStep(ListStep::Choosing);
        return;
    case ListStep::Choosing:
        UpdateChoosing();
        return;
    case ListStep::FadeOut:
        if (m_fades.StepOut(milliseconds))
            EnterStep(m_next);
        return;
    case ListStep::Fight:
        MenuScene::FadeOutMusic(m_music);
        EnterStep(ListStep::FadeIn);
        m_state = MissionState::StartBattle;
        return;
    case ListStep::Leave:
        return;
    }
}

void CMissionScene::UpdateChoosing()
{
    const MenuKeys& keys = m_frame.Keys();
    const uint32_t count = GetMissionCount();
    const MenuButtonResult back = MenuButton(m_frame, kBackId, kBackButton, false, "back");
    if (back.hovered && (back.clicked || keys.Held(MenuKey::Decide)))
    {
        m_frame.Play(MenuSound::Cancel);
        EnterStep(ListStep::FadeOut, ListStep::Leave);
        return;
    }
    for (uint32_t row = 0; row < MissionListCursor::kRows && m_cursor.top + row < count; ++row)
    {
        const CMission* mission = Mission(m_cursor.top + row);
        const MenuButtonResult hit = MenuButton(m_frame, kRowId + static_cast<int32_t>(row), RowRect(row),
                                                m_cursor.top + row == m_cursor.selected,
                                                mission != nullptr ? mission->GetName() : "");
        if (!hit.hovered)
            continue;
        m_cursor.PointAt(row, count);
        if (hit.clicked)
        {
            TryToStart(true);
            return;
        }
    }
    m_frame.Report(kScrollBarId, kScrollBar, MenuItemState::Normal, "scroll bar");
    if (keys.Pressed(MenuKey::Up))
        MoveCursor(false);
    else if (keys.Pressed(MenuKey::Down))
        MoveCursor(true);
    else if (keys.Held(MenuKey::Decide))
        TryToStart(keys.Pressed(MenuKey::Decide)); // held keeps asking; a press is told why nothing starts
    else if (keys.Held(MenuKey::Click))
    {
        const MenuPoint pointer = keys.Cursor();
        if (pointer.x >= kScrollBar.left && pointer.x <= kScrollBar.right &&
            m_cursor.Scroll(pointer.y - kScrollBar.top, kScrollBar.Height(), count))
            m_frame.Play(MenuSound::Cursor);
    }
    if (m_step == ListStep::Choosing && keys.AnyPressed({MenuKey::Cancel, MenuKey::AltClick}))
    {
        m_frame.Play(MenuSound::Cancel);
        EnterStep(ListStep::FadeOut, ListStep::Leave);
    }
}

void CMissionScene::TryToStart(bool pressed)
{
    const CMission* mission = Mission(m_cursor.selected);
    if (mission == nullptr || mission->GetBattleOption() == nullptr)
    {
        if (!pressed)
            return;
        m_frame.Play(MenuSound::Error);
        Notify(mission == nullptr ? kNoMission : kNoBattle);
        return;
    }
    m_frame.Play(MenuSound::Decide);
    EnterStep(ListStep::FadeOut, ListStep::Fight);
}

void CMissionScene::MoveCursor(bool down)
{
    const uint32_t count = GetMissionCount();
    if (count == 0)
        return;
    if (down)
        m_cursor.Down(count);
    else
        m_cursor.Up(count);
    m_frame.Play(MenuSound::Cursor);
    MenuScene::MoveMouseTo(m_frame, RowRect(m_cursor.selected - m_cursor.top).Centre());
}

// ---------------------------------------------------------------------------
// The battle

int CMissionScene::StartBattle()
{
    CMission* mission = Mission(m_cursor.selected);
    tag_TOLQBATTLESETTING* setting = mission != nullptr ? mission->GetBattleOption() : nullptr;
    m_state = MissionState::List;
    EnterStep(ListStep::FadeIn);
    if (setting == nullptr)
    {
        Notify(kNoBattle);
        return 1;
    }
    ModeBattle::Release(m_battle);
    setting->mission = 1;
    setting->missionIndex = static_cast<uint16_t>(m_cursor.selected);
    m_battle = ModeBattle::Start(setting, ModeBattle::Mode::Mission, Config());
    if (m_battle == nullptr)
    {
        // The same setting would fail again on every frame.
        LogFailure("mission: the battle can't start", mission->GetName());
        Notify("このミッションの戦闘を開始できません");
        return 1;
    }
    m_state = MissionState::Battle;
    return 1;
}

int CMissionScene::UpdateBattle(uintptr_t argument)
{
    const ModeBattle::Choice choice = ModeBattle::Step(m_battle.get(), argument);
    if (choice == ModeBattle::Choice::Playing)
        return 1;
    // The battle has written its rank, best value and money into the play
    // data: they are kept whatever comes next.
    if (Config()->SaveAll() == 0)
        LogFailure("mission: the records could not be saved", "PlayData.dat");
    if (choice == ModeBattle::Choice::Title)
        return MenuScene::LeaveToTitlePicture(kTitleItem);
    ModeBattle::Release(m_battle);
    m_state = choice == ModeBattle::Choice::Retry ? MissionState::StartBattle : MissionState::List;
    EnterStep(ListStep::FadeIn);
    return 1;
}

// ---------------------------------------------------------------------------
// Drawing

namespace
{
// The list screen, in 1024 x 768 layout units (the list's places are
// above, with the input).
constexpr float kRankIconX = 24.0f;
constexpr float kNumberX = 65.0f;
constexpr float kColonX = 88.0f;
constexpr float kTitleX = 101.0f;
constexpr float kRowTextSize = 20.0f;
constexpr float kThumbHeight = 16.0f;
constexpr MenuRect kRecordPanel{.left = 584, .top = 128, .right = 912, .bottom = 282};
constexpr MenuRect kBriefingPanel{.left = 584, .top = 308, .right = 984, .bottom = 668};
constexpr float kPanelTextX = 604.0f;
constexpr float kPanelValueX = 764.0f;
constexpr float kRecordTop = 152.0f;
constexpr float kRecordPitch = 40.0f;
constexpr float kRecordSize = 22.0f;
constexpr float kBriefingTop = 326.0f;
constexpr float kBriefingSize = 18.0f;
constexpr MenuRect kDescription{.left = 604, .top = 352, .right = 964, .bottom = 440};
// Each detail: its label, then its text (two lines at most) beside it.
constexpr float kDetailsTop = 452.0f;
constexpr float kDetailsPitch = 46.0f;
constexpr float kDetailTextX = 712.0f;
constexpr MenuRect kNotice{.left = 584, .top = 684, .right = 1000, .bottom = 712};
constexpr uint32_t kErrorRed = 0x00FF6060u;

// The icon of a rank: one for ranks 1 to 3, its own for 4, 5 and 6.
const MenuCell* RankIcon(uint8_t rank)
{
    if (rank == 0 || rank >= tag_TOLQMISSIONHEADER::kRanks)
        return nullptr;
    return &MissionSheet::kRankIcon[rank <= 3 ? 0 : rank - 3];
}

std::string Format(const char* format, uint32_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}
}

float CMissionScene::ThumbTop() const
{
    const uint32_t count = GetMissionCount();
    const float travel = kScrollBar.Height() - kThumbHeight;
    return kScrollBar.top + (count > 0 ? static_cast<float>(m_cursor.top) * travel / static_cast<float>(count) : 0.0f);
}

int CMissionScene::Render(uintptr_t argument)
{
    switch (m_state)
    {
    case MissionState::List:
    {
        CGraphics* graphics = g_pController->GetGraphics();
        graphics->Begin2D();
        graphics->SetBlendMode(1);
        RenderList(CMenuPainter(MenuScene::Layout()));
        return 1;
    }
    case MissionState::StartBattle:
        return 1;
    case MissionState::Battle:
        return m_battle != nullptr ? m_battle->Render(argument) : 1;
    }
    return 1;
}

void CMissionScene::RenderList(const CMenuPainter& painter) const
{
    MenuScene::DrawMenuFrame(painter, m_texture, MissionSheet::kTitle, m_fades.background.Level(),
                             m_fades.screen.Level());
    const uint32_t color = MenuColor(MenuRole::Focused, m_fades.screen.Level());
    painter.Frame(m_texture, MissionSheet::kFrameWindow, MissionSheet::kFramePiece, kListPanel, color);
    RenderRows(painter, color);
    RenderScrollBar(painter, color);
    const bool overBack = m_frame.HitTest(kBackButton);
    painter.Picture(m_texture, overBack ? MissionSheet::kLitBack : MissionSheet::kBack,
                    {kBackButton.left, kBackButton.top}, color);
    RenderRecords(painter, color);
    RenderBriefing(painter, color);
    if (m_noticeLeft > 0)
        painter.Text(m_font, kNotice, MenuAnchor::Left, kBriefingSize, (color & 0xFF000000u) | kErrorRed,
                     ToGameText(m_notice).c_str());
    g_pController->DrawCursor();
}

void CMissionScene::RenderRows(const CMenuPainter& painter, uint32_t color) const
{
    const uint32_t count = GetMissionCount();
    for (uint32_t row = 0; row < MissionListCursor::kRows && m_cursor.top + row < count; ++row)
    {
        const uint32_t index = m_cursor.top + row;
        const MenuRect rect = RowRect(row);
        if (index == m_cursor.selected)
            painter.PictureInto(m_texture, MissionSheet::kRowBand, rect,
                                MenuColor(MenuRole::Focused, m_fades.screen.Level() * 0.5f));
        const MenuCell* icon = RankIcon(BestRank(index));
        if (icon != nullptr)
            painter.Picture(m_texture, *icon, {rect.left + kRankIconX, rect.Centre().y}, color, MenuAnchor::Left);
        const float y = rect.Centre().y;
        painter.Text(m_font, {rect.left + kNumberX, y, rect.left + kNumberX, y}, MenuAnchor::Left, kRowTextSize, color,
                     Format("%2.2u", index + 1).c_str());
        painter.Text(m_font, {rect.left + kColonX, y, rect.left + kColonX, y}, MenuAnchor::Left, kRowTextSize, color,
                     ":");
        const CMission* mission = Mission(index);
        if (mission != nullptr)
            painter.Text(m_font, {rect.left + kTitleX, y, rect.left + kTitleX, y}, MenuAnchor::Left, kRowTextSize,
                         color, mission->GetHeader()->title);
    }
}

void CMissionScene::RenderScrollBar(const CMenuPainter& painter, uint32_t color) const
{
    painter.PictureInto(m_texture, MissionSheet::kScrollTrack, kScrollBar, color);
    const float top = ThumbTop();
    painter.PictureInto(m_texture, MissionSheet::kScrollThumb, {kScrollBar.left, top, kScrollBar.right, top + kThumbHeight},
                        color);
}

void CMissionScene::RenderRecords(const CMenuPainter& painter, uint32_t color) const
{
    painter.Frame(m_texture, MissionSheet::kFrameWindow, MissionSheet::kFramePiece, kRecordPanel, color);
    const tag_TOLQPLAYDATA& play = *Config()->GetPlayData();
    const uint32_t selected = m_cursor.selected;
    const uint32_t best = selected < play.missions.size() ? play.missions[selected].value : 0;
    auto line = [&](int row, const char* label, const std::string& value) {
        const float y = kRecordTop + kRecordPitch * static_cast<float>(row);
        painter.Text(m_font, {kPanelTextX, y, kPanelTextX, y}, MenuAnchor::TopLeft, kRecordSize, color, label);
        painter.Text(m_font, {kPanelValueX, y, kPanelValueX, y}, MenuAnchor::TopLeft, kRecordSize, color,
                     ToGameText(value).c_str());
    };
    // A count saved before each mission counted once may be larger.
    const uint32_t missions = GetMissionCount();
    const uint32_t cleared = std::min<uint32_t>(play.clearedMissionCount, missions);
    line(0, GameText("クリア数"), std::to_string(cleared) + " : " + std::to_string(missions));
    line(1, GameText("ハイスコア："), std::to_string(best));
    line(2, GameText("最高ランク："), kRankLetters[BestRank(selected)]);
}

void CMissionScene::RenderBriefing(const CMenuPainter& painter, uint32_t color) const
{
    painter.Frame(m_texture, MissionSheet::kFrameWindow, MissionSheet::kFramePiece, kBriefingPanel, color);
    const CMission* mission = Mission(m_cursor.selected);
    if (mission == nullptr)
        return;
    const tag_TOLQMISSIONHEADER& header = *mission->GetHeader();
    painter.Text(m_font, {kPanelTextX, kBriefingTop, kPanelTextX, kBriefingTop}, MenuAnchor::TopLeft, kBriefingSize,
                 color, GameText("ミッション内容："));
    painter.TextWrapped(m_font, kDescription, kBriefingSize, kBriefingSize, color, header.description);
    struct Detail
    {
        const char* label;
        const char* text;
    };
    const Detail details[] = {{"使用キャラ：", header.characters},
                              {"敵キャラ：", header.enemies},
                              {"制限時間：", header.timeLimit},
                              {"ランク条件：", header.rankCondition}};
    float y = kDetailsTop;
    for (const Detail& detail : details)
    {
        painter.Text(m_font, {kPanelTextX, y, kPanelTextX, y}, MenuAnchor::TopLeft, kBriefingSize, color,
                     GameText(detail.label));
        painter.TextWrapped(m_font, {kDetailTextX, y, kDescription.right, y + kDetailsPitch}, kBriefingSize,
                            kBriefingSize, color, detail.text);
        y += kDetailsPitch;
    }
}
