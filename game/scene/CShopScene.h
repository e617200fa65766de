#pragma once

// The shop, scene 5 (the title's ring item 4). It sells the unlocked
// weapons and clothes for the player's points (ELP), one tab each: eight
// rows of a scrolling list, the chosen item's details, the points, and a
// fighter that can use the item holding or wearing it (the camera keys
// turn and move it). A click on an affordable row that is not sold yet, or
// the decide button, buys the chosen item at once: its bought flag is set,
// its price taken from the points, and the play data saved. A save that
// fails takes the buy back and says so.
//
// States: fade-in -> shopping -> fade-out -> leave (title menu with this
// item in front).

#include "engine/core/CScene.h"
#include "game/scene/CPreviewScreen.h"

#include <cstdint>
#include <vector>

class CMenuPainter;
struct CClothesDefinition;
struct CWeaponDefinition;
struct tag_TOLQUNLOCKDATA;

class CShopScene : public CScene
{
public:
    // The states keep their numbers: the parameter block resumes in them.
    enum class ShopState : uint32_t
    {
        FadeIn = 0,
        Shopping = 1,
        FadeOut = 2,
        Leave = 3,
        LeaveToTitle = 4,
    };
    enum class ShopCategory : uint32_t
    {
        Weapons = 0,
        Clothes = 1,
    };
    // What a buy did.
    enum class BuyResult : uint8_t
    {
        Bought,
        Refused,    // nothing chosen, sold already, or too dear: nothing happens
        SaveFailed, // the play data could not be saved: the buy was taken back
    };

    static constexpr uint32_t kVisibleRows = 8;
    static constexpr uint32_t kNoPrice = 0xFFFFFFFFu;
    static constexpr uint32_t kMaxShownPoints = 99999;
    // How long the notice of a failed save stays.
    static constexpr uint32_t kNoticeMilliseconds = CPreviewScreen::kNoticeMilliseconds;
    // Ids of what the shop reports: the rows are kRowId + visible row.
    static constexpr int32_t kWeaponTabId = 1;
    static constexpr int32_t kClothesTabId = 2;
    static constexpr int32_t kBackId = 3;
    static constexpr int32_t kScrollBarId = 4;
    static constexpr int32_t kRowId = 100;

    CShopScene();
    ~CShopScene() override;
    const char* GetClassName() const override { return "CShopScene"; }

    int Init(uintptr_t parameter) override;
    int Update(uintptr_t argument) override;
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    // The list of the current category: indices into the weapon or clothes
    // list of the items unlocked, in list order.
    const std::vector<uint32_t>& GetListed() const { return m_listed; }
    uint32_t GetVisibleRows() const;
    // Offsets the list scrolls through: listed - 7 above eight, else 1.
    uint32_t GetOffsetPositions() const;
    // The list index of the chosen item, or -1 when the cursor is past the
    // list.
    int32_t GetSelectedItem() const;
    uint32_t GetSelectedPrice() const;
    bool IsBought(uint32_t listIndex) const;
    // Buys the chosen item when it can be bought (see BuyResult).
    BuyResult Buy();

    ShopState GetState() const { return m_state; }
    ShopCategory GetCategory() const { return m_category; }
    uint32_t GetCursor() const { return m_cursor; }
    uint32_t GetOffset() const { return m_offset; }
    float GetFadeA() const { return m_screen.BackgroundLevel(); }
    float GetFadeB() const { return m_screen.Level(); }
    bool IsNoticeShown() const { return m_screen.IsNoticeShown(); }
    const CFighterPreview& GetPreview() const { return m_screen.Preview(); }
    const CMenuFrame& GetFrame() const { return m_screen.Frame(); }

private:
    void EnterState(ShopState state, ShopState next = ShopState::LeaveToTitle);
    void ChooseCategory(ShopCategory category);
    void FillListed();
    tag_TOLQUNLOCKDATA* SelectedRecord() const;
    void BuildPreview();
    // Outside the shopping state the items report where they are, and do
    // nothing.
    void ReportItems();
    void UpdateCategory();
    void UpdateList();
    bool UpdateBackButton();
    void UpdateRows();
    bool UpdateCursorKeys();
    void UpdateScrollBar();
    void MoveCursor(int step);
    void TryBuy();

    void RenderList(const CMenuPainter& painter) const;
    void RenderRow(const CMenuPainter& painter, uint32_t row) const;
    void RenderWeaponDetail(const CMenuPainter& painter, const CWeaponDefinition& weapon) const;
    void RenderClothesDetail(const CMenuPainter& painter, const CClothesDefinition& clothes) const;
    void RenderStars(const CMenuPainter& painter, float y, uint32_t count) const;
    void RenderPoints(const CMenuPainter& painter) const;
    void RenderNotice(const CMenuPainter& painter) const;

    CPreviewScreen m_screen;
    ShopState m_state = ShopState::FadeIn;
    ShopState m_next = ShopState::LeaveToTitle;
    uint32_t m_cursor = 0;
    ShopCategory m_category = ShopCategory::Weapons;
    uint32_t m_offset = 0;
    std::vector<uint32_t> m_listed;
};
