#include "engine/platform/gtk/MessageDialog.h"

#include "engine/core/TextEncoding.h"
#include "engine/platform/PlatformMessageBox.h"
#include "engine/platform/gtk/DialogWindow.h"
#include "engine/platform/gtk/GtkHost.h"

#include <gtk/gtk.h>

#include <string>

namespace
{
const char* IconName(MessageKind kind)
{
    switch (kind)
    {
    case MessageKind::Error:
        return "dialog-error";
    case MessageKind::Warning:
        return "dialog-warning";
    case MessageKind::Question:
        return "dialog-question";
    }
    return "dialog-information";
}

GtkWindow* ParentOf(DialogWindow* owner)
{
    GtkWidget* root = owner != nullptr ? static_cast<GtkWidget*>(owner->GetNativeHandle()) : nullptr;
    return root != nullptr && GTK_IS_WINDOW(root) ? GTK_WINDOW(root) : nullptr;
}

// The icon beside the text, as message boxes have it.
void AddContent(GtkDialog* dialog, MessageKind kind, const std::string& text)
{
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 16);
    gtk_container_set_border_width(GTK_CONTAINER(row), 16);
    GtkWidget* icon = gtk_image_new_from_icon_name(IconName(kind), GTK_ICON_SIZE_DIALOG);
    gtk_widget_set_valign(icon, GTK_ALIGN_START);
    GtkWidget* label = gtk_label_new(text.c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    // Paths have no spaces to break at: they break between characters.
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_max_width_chars(GTK_LABEL(label), kMessageDialogTextChars);
    gtk_label_set_selectable(GTK_LABEL(label), TRUE);
    gtk_box_pack_start(GTK_BOX(row), icon, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), label, TRUE, TRUE, 0);
    gtk_widget_show_all(row);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(dialog)), row, TRUE, TRUE, 0);
}

MessageAnswer Run(DialogWindow* owner, MessageKind kind, const char* caption, const char* text, const char* yesLabel,
                  const char* noLabel)
{
    const bool question = kind == MessageKind::Question;
    if (DivertMessageBox(text, caption) || !StartGtk())
        return question ? MessageAnswer::Cancel : MessageAnswer::Ok;
    const std::string title = ConvertShiftJisToUtf8(caption != nullptr ? caption : "");
    GtkWidget* widget = gtk_dialog_new();
    GtkDialog* dialog = GTK_DIALOG(widget);
    gtk_window_set_title(GTK_WINDOW(widget), title.c_str());
    gtk_window_set_modal(GTK_WINDOW(widget), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(widget), FALSE);
    if (GtkWindow* parent = ParentOf(owner))
    {
        gtk_window_set_transient_for(GTK_WINDOW(widget), parent);
        gtk_window_set_position(GTK_WINDOW(widget), GTK_WIN_POS_CENTER_ON_PARENT);
    }
    else
    {
        // A box of its own (over the game's window, say): in the middle of
        // the screen, above the other windows.
        gtk_window_set_position(GTK_WINDOW(widget), GTK_WIN_POS_CENTER);
        gtk_window_set_keep_above(GTK_WINDOW(widget), TRUE);
    }
    AddContent(dialog, kind, ConvertShiftJisToUtf8(text != nullptr ? text : ""));
    if (question)
    {
        gtk_dialog_add_button(dialog, "_Cancel", GTK_RESPONSE_CANCEL);
        gtk_dialog_add_button(dialog, ConvertShiftJisToUtf8(noLabel != nullptr ? noLabel : "_No").c_str(),
                              GTK_RESPONSE_NO);
        gtk_dialog_add_button(dialog, ConvertShiftJisToUtf8(yesLabel != nullptr ? yesLabel : "_Yes").c_str(),
                              GTK_RESPONSE_YES);
        gtk_dialog_set_default_response(dialog, GTK_RESPONSE_YES);
    }
    else
    {
        gtk_dialog_add_button(dialog, "_OK", GTK_RESPONSE_OK);
        gtk_dialog_set_default_response(dialog, GTK_RESPONSE_OK);
    }
    const int response = gtk_dialog_run(dialog);
    gtk_widget_destroy(widget);
    PumpGtkEvents();
    if (!question)
        return MessageAnswer::Ok;
    if (response == GTK_RESPONSE_YES)
        return MessageAnswer::Yes;
    if (response == GTK_RESPONSE_NO)
        return MessageAnswer::No;
    return MessageAnswer::Cancel;
}
}

MessageAnswer ShowMessageDialog(DialogWindow* owner, MessageKind kind, const char* caption, const char* text)
{
    return Run(owner, kind, caption, text, nullptr, nullptr);
}

MessageAnswer AskMessageDialog(DialogWindow* owner, const char* caption, const char* text, const char* yesLabel,
                               const char* noLabel)
{
    return Run(owner, MessageKind::Question, caption, text, yesLabel, noLabel);
}
