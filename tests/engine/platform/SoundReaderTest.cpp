#include "engine/platform/sound/COggReader.h"
#include "engine/platform/sound/CWaveReader.h"

#include "tests/engine/platform/SoundTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace soundtest;

namespace
{
SoundImage ReaderImage(std::vector<uint8_t> bytes)
{
    return std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}
}

TEST(SoundWaveReader, ReadsFormatAndDataPastListAndOddChunks)
{
    const std::vector<int16_t> samples = {1, -2, 3, -4, 5, -6};
    CWaveReader reader;
    SoundFormat format;
    ASSERT_EQ(reader.ReadWaveHeader(ReaderImage(MakeWave(samples, 2, 22050, true)), &format), 1);
    EXPECT_EQ(format.formatTag, 1);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.samplesPerSecond, 22050u);
    EXPECT_EQ(format.GetRecordSize(), 18u);
    ASSERT_EQ(reader.GetDataSize(), 12u);

    uint8_t part[8] = {};
    EXPECT_EQ(reader.ReadWaveData(part, 8), 8u);
    EXPECT_EQ(part[2], 0xFE); // -2, low byte
    EXPECT_EQ(reader.ReadWaveData(part, 8), 4u);
    EXPECT_EQ(reader.ReadWaveData(part, 8), 0u);
    EXPECT_EQ(reader.SeekWaveData(), 1);
    EXPECT_EQ(reader.ReadWaveData(part, 2), 2u);
    EXPECT_EQ(part[0], 1);
}

TEST(SoundWaveReader, ExtraFormatBytesMakeALongerRecord)
{
    std::vector<uint8_t> fmt = FmtPcm(1, 22050, 4);
    fmt[0] = 2; // ADPCM
    PutU16(fmt, 32);
    fmt.resize(fmt.size() + 32, 0xAB);
    std::vector<uint8_t> body = {'W', 'A', 'V', 'E'};
    PutChunk(body, "fmt ", fmt);
    PutChunk(body, "data", {1, 2, 3, 4});
    std::vector<uint8_t> file;
    PutChunk(file, "RIFF", body);

    CWaveReader reader;
    SoundFormat format;
    ASSERT_EQ(reader.ReadWaveHeader(ReaderImage(file), &format), 1);
    EXPECT_EQ(format.formatTag, 2);
    EXPECT_EQ(format.GetRecordSize(), 50u);
    ASSERT_EQ(format.extra.size(), 32u);
    EXPECT_EQ(format.extra[31], 0xAB);
}

TEST(SoundWaveReader, RefusesDamagedFiles)
{
    CWaveReader reader;
    SoundFormat format;
    const std::vector<uint8_t> good = MakeWave({1, 2, 3, 4}, 1);

    EXPECT_EQ(reader.ReadWaveHeader(ReaderImage({}), &format), 0);
    EXPECT_EQ(reader.ReadWaveHeader(nullptr, &format), 0);

    std::vector<uint8_t> notWave = good;
    notWave[8] = 'X';
    EXPECT_EQ(reader.ReadWaveHeader(ReaderImage(notWave), &format), 0);

    // A "fmt " chunk shorter than 16 bytes.
    std::vector<uint8_t> body = {'W', 'A', 'V', 'E'};
    PutChunk(body, "fmt ", std::vector<uint8_t>(14, 1));
    PutChunk(body, "data", {1, 2});
    std::vector<uint8_t> shortFmt;
    PutChunk(shortFmt, "RIFF", body);
    EXPECT_EQ(reader.ReadWaveHeader(ReaderImage(shortFmt), &format), 0);

    // A data chunk that claims more bytes than the file has.
    std::vector<uint8_t> longData = good;
    longData[40] = 0xFF;
    longData[41] = 0xFF;
    EXPECT_EQ(reader.ReadWaveHeader(ReaderImage(longData), &format), 0);

    // A chunk size that wraps the cursor round.
    std::vector<uint8_t> wrap = good;
    wrap[16] = 0xFE;
    wrap[17] = wrap[18] = wrap[19] = 0xFF;
    EXPECT_EQ(reader.ReadWaveHeader(ReaderImage(wrap), &format), 0);

    // Cut inside the data chunk.
    std::vector<uint8_t> cut(good.begin(), good.end() - 3);
    EXPECT_EQ(reader.ReadWaveHeader(ReaderImage(cut), &format), 0);
    EXPECT_EQ(reader.GetData(), nullptr);
}

TEST(SoundWaveReader, ToleratesAnOversizedRiffLength)
{
    std::vector<uint8_t> file = MakeWave({1, 2, 3, 4}, 1);
    file[4] = file[5] = file[6] = file[7] = 0xFF;
    CWaveReader reader;
    SoundFormat format;
    EXPECT_EQ(reader.ReadWaveHeader(ReaderImage(file), &format), 1);
    EXPECT_EQ(reader.GetDataSize(), 8u);
}

class SoundOggReader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_samples = Sine(3.0, 440.0, 0.5, 1);
        m_file = MakeOgg(m_samples, 1);
        ASSERT_FALSE(m_file.empty());
    }
    std::vector<int16_t> m_samples;
    std::vector<uint8_t> m_file;
};

TEST_F(SoundOggReader, DecodesAWholeFile)
{
    std::vector<uint8_t> pcm;
    SoundFormat format;
    ASSERT_EQ(COggReader::DecodeOggAll(ReaderImage(m_file), &pcm, &format), 1);
    EXPECT_EQ(format.formatTag, 1);
    EXPECT_EQ(format.channels, 1);
    EXPECT_EQ(format.samplesPerSecond, kRate);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(format.blockAlign, 2);
    EXPECT_EQ(format.averageBytesPerSecond, 2 * kRate);
    EXPECT_EQ(pcm.size(), m_samples.size() * 2);
}

