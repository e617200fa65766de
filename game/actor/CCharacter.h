#pragma once

#include "engine/core/CObjectBase.h"
#include "engine/platform/input/tag_KVRPADSTATE.h"
#include "game/actor/CElementAttack.h"
#include "game/actor/tag_TOLQBATTLECHARADATA.h"
#include "game/actor/tag_TOLQBATTLESCORE.h"
#include "game/actor/tag_TOLQCHARAACTION.h"
#include "game/actor/tag_TOLQCHARASTATE.h"
#include "game/actor/tag_TOLQINPUTRECORD.h"
#include "game/actor/tag_TOLQRADIOCHAT.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CAnimationController;
class CClothes;
class CMesh;
class CStateHash;
class CTexture;
class CWeapon;
class CGameDataLists;
class CInput;
class CCamera;
class IBattleStage;
struct CCharacterDefinition;
struct CClothesDefinition;
struct CElementAttackDefinition;
struct CItemDefinition;
struct CWeaponDefinition;
struct tag_TOLQBATTLEFRAME;

// A fighter of the battle. It acts only on its own pad, which only
// ApplyInputRecord fills, so that a fighter steps the same on every machine
// and in every replay. Each frame the battle runs Update on every fighter,
// then MoveAndCollide on every fighter, then UpdateHitsAndAttachments.
class CCharacter : public CObjectBase
{
public:
    enum ActionState : uint32_t
    {
        STATE_STAND = 0,
        STATE_DOWN = 1,
        STATE_STOPPED = 2,
        STATE_MOVE = 4,
        STATE_JUMP = 5,
        STATE_AIR_DASH = 6,
        STATE_ELEMENTAL_JUMP = 7,
        STATE_ELEMENTAL_REVERSE = 8,
        STATE_ELEMENTAL_CHARGE = 9,
        STATE_DODGE = 10,
        STATE_HIT = 12,
        STATE_LONG_ATTACK = 13,
        STATE_ATTACK = 15,
        STATE_SPECIAL_ATTACK = 17,
        STATE_ELEMENT_ATTACK = 22,
        STATE_BURST_ATTACK = 23,
        STATE_MAXIMUM_ATTACK = 24,
    };

    // Logical buttons the fighter reads.
    enum Button : uint8_t
    {
        BUTTON_MOUSE_LEFT = 0,
        BUTTON_MOUSE_RIGHT = 1,
        BUTTON_CAMERA_FRONT = 16,
        BUTTON_VIEW = 21,
        BUTTON_JUMP = 22,
        BUTTON_PICK_UP = 23,
        BUTTON_ATTACK = 24,
        BUTTON_ELEMENT_ATTACK = 25,
        BUTTON_ELEMENT_TRIGGER = 26,
        BUTTON_COVER = 27,
        BUTTON_LOCK_ON = 28,
        BUTTON_AIM = 29,
    };

    static constexpr uint32_t kWeaponSlots = 10;
    static constexpr uint32_t kClothesSlots = 6;
    static constexpr uint32_t kMaxWeight = 10;
    static constexpr uint32_t kDownMilliseconds = 3000;
    static constexpr uint32_t kHitMilliseconds = 250;
    static constexpr uint32_t kDodgeMilliseconds = 350;
    static constexpr uint32_t kAirDashMilliseconds = 300;
    static constexpr uint32_t kDashHoldMilliseconds = 400;
    static constexpr uint32_t kVoiceCooldownMilliseconds = 1500;
    static constexpr uint32_t kBurstMilliseconds = 15000;
    static constexpr uint32_t kHandlingMilliseconds = 500;
    static constexpr float kPickUpRange = 1.5f;
    static constexpr uint32_t kPaletteSwapMilliseconds = 150;
    // How long a closed palette's list takes to slide out of view.
    static constexpr uint32_t kPaletteSlideMilliseconds = 200;
    // Palette buttons: previous and next weapon, wheel up and down.
    static constexpr uint8_t kButtonPrevious = 8;
    static constexpr uint8_t kButtonNext = 9;
    static constexpr uint32_t kReverseMilliseconds = 200;
    static constexpr uint32_t kChargeMilliseconds = 600;
    static constexpr float kLockOnRange = 40.0f;
    static constexpr float kLockOnKeepRange = 50.0f;

