// The same seed, frame times and inputs give the same battle, frame by
// frame: CPUs alone on the stand-in arena as the game loads it, and a live
// player replayed from its kept records; and the state hash sees every
// field that can change a later frame.
#include "tests/game/actor/StageBattle.h"
#include "tests/game/actor/StandInArena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using arena::Battle;
using arena::StageBattle;

namespace
{
// 15-18 ms, with a 60 ms stall now and then.
uint32_t FrameTime(uint32_t frame)
{
    return (frame % 97) == 96 ? 60 : 15 + (frame * 7) % 4;
}

void Arm(Battle* battle, CCharacter* fighter)
{
    fighter->AddWeapon(&battle->lists.weapons[0], 1);
    fighter->AddWeapon(&battle->lists.weapons[1], 2);
}

struct Totals
{
    uint32_t attacks = 0;
    uint32_t shots = 0;
    uint32_t hits = 0;
    uint32_t downs = 0;
    uint32_t fieldWeaponFrames = 0;
    uint32_t fieldItemFrames = 0;
    uint32_t particleFrames = 0;
    uint32_t blessedFrames = 0;
    uint32_t underTheRampFrames = 0;
};

// Under the stand-in arena's ramp (x 10 to 20, z -5 to 5, rising 0.4 a
// unit): inside it, where no fighter may walk.
bool UnderTheRamp(const CkvrVector3& at)
{
    return at.x > 10.5f && at.x < 20.0f && at.z > -5.0f && at.z < 5.0f && at.y < 0.4f * (at.x - 10.0f) - 0.1f;
}

void Tally(standin::ArenaBattle* battle, Totals* totals)
{
    totals->fieldWeaponFrames += battle->GetField().weapons.empty() ? 0 : 1;
    totals->fieldItemFrames += battle->GetField().items.empty() ? 0 : 1;
    totals->particleFrames += battle->GetEffects().GetParticlePool()->GetUsedCount() != 0 ? 1 : 0;
    for (const CCharacter* fighter : battle->GetFighters())
    {
        totals->blessedFrames += fighter->IsBlessed() ? 1 : 0;
        totals->underTheRampFrames += UnderTheRamp(*fighter->GetPosition()) ? 1 : 0;
    }
}

void Score(standin::ArenaBattle* battle, Totals* totals)
{
    for (CCharacter* fighter : battle->GetFighters())
    {
        const uint32_t* v = fighter->GetBattleScore()->value;
        totals->attacks += v[tag_TOLQBATTLESCORE::MELEE_ATTACKS];
        totals->shots += v[tag_TOLQBATTLESCORE::SHOTS];
        totals->hits += v[tag_TOLQBATTLESCORE::MELEE_HITS] + v[tag_TOLQBATTLESCORE::SHOT_HITS];
        totals->downs += v[tag_TOLQBATTLESCORE::DOWNS];
    }
}

// CPUs of levels 0-4 in turn on the stand-in arena; the hash of every frame.
// Every pose must lie on the 1/1000 steps after every frame.
std::vector<uint64_t> RunStandIn(standin::StandInData* data, uint32_t count, uint32_t frames, uint32_t seed,
                                 uint8_t rule, Totals* totals = nullptr)
{
    SeedRandom(seed);
    standin::ArenaBattle battle(data, rule);
    EXPECT_TRUE(battle.IsReady());
    if (!battle.IsReady())
        return {};
    for (uint32_t i = 0; i < count; ++i)
        battle.AddCpu(i, i % 5);
    std::vector<uint64_t> hashes;
    hashes.reserve(frames);
    for (uint32_t frame = 0; frame < frames; ++frame)
    {
        battle.Step(FrameTime(frame));
        hashes.push_back(battle.Hash());
        const std::string unquantised = battle.FindUnquantised();
        if (!unquantised.empty())
        {
            ADD_FAILURE() << unquantised << " left the 1/1000 steps at frame " << frame;
            return hashes;
        }
        if (totals != nullptr)
            Tally(&battle, totals);
    }
    if (totals != nullptr)
        Score(&battle, totals);
    return hashes;
}

void ExpectSameFrames(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(a[i], b[i]) << "frame " << i;
}

// The live player's pad for a frame: sticks at values that do not survive
// a re-pack, turns and presses.
void ScriptPad(tag_KVRPADSTATE* pad, uint32_t frame)
{
    const uint32_t phase = (frame / 40) % 6;
    static const float xs[6] = {0.29f, -0.99f, 0.0f, 0.57f, -0.33f, 0.99f};
    static const float ys[6] = {-0.99f, 0.29f, -0.71f, 0.0f, -0.5f, 0.13f};
    pad->leftX = xs[phase];
    pad->leftY = ys[phase];
    pad->rightX = (frame % 50) < 10 ? 0.45f : 0.0f;
    pad->mouseDeltaX = (frame % 30) < 3 ? -7.6f : 0.0f;
    for (uint32_t& held : pad->held.button)
        held = 0;
    pad->held.button[CCharacter::BUTTON_JUMP] = (frame % 70) == 5 ? 1 : 0;
    pad->held.button[CCharacter::BUTTON_ATTACK] = (frame % 45) == 9 ? 1 : 0;
    pad->held.button[CCharacter::BUTTON_AIM] = (frame % 90) < 45 ? 1 : 0;
}

struct PlayerRun
{
    std::vector<uint64_t> hashes;
    std::vector<tag_TOLQINPUTRECORD> records;
};

// live: the player reads the input object's pad; otherwise the records
// are applied to it as a replay would.
PlayerRun RunPlayer(uint32_t frames, const std::vector<tag_TOLQINPUTRECORD>* replay)
{
    SeedRandom(99);
    StageBattle world;
    Battle& battle = world.battle;
    CCharacter* player = battle.Add(-1, *world.stage.GetStartPoint(0, nullptr), 4, replay == nullptr ? 1 : 0);
    Arm(&battle, player);
    Arm(&battle, battle.Add(4, *world.stage.GetStartPoint(1, nullptr)));
    Arm(&battle, battle.Add(2, *world.stage.GetStartPoint(2, nullptr)));
    PlayerRun run;
    for (uint32_t frame = 0; frame < frames; ++frame)
    {
        if (replay == nullptr)
        {
            ScriptPad(battle.input.GetPadState(0), frame);
            world.Step(FrameTime(frame));
        }
        else
            world.Step(FrameTime(frame), {{0, (*replay)[frame]}});
        run.records.push_back(*player->GetLastInputRecord());
        run.hashes.push_back(world.Hash());
    }
    return run;
}
}

