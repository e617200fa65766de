#include "engine/platform/CSystem.h"

#include "engine/core/AlignedMemory.h"
#include "engine/platform/PlatformWindow.h"

CSystem::CSystem() = default;

CSystem::~CSystem() = default;

void CSystem::Release()
{
    AlignedFree(m_name);
    m_name = nullptr;
}

void CSystem::AttachWindow(WindowHandle window, int32_t width, int32_t height)
{
    m_window = window;
    m_width = width;
    m_height = height;
    if (window != nullptr)
    {
        WindowBounds bounds = window->GetBounds();
        bounds.width = width;
        bounds.height = height;
        window->SetBounds(bounds);
    }
}

int CSystem::SetClientSize(int32_t width, int32_t height, uint32_t flags)
{
    (void)flags;
    m_width = width;
    m_height = height;
    if (m_window == nullptr)
        return 0;
    WindowBounds bounds = m_window->GetBounds();
    bounds.width = width;
    bounds.height = height;
    m_window->SetBounds(bounds);
    m_window->Show();
    return 1;
}
