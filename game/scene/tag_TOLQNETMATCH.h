#pragma once

// What the network scene keeps of an online match, and which lock guards
// each part. Locks, outermost first: the scene lock, the frame lock; the
// scene state is read by every thread and written by the main thread only.

#include "game/scene/CNetLockstep.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

struct tag_TOLQBATTLESETTING;

struct tag_TOLQNETMATCH
{
    static constexpr uint32_t kSlots = 8;
    // The slot that is always the host's.
    static constexpr uint8_t kHostSlot = 0;
    // A slot's bit in the masks below.
    static constexpr uint32_t SlotBit(uint32_t slot) { return 1u << slot; }

    // 0 lobby, 1 room (the battle setup), 2 start, 3 battle.
    std::atomic<uint32_t> sceneState{0};

    // Guards everything below up to the frame lock's part, the setting and
    // the scene's children.
    std::recursive_mutex sceneLock;
    // Set when this side seats a guest, cleared when it is given a slot.
    uint32_t host = 0;
    // The room came from random matching.
    uint32_t randomMatch = 0;
    // The id text of the peer connection seated in each slot (on a guest,
    // slot 0 is its host); empty when none.
    std::string slotPeer[kSlots];
    // A room keep-alive went out and the slot has not answered yet.
    uint32_t awaitingAnswer[kSlots] = {};
    // A guest has been seated in this room (the keep-alive runs).
    bool guestSeated = false;
    tag_TOLQBATTLESETTING* setting = nullptr;
    // The entries' names, owned here: an entry's name points into its slot.
    std::string names[kSlots];
    // Frames per batch (1..30) and the send byte, which only travels.
    uint8_t framesPerBatch = 1;
    uint8_t sendByte = 0;
    // The Return key at the previous lobby update.
    uint8_t previousReturn = 0;
    uint32_t keepAliveTimer = 0;
    // Bit s: the host announced that slot s left during the battle; the
    // seat closes at its departure mark, or when the battle is over.
    uint32_t closingAfterBattle = 0;

    // Guards the lockstep and the two masks.
    std::mutex frameLock;
    CNetLockstep lockstep;
    // Bit s: slot s has a guest whose records the host's batches wait for.
    uint32_t seated = 0;
    // Bit s: the guest of slot s left during the battle; its seat closes
    // at the first frame that carries the departure mark.
    uint32_t departed = 0;
    // Wakes the synchronisation thread when a batch may have become ready.
    std::condition_variable batchWake;

    // 1 running, 2 asked to stop, 0 stopped.
    std::atomic<uint32_t> syncState{0};
    std::thread syncThread;
};
