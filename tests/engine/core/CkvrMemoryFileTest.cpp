#include "engine/core/CkvrMemoryFile.h"

#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

TEST(CkvrMemoryFile, ReadCountsWholeElements)
{
    const char data[] = "0123456789";
    CkvrMemoryFile file(data, 10);
    char out[16] = {};
    EXPECT_EQ(file.Read(out, 3, 4), 3u);
    EXPECT_EQ(std::string(out, 10), "0123456789");
    EXPECT_EQ(file.GetPosition(), 10);
    EXPECT_EQ(file.Read(out, 3, 4), 0u);

    file.Seek(2, SEEK_SET);
    EXPECT_EQ(file.Read(out, 2, 4), 4u);
    EXPECT_EQ(file.GetPosition(), 10);
    EXPECT_EQ(file.Read(nullptr, 1, 1), CkvrMemoryFile::kError);
    file.Seek(0, SEEK_SET);
    EXPECT_EQ(file.Read(out, 0, 4), 0u);
    EXPECT_EQ(file.Read(out, SIZE_MAX, SIZE_MAX), 0u);
    EXPECT_EQ(file.GetPosition(), 10);
}

TEST(CkvrMemoryFile, SeekClampsToTheData)
{
    CkvrMemoryFile file("0123456789", 10);
    EXPECT_EQ(file.Seek(-5, SEEK_SET), 0);
    EXPECT_EQ(file.GetPosition(), 0);
    EXPECT_EQ(file.Seek(5, SEEK_END), 0);
    EXPECT_EQ(file.GetPosition(), 10);
    file.Seek(-3, SEEK_CUR);
    EXPECT_EQ(file.Tell(), 7);
    file.Seek(INT64_MAX, SEEK_CUR);
    EXPECT_EQ(file.Tell(), 10);
    file.Seek(INT64_MIN, SEEK_END);
    EXPECT_EQ(file.Tell(), 0);
    file.Seek(4, 7);
    EXPECT_EQ(file.Tell(), 0);
}

TEST(CkvrMemoryFile, WriteNeverGrowsTheFile)
{
    CkvrMemoryFile file("..........", 10);
    file.Seek(6, SEEK_SET);
    EXPECT_EQ(file.Write("abcdef", 2, 3), 2u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.GetData()), 10), "......abcd");
    EXPECT_EQ(file.GetPosition(), 10);
    EXPECT_EQ(file.Write("x", 1, 1), 0u);
    EXPECT_EQ(file.Write(nullptr, 1, 1), CkvrMemoryFile::kError);
    EXPECT_EQ(file.GetSize(), 10);
}

TEST(CkvrMemoryFile, CopiesOwnTheirData)
{
    CkvrMemoryFile file("abc", 3);
    CkvrMemoryFile copy(file);
    file.Close();
    EXPECT_EQ(file.GetSize(), 0);
    EXPECT_EQ(file.GetData(), nullptr);
    ASSERT_EQ(copy.GetSize(), 3);
    EXPECT_EQ(std::memcmp(copy.GetData(), "abc", 3), 0);
    CkvrMemoryFile assigned;
    assigned = copy;
    // Assigned to itself (through a second name), it keeps its bytes.
    const CkvrMemoryFile& same = assigned;
    assigned = same;
    EXPECT_EQ(std::memcmp(assigned.GetData(), "abc", 3), 0);
    EXPECT_EQ(CkvrMemoryFile(nullptr, 5).GetSize(), 0);
}

TEST(CkvrMemoryFile, FilesInAndOut)
{
    TempFolder folder;
    TempFolder::Write("Sound/Voice.ogg", "OggS-data");
    std::unique_ptr<CkvrMemoryFile> file(CkvrMemoryFile::Open("sound\\voice.OGG"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetSize(), 9);
    EXPECT_EQ(file->SaveToFile("copy.ogg"), 1);
    EXPECT_EQ(TempFolder::Read("copy.ogg"), "OggS-data");
    EXPECT_EQ(file->SaveToFile("NoFolder\\copy.ogg"), 0);
    EXPECT_EQ(CkvrMemoryFile::Open("missing.ogg"), nullptr);

    FILE* stream = std::fopen("copy.ogg", "rb");
    ASSERT_NE(stream, nullptr);
    std::fgetc(stream);
    std::unique_ptr<CkvrMemoryFile> fromStream(CkvrMemoryFile::FromOpenFile(stream));
    std::fclose(stream);
    ASSERT_NE(fromStream, nullptr);
    EXPECT_EQ(fromStream->GetSize(), 9);
    EXPECT_EQ(CkvrMemoryFile::FromOpenFile(nullptr), nullptr);

    std::unique_ptr<CkvrMemoryFile> created(CkvrMemoryFile::Create("xy", 2));
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(CkvrMemoryFile::Create(nullptr, 2), nullptr);
}

TEST(CkvrMemoryFile, DecoderCallbacks)
{
    CkvrMemoryFile file("0123456789", 10);
    char out[4];
    EXPECT_EQ(CkvrMemoryFile::ReadProc(out, 1, 4, &file), 4u);
    EXPECT_EQ(CkvrMemoryFile::TellProc(&file), 4);
    EXPECT_EQ(CkvrMemoryFile::SeekProc(&file, -2, SEEK_END), 0);
    EXPECT_EQ(CkvrMemoryFile::TellProc(&file), 8);
    EXPECT_EQ(CkvrMemoryFile::CloseProc(&file), 0);
    EXPECT_EQ(file.GetSize(), 0);
    EXPECT_EQ(CkvrMemoryFile::ReadProc(out, 1, 4, nullptr), CkvrMemoryFile::kError);
}