TEST_F(SoundOggReader, RefusesTruncatedEmptyAndGarbageFiles)
{
    std::vector<uint8_t> pcm;
    SoundFormat format;
    EXPECT_EQ(COggReader::DecodeOggAll(ReaderImage({}), &pcm, &format), 0);
    EXPECT_EQ(COggReader::DecodeOggAll(ReaderImage(std::vector<uint8_t>(5000, 0x4F)), &pcm, &format), 0);
    for (size_t keep : {size_t(30), m_file.size() / 10, m_file.size() / 2})
    {
        std::vector<uint8_t> cut(m_file.begin(), m_file.begin() + static_cast<long>(keep));
        EXPECT_EQ(COggReader::DecodeOggAll(ReaderImage(cut), &pcm, &format), 0) << keep;
    }
    EXPECT_TRUE(pcm.empty());
}

// Losing only the end of the last page leaves a file the decoder opens: it
// plays what the whole pages hold.
TEST_F(SoundOggReader, FileCutInItsLastPagePlaysWhatIsThere)
{
    std::vector<uint8_t> pcm;
    SoundFormat format;
    std::vector<uint8_t> cut(m_file.begin(), m_file.end() - 100);
    ASSERT_EQ(COggReader::DecodeOggAll(ReaderImage(cut), &pcm, &format), 1);
    EXPECT_GT(pcm.size(), 0u);
    EXPECT_LT(pcm.size(), m_samples.size() * 2);
    EXPECT_EQ(pcm.size() % 2, 0u);
}

TEST_F(SoundOggReader, StreamWithoutLoopStopsAtItsEnd)
{
    COggReader reader;
    uint32_t size = 0;
    SoundFormat format;
    ASSERT_EQ(reader.OpenOggStream(ReaderImage(m_file), &size, &format), 1);
    EXPECT_EQ(size, m_samples.size() * 2);
    std::vector<uint8_t> buffer(2 * kRate);
    int ended = 0;
    uint32_t total = 0;
    for (int pass = 0; pass < 10 && !ended; ++pass)
        total += reader.DecodeOggStream(buffer.data(), static_cast<uint32_t>(buffer.size()), -1.0f, &ended);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(total, size);
    EXPECT_EQ(reader.RewindOgg(), 1);
    EXPECT_EQ(reader.DecodeOggStream(buffer.data(), 100, -1.0f, &ended), 100u);
    EXPECT_EQ(ended, 0);
}

TEST_F(SoundOggReader, StreamWrapsToTheLoopPointWithinOneFill)
{
    std::vector<uint8_t> whole;
    SoundFormat format;
    ASSERT_EQ(COggReader::DecodeOggAll(ReaderImage(m_file), &whole, &format), 1);

    for (float loop : {0.0f, 2.5f})
    {
        COggReader reader;
        uint32_t size = 0;
        ASSERT_EQ(reader.OpenOggStream(ReaderImage(m_file), &size, &format), 1);
        std::vector<uint8_t> buffer(size + 4 * kRate);
        int ended = 0;
        ASSERT_EQ(reader.DecodeOggStream(buffer.data(), static_cast<uint32_t>(buffer.size()), loop, &ended),
                  buffer.size());
        EXPECT_EQ(ended, 0);
        const size_t loopByte = static_cast<size_t>(loop * kRate) * 2;
        // After the end the data goes on from the loop point, sample for sample.
        EXPECT_EQ(0, std::memcmp(buffer.data() + size, whole.data() + loopByte, 1000)) << loop;
    }
}

TEST_F(SoundOggReader, LoopPointPastTheEndEndsTheStream)
{
    COggReader reader;
    uint32_t size = 0;
    SoundFormat format;
    ASSERT_EQ(reader.OpenOggStream(ReaderImage(m_file), &size, &format), 1);
    std::vector<uint8_t> buffer(size * 2);
    int ended = 0;
    EXPECT_EQ(reader.DecodeOggStream(buffer.data(), static_cast<uint32_t>(buffer.size()), 10.0f, &ended), size);
    EXPECT_EQ(ended, 1);
    // A loop point right at the end yields nothing per pass: ends too.
    ASSERT_EQ(reader.RewindOgg(), 1);
    EXPECT_EQ(reader.DecodeOggStream(buffer.data(), static_cast<uint32_t>(buffer.size()), 3.0f, &ended), size);
    EXPECT_EQ(ended, 1);
}

TEST(SoundOggCallbacks, NullAndOutOfRange)
{
    EXPECT_EQ(COggReader::OggTell(nullptr), -1);
    EXPECT_EQ(COggReader::OggClose(nullptr), -1);
    EXPECT_EQ(COggReader::OggSeek(nullptr, 0, SEEK_SET), -1);
    const uint8_t bytes[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    COggReader::Cursor cursor{bytes, sizeof(bytes), 0};
    EXPECT_EQ(COggReader::OggSeek(&cursor, -2, SEEK_END), 0);
    EXPECT_EQ(COggReader::OggTell(&cursor), 8);
    uint8_t out[4] = {};
    EXPECT_EQ(COggReader::OggRead(out, 1, 4, &cursor), 2u);
    EXPECT_EQ(out[1], 9);
    EXPECT_EQ(COggReader::OggSeek(&cursor, 1, SEEK_END), -1);
    EXPECT_EQ(COggReader::OggSeek(&cursor, -1, SEEK_SET), -1);
    EXPECT_EQ(COggReader::OggSeek(&cursor, INT64_MAX, SEEK_CUR), -1);
    EXPECT_EQ(COggReader::OggClose(&cursor), 0);
}
