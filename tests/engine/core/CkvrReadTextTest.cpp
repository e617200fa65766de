#include "engine/core/CkvrReadText.h"

#include "engine/core/AlignedMemory.h"
#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

namespace
{
// "日本" in Shift-JIS; the trail byte of "表" is the backslash byte and that of
// "ソ" is 0x83 0x5C as well.
const std::string kWord = "\x93\xfa\x96\x7b";
const std::string kTable = "\x95\x5c";
const char* const kSeparators = " \t\r\n,;";

struct Reader
{
    explicit Reader(const std::string& text)
    {
        reader.SetSeparators(kSeparators);
        // Memory texts carry their own NUL.
        reader.OpenMemory(text.c_str(), static_cast<uint32_t>(text.size() + 1));
    }

    std::string Token()
    {
        char token[64];
        reader.ReadToken(token, sizeof(token));
        return token;
    }

    std::string String()
    {
        char* text = reader.ReadString();
        std::string result = text != nullptr ? text : "<null>";
        AlignedFree(text);
        return result;
    }

    CkvrReadText reader;
};
}

TEST(CkvrReadText, ReadsNumbersStringsAndTokensAroundComments)
{
    Reader r("  12, 3.5;// comment \"not this\"\n\"" + kWord + "\" }");
    EXPECT_EQ(r.reader.ReadLong(), 12);
    EXPECT_FLOAT_EQ(r.reader.ReadFloat(), 3.5f);
    EXPECT_EQ(r.String(), kWord);
    EXPECT_EQ(r.Token(), "}");
    char token[8] = "x";
    EXPECT_EQ(r.reader.ReadToken(token, sizeof(token)), CkvrReadText::kEndOfData);
    EXPECT_STREQ(token, "");
    EXPECT_EQ(r.reader.ReadLong(), 0);
    EXPECT_EQ(r.String(), "<null>");
}

TEST(CkvrReadText, ShiftJisTextWithCrLfLinesReadsLikeLfText)
{
    TempFolder folder;
    const std::string lines[] = {"Frame " + kWord + " {", "  1.5, -2;  // " + kTable + "\\", "  \"" + kTable + "\"", "}"};
    std::string crlf;
    std::string lf;
    for (const std::string& line : lines)
    {
        crlf += line + "\r\n";
        lf += line + "\n";
    }
    TempFolder::Write("crlf.x", crlf);
    TempFolder::Write("lf.x", lf);

    for (const char* name : {"crlf.x", "LF.X"})
    {
        CkvrReadText reader;
        ASSERT_EQ(reader.Open(name), 1) << name;
        EXPECT_EQ(reader.GetSize(), lf.size() + 1);
        EXPECT_EQ(reader.GetBuffer()[lf.size()], 0);
        reader.SetSeparators(kSeparators);
        char token[32];
        const std::string expected[] = {"Frame", kWord, "{", "1.5", "-2", "\"" + kTable + "\"", "}"};
        for (const std::string& want : expected)
        {
            ASSERT_EQ(reader.ReadToken(token, sizeof(token)), 0);
            EXPECT_EQ(token, want) << name;
        }
        EXPECT_EQ(reader.ReadToken(token, sizeof(token)), CkvrReadText::kEndOfData);
    }
}

TEST(CkvrReadText, DoubleByteCharactersStayWhole)
{
    // A separator and a quote as trail bytes (the second pair is not valid
    // Shift-JIS, but a damaged file may hold it).
    Reader r("a" + kTable + "b \"x\x81\"y\" " + kTable);
    r.reader.SetSeparators(" \\");
    EXPECT_EQ(r.Token(), "a" + kTable + "b");
    EXPECT_EQ(r.String(), "x\x81\"y");
    EXPECT_EQ(r.Token(), kTable);

    // An LF as trail byte inside a comment does not end the comment.
    Reader comment("// \x81\n still comment\nnext");
    EXPECT_EQ(comment.Token(), "next");

    // A lead byte cut off by the end of the text is a byte of its own.
    Reader cut("ab\x81");
    EXPECT_EQ(cut.Token(), "ab\x81");
}

