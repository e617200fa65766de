#pragma once

#include <cstddef>
#include <cstdint>

// Texts of story and mission files: Shift-JIS, kept whole-character.

// Bytes of the text (length bytes, no NUL needed) that fit into a buffer
// of capacity bytes with its NUL, never ending inside a double-byte
// character.
uint32_t FittingTextLength(const char* text, uint32_t length, uint32_t capacity);

// An aligned copy of the fitting part of the text; null for an empty text
// or when memory is exhausted.
char* CopyStoryText(const char* text, uint32_t length, uint32_t capacity);

// The fitting part of a NUL-terminated text (null: empty) into a fixed
// field of size bytes, NUL-terminated.
void CopyTextToField(char* field, size_t size, const char* text);
