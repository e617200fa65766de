#include "engine/platform/PlatformMessageBox.h"

#include "engine/core/TextEncoding.h"
#include "engine/platform/gtk/GtkHost.h"
#include "engine/platform/gtk/MessageDialog.h"
#include "engine/platform/sdl/SdlWindow.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
MessageBoxHook g_hook;

bool BoxesGoToStandardError()
{
    const char* mode = std::getenv("KVR_MESSAGE_BOX");
    if (mode != nullptr && std::strcmp(mode, "stderr") == 0)
        return true;
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0');
}
}

bool DivertMessageBox(const char* text, const char* caption)
{
    const char* safeText = text != nullptr ? text : "";
    const char* safeCaption = caption != nullptr ? caption : "";
    if (g_hook != nullptr)
    {
        g_hook(safeText, safeCaption);
        return true;
    }
    if (!BoxesGoToStandardError())
        return false;
    PrintMessageBox(safeText, safeCaption);
    return true;
}

void ShowMessageBox(WindowHandle owner, const char* text, const char* caption)
{
    if (DivertMessageBox(text, caption))
        return;
    // GTK draws every script through fontconfig's fonts, Japanese included;
    // SDL's own box on X11 draws with the server's core fonts, which show
    // Japanese as mojibake or not at all. SDL's box is the second choice.
    if (StartGtk())
    {
        ShowMessageDialog(nullptr, MessageKind::Error, caption, text);
        return;
    }
    const std::string utf8Text = ConvertShiftJisToUtf8(text != nullptr ? text : "");
    const std::string utf8Caption = ConvertShiftJisToUtf8(caption != nullptr ? caption : "");
    // Only an SDL window can own an SDL box; a dialog's handle is a GTK widget.
    SDL_Window* parent = nullptr;
    if (auto* sdlWindow = dynamic_cast<SdlWindow*>(owner))
        parent = static_cast<SDL_Window*>(sdlWindow->GetNativeHandle());
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, utf8Caption.c_str(), utf8Text.c_str(), parent) != 0)
        PrintMessageBox(text, caption);
}

void PrintMessageBox(const char* text, const char* caption)
{
    std::fprintf(stderr, "%s: %s\n", ConvertShiftJisToUtf8(caption != nullptr ? caption : "").c_str(),
                 ConvertShiftJisToUtf8(text != nullptr ? text : "").c_str());
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    g_hook = hook;
}
