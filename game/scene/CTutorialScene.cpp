// The tutorial: a lesson battle with 37 steps, then a real battle.
//
// Sections: the lessons' texts and keys; set-up and the battle; the steps;
// the lessons' tests; drawing.
#include "game/scene/CTutorialScene.h"

#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/core/ShiftJisText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CStage.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameServices.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/SeatRadioChat.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/MenuScene.h"
#include "game/scene/SceneGameData.h"

#include <cmath>
#include <cstring>
#include <vector>

// ---------------------------------------------------------------------------
// The lessons' texts and keys

namespace
{
// Each text takes the pass mark first, then the names its step lists.
constexpr const char* kLessonTexts[CTutorialScene::kStepCount] = {
    nullptr,
    "チュートリアル：基本操作%s",
    "対戦の操作方法を解説%s",
    "【歩く】%s\nゲームパッド：左スティックを軽く倒す。\nキーボード：[%s][%s][%s][%s]を押し続ける。\n前後左右に移動します。",
    "【ダッシュ】%s\nゲームパッド：左スティックを深く倒す\nキーボード：[%s][%s][%s][%s]を押し続ける\n前後左右にダッシュ移動します。",
    "【ジャンプ】%s\nゲームパッド：[%s]\nキーボード：[%s]\nジャンプします。",
    "【攻撃】%s\nゲームパッド：[%s]\nキーボード：[%s]／マウス：[L-click]\n近接武器で近接攻撃を行います。",
    "【構え】%s\nゲームパッド：[%s]\nキーボード：[%s]／マウス[R-Click]\n射撃武器、特殊武器を構えます。",
    "【遠距離攻撃】%s\nゲームパッド：構え中に[%s]\nキーボード：構え中に[%s]／マウス：[L-click]\n"
    "遠距離武器、特殊武器で遠距離攻撃を行います。",
    "【カメラ操作】%s\nゲームパッド：右スティック\nキーボード：[%s][%s][%s][%s]\nマウス移動カメラ視点を移動します。",
    "【カメラ視点正面に】%s\nゲームパッド：[%s]\nキーボード：[%s]\nカメラ視点を正面に戻します。",
    "【ロックオン】%s\nゲームパッド：[%s]\nキーボード：[%s]\nターゲットに視点を固定します。（制限距離有り）",
    "【視点切り替え】%s\nゲームパッド：[%s]\nキーボード：[%s]\n射撃視点に変更。ライフルは二度押しでスコープ表示。",
    "【武器切り替え】%s\nゲームパット：[%s][%s]\nキーボード[%s][%s]／マウス：[ホイール上下]\n"
    "武器を切り替えます。攻撃キーで確定。\nキーボドの[1]～[0]でダイレクト変更。",
    "【武器パレット近距離・遠距離切り替え】%s\nゲームパッド：[%s]\nキーボード：[%s]／マウス：[R-Click]\n"
    "武器パレット展開中に近・遠武器を切り替えます。",
    "【武器ボックス】%s\nステージ中の緑の箱を破壊すると武器が出現。",
    "【武器取得】%s\nゲームパッド：[%s]\nキーボード：[%s]\n落ちている武器を拾います。（武器ランク合計１０まで）",
    "【武器捨てる】%s\nゲームパッド：武器パレット展開中[%s]\nキーボード：武器パレット展開中[%s]\n"
    "装備している武器をその場に置きます。",
    "【アイテムボックス】%s\nステージ中の紫の箱を破壊するとアイテムが出現。",
    "【カバーアクション】%s\nゲームパッド：壁際で[%s]\nキーボード：壁際で[%s]\n壁を背にして隠れることが出来ます。\n"
    "再入力で解除することが出来ます。",
    "【空中ダッシュ】%s\nゲームパッド：ジャンプ中に[%s]\nキーボード：ジャンプ中に[%s]\n空中で前方にダッシュします。※EP消費2",
    "【回避】%s\nゲームパッド：[%s]＋左スティック\nキーボード：[%s]＋[%s][%s][%s][%s]\n"
    "前後左右に回避動作を行います。※EP消費1",
    "【エレメンタルアタック】%s\nゲームパッド：[%s]\nキーボード：[%s]\n各タイプ専用武器に設定された技を発動します。※EP消費7\n"
    "ここでは「クレイモア」で出すことが出来ます。",
    "【エレメンタルバースト】%s\nゲームパッド：EBPゲージMAX時[%s]＋[%s]\nキーボード：EBPゲージMAX時[%s]＋[%s]\n"
    "一定時間全体的な能力が上昇します。",
    "【エレメンタルバーストアタック】%s\nゲームパッド：エレメンタルバースト中[%s]＋[%s]\n"
    "キーボード：エレメンタルバースト中[%s]＋[%s]\n各タイプ専用武器に設定された強力な技を発動します。\n"
    "ここでは「クレイモア」で出すことが出来ます。",
    "【精霊の加護】%s\nステージ中に出現中の各キャラ対応精霊を取得すると、\n精霊の加護を得て、全体的な能力が上昇します。",
    "【エレメンタルジャンプ】%s\nゲームパッド：精霊の加護中[%s]＋[%s]\nキーボード：精霊の加護中[%s]＋[%s]\n"
    "通常より高くジャンプします。(壁際で再ジャンプでターン)",
    "【エレメンタルチャージ】%s\n敵をロックオン時\nゲームパッド：精霊の加護中[%s]＋[%s]\n"
    "キーボード：精霊の加護中[%s]＋[%s]\nロックオンしている敵に向かって突進します。",
    "【エレメンタルリバース】%s\n敵をロックオン時かつ敵が至近距離に居る時\nゲームパッド：精霊の加護中[%s]＋[%s]\n"
    "キーボード：精霊の加護中[%s]＋[%s]\n一瞬で相手の背後に回り込みます。",
    "【エレメンタルマキシマム】%s\nエレメンタルバースト中に精霊の加護を受ける。\n全体的な能力が大幅に上昇します。",
    "【エレメンタルマキシマムアタック】%s\nエレメンタルマキシマム状態の時、\nゲームパッド：[%s]＋[%s]\n"
    "キーボード：[%s]＋[%s]\n各キャラに設定された超強力な技を発動します。",
    "【拡大マップ】%s\nゲームパッド：[%s]\nキーボード：[%s]\n拡大マップ表示します。",
    "【ラジオチャット表示】%s\nキーボード：[F1]～[F12]\nコンフィグで設定された発言を表示します。\n"
    "拡大マップで発言位置を確認出来ます。",
    "以上で基本操作は終了です。%s",
    "それでは実際に対戦してみましょう。\nがんばってください。%s",
    nullptr,
    "以上でチュートリアルを終了します",
};
constexpr const char* kPassMark = "入力成功";
constexpr const char* kNotPassed = " ";

// The actions (0-23) a step's text names, in the order of its placeholders.
struct KeyName
{
    bool pad; // the pad element, else the key
    uint8_t action;
};
struct StepKeys
{
    uint32_t steps[3];
    std::vector<KeyName> names;
};
constexpr uint32_t kNone = 0xFFFFFFFFu;
const std::vector<StepKeys>& KeyTable()
{
    auto keys = [](std::initializer_list<uint8_t> actions) {
        std::vector<KeyName> names;
        for (uint8_t action : actions)
            names.push_back({false, action});
        return names;
    };
    auto both = [](uint8_t action) { return std::vector<KeyName>{{true, action}, {false, action}}; };
    static const std::vector<StepKeys> table = {
        {{3, 4, kNone}, keys({4, 5, 6, 7})},
        {{5, 20, kNone}, both(14)},
        {{6, 8, kNone}, both(16)},
        {{7, 14, kNone}, both(21)},
        {{9, kNone, kNone}, keys({9, 10, 11, 12})},
        {{10, kNone, kNone}, both(8)},
        {{11, kNone, kNone}, both(20)},
        {{12, kNone, kNone}, both(13)},
        {{13, kNone, kNone}, {{true, 0}, {true, 1}, {false, 0}, {false, 1}}},
        {{16, 17, kNone}, both(15)},
        {{19, kNone, kNone}, both(19)},
        {{21, kNone, kNone}, {{true, 18}, {false, 18}, {false, 4}, {false, 5}, {false, 6}, {false, 7}}},
        {{22, kNone, kNone}, both(17)},
        {{23, 24, 30}, {{true, 18}, {true, 17}, {false, 18}, {false, 17}}},
        {{26, 27, 28}, {{true, 18}, {true, 14}, {false, 18}, {false, 14}}},
        {{31, kNone, kNone}, both(22)},
    };
    return table;
}

const std::vector<KeyName>* NamesOfStep(uint32_t step)
{
    for (const StepKeys& entry : KeyTable())
    {
        for (uint32_t listed : entry.steps)
        {
            if (listed == step)
                return &entry.names;
        }
    }
    return nullptr;
}

// The name the settings give an action's key or pad element.
std::string NameOf(const tag_TOLQGAMECONFIG& settings, const KeyName& name)
{
    const uint32_t code = name.pad ? settings.padElements[name.action] : settings.keys[name.action];
    // A code no device has names nothing, rather than another key.
    if (code > UINT8_MAX)
        return "?";
    return name.pad ? CInput::GetPadElementName(static_cast<uint8_t>(code))
                    : CInput::GetKeyName(static_cast<uint8_t>(code));
}

// The game text format with each "%s" in turn replaced by the next of
// values (nothing once they run out), whole Shift-JIS characters copied as
// they are.
std::string Fill(const char* format, const std::vector<std::string>& values)
{
    std::string text;
    size_t next = 0;
    for (size_t at = 0, length = 0; (length = ShiftJisCharLength(format + at)) != 0; at += length)
    {
        if (length == 1 && format[at] == '%' && format[at + 1] == 's')
        {
            if (next < values.size())
                text += values[next];
            ++next;
            length = 2;
            continue;
        }
        text.append(format + at, length);
    }
    return text;
}

// The pause menu: back to the battle, or to the title.
constexpr const char* kPauseItems[] = {"対戦に戻る", "タイトルに戻る"};
constexpr int8_t kPauseCodes[] = {RESULT_RESUME, RESULT_TITLE};
const char* const* PauseTexts()
{
    static const char* const texts[] = {GameText(kPauseItems[0]), GameText(kPauseItems[1])};
    return texts;
}

// The lessons' stage: the first stage, no music choice to draw, nothing on
// the field until a lesson asks for it; the final battle's: everything.
constexpr uint32_t kAllWeaponClasses = 0x1FFFF;
constexpr uint32_t kAllItemKinds = 63;
constexpr uint32_t kAllElements = 127;
constexpr uint32_t kWeaponBoxClass = 64; // class 6 only
constexpr float kBurstGauge = 100.0f;
// The player's and the opponent's entries.
constexpr uint8_t kPlayer = 0;
constexpr uint8_t kOpponent = 1;
// The title's ring item of the tutorial.
constexpr uint32_t kRingItem = 9;

float& DamageTaken(tag_TOLQBATTLEPLAYER& player)
{
    return player.factors[5];
}
}

