#include "engine/core/CkvrPackFile.h"

#include "engine/core/AlignedMemory.h"
#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace
{
void PutU32(std::string& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

uint32_t GetU32(const std::string& bytes, size_t at)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
    return value;
}

// A pack written by hand: the given names, sizes and offsets, then data.
std::string HandPack(uint32_t count, const std::vector<tag_KVRPACKENTRY>& entries, const std::string& data)
{
    std::string bytes(4 + 268 * entries.size(), '\0');
    PutU32(bytes, 0, count);
    for (size_t i = 0; i < entries.size(); ++i)
    {
        std::memcpy(&bytes[4 + 268 * i], entries[i].name, 260);
        PutU32(bytes, 264 + 268 * i, entries[i].size);
        PutU32(bytes, 268 + 268 * i, entries[i].offset);
    }
    return bytes + data;
}

tag_KVRPACKENTRY Entry(const char* name, uint32_t size, uint32_t offset)
{
    tag_KVRPACKENTRY entry = {};
    std::strncpy(entry.name, name, sizeof(entry.name) - 1);
    entry.size = size;
    entry.offset = offset;
    return entry;
}

std::string Load(const CkvrPackFile& pack, const char* name)
{
    const tag_KVRPACKENTRY* entry = pack.FindEntry(name);
    uint8_t* data = pack.LoadFile(name);
    if (entry == nullptr || data == nullptr)
        return "<null>";
    std::string bytes(reinterpret_cast<char*>(data), entry->size);
    AlignedFree(data);
    return bytes;
}

class PackTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TempFolder::Write("a.txt", "abc");
        TempFolder::Write("Sub/b.txt", "hello");
    }

    int Build(const char* packPath = "Test.gpk")
    {
        const char* paths[] = {"a.txt", "Sub\\b.txt"};
        return CkvrPackFile::Create(paths, 2, packPath);
    }

    TempFolder m_folder;
};
}

TEST_F(PackTest, LayoutOfTwoFiles)
{
    ASSERT_EQ(Build(), 1);
    const std::string bytes = TempFolder::Read("Test.gpk");
    ASSERT_EQ(bytes.size(), 548u);
    EXPECT_EQ(GetU32(bytes, 0), 2u);
    EXPECT_EQ(std::string(bytes.c_str() + 4), "a.txt");
    EXPECT_EQ(bytes.find_first_not_of('\0', 4 + 5), 264u);
    EXPECT_EQ(GetU32(bytes, 264), 3u);
    EXPECT_EQ(GetU32(bytes, 268), 540u);
    EXPECT_EQ(std::string(bytes.c_str() + 272), "Sub\\b.txt");
    EXPECT_EQ(GetU32(bytes, 532), 5u);
    EXPECT_EQ(GetU32(bytes, 536), 543u);
    EXPECT_EQ(bytes.substr(540), "abchello");

    CkvrPackFile pack;
    ASSERT_EQ(pack.Open("test.GPK"), 1);
    EXPECT_STREQ(pack.GetName(), "test.GPK");
    EXPECT_STREQ(pack.GetClassName(), "CkvrPackFile");
    ASSERT_EQ(pack.GetCount(), 2u);
    EXPECT_EQ(pack.GetEntry(1)->offset, 543u);
    EXPECT_EQ(pack.GetEntry(2), nullptr);
}

TEST_F(PackTest, FindsStoredNamesExactly)
{
    ASSERT_EQ(Build(), 1);
    CkvrPackFile pack;
    ASSERT_EQ(pack.Open("Test.gpk"), 1);
    EXPECT_EQ(pack.FindEntry("Sub\\b.txt"), pack.GetEntry(1));
    EXPECT_EQ(pack.FindEntry("sub\\b.txt"), nullptr);
    EXPECT_EQ(pack.FindEntry("b.txt"), nullptr);
    EXPECT_EQ(pack.FindEntry("Sub/b.txt"), nullptr);
    EXPECT_EQ(pack.FindEntry(nullptr), nullptr);
    EXPECT_EQ(Load(pack, "a.txt"), "abc");
    EXPECT_EQ(Load(pack, "Sub\\b.txt"), "hello");
    EXPECT_EQ(pack.LoadFile("missing"), nullptr);

    char buffer[8] = {};
    EXPECT_EQ(pack.ReadFileTo("Sub\\b.txt", buffer), 1);
    EXPECT_STREQ(buffer, "hello");
    EXPECT_EQ(pack.ReadFileTo("Sub\\b.txt", nullptr), 0);
    EXPECT_EQ(pack.ReadFileTo("missing", buffer), 0);
}

