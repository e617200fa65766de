// The shared bullet pool: spawn order, movement, the cancel pass, the world
// and body hits, and equal hashes for equal runs.
#include "engine/platform/FrameTimer.h"
#include "game/actor/CBulletDefinition.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/actor/CStateHash.h"
#include "game/actor/IBulletWorld.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
const float kExtent[6] = {-100, -10, -100, 100, 50, 100};

CBulletDefinition Definition(float range, float speed, float gravity, bool cancels)
{
    CBulletDefinition definition;
    definition.range = range;
    definition.speed = speed;
    definition.gravity = gravity;
    definition.radius = 0.1f;
    definition.flags = cancels ? CBulletDefinition::FLAG_CANCEL : 0;
    return definition;
}

CBullet* Fire(CBulletMemoryList* pool, const CBulletDefinition* definition, int32_t owner, CkvrVector3 at,
              CkvrVector3 velocity)
{
    CBullet* bullet = pool->Spawn();
    if (bullet != nullptr)
        bullet->Setup(definition, owner, 0, 7, at, velocity, kExtent);
    return bullet;
}

std::vector<int32_t> Owners(const CBulletMemoryList& pool)
{
    std::vector<int32_t> owners;
    for (const CBullet* b = pool.GetHead(); b != nullptr; b = pool.GetNext(b))
        owners.push_back(b->GetOwner());
    return owners;
}

// A floor at y = 0 and a box around x = 20.
class World : public IBulletWorld
{
public:
    uint32_t HitBulletSegment(const CkvrVector3& start, const CkvrVector3& end) override
    {
        return (start.y >= 0.0f && end.y < 0.0f) ? 1 : 0;
    }
    uint32_t HitBulletBoxes(const CkvrVector3&, const CkvrVector3& end, const CBullet& bullet) override
    {
        if (end.x < 19.5f || end.x > 20.5f)
            return 0;
        boxDamage += bullet.GetPower();
        return 1;
    }
    uint32_t boxDamage = 0;
};
}

TEST(BulletPool, SpawnsInLowestSlotsAndChainsInFiringOrder)
{
    auto pool = std::make_unique<CBulletMemoryList>();
    const CBulletDefinition definition = Definition(10, 10, 0, false);
    CBullet* first = Fire(pool.get(), &definition, 0, {0, 1, 0}, {});
    CBullet* second = Fire(pool.get(), &definition, 1, {5, 1, 0}, {});
    Fire(pool.get(), &definition, 2, {10, 1, 0}, {});
    EXPECT_EQ(second, first + 1);
    // A body at the second bullet takes it in its first pass (a bullet that
    // has not moved yet is a point).
    const float body[2][4] = {{5, 1, 0, 0.5f}, {5, 2, 0, 0.5f}};
    const std::vector<CBulletMemoryList::BodyHit> hits = pool->HitTestBody(7, body, nullptr, nullptr);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].owner, 1);
    EXPECT_EQ(hits[0].power, 7);
    // It died at once: the next body there meets nothing.
    EXPECT_TRUE(pool->HitTestBody(8, body, nullptr, nullptr).empty());
    // Its slot is reused, but the newcomer joins the end of the chain.
    CBullet* third = Fire(pool.get(), &definition, 3, {}, {});
    EXPECT_EQ(third, second);
    EXPECT_EQ(Owners(*pool), (std::vector<int32_t>{0, 2, 3}));
    pool->DestroyAll();
    EXPECT_EQ(pool->GetHead(), nullptr);
    EXPECT_EQ(pool->GetLiveCount(), 0u);
}

// Each body pass meets the bullets as they are at that moment: moved since
// the last pass, fired since, or taken by an earlier body; and a bullet
// grazing a body is hit however near to touching it passes.
TEST(BulletPool, BodyPassesMeetEveryBulletWhereItIsNow)
{
    auto pool = std::make_unique<CBulletMemoryList>();
    const CBulletDefinition definition = Definition(1000, 10, 0, false);
    const float body[2][4] = {{5, 1, 0, 0.5f}, {5, 2, 0, 0.5f}};
    // Body and bullet radii add up to 0.6: inside by a step of the 1/1000
    // grid, touching, out by one.
    Fire(pool.get(), &definition, 1, {0, 1, 0.599f}, {1000, 0, 0});
    Fire(pool.get(), &definition, 2, {0, 1, 0.6f}, {1000, 0, 0});
    Fire(pool.get(), &definition, 3, {0, 1, -0.601f}, {1000, 0, 0});
    EXPECT_TRUE(pool->HitTestBody(7, body, nullptr, nullptr).empty()); // not yet moved
    SetFrameTime(16);
    pool->UpdateAll(0); // 16 units along x, through the body
    std::vector<CBulletMemoryList::BodyHit> hits = pool->HitTestBody(7, body, nullptr, nullptr);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].owner, 1);
    EXPECT_TRUE(pool->HitTestBody(8, body, nullptr, nullptr).empty());
    Fire(pool.get(), &definition, 4, {5, 1.5f, 0}, {});
    hits = pool->HitTestBody(8, body, nullptr, nullptr);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].owner, 4);
    EXPECT_EQ(Owners(*pool), (std::vector<int32_t>{2, 3}));
}

