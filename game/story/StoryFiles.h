#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CMission;
class CStory;

// What story and mission files have in common around their readers: how a
// file names its chapter or mission, which form a path selects, and
// reading the bytes whole.

// The largest story or mission file read.
constexpr uint64_t kMaxStoryFileSize = 4u << 20;

// The text after the path's last separator ('\' or '/'), without its last
// four characters (the extension and its dot); "" when nothing is left.
std::string NameOfStoryPath(const char* path);

// True when the path holds the text extension (".stt", ".mit") in lower or
// upper case anywhere; any other path names the binary form.
bool IsTextStoryPath(const char* path, const char* extension);

// The file's bytes through the path layer, at most kMaxStoryFileSize. False
// with the reason in error.
bool ReadStoryFile(const char* path, std::vector<uint8_t>* bytes, std::string* error);

// Text files are read as the text mode of their home system reads them: a
// CR before an LF is dropped.
std::vector<uint8_t> WithoutCarriageReturns(const void* data, uint32_t size);

// Runs the reader of the file's form (text when the name holds
// textExtension) over its bytes: into the story when one is given, else
// into the mission. No bytes read as no records. False with the reason in
// error.
bool AnalysStoryBytes(const char* fileName, const char* textExtension, const void* data, uint32_t size,
                      CStory* story, CMission* mission, std::string* error);
