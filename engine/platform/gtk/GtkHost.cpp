#include "engine/platform/gtk/GtkHost.h"

#include "engine/core/FailureLog.h"
#include "engine/platform/message/MessageQueue.h"

#include <gtk/gtk.h>

namespace
{
enum class GtkState
{
    NotStarted,
    Running,
    Failed,
};
GtkState g_state = GtkState::NotStarted;
}

bool StartGtk()
{
    if (g_state != GtkState::NotStarted)
        return g_state == GtkState::Running;
    gtk_disable_setlocale();
    GError* error = nullptr;
    // A display that is there but busy (a loaded machine, a server starting
    // up) may refuse one connection: try a few times before giving up.
    bool started = false;
    for (int attempt = 0; attempt < 5 && !started; ++attempt)
    {
        if (attempt > 0)
        {
            g_clear_error(&error);
            g_usleep(200 * 1000);
        }
        started = gtk_init_with_args(nullptr, nullptr, nullptr, nullptr, nullptr, &error);
    }
    if (!started)
    {
        // GTK says why only when it could not parse its options; otherwise
        // it found no display to open.
        LogFailure("dialogs: gtk_init", error != nullptr ? error->message : "cannot open the display");
        g_clear_error(&error);
        g_state = GtkState::Failed;
        return false;
    }
    g_state = GtkState::Running;
    MessageQueue::AddPump(PumpGtkEvents);
    return true;
}

void PumpGtkEvents()
{
    if (g_state != GtkState::Running)
        return;
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}