    explicit CCharacter(const CCharacterDefinition* definition);
    ~CCharacter() override;
    const char* GetClassName() const override { return "CCharacter"; }
    // Drops the model, the weapons and the worn clothes: an equipped
    // fighter released early holds nothing it could draw or fire.
    uint32_t Release() override;

    // Blocks zeroed, slots empty. Clothes and weapons put on before stay.
    // Also makes the model the definition names, with the fighter's own
    // animation (none found: the fighter draws nothing).
    int Create(uintptr_t argument) override;
    // Keeps a copy of the battle data: fresh score, life, EP and gauge from
    // the factors, the team. Weapons carried from before are its own from
    // now on (they reload).
    virtual int Setup(const tag_TOLQBATTLECHARADATA* data, const CGameDataLists* gameData);
    // argument: the frame's tag_TOLQBATTLEFRAME. Clocks, refills, the
    // action machine and reloads.
    int Update(uintptr_t argument) override;
    void MoveAndCollide(tag_TOLQBATTLEFRAME* frame);
    // Goal test, own swing against the fighters, other owners' bullets
    // against the body.
    void UpdateHitsAndAttachments(tag_TOLQBATTLEFRAME* frame);
    // Nonzero argument: the render list. Poses the model and queues the
    // fighter and its worn clothes; the list draws each back with 0, which
    // draws the model (CharacterPresentation.cpp).
    int Render(uintptr_t argument) override;
    virtual bool IsPlayer() const { return false; }

    // Drawing and previews: only UpdateWeapons, the previews' stand-in for
    // Update, changes simulation state.
    // The model, its animation and the shadow; before deletion (and before
    // the resources the model came from go), and again without harm.
    void ReleaseModel();
    // Borrowed; without one no shadow is drawn.
    void SetShadowTexture(CTexture* texture) { m_shadowTexture = texture; }
    // The ground shadow within 100 below, alpha 255 x (1 - h / 10), and the
    // same for an element of the stage this fighter carries.
    void DrawShadow(IBattleStage* stage);
    // The steps previews run instead of Update: the animation by the frame
    // time x speed, the weapon slots, the worn clothes on their bones, the
    // world matrix the model is drawn with.
    void SetAnimationSpeed(float speed = 1.0f);
    void UpdateWeapons();
    void UpdateAttachments();
    void UpdateModelTransform();
    // The target gets its own copy of the source's definition.
    static void CopyTo(const CCharacter* source, CCharacter* target);
    CMesh* GetModel() const { return m_model; }
    CAnimationController* GetAnimation() const { return m_animation; }
    // The character's own twelve radio messages (what setups copy into
    // their entries).
    const tag_TOLQRADIOCHAT* GetRadioChatTable() const;
    // The messages this fighter sends in battle: its battle data's, the
    // character's own before Setup.
    const tag_TOLQRADIOCHAT* GetBattleRadioChat() const;

    // Unpacks the record into the fighter's own pad and keeps its bytes: the
    // one way input reaches a fighter.
    uint32_t ApplyInputRecord(const tag_TOLQINPUTRECORD* record, CInput* input);
    const tag_TOLQINPUTRECORD* GetLastInputRecord() const { return &m_state.lastInput; }

