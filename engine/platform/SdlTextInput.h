#pragma once

#include "engine/platform/message/Message.h"

#include <cstdint>
#include <string>
#include <vector>

union SDL_Event;

// The composition the input method shows: Shift-JIS text, one attribute
// byte per text byte (IME_ATTR_TARGET_CONVERTED on the selected clause) and
// the caret as a byte offset.
struct ImeComposition
{
    std::string text;
    std::string attributes;
    int32_t caret = 0;
};

// A candidate list: the candidates (Shift-JIS), the selected one, and the
// size of a page. SDL gives none on X11, where the input method draws its
// own candidate window, so the list stays empty there.
struct ImeCandidateList
{
    std::vector<std::string> candidates;
    uint32_t selection = 0;
    uint32_t pageSize = 0;
};

// The program's input context over SDL's text input. While acquired, it
// turns SDL_TEXTEDITING into the composition and SDL_TEXTINPUT into result
// strings (UTF-8 converted to Shift-JIS; characters without a Shift-JIS form
// are left out), and tells the window through posted messages:
// MSG_IME_STARTCOMPOSITION, MSG_IME_COMPOSITION with IME_* flags in lParam,
// MSG_IME_ENDCOMPOSITION. A text typed outside a composition is a result
// followed by an empty composition (flags 0). The message handler reads what
// arrived with TakeResult and GetComposition. Thread-safe.
class SdlTextInput
{
public:
    // Reference-counted listening to SDL's text events.
    static void Acquire();
    static void Release();

    // SDL_StartTextInput / SDL_StopTextInput. window receives the messages
    // of events that name no known window. Stopping drops the composition
    // and every result not yet taken.
    static void Start(WindowHandle window);
    static void Stop();
    static bool IsStarted();

    // The oldest result not yet taken; false when none waits.
    static bool TakeResult(std::string* out);
    static ImeComposition GetComposition();
    static ImeCandidateList GetCandidates();
    // For back ends that compose or list candidates themselves.
    static void SetComposition(const ImeComposition& composition);
    static void SetCandidates(const ImeCandidateList& list);

    // The translation of one SDL event (the listeners call these).
    static void OnTextInput(const SDL_Event& event);
    static void OnTextEditing(const SDL_Event& event);

    // Results kept at most; older ones are dropped when nobody takes them.
    static constexpr size_t kMaxPendingResults = 256;
};
