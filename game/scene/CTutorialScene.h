#pragma once

// The tutorial, scene 10 (the title's ring item 9). A battle of the player
// against a computer fighter that stands still, on a stage that offers only
// what the current lesson needs, walks the player through 37 lesson steps:
// a framed text at the top names the action and the keys and pad buttons
// the settings give it; most steps wait until the player's fighter has done
// it, the text then shows the pass mark for five seconds of frame time, and
// the next step follows. After the lessons the lesson battle ends, and a
// second battle from the same setting, everything enabled and the opponent
// fighting back, is fought; when it is over the closing text shows for five
// seconds and the title picture follows. The pause menu offers "対戦に戻る"
// and "タイトルに戻る" throughout. No replay is recorded.
//
// States: create the battle (retried every update until it can be built)
// -> battle and lessons.

#include "engine/core/CScene.h"

#include <cstdint>
#include <memory>
#include <string>

class CBattleScene;
class CFontTexture;
struct tag_TOLQBATTLESETTING;
struct tag_TOLQGAMECONFIG;

class CTutorialScene : public CScene
{
public:
    enum class TutorialState : uint32_t
    {
        CreateBattle = 0,
        Lessons = 1,
    };
    // The steps with a meaning of their own; 3 to 32 are the lessons.
    enum Step : uint32_t
    {
        STEP_START = 0,
        STEP_TITLE = 1,
        STEP_INTRODUCTION = 2,
        STEP_FIRST_LESSON = 3,
        STEP_NEAR_AND_FAR = 14,
        STEP_WEAPON_BOX = 15,
        STEP_DROP_WEAPON = 17,
        STEP_ITEM_BOX = 18,
        STEP_BURST = 23,
        STEP_BURST_ATTACK = 24,
        STEP_BLESSING = 25,
        STEP_ELEMENTAL_MAXIMUM = 29,
        STEP_MAXIMUM_ATTACK = 30,
        STEP_LAST_LESSON = 32,
        STEP_END_OF_BASICS = 33,
        STEP_INVITATION = 34,
        STEP_FINAL_BATTLE = 35,
        STEP_CLOSING = 36,
        STEP_DONE = 37,
    };
    static constexpr uint32_t kStepCount = 37;
    static constexpr uint32_t kStepMilliseconds = 5000;
    static constexpr uint32_t kTextBytes = 1024;

    CTutorialScene();
    ~CTutorialScene() override;
    const char* GetClassName() const override { return "CTutorialScene"; }

    // The parameter block is not read. 1.
    int Init(uintptr_t parameter) override;
    int Update(uintptr_t argument) override;
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    // Whether the current step's test holds; once it has held the step stays
    // passed until the step changes. The passed flag.
    bool CheckLesson();
    // The current step's text with the pass mark and the names of the keys
    // and pad buttons of settings (a game text; empty for a step without
    // one).
    std::string FormatLessonText(const tag_TOLQGAMECONFIG& settings) const;
    // The lesson text of a step as written (UTF-8), null for none.
    static const char* GetLessonText(uint32_t step);

    TutorialState GetState() const { return m_state; }
    uint32_t GetStep() const { return m_step; }
    uint32_t GetTimer() const { return m_timer; }
    bool IsPassed() const { return m_passed; }
    CBattleScene* GetBattle() const { return m_battle.get(); }
    const tag_TOLQBATTLESETTING* GetSetting() const { return m_setting; }

private:
    void CreateBattle();
    int UpdateLessons();
    void RunStep(uint32_t milliseconds);
    void AdvanceAfterPass(uint32_t milliseconds);
    void NextStep();
    void PrepareLesson();
    bool LessonHolds();
    bool StartFinalBattle();
    void ReleaseBattle();
    void RenderBattle();
    bool DrawLessonWindow(const char* text);

    TutorialState m_state = TutorialState::CreateBattle;
    uint32_t m_step = 0;
    uint32_t m_timer = 0;
    bool m_passed = false;
    bool m_createFailureLogged = false;
    tag_TOLQBATTLESETTING* m_setting = nullptr; // owned
    CFontTexture* m_font = nullptr;
    std::unique_ptr<CBattleScene> m_battle;
};
