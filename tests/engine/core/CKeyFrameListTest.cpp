#include "engine/core/CKeyFrameList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace
{
template <class T>
void AddKey(CKeyFrameList<T>& track, float time, const T& value, float ease = 0.0f)
{
    track.Add(KVRKEYFRAME<T>{time, ease, value});
}

template <class T>
T ValueAt(const CKeyFrameList<T>& track, float t, uint32_t loopMode = 1)
{
    T out{};
    EXPECT_EQ(track.GetValueAt(t, &out, loopMode), 1u) << "t = " << t;
    return out;
}

// The bytes a stream holds, read from its start.
std::vector<unsigned char> StreamBytes(FILE* f)
{
    std::fflush(f);
    const long size = std::ftell(f);
    std::vector<unsigned char> bytes(size_t(size > 0 ? size : 0));
    std::rewind(f);
    if (!bytes.empty())
    {
        EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    }
    return bytes;
}

FILE* StreamOf(const std::vector<unsigned char>& bytes)
{
    FILE* f = std::tmpfile();
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    return f;
}

void PutU32(std::vector<unsigned char>& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void PutF32(std::vector<unsigned char>& b, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    PutU32(b, bits);
}
}

TEST(CKeyFrameList, EmptyTrackGivesTheDefault)
{
    CKeyFrameList<float> track;
    EXPECT_STREQ(track.GetClassName(), "CKeyFrameList");
    EXPECT_EQ(track.GetValueSize(), 4u);
    EXPECT_EQ(ValueAt(track, 3.0f), 0.0f);
    const float def = 7.5f;
    track.SetDefault(&def);
    track.SetDefault(nullptr);
    EXPECT_EQ(ValueAt(track, -100.0f), 7.5f);
    EXPECT_EQ(track.GetValueAt(0.0f, nullptr, 1), 0u);
}

TEST(CKeyFrameList, OneKeyAnswersEveryTime)
{
    CKeyFrameList<float> track;
    AddKey(track, 5.0f, 42.0f);
    EXPECT_EQ(ValueAt(track, 0.0f), 42.0f);
    EXPECT_EQ(ValueAt(track, 5.0f), 42.0f);
    EXPECT_EQ(ValueAt(track, 100.0f), 42.0f);
}

TEST(CKeyFrameList, InterpolationAndEase)
{
    CKeyFrameList<float> track;
    AddKey(track, 0.0f, 0.0f);
    AddKey(track, 10.0f, 100.0f);
    EXPECT_EQ(ValueAt(track, 2.5f), 25.0f);
    EXPECT_EQ(ValueAt(track, 10.0f), 100.0f);
    EXPECT_EQ(ValueAt(track, -1.0f), 0.0f);
    track.GetAt(0)->ease = 1.0f;
    EXPECT_EQ(ValueAt(track, 2.5f), 6.25f); // u^2 = 0.0625
    track.GetAt(0)->ease = 0.5f;
    EXPECT_FLOAT_EQ(ValueAt(track, 2.5f), 100.0f * (0.5f * 0.25f + 0.5f * 0.0625f));
    track.SetInterpolation(0);
    EXPECT_EQ(ValueAt(track, 9.9f), 0.0f);
}

TEST(CKeyFrameList, ExactKeyTimeSkipsInterpolation)
{
    CKeyFrameList<CkvrVector3> track;
    AddKey(track, 0.0f, CkvrVector3(0, 0, 0));
    AddKey(track, 1.0f, CkvrVector3(1, 2, 3));
    AddKey(track, 2.0f, CkvrVector3(5, 5, 5));
    // An interpolator that would mark its use.
    track.SetInterpolator([](const CkvrVector3* a, const CkvrVector3*, float, CkvrVector3* out) -> uint32_t {
        if (a == nullptr || out == nullptr)
            return 0;
        *out = CkvrVector3(-1, -1, -1);
        return 1;
    });
    const CkvrVector3 v = ValueAt(track, 1.0f);
    EXPECT_EQ(v.x, 1.0f);
    EXPECT_EQ(v.z, 3.0f);
    EXPECT_EQ(ValueAt(track, 1.5f).x, -1.0f);
    track.SetInterpolator(nullptr);
    const CkvrVector3 mid = ValueAt(track, 1.5f);
    EXPECT_EQ(mid.x, 3.0f);
    EXPECT_EQ(mid.y, 3.5f);
}

TEST(CKeyFrameList, LoopModes)
{
    CKeyFrameList<float> track;
    AddKey(track, 0.0f, 0.0f);
    AddKey(track, 10.0f, 10.0f);
    EXPECT_EQ(ValueAt(track, 12.0f), 10.0f); // loop off: last value
    track.SetLoop(1);
    EXPECT_EQ(ValueAt(track, 12.0f, 1), 2.0f);
    EXPECT_EQ(ValueAt(track, 25.0f, 0), 5.0f);

    CKeyFrameList<float> late;
    AddKey(late, 2.0f, 2.0f);
    AddKey(late, 10.0f, 10.0f);
    late.SetLoop(1);
    EXPECT_EQ(ValueAt(late, 13.0f, 1), 5.0f);
    EXPECT_EQ(ValueAt(late, 13.0f, 0), 3.0f);
    EXPECT_EQ(ValueAt(late, 21.0f, 0), 2.0f); // wraps to 1, before the first key
}

TEST(CKeyFrameList, LoopingTrackWithZeroSpanHoldsTheLastKey)
{
    CKeyFrameList<float> track;
    AddKey(track, 3.0f, 1.0f);
    AddKey(track, 3.0f, 2.0f);
    track.SetLoop(1);
    EXPECT_EQ(ValueAt(track, 4.0f, 1), 2.0f);
    EXPECT_EQ(ValueAt(track, 4.0f, 0), 2.0f);

    CKeyFrameList<float> atZero;
    AddKey(atZero, 0.0f, 1.0f);
    AddKey(atZero, 0.0f, 2.0f);
    atZero.SetLoop(1);
    EXPECT_EQ(ValueAt(atZero, 4.0f, 0), 2.0f);
    EXPECT_EQ(ValueAt(atZero, 4.0f, 1), 2.0f);

    // The last key at time 0 after an earlier one: no modulus in mode 0.
    CKeyFrameList<float> endsAtZero;
    AddKey(endsAtZero, -5.0f, 1.0f);
    AddKey(endsAtZero, 0.0f, 2.0f);
    endsAtZero.SetLoop(1);
    EXPECT_EQ(ValueAt(endsAtZero, 4.0f, 0), 2.0f);
    EXPECT_EQ(ValueAt(endsAtZero, 1.0f, 1), 1.2f);
}

TEST(CKeyFrameList, NotANumberTimeStillWritesTheOutput)
{
    CKeyFrameList<float> track;
    AddKey(track, 0.0f, 1.0f);
    AddKey(track, 1.0f, 2.0f);
    float out = -5.0f;
    EXPECT_EQ(track.GetValueAt(std::nanf(""), &out, 1), 0u);
    EXPECT_EQ(out, 1.0f);
    track.SetLoop(1);
    out = -5.0f;
    track.GetValueAt(INFINITY, &out, 1);
    EXPECT_FALSE(std::isnan(out));
}

TEST(CKeyFrameList, IntegerTracksTruncate)
{
    CKeyFrameList<int32_t> track;
    AddKey(track, 0.0f, 0);
    AddKey(track, 1.0f, 3);
    EXPECT_EQ(ValueAt(track, 0.5f), 1);
    CKeyFrameList<int32_t> down;
    AddKey(down, 0.0f, 0);
    AddKey(down, 1.0f, -3);
    EXPECT_EQ(ValueAt(down, 0.5f), -1); // toward zero
    CKeyFrameList<uint32_t> words;
    AddKey(words, 0.0f, 10u);
    AddKey(words, 1.0f, 4u);
    EXPECT_EQ(ValueAt(words, 0.5f), 7u); // signed difference
    // A huge ease drives the product out of range: defined, not UB.
    words.GetAt(0)->ease = 1e30f;
    ValueAt(words, 0.5f);
}

TEST(CKeyFrameList, DefaultBlendsOfTheOtherTypes)
{
    CKeyFrameList<CkvrLine> line;
    AddKey(line, 0.0f, CkvrLine(CkvrVector3(0, 10, 0), CkvrVector3(0, 0, 0)));
    AddKey(line, 1.0f, CkvrLine(CkvrVector3(9, 9, 9), CkvrVector3(10, 0, 0)));
    const CkvrLine mid = ValueAt(line, 0.5f);
    // Bezier from (0,0,0) to (10,0,0) with control (0,10,0) at u = 0.5.
    EXPECT_FLOAT_EQ(mid.second.x, 2.5f);
    EXPECT_FLOAT_EQ(mid.second.y, 5.0f);
    EXPECT_EQ(mid.first.y, 10.0f);

    CKeyFrameList<CRect> rect;
    AddKey(rect, 0.0f, CRect(0, 10, 0, 10));
    AddKey(rect, 1.0f, CRect(10, 30, 10, 30));
    const CRect end = ValueAt(rect, 0.999999f);
    EXPECT_NEAR(end.right, 30.0f, 1e-3f);
    EXPECT_NEAR(end.left, 10.0f, 1e-3f);

    CKeyFrameList<CkvrQuaternion> rot;
    AddKey(rot, 0.0f, CkvrQuaternion(0, 0, 0, 1));
    AddKey(rot, 1.0f, CkvrQuaternion(1, 0, 0, 0));
    const CkvrQuaternion q = ValueAt(rot, 0.5f);
    EXPECT_EQ(q.x, 0.5f);
    EXPECT_EQ(q.w, 0.5f);

    CKeyFrameList<CkvrVector4> colour;
    AddKey(colour, 0.0f, CkvrVector4(0, 0, 0, 0));
    AddKey(colour, 2.0f, CkvrVector4(1, 2, 3, 4));
    EXPECT_EQ(ValueAt(colour, 1.0f).w, 2.0f);
}

TEST(CKeyFrameList, SaveThenLoadIsByteIdentical)
{
    CKeyFrameList<CkvrLine> track;
    track.SetName("Position");
    AddKey(track, 0.0f, CkvrLine(CkvrVector3(1, 2, 3), CkvrVector3(4, 5, 6)), 0.25f);
    AddKey(track, 2.0f, CkvrLine(CkvrVector3(-1, -2, -3), CkvrVector3(-4, -5, -6)));
    track.SetLoop(1);
    track.SetInterpolation(0);
    const CkvrLine def(CkvrVector3(7, 8, 9), CkvrVector3(10, 11, 12));
    track.SetDefault(&def);

    FILE* first = std::tmpfile();
    ASSERT_EQ(track.Save(nullptr, first), 1u);
    const std::vector<unsigned char> bytes = StreamBytes(first);
    EXPECT_EQ(bytes.size(), 4u + 9 + 4 + 2 * 32 + 4 + 4 + 24);
    EXPECT_EQ(bytes[0], 9);
    EXPECT_EQ(bytes[4], 'P');

    std::rewind(first);
    CKeyFrameList<CkvrLine> loaded;
    ASSERT_EQ(loaded.Load(nullptr, first), 1u);
    EXPECT_EQ(std::ftell(first), long(bytes.size())); // left just after the record
    std::fclose(first);
    EXPECT_STREQ(loaded.GetName(), "Position");
    EXPECT_EQ(loaded.GetCount(), 2u);
    EXPECT_EQ(loaded.GetLoop(), 1u);
    EXPECT_EQ(loaded.GetInterpolation(), 0u);
    EXPECT_EQ(loaded.GetDefault().second.z, 12.0f);

    FILE* second = std::tmpfile();
    ASSERT_EQ(loaded.Save(nullptr, second), 1u);
    EXPECT_EQ(StreamBytes(second), bytes);
    std::fclose(second);
}

TEST(CKeyFrameList, SeveralTracksInOneFileByPath)
{
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("kvr_track_" + std::to_string(::getpid()) + ".bin");
    CKeyFrameList<float> a;
    AddKey(a, 1.0f, 2.0f);
    ASSERT_EQ(a.Save(path.c_str(), nullptr), 1u);
    CKeyFrameList<float> b;
    ASSERT_EQ(b.Load(path.c_str(), nullptr), 1u);
    EXPECT_EQ(b.GetCount(), 1u);
    EXPECT_EQ(b.GetName(), nullptr);
    std::filesystem::remove(path);
    EXPECT_EQ(b.Load(path.c_str(), nullptr), 0u);

    FILE* f = std::tmpfile();
    CKeyFrameList<int32_t> i1, i2;
    i1.SetName("one");
    AddKey(i1, 0.0f, 5);
    i2.SetName("two");
    AddKey(i2, 0.0f, 6);
    i1.Save(nullptr, f);
    i2.Save(nullptr, f);
    std::rewind(f);
    CKeyFrameList<int32_t> r1, r2;
    EXPECT_EQ(r1.Load(nullptr, f), 1u);
    EXPECT_EQ(r2.Load(nullptr, f), 1u);
    EXPECT_STREQ(r2.GetName(), "two");
    EXPECT_EQ(r2.GetAt(0)->value, 6);
    std::fclose(f);
}

TEST(CKeyFrameList, EmptyUnnamedRecordHasItsExactSize)
{
    std::vector<unsigned char> record;
    PutU32(record, 0);
    PutU32(record, 0);
    PutU32(record, 1);
    PutU32(record, 0);
    PutF32(record, 1.0f);
    PutF32(record, 2.0f);
    PutF32(record, 3.0f);
    EXPECT_EQ(record.size(), 8u + 8 + 12);
    CKeyFrameList<CkvrVector3> track;
    track.SetName("old");
    FILE* f = StreamOf(record);
    ASSERT_EQ(track.Load(nullptr, f), 1u);
    std::fclose(f);
    EXPECT_EQ(track.GetName(), nullptr);
    EXPECT_EQ(track.GetCount(), 0u);
    EXPECT_EQ(ValueAt(track, 1.0f).z, 3.0f);
}

TEST(CKeyFrameList, ShortOrLyingRecordsFailAndKeepTheTrack)
{
    CKeyFrameList<float> track;
    track.SetName("keep");
    AddKey(track, 1.0f, 9.0f);

    std::vector<unsigned char> good;
    PutU32(good, 2);
    good.push_back('a');
    good.push_back(0);
    PutU32(good, 1);
    PutF32(good, 0.0f);
    PutF32(good, 0.0f);
    PutF32(good, 4.0f);
    PutU32(good, 1);
    PutU32(good, 0);
    PutF32(good, 0.0f);

    // Every truncation fails.
    for (size_t cut = 0; cut < good.size(); ++cut)
    {
        FILE* f = StreamOf(std::vector<unsigned char>(good.begin(), good.begin() + cut));
        EXPECT_EQ(track.Load(nullptr, f), 0u) << "cut at " << cut;
        std::fclose(f);
    }
    // A name length and a key count far beyond the bytes present.
    std::vector<unsigned char> lyingName = good;
    lyingName[3] = 0x7F;
    std::vector<unsigned char> lyingCount = good;
    lyingCount[9] = 0xFF;
    lyingCount[10] = 0xFF;
    lyingCount[11] = 0xFF;
    lyingCount[12] = 0xFF;
    for (const auto& bad : {lyingName, lyingCount})
    {
        FILE* f = StreamOf(bad);
        EXPECT_EQ(track.Load(nullptr, f), 0u);
        std::fclose(f);
    }
    EXPECT_STREQ(track.GetName(), "keep");
    EXPECT_EQ(track.GetCount(), 1u);
    EXPECT_EQ(track.GetAt(0)->value, 9.0f);

    FILE* f = StreamOf(good);
    EXPECT_EQ(track.Load(nullptr, f), 1u);
    std::fclose(f);
    EXPECT_STREQ(track.GetName(), "a");
    EXPECT_EQ(track.GetAt(0)->value, 4.0f);
}

TEST(CKeyFrameList, CopiesCarryEverything)
{
    CKeyFrameList<CkvrVector4> track;
    track.SetName("Color");
    AddKey(track, 0.0f, CkvrVector4(1, 1, 1, 1));
    track.SetLoop(1);
    track.SetInterpolator(InterpolateVector4);
    CKeyFrameList<CkvrVector4> copy(track);
    EXPECT_STREQ(copy.GetName(), "Color");
    EXPECT_EQ(copy.GetLoop(), 1u);
    EXPECT_EQ(copy.GetInterpolator(), track.GetInterpolator());
    EXPECT_NE(copy.GetData(), track.GetData());
    CKeyFrameList<CkvrVector4> target;
    EXPECT_EQ(track.CopyTo(&target), 1u);
    EXPECT_EQ(target.GetCount(), 1u);
    EXPECT_STREQ(target.GetName(), "Color");
    EXPECT_EQ(track.CopyTo(nullptr), 0u);
}
