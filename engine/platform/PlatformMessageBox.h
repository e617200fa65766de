#pragma once

#include "engine/platform/message/Message.h"

// Shows an error to the user: a modal box on a display (a GTK dialog, so
// that Japanese reads as Japanese; SDL's box when GTK can't start), standard
// error without one. Text and caption are Shift-JIS.
void ShowMessageBox(WindowHandle owner, const char* text, const char* caption);

// The box's text on standard error, in UTF-8: for what is said where no
// display can show a box.
void PrintMessageBox(const char* text, const char* caption);

// Where a box goes instead of the screen: to the hook when one is set, to
// standard error when KVR_MESSAGE_BOX=stderr or there is no display. true
// when the box went there and nothing is to be shown.
bool DivertMessageBox(const char* text, const char* caption);

// Tests catch message boxes instead of showing them; null restores the
// real box. The environment variable KVR_MESSAGE_BOX=stderr also keeps
// boxes off the screen (the test environment sets it).
using MessageBoxHook = void (*)(const char* text, const char* caption);
void SetMessageBoxHook(MessageBoxHook hook);
