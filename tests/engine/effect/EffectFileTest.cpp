#include "tests/engine/effect/EffectTestUtil.h"

#include "engine/core/FileIo.h"

#include <cstring>
#include <filesystem>

using namespace effecttest;

namespace
{
// One object per kind, every track keyed, every block field set.
void Fill(CEffectContainer& container)
{
    const char* resources[] = {"Texture\\Spark.png", "Model\\Ring.mdl", "Sound\\Hit.wav", "Effect\\Inner.efc"};
    for (uint8_t kind = 0; kind < 4; ++kind)
    {
        CEffectObject* object = MakeObject(("Object" + std::to_string(kind)).c_str(), kind, 1.5f + kind);
        object->SetResourceFile(resources[kind], nullptr);
        AddKey(object->GetPositionTrack(), 0.0f, Offset(1, 2, 3));
        AddKey(object->GetPositionTrack(), 1.0f, Offset(4, 5, 6), 0.5f);
        AddKey(object->GetRotationTrack(), 0.5f, CkvrVector3(10, 20, 30));
        AddKey(object->GetScalingTrack(), 0.25f, CkvrVector3(2, 2, 2));
        AddKey(object->GetColorTrack(), 0.75f, CkvrVector4(0.5f, 0.25f, 1, 0.125f));
        AddKey(object->GetUVTrack(), 0.0f, CkvrVector3(0.5f, 0.5f, 0));
        AddKey(object->GetRectTrack(), 0.0f, CRect(0, 32, 0, 16));
        AddKey(object->GetAnimationTrack(), 0.0f, 3u);
        AddKey(object->GetParticleTrack(), 0.5f, 7u);
        AddKey(object->GetPlayTrack(), 0.5f, 1.0f);
        object->GetPlayTrack()->SetLoop(1);
        tag_KVREFFECTPARAMETER* e = object->GetParameters();
        e->reserved[0] = 0xAB;
        e->size = 2.5f;
        e->facingAxis = CkvrVector3(0, 1, 0);
        e->sorted = 1;
        e->billboard = 2;
        e->blendMode = 3;
        e->optionWord = 4;
        e->renderOption = -1;
        e->loopMode = 2;
        e->flags = 32 | 64;
        e->volumeOffset = -300;
        e->rotationOrder = 8;
        tag_KVRPARTICLEPARAMETER* p = object->GetParticleParameters();
        p->life = 0.75f;
        p->offset = CkvrVector3(1, 0, 0);
        p->colorSpread = CkvrVector4(0.1f, 0.2f, 0.3f, 0.4f);
        p->speed = 3.0f;
        p->speedSpread = 0.5f;
        p->gravity = -9.8f;
        p->reserved = 0xDEADBEEF;
        p->attach = 1;
        tag_KVRPARTICLETRACEDATA trace{};
        trace.firstEdge = CkvrVector3(0, 1, 0);
        trace.secondEdge = CkvrVector3(0, -1, 0);
        trace.fade = 0.1f;
        trace.pull = 0.2f;
        trace.segments = 8;
        trace.textureName = const_cast<char*>("Texture\\Trail.png");
        ASSERT_EQ(object->AddTrace(trace), 1);
        trace.textureName = nullptr;
        ASSERT_EQ(object->AddTrace(trace), 1);
        if (kind == 1)
            object->SetParentName("Object0");
        ASSERT_EQ(container.AddObject(object), 1);
    }
}

std::vector<uint8_t> Load(CEffectContainer& container, std::vector<uint8_t> bytes)
{
    EXPECT_EQ(container.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size())), 1);
    return bytes;
}

int LoadFails(const std::vector<uint8_t>& bytes)
{
    CEffectContainer container("Before");
    const int loaded = container.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()));
    EXPECT_STREQ(container.GetName(), "Before");
    EXPECT_EQ(container.GetObjectList()->GetCount(), 0u);
    return loaded;
}

