#pragma once

#include "engine/platform/message/Message.h"

// Shows an error to the user: a modal box on a display, standard error
// without one. Text and caption are Shift-JIS.
void ShowMessageBox(WindowHandle owner, const char* text, const char* caption);

// Tests catch message boxes instead of showing them; null restores the
// real box. The environment variable KVR_MESSAGE_BOX=stderr also keeps
// boxes off the screen (the test environment sets it).
using MessageBoxHook = void (*)(const char* text, const char* caption);
void SetMessageBoxHook(MessageBoxHook hook);