TEST(BulletPool, FullPoolRefuses)
{
    auto pool = std::make_unique<CBulletMemoryList>();
    const CBulletDefinition definition = Definition(10, 10, 0, false);
    for (uint32_t i = 0; i < CBulletMemoryList::kCapacity; ++i)
        ASSERT_NE(Fire(pool.get(), &definition, 0, {}, {}), nullptr);
    EXPECT_EQ(pool->Spawn(), nullptr);
    EXPECT_EQ(pool->GetLiveCount(), CBulletMemoryList::kCapacity);
}

TEST(BulletPool, OwnBulletsAndFilteredOnesPass)
{
    auto pool = std::make_unique<CBulletMemoryList>();
    const CBulletDefinition definition = Definition(10, 10, 0, false);
    Fire(pool.get(), &definition, 4, {0, 1, 0}, {});
    const float body[2][4] = {{0, 1, 0, 0.5f}, {0, 2, 0, 0.5f}};
    EXPECT_TRUE(pool->HitTestBody(4, body, nullptr, nullptr).empty());
    auto teamMate = [](const CBullet&, void*) { return false; };
    EXPECT_TRUE(pool->HitTestBody(5, body, teamMate, nullptr).empty());
    EXPECT_EQ(pool->HitTestBody(5, body, nullptr, nullptr).size(), 1u);
}

TEST(BulletPool, MovesWithGravityAndEndsWhenSpentOrOutside)
{
    auto pool = std::make_unique<CBulletMemoryList>();
    const CBulletDefinition slow = Definition(1.0f, 10.0f, 10.0f, false); // 100 ms of life
    const CBulletDefinition fast = Definition(1000.0f, 10.0f, 0.0f, false);
    CBullet* bullet = Fire(pool.get(), &slow, 0, {0, 10, 0}, {10, 0, 0});
    Fire(pool.get(), &fast, 1, {99.9f, 1, 0}, {10, 0, 0});
    EXPECT_EQ(bullet->GetLifeMilliseconds(), 100u);
    SetFrameTime(16);
    pool->UpdateAll(0);
    // The second left the extent; the first moved 0.16 and began to fall.
    EXPECT_EQ(Owners(*pool), (std::vector<int32_t>{0}));
    EXPECT_FLOAT_EQ(bullet->GetPosition()->x, 0.16f);
    EXPECT_FLOAT_EQ(bullet->GetVelocity().y, -0.16f);
    EXPECT_FLOAT_EQ(bullet->GetPrevious().x, 0.0f);
    // Long frames integrate as 50 ms, but the life counts real time.
    SetFrameTime(60);
    pool->UpdateAll(0);
    EXPECT_FLOAT_EQ(bullet->GetPosition()->x, 0.66f);
    SetFrameTime(24);
    pool->UpdateAll(0);
    EXPECT_EQ(pool->GetHead(), nullptr);
}

TEST(BulletPool, CancellingBulletsAnnulOtherOwnersOnly)
{
    auto pool = std::make_unique<CBulletMemoryList>();
    const CBulletDefinition cancel = Definition(10, 10, 0, true);
    const CBulletDefinition plain = Definition(10, 10, 0, false);
    Fire(pool.get(), &plain, 1, {0.15f, 1, 0}, {});  // touches, other owner
    Fire(pool.get(), &cancel, 0, {0, 1, 0}, {});
    Fire(pool.get(), &plain, 0, {0.1f, 1, 0}, {});   // touches, own
    Fire(pool.get(), &plain, 2, {3, 1, 0}, {});      // too far
    Fire(pool.get(), &cancel, 3, {-0.15f, 1, 0}, {}); // a cancelling bullet of another owner
    pool->HitTestAll(nullptr);
    // The two cancelling bullets annulled each other in the same pass;
    // owner 0's plain bullet was out of owner 3's reach and stays.
    EXPECT_EQ(Owners(*pool), (std::vector<int32_t>{0, 2}));
}

TEST(BulletPool, WorldAndBoxesStopBullets)
{
    auto pool = std::make_unique<CBulletMemoryList>();
    const CBulletDefinition definition = Definition(100, 10, 0, false);
    Fire(pool.get(), &definition, 0, {0, 0.05f, 0}, {0, -10, 0}); // into the floor
    Fire(pool.get(), &definition, 1, {19.9f, 1, 0}, {10, 0, 0});   // into the box
    Fire(pool.get(), &definition, 2, {0, 5, 0}, {10, 0, 0});
    SetFrameTime(16);
    pool->UpdateAll(0);
    World world;
    pool->HitTestAll(&world);
    EXPECT_EQ(Owners(*pool), (std::vector<int32_t>{2}));
    EXPECT_EQ(world.boxDamage, 7u);
}

TEST(BulletPool, EqualRunsHashEqually)
{
    auto run = [](uint32_t frames) {
        auto pool = std::make_unique<CBulletMemoryList>();
        const CBulletDefinition definition = Definition(30, 12, 3, false);
        CStateHash hash;
        for (uint32_t frame = 0; frame < frames; ++frame)
        {
            const float angle = static_cast<float>(frame % 13);
            Fire(pool.get(), &definition, static_cast<int32_t>(frame % 4), {angle, 2, -angle},
                 {angle * 0.7f, 1.3f, 11.0f - angle});
            SetFrameTime(15 + frame % 4);
            pool->UpdateAll(0);
            pool->HitTestAll(nullptr);
            pool->HashState(&hash);
        }
        return hash.Get();
    };
    EXPECT_EQ(run(300), run(300));
    EXPECT_NE(run(300), run(299));
}
