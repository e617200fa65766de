#include "game/story/StoryFiles.h"

#include "engine/core/FileIo.h"
#include "game/story/CAnalysStoryBinary.h"
#include "game/story/CAnalysStoryText.h"
#include "engine/core/TextEncoding.h"

#include <cctype>
#include <cstring>

std::string NameOfStoryPath(const char* path)
{
    if (path == nullptr)
        return {};
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p)
    {
        // A trail byte may equal '\\': it separates nothing.
        if (IsShiftJisLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0')
            ++p;
        else if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    const size_t length = std::strlen(name);
    return length > 4 ? std::string(name, length - 4) : std::string();
}

bool IsTextStoryPath(const char* path, const char* extension)
{
    if (path == nullptr || extension == nullptr)
        return false;
    std::string upper(extension);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return std::strstr(path, extension) != nullptr || std::strstr(path, upper.c_str()) != nullptr;
}

bool ReadStoryFile(const char* path, std::vector<uint8_t>* bytes, std::string* error)
{
    if (path != nullptr && ReadWholeFile(path, kMaxStoryFileSize, bytes))
        return true;
    *error = "the file can't be read (missing, unreadable or larger than " +
             std::to_string(kMaxStoryFileSize >> 20) + " MB)";
    return false;
}

std::vector<uint8_t> WithoutCarriageReturns(const void* data, uint32_t size)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> kept;
    kept.reserve(size);
    for (uint32_t i = 0; i < size; ++i)
    {
        if (bytes[i] == '\r' && i + 1 < size && bytes[i + 1] == '\n')
            continue;
        kept.push_back(bytes[i]);
    }
    return kept;
}

namespace
{
template <class Reader>
bool Analys(Reader& reader, const void* data, uint32_t size, CStory* story, CMission* mission, std::string* error)
{
    if (!reader.OpenMemory(data, size))
    {
        *error = "out of memory";
        return false;
    }
    const int read = story != nullptr ? reader.AnalysStory(story) : reader.AnalysMission(mission);
    *error = reader.GetError();
    return read != 0;
}
}

bool AnalysStoryBytes(const char* fileName, const char* textExtension, const void* data, uint32_t size,
                      CStory* story, CMission* mission, std::string* error)
{
    if (size == 0)
        return true;
    if (IsTextStoryPath(fileName, textExtension))
    {
        CAnalysStoryText reader;
        const std::vector<uint8_t> text = WithoutCarriageReturns(data, size);
        return Analys(reader, text.data(), static_cast<uint32_t>(text.size()), story, mission, error);
    }
    CAnalysStoryBinary reader;
    return Analys(reader, data, size, story, mission, error);
}
