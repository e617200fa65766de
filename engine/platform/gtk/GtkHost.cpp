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
    if (!gtk_init_with_args(nullptr, nullptr, nullptr, nullptr, nullptr, &error))
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
