#pragma once

// The local battle, scene 2: a fight against the computer that the title's
// ring opens. It owns one battle setting of eight players for its whole
// life, the battle setup (CBattleConfig) as a child scene, and, while a
// battle runs, the battle itself. The setup edits the setting; a battle is
// played from it; the choice in the battle's menu sends the scene back to
// the setup's mode or members page, into a new battle with the same
// setting, or to the title. The scene draws nothing and plays no music of
// its own: the setup and the battle do both.
//
// States: Setup (the setup's pages run until it starts or leaves), Start
// (a battle is built; retried every frame while it fails), Battle (until
// it finishes). Leaving the setup goes to the title's menu with this
// scene's ring item in front; the battle's "back to the title" goes to the
// title picture.

#include "engine/core/CScene.h"

#include <cstdint>

class CBattleConfig;
class CBattleScene;
struct tag_TOLQBATTLESETTING;

class CLocalScene : public CScene
{
public:
    // The states keep their numbers: the parameter block's sub-state picks
    // the first.
    enum class LocalState : uint32_t
    {
        Setup = 0,
        Start = 1,
        Battle = 2,
    };
    // The title's ring item of this scene, and where the title resumes.
    static constexpr uint32_t kRingItem = 1;
    static constexpr uint32_t kTitleMenu = 3;
    static constexpr uint32_t kTitlePicture = 2;

    CLocalScene();
    ~CLocalScene() override;
    const char* GetClassName() const override { return "CScene"; }

    int Init(uintptr_t parameter) override;
    int Update(uintptr_t argument) override;
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    LocalState GetState() const { return m_state; }
    CBattleConfig* GetSetup() const { return m_setup; }
    CBattleScene* GetBattle() const { return m_battle; }
    tag_TOLQBATTLESETTING* GetSetting() const { return m_setting; }

private:
    void EnterState(LocalState next) { m_state = next; }
    void UpdateSetup(uintptr_t argument);
    void StartBattle();
    void UpdateBattle(uintptr_t argument);
    void InstallMenus();
    void ReleaseBattle();
    // Before each battle: a new seed, and every random choice the battle
    // would otherwise draw from an unseeded stream (the music) drawn from
    // it, so that a replay of the battle shows the same.
    void DrawRandomChoices();
    void RestoreChoices();

    LocalState m_state = LocalState::Setup;
    tag_TOLQBATTLESETTING* m_setting = nullptr;
    CBattleConfig* m_setup = nullptr;
    CBattleScene* m_battle = nullptr;
    // The player's music choice while a drawn one stands in for random.
    int8_t m_chosenMusic = 0;
    bool m_musicDrawn = false;
};
