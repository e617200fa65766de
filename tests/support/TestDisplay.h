#pragma once

#include <cstdlib>

// Whether an X server is there to open windows and dialogs on (the test
// command starts a virtual one when the machine has none).
inline bool HaveDisplay()
{
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}
