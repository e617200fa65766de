#pragma once

#include "engine/platform/message/Message.h"
#include "engine/platform/message/PlatformWindow.h"
#include "engine/platform/SingleInstanceLock.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class DialogTemplate;

// Style bits of a main window that its size and placement depend on.
enum WindowStyle : uint32_t
{
    WINSTYLE_MINIMIZEBOX = 0x00020000,
    WINSTYLE_SYSMENU = 0x00080000,
    WINSTYLE_CAPTION = 0x00C00000,
};

// Flags of CSystem::SetClientSize.
enum WindowPositionFlag : uint32_t
{
    WINPOS_NOSIZE = 0x0001,
    WINPOS_NOMOVE = 0x0002,
    WINPOS_NOZORDER = 0x0004,
    WINPOS_SHOWWINDOW = 0x0040,
    WINPOS_HIDEWINDOW = 0x0080,
};

// Decoration metrics the window arithmetic reckons with: a fixed frame on
// every side and a caption above the client area. The window manager draws
// its own; these keep sizes and centring the same on every desktop.
constexpr int kFixedFrameWidth = 3;
constexpr int kFixedFrameHeight = 3;
constexpr int kCaptionHeight = 19;

// Operating system kinds of the system information block.
enum OsKind : uint32_t
{
    OSKIND_WINDOWS31 = 0,
    OSKIND_WINDOWS95 = 1,
    OSKIND_WINDOWS98 = 2,
    OSKIND_WINDOWSME = 3,
    OSKIND_WINDOWSNT351 = 4,
    OSKIND_WINDOWSNT40 = 5,
    OSKIND_WINDOWS2000 = 6,
    OSKIND_WINDOWSXP = 7,
    OSKIND_WINDOWSVISTA = 8,
};

// Every path buffer of the program holds this many bytes, terminator
// included.
constexpr size_t kPathBufferSize = 260;

// The program's one top-level window and what belongs to the process
// around it: the instance, the window name, the program's folder (the
// current directory), file dialogs, a single-instance check and a block of
// system information.
class CSystem
{
public:
    CSystem();
    virtual ~CSystem();

    CSystem(const CSystem&) = delete;
    CSystem& operator=(const CSystem&) = delete;

    virtual const char* GetClassName() const { return "CSystem"; }

    // The game window: an SDL window whose client area is clientWidth x
    // clientHeight; x or y negative centres it on the screen. Reads the
    // system information, makes the program's folder current and hides the
    // cursor. iconId and parent are accepted for the callers' sake.
    int CreateMainWindow(InstanceHandle instance, const char* name, int x, int y, int clientWidth,
                         int clientHeight, uint32_t style, int iconId, WindowProcedure procedure,
                         WindowHandle parent);
    // A dialog window built from a template, with the dialog procedure;
    // the name becomes "Dialog" and the size that of the dialog.
    int CreateDialogWindow(InstanceHandle instance, const DialogTemplate* dialogTemplate, int x, int y,
                           int iconId, WindowProcedure procedure, WindowHandle parent);

    int SetClientSize(int width, int height, uint32_t flags);
    // null: the folder of the program's executable. The path must fit the
    // 260-byte folder buffer; 0 when it does not or the folder can't be
    // entered.
    int SetCurrentFolder(const char* path);

    // Modal file choosers. fileBuffer holds kPathBufferSize bytes: the
    // initial name on entry, the chosen path on success. filter is the
    // double-NUL-terminated list "Text\0*.txt\0All\0*.*\0\0".
    int GetOpenFileName(char* fileBuffer, const char* title, const char* filter, const char* defaultExtension);
    int GetSaveFileName(char* fileBuffer, const char* title, const char* filter, const char* defaultExtension);

    // 1 when no other process of this window name runs; 0 when one does (it
    // is asked to bring its window forward).
    int CheckSingleInstance();
    int ReadSystemInfo();
    // The cursor display counter: the cursor shows while it is 0 or more.
    // Returns the new counter.
    int ShowCursor(int show);

    void Release();
    // Replaces the window name by an aligned copy (the create operations
    // set it; a program may name itself before CheckSingleInstance).
    void SetName(const char* name);

    WindowHandle GetWindowHandle() const { return m_window; }
    InstanceHandle GetInstance() const { return m_instance; }
    int32_t GetWidth() const { return m_width; }
    int32_t GetHeight() const { return m_height; }
    uint32_t GetStyle() const { return m_style; }
    char* GetName() const { return m_name; }
    const char* GetFolder() const { return m_folder; }

