#pragma once

#include "engine/platform/message/Message.h"

class CApplicationMain;

// The application object while it lives; null before and after.
extern CApplicationMain* g_pApplication;

// Each program supplies its concrete application (the configuration tool or
// the game). Null means it could not be made.
CApplicationMain* CreateApplication();

// Runs the program: makes and initialises the application, then pumps
// messages and runs frames until the quit message. 0, or -1 when the
// application can't be made or initialised.
int WinMain(InstanceHandle instance, InstanceHandle previous, char* commandLine, int showMode);

// A process entry's WinMain: the arguments after the program's name joined
// into one command line, this process's instance, shown normally.
int RunWinMain(int argc, char** argv);

// Every window of the program is registered with this procedure.
LResult WndProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam);

// The instance handle this process passes to WinMain: any non-null token.
InstanceHandle GetProgramInstance();