// The offset of the first object's effect-block count in an empty object.
size_t BlockOffset(const std::vector<uint8_t>& bytes)
{
    const uint8_t sixty[4] = {60, 0, 0, 0};
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (std::memcmp(&bytes[i], sixty, 4) == 0)
            return i;
    return 0;
}
}

TEST(EffectFile, RoundTripIsByteIdenticalAndFieldExact)
{
    CEffectContainer container("Efc_all");
    Fill(container);
    const std::vector<uint8_t> first = SaveBytes(container);

    CEffectContainer loaded;
    Load(loaded, first);
    EXPECT_STREQ(loaded.GetName(), "Efc_all");
    ASSERT_EQ(loaded.GetObjectList()->GetCount(), 4u);
    EXPECT_EQ(SaveBytes(loaded), first);

    const CEffectObject* ring = loaded.GetObjectList()->GetItem(1);
    EXPECT_STREQ(ring->GetName(), "Object1");
    EXPECT_STREQ(ring->GetResourceFile(), "Model\\Ring.mdl");
    EXPECT_STREQ(ring->GetParentName(), "Object0");
    EXPECT_EQ(ring->GetParameters()->kind, 1);
    EXPECT_EQ(ring->GetParameters()->reserved[0], 0xAB);
    EXPECT_EQ(ring->GetParameters()->renderOption, -1);
    EXPECT_EQ(ring->GetParameters()->volumeOffset, -300);
    EXPECT_EQ(ring->GetParameters()->rotationOrder, 8u);
    EXPECT_EQ(ring->GetParticleParameters()->reserved, 0xDEADBEEFu);
    EXPECT_FLOAT_EQ(ring->GetParticleParameters()->colorSpread.w, 0.4f);
    EXPECT_EQ(ring->GetParticleParameters()->traceCount, 2u);
    ASSERT_EQ(ring->GetTraceList()->GetCount(), 2u);
    EXPECT_STREQ(ring->GetTraceList()->GetAt(0)->textureName, "Texture\\Trail.png");
    EXPECT_EQ(ring->GetTraceList()->GetAt(1)->textureName, nullptr);
    EXPECT_EQ(ring->GetTraceList()->GetAt(0)->segments, 8u);
    EXPECT_EQ(ring->GetPlayTrack()->GetLoop(), 1u);
    EXPECT_EQ(ring->GetParticleTrack()->GetAt(0)->value, 7u);
    // The file stores no interpolator; the position track gets its curve back.
    EXPECT_EQ(ring->GetPositionTrack()->GetInterpolator(), &InterpolateLineCurve);

    // A copy saves the same bytes, less the parent name it does not take.
    CEffectContainer copy;
    ASSERT_EQ(loaded.CopyTo(&copy), 1);
    EXPECT_EQ(copy.GetObjectList()->GetItem(1)->GetParentName(), nullptr);
    copy.GetObjectList()->GetItem(1)->SetParentName("Object0");
    EXPECT_EQ(SaveBytes(copy), first);
}

TEST(EffectFile, EmptyObjectWritesZeroCountsAndReadsBackEqual)
{
    CEffectContainer container("Efc_empty");
    container.AddObject(new CEffectObject());
    const std::vector<uint8_t> bytes = SaveBytes(container);
    CEffectContainer loaded;
    Load(loaded, bytes);
    const CEffectObject* object = loaded.GetObjectList()->GetItem(0);
    EXPECT_EQ(object->GetName(), nullptr) << "a count of 0 is no name, not an empty one";
    EXPECT_EQ(object->GetResourceFile(), nullptr);
    EXPECT_EQ(object->GetParentName(), nullptr);
    EXPECT_EQ(object->GetParameters()->loopMode, 1u);
    EXPECT_EQ(SaveBytes(loaded), bytes);
}

