#include "game/story/StaffRoll.h"

#include "engine/core/FileIo.h"
#include "game/story/StoryFiles.h"
#include "game/story/StoryText.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace
{
// The number buffer holds 259 characters; what follows them is not read.
constexpr size_t kNumberChars = tag_TOLQSTORYENDINGSTAFF::kTextSize - 1;

bool IsBlank(uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi's reading, limited to the sizes a line may ask for.
int32_t TextSize(const uint8_t* text, size_t length)
{
    length = std::min(length, kNumberChars);
    size_t i = 0;
    while (i < length && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < length && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), kMaxStaffTextSize);
    return negative ? 0 : static_cast<int32_t>(value);
}
}

std::vector<tag_TOLQSTORYENDINGSTAFF> ParseStaffRoll(const uint8_t* data, size_t size)
{
    std::vector<tag_TOLQSTORYENDINGSTAFF> lines;
    const std::vector<uint8_t> text = WithoutCarriageReturns(data, static_cast<uint32_t>(size));
    const uint8_t* begin = text.data();
    const uint8_t* end = begin + text.size();
    const uint8_t* at = begin;
    while (at < end)
    {
        const uint8_t* comma = std::find(at, end, ',');
        if (comma == end)
            break;
        tag_TOLQSTORYENDINGSTAFF line{};
        line.size = TextSize(at, static_cast<size_t>(comma - at));
        const uint8_t* start = comma + 1;
        const uint8_t* stop = std::find(start, end, '\n');
        CopyTextToField(line.text, sizeof(line.text), std::string(start, stop).c_str());
        lines.push_back(line);
        at = stop < end ? stop + 1 : end;
    }
    return lines;
}

uint32_t ReadStaffRoll(const char* path, CList<tag_TOLQSTORYENDINGSTAFF>* lines)
{
    lines->SetCount(0);
    std::vector<uint8_t> bytes;
    if (path == nullptr || !ReadWholeFile(path, kMaxStaffRollFileSize, &bytes))
        return 0;
    const std::vector<tag_TOLQSTORYENDINGSTAFF> parsed = ParseStaffRoll(bytes.data(), bytes.size());
    if (!parsed.empty())
        lines->SetArray(parsed.data(), static_cast<uint32_t>(parsed.size()));
    return 1;
}