const char* CTutorialScene::GetLessonText(uint32_t step)
{
    return step < kStepCount ? kLessonTexts[step] : nullptr;
}

std::string CTutorialScene::FormatLessonText(const tag_TOLQGAMECONFIG& settings) const
{
    const char* text = GetLessonText(m_step);
    if (text == nullptr)
        return std::string();
    std::vector<std::string> values = {GameText(m_passed ? kPassMark : kNotPassed)};
    if (const std::vector<KeyName>* names = NamesOfStep(m_step))
    {
        for (const KeyName& name : *names)
            values.push_back(ToGameText(NameOf(settings, name)));
    }
    // The text's buffer holds kTextBytes with the NUL: longer key names are
    // cut at a whole character.
    const std::string filled = Fill(GameText(text), values);
    size_t kept = 0;
    for (size_t length = 0; (length = ShiftJisCharLength(filled.c_str() + kept)) != 0 && kept + length < kTextBytes;)
        kept += length;
    return filled.substr(0, kept);
}

// ---------------------------------------------------------------------------
// Set-up and the battle

CTutorialScene::CTutorialScene() = default;

CTutorialScene::~CTutorialScene()
{
    Release();
}

int CTutorialScene::Init(uintptr_t)
{
    m_state = TutorialState::CreateBattle;
    m_step = STEP_START;
    m_timer = 0;
    m_passed = false;
    m_createFailureLogged = false;
    m_setting = CreateBattleSetting(2, 0);
    if (m_setting == nullptr)
        return 0;
    tag_TOLQBATTLEPLAYER* players = m_setting->players;
    // The opponent takes its inputs from outside, and nothing supplies any:
    // it stands still. Neither fighter is hurt during the lessons.
    players[kOpponent].localInput = 0;
    players[kPlayer].startPoint = 0;
    players[kOpponent].startPoint = 1;
    DamageTaken(players[kPlayer]) = 0.0f;
    DamageTaken(players[kOpponent]) = 0.0f;
    tag_TOLQBATTLERULE& rules = m_setting->rules;
    rules.limit = 0;
    rules.cpuLevel = 0;
    rules.musicChoice = 0;
    rules.stageChoice = 0;
    rules.itemMask = 0;
    rules.weaponMask = 0;
    rules.elementMask = 0;
    m_setting->record = 0;
    m_font = g_pController != nullptr ? g_pController->GetFont(1) : nullptr;
    return 1;
}