TEST(Determinism, TwoCpusOnTheStandInArenaStepTheSameTwice)
{
    standin::StandInData data;
    ASSERT_TRUE(data.IsReady()) << data.GetError();
    const std::vector<uint64_t> a = RunStandIn(&data, 2, 10000, 1234, 0);
    const std::vector<uint64_t> b = RunStandIn(&data, 2, 10000, 1234, 0);
    ExpectSameFrames(a, b);
    const std::vector<uint64_t> other = RunStandIn(&data, 2, 300, 1235, 0);
    EXPECT_FALSE(std::equal(other.begin(), other.end(), a.begin()));
    std::printf("two-cpu final hash %016llx\n", static_cast<unsigned long long>(a.back()));
    EXPECT_EQ(a.back(), 0x277cc0250502b104ull);
}

TEST(Determinism, EightCpusOnTheStandInArenaStepTheSameTwice)
{
    standin::StandInData data;
    ASSERT_TRUE(data.IsReady()) << data.GetError();
    Totals totals;
    const std::vector<uint64_t> a = RunStandIn(&data, 8, 10000, 77, 1, &totals);
    // A battle that fights: swings, shots, hits and falls, the coins of the
    // fallen on the field (rule 1) and particles in the air.
    std::printf("attacks %u shots %u hits %u downs %u field-weapon-frames %u item-frames %u particle-frames %u "
                "blessed-frames %u\n",
                totals.attacks, totals.shots, totals.hits, totals.downs, totals.fieldWeaponFrames,
                totals.fieldItemFrames, totals.particleFrames, totals.blessedFrames);
    EXPECT_GT(totals.attacks, 0u);
    EXPECT_GT(totals.shots, 0u);
    EXPECT_GT(totals.hits, 0u);
    EXPECT_GT(totals.downs, 0u);
    EXPECT_GT(totals.fieldItemFrames, 0u);
    EXPECT_GT(totals.particleFrames, 0u);
    // The ramp's sides and ledge stop fighters; no start puts one in it.
    EXPECT_EQ(totals.underTheRampFrames, 0u);
    const std::vector<uint64_t> b = RunStandIn(&data, 8, 10000, 77, 1);
    ExpectSameFrames(a, b);
    // Pinned: the sanitizer and the optimized builds must both reach it.
    std::printf("eight-cpu final hash %016llx\n", static_cast<unsigned long long>(a.back()));
    EXPECT_EQ(a.back(), 0x8026ede3ccf19ed9ull);
}

TEST(Determinism, ALivePlayerReplaysFromItsRecords)
{
    const PlayerRun live = RunPlayer(3000, nullptr);
    const PlayerRun replayed = RunPlayer(3000, &live.records);
    for (size_t i = 0; i < live.hashes.size(); ++i)
        ASSERT_EQ(live.hashes[i], replayed.hashes[i]) << "frame " << i;
}

namespace
{
uint64_t HashOf(const CCharacter& fighter)
{
    CStateHash hash;
    fighter.HashState(&hash);
    return hash.Get();
}
}

