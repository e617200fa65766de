#pragma once

#include "game/menu/CMenuFrame.h"
#include "game/menu/CMenuLayout.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuFade.h"
#include "game/menu/MenuKeys.h"

#include <cstdint>
#include <memory>

class CCamera;
class CFontTexture;
class CSoundBuffer;
class CTexture;
struct tag_TOLQSCENEPARAM;

// What the menu scenes share: their resources by file name, their layout
// and keys for the frame, their music, the mouse, the menu frame, the
// fades, the ways back to the title, the lists' scrolling and the notice.
namespace MenuScene
{
// From the resource controller's lists; null when the set has none.
CTexture* FindTexture(const char* fileName);
CSoundBuffer* FindSound(const char* fileName);
CFontTexture* Font(uint32_t index);

// The menu rule's layout of this frame, and pad 0 with the mouse in it.
CMenuLayout Layout();
MenuKeys ReadKeys(const CMenuLayout& layout);
// The mouse pointer onto a layout point of the frame's layout, where the
// keys put the cursor (the frame knows the move is not the player's).
void MoveMouseTo(CMenuFrame& frame, MenuPoint point);

// The music volume of the settings; the menus fade their music in at 200
// per frame and out at -200.
int32_t MusicVolume();
inline constexpr int32_t kMusicFadeIn = 200;
inline constexpr int32_t kMusicFadeOut = -200;
void FadeOutMusic(CSoundBuffer* music);

// The option and record screens' frame: the background (with its own
// alpha), the bands across the top and bottom, the screen's title picture
// at the top centre and white either side of it, everything but the
// background with the foreground alpha.
void DrawMenuFrame(const CMenuPainter& painter, CTexture* sheet, const MenuCell& title, float backgroundAlpha,
                   float foregroundAlpha);

// The fades of the replay, shop, equipment and mission screens: the shared
// background and the screen's own pictures, resumed from the parameter
// block's first and second fades.
struct ScreenFades
{
    MenuFade background;
    MenuFade screen;
    float spare = 0.0f; // the block's third fade, kept and not used

    void Resume(const tag_TOLQSCENEPARAM* param);
    // The music started ("Bgm_custom.ogg" loops from 7.717 s), the screen
    // fading in with the background rising to it; true once it is in.
    bool StepIn(CSoundBuffer* music, uint32_t milliseconds);
    // The screen fading out; true once it is out.
    bool StepOut(uint32_t milliseconds);
};
// Back to the title's menu with ringItem in front, the music fading out.
int LeaveToTitleMenu(CSoundBuffer* music, uint32_t ringItem);
// Back to the title picture after a battle's "back to the title"; its menu
// then opens with ringItem, the scene's own item, in front.
int LeaveToTitlePicture(uint32_t ringItem);
// The camera the shop and equipment screens show their fighter through:
// 30 degrees, 4:3, from eye to target.
std::unique_ptr<CCamera> MakePreviewCamera(const float eye[3], const float target[3]);
// A list of count items that shows rows at a time starts at any of this
// many items: count - (rows - 1) when more than rows, else 1.
uint32_t OffsetPositions(uint32_t count, uint32_t rows);
// The list's first item while a scroll bar is dragged with the pointer at
// y: the bar's height in positions equal steps from its top; above the
// bar the first, at or below its foot the last.
uint32_t ScrollOffset(float y, const MenuRect& bar, uint32_t positions);
// A framed line of text that tells the player something went wrong.
void DrawNotice(const CMenuPainter& painter, CTexture* sheet, CFontTexture* font, const MenuRect& rect,
                const char* gameText, float alpha);
}
