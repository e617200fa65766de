// The replay list and the playback of a chosen file.
//
// Sections: set-up and the rows; update, one function per state; playback;
// drawing (layout table above it).
#include "game/scene/CReplayScene.h"

#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "game/actor/CActorResources.h"
#include "game/app/CController.h"
#include "game/app/GameServices.h"
#include "game/app/SaveFolder.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/BattleGameData.h"
#include "game/battle/CReplay.h"
#include "game/battle/ReplaySettingBlock.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuButton.h"
#include "game/scene/MenuScene.h"
#include "game/scene/MenuScreenSheet.h"
#include "game/scene/ReplaySheet.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
constexpr const char* kProduct = "QOR";
constexpr uint32_t kSaveFolderBytes = 512;
constexpr uint32_t kListFont = 1;
// The title's ring item of this scene.
constexpr uint32_t kRingItem = 8;
// The title's picture, after a playback's "タイトルに戻る".

// Texts of the list (UTF-8; converted once through GameText).
constexpr const char* kDamagedText = "--------";
constexpr const char* kOtherVersionText = "バージョンが違います";
constexpr const char* kUnplayableText = "再生できません";
constexpr const char* kBackText = "戻る";
constexpr const char* kModeTexts[CReplayScene::kModeCount] = {"対戦", "ネットワーク", "ストーリー", "ミッション"};

// The battle's menus: the same items after a win, a loss or a draw.
constexpr const char* kEndItems[] = {"もう一度再生する", "選択画面に戻る", "タイトルに戻る"};
constexpr int8_t kEndCodes[] = {RESULT_RETRY, RESULT_REPLAY_SELECT, RESULT_TITLE};
constexpr const char* kPauseItems[] = {"対戦に戻る", "もう一度再生する", "選択画面に戻る", "タイトルに戻る"};
constexpr int8_t kPauseCodes[] = {RESULT_RESUME, RESULT_RETRY, RESULT_REPLAY_SELECT, RESULT_TITLE};

// The menus' texts in the font's encoding, made once: the battle borrows
// them for its whole life.
struct MenuTexts
{
    const char* end[std::size(kEndItems)];
    const char* pause[std::size(kPauseItems)];
};

const MenuTexts& GetMenuTexts()
{
    static const MenuTexts texts = [] {
        MenuTexts made{};
        for (size_t i = 0; i < std::size(kEndItems); ++i)
            made.end[i] = GameText(kEndItems[i]);
        for (size_t i = 0; i < std::size(kPauseItems); ++i)
            made.pause[i] = GameText(kPauseItems[i]);
        return made;
    }();
    return texts;
}

// A header the list can show: names ended (the reader ends them), a mode
// it has a label for and a real date.
bool HeaderIsSound(const tag_TOLQREPLAYHEADER& header)
{
    return header.online < CReplayScene::kModeCount && header.month >= 1 && header.month <= 12 && header.day >= 1 &&
           header.day <= 31;
}

bool SameHeader(const tag_TOLQREPLAYHEADER& a, const tag_TOLQREPLAYHEADER& b)
{
    return a.version == b.version && std::strcmp(a.stageName, b.stageName) == 0 &&
           std::strcmp(a.characterName, b.characterName) == 0 && a.online == b.online && a.year == b.year &&
           a.month == b.month && a.day == b.day;
}

// Frees a setting read from a replay, with the texts its reader copied.
void FreeReadSetting(tag_TOLQBATTLESETTING* setting)
{
    FreeReplayTexts(setting);
    FreeBattleSetting(setting);
}

// A setting ready to be filled from a replay: nothing recorded again, and
// freed by its owner, not by the battle.
tag_TOLQBATTLESETTING* PlaybackSetting()
{
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(1, 0, nullptr);
    if (setting == nullptr)
        return nullptr;
    setting->record = 0;
    setting->freeWithBattle = 0;
    setting->playback = 1;
    return setting;
}