    // Equipment. kind 1 main, 2 sub, 4 stored. 0 when the mask lacks the own
    // bit or the weight would pass 10.
    uint32_t AddWeapon(const CWeaponDefinition* weapon, uint32_t kind);
    // Replaces a slot (null empties it) without the weight limit; flag 1
    // makes it the main weapon.
    uint32_t SetWeaponAt(const CWeaponDefinition* weapon, uint32_t slot, uint32_t flag);
    // Takes a field weapon itself (its ammunition stays) under AddWeapon's
    // rules; the pointer is emptied on success.
    uint32_t TakeWeapon(std::unique_ptr<CWeapon>* weapon, uint32_t kind);
    CWeapon* GetWeapon(uint32_t slot) const;
    CWeapon* GetMainWeapon() const { return GetWeapon(m_action.mainSlot); }
    CWeapon* GetSubWeapon() const { return GetWeapon(m_action.subSlot); }
    CWeapon* GetSelectedWeapon() const { return GetWeapon(m_action.cursorSlot); }

    // The blessing of one's own element for ms milliseconds.
    void SetBlessing(uint32_t milliseconds);
    bool IsBlessed() const { return m_action.blessing != 0; }
    const CElementAttackDefinition* GetRunningAttack() const { return m_elementAttack.GetDefinition(); }
    // The HUD's weapon picture during an element attack: the attack's own
    // weapon from its first phase on, else null (show the hand's).
    const CWeaponDefinition* GetElementAttackWeapon() const
    {
        return m_elementAttack.GetShownWeapon(m_state.elementAttackTime, m_gameData);
    }

    // The follow camera from the camera yaw and pitch: 4 behind (2 over the
    // right shoulder in the shooting view), pulled in front of the hit
    // model; field of view 60, near 0.1, far 1500. Reads the simulation,
    // changes none of it. eye and target (optional) receive the pose.
    void UpdateCamera(CCamera* camera, IBattleStage* stage, CkvrVector3* eye = nullptr,
                      CkvrVector3* target = nullptr) const;
    // The hand (the definition's offset turned by yaw) plus the weapon's
    // first muzzle; false without a firing weapon.
    bool GetMuzzlePosition(const CWeapon* weapon, CkvrVector3* out) const;
    // The range of the bullet of the weapon's first record; 0 when none.
    float GetFirstBulletParameter(const CWeapon* weapon) const;
    // Where the fighter's aim starts and how far it reaches: the muzzle of
    // the main weapon, or in action state 3 (which no action enters yet)
    // that of the running element attack's own weapon (the hand plus its
    // first bullet record's muzzle). False without a firing weapon to aim.
    bool GetAimOrigin(CkvrVector3* muzzle, float* range) const;

    // Clothes: 0 for null or a mask without the own bit; otherwise takes off
    // the worn clothes sharing a slot bit and wears it in its slots.
    uint32_t SetClothes(const CClothesDefinition* clothes);
    const CClothesDefinition* GetClothes(uint32_t slot) const;
    CClothes* GetClothesObject(uint32_t slot) const { return slot < kClothesSlots ? m_clothes[slot] : nullptr; }
    // Voice entry i at the battle data's voice volume; refused while the
    // cool-down runs unless forced, and without battle data or past the
    // table. 1 when it played.
    uint32_t PlayVoice(uint32_t voice, uint32_t forced);

    // A field item taken: its kind's effect, with the item's value.
    void ApplyItem(const CItemDefinition* item);

    // Result poses: 2 ready, 3 win, 4 lose, 5 draw, 7 await the requested.
    void SetResultPose(uint8_t pose);
    void SetResultPoseMotion(uint8_t pose, int32_t motion);
    void ResetResultPose(int32_t motion) { SetResultPoseMotion(0, motion); }
    void SetRequestedResultPose(uint8_t pose) { m_state.requestedResultPose = pose; }
    void ApplyRequestedResultPose();

    // A hit from attacker (index) of a power; shot tells bullets from
    // swings. Returns the damage done.
    uint32_t ReceiveHit(tag_TOLQBATTLEFRAME* frame, int32_t attacker, uint8_t power, bool shot);