// A desync shows at the frame it happens only if the hash sees every field a
// later frame reads: each of these changes must change the hash.
TEST(StateHash, EveryFieldALaterFrameReadsIsMixedIn)
{
    Battle battle;
    CCharacter* fighter = battle.Add(2, CkvrVector3(1, 0, 1));
    fighter->AddWeapon(&battle.lists.weapons[1], 1);
    tag_TOLQCHARASTATE& s = *fighter->GetStateBlock();
    tag_TOLQCHARAACTION& a = *fighter->GetActionData();
    tag_KVRPADSTATE& pad = *fighter->GetControlState();
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"position", [&] { fighter->GetPosition()->x += 0.001f; }},
        {"rotation", [&] { fighter->GetRotation()->y += 0.001f; }},
        {"life", [&] { s.life -= 1; }},
        {"ep", [&] { s.ep += 0.5f; }},
        {"gauge", [&] { s.gauge += 0.5f; }},
        {"rule counter", [&] { s.ruleCounter += 1; }},
        {"result pose", [&] { s.resultPose = 3; }},
        {"requested pose", [&] { s.requestedResultPose = 4; }},
        {"action state", [&] { s.actionState = CCharacter::STATE_JUMP; }},
        {"camera mode", [&] { s.cameraMode = 3; }},
        {"element attack time", [&] { s.elementAttackTime += 16; }},
        {"running element attack", [&] { s.runningElementAttack = 2; }},
        {"status bits", [&] { s.statusBits ^= 4u; }},
        {"dash flag", [&] { s.dashFlag ^= 1u; }},
        {"aim flag", [&] { s.aimFlag ^= 1u; }},
        {"lock-on", [&] { s.lockOn = 1; }},
        {"cover", [&] { s.cover ^= 1u; }},
        {"weapon handling", [&] { s.weaponHandling = 2; }},
        {"burst", [&] { s.burstActive ^= 1u; }},
        {"velocity", [&] { s.velocity.z += 0.001f; }},
        {"grounded", [&] { s.grounded ^= 1u; }},
        {"state clock", [&] { s.stateClock += 1; }},
        {"down clock", [&] { s.downClock += 1; }},
        {"burst clock", [&] { s.burstClock += 1; }},
        {"blessing clock", [&] { s.blessingClock += 1; }},
        {"power clock", [&] { s.powerClock += 1; }},
        {"speed clock", [&] { s.speedClock += 1; }},
        {"dash hold clock", [&] { s.dashHoldClock += 1; }},
        {"handling clock", [&] { s.handlingClock += 1; }},
        {"hit mask", [&] { s.swingHitMask ^= 2u; }},
        {"voice cool-down", [&] { s.voiceCooldown += 1; }},
        {"camera yaw", [&] { s.cameraYaw += 0.001f; }},
        {"camera pitch", [&] { s.cameraPitch += 0.001f; }},
        {"last input", [&] { s.lastInput.bytes[3] ^= 1u; }},
        {"weight", [&] { a.weight += 1; }},
        {"main slot", [&] { a.mainSlot = 3; }},
        {"sub slot", [&] { a.subSlot = 4; }},
        {"cursor", [&] { a.cursorSlot = 5; }},
        {"team", [&] { a.team = 1; }},
        {"weapon change", [&] { a.weaponChange ^= 1u; }},
        {"palette", [&] { a.palette = 3; }},
        {"switch clock", [&] { a.switchClock += 1; }},
        {"switch direction", [&] { a.switchDirection = 2; }},
        {"effect time", [&] { a.effectTime += 0.5f; }},
        {"notice", [&] { a.notice ^= 1u; }},
        {"notice clock", [&] { a.noticeClock += 1; }},
        {"picked word", [&] { a.pickedWord += 1; }},
        {"blessing", [&] { a.blessing ^= 1u; }},
        {"select mode", [&] { a.selectMode ^= 1u; }},
        {"step direction", [&] { a.stepDirection = 1; }},
        {"step clock", [&] { a.stepClock += 1; }},
        {"targeted field weapon", [&] { a.targetedFieldWeapon = 2; }},
        {"stick", [&] { pad.leftX += 0.01f; }},
        {"stick magnitude", [&] { pad.leftMagnitude += 0.01f; }},
        {"mouse", [&] { pad.mouseDeltaX += 1.0f; }},
        {"previous buttons", [&] { pad.previous.button[20] ^= 1u; }},
        {"current buttons", [&] { pad.current.button[21] ^= 1u; }},
        {"pressed buttons", [&] { pad.pressed.button[22] ^= 1u; }},
        {"held buttons", [&] { pad.held.button[23] ^= 1u; }},
        {"score", [&] { fighter->GetBattleScore()->value[tag_TOLQBATTLESCORE::DEFEATS] += 1; }},
        {"ammunition", [&] { fighter->GetWeapon(0)->Spend(); }},
    };
    for (const auto& [name, change] : changes)
    {
        const uint64_t before = HashOf(*fighter);
        change();
        EXPECT_NE(HashOf(*fighter), before) << name;
    }
}
