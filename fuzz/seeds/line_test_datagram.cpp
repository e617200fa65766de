// Writes the seed corpus of fuzz_line_test_datagram into <folder> with the
// line test's own writers: a request and datagrams of both sides.
#include "net/LineTestMessages.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace
{
bool Write(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: seeds_line_test_datagram <folder>\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    bool ok = true;
    std::vector<uint8_t> request(4);
    WriteLineTestRequest(request.data(), 100, 1000);
    ok &= Write(folder + "request", request);
    std::vector<uint8_t> block(1000);
    FillLineTestBlock(block.data(), 1000, 42, kLineTestFromTester);
    ok &= Write(folder + "block", block);
    std::vector<uint8_t> bare(2);
    FillLineTestBlock(bare.data(), 2, 7, kLineTestFromService);
    ok &= Write(folder + "two_bytes", bare);
    return ok ? 0 : 1;
}
