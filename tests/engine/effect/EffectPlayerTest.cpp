#include "engine/effect/CEffectContainer.h"
#include "engine/effect/CEffectPlayer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
std::vector<uint8_t> SaveBytes(const CEffectPlayer& player)
{
    char* data = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&data, &size);
    EXPECT_EQ(player.Save(nullptr, stream), 1);
    std::fclose(stream);
    std::vector<uint8_t> bytes(data, data + size);
    std::free(data);
    return bytes;
}

CEffectPlayer* Sample()
{
    CEffectPlayer* player = new CEffectPlayer();
    player->SetContainerName("Efc_step");
    tag_KVREFFECTPLAYERPARAMETER* p = player->GetParameters();
    p->position = CkvrVector3(1, 2, 3);
    p->timeLimit = 1.5f;
    p->attachMode = 2;
    std::strcpy(p->boneName, "Bone_Hand_R");
    KVRKEYFRAME<float> key{0.25f, 0.0f, 1.0f};
    player->GetPlayTrack()->Add(key);
    key.time = 0.75f;
    player->GetPlayTrack()->Add(key);
    return player;
}
}

TEST(EffectPlayer, FreshPlayerDefaults)
{
    CEffectPlayer player;
    EXPECT_STREQ(player.GetName(), "EffectPlayer");
    EXPECT_STREQ(player.GetClassName(), "CEffectPlayer");
    EXPECT_FLOAT_EQ(player.GetParameters()->scale.y, 1.0f);
    EXPECT_FLOAT_EQ(player.GetParameters()->color.w, 1.0f);
    EXPECT_EQ(player.GetParameters()->attachMode, 0u);
    ASSERT_NE(player.GetPlayTrack(), nullptr);
    EXPECT_STREQ(player.GetPlayTrack()->GetName(), "Play");
    EXPECT_EQ(player.GetPlayTrack()->GetCount(), 0u);
    EXPECT_EQ(player.GetContainer(), nullptr);
    EXPECT_EQ(player.GetController(), nullptr);
    EXPECT_EQ(SaveBytes(player).size(), 4u + 320u + 4u + 5u + 4u + 8u + 4u);
}

TEST(EffectPlayer, RecordsFollowEachOtherInOneStream)
{
    CEffectPlayer* first = Sample();
    CEffectPlayer empty;
    char* data = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&data, &size);
    ASSERT_EQ(first->Save(nullptr, out), 1);
    ASSERT_EQ(empty.Save(nullptr, out), 1);
    std::fclose(out);
    const std::vector<uint8_t> one = SaveBytes(*first);

    FILE* in = fmemopen(data, size, "rb");
    CEffectPlayer a, b;
    ASSERT_EQ(a.Load(nullptr, in), 1);
    EXPECT_EQ(std::ftell(in), long(one.size())) << "just after the track record";
    ASSERT_EQ(b.Load(nullptr, in), 1);
    std::fclose(in);
    std::free(data);

    EXPECT_EQ(SaveBytes(a), one);
    EXPECT_STREQ(a.GetContainerName(), "Efc_step");
    EXPECT_STREQ(a.GetParameters()->boneName, "Bone_Hand_R");
    EXPECT_EQ(a.GetPlayTrack()->GetCount(), 2u);
    EXPECT_EQ(b.GetContainerName(), nullptr);

    // Resolution by name, only through the effects list.
    CEffectContainer container("Efc_step");
    CResourceList<CResourceBase*> effects;
    effects.Add(&container);
    a.ResolveContainer(nullptr, nullptr, nullptr, &effects);
    EXPECT_EQ(a.GetContainer(), &container);
    b.ResolveContainer(nullptr, nullptr, nullptr, &effects);
    EXPECT_EQ(b.GetContainer(), nullptr);

    // Copies own their own name and track.
    CEffectPlayer copy(*first);
    first->Release();
    delete first;
    EXPECT_STREQ(copy.GetContainerName(), "Efc_step");
    EXPECT_EQ(copy.GetPlayTrack()->GetCount(), 2u);
}

TEST(EffectPlayer, DamagedRecordsFailAndChangeNothing)
{
    CEffectPlayer* sample = Sample();
    const std::vector<uint8_t> good = SaveBytes(*sample);
    sample->Release();
    delete sample;
    for (size_t cut = 0; cut < good.size(); cut += 5)
    {
        std::vector<uint8_t> bytes(good.begin(), good.begin() + cut);
        bytes.push_back(0);
        FILE* in = fmemopen(bytes.data(), bytes.size(), "rb");
        CEffectPlayer player;
        EXPECT_EQ(player.Load(nullptr, in), 0) << cut;
        std::fclose(in);
        EXPECT_EQ(player.GetContainerName(), nullptr);
        EXPECT_EQ(player.GetPlayTrack()->GetCount(), 0u);
    }
    std::vector<uint8_t> huge = good;
    huge[3] = 0x7F;
    FILE* in = fmemopen(huge.data(), huge.size(), "rb");
    CEffectPlayer player;
    EXPECT_EQ(player.Load(nullptr, in), 0);
    std::fclose(in);
    EXPECT_EQ(player.Load("/nonexistent/folder/player.bin", nullptr), 0);
}