uint32_t CTutorialScene::Release()
{
    ReleaseBattle();
    FreeBattleSetting(m_setting);
    m_setting = nullptr;
    return CResourceBase::Release();
}

void CTutorialScene::ReleaseBattle()
{
    if (m_battle == nullptr)
        return;
    m_battle->Release();
    m_battle.reset();
}

void CTutorialScene::CreateBattle()
{
    ReleaseBattle();
    m_battle = std::make_unique<CBattleScene>();
    CGameConfig* config = g_pController != nullptr ? g_pController->GetGameConfig() : nullptr;
    const tag_TOLQGAMECONFIG* settings = config != nullptr ? config->GetData() : nullptr;
    // Each fighter in its character's own clothes and with its weapons; the
    // player speaks its own radio chat (the lesson shows what the settings
    // set), the other fighter its character's.
    for (uint8_t i = 0; i < m_setting->playerCount; ++i)
    {
        tag_TOLQBATTLEPLAYER& player = m_setting->players[i];
        const uint8_t index = player.character >= 0 && player.character < static_cast<int8_t>(player.characterCount)
                                  ? static_cast<uint8_t>(player.character)
                                  : 0;
        const CCharacterDefinition* character = SceneGameData::Character(index);
        if (character == nullptr)
            continue;
        GiveSeatRadioChat(player, index, *character, settings);
        for (uint32_t slot = 0; slot < tag_TOLQBATTLEPLAYER::kClothes; ++slot)
            player.clothes[slot] = character->defaultClothes[slot];
        for (uint32_t slot = 0; slot < tag_TOLQBATTLEPLAYER::kWeapons; ++slot)
            player.weapons[slot] = character->defaultWeapons[slot];
    }
    if (m_battle->Init(reinterpret_cast<uintptr_t>(m_setting)) == 0)
    {
        // Tried again on the next update.
        if (!m_createFailureLogged)
            LogFailure("tutorial: the battle can't be built; trying again", "");
        m_createFailureLogged = true;
        ReleaseBattle();
        return;
    }
    m_battle->GetConsole()->SetBanner1(static_cast<uint8_t>(std::size(kPauseItems)), 1, nullptr, PauseTexts(),
                                       kPauseCodes);
    m_state = TutorialState::Lessons;
}