// Opens a replay for playing and checks its header and setting. On
// Playable, setting holds the read setting.
CReplayScene::RowCheck OpenChecked(CReplay* replay, const std::string& path, tag_TOLQREPLAYHEADER* header,
                                   tag_TOLQBATTLESETTING* setting)
{
    *header = tag_TOLQREPLAYHEADER();
    if (replay->OpenForPlay(path.c_str()) == 0)
        return CReplayScene::RowCheck::Damaged;
    *header = replay->GetHeader();
    if (header->version != tag_TOLQREPLAYHEADER::kVersion)
        return CReplayScene::RowCheck::OtherVersion;
    if (!HeaderIsSound(*header))
        return CReplayScene::RowCheck::Damaged;
    if (replay->ReadSetting(setting) == 0)
    {
        LogFailure(("replay: \"" + path + "\" is refused").c_str(), replay->GetError().c_str());
        return CReplayScene::RowCheck::Damaged;
    }
    // Checked before any frame is read: an empty seat would leave its
    // records in every frame and the rest would be read out of step.
    std::string reason;
    if (!ReplaySeatsResolve(*setting, CountGameCharacters(CActorResources::GetController()), &reason))
    {
        LogFailure(("replay: \"" + path + "\" can't be played").c_str(), reason.c_str());
        return CReplayScene::RowCheck::Unplayable;
    }
    return CReplayScene::RowCheck::Playable;
}
}

// ---------------------------------------------------------------------------
// Set-up and the rows

CReplayScene::CReplayScene() = default;

CReplayScene::~CReplayScene()
{
    Release();
}

int CReplayScene::Init(uintptr_t parameter)
{
    const tag_TOLQSCENEPARAM* param = SceneParam(parameter);
    m_fades.Resume(param);
    m_state = ReplayState::ListFadeIn;
    m_row = 0;
    m_playbacks = 0;
    if (param != nullptr)
    {
        m_state = static_cast<ReplayState>(std::min<uint32_t>(param->step, static_cast<uint32_t>(ReplayState::List)));
        m_row = std::min<uint32_t>(param->item, kBackRow);
    }
    m_font = MenuScene::Font(kListFont);
    m_sheet = MenuScene::FindTexture("Select_01.dds");
    m_music = MenuScene::FindSound("Bgm_custom.ogg");
    char folder[kSaveFolderBytes];
    if (GetSaveFolder(folder, kProduct, sizeof folder) == 0)
    {
        LogFailure("replay: no save folder to list the replays of", GetSaveFolderPath(kProduct).c_str());
        return 0;
    }
    m_saveFolder = folder;
    ReadRows();
    return 1;
}

uint32_t CReplayScene::Release()
{
    EndPlayback();
    return CResourceBase::Release();
}

std::string CReplayScene::RowFileName(const std::string& saveFolder, uint32_t row)
{
    char name[32];
    std::snprintf(name, sizeof name, "QorReplay_%2.2u.rep", row + 1);
    return saveFolder + name;
}

CReplayScene::RowCheck CReplayScene::CheckFile(const std::string& path, tag_TOLQREPLAYHEADER* header)
{
    *header = tag_TOLQREPLAYHEADER();
    CReplay replay;
    tag_TOLQBATTLESETTING* setting = PlaybackSetting();
    if (setting == nullptr)
        return RowCheck::Damaged;
    const RowCheck check = OpenChecked(&replay, path, header, setting);
    FreeReadSetting(setting);
    return check;
}

void CReplayScene::ReadRows()
{
    for (uint32_t row = 0; row < kFileRows; ++row)
        m_rows[row].check = CheckFile(RowFileName(m_saveFolder, row), &m_rows[row].header);
}

const char* CReplayScene::GetStageText(uint32_t row) const
{
    if (row >= kFileRows)
        return GameText(kBackText);
    switch (m_rows[row].check)
    {
    case RowCheck::Playable:
        return m_rows[row].header.stageName;
    case RowCheck::OtherVersion:
        return GameText(kOtherVersionText);
    case RowCheck::Unplayable:
        return GameText(kUnplayableText);
    case RowCheck::Damaged:
        break;
    }
    return GameText(kDamagedText);
}

void CReplayScene::EnterState(ReplayState state, ReplayState next)
{
    m_state = state;
    m_next = next;
}

// ---------------------------------------------------------------------------
// Update

