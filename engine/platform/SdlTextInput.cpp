#include "engine/platform/SdlTextInput.h"

#include "engine/core/ShiftJisText.h"
#include "engine/platform/ImeMessages.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/sdl/SdlEventPump.h"
#include "engine/platform/sdl/SdlWindow.h"

#include <SDL.h>

#include <deque>
#include <mutex>

namespace
{
struct State
{
    std::mutex lock;
    int users = 0;
    int inputListener = 0;
    int editingListener = 0;
    bool started = false;
    bool composing = false;
    WindowHandle target = nullptr;
    ImeComposition composition;
    ImeCandidateList candidates;
    std::deque<std::string> results;
};

State& GetState()
{
    static State state;
    return state;
}

WindowHandle TargetOf(uint32_t windowId)
{
    if (SdlWindow* window = SdlWindow::FromWindowId(windowId))
        return window;
    std::lock_guard<std::mutex> guard(GetState().lock);
    return GetState().target;
}

void Post(WindowHandle window, uint32_t id, LParam flags)
{
    if (window != nullptr)
        MessageQueue::Post(window, id, 0, flags);
}

// The composition from SDL's UTF-8 text, its cursor and selection (both in
// characters): the selection becomes the target clause.
ImeComposition MakeComposition(const char* text, int32_t cursor, int32_t selection)
{
    ImeComposition composition;
    const std::string utf8(text);
    int32_t index = 0;
    for (size_t at = 0; at < utf8.size(); ++index)
    {
        const size_t length = Utf8SequenceLength(static_cast<unsigned char>(utf8[at]));
        const size_t step = length == 0 || at + length > utf8.size() ? 1 : length;
        if (index == cursor)
            composition.caret = static_cast<int32_t>(composition.text.size());
        const std::string converted = ConvertUtf8ToShiftJisSkipping(utf8.substr(at, step));
        const bool target = selection > 0 && index >= cursor && index < cursor + selection;
        composition.text += converted;
        composition.attributes.append(converted.size(),
                                      static_cast<char>(target ? IME_ATTR_TARGET_CONVERTED : IME_ATTR_INPUT));
        at += step;
    }
    if (cursor >= index)
        composition.caret = static_cast<int32_t>(composition.text.size());
    return composition;
}
}

void SdlTextInput::Acquire()
{
    State& state = GetState();
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.users++ > 0)
            return;
    }
    state.inputListener = SdlEventPump::AddListener(SDL_TEXTINPUT, &SdlTextInput::OnTextInput);
    state.editingListener = SdlEventPump::AddListener(SDL_TEXTEDITING, &SdlTextInput::OnTextEditing);
    SdlEventPump::Acquire();
}

void SdlTextInput::Release()
{
    State& state = GetState();
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.users == 0 || --state.users > 0)
            return;
    }
    SdlEventPump::RemoveListener(state.inputListener);
    SdlEventPump::RemoveListener(state.editingListener);
    SdlEventPump::Release();
    Stop();
}

void SdlTextInput::Start(WindowHandle window)
{
    {
        State& state = GetState();
        std::lock_guard<std::mutex> guard(state.lock);
        state.started = true;
        state.target = window;
    }
    SDL_StartTextInput();
}

void SdlTextInput::Stop()
{
    {
        State& state = GetState();
        std::lock_guard<std::mutex> guard(state.lock);
        state.started = false;
        state.composing = false;
        state.composition = ImeComposition();
        state.results.clear();
    }
    SDL_StopTextInput();
}

bool SdlTextInput::IsStarted()
{
    std::lock_guard<std::mutex> guard(GetState().lock);
    return GetState().started;
}

bool SdlTextInput::TakeResult(std::string* out)
{
    State& state = GetState();
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.results.empty() || out == nullptr)
        return false;
    *out = std::move(state.results.front());
    state.results.pop_front();
    return true;
}

ImeComposition SdlTextInput::GetComposition()
{
    std::lock_guard<std::mutex> guard(GetState().lock);
    return GetState().composition;
}

ImeCandidateList SdlTextInput::GetCandidates()
{
    std::lock_guard<std::mutex> guard(GetState().lock);
    return GetState().candidates;
}

void SdlTextInput::SetComposition(const ImeComposition& composition)
{
    std::lock_guard<std::mutex> guard(GetState().lock);
    GetState().composition = composition;
}

void SdlTextInput::SetCandidates(const ImeCandidateList& list)
{
    std::lock_guard<std::mutex> guard(GetState().lock);
    GetState().candidates = list;
}

void SdlTextInput::OnTextInput(const SDL_Event& event)
{
    const std::string text = ConvertUtf8ToShiftJisSkipping(event.text.text);
    if (text.empty())
        return;
    const WindowHandle window = TargetOf(event.text.windowID);
    bool composing = false;
    {
        State& state = GetState();
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.results.size() >= kMaxPendingResults)
            state.results.pop_front();
        state.results.push_back(text);
        composing = state.composing;
    }
    Post(window, MSG_IME_COMPOSITION, IME_RESULTSTR);
    // Plain typing is no composition: the editor leaves composing mode.
    if (!composing)
        Post(window, MSG_IME_COMPOSITION, 0);
}

void SdlTextInput::OnTextEditing(const SDL_Event& event)
{
    const WindowHandle window = TargetOf(event.edit.windowID);
    ImeComposition composition = MakeComposition(event.edit.text, event.edit.start, event.edit.length);
    bool wasComposing = false;
    const bool composing = !composition.text.empty();
    {
        State& state = GetState();
        std::lock_guard<std::mutex> guard(state.lock);
        wasComposing = state.composing;
        state.composing = composing;
        state.composition = std::move(composition);
    }
    if (!composing)
    {
        if (wasComposing)
        {
            Post(window, MSG_IME_COMPOSITION, 0);
            Post(window, MSG_IME_ENDCOMPOSITION, 0);
        }
        return;
    }
    if (!wasComposing)
        Post(window, MSG_IME_STARTCOMPOSITION, 0);
    Post(window, MSG_IME_COMPOSITION, IME_COMPSTR | IME_COMPATTR | IME_CURSORPOS);
}
