#pragma once

// The options, scene 6 (the title's ring item 5). Nine rows edit a copy of
// the settings: full screen, pad vibration, screen shake, the music, sound
// and voice volumes, radar type, story difficulty, and a confirm row that
// applies the copy to the live settings and saves "GameConfig.dat".
// Cancelling drops the copy. Keys or pad move a cursor over rows and
// columns; the mouse hovers, clicks and drags the volume bars; the pointer
// follows what the keys select. Every picture is a piece of the menu sheet.
// Next: the title menu with this item in front.

#include "engine/core/CScene.h"
#include "game/app/GameConfigTypes.h"
#include "game/menu/CMenuFrame.h"
#include "game/menu/MenuFade.h"

#include <cstdint>

class CMenuPainter;
class CSoundBuffer;
class CTexture;

class COptionScene : public CScene
{
public:
    // The states keep their numbers: the parameter block resumes in them.
    enum class OptionState : uint32_t
    {
        FadeIn = 0,
        Input = 1,
        FadeOut = 2,
        Leave = 3,
        LeaveToTitle = 4,
    };
    enum Row : int32_t
    {
        ROW_FULL_SCREEN = 0,
        ROW_VIBRATION = 1,
        ROW_SHAKE = 2,
        ROW_BGM = 3,
        ROW_SE = 4,
        ROW_VOICE = 5,
        ROW_RADAR = 6,
        ROW_DIFFICULTY = 7,
        ROW_CONFIRM = 8,
        ROW_COUNT = 9,
    };
    // Ids the items report with: a row's label, a button, a volume row's
    // minimum and maximum buttons and its bar.
    static constexpr int32_t LabelId(int32_t row) { return 100 + row; }
    static constexpr int32_t ButtonId(int32_t row, int32_t column) { return 200 + row * 10 + column; }
    static constexpr int32_t MinimumId(int32_t row) { return 300 + row; }
    static constexpr int32_t MaximumId(int32_t row) { return 310 + row; }
    static constexpr int32_t BarId(int32_t row) { return 320 + row; }

    static constexpr int32_t kQuietest = -3000;
    static constexpr int32_t kSilent = -10000;

    COptionScene() = default;
    ~COptionScene() override;
    const char* GetClassName() const override { return "COptionScene"; }

    int Init(uintptr_t parameter) override;
    int Update(uintptr_t argument) override;
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    OptionState GetState() const { return m_state; }
    int32_t GetRow() const { return m_row; }
    int32_t GetColumn() const { return m_column; }
    int32_t GetDragRow() const { return m_dragRow; }
    const tag_TOLQGAMECONFIG& GetSettingsCopy() const { return m_settings; }
    float GetForegroundAlpha() const { return m_foreground.Level(); }
    float GetBackgroundAlpha() const { return m_background.Level(); }
    const CMenuFrame& GetFrame() const { return m_frame; }

    // A volume from the mouse's x (layout units) on a bar: -3000 at its left
    // end, 0 at its right, 10 per unit between, held at the ends.
    static int32_t VolumeFromCursor(float x);
    // How much of a bar a volume fills: 1 at 0, 0 at -10000 (off),
    // (v + 3000) / 3000 in between.
    static float GetVolumeFraction(int32_t volume);

private:
    void EnterState(OptionState state, OptionState next = OptionState::LeaveToTitle);
    void UpdateInput();
    bool UpdateDrag();
    void UpdateRowKeys();
    void UpdateColumnKeys();
    void UpdateMouse();
    bool UpdateRowMouse(int32_t row);
    void UpdateDecide();
    void ApplyAndSave();
    void ReportItems();

    int32_t ColumnCount(int32_t row) const;
    int32_t StoredColumn(int32_t row) const;
    void StoreColumn(int32_t row, int32_t column);
    int32_t* Volume(int32_t row);
    int32_t VolumeOf(int32_t row) const;
    void SelectColumn(int32_t column);

    void RenderRow(const CMenuPainter& painter, int32_t row) const;
    void RenderButtons(const CMenuPainter& painter, int32_t row) const;
    void RenderVolume(const CMenuPainter& painter, int32_t row) const;
    void DrawSelectionBar(const CMenuPainter& painter, int32_t row, int32_t column) const;

    MenuFade m_background;
    MenuFade m_foreground;
    OptionState m_state = OptionState::FadeIn;
    OptionState m_next = OptionState::LeaveToTitle;
    uint32_t m_time = 0;
    int32_t m_row = 0;
    int32_t m_column = 0;
    int32_t m_dragRow = 0;
    tag_TOLQGAMECONFIG m_settings;
    CTexture* m_texture = nullptr;
    CSoundBuffer* m_music = nullptr;
    CMenuFrame m_frame;
};
