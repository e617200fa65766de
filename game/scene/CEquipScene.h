#pragma once

// The equipment screen, scene 8 (the title's ring item 7). Each selectable
// character has six clothes slots; for each the player picks one of the
// bought clothes items that character may wear and whose first slot it is.
// The choice is stored as clothes names in the character's play data and
// saved at once (a save that fails takes the choice back and says so); the
// battles put these clothes on the character. A fighter in its current
// clothes stands in the middle (the camera keys turn and move it); the
// default button puts the character's own clothes back (saved with the
// next choice).
//
// States: fade-in -> character choice <-> slot choice <-> item choice;
// leaving fades out to the title menu with this item in front.

#include "engine/core/CScene.h"
#include "game/scene/CPreviewScreen.h"

#include <cstdint>
#include <memory>
#include <vector>

class CListener;
class CMenuPainter;
struct CCharacterDefinition;
struct CClothesDefinition;
struct tag_TOLQCHARAPLAYDATA;

class CEquipScene : public CScene
{
public:
    // The states keep their numbers: the parameter block resumes in them.
    enum class EquipState : uint32_t
    {
        FadeIn = 0,
        CharacterChoice = 1,
        SlotChoice = 2,
        ItemChoice = 3,
        FadeOut = 4,
        Leave = 5,
        LeaveToTitle = 6,
    };
    // What the slot cursor stands on besides the six slots.
    static constexpr int32_t kSlotCount = 6;
    static constexpr int32_t kDefaultButton = 6;
    static constexpr int32_t kBackButton = 7;
    static constexpr uint32_t kRowsPerPanel = 4;
    static constexpr uint32_t kNoticeMilliseconds = CPreviewScreen::kNoticeMilliseconds;
    // Ids of what the screen reports: panels kPanelId + slot, a panel's rows
    // kRowId + 10 x slot + row.
    static constexpr int32_t kDefaultId = 1;
    static constexpr int32_t kBackId = 2;
    static constexpr int32_t kPreviousArrowId = 3;
    static constexpr int32_t kNextArrowId = 4;
    static constexpr int32_t kPanelId = 10;
    static constexpr int32_t kRowId = 100;

    CEquipScene();
    ~CEquipScene() override;
    const char* GetClassName() const override { return "CEquipScene"; }

    int Init(uintptr_t parameter) override;
    int Update(uintptr_t argument) override;
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    // The clothes list indices a slot offers the current character: bought,
    // wearable by it, and first worn in that slot; in list order.
    std::vector<uint32_t> GetCandidates(int32_t slot) const;
    // Puts candidate c of slot on (or takes it off when it is worn already),
    // after taking off whatever else covers the slot; saves. False when the
    // save failed (the names are as they were then).
    bool Apply(int32_t slot, uint32_t candidate);
    // The character's own clothes back in its record (not saved).
    void ResetToDefault();

    EquipState GetState() const { return m_state; }
    int32_t GetCharacter() const { return m_character; }
    int32_t GetSlotCursor() const { return m_slotCursor; }
    uint32_t GetListCursor(int32_t slot) const { return m_listCursors[slot]; }
    uint32_t GetListOffset(int32_t slot) const { return m_listOffsets[slot]; }
    float GetFadeA() const { return m_screen.BackgroundLevel(); }
    float GetFadeB() const { return m_screen.Level(); }
    bool IsNoticeShown() const { return m_screen.IsNoticeShown(); }
    const CFighterPreview& GetPreview() const { return m_screen.Preview(); }
    const CMenuFrame& GetFrame() const { return m_screen.Frame(); }

private:
    void EnterState(EquipState state, EquipState next = EquipState::LeaveToTitle);
    const CCharacterDefinition* Definition() const;
    tag_TOLQCHARAPLAYDATA* Record() const;
    uint32_t SelectableCount() const;
    void ClearCovered(uint16_t slotMask);
    void BuildPreview();
    void ChangeCharacter(int step, MenuSound sound);
    void ApplyChosen();

    // Outside the character and slot choices the buttons, panels and
    // arrows report where they are, and do nothing.
    void ReportItems();
    void UpdateCharacterChoice();
    void UpdateSlotChoice();
    void UpdateItemChoice();
    void MoveSlotCursor(int32_t slot);
    bool UpdateButtons();
    void UpdatePanels();
    void UpdateArrows();
    void UpdatePanelScroll(int32_t slot, uint32_t count);

    void RenderPanel(const CMenuPainter& painter, int32_t slot) const;
    void RenderArrows(const CMenuPainter& painter) const;

    CPreviewScreen m_screen;
    EquipState m_state = EquipState::FadeIn;
    EquipState m_next = EquipState::LeaveToTitle;
    int32_t m_character = 0;
    int32_t m_slotCursor = 0;
    uint32_t m_listCursors[kSlotCount] = {};
    uint32_t m_listOffsets[kSlotCount] = {};
    std::unique_ptr<CListener> m_listener;
};
