#include "engine/core/CPathResolver.h"

#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

TEST(CPathResolver, BackslashesBecomeSlashesAfterTheShiftJisConversion)
{
    EXPECT_EQ(CPathResolver::ToNativeName("Data\\Texture.gpk"), "Data/Texture.gpk");
    // The trail byte of this character is the backslash byte; it must stay part
    // of the character.
    EXPECT_EQ(CPathResolver::ToNativeName("\x95\x5c\\a.txt"), "\xe8\xa1\xa8/a.txt");
    EXPECT_EQ(CPathResolver::ToNativeName(nullptr), "");
}

TEST(CPathResolver, EachComponentIsFoundInAnyLetterCase)
{
    TempFolder folder;
    TempFolder::Write("Data/Sub/Texture.gpk", "x");
    EXPECT_EQ(CPathResolver::Resolve("Data\\Sub\\Texture.gpk"), "Data/Sub/Texture.gpk");
    EXPECT_EQ(CPathResolver::Resolve("data\\SUB\\texture.GPK"), "Data/Sub/Texture.gpk");
    EXPECT_EQ(CPathResolver::Resolve("DATA/./sub/TEXTURE.gpk"), "Data/./Sub/Texture.gpk");
    const std::string absolute = (folder.Path() / "DATA/sub/texture.gpk").string();
    EXPECT_EQ(CPathResolver::Resolve(absolute.c_str()), (folder.Path() / "Data/Sub/Texture.gpk").string());
}

TEST(CPathResolver, MissingComponentsAreKeptAsWritten)
{
    TempFolder folder;
    TempFolder::Write("Data/a.txt", "x");
    EXPECT_EQ(CPathResolver::Resolve("DATA\\New\\File.bin"), "Data/New/File.bin");
    EXPECT_EQ(CPathResolver::Resolve("data\\"), "Data/");
    EXPECT_EQ(CPathResolver::Resolve(""), "");
}

TEST(CPathResolver, OpensAndCreatesShiftJisNamesAsUtf8)
{
    TempFolder folder;
    FILE* file = CPathResolver::Open("\x93\xfa\x96\x7b.txt", "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("abc", file);
    std::fclose(file);
    EXPECT_EQ(TempFolder::Read("\xe6\x97\xa5\xe6\x9c\xac.txt"), "abc");

    file = CPathResolver::Open("\x93\xfa\x96\x7b.TXT", "rb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(CPathResolver::Open("missing.txt", "rb"), nullptr);
    EXPECT_EQ(CPathResolver::Open(nullptr, "rb"), nullptr);
}

TEST(CPathResolver, CreateFoldersReusesFoldersOfAnotherCase)
{
    TempFolder folder;
    std::filesystem::create_directory("Data");
    EXPECT_EQ(CPathResolver::CreateFolders("data\\Sub\\Deep\\file.txt"), 1);
    EXPECT_TRUE(std::filesystem::is_directory("Data/Sub/Deep"));
    EXPECT_FALSE(std::filesystem::exists("data"));
    EXPECT_EQ(CPathResolver::CreateFolders("file.txt"), 1);

    // A file standing where a folder is needed.
    TempFolder::Write("Plain", "x");
    EXPECT_EQ(CPathResolver::CreateFolders("Plain\\file.txt"), 0);
}

TEST(CPathResolver, InsideTheCurrentFolder)
{
    EXPECT_EQ(CPathResolver::IsInsideCurrentFolder("a.txt"), 1);
    EXPECT_EQ(CPathResolver::IsInsideCurrentFolder("Sub\\b.txt"), 1);
    EXPECT_EQ(CPathResolver::IsInsideCurrentFolder("a..b\\c"), 1);
    EXPECT_EQ(CPathResolver::IsInsideCurrentFolder("..\\..\\x"), 0);
    EXPECT_EQ(CPathResolver::IsInsideCurrentFolder("Sub\\..\\..\\x"), 0);
    EXPECT_EQ(CPathResolver::IsInsideCurrentFolder("Sub/../x"), 0);
    EXPECT_EQ(CPathResolver::IsInsideCurrentFolder("\\etc\\passwd"), 0);
    EXPECT_EQ(CPathResolver::IsInsideCurrentFolder("/etc/passwd"), 0);
    EXPECT_EQ(CPathResolver::IsInsideCurrentFolder("C:\\x.txt"), 0);
    EXPECT_EQ(CPathResolver::IsInsideCurrentFolder(""), 0);
    EXPECT_EQ(CPathResolver::IsInsideCurrentFolder(nullptr), 0);
}