bool CTutorialScene::StartFinalBattle()
{
    if (m_battle == nullptr || m_battle->IsFinished() == 0)
        return false;
    m_state = TutorialState::CreateBattle;
    ReleaseBattle();
    tag_TOLQBATTLEPLAYER* players = m_setting->players;
    players[kOpponent].localInput = 1;
    m_setting->rules.weaponMask = kAllWeaponClasses;
    m_setting->rules.itemMask = kAllItemKinds;
    m_setting->rules.elementMask = kAllElements;
    DamageTaken(players[kPlayer]) = 1.0f;
    DamageTaken(players[kOpponent]) = 1.0f;
    m_step = STEP_CLOSING;
    return true;
}

// ---------------------------------------------------------------------------
// The steps

int CTutorialScene::Update(uintptr_t)
{
    if (m_state == TutorialState::CreateBattle)
    {
        CreateBattle();
        return 1;
    }
    return UpdateLessons();
}

int CTutorialScene::UpdateLessons()
{
    if (m_battle == nullptr)
    {
        m_state = TutorialState::CreateBattle;
        return 1;
    }
    CBattleConsole* console = m_battle->GetConsole();
    const uint32_t milliseconds = GetElapsedMilliseconds();
    // The closing text stands over a still battle.
    if (!(m_step == STEP_CLOSING && console->GetPhase() == ConsolePhase::Finish))
        m_battle->Update(0);
    const ConsolePhase phase = console->GetPhase();
    if (!console->IsPlayBlocked() && (phase == ConsolePhase::Running || phase == ConsolePhase::Finish))
    {
        if (m_step == STEP_FINAL_BATTLE)
        {
            if (StartFinalBattle())
                return 1;
        }
        else
            RunStep(milliseconds);
    }
    if (m_battle->IsFinished() == 0)
        return 1;
    if (console->GetResultCode() == RESULT_RETRY)
    {
        m_state = TutorialState::CreateBattle;
        ReleaseBattle();
        return 1;
    }
    return MenuScene::LeaveToTitlePicture(kRingItem);
}

