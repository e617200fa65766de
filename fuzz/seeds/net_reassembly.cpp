// Writes the seed corpus of fuzz_net_reassembly into <folder> with the
// session layer's own frame writer: each seed is two control bytes (the
// run pattern, the payload limit) and then a framed stream.
#include "net/NetHeader.h"

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

void Append(std::vector<uint8_t>& stream, int16_t id, uint32_t length, uint8_t fill)
{
    std::vector<uint8_t> payload(length, fill);
    std::vector<uint8_t> frame;
    BuildNetFrame(frame, id, 1, payload.data(), length);
    stream.insert(stream.end(), frame.begin(), frame.end());
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: seeds_net_reassembly <folder>\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    bool ok = true;

    std::vector<uint8_t> messages = {7, 1};
    Append(messages, 10, 4, 0x11);
    Append(messages, kNetKeepAliveRequest, 0, 0);
    Append(messages, kNetKeepAliveAnswer, 0, 0);
    Append(messages, 3, 300, 0x33);
    ok &= Write(folder + "messages", messages);

    std::vector<uint8_t> split = {1, 1};
    Append(split, 1, 20, 0x01);
    Append(split, 2, 20, 0x02);
    split.resize(split.size() - 25);
    ok &= Write(folder + "split_header", split);

    std::vector<uint8_t> overSmallLimit = {200, 0};
    Append(overSmallLimit, 2, 100, 0x22);
    ok &= Write(folder + "over_small_limit", overSmallLimit);

    std::vector<uint8_t> huge = {3, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    tag_KVRNETHEADER header;
    header.id = 1;
    header.sub = 1;
    header.length = 0xFFFFFFFFu;
    WriteNetHeader(huge.data() + 2, header);
    ok &= Write(folder + "four_gigabytes", huge);
    return ok ? 0 : 1;
}
