#include "engine/resource/CResourceListFile.h"
#include "engine/resource/CResourcePackWriter.h"
#include "engine/resource/CSafeFileWriter.h"
#include "engine/resource/ResourceKind.h"
#include "engine/core/CkvrPackFile.h"
#include "tests/engine/resource/ResourceTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace restest;

TEST(ResourceKindTest, ExtensionAnywhereInListedCasesOnly)
{
    EXPECT_TRUE(IsResourceKind("Texture\\a.png", ResourceKind::Image));
    EXPECT_TRUE(IsResourceKind("Texture\\a.PNG", ResourceKind::Image));
    EXPECT_FALSE(IsResourceKind("Texture\\a.Png", ResourceKind::Image));
    // The text may stand anywhere, not only at the end.
    EXPECT_TRUE(IsResourceKind("Effect\\a.fx.efc", ResourceKind::Shader));
    EXPECT_TRUE(IsResourceKind("Effect\\a.fx.efc", ResourceKind::EffectContainer));
    EXPECT_TRUE(IsResourceKind("a.dds.bak", ResourceKind::Image));
    EXPECT_FALSE(IsResourceKind("list.GRC", ResourceKind::List));
    EXPECT_FALSE(IsResourceKind(nullptr, ResourceKind::Pack));
}

TEST(ResourceListFileTest, ReadsIdRecordsAndEnd)
{
    TempFolder folder;
    TempFolder::Write("a.grc", ListBytes({"Data\\Texture.gpk", "Scene\\a.sce"}, 0x12345678));
    CResourceListFile list;
    ASSERT_EQ(list.Open("a.grc"), 1);
    EXPECT_EQ(list.GetId(), 0x12345678u);
    char record[260];
    ASSERT_EQ(list.ReadRecord(record), CResourceListFile::RECORD_NAME);
    EXPECT_STREQ(record, "Data\\Texture.gpk");
    ASSERT_EQ(list.ReadRecord(record), CResourceListFile::RECORD_NAME);
    EXPECT_STREQ(record, "Scene\\a.sce");
    EXPECT_EQ(list.ReadRecord(record), CResourceListFile::RECORD_END);
}

TEST(ResourceListFileTest, MissingEndShortRecordAndUnterminatedRecord)
{
    TempFolder folder;
    // No end record: the file simply ends.
    TempFolder::Write("open.grc", ListBytes({"a.sce"}, kId, false));
    // A last record cut short.
    TempFolder::Write("short.grc", U32(kId) + std::string(100, 'a'));
    // 260 bytes without a NUL: the record still ends inside its bytes.
    TempFolder::Write("full.grc", U32(kId) + std::string(260, 'b') + Record("EOF"));
    // Nothing after the identifier's first bytes.
    TempFolder::Write("tiny.grc", std::string("\x03\x10", 2));

    char record[260];
    CResourceListFile list;
    ASSERT_EQ(list.Open("open.grc"), 1);
    EXPECT_EQ(list.ReadRecord(record), CResourceListFile::RECORD_NAME);
    EXPECT_EQ(list.ReadRecord(record), CResourceListFile::RECORD_MISSING);
    EXPECT_EQ(list.ReadRecord(record), CResourceListFile::RECORD_MISSING);

    ASSERT_EQ(list.Open("short.grc"), 1);
    EXPECT_EQ(list.ReadRecord(record), CResourceListFile::RECORD_MISSING);
    EXPECT_EQ(record[0], '\0');

    ASSERT_EQ(list.Open("full.grc"), 1);
    EXPECT_EQ(list.ReadRecord(record), CResourceListFile::RECORD_NAME);
    EXPECT_EQ(std::strlen(record), 259u);
    EXPECT_EQ(list.ReadRecord(record), CResourceListFile::RECORD_END);

    EXPECT_EQ(list.Open("tiny.grc"), 0);
    EXPECT_EQ(list.Open("absent.grc"), 0);
}

