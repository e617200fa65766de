// Runs a fuzz target over the files of its seed corpus, so that the build
// without libFuzzer still exercises every target.
#include "engine/core/FileIo.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int RunFile(const std::filesystem::path& path)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path.c_str(), UINT32_MAX, &bytes))
    {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 0;
    }
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 1;
}

int main(int argc, char** argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i)
    {
        std::filesystem::path root(argv[i]);
        if (std::filesystem::is_directory(root))
        {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
            {
                if (entry.is_regular_file())
                    files += RunFile(entry.path());
            }
            continue;
        }
        files += RunFile(root);
    }
    // An empty input is a case every target must survive too.
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::printf("replayed %d files\n", files);
    return 0;
}
