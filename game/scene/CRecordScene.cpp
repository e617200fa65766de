// The play-record pages: totals, then one page per selectable character.
//
// Sections: set-up; update and paging; the figures; drawing (layout table
// above it).
#include "game/scene/CRecordScene.h"

#include "engine/core/CkvrPackFile.h"
#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/PlatformClock.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameServices.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/menu/CMenuPainter.h"
#include "game/scene/MenuScene.h"
#include "game/scene/MenuScreenSheet.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace
{
constexpr const char* kPackName = "Data\\RecordData.gpk";
constexpr const char* kPictureName = "Texture\\PlayMemory_%02u.dds";
constexpr float kMusicLoop = 7.717f;
// The record screen steps at a fixed 17 ms a frame.
constexpr uint32_t kFrameTime = 17;
// Pages cross-fade in 0.2 s each way.
constexpr float kPageRate = 5.0f;
constexpr uint32_t kRecordFont = 1;

const uint32_t* Half(const tag_TOLQBATTLERECORD& record, CRecordScene::RecordHalf half)
{
    return half == CRecordScene::RecordHalf::Offline ? record.offline : record.network;
}

uint32_t Percent(uint64_t part, uint64_t whole)
{
    if (whole == 0)
        return 0;
    return static_cast<uint32_t>(static_cast<double>(part) / static_cast<double>(whole) * 100.0);
}
}

// ---------------------------------------------------------------------------
// Set-up

CRecordScene::CRecordScene() = default;

CRecordScene::~CRecordScene()
{
    Release();
}

int CRecordScene::Init(uintptr_t parameter)
{
    const tag_TOLQSCENEPARAM* param = SceneParam(parameter);
    m_background = MenuFade();
    m_foreground = MenuFade();
    m_pageAlpha = MenuFade(0.0f, 0.0f, kPageRate);
    m_state = RecordState::FadeIn;
    m_page = 0;
    m_time = 0;
    if (param != nullptr)
    {
        m_state =
            static_cast<RecordState>(std::min<uint32_t>(param->step, static_cast<uint32_t>(RecordState::LeaveToTitle)));
        m_page = param->item;
        m_background.SetLevel(param->fade);
        m_foreground.SetLevel(param->fade2);
        m_pageAlpha.SetLevel(param->fade3);
    }
    m_font = MenuScene::Font(kRecordFont);
    m_texture = MenuScene::FindTexture("Select_01.dds");
    m_music = MenuScene::FindSound("Bgm_custom.ogg");
    // Without its pictures the screen still shows every figure.
    m_pack = std::make_unique<CkvrPackFile>();
    m_packOpen = m_pack->Open(kPackName) != 0;
    if (m_packOpen)
        return 1;
    LogFailure("records: the pictures' pack can't be opened; the pages show their figures alone", kPackName);
    return 0;
}

uint32_t CRecordScene::Release()
{
    if (m_pack)
    {
        m_pack->Release();
        m_pack.reset();
    }
    if (m_picture)
    {
        m_picture->Release();
        m_picture.reset();
    }
    return CResourceBase::Release();
}

void CRecordScene::EnterState(RecordState state, RecordState next)
{
    m_state = state;
    m_next = next;
}

// ---------------------------------------------------------------------------
// Update and paging

