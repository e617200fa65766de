#pragma once

#include "engine/core/CScene.h"
#include "game/actor/CActorEffects.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CGameDataLists.h"
#include "game/battle/BattleEndRules.h"

#include <cstdint>
#include <memory>
#include <vector>

class CBattleConsole;
class CBulletMemoryList;
class CCamera;
class CCharacter;
class CEffectController;
class CGameConfig;
class CGraphics;
class CRenderList;
class CInput;
class CListener;
class CReplay;
class CResourceController;
class CSoundBuffer;
class CStage;
class CStateHash;
struct tag_TOLQBATTLECHARADATA;
struct tag_TOLQBATTLEFRAME;
struct tag_TOLQBATTLESETTING;

// One battle, run from a battle setting: the stage, the fighters (one per
// entry, null for a closed seat, then the NPCs), the field, the HUD and the
// replay. A mode scene initialises it, forwards its update and render every
// frame, polls IsFinished, reads the HUD's result code and deletes it.
//
// Every frame runs in one fixed order, offline, in replay playback and on
// every peer of an online match (Update): unless an open menu holds the
// battle, or in playback the replay's next frame is not yet due, the
// replay's frame (in playback), the stage, the bullets, every
// fighter's update, every fighter's movement, the field weapons and items,
// the altars' elements, every fighter's hits, the bullets against the
// world, the effects and the recording; then the HUD, the rumble, the
// mouse, and the end test of the rule.
//
// Without a game application (tests, benchmarks) the battle runs headless:
// it keeps its own bullet pool, effect controller and input object, plays
// no sound and draws nothing, and computes the same frames.
class CBattleScene : public CScene
{
public:
    struct Track
    {
        const char* name;
        float loopSeconds;
    };
    // The built-in music by the setting's music choice.
    static constexpr uint32_t kBuiltInTracks = 11;
    static constexpr Track kTracks[kBuiltInTracks] = {
        {"Bgm_plum.ogg", 6.985f},    {"Bgm_lierre.ogg", 1.349f},   {"Bgm_noce.ogg", 9.209f},
        {"Bgm_limone.ogg", 15.705f}, {"Bgm_cyneria.ogg", 5.291f},  {"Bgm_aprico.ogg", 11.845f},
        {"Bgm_alptraum.ogg", 2.268f}, {"Bgm_op.ogg", 0.0f},        {"Bgm_op_inst.ogg", 0.0f},
        {"Bgm_ed.ogg", 0.0f},        {"Bgm_ed_inst.ogg", 0.0f}};
    static constexpr Track kWinMusic = {"Bgm_win.ogg", 11.438f};
    static constexpr Track kLoseMusic = {"Bgm_lose.ogg", 13.992f};
    // Money a mission earns by rank 0-6.
    static constexpr uint32_t kRankReward[7] = {0, 0, 10, 20, 30, 50, 100};
    // The capacities of the effect controller of a headless battle: the
    // game application's, so that both draw the same numbers.
    static constexpr uint32_t kEffectCapacity = 1536;
    static constexpr uint32_t kParticleCapacity = 4196;

    CBattleScene();
    ~CBattleScene() override;
    const char* GetClassName() const override { return "CBattleScene"; }

    // argument: the tag_TOLQBATTLESETTING (0: a default setting for two,
    // freed with the battle). 0 when the battle can't be built: the HUD
    // fails, there is no stage to fight on, or a replay's seat names a
    // character the loaded data lacks.
    int Init(uintptr_t argument) override;
    // One battle frame. Returns 1.
    int Update(uintptr_t argument) override;
    // Draws the frame (nothing without a graphics device). Returns 1.
    int Render(uintptr_t argument) override;
    // Frees everything; saves the replay of a recorded battle that ended. 0
    // when there is no setting.
    uint32_t Release() override;

    // 1 once the HUD has faded out after the battle's end or a menu choice.
    int IsFinished() const;
    CBattleConsole* GetConsole() { return m_console.get(); }
    // The first entry whose seat is the own slot; the own slot itself when
    // none is.
    uint32_t GetLocalPlayerIndex() const;
    // The entry the camera follows (see the setting's viewed slot).
    uint32_t GetViewedIndex() const;

    // End rules and results (BattleEndRules.h).
    uint32_t CheckEnd(uint32_t local) const;
    uint8_t GetResult(uint32_t fighter) const;
    // +1 battle in the local player's offline or online record; 0 in
    // playback.
    uint32_t CountBattleOffline(uint32_t local);
    uint32_t CountBattleNetwork(uint32_t local);
    // The result, tallies, sums and money into the records (missions into
    // the mission record); 0 in playback.
    uint32_t RecordResultOffline(uint8_t result, uint32_t local);
    uint32_t RecordResultNetwork(uint8_t result, uint32_t local);
    // A mission's rank: the highest k whose threshold the score reaches,
    // or, when the local player won, the whole seconds left. The first win
    // clears the mission (where its rules leave no way to win, the first
    // end with rank E or better).
    uint32_t RecordMissionResult(uint32_t local);

