// Runs a fuzz target over the files of its seed corpus, so that the build
// without libFuzzer still exercises every target.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 0;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
