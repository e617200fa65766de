#include "engine/platform/message/PlatformWindow.h"

#include "engine/platform/message/MessageQueue.h"

PlatformWindow::~PlatformWindow()
{
    MessageQueue::RemoveWindowMessages(this);
}

void PlatformWindow::Destroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    MessageQueue::Send(this, MSG_DESTROY, 0, 0);
    DestroyNative();
    m_visible = false;
}
