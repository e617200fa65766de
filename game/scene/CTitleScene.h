#pragma once

// The title, scene 0 and the hub of the game. It shows the maker's logo on
// white, the opening movie when the settings ask for it, the title picture
// with its blinking prompt and version, then the main menu: a ring of
// eleven item pictures turning about a tilted axis, one item every 300 ms
// while a direction is held. Ten items lead to the scenes of ids 1-10 (an
// item whose scene does not exist yet plays the cancel sound and the menu
// stays); the eleventh quits. Every scene comes back here with the menu's
// state and its own item in front. Now and then an element flies across.

#include "engine/core/CScene.h"
#include "game/menu/CMenuFrame.h"
#include "game/menu/MenuFade.h"

#include <cstdint>
#include <memory>

class CCamera;
class CElement;
class CListener;
class CMovie;
class CMenuPainter;
class CSoundBuffer;
class CTexture;

class CTitleScene : public CScene
{
public:
    // The states and their steps keep their numbers: the parameter block
    // resumes the title in them.
    enum class TitleState : uint32_t
    {
        Logo = 0,
        Movie = 1,
        TitlePicture = 2,
        Menu = 3,
    };
    enum class LogoStep : uint32_t
    {
        FadeIn = 0,
        Hold = 1,
        FadeOut = 2,
        Leave = 3,
    };
    enum class PictureStep : uint32_t
    {
        FadeIn = 0,
        WaitForButton = 1,
        FadeOut = 2,
        Leave = 3,
    };
    enum class MenuStep : uint32_t
    {
        FadeIn = 0,
        Waiting = 1,
        Turning = 2,
        FadeOut = 3,
        Choose = 4,
    };

    static constexpr uint32_t kItemCount = 11;
    static constexpr uint32_t kNetworkItem = 2;
    static constexpr uint32_t kQuitItem = 10;
    // Ids of the items the menu reports: the ring's front item is
    // kRingItemId + its index.
    static constexpr int32_t kUpperArrowId = 1;
    static constexpr int32_t kLowerArrowId = 2;
    static constexpr int32_t kRingItemId = 100;

    CTitleScene();
    ~CTitleScene() override;
    const char* GetClassName() const override { return "CTitleScene"; }

    int Init(uintptr_t parameter) override;
    int Update(uintptr_t argument) override;
    int Render(uintptr_t argument) override;
    uint32_t Release() override;

    TitleState GetState() const { return m_state; }
    uint32_t GetStep() const { return m_step; }
    uint32_t GetFrontItem() const { return m_frontItem; }
    int32_t GetTurnDirection() const { return m_turnDirection; }
    float GetFadeA() const { return m_fadeA.Level(); }
    float GetFadeB() const { return m_fadeB.Level(); }
    bool HasMovie() const { return m_movie != nullptr; }
    const CElement* GetFlyingElement() const { return m_element; }
    int32_t GetElementCountdown() const { return m_elementCountdown; }
    // The items and sounds of the last update.
    const CMenuFrame& GetFrame() const { return m_frame; }

private:
    void EnterState(TitleState state, uint32_t step);
    // The last step of a state.
    static uint32_t LastStep(TitleState state);
    void EnterLogo(LogoStep step) { EnterState(TitleState::Logo, static_cast<uint32_t>(step)); }
    void EnterPicture(PictureStep step) { EnterState(TitleState::TitlePicture, static_cast<uint32_t>(step)); }
    void EnterMenu(MenuStep step) { EnterState(TitleState::Menu, static_cast<uint32_t>(step)); }

    void UpdateLogo(uint32_t milliseconds);
    void UpdateMovie();
    void UpdatePicture(uint32_t milliseconds);
    // Where the mouse is on the menu's items this frame (they report
    // themselves to the frame).
    struct MenuHits
    {
        bool upperArrow = false;
        bool lowerArrow = false;
        bool frontItem = false;
    };
    MenuHits ReportMenuItems();
    int UpdateMenu(uint32_t milliseconds);
    void UpdateWaiting(const MenuHits& hits);
    void Turn(int32_t direction);
    static bool ItemAvailable(uint32_t item);
    int Choose();
    void UpdateFlyingElement(uint32_t milliseconds);
    void StartMovie();
    void StopMovie();

    void RenderLogo(const CMenuPainter& painter) const;
    void RenderMovie(const CMenuPainter& painter);
    void RenderPicture(const CMenuPainter& painter) const;
    void RenderMenu(const CMenuPainter& painter);
    void RenderFlyingElement();
    void RenderRing(const CMenuPainter& painter) const;
    void RenderArrows(const CMenuPainter& painter) const;
    void RenderCursor(const CMenuPainter& painter) const;
    float TurnProgress() const;

    TitleState m_state = TitleState::Logo;
    uint32_t m_step = 0;
    MenuFade m_fadeA;
    MenuFade m_fadeB;
    float m_spareFade = 0.0f;
    uint32_t m_timer = 0;
    uint32_t m_frontItem = 0;
    int32_t m_turnDirection = 0;
    uint32_t m_cursorClock = 0;
    int32_t m_elementCountdown = 0;
    CMenuFrame m_frame;

    CTexture* m_titlePicture = nullptr;
    CTexture* m_menuSheet = nullptr;
    CTexture* m_logoPicture = nullptr;
    CSoundBuffer* m_logoMusic = nullptr;
    CSoundBuffer* m_titleMusic = nullptr;
    std::unique_ptr<CCamera> m_camera;
    std::unique_ptr<CListener> m_listener;
    CElement* m_element = nullptr;
    CMovie* m_movie = nullptr;
    // The movie's frames go into a texture of their own.
    std::unique_ptr<CTexture> m_movieTexture;
};