void CTutorialScene::RunStep(uint32_t milliseconds)
{
    switch (m_step)
    {
    case STEP_START:
        m_timer = 0;
        m_step = STEP_TITLE;
        return;
    case STEP_TITLE:
    case STEP_INTRODUCTION:
    case STEP_END_OF_BASICS:
        AdvanceAfterPass(milliseconds);
        return;
    case STEP_INVITATION:
        m_timer += milliseconds;
        if (m_timer < kStepMilliseconds)
            return;
        m_timer = 0;
        m_step = STEP_FINAL_BATTLE;
        {
            // The lesson battle ends: nothing was chosen, so its closing
            // fade runs at once.
            CBattleConsole* console = m_battle->GetConsole();
            console->GetStateForUpdate()->resultCode = RESULT_RESUME;
            console->StartFinish();
        }
        return;
    case STEP_CLOSING:
        if (m_battle->GetConsole()->GetPhase() != ConsolePhase::Finish)
            return;
        m_timer += milliseconds;
        if (m_timer < kStepMilliseconds)
            return;
        m_timer = 0;
        m_step = STEP_DONE;
        return;
    default:
        break;
    }
    if (m_step < STEP_FIRST_LESSON || m_step > STEP_LAST_LESSON)
        return;
    if (CheckLesson())
        AdvanceAfterPass(milliseconds);
}

void CTutorialScene::AdvanceAfterPass(uint32_t milliseconds)
{
    m_timer += milliseconds;
    if (m_timer < kStepMilliseconds)
        return;
    NextStep();
}