TEST(ResourceListFileTest, WriterPadsRecordsAndRefusesLongNames)
{
    TempFolder folder;
    CSafeFileWriter file;
    ASSERT_EQ(file.Open("out.grc"), 1);
    EXPECT_EQ(CResourceListFile::WriteHeader(file, kId), 1);
    EXPECT_EQ(CResourceListFile::WriteRecord(file, "Data\\Sound.gpk"), 1);
    EXPECT_EQ(CResourceListFile::WriteRecord(file, std::string(259, 'x').c_str()), 1);
    EXPECT_EQ(CResourceListFile::WriteRecord(file, std::string(260, 'x').c_str()), 0);
    EXPECT_EQ(CResourceListFile::WriteRecord(file, nullptr), 0);
    EXPECT_EQ(CResourceListFile::WriteEnd(file), 1);
    ASSERT_EQ(file.Commit(), 1);
    EXPECT_EQ(TempFolder::Read("out.grc"), ListBytes({"Data\\Sound.gpk", std::string(259, 'x')}));
}

TEST(SafeFileWriterTest, OldFileStaysUntilCommit)
{
    TempFolder folder;
    TempFolder::Write("Data/a.gpk", "old");
    {
        CSafeFileWriter file;
        ASSERT_EQ(file.Open("DATA\\A.gpk"), 1);
        EXPECT_EQ(file.GetTargetPath(), "Data/a.gpk");
        ASSERT_EQ(file.Write("new", 3), 1);
        ASSERT_EQ(file.Close(), 1);
        EXPECT_EQ(TempFolder::Read("Data/a.gpk"), "old");
        // Destroyed without Commit: the temporary file goes, the old stays.
    }
    EXPECT_EQ(TempFolder::Read("Data/a.gpk"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("Data"), std::filesystem::directory_iterator()), 1);

    CSafeFileWriter file;
    ASSERT_EQ(file.Open("Data\\a.gpk"), 1);
    ASSERT_EQ(file.Write("new", 3), 1);
    ASSERT_EQ(file.Commit(), 1);
    EXPECT_EQ(TempFolder::Read("Data/a.gpk"), "new");
    EXPECT_EQ(std::filesystem::status("Data/a.gpk").permissions() & std::filesystem::perms::others_read,
              std::filesystem::perms::others_read);
}

TEST(SafeFileWriterTest, FailedWriteIsNeverCommitted)
{
    TempFolder folder;
    TempFolder::Write("a.bin", "old");
    CSafeFileWriter::SetFailAfterWrites(1);
    CSafeFileWriter file;
    ASSERT_EQ(file.Open("a.bin"), 1);
    EXPECT_EQ(file.Write("1", 1), 1);
    EXPECT_EQ(file.Write("2", 1), 0);
    CSafeFileWriter::SetFailAfterWrites(-1);
    // Later writes do not heal a file with a hole in it.
    EXPECT_EQ(file.Write("3", 1), 0);
    EXPECT_EQ(file.Commit(), 0);
    EXPECT_EQ(TempFolder::Read("a.bin"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 1);
}

TEST(ResourcePackWriterTest, WritesPackTheReaderOpens)
{
    TempFolder folder;
    CResourcePackWriter writer;
    EXPECT_EQ(writer.Add("Texture\\a.png", {1, 2, 3}), 1);
    EXPECT_EQ(writer.Add("Texture\\empty.png", {}), 1);
    EXPECT_EQ(writer.Add("Texture\\b.png", {9}), 1);
    EXPECT_EQ(writer.Add("Texture\\a.png", {4}), 0);
    EXPECT_EQ(writer.Add(std::string(260, 'n').c_str(), {4}), 0);
    EXPECT_EQ(writer.Add("", {4}), 0);
    CSafeFileWriter file;
    ASSERT_EQ(file.Open("p.gpk"), 1);
    ASSERT_EQ(writer.Write(file), 1);
    ASSERT_EQ(file.Commit(), 1);

    CkvrPackFile pack;
    ASSERT_EQ(pack.Open("p.gpk"), 1);
    ASSERT_EQ(pack.GetCount(), 3u);
    EXPECT_STREQ(pack.GetEntry(1)->name, "Texture\\empty.png");
    EXPECT_EQ(pack.GetEntry(0)->offset, 4u + 3u * 268u);
    uint8_t bytes[3] = {};
    ASSERT_EQ(pack.ReadFileTo("Texture\\a.png", bytes), 1);
    EXPECT_EQ(bytes[2], 3);
    ASSERT_EQ(pack.ReadFileTo("Texture\\b.png", bytes), 1);
    EXPECT_EQ(bytes[0], 9);
}
