#pragma once

#include "engine/core/CkvrReadFile.h"

// Tokenizer over Shift-JIS text: text X files, the text story script. It
// skips separators and "//" comments and never splits a double-byte
// character. CR LF line ends read as LF.
//
// Every operation that writes a token takes the size of the caller's buffer;
// a longer token is cut on a character boundary (the whole token is still
// consumed) and the out text is always NUL-terminated.
class CkvrReadText : public CkvrReadFile
{
public:
    // Result of the token and skip operations when the data has ended.
    static constexpr int32_t kEndOfData = -1;
    // The longest string ReadString returns, NUL included.
    static constexpr uint32_t kMaxString = 512;

    CkvrReadText();
    ~CkvrReadText() override;

    int OpenMemory(const void* data, uint32_t size) override;
    // Reads the file, turns CR LF into LF and adds a NUL after the text.
    int Open(const char* path) override;
    // The text between the next pair of double quotes; null when there is
    // none or it is empty.
    char* ReadString() override;
    int8_t ReadChar() override;
    int16_t ReadShort() override;
    int32_t ReadLong() override;
    int32_t ReadInt() override;
    float ReadFloat() override;
    void Close() override;
    const char* GetClassName() const override { return "CkvrReadText"; }

    // At most 15 characters are kept; null changes nothing.
    void SetSeparators(const char* separators);
    const char* GetSeparators() const { return m_separators; }

    // 0, or kEndOfData with out = "".
    int32_t ReadToken(char* out, uint32_t outSize);
    // As ReadToken, leaving the cursor where it was.
    int32_t PeekToken(char* out, uint32_t outSize);
    // As ReadToken with other separators than the reader's own.
    int32_t ReadTokenWith(char* out, uint32_t outSize, const char* separators);
    // Skips single bytes of skipSet, then copies up to the terminator text
    // (consumed, not copied) or the end of the data. kEndOfData with out = ""
    // when the data ends while skipping.
    int32_t ReadUntil(char* out, uint32_t outSize, const char* skipSet, const char* terminator);
    // Cursor on the first single-byte character of the set; kEndOfData when
    // there is none.
    int32_t SkipTo(const char* set);
    // SkipTo, then past that character.
    int32_t SkipPast(const char* set);
    // Past the closing brace that matches the next opening brace (or to the
    // end of the data); kEndOfData when no opening brace follows.
    int32_t SkipBlock();

private:
    bool AtEnd() const;
    uint32_t CharLength(uint32_t at) const;
    bool AtComment() const;
    void SkipComment();
    void SkipSeparators(const char* set);
    int32_t CopyToken(char* out, uint32_t outSize, const char* separators);

    char m_separators[16];
    uint32_t m_separatorCount = 0;
};
