#pragma once

#include <cstddef>

// Replaces the file at a native path (UTF-8, '/') with new contents so that
// a crash, a full disk or a failed write never leaves a half-written file:
// the bytes go to a temporary file in the same folder, are flushed to disk,
// and only then renamed over the old file. 1/0; on failure the old file is
// left as it was and the temporary file is removed.
int WriteFileAtomically(const char* path, const void* data, size_t size);