int CRecordScene::Update(uintptr_t)
{
    SetFrameTime(kFrameTime);
    g_pController->UpdateBackgroundEffect();
    const CMenuLayout layout = MenuScene::Layout();
    m_frame.Begin(layout, MenuScene::ReadKeys(layout), g_pController);
    const uint32_t milliseconds = GetElapsedMilliseconds();
    m_time += milliseconds;
    switch (m_state)
    {
    case RecordState::FadeIn:
        g_pController->PlayBgm(m_music, MenuScene::MusicVolume(), MenuScene::kMusicFadeIn, kMusicLoop);
        m_foreground.SetTarget(1.0f);
        if (m_foreground.Step(milliseconds))
            EnterState(RecordState::Input);
        m_background.RaiseTo(m_foreground.Level());
        m_pageAlpha.RaiseTo(m_foreground.Level());
        return 1;
    case RecordState::Input:
        UpdateInput();
        return 1;
    case RecordState::FadeOut:
        m_foreground.SetTarget(0.0f);
        if (m_foreground.Step(milliseconds))
            EnterState(m_next);
        m_pageAlpha.LowerTo(m_foreground.Level());
        return 1;
    case RecordState::PageBack:
    case RecordState::PageForward:
        return TurnPage(milliseconds);
    case RecordState::PageFadeIn:
        m_pageAlpha.SetTarget(1.0f);
        if (m_pageAlpha.Step(milliseconds))
            EnterState(RecordState::Input);
        return 1;
    case RecordState::Leave:
    case RecordState::LeaveToTitle:
        MenuScene::FadeOutMusic(m_music);
        EnterState(RecordState::FadeIn);
        return g_pController->ChangeScene(CController::SCENE_TITLE, 3, 1.0f, 6);
    }
    return 1;
}

uint32_t CRecordScene::LastPage() const
{
    return static_cast<uint32_t>(g_pController->GetGameConfig()->GetRecord()->records.size());
}

void CRecordScene::UpdateInput()
{
    const MenuKeys& keys = m_frame.Keys();
    if (keys.AnyPressed(kPageForwardKeys))
    {
        if (m_page != LastPage())
        {
            m_frame.Play(MenuSound::Cursor);
            EnterState(RecordState::PageForward);
            return;
        }
        m_frame.Play(MenuSound::Cancel);
        EnterState(RecordState::FadeOut, RecordState::Leave);
        return;
    }
    if (!keys.AnyPressed(kPageBackKeys))
        return;
    if (m_page != 0)
    {
        m_frame.Play(MenuSound::Cursor);
        EnterState(RecordState::PageBack);
        return;
    }
    m_frame.Play(MenuSound::Cancel);
    EnterState(RecordState::FadeOut, RecordState::Leave);
}

int CRecordScene::TurnPage(uint32_t milliseconds)
{
    m_pageAlpha.SetTarget(0.0f);
    if (!m_pageAlpha.Step(milliseconds))
        return 1;
    m_page = m_state == RecordState::PageBack ? m_page - 1 : m_page + 1;
    EnterState(RecordState::PageFadeIn);
    if (m_picture)
    {
        m_picture->Release();
        m_picture.reset();
    }
    // Pages past the pictures the pack holds, and every page when the pack
    // could not be opened, show their figures alone.
    if (m_page == 0 || m_page > static_cast<uint32_t>(kPictureCount) || !m_packOpen)
        return 1;
    char name[64];
    std::snprintf(name, sizeof name, kPictureName, m_page);
    m_picture = std::make_unique<CTexture>();
    if (m_picture->CreateFromPack(m_pack.get(), name))
        return 1;
    LogFailure("records: a page's picture can't be loaded", name);
    return 0;
}

// ---------------------------------------------------------------------------
// The figures

uint64_t CRecordScene::SumField(const Records& records, RecordHalf half, RecordField field)
{
    uint64_t sum = 0;
    for (const tag_TOLQBATTLERECORD& record : records)
        sum += Half(record, half)[field];
    return sum;
}

uint64_t CRecordScene::GetBattleTotal(const Records& records, RecordHalf half)
{
    uint64_t total = 0;
    for (RecordField field :
         {FIELD_SOLO_WINS, FIELD_SOLO_LOSSES, FIELD_SOLO_DRAWS, FIELD_TEAM_WINS, FIELD_TEAM_LOSSES, FIELD_TEAM_DRAWS})
        total += SumField(records, half, field);
    return total;
}

uint32_t CRecordScene::GetWinRate(const Records& records, RecordHalf half)
{
    const uint64_t wins = SumField(records, half, FIELD_SOLO_WINS) + SumField(records, half, FIELD_TEAM_WINS);
    return Percent(wins, GetBattleTotal(records, half));
}

