#pragma once

#include "game/menu/MenuSound.h"

#include <cstdint>

class CBulletMemoryList;
class CCamera;
class CFilter;
class CGameConfig;
class CInput;
class CSoundBuffer;

// What the battle asks of the game application, in one place. Without one
// (tests, benchmarks, a headless battle) each answers as a battle with no
// window and no sound device needs: nothing is played, nothing is shown,
// and the settings and bullet pool are null, so the battle falls back to its
// own.
CGameConfig* GetBattleGameConfig();
CBulletMemoryList* GetBattleBulletPool();
// Music from its loop point (start volume, fade speed), as the game
// application plays music.
void PlayBattleMusic(CSoundBuffer* music, int32_t volume, int32_t speed, float loopSeconds);
// A voice once, at the voice volume.
void PlayBattleVoice(CSoundBuffer* voice);
// A sound effect once, at the sound-effect volume, heard from 1000 units.
void PlayBattleSoundEffect(CSoundBuffer* sound);
// The menu sounds of the HUD's menus.
void PlayBattleMenuSound(MenuSound sound);
// The camera's viewport: a 4:3 area of a wider window, else the window;
// without the application, the whole client area of the drawing device.
void SetBattleCameraViewport(CCamera* camera);
// The HDR filter the frame is drawn through; null without one.
CFilter* GetBattleHDRFilter();
// The filter a battle without the game application draws through (a
// benchmark drawing what the game draws); null, the default, for none.
void SetBattleHDRFilter(CFilter* filter);
// Puts the mouse back at the window's centre while the game window has the
// keyboard focus, so that turning never runs into the screen's edge.
void RecentreBattleMouse(CInput* input);
