#pragma once

#include "engine/core/CList.h"
#include "game/story/tag_TOLQSTORYENDINGSTAFF.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The staff roll file ("Story\StaffRoll.stt" beside the program, outside
// the packs): one line of the roll per line of the file, the text size,
// a comma, the text. There is no header and no comment.

// The largest staff roll file read, and the largest text size a line may
// ask for (larger sizes are cut down to it, negative ones to 0).
constexpr uint64_t kMaxStaffRollFileSize = 256u << 10;
constexpr int32_t kMaxStaffTextSize = 256;

// The lines of the file's bytes, in order. A CR before an LF is dropped;
// the number part is read as a decimal integer after any blanks (no
// number: 0); a text longer than 259 bytes is cut between characters.
// Text after the last line with no comma in it makes no line.
std::vector<tag_TOLQSTORYENDINGSTAFF> ParseStaffRoll(const uint8_t* data, size_t size);

// Reads the file through the path layer into lines, replacing what they
// held. 0 when it can't be read (lines then empty), else 1.
uint32_t ReadStaffRoll(const char* path, CList<tag_TOLQSTORYENDINGSTAFF>* lines);
