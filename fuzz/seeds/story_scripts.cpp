// Writes the seeds of the story reader fuzz targets: the data kit's story
// chapters and missions as text and, converted by the game's writer, in
// binary, each into the folder of its reader (named as in
// fuzz/CMakeLists.txt), and the staff roll.
#include "tools/datakit/StoryDataKit.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
bool Write(const std::string& folder, const char* reader, const std::string& record, const std::vector<uint8_t>& bytes)
{
    std::error_code error;
    std::filesystem::create_directories(folder + "/" + reader, error);
    const std::string path = folder + "/" + reader + "/" + record.substr(record.rfind('\\') + 1);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: seeds_story_scripts <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    for (StoryDataKit::ScriptFile& file : StoryDataKit::Files())
    {
        const bool story = file.name.find(".stt") != std::string::npos;
        if (!Write(folder, story ? "story_text" : "mission_text", file.name, file.bytes))
            return 1;
        std::string name = file.name;
        std::string error;
        if (!StoryDataKit::ToPackedForm(&name, &file.bytes, &error) ||
            !Write(folder, story ? "story_binary" : "mission_binary", name, file.bytes))
        {
            std::fprintf(stderr, "seeds_story_scripts: %s: %s\n", file.name.c_str(), error.c_str());
            return 1;
        }
    }
    const std::string roll = StoryDataKit::StaffRoll();
    return Write(folder, "staff_roll", StoryDataKit::kStaffRollName, std::vector<uint8_t>(roll.begin(), roll.end()))
               ? 0
               : 1;
}