uint32_t CRecordScene::GetCharacterWinRate(const tag_TOLQBATTLERECORD& record, RecordHalf half)
{
    return GetWinRate(Records{record}, half);
}

uint32_t CRecordScene::GetHitRate(const Records& records, RecordHalf half, bool shooting)
{
    const uint64_t hits = SumField(records, half, shooting ? FIELD_SHOT_HITS : FIELD_MELEE_HITS);
    const uint64_t attacks = SumField(records, half, shooting ? FIELD_SHOTS : FIELD_MELEE_ATTACKS);
    if (attacks == 0)
        return 0;
    return static_cast<uint32_t>(hits * 100 / attacks);
}

std::string CRecordScene::FormatPlayTime(uint32_t milliseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u:%2.2u:%2.2u", milliseconds / 3600000u, (milliseconds / 60000u) % 60u,
                  (milliseconds / 1000u) % 60u);
    return text;
}

// ---------------------------------------------------------------------------
// Drawing

namespace
{
// Record pages, in 1024 x 768 layout units: labels at the left, figures
// centred on their column, offline at 396 and network at 628, on dark
// stripes.
constexpr float kLabelX = 28.0f;
constexpr float kSingleX = 512.0f;
constexpr float kOfflineX = 396.0f;
constexpr float kNetworkX = 628.0f;
constexpr float kTextSize = 24.0f;
constexpr float kStripeHeight = 40.0f;
constexpr float kTotalsStripes[] = {152.0f, 324.0f, 404.0f, 484.0f, 564.0f, 644.0f};
constexpr float kTotalsStripeRight = 996.0f;
constexpr float kCharacterStripes[] = {196.0f, 276.0f, 356.0f, 436.0f, 516.0f};
constexpr float kCharacterStripeRight = 736.0f;
constexpr MenuRect kRuleLeftCap{.left = 232, .top = 232, .right = 240, .bottom = 240};
constexpr MenuRect kRuleMiddle{.left = 240, .top = 232, .right = 796, .bottom = 240};
constexpr MenuRect kRuleRightCap{.left = 796, .top = 232, .right = 804, .bottom = 240};
constexpr float kOfflineHeadX = 336.0f;
constexpr float kNetworkHeadX = 556.0f;
constexpr float kTotalsHeadY = 248.0f;
constexpr float kCharacterHeadY = 152.0f;
constexpr float kPlayTimeY = 120.0f;
constexpr float kRankY = 160.0f;
constexpr float kWeaponsY = 200.0f;

// What a row of figures shows.
enum class Figure
{
    Battles,
    WinRate,
    Wins,
    Losses,
    SoloWins,
    SoloLosses,
    TeamWins,
    TeamLosses,
    MeleeRate,
    ShotRate,
    Dealt,
    Taken,
};

struct FigureRow
{
    float y;
    const char* label; // UTF-8
    Figure figure;
};

constexpr FigureRow kTotalsRows[] = {
    {292.0f, "勝率", Figure::WinRate},
    {332.0f, "総勝利数", Figure::Wins},
    {372.0f, "総敗北数", Figure::Losses},
    {412.0f, "個人戦勝利数", Figure::SoloWins},
    {452.0f, "個人戦敗北数", Figure::SoloLosses},
    {492.0f, "チーム戦勝利数", Figure::TeamWins},
    {532.0f, "チーム戦敗北数", Figure::TeamLosses},
    {572.0f, "総近接攻撃命中率", Figure::MeleeRate},
    {612.0f, "総射撃攻撃命中率", Figure::ShotRate},
    {652.0f, "総奪ダメージ", Figure::Dealt},
    {692.0f, "総被ダメージ", Figure::Taken},
};

constexpr FigureRow kCharacterRows[] = {
    {204.0f, "使用回数", Figure::Battles},        {244.0f, "勝率", Figure::WinRate},
    {284.0f, "総勝利数", Figure::Wins},           {324.0f, "総敗北数", Figure::Losses},
    {364.0f, "個人戦勝利数", Figure::SoloWins},   {404.0f, "個人戦敗北数", Figure::SoloLosses},
    {444.0f, "チーム戦勝利数", Figure::TeamWins}, {484.0f, "チーム戦敗北数", Figure::TeamLosses},
    {524.0f, "総奪ダメージ", Figure::Dealt},      {564.0f, "総被ダメージ", Figure::Taken},
};

std::string Number(uint64_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64, value);
    return text;
}

