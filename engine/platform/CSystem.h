#pragma once

#include "engine/platform/Message.h"

#include <cstdint>

// The program's one top-level window and what belongs to the process
// around it.
class CSystem
{
public:
    CSystem();
    ~CSystem();

    virtual const char* GetClassName() const { return "CSystem"; }

    void Release();

    WindowHandle GetWindowHandle() const { return m_window; }
    int32_t GetWidth() const { return m_width; }
    int32_t GetHeight() const { return m_height; }
    char* GetName() const { return m_name; }

    // Adopts a window made elsewhere (tests, headless runs) with its client
    // size.
    void AttachWindow(WindowHandle window, int32_t width, int32_t height);
    // Stores the client size and resizes the window to it.
    int SetClientSize(int32_t width, int32_t height, uint32_t flags);

private:
    InstanceHandle m_instance = nullptr;
    WindowHandle m_window = nullptr;
    char* m_name = nullptr;
    char m_folder[260] = {};
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint32_t m_style = 0;
};
