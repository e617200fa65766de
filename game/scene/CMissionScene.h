#pragma once

// The missions, scene 4 (the title's ring item 3). A list of every mission
// with the player's best rank, thirteen rows at a time with a scroll bar;
// beside it the cleared count, the chosen mission's best value and rank, and
// its briefing (what it asks, who fights on either side, the time limit and
// how it is ranked). Choosing a mission fights its battle; the battle ranks
// the result by the mission's thresholds and pays by the rank. After the
// battle the list returns (or the same mission again, or the title). Next:
// the title menu with this item in front.
//
// The list, frame by frame: fade in (0.5 s); choosing: up and down move the
// cursor (wrapping at both ends, the view following), the mouse on a row
// chooses it and a click starts it, holding the left button on the scroll
// bar moves the view, decide starts the chosen mission, cancel, the right
// mouse button or the back button leave. A mission without a battle can't
// be started: the screen says so.

#include "engine/core/CScene.h"
#include "game/menu/CMenuFrame.h"
#include "game/scene/MenuScene.h"
#include "game/scene/MissionListCursor.h"

#include <cstdint>
#include <memory>
#include <string>

class CBattleScene;
class CFontTexture;
class CMenuPainter;
class CMission;
class CSoundBuffer;
class CTexture;

class CMissionScene : public CScene
{
public:
    // The scene's states and the list's steps keep their numbers: the
    // parameter block resumes in them.
    enum class MissionState : uint32_t
    {
        List = 0,
        StartBattle = 1,
        Battle = 2,
    };
    enum class ListStep : uint32_t
    {
        FadeIn = 0,
        Choosing = 1,
        FadeOut = 2,
        Fight = 3,
        Leave = 4,
    };
    // Items the list reports: the back button and the rows (kRowId + row).
    static constexpr int32_t kBackId = 1;
    static constexpr int32_t kScrollBarId = 2;
    static constexpr int32_t kRowId = 100;
    static constexpr const char* kRankLetters[7] = {"--", "E", "D", "C", "B", "A", "S"};
    // A notice stays this long.
    static constexpr uint32_t kNoticeMilliseconds = 2500;

    CMissionScene();
    ~CMissionScene() override;
    const char* GetClassName() const override { return "CMissionScene"; }

    int Init(uintptr_t parameter) override;
    int Update(uintptr_t argument) override;
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    MissionState GetState() const { return m_state; }
    ListStep GetStep() const { return m_step; }
    uint32_t GetSelected() const { return m_cursor.selected; }
    uint32_t GetTop() const { return m_cursor.top; }
    uint32_t GetMissionCount() const;
    float GetFade() const { return m_fades.screen.Level(); }
    CBattleScene* GetBattle() const { return m_battle.get(); }
    const std::string& GetNotice() const { return m_notice; }
    // The items and sounds of the last list update.
    const CMenuFrame& GetFrame() const { return m_frame; }
    // Where the thumb of the scroll bar stands (its top, layout units).
    float ThumbTop() const;

    // The mission on the list, null past it.
    static CMission* Mission(uint32_t index);
    // The best rank the play data holds for a mission (0: none yet).
    static uint8_t BestRank(uint32_t index);

private:
    void EnterStep(ListStep step, ListStep next = ListStep::Leave);
    void UpdateList(uint32_t milliseconds);
    void UpdateChoosing();
    // pressed: the choice was pressed this frame (not only held).
    void TryToStart(bool pressed);
    void MoveCursor(bool down);
    int StartBattle();
    int UpdateBattle(uintptr_t argument);
    void Notify(const char* utf8);

    void RenderList(const CMenuPainter& painter) const;
    void RenderRows(const CMenuPainter& painter, uint32_t color) const;
    void RenderScrollBar(const CMenuPainter& painter, uint32_t color) const;
    void RenderRecords(const CMenuPainter& painter, uint32_t color) const;
    void RenderBriefing(const CMenuPainter& painter, uint32_t color) const;

    MissionState m_state = MissionState::List;
    ListStep m_step = ListStep::FadeIn;
    ListStep m_next = ListStep::Leave;
    MenuScene::ScreenFades m_fades; // the shared background, and the list's pictures and texts
    uint32_t m_clock = 0;
    MissionListCursor m_cursor;
    std::string m_notice;
    uint32_t m_noticeLeft = 0;
    CMenuFrame m_frame;

    CTexture* m_texture = nullptr;
    CFontTexture* m_font = nullptr;
    CSoundBuffer* m_music = nullptr;
    std::unique_ptr<CBattleScene> m_battle;
};