TEST(CkvrReadText, EmptyQuotedStringIsNullAndConsumed)
{
    Reader r("\"\" next");
    EXPECT_EQ(r.String(), "<null>");
    EXPECT_EQ(r.reader.GetCursor(), 2u);
    EXPECT_EQ(r.Token(), "next");

    Reader open("\"abc");
    EXPECT_EQ(open.String(), "abc");
}

TEST(CkvrReadText, PeekLeavesTheCursor)
{
    Reader r("one two");
    char token[8];
    EXPECT_EQ(r.reader.PeekToken(token, sizeof(token)), 0);
    EXPECT_STREQ(token, "one");
    EXPECT_EQ(r.reader.PeekToken(token, sizeof(token)), 0);
    EXPECT_STREQ(token, "one");
    EXPECT_EQ(r.Token(), "one");
    EXPECT_EQ(r.Token(), "two");
}

TEST(CkvrReadText, SkipBlockLeavesTheCursorAfterTheOuterBrace)
{
    const std::string text = "head { a { b } c } x";
    Reader r(text);
    EXPECT_EQ(r.reader.SkipBlock(), 0);
    EXPECT_EQ(r.reader.GetCursor(), text.find("} x") + 1);
    EXPECT_EQ(r.Token(), "x");
    EXPECT_EQ(r.reader.SkipBlock(), CkvrReadText::kEndOfData);

    // Unclosed block: the end of the data.
    Reader open("{ { }");
    EXPECT_EQ(open.reader.SkipBlock(), 0);
    EXPECT_EQ(open.Token(), "");
}

TEST(CkvrReadText, SkipToAndPastStopOnSingleBytesOnly)
{
    Reader r(kTable + "// \\\n x\\y");
    EXPECT_EQ(r.reader.SkipTo("\\"), 0);
    EXPECT_EQ(r.reader.GetCursor(), r.reader.GetSize() - 3);
    EXPECT_EQ(r.reader.SkipPast("\\"), 0);
    EXPECT_EQ(r.Token(), "y");
    EXPECT_EQ(r.reader.SkipTo("\\"), CkvrReadText::kEndOfData);
}

TEST(CkvrReadText, TokensAreCutToTheCallersBufferOnCharacterBoundaries)
{
    Reader r("abcdefgh next a" + kWord + " end");
    char small[4];
    EXPECT_EQ(r.reader.ReadToken(small, sizeof(small)), 0);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(r.Token(), "next");
    EXPECT_EQ(r.reader.ReadToken(small, 3), 0);
    // "a" and the first double-byte character would need 3 bytes and a NUL.
    EXPECT_STREQ(small, "a");
    EXPECT_EQ(r.reader.ReadToken(nullptr, 0), 0);
    EXPECT_EQ(r.reader.ReadToken(small, 0), CkvrReadText::kEndOfData);

    std::string longText(2000, 'z');
    Reader big("\"" + longText + "\" after");
    EXPECT_EQ(big.String(), std::string(CkvrReadText::kMaxString - 1, 'z'));
    EXPECT_EQ(big.Token(), "after");
    EXPECT_EQ(Reader(longText).reader.ReadFloat(), 0.0f);
}

TEST(CkvrReadText, ReadUntilCopiesUpToTheTerminator)
{
    Reader r("  ab" + kWord + "END rest");
    char out[32];
    EXPECT_EQ(r.reader.ReadUntil(out, sizeof(out), " ", "END"), 0);
    EXPECT_EQ(std::string(out), "ab" + kWord);
    EXPECT_EQ(r.Token(), "rest");
    EXPECT_EQ(r.reader.ReadUntil(out, sizeof(out), " ", "END"), CkvrReadText::kEndOfData);
    EXPECT_STREQ(out, "");
}

