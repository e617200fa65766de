// The game's battle setup as the network scene's child.
#include "game/scene/CNetBattleSetup.h"

#include "game/battle/CBattleConfig.h"

CNetBattleSetup::CNetBattleSetup() = default;

CNetBattleSetup::~CNetBattleSetup()
{
    if (m_config)
        m_config->Release();
}

std::unique_ptr<INetBattleSetup> CNetBattleSetup::Make()
{
    return std::make_unique<CNetBattleSetup>();
}

bool CNetBattleSetup::Start(const NetSetupStart& start)
{
    if (m_config)
        m_config->Release();
    m_config = std::make_unique<CBattleConfig>();
    if (start.config != nullptr)
        m_config->SetGameConfig(start.config);
    tag_TOLQSETUPPARAM block;
    block.startPage = start.page;
    block.backgroundAlpha = start.backgroundAlpha;
    block.fade = start.fade;
    block.startPhase = start.phase;
    block.online = start.online;
    block.host = start.host;
    block.randomMatch = start.randomMatch;
    block.setting = start.setting;
    block.session = start.session;
    block.lobby = start.lobby;
    return m_config->Init(reinterpret_cast<uintptr_t>(&block)) == 1;
}

void CNetBattleSetup::Update()
{
    m_config->Update(0);
}

void CNetBattleSetup::Render()
{
    m_config->Render(0);
}

uint32_t CNetBattleSetup::GetPage() const
{
    return m_config->GetPage();
}

bool CNetBattleSetup::HasLeftMatch() const
{
    return m_config->HasLeftMatch();
}

void CNetBattleSetup::SetPage(uint32_t page)
{
    m_config->SetPage(page);
}

void CNetBattleSetup::SetHost(bool host)
{
    m_config->SetHost(host);
}

void CNetBattleSetup::FollowOwnSeat(int32_t from, int32_t to)
{
    m_config->FollowOwnSeat(from, to);
}

bool CNetBattleSetup::OnPeerMessage(int32_t id, const uint8_t* payload, uint32_t length)
{
    return m_config->OnPeerMessage(id, payload, length);
}