void CTutorialScene::NextStep()
{
    m_passed = false;
    m_timer = 0;
    ++m_step;
    // These lessons begin with the boxes and altars as they were placed.
    if (m_step == STEP_NEAR_AND_FAR || m_step == STEP_DROP_WEAPON)
        m_battle->GetStage()->ResetPlacedObjects();
}

// ---------------------------------------------------------------------------
// The lessons' tests

bool CTutorialScene::CheckLesson()
{
    if (m_battle == nullptr || m_battle->GetFighter(kPlayer) == nullptr)
        return m_passed;
    if (m_step < STEP_FIRST_LESSON || m_step > STEP_LAST_LESSON)
        return m_passed;
    PrepareLesson();
    if (!m_passed && LessonHolds())
        m_passed = true;
    return m_passed;
}

// What a lesson needs of the stage each frame, and what it keeps ready
// until it has passed.
void CTutorialScene::PrepareLesson()
{
    CStage* stage = m_battle->GetStage();
    CCharacter* fighter = m_battle->GetFighter(kPlayer);
    tag_TOLQBATTLERULE& rules = m_setting->rules;
    tag_TOLQCHARASTATE* state = fighter->GetStateBlock();
    switch (m_step)
    {
    case STEP_WEAPON_BOX:
        rules.weaponMask = kWeaponBoxClass;
        break;
    case STEP_ITEM_BOX:
        rules.itemMask = kAllItemKinds;
        break;
    case STEP_BLESSING:
        rules.elementMask = 1u << (fighter->GetDefinition()->element & 31);
        break;
    default:
        break;
    }
    if (m_step == STEP_WEAPON_BOX || m_step == STEP_ITEM_BOX || m_step == STEP_BLESSING)
        stage->SetObjectParams(rules.weaponMask, rules.itemMask, rules.elementMask);
    if (m_passed)
        return;
    // The altar of the own element stands ready until the lesson passes.
    if (m_step >= STEP_BLESSING && m_step <= STEP_MAXIMUM_ATTACK)
        stage->ResetStageObjects();
    // The burst gauge stays full until the burst lessons pass: for the
    // burst whenever it is below full, for the attacks while no burst runs.
    const bool idleRefill = m_step == STEP_BURST_ATTACK || m_step == STEP_ELEMENTAL_MAXIMUM ||
                            m_step == STEP_MAXIMUM_ATTACK;
    if (state->gauge < kBurstGauge && (m_step == STEP_BURST || (idleRefill && state->burstActive == 0)))
        state->gauge = kBurstGauge;
}

