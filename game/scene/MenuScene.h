#pragma once

#include "game/menu/CMenuLayout.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuKeys.h"

#include <cstdint>

class CFontTexture;
class CSoundBuffer;
class CTexture;

// What the menu scenes (title, option, record, and the scenes to come)
// share: their resources by file name, their layout and keys for the
// frame, their music, the mouse, and the option and record screens' frame.
namespace MenuScene
{
// From the resource controller's lists; null when the set has none.
CTexture* FindTexture(const char* fileName);
CSoundBuffer* FindSound(const char* fileName);
CFontTexture* Font(uint32_t index);

// The menu rule's layout of this frame, and pad 0 with the mouse in it.
CMenuLayout Layout();
MenuKeys ReadKeys(const CMenuLayout& layout);
// The mouse pointer onto a layout point.
void MoveMouseTo(const CMenuLayout& layout, MenuPoint point);

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
}
