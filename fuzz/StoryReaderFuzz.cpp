// Reads arbitrary bytes with one story reader, chosen at build time by
// KVR_STORY_READER (see fuzz/CMakeLists.txt): story text, story binary,
// mission text, mission binary, or the staff roll. Whatever a story or
// mission reader takes must write, and its bytes must read back to the
// very same bytes; staff roll lines stay inside their limits.
#include "engine/core/CByteWriter.h"
#include "game/story/CMission.h"
#include "game/story/CStory.h"
#include "game/story/CStoryWriter.h"
#include "game/story/StaffRoll.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifndef KVR_STORY_READER
#error "KVR_STORY_READER picks the reader"
#endif

namespace
{
// In the order of the reader names in fuzz/CMakeLists.txt.
constexpr const char* kFileNames[4] = {"Story\\Fuzz.stt", "Story\\Fuzz.str", "Mission\\Fuzz.mit",
                                       "Mission\\Fuzz.mis"};

template <class T>
void Check(const char* fileName, const uint8_t* data, size_t size)
{
    T script;
    if (size > UINT32_MAX || !script.LoadMemory(fileName, data, static_cast<uint32_t>(size)))
        return;
    CByteWriter first;
    std::string error;
    if (!CStoryWriter::Encode(script, &first, &error))
        __builtin_trap();
    T again;
    const std::vector<uint8_t>& bytes = first.GetBytes();
    CByteWriter second;
    if (!again.LoadMemory("Binary.str", bytes.data(), static_cast<uint32_t>(bytes.size())) ||
        !CStoryWriter::Encode(again, &second, &error) || second.GetBytes() != bytes)
        __builtin_trap();
}

void CheckStaffRoll(const uint8_t* data, size_t size)
{
    for (const tag_TOLQSTORYENDINGSTAFF& line : ParseStaffRoll(data, size))
    {
        if (line.size < 0 || line.size > kMaxStaffTextSize || strnlen(line.text, sizeof(line.text)) == sizeof(line.text))
            __builtin_trap();
    }
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (KVR_STORY_READER < 2)
        Check<CStory>(kFileNames[KVR_STORY_READER], data, size);
    else if (KVR_STORY_READER < 4)
        Check<CMission>(kFileNames[KVR_STORY_READER], data, size);
    else
        CheckStaffRoll(data, size);
    return 0;
}
