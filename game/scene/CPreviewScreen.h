#pragma once

#include "game/scene/CFighterPreview.h"
#include "game/scene/MenuScene.h" // the toolkit's frame, painter and fades

// What the shop and the equipment screen share: a screen over the shared
// menu background with a fighter standing in the middle, on the menu sheet
// in font 1 to "Bgm_custom.ogg"; its fades resumed from the parameter
// block, the frame of the menu toolkit, the back button at the foot, and a
// notice that stays a few seconds when something went wrong. The screen
// that keeps one drives it from its own update and render:
//
//   update: BeginUpdate, then FadeIn / the screen's own states / FadeOut,
//           LeaveToTitle, and StepPreview at the end;
//   render: BeginRender (background, fighter, the frame with the title),
//           then the screen's own drawing with the painter it returns.
class CPreviewScreen
{
public:
    static constexpr uint32_t kNoticeMilliseconds = 4000;

    CPreviewScreen();
    ~CPreviewScreen();
    CPreviewScreen(const CPreviewScreen&) = delete;
    CPreviewScreen& operator=(const CPreviewScreen&) = delete;

    // The sheet, font and music, the fighter's camera from eye to target,
    // and the fades the block carries.
    void Open(const tag_TOLQSCENEPARAM* param, const float eye[3], const float target[3]);
    void Close();

    // The start of an update: the background's motes, this frame's keys,
    // the notice's time. Returns the frame's milliseconds.
    uint32_t BeginUpdate();
    // The screen fading in with its music; true once it is in.
    bool FadeIn(uint32_t milliseconds) { return m_fades.StepIn(m_music, milliseconds); }
    // The screen fading out; true once it is out.
    bool FadeOut(uint32_t milliseconds) { return m_fades.StepOut(milliseconds); }
    // Back to the title's menu with ringItem in front, the music fading.
    int LeaveToTitle(uint32_t ringItem);
    void StepPreview(uint32_t milliseconds) { m_preview.Step(m_frame.Keys(), milliseconds); }
    void ShowNotice() { m_noticeMilliseconds = kNoticeMilliseconds; }
    bool IsNoticeShown() const { return m_noticeMilliseconds > 0; }

    // The background and the fighter, then the bands with the screen's
    // title; the painter for the rest.
    CMenuPainter BeginRender(const MenuCell& title);
    // A button's colour: white while lit, else grey.
    uint32_t ButtonColor(bool lit) const;
    // The back button in its colour.
    void DrawBackButton(const CMenuPainter& painter, bool lit) const;
    // The notice, while it stays, framed in rect.
    void DrawNotice(const CMenuPainter& painter, const MenuRect& rect, const char* gameText) const;
    // A colour of the screen's pictures and texts with their fade.
    uint32_t Color(MenuRole role) const { return MenuColor(role, m_fades.screen.Level()); }
    uint32_t Tint(uint32_t rgb) const;

    // The back button's place.
    static MenuRect BackRect();

    CMenuFrame& Frame() { return m_frame; }
    const CMenuFrame& Frame() const { return m_frame; }
    CFighterPreview& Preview() { return m_preview; }
    const CFighterPreview& Preview() const { return m_preview; }
    CTexture* Sheet() const { return m_sheet; }
    CFontTexture* Font() const { return m_font; }
    float BackgroundLevel() const { return m_fades.background.Level(); }
    float Level() const { return m_fades.screen.Level(); }

private:
    MenuScene::ScreenFades m_fades; // the shared background, and the screen's own pictures and texts
    CMenuFrame m_frame;
    uint32_t m_noticeMilliseconds = 0;
    CTexture* m_sheet = nullptr;
    CFontTexture* m_font = nullptr;
    CSoundBuffer* m_music = nullptr;
    std::unique_ptr<CCamera> m_camera;
    CFighterPreview m_preview;
};