TEST(EffectFile, DamagedFilesFailAndLeaveTheContainerAsItWas)
{
    CEffectContainer container("Efc_damage");
    container.AddObject(new CEffectObject());
    const std::vector<uint8_t> good = SaveBytes(container);

    // Every truncation fails.
    for (size_t cut = 1; cut < good.size(); cut += 7)
        EXPECT_EQ(LoadFails(std::vector<uint8_t>(good.begin(), good.begin() + cut)), 0) << cut;

    // A container name longer than the file.
    std::vector<uint8_t> longName = good;
    StoreU32LE(longName.data(), 0x7FFFFFF0u);
    EXPECT_EQ(LoadFails(longName), 0);

    // An object count far beyond what the bytes can hold.
    std::vector<uint8_t> manyObjects = good;
    StoreU32LE(manyObjects.data() + 4 + 11, 0xFFFFFFFFu);
    EXPECT_EQ(LoadFails(manyObjects), 0);

    // A stored block count larger than the block.
    std::vector<uint8_t> bigBlock = good;
    const size_t at = BlockOffset(bigBlock);
    ASSERT_GT(at, 0u);
    StoreU32LE(bigBlock.data() + at, 61);
    EXPECT_EQ(LoadFails(bigBlock), 0);

    // A trace count that the remaining bytes cannot hold.
    std::vector<uint8_t> traces = good;
    StoreU32LE(traces.data() + at + 4 + 60 + 4 + 152, 100000000u);
    EXPECT_EQ(LoadFails(traces), 0);
}

TEST(EffectFile, ShorterBlockKeepsTheRestOfTheBlock)
{
    CEffectContainer container("Efc_short");
    container.AddObject(new CEffectObject());
    std::vector<uint8_t> bytes = SaveBytes(container);
    const size_t at = BlockOffset(bytes);
    // Store only the first 8 bytes of the effect block.
    StoreU32LE(bytes.data() + at, 8);
    bytes.erase(bytes.begin() + at + 4 + 8, bytes.begin() + at + 4 + 60);
    CEffectContainer loaded;
    Load(loaded, bytes);
    EXPECT_EQ(loaded.GetObjectList()->GetItem(0)->GetParameters()->rotationOrder, 1u);
}

TEST(EffectFile, SaveAndLoadByPathAndMissingFile)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kvr-effect-file-test";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "Efc_path.efc").string();
    CEffectContainer container("Efc_path");
    Fill(container);
    ASSERT_EQ(container.Save(path.c_str()), 1);
    CEffectContainer loaded("Old");
    EXPECT_EQ(loaded.Load((folder / "Missing.efc").string().c_str()), 0);
    EXPECT_STREQ(loaded.GetName(), "Old");
    ASSERT_EQ(loaded.Load(path.c_str()), 1);
    EXPECT_EQ(SaveBytes(loaded), SaveBytes(container));
    std::filesystem::remove_all(folder);
}

TEST(EffectObject, ResourceFileSetsTheKind)
{
    CEffectObject object;
    object.GetParameters()->kind = 9;
    object.SetResourceFile("Effect\\Plain.txt", nullptr);
    EXPECT_EQ(object.GetParameters()->kind, 9) << "no listed extension, no container: unchanged";
    CEffectContainer nested("Inner");
    object.SetResourceFile("Effect\\Inner", &nested);
    EXPECT_EQ(object.GetParameters()->kind, 3);
    object.SetResourceFile("Sound\\a.wav.bak", nullptr);
    EXPECT_EQ(object.GetParameters()->kind, 2) << "substring test";
    object.SetResourceFile("Model\\Ring.MDL", nullptr);
    EXPECT_EQ(object.GetParameters()->kind, 1);
    object.SetResourceFile("Texture\\Spark.png", nullptr);
    EXPECT_EQ(object.GetParameters()->kind, 0);
    object.SetResourceFile(nullptr, nullptr);
    EXPECT_EQ(object.GetResourceFile(), nullptr);
    EXPECT_EQ(object.GetParameters()->kind, 0);
}