int CReplayScene::Update(uintptr_t)
{
    const uint32_t milliseconds = GetElapsedMilliseconds();
    if (m_state != ReplayState::Playing)
        g_pController->UpdateBackgroundEffect();
    const CMenuLayout layout = MenuScene::Layout();
    m_frame.Begin(layout, MenuScene::ReadKeys(layout), g_pController);
    switch (m_state)
    {
    case ReplayState::ListFadeIn:
        if (m_fades.StepIn(m_music, milliseconds))
            EnterState(ReplayState::List);
        return 1;
    case ReplayState::List:
        UpdateList();
        return 1;
    case ReplayState::FadeOut:
    case ReplayState::FadeOutToLeave:
        if (m_fades.StepOut(milliseconds))
            EnterState(m_next);
        return 1;
    case ReplayState::Load:
        UpdateLoad(milliseconds);
        return 1;
    case ReplayState::Playing:
        return UpdatePlaying();
    case ReplayState::Leave:
    case ReplayState::LeaveToTitle:
        return Leave();
    }
    return 1;
}

namespace
{
// Replay list, in 1024 x 768 layout units: fifteen rows 40 apart from
// (28, 120), each 796 x 24; their columns from the left.
constexpr MenuPoint kRowOrigin{28.0f, 120.0f};
constexpr float kRowPitch = 40.0f;
constexpr float kRowWidth = 796.0f;
constexpr float kRowHeight = 24.0f;

MenuRect RowRect(uint32_t row)
{
    return MenuRect::At(kRowOrigin.x, kRowOrigin.y + kRowPitch * static_cast<float>(row), kRowWidth, kRowHeight);
}
}

void CReplayScene::MoveRow(int step)
{
    m_row = static_cast<uint32_t>((static_cast<int>(m_row) + step + static_cast<int>(kRowCount)) %
                                  static_cast<int>(kRowCount));
    m_frame.Play(MenuSound::Cursor);
    MenuScene::MoveMouseTo(m_frame, RowRect(m_row).Centre());
}

void CReplayScene::UpdateList()
{
    const MenuKeys& keys = m_frame.Keys();
    if (keys.Pressed(MenuKey::Up))
        MoveRow(-1);
    else if (keys.Pressed(MenuKey::Down))
        MoveRow(+1);
    for (uint32_t row = 0; row < kRowCount; ++row)
    {
        const MenuButtonResult button =
            MenuButton(m_frame, kRowId + static_cast<int32_t>(row), RowRect(row), row == m_row);
        if (!button.hovered)
            continue;
        if (row != m_row)
        {
            m_row = row;
            m_frame.Play(MenuSound::Cursor);
        }
        if (button.clicked && ChooseRow(row))
            return;
    }
    if (keys.Pressed(MenuKey::Decide))
    {
        ChooseRow(m_row);
        return;
    }
    if (keys.Pressed(MenuKey::Cancel) || keys.Pressed(MenuKey::AltClick))
    {
        m_frame.Play(MenuSound::Cancel);
        EnterState(ReplayState::FadeOutToLeave, ReplayState::LeaveToTitle);
    }
}

bool CReplayScene::ChooseRow(uint32_t row)
{
    if (row == kBackRow)
    {
        m_frame.Play(MenuSound::Decide);
        EnterState(ReplayState::FadeOutToLeave, ReplayState::LeaveToTitle);
        return true;
    }
    if (!IsPlayable(row))
        return false;
    m_frame.Play(MenuSound::Decide);
    MenuScene::FadeOutMusic(m_music);
    EnterState(ReplayState::Load);
    return true;
}

int CReplayScene::Leave()
{
    EnterState(ReplayState::ListFadeIn);
    return MenuScene::LeaveToTitleMenu(m_music, kRingItem);
}

// ---------------------------------------------------------------------------
// Playback

void CReplayScene::UpdateLoad(uint32_t milliseconds)
{
    const bool out = m_fades.StepOut(milliseconds);
    m_fades.background.LowerTo(m_fades.screen.Level());
    if (!out)
        return;
    if (StartPlayback())
    {
        EnterState(ReplayState::Playing);
        return;
    }
    // The file changed or the battle could not be built: the list again,
    // showing what the file holds now.
    m_frame.Play(MenuSound::Error);
    EnterState(ReplayState::ListFadeIn);
}

