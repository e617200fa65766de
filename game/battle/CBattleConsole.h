#pragma once

#include "engine/core/CScene.h"
#include "game/actor/IBattleConsole.h"
#include "game/battle/tag_TOLQCONSOLESTATE.h"
#include "game/menu/CMenuFrame.h"

#include <cstdint>

class CCamera;
class CConsoleRenderer;
class CFontTexture;
class CInput;
class CSoundBuffer;
class CTexture;
struct tag_TOLQBATTLESETTING;

// The battle's head-up display as a phase machine: the intro fade, the
// ready/go call with its voices, the running battle with its time limit and
// pause menu, the win, lose and draw banners with their menus, and the
// closing fade. In the phases with camera keys it drives the battle camera.
// The code of the item chosen in a menu becomes the battle's result code,
// which the mode scene reads once the battle has finished.
//
// Frame by frame (Update): the clocks advance; in the running phase the
// time left counts down while no menu is open, the menu button (31) opens
// the pause menu and the participant-list button (30) shows the list; in
// the other phases the phase clock advances, the fade follows it, a phase
// that reached its end hands on (intro -> ready -> running; win, lose and
// draw open their menu and start the finish), and the camera, the poses and
// the ready/go voices follow the phase clock. Then the open menu reads its
// keys as every menu of the game does (MenuCursorStep): 8 or 12 up, 9 or 13
// down (both wrapping), 22 chooses, and in the pause menu 23 or 31 closes
// it (not on the press that opened it); moves, choices and closing play the
// menu sounds.
//
// Phases and states are in tag_TOLQCONSOLESTATE.h. Drawing (Render,
// RenderWorldOverlays) reads the state and changes nothing.
class CBattleConsole : public CScene, public IBattleConsole
{
public:
    // Logical buttons the HUD reads on pad record 0 besides the menu keys'
    // (MenuKeys.h), which move a menu's cursor as in every menu.
    enum Button : uint8_t
    {
        BUTTON_DECIDE = 22,
        BUTTON_CANCEL = 23,
        BUTTON_PARTICIPANTS = 30,
        BUTTON_MENU = 31,
    };
    static constexpr uint32_t kFadeMilliseconds = 500;
    // How long a kill-feed or radio line, the participant list after its
    // last hold, and a defeat notice are shown.
    static constexpr uint32_t kLineMilliseconds = 3300;
    static constexpr uint32_t kParticipantListMilliseconds = 3200;
    static constexpr uint32_t kNoticeMilliseconds = 1925;
    static constexpr uint32_t kVoices = 7;
    static constexpr uint32_t kTeamDownVoice = 27;
    static constexpr const char* kTextureName = "Console_01.dds";
    static constexpr const char* kAnnounceSoundName = "Se_annouce.ogg";
    // The ready and go voices by voice index.
    static constexpr const char* kReadyVoices[kVoices][2] = {
        {"Vo_plum_ready.ogg", "Vo_plum_go.ogg"},       {"Vo_lierre_ready.ogg", "Vo_lierre_go.ogg"},
        {"Vo_noce_ready.ogg", "Vo_noce_go.ogg"},       {"Vo_limone_ready.ogg", "Vo_limone_go.ogg"},
        {"Vo_cyneria_ready.ogg", "Vo_cyneria_go.ogg"}, {"Vo_aprico_ready.ogg", "Vo_aprico_go.ogg"},
        {"Vo_alptraum_ready.ogg", "Vo_alptraum_go.ogg"}};

    CBattleConsole();
    ~CBattleConsole() override;
    const char* GetClassName() const override { return "CBattleConsole"; }
    uint32_t Release() override;

    // argument: the battle's tag_TOLQBATTLESETTING. Finds the HUD texture
    // and the announcement, and sets the time left from the time limit. 0
    // when the HUD texture is missing where there is a device to draw it on
    // (a battle without graphics draws nothing and needs none).
    int Init(uintptr_t argument) override;
    // argument: the battle's CCamera (or 0). Once per battle frame after the
    // simulation. Returns 1.
    int Update(uintptr_t argument) override;
    // The 2D HUD, last in the battle's render pass (CConsoleRenderer). Every
    // element drawn reports itself in GetDrawnItems. Returns 1.
    int Render(uintptr_t argument) override;
    // Name plates and labels over fighters, field weapons and items, in the
    // battle's 3D pass; they report themselves the same way.
    void RenderWorldOverlays();
    // A nine-part window around an inner rectangle given in the window's
    // pixels (left, top, right, bottom): its border 36 pixels deep at every
    // size, or 36 x scale with the scaled form.
    void DrawWindowFrame(const float* inner, uint32_t color);
    void DrawWindowFrameScaled(const float* inner, uint32_t color, float scale);
    // What the last Render or RenderWorldOverlays drew (HudItemId).
    const CMenuFrame& GetDrawnItems() const { return m_drawn; }
    // Whether the radar turns with the focused fighter (the settings' radar
    // type, read at Init).
    void SetRadarRotation(bool rotating) { m_rotatingRadar = rotating; }

    // Set by the battle after Init, before StartIntro.
    void SetCharacters(CCharacter** characters, CCharacter* focused, uint32_t count);
    void SetStage(CStage* stage) { m_state.stage = stage; }
    void SetField(CFieldLists* field) { m_state.field = field; }
    void SetFocusedCharacter(CCharacter* character) { m_state.focused = character; }
    // Pad record 0 of this input object drives the menus (null: no keys).
    void SetInput(CInput* input) { m_input = input; }