    bool IsDown() const { return m_state.actionState == STATE_DOWN || m_state.actionState == STATE_STOPPED; }
    bool IsFreeToAct() const;
    bool CanControlCamera() const;
    bool IsNpc() const { return m_data != nullptr && m_data->npc != 0; }
    int32_t GetIndex() const { return m_data != nullptr ? m_data->fighterIndex : -1; }
    uint8_t GetTeam() const { return m_action.team; }

    const CCharacterDefinition* GetDefinition() const { return m_definition; }
    tag_KVRPADSTATE* GetControlState() { return &m_pad; }
    tag_TOLQCHARASTATE* GetStateBlock() { return &m_state; }
    const tag_TOLQCHARASTATE* GetStateBlock() const { return &m_state; }
    tag_TOLQCHARAACTION* GetActionData() { return &m_action; }
    tag_TOLQBATTLESCORE* GetBattleScore() { return &m_score; }
    const tag_TOLQBATTLECHARADATA* GetBattleData() const { return m_data.get(); }
    // A player who left the battle: the fighter is known by its
    // character's name from now on.
    void ClearPlayerName()
    {
        if (m_data)
            m_data->name.clear();
    }
    uint16_t GetMaxLife() const { return m_state.maxLife; }
    // The last motion played (8 + state on entering a state), for tests and
    // the model.
    int32_t GetMotion() const { return m_motion; }
    // What the last defeat of this fighter leaves: see DefeatDrop.
    uint32_t TakeDefeatDrop();

    // The body: two spheres of the definition's radius, at radius and at
    // height - radius above the feet (x, y, z, r).
    void GetBodySpheres(float spheres[2][4]) const;
    // The sphere of an attack of reach and radius in front of the chest
    // along yaw (degrees): x, y, z, r.
    void GetAttackSphere(float yaw, float reach, float radius, float sphere[4]) const;
    // Whether a sphere (x, y, z, r) touches the body.
    bool BodyTouches(const float sphere[4]) const;
    // A sphere of radius, reach in front of the chest, hits every other
    // fighter not yet in the state's hit mask and every box not yet in
    // boxesHit (each then joins it); swings and element attacks share it.
    void TestAttackSphere(tag_TOLQBATTLEFRAME* frame, float reach, float radius, uint8_t power,
                          std::vector<uint32_t>* boxesHit);
    // Mixes in every field that can change a later frame, so that two runs
    // part at the very frame they differ.
    virtual void HashState(CStateHash* hash) const;

protected:
    const tag_KVRPADSTATE& Pad() const { return m_pad; }

private:
    // Action machine (CharacterActions.cpp).
    void UpdateClocks(uint32_t milliseconds);
    void UpdateActions(tag_TOLQBATTLEFRAME* frame, uint32_t milliseconds);
    void UpdateCameraTurn(uint32_t milliseconds);
    bool TryStartAction(tag_TOLQBATTLEFRAME* frame);
    void UpdateMovementInput(uint32_t milliseconds);
    void EndTimedState(uint32_t milliseconds);
    void UpdateDown(tag_TOLQBATTLEFRAME* frame);
    // The motion of a result pose (ready, win, lose, draw); -1 for the others.
    int32_t GetResultPoseMotion(uint8_t pose) const;
    void StartState(uint32_t state);
    bool StartSwing();
    bool TryPickUp(tag_TOLQBATTLEFRAME* frame);
    void UpdateRadio();
    void UpdateAim();
    bool TryDigitSelect();
    bool TryCover(tag_TOLQBATTLEFRAME* frame);
    void TakeIntoHand(uint8_t slot);
    bool UpdatePalette(tag_TOLQBATTLEFRAME* frame);
    // Moves the cursor to the next filled slot that way; the list on show
    // follows it.
    void StepCursor(int direction);
    uint8_t SelectModeOf(uint8_t slot) const;
    void DropWeapon(tag_TOLQBATTLEFRAME* frame, uint8_t slot);
    void TestItems(tag_TOLQBATTLEFRAME* frame);
    void TestElements(tag_TOLQBATTLEFRAME* frame);
    void DropOnDefeat(tag_TOLQBATTLEFRAME* frame, uint32_t drop);
    bool TryElementButtons(tag_TOLQBATTLEFRAME* frame);
    bool StartElementAttack(const CElementAttackDefinition* attack, uint32_t state);
    bool StartElementalJump(tag_TOLQBATTLEFRAME* frame);
    void UpdateLockOn(tag_TOLQBATTLEFRAME* frame);
    void UpdateBurst(uint32_t milliseconds);
    void UpdateRunningAttack();
    const CElementAttackDefinition* FindAttack(const std::string& name) const;
    CCharacter* GetLockOnTarget(tag_TOLQBATTLEFRAME* frame) const;
    bool StartFire(tag_TOLQBATTLEFRAME* frame);
    void FireWeapon(CWeapon* weapon, tag_TOLQBATTLEFRAME* frame);
    void Defeat(tag_TOLQBATTLEFRAME* frame, int32_t attacker);
    // Records the motion and starts its animation on the model.
    void PlayMotion(int32_t motion);
    void CreateModel();
    void AdvanceAnimation(float seconds);
    void PlayEvent(uint32_t event);
    bool Pressed(uint8_t button) const { return m_pad.pressed.button[button] != 0; }
    bool Held(uint8_t button) const { return m_pad.held.button[button] != 0; }
    bool AttackPressed() const { return Pressed(BUTTON_ATTACK) || Pressed(BUTTON_MOUSE_LEFT); }
    bool Aiming() const { return Held(BUTTON_AIM) || Held(BUTTON_MOUSE_RIGHT); }
    float MoveSpeedFactor() const;
    void Quantize();
    // Every carried weapon takes the fighter's position, yaw and hand.
    void UpdateWeaponHolders();

