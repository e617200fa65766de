#pragma once

// The game application on devices that need no display and no sound card:
// a headless window drawn by EGL on Mesa, OpenAL's loopback device and a
// scripted input source. Shared by the game's tests and its benchmark.

#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/sound/CSound.h"
#include "engine/render/RenderClasses.h"
#include "game/app/CController.h"
#include "tests/support/HeadlessWindow.h"
#include "tests/support/ScriptedInputSource.h"

#include <cstdint>

// Makes the devices on the window (its client area width x height) and
// starts the game on them; the controller owns them from then on. False
// when a device or the start fails. The data folder, scene factory and
// glow option are set before.
inline bool StartHeadlessGame(CController& controller, HeadlessWindow& window, ScriptedInputSource& source,
                              int32_t width, int32_t height)
{
    RenderClasses::Install();
    auto* system = new CSystem();
    system->AttachWindow(&window);
    system->SetClientSize(width, height, 0);
    auto* graphics = new CGraphics();
    auto* sound = new CSound();
    auto* input = new CInput();
    input->SetInputSource(&source);
    const bool devices =
        graphics->Create(system) != 0 && sound->CreateLoopback() != 0 && input->InitWithWindow(&window) != 0;
    // The controller frees what it was given, made or not.
    const int started = controller.InitOnDevices(system, graphics, sound, input);
    return devices && started != 0;
}