bool CReplayScene::StartPlayback()
{
    EndPlayback();
    if (m_row >= kFileRows)
        return false;
    const std::string path = RowFileName(m_saveFolder, m_row);
    auto replay = std::make_unique<CReplay>();
    tag_TOLQBATTLESETTING* setting = PlaybackSetting();
    if (setting == nullptr)
        return false;
    tag_TOLQREPLAYHEADER header;
    const RowCheck check = OpenChecked(replay.get(), path, &header, setting);
    // Only the file the row shows plays: one replaced since the list was
    // read is shown as it is now instead.
    if (check != RowCheck::Playable || !SameHeader(header, m_rows[m_row].header))
    {
        LogFailure("replay: the file changed since the list was read", path.c_str());
        m_rows[m_row].header = header;
        m_rows[m_row].check = check;
        FreeReadSetting(setting);
        return false;
    }
    m_setting = setting;
    m_battle = std::make_unique<CBattleScene>();
    if (m_battle->Init(reinterpret_cast<uintptr_t>(m_setting)) == 0)
    {
        LogFailure("replay: the battle of the file can't be built", path.c_str());
        EndPlayback();
        return false;
    }
    m_battle->SetReplay(replay.release());
    CBattleConsole* console = m_battle->GetConsole();
    const MenuTexts& texts = GetMenuTexts();
    const uint8_t endCount = static_cast<uint8_t>(std::size(kEndItems));
    constexpr uint32_t kBlocksPlay = 1;
    console->SetBanner1(static_cast<uint8_t>(std::size(kPauseItems)), kBlocksPlay, nullptr, texts.pause, kPauseCodes);
    console->SetBanner2(endCount, kBlocksPlay, nullptr, texts.end, kEndCodes);
    console->SetBanner3(endCount, kBlocksPlay, nullptr, texts.end, kEndCodes);
    console->SetBanner4(endCount, kBlocksPlay, nullptr, texts.end, kEndCodes);
    ++m_playbacks;
    return true;
}

int CReplayScene::UpdatePlaying()
{
    if (m_battle == nullptr)
    {
        EnterState(ReplayState::ListFadeIn);
        return 1;
    }
    m_battle->Update(0);
    StepViewedSlot();
    if (m_battle->IsFinished() == 0)
        return 1;
    const int8_t code = m_battle->GetConsole()->GetResultCode();
    if (code == RESULT_TITLE)
        return MenuScene::LeaveToTitlePicture(kRingItem);
    EndPlayback();
    // "Play again" reads the same file at once (the list has faded out
    // already); every other ending goes back to the list.
    EnterState(code == RESULT_RETRY ? ReplayState::Load : ReplayState::ListFadeIn);
    return 1;
}

void CReplayScene::StepViewedSlot()
{
    // The viewed slot runs over 0 .. player count, the last being the free
    // camera over the stage, round at both ends; the camera keys step it as
    // they would a list's cursor (number pad 8 back, 2 on).
    const int step = CameraCursorStep(m_frame.Keys());
    const uint32_t count = m_setting->playerCount;
    uint32_t& viewed = m_setting->viewedSlot;
    if (step > 0)
        viewed = viewed < count ? viewed + 1 : 0;
    else if (step < 0)
        viewed = viewed > 0 ? std::min(viewed - 1, count) : count;
}