std::string Rate(uint32_t percent)
{
    return Number(percent) + "％";
}

// The figure over the records given (all of them, or one character's).
std::string FigureText(Figure figure, const CRecordScene::Records& records, CRecordScene::RecordHalf half)
{
    using R = CRecordScene;
    auto sum = [&](R::RecordField field) { return R::SumField(records, half, field); };
    switch (figure)
    {
    case Figure::Battles:
        return Number(sum(R::FIELD_BATTLES));
    case Figure::WinRate:
        return Rate(R::GetWinRate(records, half));
    case Figure::Wins:
        return Number(sum(R::FIELD_SOLO_WINS) + sum(R::FIELD_TEAM_WINS));
    case Figure::Losses:
        return Number(sum(R::FIELD_SOLO_LOSSES) + sum(R::FIELD_TEAM_LOSSES));
    case Figure::SoloWins:
        return Number(sum(R::FIELD_SOLO_WINS));
    case Figure::SoloLosses:
        return Number(sum(R::FIELD_SOLO_LOSSES));
    case Figure::TeamWins:
        return Number(sum(R::FIELD_TEAM_WINS));
    case Figure::TeamLosses:
        return Number(sum(R::FIELD_TEAM_LOSSES));
    case Figure::MeleeRate:
        return Rate(R::GetHitRate(records, half, false));
    case Figure::ShotRate:
        return Rate(R::GetHitRate(records, half, true));
    case Figure::Dealt:
        return Number(sum(R::FIELD_DAMAGE_DEALT));
    case Figure::Taken:
        return Number(sum(R::FIELD_DAMAGE_TAKEN));
    }
    return std::string();
}

// Weapons counted and open, over the play data's unlock records.
std::string OpenWeapons(const tag_TOLQPLAYDATA& data)
{
    uint64_t counted = 0;
    uint64_t open = 0;
    for (const tag_TOLQUNLOCKDATA& weapon : data.weapons)
    {
        if (weapon.reserved != 0)
            continue;
        ++counted;
        open += weapon.unlocked != 0 || weapon.owned != 0 ? 1 : 0;
    }
    return Number(open) + "/" + Number(counted);
}
}

int CRecordScene::Render(uintptr_t)
{
    CGraphics* graphics = g_pController->GetGraphics();
    graphics->Begin2D();
    graphics->SetBlendMode(1);
    const CMenuPainter painter(MenuScene::Layout());
    MenuScene::DrawMenuFrame(painter, m_texture, MenuScreenSheet::kRecordTitle, m_background.Level(),
                             m_foreground.Level());
    if (m_page == 0)
        DrawTotalsPage(painter);
    else
        DrawCharacterPage(painter);
    return 1;
}

void CRecordScene::DrawStripes(const CMenuPainter& painter, const float* tops, size_t count, float right) const
{
    const uint32_t color = MenuColor(MenuRole::Focused, m_pageAlpha.Level());
    for (size_t i = 0; i < count; ++i)
        painter.PictureInto(m_texture, MenuScreenSheet::kStripe, {kLabelX, tops[i], right, tops[i] + kStripeHeight},
                            color);
}

void CRecordScene::DrawLabel(const CMenuPainter& painter, float y, const char* gameText) const
{
    painter.Text(m_font, {kLabelX, y, kLabelX, y}, MenuAnchor::TopLeft, kTextSize,
                 MenuColor(MenuRole::Focused, m_pageAlpha.Level()), gameText);
}

