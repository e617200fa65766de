#include "engine/platform/CSystem.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/TextEncoding.h"
#include "engine/platform/gtk/DialogWindow.h"
#include "engine/platform/gtk/FileDialog.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/PlatformClock.h"
#include "engine/platform/sdl/SdlWindow.h"

#include <SDL.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define KVR_HAVE_CPUID 1
#endif

namespace
{
CSystem::ClockFunction g_calibrationClock = GetTickMilliseconds;
CSystem::SleepFunction g_calibrationSleep = SleepMilliseconds;
int g_cursorCounter;

WindowFrame FrameForStyle(uint32_t style)
{
    WindowFrame frame;
    if ((style & WINSTYLE_CAPTION) == WINSTYLE_CAPTION)
    {
        frame.left = kFixedFrameWidth;
        frame.right = kFixedFrameWidth;
        frame.top = kCaptionHeight + kFixedFrameHeight;
        frame.bottom = kFixedFrameHeight;
    }
    return frame;
}

void ApplyCursorCounter()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
        SDL_ShowCursor(g_cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
}

// Program paths are Shift-JIS with either separator; the file system wants
// UTF-8 and '/'.
std::string ToNativePath(const char* path)
{
    std::string native = ConvertShiftJisToUtf8(path);
    for (char& c : native)
    {
        if (c == '\\')
            c = '/';
    }
    return native;
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Index of the last separator at or after index 1, skipping the second
// bytes of Shift-JIS characters (which may equal '\'); -1 when none.
long LastSeparator(const char* path)
{
    long last = -1;
    for (long i = 0; path[i] != 0; ++i)
    {
        if (IsShiftJisLeadByte(static_cast<unsigned char>(path[i])) && path[i + 1] != 0)
        {
            ++i;
            continue;
        }
        if (i > 0 && IsSeparator(path[i]))
            last = i;
    }
    return last;
}

bool CopyBounded(const char* text, size_t length, char* out, size_t outSize)
{
    if (length >= outSize)
        return false;
    std::memcpy(out, text, length);
    out[length] = 0;
    return true;
}

uint32_t ClampToU32(unsigned long long value)
{
    return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}
}

CSystem::CSystem() = default;

CSystem::~CSystem()
{
    if (m_instancePump != 0)
        MessageQueue::RemovePump(m_instancePump);
    AlignedFree(m_name);
}

void CSystem::Release()
{
    AlignedFree(m_name);
    m_name = nullptr;
}

void CSystem::SetName(const char* name)
{
    AlignedFree(m_name);
    m_name = nullptr;
    const char* text = name != nullptr ? name : "";
    const size_t length = std::strlen(text);
    m_name = static_cast<char*>(AlignedAlloc(length + 1, 16));
    if (m_name != nullptr)
        std::memcpy(m_name, text, length + 1);
}

void CSystem::ReplaceWindow(std::unique_ptr<PlatformWindow> window)
{
    m_window = window.get();
    m_ownedWindow = std::move(window);
}

void CSystem::AttachWindow(WindowHandle window)
{
    m_ownedWindow.reset();
    m_window = window;
}

WindowBounds CSystem::CalcWindowBounds(int x, int y, int clientWidth, int clientHeight, uint32_t style,
                                       int screenWidth, int screenHeight)
{
    WindowBounds bounds{x, y, clientWidth, clientHeight};
    if ((style & WINSTYLE_CAPTION) == WINSTYLE_CAPTION)
    {
        bounds.width = clientWidth + 2 * kFixedFrameWidth;
        bounds.height = clientHeight + kCaptionHeight + 2 * kFixedFrameHeight;
    }
    if (x < 0)
        bounds.x = (screenWidth - bounds.width) / 2;
    if (y < 0)
        bounds.y = (screenHeight - bounds.height) / 2;
    return bounds;
}

WindowBounds CSystem::CalcClientSizeBounds(int clientWidth, int clientHeight, uint32_t style, int screenWidth,
                                           int screenHeight)
{
    if ((style & WINSTYLE_CAPTION) == WINSTYLE_CAPTION)
        return CalcWindowBounds(-1, -1, clientWidth, clientHeight, style, screenWidth, screenHeight);
    return WindowBounds{0, 0, clientWidth, clientHeight};
}

int CSystem::CreateMainWindow(InstanceHandle instance, const char* name, int x, int y, int clientWidth,
                              int clientHeight, uint32_t style, int iconId, WindowProcedure procedure,
                              WindowHandle parent)
{
    (void)iconId; // The program carries no icon resources.
    (void)parent; // Top-level SDL windows have no parent.
    if (instance == nullptr)
        return 0;
    m_instance = instance;
    SetName(name);
    m_width = clientWidth;
    m_height = clientHeight;
    m_style = style;

    // Open hidden first: the screen size is known only once video runs.
    const WindowFrame frame = FrameForStyle(style);
    WindowBounds bounds = CalcWindowBounds(0, 0, clientWidth, clientHeight, style, 0, 0);
    auto created = std::make_unique<SdlWindow>(procedure);
    if (!created->Create(m_name, bounds, frame))
        return 0;
    SdlWindow* window = created.get();
    ReplaceWindow(std::move(created));
    int screenWidth = bounds.width;
    int screenHeight = bounds.height;
    window->GetScreenSize(screenWidth, screenHeight);
    bounds = CalcWindowBounds(x, y, clientWidth, clientHeight, style, screenWidth, screenHeight);
    window->SetBounds(bounds);
    window->Show();

    if (!ReadSystemInfo())
        return 0;
    SetCurrentFolder(nullptr);
    ShowCursor(0);
    return 1;
}

int CSystem::CreateDialogWindow(InstanceHandle instance, const DialogTemplate* dialogTemplate, int x, int y,
                                int iconId, WindowProcedure procedure, WindowHandle parent)
{
    (void)iconId;
    if (instance == nullptr || dialogTemplate == nullptr)
        return 0;
    m_instance = instance;
    auto created = std::make_unique<DialogWindow>(procedure);
    if (!created->Create(*dialogTemplate, parent, 0))
        return 0;
    DialogWindow* dialog = created.get();
    ReplaceWindow(std::move(created));

    WindowBounds bounds = dialog->GetBounds();
    SetName("Dialog");
    m_width = bounds.width < 0 ? -bounds.width : bounds.width;
    m_height = bounds.height < 0 ? -bounds.height : bounds.height;
    int screenWidth = m_width;
    int screenHeight = m_height;
    dialog->GetScreenSize(screenWidth, screenHeight);
    bounds = CalcWindowBounds(x, y, m_width, m_height, 0, screenWidth, screenHeight);
    dialog->SetBounds(bounds);
    dialog->Show();
    SetCurrentFolder(nullptr);
    return 1;
}

int CSystem::SetClientSize(int width, int height, uint32_t flags)
{
    m_width = width;
    m_height = height;
    if (m_window == nullptr)
        return 0;

    const WindowBounds current = m_window->GetBounds();
    int screenWidth = current.width;
    int screenHeight = current.height;
    m_window->GetScreenSize(screenWidth, screenHeight);
    WindowBounds bounds = CalcClientSizeBounds(width, height, m_style, screenWidth, screenHeight);
    if ((flags & WINPOS_NOMOVE) != 0)
    {
        bounds.x = current.x;
        bounds.y = current.y;
    }
    if ((flags & WINPOS_NOSIZE) != 0)
    {
        bounds.width = current.width;
        bounds.height = current.height;
    }
    if (SdlWindow* sdlWindow = dynamic_cast<SdlWindow*>(m_window))
        sdlWindow->SetFrame(FrameForStyle(m_style));
    m_window->SetBounds(bounds);
    if ((flags & WINPOS_SHOWWINDOW) != 0)
        m_window->Show();
    return 1;
}

int CSystem::GetFolderOfPath(const char* path, char* out, size_t outSize)
{
    if (path == nullptr || out == nullptr)
        return 0;
    const long separator = LastSeparator(path);
    const size_t length = separator < 0 ? 0 : static_cast<size_t>(separator) + 1;
    return CopyBounded(path, length, out, outSize) ? 1 : 0;
}

int CSystem::SetCurrentFolder(const char* path)
{
    char folder[kPathBufferSize];
    if (path == nullptr)
    {
        char executable[PATH_MAX];
        const ssize_t length = readlink("/proc/self/exe", executable, sizeof(executable));
        if (length <= 0 || static_cast<size_t>(length) >= sizeof(executable))
            return 0;
        executable[length] = 0;
        const std::string programPath = ConvertUtf8ToShiftJis(executable);
        if (!GetFolderOfPath(programPath.c_str(), folder, sizeof(folder)))
            return 0;
    }
    else if (!CopyBounded(path, strnlen(path, sizeof(folder)), folder, sizeof(folder)))
    {
        return 0;
    }
    std::memcpy(m_folder, folder, sizeof(m_folder));
    return chdir(ToNativePath(m_folder).c_str()) == 0 ? 1 : 0;
}

int CSystem::GetOpenFileName(char* fileBuffer, const char* title, const char* filter, const char* defaultExtension)
{
    return RunFileDialog(false, fileBuffer, title, filter, defaultExtension);
}

int CSystem::GetSaveFileName(char* fileBuffer, const char* title, const char* filter, const char* defaultExtension)
{
    return RunFileDialog(true, fileBuffer, title, filter, defaultExtension);
}

int CSystem::RunFileDialog(bool save, char* fileBuffer, const char* title, const char* filter,
                           const char* defaultExtension)
{
    if (fileBuffer == nullptr)
        return 0;
    FileDialogRequest request;
    request.save = save;
    request.owner = m_window;
    request.title = title;
    request.filter = filter;
    request.defaultExtension = defaultExtension;
    const int chosen = RunFileChooser(request, fileBuffer, kPathBufferSize);
    // The chooser may have moved the current directory; the program's data
    // paths are relative to the folder.
    if (m_folder[0] != 0 && chdir(ToNativePath(m_folder).c_str()) != 0)
        return 0;
    return chosen;
}

void CSystem::BringForward()
{
    if (m_window == nullptr)
        return;
    if (m_window->IsMinimized())
        m_window->Restore();
    m_window->Raise();
}

int CSystem::CheckSingleInstance()
{
    if (m_instanceLock.IsHeld())
        return 1;
    if (!m_instanceLock.Acquire(m_name))
        return 0;
    // Another start of the program pokes this one: bring the window forward.
    m_instancePump = MessageQueue::AddPump([this]() {
        if (m_instanceLock.TakePokes() > 0)
            BringForward();
    });
    return 1;
}

void CSystem::SetCalibrationClock(ClockFunction clock, SleepFunction sleep)
{
    g_calibrationClock = clock != nullptr ? clock : GetTickMilliseconds;
    g_calibrationSleep = sleep != nullptr ? sleep : SleepMilliseconds;
}

int CSystem::ReadSystemInfo()
{
    utsname names{};
    if (uname(&names) == 0)
        std::snprintf(m_osName, sizeof(m_osName), "%s %s (Build %s)", names.sysname, names.release, names.version);

    struct sysinfo memory{};
    if (sysinfo(&memory) == 0)
    {
        // The fields are 32 bits: larger memories read as the largest value.
        const unsigned long long unit = memory.mem_unit != 0 ? memory.mem_unit : 1;
        m_physicalMemory = ClampToU32(static_cast<unsigned long long>(memory.totalram) * unit);
        m_freeMemory = ClampToU32(static_cast<unsigned long long>(memory.freeram) * unit);
    }

    m_hasCpuid = m_hasTsc = m_hasMmx = m_hasSse = m_hasSse2 = 0;
    m_hasSse3 = m_hasSse41 = m_hasSse42 = 0;
    m_clock = 0.0;
#ifdef KVR_HAVE_CPUID
    unsigned int eax = 0;
    unsigned int ebx = 0;
    unsigned int ecx = 0;
    unsigned int edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0)
    {
        m_hasCpuid = 1;
        m_hasTsc = (edx >> 4) & 1u;
        m_hasMmx = (edx >> 23) & 1u;
        m_hasSse = (edx >> 25) & 1u;
        m_hasSse2 = (edx >> 26) & 1u;
        m_hasSse3 = ecx & 1u;
        m_hasSse41 = (ecx >> 19) & 1u;
        m_hasSse42 = (ecx >> 20) & 1u;
    }
    if (m_hasTsc != 0)
    {
        const uint32_t start = g_calibrationClock();
        const unsigned long long startTicks = __rdtsc();
        g_calibrationSleep(2000);
        const uint32_t end = g_calibrationClock();
        const unsigned long long endTicks = __rdtsc();
        const uint32_t milliseconds = end - start;
        if (milliseconds != 0)
            m_clock = static_cast<double>(endTicks - startTicks) / milliseconds / 1000.0 / 1000.0;
    }
#endif
    return 1;
}

int CSystem::ShowCursor(int show)
{
    g_cursorCounter += show != 0 ? 1 : -1;
    ApplyCursorCounter();
    return g_cursorCounter;
}

int GetFileNameFromPath(const char* path, char* out, size_t outSize)
{
    if (path == nullptr || out == nullptr)
        return 0;
    const long separator = LastSeparator(path);
    const char* name = separator < 0 ? path : path + separator + 1;
    return CopyBounded(name, std::strlen(name), out, outSize) ? 1 : 0;
}

int GetFileTitleFromPath(const char* path, char* out, size_t outSize)
{
    if (!GetFileNameFromPath(path, out, outSize))
        return 0;
    char* dot = std::strrchr(out, '.');
    if (dot != nullptr && dot != out)
        *dot = 0;
    return 1;
}
