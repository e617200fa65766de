// Writes the seed corpus of fuzz_font_layout into the folder given: a
// layout byte pair (anchor, wrap settings) and then Shift-JIS text. Written
// by code so that the repository holds no binary files.
#include <cstdio>
#include <filesystem>
#include <string>

namespace
{
struct Seed
{
    const char* name;
    std::string bytes;
};

bool Write(const std::filesystem::path& folder, const Seed& seed)
{
    FILE* file = std::fopen((folder / seed.name).c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(seed.bytes.data(), 1, seed.bytes.size(), file) == seed.bytes.size();
    return std::fclose(file) == 0 && written;
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 1;
    }
    const std::filesystem::path folder(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const Seed seeds[] = {
        {"wrap_four", std::string("\x11\x04" "ABCDEF")},
        {"line_breaks", std::string("\x22\x00" "A\r\nB\nC\r", 9)},
        {"cut_lead_byte", std::string("\x00\x03" "A\x82", 4)},
        {"kana_and_latin", std::string("\x11\x0C" "\x82\xA0\x82\xA2\x82\xA4 ABC 123")},
        {"invalid_cp932", std::string("\x44\x02" "\x85\x40\xFD\xFF\x80\xA0\x81\x40" "Z")},
        {"ideographic_spaces", std::string("\x40\x05" "\x81\x40\x81\x40 \x81\x40" "a")},
    };
    for (const Seed& seed : seeds)
    {
        if (!Write(folder, seed))
        {
            std::fprintf(stderr, "cannot write %s\n", seed.name);
            return 1;
        }
    }
    return 0;
}
