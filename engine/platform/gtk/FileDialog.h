#pragma once

#include "engine/platform/message/Message.h"

#include <cstddef>
#include <string>
#include <vector>

// One entry of a file-type filter: its display name and its patterns.
struct FileFilter
{
    std::string name;                  // Shift-JIS, as given
    std::vector<std::string> patterns; // "*.txt", split at ';'
};

// Splits a filter string: pairs of NUL-terminated texts ended
// by an empty one: "Text\0*.txt\0All\0*.*\0\0". A name without patterns
// ends the list. null gives an empty list.
std::vector<FileFilter> ParseFileFilter(const char* filter);

// A GTK glob that matches without regard to case, as the program's data
// and save names are matched: "*.txt" becomes "*.[tT][xX][tT]".
std::string MakeCaseInsensitivePattern(const std::string& pattern);

struct FileDialogRequest
{
    bool save = false;
    WindowHandle owner = nullptr;
    const char* title = nullptr;            // Shift-JIS
    const char* filter = nullptr;           // see ParseFileFilter
    const char* defaultExtension = nullptr; // added to a saved name without one
};

// Runs a modal GTK file chooser. fileBuffer (bufferSize bytes, Shift-JIS)
// holds the initial name and receives the chosen path. 1 when a file was
// chosen and its path fits; 0 when cancelled, when GTK can't start, or when
// the path does not fit (the buffer is then left as it was).
int RunFileChooser(const FileDialogRequest& request, char* fileBuffer, size_t bufferSize);
