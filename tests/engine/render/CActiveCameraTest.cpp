#include "engine/render/CActiveCamera.h"
#include "engine/render/CCamera.h"
#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{
// A camera-path file put together one field at a time.
class Bytes
{
public:
    Bytes& U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        return *this;
    }
    Bytes& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
    Bytes& F32(float v)
    {
        uint32_t bits = 0;
        std::memcpy(&bits, &v, 4);
        return U32(bits);
    }
    Bytes& Vec(float x, float y, float z) { return F32(x).F32(y).F32(z); }
    Bytes& Name(const char* name)
    {
        U32(static_cast<uint32_t>(std::strlen(name) + 1));
        m_bytes.append(name, std::strlen(name) + 1);
        return *this;
    }
    // Record head: name and key count; keys follow with Key, then Tail.
    Bytes& Head(const char* name, uint32_t keys) { return Name(name).U32(keys); }
    Bytes& Key(float time, float ease) { return F32(time).F32(ease); }
    Bytes& Tail(uint32_t interpolate, uint32_t loop) { return U32(interpolate).U32(loop); }
    const std::string& Get() const { return m_bytes; }

private:
    std::string m_bytes;
};

// The file a freshly made path saves: every track empty, with its default.
std::string FreshFile()
{
    Bytes b;
    b.Head("Position", 0).Tail(1, 0).Vec(0, 0, 0).Vec(0, 0, 0);
    b.Head("Rotation", 0).Tail(1, 0).Vec(0, 0, 0);
    b.Head("TargetPosition", 0).Tail(1, 0).Vec(0, 0, 0).Vec(0, 0, 0);
    b.Head("Distance", 0).Tail(1, 0).F32(10.0f);
    b.Head("Zoom", 0).Tail(1, 0).F32(60.0f);
    b.Head("Target", 0).Tail(0, 0).I32(0);
    b.Head("Enable", 0).Tail(0, 0).I32(0);
    return b.Get();
}

// Looks at (1, 2, 3), turned a quarter about y, switches to the second
// subject at t = 2 and is on from t = 1.
std::string PathFile()
{
    Bytes b;
    b.Head("Position", 2);
    b.Key(0.0f, 0.0f).Vec(1, 2, 3).Vec(1, 2, 3);
    b.Key(4.0f, 0.0f).Vec(1, 2, 3).Vec(1, 2, 3);
    b.Tail(1, 0).Vec(0, 0, 0).Vec(0, 0, 0);
    b.Head("Rotation", 1).Key(0.0f, 0.0f).Vec(0, 90, 0).Tail(1, 0).Vec(0, 0, 0);
    b.Head("TargetPosition", 0).Tail(1, 0).Vec(0, 0, 0).Vec(0, 0, 0);
    b.Head("Distance", 1).Key(0.0f, 0.0f).F32(10.0f).Tail(1, 0).F32(10.0f);
    b.Head("Zoom", 1).Key(0.0f, 0.0f).F32(45.7f).Tail(1, 0).F32(60.0f);
    b.Head("Target", 2).Key(0.0f, 0.0f).I32(0).Key(2.0f, 0.0f).I32(1).Tail(0, 0).I32(0);
    b.Head("Enable", 2).Key(0.0f, 0.0f).I32(0).Key(1.0f, 0.0f).I32(1).Tail(0, 0).I32(0);
    return b.Get();
}

FILE* StreamOf(const std::string& bytes)
{
    FILE* file = std::tmpfile();
    if (file == nullptr)
        return nullptr;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

std::string SavedBytes(const CActiveCamera& path)
{
    FILE* file = std::tmpfile();
    if (file == nullptr)
        return std::string();
    EXPECT_EQ(path.Save(nullptr, file), 1);
    const long size = std::ftell(file);
    std::rewind(file);
    std::string bytes(static_cast<size_t>(size), '\0');
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
}

int Load(CActiveCamera& path, const std::string& bytes)
{
    FILE* file = StreamOf(bytes);
    if (file == nullptr)
        return -1;
    const int result = path.Load(nullptr, file);
    std::fclose(file);
    return result;
}

void ExpectNear(const CkvrVector3& v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-4f);
    EXPECT_NEAR(v.y, y, 1e-4f);
    EXPECT_NEAR(v.z, z, 1e-4f);
}
}