    // Hits (CharacterHits.cpp).
    void TestSwing(tag_TOLQBATTLEFRAME* frame);
    void TestBullets(tag_TOLQBATTLEFRAME* frame);
    void TestGoal(tag_TOLQBATTLEFRAME* frame);

    // Movement (CharacterMovement.cpp).
    void MoveHorizontally(IBattleStage* stage, float dt);
    void MoveVertically(IBattleStage* stage, float dt);
    bool HorizontalBlocked(IBattleStage* stage, const CkvrVector3& from, const CkvrVector3& to,
                           CkvrVector3* normal) const;

    const CCharacterDefinition* m_definition;
    const CGameDataLists* m_gameData = nullptr;
    tag_KVRPADSTATE m_pad{};
    tag_TOLQCHARASTATE m_state;
    tag_TOLQCHARAACTION m_action;
    tag_TOLQBATTLESCORE m_score;
    std::unique_ptr<tag_TOLQBATTLECHARADATA> m_data;
    std::unique_ptr<CWeapon> m_weapons[kWeaponSlots];
    int32_t m_motion = -1;
    CElementAttack m_elementAttack;
    CkvrVector3 m_moveTarget;
    std::vector<uint32_t> m_boxesHit;
    // Each worn part once, in the order put on; the slots point into it.
    std::vector<std::unique_ptr<CClothes>> m_wornClothes;
    CClothes* m_clothes[kClothesSlots] = {};
    // Set by CopyTo: the definition then points here.
    std::unique_ptr<CCharacterDefinition> m_ownDefinition;
    // Presentation: borrowed model, own animation, borrowed shadow texture.
    CMesh* m_model = nullptr;
    CAnimationController* m_animation = nullptr;
    float m_motionSpeed = 1.0f;
    CTexture* m_shadowTexture = nullptr;
    uint32_t m_defeatDrop = 0;
    bool m_teamOut = false;
};