TEST_F(PackTest, TheFirstOfTwoEqualNamesWins)
{
    const std::string pack = HandPack(2, {Entry("x", 1, 540), Entry("x", 1, 541)}, "12");
    TempFolder::Write("dup.gpk", pack);
    CkvrPackFile reader;
    ASSERT_EQ(reader.Open("dup.gpk"), 1);
    EXPECT_EQ(Load(reader, "x"), "1");
}

TEST_F(PackTest, ExtractsBackToTheSameBytes)
{
    ASSERT_EQ(Build("Data.gpk"), 1);
    std::filesystem::create_directory("out");
    std::filesystem::rename("Data.gpk", "out/Data.gpk");
    std::filesystem::current_path("out");

    CkvrPackFile pack;
    EXPECT_EQ(pack.ExtractAll("Data.gpk"), 1);
    EXPECT_EQ(TempFolder::Read("a.txt"), "abc");
    EXPECT_EQ(TempFolder::Read("Sub/b.txt"), "hello");

    std::filesystem::remove_all("Sub");
    EXPECT_EQ(pack.ExtractFile("Sub\\b.txt"), 1);
    EXPECT_EQ(TempFolder::Read("Sub/b.txt"), "hello");
    EXPECT_EQ(pack.ExtractFile("missing"), 0);
}

TEST_F(PackTest, ChunkBoundariesAndEmptyEntries)
{
    std::string kilo(1024, '\0');
    for (size_t i = 0; i < kilo.size(); ++i)
        kilo[i] = static_cast<char>(i * 7);
    TempFolder::Write("kilo.bin", kilo);
    TempFolder::Write("more.bin", kilo + "x");
    TempFolder::Write("empty.bin", "");
    const char* paths[] = {"kilo.bin", "empty.bin", "more.bin"};
    ASSERT_EQ(CkvrPackFile::Create(paths, 3, "k.gpk"), 1);
    EXPECT_EQ(std::filesystem::file_size("k.gpk"), 4u + 3 * 268 + 1024 + 1025);

    CkvrPackFile pack;
    ASSERT_EQ(pack.Open("k.gpk"), 1);
    EXPECT_EQ(Load(pack, "kilo.bin"), kilo);
    EXPECT_EQ(Load(pack, "more.bin"), kilo + "x");
    uint8_t* empty = pack.LoadFile("empty.bin");
    EXPECT_NE(empty, nullptr);
    AlignedFree(empty);
}

TEST_F(PackTest, CreateFailsCleanly)
{
    const char* missing[] = {"a.txt", "nothing.txt"};
    EXPECT_EQ(CkvrPackFile::Create(missing, 2, "m.gpk"), 0);
    const std::string longName(260, 'n');
    const char* tooLong[] = {longName.c_str()};
    EXPECT_EQ(CkvrPackFile::Create(tooLong, 1, "l.gpk"), 0);
    EXPECT_EQ(CkvrPackFile::Create(nullptr, 1, "n.gpk"), 0);
    EXPECT_EQ(CkvrPackFile::Create(nullptr, 0, "NoFolder\\n.gpk"), 0);
    ASSERT_EQ(CkvrPackFile::Create(nullptr, 0, "empty.gpk"), 1);
    CkvrPackFile pack;
    EXPECT_EQ(pack.Open("empty.gpk"), 1);
    EXPECT_EQ(pack.GetCount(), 0u);
    EXPECT_EQ(pack.FindEntry("a.txt"), nullptr);
}