void CReplayScene::EndPlayback()
{
    if (m_battle != nullptr)
    {
        m_battle->Release();
        m_battle.reset();
    }
    if (m_setting != nullptr)
    {
        FreeReadSetting(m_setting);
        m_setting = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Drawing

namespace
{
// Replay list, in 1024 x 768 layout units (rows: RowRect above): the label
// at the row's left, then the stage, character, mode and date columns with
// slashes between; seven dark stripes behind every other row.
constexpr float kLabelX = 28.0f;
constexpr float kStageX = 80.0f;
constexpr float kStageWidth = 212.0f;
constexpr float kCharacterX = 344.0f;
constexpr float kCharacterWidth = 120.0f;
constexpr float kModeX = 516.0f;
constexpr float kModeWidth = 140.0f;
constexpr float kDateX = 708.0f;
constexpr float kDateWidth = 116.0f;
constexpr float kSlashes[] = {312.0f, 484.0f, 676.0f};
constexpr float kTextSize = 24.0f;
constexpr float kBackTextSize = 40.0f;
constexpr uint32_t kStripeCount = 7;
constexpr MenuRect kFirstStripe{.left = 28, .top = 152, .right = 996, .bottom = 192};
constexpr float kStripePitch = 80.0f;
// Rows other than the chosen one are grey.
constexpr uint32_t kOtherRowRgb = 0x646464u;

uint32_t RowColor(bool selected, float alpha)
{
    return selected ? MenuColor(MenuRole::Focused, alpha) : (MenuAlpha(alpha) << 24 | kOtherRowRgb);
}

MenuRect Column(const MenuRect& row, float x, float width)
{
    return {x, row.top, x + width, row.bottom};
}
}

int CReplayScene::Render(uintptr_t)
{
    if (m_state == ReplayState::Playing)
    {
        if (m_battle != nullptr)
            m_battle->Render(0);
        return 1;
    }
    if (m_state != ReplayState::ListFadeIn && m_state != ReplayState::List && m_state != ReplayState::Load &&
        m_state != ReplayState::FadeOutToLeave && m_state != ReplayState::FadeOut)
        return 1;
    CGraphics* graphics = g_pController->GetGraphics();
    graphics->Begin2D();
    graphics->SetBlendMode(1);
    const CMenuPainter painter(MenuScene::Layout());
    RenderList(painter);
    g_pController->DrawCursor();
    return 1;
}

void CReplayScene::RenderList(const CMenuPainter& painter) const
{
    MenuScene::DrawMenuFrame(painter, m_sheet, ReplaySheet::kTitle, m_fades.background.Level(), m_fades.screen.Level());
    const uint32_t white = MenuColor(MenuRole::Focused, m_fades.screen.Level());
    for (uint32_t k = 0; k < kStripeCount; ++k)
        painter.PictureInto(m_sheet, MenuScreenSheet::kStripe, kFirstStripe.Offset(0.0f, kStripePitch * k), white);
    for (uint32_t row = 0; row < kRowCount; ++row)
        RenderRow(painter, row);
}

void CReplayScene::RenderRow(const CMenuPainter& painter, uint32_t row) const
{
    const MenuRect rect = RowRect(row);
    const uint32_t color = RowColor(row == m_row, m_fades.screen.Level());
    const MenuRect label{kLabelX, rect.top, kLabelX, rect.top};
    if (row == kBackRow)
    {
        painter.Text(m_font, label, MenuAnchor::TopLeft, kBackTextSize, color, GameText(kBackText));
        return;
    }
    char number[8];
    std::snprintf(number, sizeof number, "%2.2u", row + 1);
    painter.Text(m_font, label, MenuAnchor::TopLeft, kTextSize, color, number);
    painter.TextFit(m_font, Column(rect, kStageX, kStageWidth), MenuAnchor::TopLeft, kTextSize, color,
                    GetStageText(row));
    const Row& file = m_rows[row];
    if (file.check != RowCheck::Playable)
        return;
    for (float x : kSlashes)
        painter.Text(m_font, {x, rect.top, x, rect.top}, MenuAnchor::TopLeft, kTextSize, color, "/");
    // The header's names are game texts already.
    painter.TextFit(m_font, Column(rect, kCharacterX, kCharacterWidth), MenuAnchor::TopLeft, kTextSize, color,
                    file.header.characterName);
    painter.TextFit(m_font, Column(rect, kModeX, kModeWidth), MenuAnchor::TopLeft, kTextSize, color,
                    GameText(kModeTexts[file.header.online]));
    char date[16];
    std::snprintf(date, sizeof date, "%4.4u.%2.2u.%2.2u", file.header.year, file.header.month, file.header.day);
    painter.TextFit(m_font, Column(rect, kDateX, kDateWidth), MenuAnchor::TopLeft, kTextSize, color, date);
}