    void StartIntro();
    void StartReady();
    void ShowWin();
    void ShowLose();
    void ShowDraw();
    void StartFinish();

    // The four menus, installed by the mode scene before the first update:
    // 1 pause, 2 win, 3 lose, 4 draw. The texts and codes are borrowed and
    // must outlive the battle.
    void SetBanner1(uint8_t count, uint32_t blocksPlay, const char* title, const char* const* items,
                    const int8_t* codes);
    void SetBanner2(uint8_t count, uint32_t blocksPlay, const char* title, const char* const* items,
                    const int8_t* codes);
    void SetBanner3(uint8_t count, uint32_t blocksPlay, const char* title, const char* const* items,
                    const int8_t* codes);
    void SetBanner4(uint8_t count, uint32_t blocksPlay, const char* title, const char* const* items,
                    const int8_t* codes);
    static void SetMenu(tag_TOLQMENU* menu, uint8_t count, uint32_t blocksPlay, const char* title,
                        const char* const* items, const int8_t* codes);
    // Opens a menu: its cursor, clock and flag cleared; the result code 0,
    // or 8 for a menu with nothing to choose (then an end phase finishes
    // at once). A pause menu with nothing to choose does not open.
    void ShowAnnouncement(ConsoleMenu menu);
    // True while the open menu holds the battle.
    bool IsPlayBlocked() const;

    // IBattleConsole: the kill-feed line (fallen is the fallen fighter's
    // index) and a fighter's radio message (an index into its chat table).
    void ShowMessage(const char* text, uint32_t team, uint32_t fallen) override;
    void AddRadioMessage(uint32_t fighter, uint32_t message) override;
    // Adds a radio line: message is the scope byte (nonzero: the team only)
    // followed by the text.
    void AddRadioLine(const char* message, uint8_t team, const char* senderName, CCharacter* sender);
    // Non-null entries among the first count of that team; team 4 counts all.
    static uint32_t CountTeamMembers(CCharacter* const* characters, uint32_t count, uint8_t team);

    const tag_TOLQCONSOLESTATE& GetState() const { return m_state; }
    tag_TOLQCONSOLESTATE* GetStateForUpdate() { return &m_state; }
    ConsolePhase GetPhase() const { return m_state.phase; }
    // The fighter the result shot (after a win, loss or draw, and under the
    // end menu) frames; null while no result shot shows.
    const CCharacter* GetFramedFighter() const;
    int8_t GetResultCode() const { return m_state.resultCode; }
    uint32_t GetTimeLeft() const { return m_state.timeLeft; }
    const tag_TOLQBATTLESETTING* GetSetting() const { return m_setting; }
    CTexture* GetTexture() const { return m_texture; }

private:
    struct PhaseStart
    {
        ConsolePhase phase;
        uint32_t poseMark;
        uint32_t cameraStart;
        uint32_t cameraEnd;
        uint32_t phaseEnd;
        uint8_t pose;
    };
    void StartPhase(const PhaseStart& start);
    void SetResultCameraKeys();
    tag_TOLQMENU* MenuOf(ConsoleMenu menu);
    const tag_TOLQMENU* MenuOf(ConsoleMenu menu) const;
    void AdvanceClocks(uint32_t milliseconds);
    void ExpireShown();
    void UpdateRunning(const struct tag_KVRPADSTATE* pad, uint32_t milliseconds);
    // False when the update ends for this frame (control passed to the
    // fighters).
    bool UpdatePhase(CCamera* camera, uint32_t milliseconds);
    void UpdatePoses();
    void UpdateVoices();
    void UpdateCamera(CCamera* camera) const;
    // Where the shot about target from the key's angles and distance looks
    // from: the key's eye, or the first one swung round target whose line
    // to it nothing blocks and whose frame (camera, turned to try it) cuts
    // no other fighter's body that fills more than a little of it; failing
    // that the first clear one; with none clear, the key's eye pulled in.
    CkvrVector3 FramingEye(CCamera* camera, const CkvrVector3& target, const CkvrVector3& angles,
                           float distance) const;
    void UpdateMenus(const struct tag_KVRPADSTATE* pad, bool pauseWasOpen);
    void UpdateMenu(tag_TOLQMENU* menu, const struct tag_KVRPADSTATE* pad);
    void CloseMenuOnKey();
    // The keys down now reach nothing until let go (the next screen's too).
    void HoldKeys();
    void PlayReadyVoice(uint32_t step) const;
    template <class Action>
    void ForEachCharacter(Action action);

    // Drawing: a renderer over the state and fonts in a layout, reporting
    // to items (null: nowhere).
    CConsoleRenderer MakeRenderer(const CMenuLayout& layout, CMenuFrame* items) const;

    CTexture* m_texture = nullptr;
    CFontTexture* m_largeFont = nullptr;
    CFontTexture* m_smallFont = nullptr;
    bool m_rotatingRadar = false;
    CMenuFrame m_drawn;
    CSoundBuffer* m_announce = nullptr;
    const tag_TOLQBATTLESETTING* m_setting = nullptr;
    CInput* m_input = nullptr;
    tag_TOLQCONSOLESTATE m_state;
};
