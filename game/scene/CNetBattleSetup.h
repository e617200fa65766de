#pragma once

// The game's battle setup (CBattleConfig) as the network scene's child.

#include "game/scene/INetBattleSetup.h"

#include <memory>

class CBattleConfig;

class CNetBattleSetup : public INetBattleSetup
{
public:
    CNetBattleSetup();
    ~CNetBattleSetup() override;

    static std::unique_ptr<INetBattleSetup> Make();

    bool Start(const NetSetupStart& start) override;
    void Update() override;
    void Render() override;
    uint32_t GetPage() const override;
    bool HasLeftMatch() const override;
    void SetPage(uint32_t page) override;
    void SetHost(bool host) override;
    void FollowOwnSeat(int32_t from, int32_t to) override;
    bool OnPeerMessage(int32_t id, const uint8_t* payload, uint32_t length) override;

    CBattleConfig* GetConfig() const { return m_config.get(); }

private:
    std::unique_ptr<CBattleConfig> m_config;
};
