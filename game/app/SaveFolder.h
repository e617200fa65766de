#pragma once

#include <cstdint>
#include <string>

// The folder of the settings and save files, ending in '/':
// $XDG_DATA_HOME (else $HOME/.local/share), then "CorvaneSystem", then the
// product word ("QOR"), each folder created when missing. 0 when an argument
// is null, no home is known (never falls back to the current folder), a
// folder can't be made, or the path does not fit the buffer.
int GetSaveFolder(char* out, const char* product, uint32_t size);

// The folder GetSaveFolder makes, without '/' at the end and without making
// it; empty when no home is known.
std::string GetSaveFolderPath(const char* product);