    // Playback: the opened replay (owned from now on).
    void SetReplay(CReplay* replay);
    CReplay* GetReplay() const { return m_replay.get(); }
    // The settings and records results go to (default: the game
    // application's).
    void SetGameConfig(CGameConfig* config) { m_config = config; }

    tag_TOLQBATTLESETTING* GetSetting() const { return m_setting; }
    uint32_t GetPlayerCount() const;
    uint32_t GetFighterCount() const { return static_cast<uint32_t>(m_fighters.size()); }
    CCharacter* GetFighter(uint32_t index) const { return index < m_fighters.size() ? m_fighters[index] : nullptr; }
    CStage* GetStage() const { return m_stage.get(); }
    CFieldLists* GetField() { return &m_field; }
    CCamera* GetCamera() const { return m_camera.get(); }
    // Placed by Render.
    const CListener* GetListener() const { return m_listener.get(); }
    CInput* GetInput() const { return m_input; }
    CBulletMemoryList* GetBullets() const { return m_bullets; }
    // Every simulated field, for comparing two runs frame by frame.
    void HashState(CStateHash* hash) const;
    uint64_t GetStateHash() const;

private:
    void ReleaseAll();
    void PickMusic();
    bool CreateStage();
    void CreatePlayers();
    void CreateNpcs();
    bool SetUpConsole();
    void StartRecording();
    void StartMusic();
    void FillSharedData();
    void PlaceFighter(CCharacter* fighter, uint32_t index, uint32_t drawsUntil);
    void EquipFighter(CCharacter* fighter, const char* const* weapons, uint32_t weaponCount);
    void FinishFighter(CCharacter* fighter);
    void ApplyDepartures();
    void StepSimulation(tag_TOLQBATTLEFRAME* frame);
    // In playback, a frame whose recorded time has not yet run is held for
    // as many loop frames as that takes, instead of the loop waiting.
    bool HoldsReplayFrame() const;
    void HoldFrame(const CCharacter* viewed);
    void UpdateFreeCamera();
    void EndBattle();
    void SaveReplay(bool ended);
    CRenderList* GetRenderList(CGraphics* graphics);
    void PlaceListener();
    // Ground shadows of the fighters, field weapons and items; none for a
    // fighter that the result shot framing framed leaves out.
    void DrawShadows(CGraphics* graphics, const CCharacter* framed);
    BattleRuleView MakeRuleView(std::vector<BattlePlayerView>* players) const;
    uint32_t* RecordHalf(uint32_t local, bool online);
    uint32_t RecordResult(uint8_t result, uint32_t local, bool online);
    // The rank thresholds T[0..6] of the setting's mission in the game's
    // mission list; null when there is no such mission.
    const uint32_t* GetMissionThresholds() const;

    tag_TOLQBATTLESETTING* m_setting = nullptr;
    std::unique_ptr<CStage> m_stage;
    std::vector<std::unique_ptr<CCharacter>> m_owned; // players, then NPCs
    std::vector<CCharacter*> m_fighters;              // by index; null for a closed seat
    uint32_t m_npcCount = 0;
    bool m_ended = false; // the end test fired (or the playback ran out)
    std::unique_ptr<CCamera> m_camera;
    std::unique_ptr<CListener> m_listener;
    float m_musicLoop = 0.0f;
    CSoundBuffer* m_stageMusic = nullptr;
    std::unique_ptr<CSoundBuffer> m_streamedMusic;
    CSoundBuffer* m_winMusic = nullptr;
    CSoundBuffer* m_loseMusic = nullptr;
    CFieldLists m_field;
    std::unique_ptr<CBattleConsole> m_console;
    CBulletMemoryList* m_bullets = nullptr;
    std::unique_ptr<CBulletMemoryList> m_ownBullets;
    std::unique_ptr<CReplay> m_replay;
    CGameDataLists m_gameData;
    CEffectController* m_effectController = nullptr;
    std::unique_ptr<CEffectController> m_ownEffectController;
    std::unique_ptr<CActorEffects> m_effects;
    CInput* m_input = nullptr;
    std::unique_ptr<CInput> m_ownInput;
    std::unique_ptr<CRenderList> m_ownRenderList;
    CGameConfig* m_config = nullptr;
    std::unique_ptr<tag_TOLQBATTLECHARADATA> m_data; // the shared fields, then each fighter's
};
