#include "engine/platform/gtk/FileDialog.h"

#include "engine/core/TextEncoding.h"
#include "engine/platform/gtk/DialogWindow.h"
#include "engine/platform/gtk/GtkHost.h"

#include <gtk/gtk.h>

#include <cctype>
#include <cstring>

namespace
{
// A filter string is a few hundred bytes at most; this bounds a string
// whose final empty text is missing to something finite.
constexpr size_t kMaxFilterEntries = 64;

std::vector<std::string> SplitPatterns(const char* text)
{
    std::vector<std::string> patterns;
    std::string current;
    for (const char* p = text;; ++p)
    {
        if (*p == ';' || *p == 0)
        {
            // Spaces around the separators are common in filter strings.
            const size_t first = current.find_first_not_of(' ');
            const size_t last = current.find_last_not_of(' ');
            if (first != std::string::npos)
                patterns.push_back(current.substr(first, last - first + 1));
            current.clear();
            if (*p == 0)
                break;
            continue;
        }
        current.push_back(*p);
    }
    return patterns;
}

void AddFilters(GtkFileChooser* chooser, const char* filterText)
{
    for (const FileFilter& entry : ParseFileFilter(filterText))
    {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, ConvertShiftJisToUtf8(entry.name).c_str());
        for (const std::string& pattern : entry.patterns)
            gtk_file_filter_add_pattern(filter, MakeCaseInsensitivePattern(pattern).c_str());
        gtk_file_chooser_add_filter(chooser, filter);
    }
}

// The initial name from the buffer: a folder and/or a file name.
void SetInitialName(GtkFileChooser* chooser, bool save, const char* fileBuffer, size_t bufferSize)
{
    const size_t length = strnlen(fileBuffer, bufferSize);
    if (length == 0 || length >= bufferSize)
        return;
    std::string name = ConvertShiftJisToUtf8(std::string(fileBuffer, length));
    for (char& c : name)
    {
        if (c == '\\')
            c = '/';
    }
    const size_t slash = name.find_last_of('/');
    if (slash != std::string::npos)
        gtk_file_chooser_set_current_folder(chooser, name.substr(0, slash + 1).c_str());
    const std::string base = slash != std::string::npos ? name.substr(slash + 1) : name;
    if (save && !base.empty())
        gtk_file_chooser_set_current_name(chooser, base.c_str());
}

std::string AddDefaultExtension(const std::string& path, const char* extension)
{
    if (extension == nullptr || *extension == 0)
        return path;
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return path;
    return path + "." + extension;
}
}

std::vector<FileFilter> ParseFileFilter(const char* filter)
{
    std::vector<FileFilter> filters;
    if (filter == nullptr)
        return filters;
    const char* p = filter;
    while (*p != 0 && filters.size() < kMaxFilterEntries)
    {
        FileFilter entry;
        entry.name = p;
        p += entry.name.size() + 1;
        if (*p == 0)
            break;
        const char* patterns = p;
        p += std::strlen(patterns) + 1;
        entry.patterns = SplitPatterns(patterns);
        if (!entry.patterns.empty())
            filters.push_back(std::move(entry));
    }
    return filters;
}

std::string MakeCaseInsensitivePattern(const std::string& pattern)
{
    std::string result;
    for (char c : pattern)
    {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (std::isalpha(byte) && byte < 0x80)
        {
            result.push_back('[');
            result.push_back(static_cast<char>(std::tolower(byte)));
            result.push_back(static_cast<char>(std::toupper(byte)));
            result.push_back(']');
            continue;
        }
        result.push_back(c);
    }
    return result;
}

int RunFileChooser(const FileDialogRequest& request, char* fileBuffer, size_t bufferSize)
{
    if (fileBuffer == nullptr || bufferSize == 0 || !StartGtk())
        return 0;

    GtkWindow* parent = nullptr;
    if (auto* dialog = dynamic_cast<DialogWindow*>(request.owner))
    {
        GtkWidget* root = static_cast<GtkWidget*>(dialog->GetNativeHandle());
        if (root != nullptr && GTK_IS_WINDOW(root))
            parent = GTK_WINDOW(root);
    }
    const std::string title = ConvertShiftJisToUtf8(request.title != nullptr ? request.title : "");
    const GtkFileChooserAction action = request.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN;
    GtkWidget* chooser = gtk_file_chooser_dialog_new(title.c_str(), parent, action, "_Cancel", GTK_RESPONSE_CANCEL,
                                                     request.save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* fileChooser = GTK_FILE_CHOOSER(chooser);
    gtk_file_chooser_set_local_only(fileChooser, TRUE);
    if (request.save)
        gtk_file_chooser_set_do_overwrite_confirmation(fileChooser, TRUE);
    AddFilters(fileChooser, request.filter);
    SetInitialName(fileChooser, request.save, fileBuffer, bufferSize);

    int result = 0;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT)
    {
        gchar* chosen = gtk_file_chooser_get_filename(fileChooser);
        if (chosen != nullptr)
        {
            std::string path = chosen;
            g_free(chosen);
            if (request.save)
                path = AddDefaultExtension(path, request.defaultExtension);
            const std::string programPath = ConvertUtf8ToShiftJis(path);
            if (programPath.size() < bufferSize)
            {
                std::memcpy(fileBuffer, programPath.c_str(), programPath.size() + 1);
                result = 1;
            }
        }
    }
    gtk_widget_destroy(chooser);
    PumpGtkEvents();
    return result;
}
