#pragma once

// The replay list, scene 9 (the title's ring item 8). It lists the fourteen
// numbered replay files of the save folder with their stage, character,
// mode and date, and a back row; a chosen file is played through a battle
// in playback, whose camera the player moves from fighter to fighter (and
// to the free camera over the stage). The battle's end menus play the file
// again, go back to the list or to the title. Only files whose header and
// setting were read and checked are offered: a missing or damaged file
// shows "--------", one of another version says so, one whose fighters
// can't all be rebuilt from the loaded characters shows "再生できません",
// and none of them plays.
// The file is checked again when it is chosen, so a file replaced since the
// list was read plays only if it is still the one its row shows.
//
// States: list fade-in -> list -> fade-out -> leave (title menu with this
// item in front); list -> load (the list fades out) -> playing -> list,
// load again, or the title picture. Nothing is saved or deleted here.

#include "engine/core/CScene.h"
#include "game/battle/tag_TOLQREPLAYHEADER.h"
#include "game/menu/CMenuFrame.h"
#include "game/menu/MenuFade.h"
#include "game/scene/MenuScene.h"

#include <cstdint>
#include <memory>
#include <string>

class CBattleScene;
class CFontTexture;
class CMenuPainter;
class CSoundBuffer;
class CTexture;
struct tag_TOLQBATTLESETTING;

class CReplayScene : public CScene
{
public:
    // The states keep their numbers: the parameter block resumes in them.
    enum class ReplayState : uint32_t
    {
        ListFadeIn = 0,
        List = 1,
        FadeOut = 2, // the list fades out, then the next state
        Load = 3,    // the list fades out, then the chosen file is read and played
        Playing = 4,
        FadeOutToLeave = 5,
        Leave = 6,
        LeaveToTitle = 7,
    };
    // What reading a file's header and setting found.
    enum class RowCheck : uint8_t
    {
        Playable,
        Damaged,      // missing, unreadable, or a header or setting refused
        OtherVersion, // read, but written by another version
        Unplayable,   // sound, but a seat's character is not in the loaded data
    };

    static constexpr uint32_t kFileRows = 14;
    static constexpr uint32_t kBackRow = kFileRows;
    static constexpr uint32_t kRowCount = kFileRows + 1;
    static constexpr uint32_t kModeCount = 4;
    // Ids of the rows the list reports: kRowId + row.
    static constexpr int32_t kRowId = 100;

    CReplayScene();
    ~CReplayScene() override;
    const char* GetClassName() const override { return "CReplayScene"; }

    // 0 when there is no save folder to list.
    int Init(uintptr_t parameter) override;
    int Update(uintptr_t argument) override;
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    // The file of a row (0-13) in the save folder ("QorReplay_01.rep" ...).
    static std::string RowFileName(const std::string& saveFolder, uint32_t row);
    // Reads a file's header and setting and checks both: header receives
    // what the file holds (zeroed when it can't be read).
    static RowCheck CheckFile(const std::string& path, tag_TOLQREPLAYHEADER* header);

    ReplayState GetState() const { return m_state; }
    uint32_t GetRow() const { return m_row; }
    bool IsPlayable(uint32_t row) const { return row < kFileRows && m_rows[row].check == RowCheck::Playable; }
    RowCheck GetRowCheck(uint32_t row) const { return m_rows[row < kFileRows ? row : 0].check; }
    const tag_TOLQREPLAYHEADER& GetHeader(uint32_t row) const { return m_rows[row < kFileRows ? row : 0].header; }
    // The stage column's game text as drawn: the stage's name, "--------",
    // "バージョンが違います" or "再生できません"; "戻る" for the back row.
    const char* GetStageText(uint32_t row) const;
    float GetFadeA() const { return m_fades.background.Level(); }
    float GetFadeB() const { return m_fades.screen.Level(); }
    CBattleScene* GetBattle() const { return m_battle.get(); }
    const tag_TOLQBATTLESETTING* GetSetting() const { return m_setting; }
    // How many playbacks have been started and ended since Init.
    uint32_t GetPlaybackCount() const { return m_playbacks; }
    const CMenuFrame& GetFrame() const { return m_frame; }

private:
    struct Row
    {
        tag_TOLQREPLAYHEADER header;
        RowCheck check = RowCheck::Damaged;
    };

    void EnterState(ReplayState state, ReplayState next = ReplayState::LeaveToTitle);
    void ReadRows();
    void UpdateList();
    bool ChooseRow(uint32_t row);
    void MoveRow(int step);
    void UpdateLoad(uint32_t milliseconds);
    bool StartPlayback();
    int UpdatePlaying();
    void StepViewedSlot();
    // Takes the battle down and frees the setting with the texts its reader
    // copied; nothing when no playback runs. Every way out goes through here.
    void EndPlayback();
    int Leave();

    void RenderList(const CMenuPainter& painter) const;
    void RenderRow(const CMenuPainter& painter, uint32_t row) const;

    MenuScene::ScreenFades m_fades; // the shared background and the list
    ReplayState m_state = ReplayState::ListFadeIn;
    ReplayState m_next = ReplayState::LeaveToTitle;
    uint32_t m_row = 0;
    std::string m_saveFolder;
    Row m_rows[kFileRows];
    uint32_t m_playbacks = 0;
    CMenuFrame m_frame;

    CTexture* m_sheet = nullptr;
    CFontTexture* m_font = nullptr;
    CSoundBuffer* m_music = nullptr;
    // Owned while a file plays: the setting (with its texts) outlives the
    // battle that borrows it.
    tag_TOLQBATTLESETTING* m_setting = nullptr;
    std::unique_ptr<CBattleScene> m_battle;
};