void CRecordScene::DrawValue(const CMenuPainter& painter, float x, float y, const std::string& utf8) const
{
    painter.Text(m_font, {x, y, x, y}, MenuAnchor::Top, kTextSize, MenuColor(MenuRole::Focused, m_pageAlpha.Level()),
                 ToGameText(utf8).c_str());
}

void CRecordScene::DrawColumnHeads(const CMenuPainter& painter, float y) const
{
    const uint32_t color = MenuColor(MenuRole::Focused, m_pageAlpha.Level());
    painter.Text(m_font, {kOfflineHeadX, y, kOfflineHeadX, y}, MenuAnchor::TopLeft, kTextSize, color,
                 GameText("オフライン"));
    painter.Text(m_font, {kSingleX, y, kSingleX, y}, MenuAnchor::Top, kTextSize, color, GameText("/"));
    painter.Text(m_font, {kNetworkHeadX, y, kNetworkHeadX, y}, MenuAnchor::TopLeft, kTextSize, color,
                 GameText("ネットワーク"));
}

void CRecordScene::DrawTotalsPage(const CMenuPainter& painter) const
{
    const tag_TOLQPLAYRECORD& record = *g_pController->GetGameConfig()->GetRecord();
    const tag_TOLQPLAYDATA& data = *g_pController->GetGameConfig()->GetPlayData();
    DrawStripes(painter, kTotalsStripes, std::size(kTotalsStripes), kTotalsStripeRight);
    const uint32_t color = MenuColor(MenuRole::Focused, m_pageAlpha.Level());
    painter.PictureInto(m_texture, MenuScreenSheet::kRuleLeft, kRuleLeftCap, color);
    painter.PictureInto(m_texture, MenuScreenSheet::kRuleMiddle, kRuleMiddle, color);
    painter.PictureInto(m_texture, MenuScreenSheet::kRuleRight, kRuleRightCap, color);
    // The session running now counts.
    const uint32_t playTime = GetTickMilliseconds() - record.sessionStart + record.totalPlayTime;
    DrawLabel(painter, kPlayTimeY, GameText("総プレイ時間"));
    DrawValue(painter, kSingleX, kPlayTimeY, FormatPlayTime(playTime));
    DrawLabel(painter, kRankY, GameText("プレイヤーランク"));
    DrawValue(painter, kSingleX, kRankY, Number(record.playerRank));
    DrawLabel(painter, kWeaponsY, GameText("武器開放数"));
    DrawValue(painter, kSingleX, kWeaponsY, OpenWeapons(data));
    DrawColumnHeads(painter, kTotalsHeadY);
    for (const FigureRow& row : kTotalsRows)
    {
        DrawLabel(painter, row.y, GameText(row.label));
        DrawValue(painter, kOfflineX, row.y, FigureText(row.figure, record.records, RecordHalf::Offline));
        DrawValue(painter, kNetworkX, row.y, FigureText(row.figure, record.records, RecordHalf::Network));
    }
}

void CRecordScene::DrawCharacterPage(const CMenuPainter& painter) const
{
    const Records& records = g_pController->GetGameConfig()->GetRecord()->records;
    if (m_picture)
    {
        const MenuCell whole{.left = 0, .top = 0, .right = 1024, .bottom = 768};
        painter.Picture(m_picture.get(), whole, {0.0f, 0.0f}, MenuColor(MenuRole::Focused, m_pageAlpha.Level()));
    }
    DrawStripes(painter, kCharacterStripes, std::size(kCharacterStripes), kCharacterStripeRight);
    DrawColumnHeads(painter, kCharacterHeadY);
    if (m_page > records.size())
        return;
    const Records one{records[m_page - 1]};
    for (const FigureRow& row : kCharacterRows)
    {
        DrawLabel(painter, row.y, GameText(row.label));
        DrawValue(painter, kOfflineX, row.y, FigureText(row.figure, one, RecordHalf::Offline));
        DrawValue(painter, kNetworkX, row.y, FigureText(row.figure, one, RecordHalf::Network));
    }
}