TEST(CkvrReadText, NumbersFollowAtoiAndAtof)
{
    Reader r("-7 +5 abc 99999999999 300 70000 1e3 .25 -0.5x inf 1e999 1e-999");
    EXPECT_EQ(r.reader.ReadLong(), -7);
    EXPECT_EQ(r.reader.ReadInt(), 5);
    EXPECT_EQ(r.reader.ReadLong(), 0);
    EXPECT_EQ(r.reader.ReadLong(), INT32_MAX);
    EXPECT_EQ(r.reader.ReadChar(), 44);
    EXPECT_EQ(r.reader.ReadShort(), 4464);
    EXPECT_FLOAT_EQ(r.reader.ReadFloat(), 1000.0f);
    EXPECT_FLOAT_EQ(r.reader.ReadFloat(), 0.25f);
    EXPECT_FLOAT_EQ(r.reader.ReadFloat(), -0.5f);
    EXPECT_EQ(r.reader.ReadFloat(), 0.0f);
    EXPECT_TRUE(std::isinf(r.reader.ReadFloat()));
    EXPECT_EQ(r.reader.ReadFloat(), 0.0f);

    float xy[2] = {};
    Reader pair("1 2");
    pair.reader.ReadVector2(xy);
    EXPECT_EQ(xy[0], 1.0f);
    EXPECT_EQ(xy[1], 2.0f);
}

TEST(CkvrReadText, NumbersIgnoreTheProcessLocale)
{
    // A German locale writes 3,5; a text file still holds 3.5. The locale is
    // built into a private folder when the system has none.
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    TempFolder folder;
    if (german == nullptr)
    {
        const std::string command = "localedef -i de_DE -f UTF-8 '" + (folder.Path() / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
        const int built = std::system(command.c_str());
        (void)built;
        setenv("LOCPATH", folder.Path().c_str(), 1);
        german = std::setlocale(LC_ALL, "de_DE.UTF-8");
        unsetenv("LOCPATH");
    }
    if (german == nullptr)
        GTEST_SKIP() << "no German locale can be made here";
    ASSERT_EQ(std::atof("3,5"), 3.5);

    Reader r("3.5 -1.25e1");
    EXPECT_EQ(r.reader.ReadFloat(), 3.5f);
    EXPECT_EQ(r.reader.ReadFloat(), -12.5f);
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(CkvrReadText, OpenAndCloseManageTheBuffer)
{
    TempFolder folder;
    CkvrReadText reader;
    EXPECT_EQ(reader.Open("missing.txt"), 0);
    EXPECT_EQ(reader.OpenMemory(nullptr, 4), 0);
    EXPECT_EQ(reader.OpenMemory("a", 0), 0);

    TempFolder::Write("empty.txt", "");
    ASSERT_EQ(reader.Open("empty.txt"), 1);
    EXPECT_EQ(reader.GetSize(), 1u);
    EXPECT_EQ(reader.ReadLong(), 0);

    reader.SetSeparators("abcdefghijklmnopqrstuvwxyz");
    EXPECT_STREQ(reader.GetSeparators(), "abcdefghijklmno");
    reader.Close();
    EXPECT_STREQ(reader.GetSeparators(), "");
    EXPECT_EQ(reader.GetBuffer(), nullptr);
    EXPECT_EQ(reader.GetSize(), 0u);

    // Memory without a NUL: the end of the buffer ends the text.
    ASSERT_EQ(reader.OpenMemory("12 34", 5), 1);
    reader.SetSeparators(" ");
    EXPECT_EQ(reader.ReadLong(), 12);
    EXPECT_EQ(reader.ReadLong(), 34);
    EXPECT_EQ(reader.ReadLong(), 0);
    EXPECT_STREQ(reader.GetClassName(), "CkvrReadText");
}