TEST(CActiveCameraTest, FreshPathIsOffAndSavesSevenDefaultRecords)
{
    CActiveCamera path;
    EXPECT_STREQ(path.GetName(), "ActiveCamera");
    EXPECT_STREQ(path.GetClassName(), "CActiveCamera");

    CCamera camera;
    EXPECT_EQ(path.ApplyToCamera(0.0f, &camera), 0);
    ExpectNear(camera.GetEye(), 0, 0, 0);
    EXPECT_EQ(path.ApplyToCamera(0.0f, nullptr), 0);

    CkvrVector3 eye, target, up;
    int32_t enable = -1;
    EXPECT_EQ(path.GetCameraVectors(0.0f, nullptr, nullptr, nullptr, nullptr, &eye, &target, &up, &enable), 1);
    ExpectNear(eye, 0, 0, 10);
    ExpectNear(target, 0, 0, 0);
    ExpectNear(up, 0, 1, 0);
    EXPECT_EQ(enable, 0);
    EXPECT_EQ(path.GetCameraVectors(0.0f, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 1);

    EXPECT_EQ(SavedBytes(path), FreshFile());
}

TEST(CActiveCameraTest, LoadedPathDrivesTheCameraAndSavesTheSameBytes)
{
    CActiveCamera path;
    ASSERT_EQ(Load(path, PathFile()), 1);
    EXPECT_EQ(path.GetPositionTrack().GetCount(), 2u);
    ExpectNear(path.GetPosition(2.0f), 1, 2, 3);

    // Off until t = 1 with interpolation off: nothing changes the camera.
    CCamera camera;
    EXPECT_EQ(path.ApplyToCamera(0.5f, &camera), 0);
    ExpectNear(camera.GetEye(), 0, 0, 0);

    // A quarter turn puts the eye 10 away on the x axis; it looks at the
    // point.
    ASSERT_EQ(path.ApplyToCamera(1.0f, &camera), 1);
    ExpectNear(camera.GetTarget(), 1, 2, 3);
    EXPECT_NEAR(std::fabs(camera.GetEye().x), 10.0f, 1e-4f);
    EXPECT_NEAR(camera.GetEye().y, 0.0f, 1e-4f);
    EXPECT_NEAR(camera.GetEye().z, 0.0f, 1e-4f);
    EXPECT_FLOAT_EQ(camera.GetFov(), 45.0f);

    EXPECT_EQ(SavedBytes(path), PathFile());
}

TEST(CActiveCameraTest, SubjectsMoveAndTurnThePathAndTheSecondTakesOverAtItsKey)
{
    CActiveCamera path;
    ASSERT_EQ(Load(path, PathFile()), 1);
    const CkvrVector3 first(100, 0, 0);
    const CkvrVector3 second(0, 0, -50);
    const CkvrVector3 halfTurn(0, 180, 0);

    CkvrVector3 eye, target;
    int32_t enable = 0;
    path.GetCameraVectors(1.0f, &first, nullptr, &second, nullptr, &eye, &target, nullptr, &enable);
    EXPECT_EQ(enable, 1);
    ExpectNear(target, 101, 2, 3);
    const float eyeX = eye.x - 100.0f;

    // Just before the Target key the first subject still holds; at it, the
    // second.
    path.GetCameraVectors(1.999f, &first, nullptr, &second, nullptr, &eye, &target, nullptr, nullptr);
    ExpectNear(target, 101, 2, 3);
    path.GetCameraVectors(2.0f, &first, nullptr, &second, nullptr, &eye, &target, nullptr, nullptr);
    ExpectNear(target, 1, 2, -47);
    EXPECT_NEAR(eye.x, eyeX, 1e-4f);

    // A subject turned half round takes the point and the eye with it.
    path.GetCameraVectors(1.0f, &first, &halfTurn, nullptr, nullptr, &eye, &target, nullptr, nullptr);
    ExpectNear(target, 99, 2, -3);
    EXPECT_NEAR(eye.x - 100.0f, -eyeX, 1e-4f);

    // The second pair without a position only turns.
    path.GetCameraVectors(3.0f, &first, nullptr, nullptr, &halfTurn, &eye, &target, nullptr, nullptr);
    ExpectNear(target, -1, 2, -3);

    CCamera camera;
    ASSERT_EQ(path.ApplyToCamera(3.0f, &camera, &first, nullptr, &second, &halfTurn), 1);
    ExpectNear(camera.GetTarget(), -1, 2, -53);
}

TEST(CActiveCameraTest, CutOrDamagedFileFailsAndLeavesThePathAsItWas)
{
    const std::string whole = PathFile();
    CActiveCamera path;
    for (size_t size = 0; size < whole.size(); size += 3)
    {
        EXPECT_EQ(Load(path, whole.substr(0, size)), 0) << size;
        EXPECT_EQ(SavedBytes(path), FreshFile()) << size;
    }
    // A key count far past the file's end.
    std::string lying = whole;
    lying[13] = '\x7F';
    EXPECT_EQ(Load(path, lying), 0);
    EXPECT_EQ(SavedBytes(path), FreshFile());
}

TEST(CActiveCameraTest, PathFilesRoundTripThroughTheirName)
{
    TempFolder folder;
    CActiveCamera path;
    ASSERT_EQ(Load(path, PathFile()), 1);
    EXPECT_EQ(path.Save("Camera\\Special.cam", nullptr), 0);
    ASSERT_EQ(path.Save("special.cam", nullptr), 1);
    EXPECT_EQ(TempFolder::Read("special.cam"), PathFile());
    CActiveCamera copy;
    EXPECT_EQ(copy.Load("missing.cam", nullptr), 0);
    ASSERT_EQ(copy.Load("SPECIAL.CAM", nullptr), 1);
    EXPECT_EQ(SavedBytes(copy), PathFile());
    EXPECT_EQ(copy.Release(), 1u);
    EXPECT_EQ(copy.GetPositionTrack().GetCount(), 0u);
}