    // Fill the engine's rectangle (anything with Set(left, right, top,
    // bottom), i.e. CRect) and return it: the client area, and the widest
    // 4:3 area of the client's height.
    template <class Rect>
    Rect* GetScreenRect(Rect* rect) const
    {
        if (rect != nullptr)
            rect->Set(0.0f, static_cast<float>(m_width), 0.0f, static_cast<float>(m_height));
        return rect;
    }
    template <class Rect>
    Rect* GetScreenRect4x3(Rect* rect) const
    {
        if (rect != nullptr)
            rect->Set(0.0f, static_cast<float>(m_height) / 0.75f, 0.0f, static_cast<float>(m_height));
        return rect;
    }

    const char* GetOsName() const { return m_osName; }
    uint32_t GetOsKind() const { return m_osKind; }
    uint32_t GetPhysicalMemory() const { return m_physicalMemory; }
    uint32_t GetFreeMemory() const { return m_freeMemory; }
    uint32_t HasCpuid() const { return m_hasCpuid; }
    uint32_t HasTsc() const { return m_hasTsc; }
    uint32_t HasMmx() const { return m_hasMmx; }
    uint32_t HasSse() const { return m_hasSse; }
    uint32_t HasSse2() const { return m_hasSse2; }
    uint32_t HasSse3() const { return m_hasSse3; }
    uint32_t HasSse41() const { return m_hasSse41; }
    uint32_t HasSse42() const { return m_hasSse42; }
    double GetClock() const { return m_clock; }

    // Outer bounds of a window with that client size and style: grown by
    // the frame and caption when the style has a caption; a negative x or y
    // centred on a screen of that size.
    static WindowBounds CalcWindowBounds(int x, int y, int clientWidth, int clientHeight, uint32_t style,
                                         int screenWidth, int screenHeight);
    // Where SetClientSize puts the window: grown and centred with a
    // caption, at 0, 0 with exactly the client size without.
    static WindowBounds CalcClientSizeBounds(int clientWidth, int clientHeight, uint32_t style, int screenWidth,
                                             int screenHeight);
    // The folder part of a file path, separator kept, into out; 0 when it
    // does not fit outSize bytes.
    static int GetFolderOfPath(const char* path, char* out, size_t outSize);

    // The clock calibration waits two seconds on the real clock; tests
    // replace the clock and the sleep (null restores them).
    using ClockFunction = uint32_t (*)();
    using SleepFunction = void (*)(uint32_t milliseconds);
    static void SetCalibrationClock(ClockFunction clock, SleepFunction sleep);

    // Uses a window made elsewhere (tests use a headless one); not owned.
    void AttachWindow(WindowHandle window);

private:
    int RunFileDialog(bool save, char* fileBuffer, const char* title, const char* filter,
                      const char* defaultExtension);
    void ReplaceWindow(std::unique_ptr<PlatformWindow> window);
    void BringForward();

    InstanceHandle m_instance = nullptr;
    WindowHandle m_window = nullptr;
    char* m_name = nullptr;
    char m_folder[kPathBufferSize] = {};
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint32_t m_style = 0;
    char m_osName[256] = {};
    uint32_t m_osKind = 0;
    uint32_t m_physicalMemory = 0;
    uint32_t m_freeMemory = 0;
    uint32_t m_hasCpuid = 0;
    uint32_t m_hasTsc = 0;
    uint32_t m_hasMmx = 0;
    uint32_t m_hasSse = 0;
    uint32_t m_hasSse2 = 0;
    uint32_t m_hasSse3 = 0;
    uint32_t m_hasSse41 = 0;
    uint32_t m_hasSse42 = 0;
    double m_clock = 0.0;

    std::unique_ptr<PlatformWindow> m_ownedWindow;
    SingleInstanceLock m_instanceLock;
    int m_instancePump = 0;
};

// The file name after the last separator ('\' or '/') of path, the whole
// path when there is none after its first character; 1, or 0 when a
// pointer is null or the name does not fit outSize bytes.
int GetFileNameFromPath(const char* path, char* out, size_t outSize = kPathBufferSize);
// The same, cut at the last dot unless that dot starts the name.
int GetFileTitleFromPath(const char* path, char* out, size_t outSize = kPathBufferSize);
