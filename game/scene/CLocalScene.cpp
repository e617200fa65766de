// The local battle: the setup's pages, the battles played from them, and
// the way back to the title.
#include "game/scene/CLocalScene.h"

#include "engine/core/CRandom.h"
#include "engine/core/GameText.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/GameServices.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/battle/CBattleConfig.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/scene/MenuScene.h"

namespace
{
constexpr uint8_t kPlayers = 8;

// The battle's menus: the pause menu has all five rows, the win, lose and
// draw menus all but the first.
constexpr uint8_t kPauseItems = 5;
constexpr const char* kMenuTexts[kPauseItems] = {"対戦に戻る", "リトライ", "モード選択に戻る",
                                                  "キャラクター選択に戻る", "タイトルに戻る"};
constexpr int8_t kMenuCodes[kPauseItems] = {RESULT_RESUME, RESULT_RETRY, RESULT_MODE_SELECT, RESULT_CHARACTER_SELECT,
                                            RESULT_TITLE};

const char* const* MenuTexts()
{
    static const char* const texts[kPauseItems] = {GameText(kMenuTexts[0]), GameText(kMenuTexts[1]),
                                                   GameText(kMenuTexts[2]), GameText(kMenuTexts[3]),
                                                   GameText(kMenuTexts[4])};
    return texts;
}

CGameConfig* Config()
{
    return g_pController != nullptr ? g_pController->GetGameConfig() : nullptr;
}
}

CLocalScene::CLocalScene() = default;

CLocalScene::~CLocalScene()
{
    Release();
}

int CLocalScene::Init(uintptr_t parameter)
{
    const tag_TOLQSCENEPARAM* param = SceneParam(parameter);
    m_setup = new CBattleConfig();
    m_state = LocalState::Setup;
    m_setting = CreateBattleSettingFrom(kPlayers, 0, Config());
    tag_TOLQSETUPPARAM block;
    if (param != nullptr)
    {
        block.backgroundAlpha = param->fade;
        block.fade = param->fade2;
        block.unused = param->fade3;
        // A running battle can't be named by a parameter: there is none
        // yet, so the pages come first.
        m_state = param->subState == static_cast<uint32_t>(LocalState::Start) ? LocalState::Start : LocalState::Setup;
    }
    block.setting = m_setting;
    m_setup->Init(reinterpret_cast<uintptr_t>(&block));
    return 1;
}

uint32_t CLocalScene::Release()
{
    if (m_setup != nullptr)
    {
        m_setup->Release();
        delete m_setup;
        m_setup = nullptr;
    }
    ReleaseBattle();
    FreeBattleSetting(m_setting);
    m_setting = nullptr;
    return CResourceBase::Release();
}

int CLocalScene::Update(uintptr_t argument)
{
    switch (m_state)
    {
    case LocalState::Setup:
        UpdateSetup(argument);
        break;
    case LocalState::Start:
        StartBattle();
        break;
    case LocalState::Battle:
        UpdateBattle(argument);
        break;
    }
    return 1;
}

int CLocalScene::Render(uintptr_t argument)
{
    if (m_state == LocalState::Setup && m_setup != nullptr)
        m_setup->Render(argument);
    else if (m_state == LocalState::Battle && m_battle != nullptr)
        m_battle->Render(argument);
    return 1;
}

void CLocalScene::UpdateSetup(uintptr_t argument)
{
    m_setup->Update(argument);
    if (m_setup->GetPage() == CBattleConfig::PAGE_START)
    {
        EnterState(LocalState::Start);
        return;
    }
    // The scene switch releases this scene at the end of the frame.
    if (m_setup->GetPage() == CBattleConfig::PAGE_LEAVE && g_pController != nullptr)
        g_pController->ChangeScene(CController::SCENE_TITLE, kTitleMenu, 1.0f, kRingItem);
}

void CLocalScene::ReleaseBattle()
{
    if (m_battle == nullptr)
        return;
    m_battle->Release();
    delete m_battle;
    m_battle = nullptr;
    RestoreChoices();
}

void CLocalScene::DrawRandomChoices()
{
    // A new seed each battle, so that a retry is a new fight.
    m_setting->seed = NextBattleSeed(m_setting->seed);
    CGameConfig* config = Config();
    const uint32_t total = config != nullptr ? config->GetPlayData()->musicCount : 0;
    tag_TOLQBATTLERULE& rules = m_setting->rules;
    m_musicDrawn = false;
    if (total == 0 || (rules.musicChoice >= 0 && static_cast<uint32_t>(rules.musicChoice) < total))
        return;
    CRandom stream;
    stream.Seed(m_setting->seed);
    m_chosenMusic = rules.musicChoice;
    rules.musicChoice = static_cast<int8_t>(stream.NextInt(total < 127 ? total : 127));
    m_musicDrawn = true;
}

void CLocalScene::RestoreChoices()
{
    if (m_musicDrawn && m_setting != nullptr)
        m_setting->rules.musicChoice = m_chosenMusic;
    m_musicDrawn = false;
}

void CLocalScene::StartBattle()
{
    ReleaseBattle();
    DrawRandomChoices();
    m_battle = new CBattleScene();
    m_battle->SetGameConfig(Config());
    if (m_battle->Init(reinterpret_cast<uintptr_t>(m_setup->GetSetting())) == 0)
    {
        // Tried again from the start next frame; nothing shows meanwhile.
        ReleaseBattle();
        return;
    }
    InstallMenus();
    EnterState(LocalState::Battle);
}

void CLocalScene::InstallMenus()
{
    CBattleConsole* console = m_battle->GetConsole();
    const char* const* texts = MenuTexts();
    const uint8_t endItems = kPauseItems - 1;
    console->SetBanner2(endItems, 1, nullptr, texts + 1, kMenuCodes + 1);
    console->SetBanner3(endItems, 1, nullptr, texts + 1, kMenuCodes + 1);
    console->SetBanner4(endItems, 1, nullptr, texts + 1, kMenuCodes + 1);
    console->SetBanner1(kPauseItems, 1, nullptr, texts, kMenuCodes);
}

void CLocalScene::UpdateBattle(uintptr_t argument)
{
    if (m_battle == nullptr)
    {
        EnterState(LocalState::Setup);
        return;
    }
    m_battle->Update(argument);
    if (m_battle->IsFinished() == 0)
        return;
    switch (m_battle->GetConsole()->GetResultCode())
    {
    case RESULT_RETRY:
        EnterState(LocalState::Start);
        break;
    case RESULT_TITLE:
        // The switch releases this scene, the battle with it.
        if (g_pController != nullptr)
            MenuScene::LeaveToTitlePicture(kRingItem);
        return;
    case RESULT_CHARACTER_SELECT:
        EnterState(LocalState::Setup);
        m_setup->SetPage(CBattleConfig::PAGE_MEMBERS);
        break;
    default:
        // Back to the mode page (the menu's own code, and any other).
        EnterState(LocalState::Setup);
        m_setup->SetPage(CBattleConfig::PAGE_MODE);
        break;
    }
    ReleaseBattle();
}
