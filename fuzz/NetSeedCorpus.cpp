// Writes the seed corpora of the network fuzz targets whose inputs are
// binary (framed streams, line-test datagrams) with the engine's own
// writers, so that no binary file is kept in the repository.
#include "net/LineTestMessages.h"
#include "net/NetHeader.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{
bool Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void Append(std::vector<uint8_t>& stream, int16_t id, uint32_t length, uint8_t fill)
{
    std::vector<uint8_t> payload(length, fill);
    std::vector<uint8_t> frame;
    BuildNetFrame(frame, id, 1, payload.data(), length);
    stream.insert(stream.end(), frame.begin(), frame.end());
}

// A reassembly seed: two control bytes (run pattern, limit), then frames.
std::vector<uint8_t> Stream(uint8_t pattern, uint8_t limit)
{
    return {pattern, limit};
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 1;
    }
    const std::filesystem::path root(argv[1]);
    const std::filesystem::path reassembly = root / "net_reassembly";
    const std::filesystem::path datagrams = root / "line_test_datagram";
    std::filesystem::create_directories(reassembly);
    std::filesystem::create_directories(datagrams);
    bool ok = true;

    std::vector<uint8_t> messages = Stream(7, 1);
    Append(messages, 10, 4, 0x11);
    Append(messages, kNetKeepAliveRequest, 0, 0);
    Append(messages, kNetKeepAliveAnswer, 0, 0);
    Append(messages, 3, 300, 0x33);
    ok &= Write(reassembly / "messages", messages);

    std::vector<uint8_t> split = Stream(1, 1);
    Append(split, 1, 20, 0x01);
    split.resize(split.size() - 25);
    ok &= Write(reassembly / "split_header", split);

    std::vector<uint8_t> oversized = Stream(200, 0);
    Append(oversized, 2, 100, 0x22);
    ok &= Write(reassembly / "over_small_limit", oversized);

    std::vector<uint8_t> huge = Stream(3, 1);
    tag_KVRNETHEADER header;
    header.id = 1;
    header.sub = 1;
    header.length = 0xFFFFFFFFu;
    huge.resize(huge.size() + 8);
    WriteNetHeader(huge.data() + 2, header);
    ok &= Write(reassembly / "four_gigabytes", huge);

    std::vector<uint8_t> request(4);
    WriteLineTestRequest(request.data(), 100, 1000);
    ok &= Write(datagrams / "request", request);
    std::vector<uint8_t> block(1000);
    FillLineTestBlock(block.data(), 1000, 42, kLineTestFromTester);
    ok &= Write(datagrams / "block", block);
    std::vector<uint8_t> bare(2);
    FillLineTestBlock(bare.data(), 2, 7, kLineTestFromService);
    ok &= Write(datagrams / "two_bytes", bare);
    return ok ? 0 : 1;
}