bool CTutorialScene::LessonHolds()
{
    CCharacter* fighter = m_battle->GetFighter(kPlayer);
    const tag_TOLQCHARASTATE& state = *fighter->GetStateBlock();
    const tag_TOLQCHARAACTION& action = *fighter->GetActionData();
    tag_KVRPADSTATE* pad = fighter->GetControlState();
    auto held = [pad](uint8_t action) { return CInput::GetButtonState(pad, static_cast<uint8_t>(action + 8)) != 0; };
    const tag_TOLQCONSOLESTATE& hud = m_battle->GetConsole()->GetState();
    switch (m_step)
    {
    case 3:
        return fighter->IsFreeToAct() && (held(4) || held(5) || held(6) || held(7));
    case 4:
        return state.dashFlag != 0;
    case 5:
        return state.actionState == CCharacter::STATE_JUMP;
    case 6:
        return state.actionState == CCharacter::STATE_ATTACK;
    case 7:
        return state.aimFlag != 0;
    case 8:
        return state.actionState == CCharacter::STATE_LONG_ATTACK ||
               state.actionState == CCharacter::STATE_SPECIAL_ATTACK;
    case 9:
    {
        const float* axes = CInput::GetCameraAxes(pad);
        const bool turned = axes != nullptr && (std::fabs(axes[0]) > 1.0f || std::fabs(axes[1]) > 1.0f);
        return fighter->CanControlCamera() && (held(11) || held(12) || held(9) || held(10) || turned);
    }
    case 10:
        return fighter->CanControlCamera() && held(8);
    case 11:
        return state.lockOn != 0;
    case 12:
        return state.cameraMode == 3;
    case 13:
        return action.weaponChange == 1;
    case 14:
        return action.palette == 3;
    case 15:
        return !m_battle->GetField()->weapons.empty();
    case 16:
        return state.weaponHandling == 1 && action.pickedWord != 0;
    case 17:
        return state.weaponHandling == 2;
    case 18:
        return !m_battle->GetField()->items.empty();
    case 19:
        return state.cover != 0;
    case 20:
        return state.actionState == CCharacter::STATE_AIR_DASH;
    case 21:
        return state.actionState == CCharacter::STATE_DODGE;
    case 22:
        return state.actionState == CCharacter::STATE_ELEMENT_ATTACK;
    case 23:
        return state.burstActive != 0;
    case 24:
        return state.actionState == CCharacter::STATE_BURST_ATTACK;
    case 25:
        return action.blessing != 0;
    case 26:
        return state.actionState == CCharacter::STATE_ELEMENTAL_JUMP;
    case 27:
        return state.actionState == CCharacter::STATE_ELEMENTAL_CHARGE;
    case 28:
        return state.actionState == CCharacter::STATE_ELEMENTAL_REVERSE;
    case 29:
        return action.blessing != 0 && state.burstActive != 0;
    case 30:
        return state.actionState == CCharacter::STATE_MAXIMUM_ATTACK;
    case 31:
        return hud.participantShown != 0;
    case 32:
        return hud.radio[0].shown != 0;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Drawing

namespace
{
// The lesson window, in 1024 x 768 units of the client's height, centred
// across the client's width: the frame's inner rectangle 584 wide from 48
// to 184 (its border reaches 36 pixels beyond), the text's top centre at 36.
constexpr float kWindowHalfWidth = 292.0f;
constexpr float kWindowTop = 48.0f;
constexpr float kWindowBottom = 184.0f;
constexpr float kTextTop = 36.0f;
constexpr uint32_t kTextSize = 24;
constexpr float kOutlineWidth = 1.0f;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;
}

int CTutorialScene::Render(uintptr_t)
{
    if (m_state == TutorialState::CreateBattle || m_battle == nullptr)
        return 1;
    RenderBattle();
    return 1;
}

void CTutorialScene::RenderBattle()
{
    m_battle->Render(0);
    if (m_step < STEP_FINAL_BATTLE && GetLessonText(m_step) != nullptr)
    {
        DrawLessonWindow(FormatLessonText(*g_pController->GetGameConfig()->GetData()).c_str());
        return;
    }
    if (m_step == STEP_CLOSING && m_battle->GetConsole()->GetPhase() == ConsolePhase::Finish)
        DrawLessonWindow(GameText(kLessonTexts[STEP_CLOSING]));
}

bool CTutorialScene::DrawLessonWindow(const char* text)
{
    if (text == nullptr)
        return false;
    const CSystem* system = g_pController->GetSystem();
    const float width = static_cast<float>(system->GetWidth());
    const float s = static_cast<float>(system->GetHeight()) / 768.0f;
    const float inner[4] = {width * 0.5f - kWindowHalfWidth * s, kWindowTop * s, width * 0.5f + kWindowHalfWidth * s,
                            kWindowBottom * s};
    if (CBattleConsole* console = m_battle->GetConsole(); console != nullptr)
        console->DrawWindowFrame(inner, kWhite);
    if (m_font != nullptr)
        m_font->DrawTextOutlinedEx(width * 0.5f, kTextTop * s, kWhite, kBlack, kTextSize, s, kOutlineWidth, text,
                                   KVRDRAWANCHOR_TOP | KVRDRAWANCHOR_HCENTER);
    return true;
}