TEST_F(PackTest, DamagedPacksFailToOpen)
{
    CkvrPackFile pack;
    EXPECT_EQ(pack.Open("missing.gpk"), 0);

    TempFolder::Write("short.gpk", "\x01\x00");
    EXPECT_EQ(pack.Open("short.gpk"), 0);

    // A count far beyond what the file holds must not be trusted, let alone
    // allocated.
    TempFolder::Write("count.gpk", HandPack(0x40000000, {Entry("a", 1, 272)}, "x"));
    EXPECT_EQ(pack.Open("count.gpk"), 0);
    TempFolder::Write("count2.gpk", HandPack(2, {Entry("a", 1, 272)}, "x"));
    EXPECT_EQ(pack.Open("count2.gpk"), 0);

    TempFolder::Write("offset.gpk", HandPack(1, {Entry("a", 1, 273)}, "x"));
    EXPECT_EQ(pack.Open("offset.gpk"), 0);
    TempFolder::Write("size.gpk", HandPack(1, {Entry("a", 0xFFFFFFFF, 272)}, "x"));
    EXPECT_EQ(pack.Open("size.gpk"), 0);
    TempFolder::Write("wrap.gpk", HandPack(1, {Entry("a", 0x10, 0xFFFFFFF8)}, "x"));
    EXPECT_EQ(pack.Open("wrap.gpk"), 0);
    EXPECT_EQ(pack.GetCount(), 0u);
    EXPECT_EQ(pack.GetName(), nullptr);

    // Still usable afterwards.
    TempFolder::Write("good.gpk", HandPack(1, {Entry("a", 1, 272)}, "x"));
    ASSERT_EQ(pack.Open("good.gpk"), 1);
    EXPECT_EQ(Load(pack, "a"), "x");
}

TEST_F(PackTest, NamesWithoutNulAreCut)
{
    tag_KVRPACKENTRY entry = Entry("", 1, 272);
    std::memset(entry.name, 'q', sizeof(entry.name));
    TempFolder::Write("nonul.gpk", HandPack(1, {entry}, "x"));
    CkvrPackFile pack;
    ASSERT_EQ(pack.Open("nonul.gpk"), 1);
    EXPECT_EQ(std::string(pack.GetEntry(0)->name), std::string(259, 'q'));
    EXPECT_EQ(Load(pack, std::string(259, 'q').c_str()), "x");
}

TEST_F(PackTest, EntriesOutsideTheFolderAreNotExtracted)
{
    std::filesystem::create_directories("deep/target");
    TempFolder::Write("deep/target/evil.gpk",
                      HandPack(3, {Entry("ok.txt", 1, 808), Entry("..\\..\\x", 1, 809), Entry("/tmp/kvr-abs", 1, 810)}, "abc"));
    std::filesystem::current_path("deep/target");

    CkvrPackFile pack;
    EXPECT_EQ(pack.ExtractAll("evil.gpk"), 0);
    EXPECT_FALSE(std::filesystem::exists("ok.txt"));
    EXPECT_FALSE(std::filesystem::exists("../../x"));
    EXPECT_EQ(pack.ExtractFile("..\\..\\x"), 0);
    EXPECT_EQ(pack.ExtractFile("/tmp/kvr-abs"), 0);
    EXPECT_FALSE(std::filesystem::exists("../../x"));
    EXPECT_FALSE(std::filesystem::exists("/tmp/kvr-abs"));
    EXPECT_EQ(pack.ExtractFile("ok.txt"), 1);
    EXPECT_EQ(TempFolder::Read("ok.txt"), "a");
}

TEST_F(PackTest, ExtractAllChecksTheFileItReads)
{
    ASSERT_EQ(Build(), 1);
    CkvrPackFile pack;
    ASSERT_EQ(pack.Open("Test.gpk"), 1);
    TempFolder::Write("tiny.gpk", "\x00\x00\x00\x00");
    std::filesystem::create_directory("out");
    std::filesystem::current_path("out");
    EXPECT_EQ(pack.ExtractAll("../tiny.gpk"), 0);
}
