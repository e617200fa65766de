// The loading lock serves turns in the order they were asked for: a frame
// of the loading screen that waits gets in at the loading thread's next
// step, however quickly that thread asks again.
#include "game/app/CLoadingLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

TEST(LoadingLock, AWaitingThreadGoesFirstAtTheNextYield)
{
    CLoadingLock lock;
    std::mutex logMutex;
    std::vector<int> order;
    auto record = [&](int who) {
        std::lock_guard<std::mutex> guard(logMutex);
        order.push_back(who);
    };
    lock.Lock();
    std::thread frame([&] {
        lock.Lock();
        record(2);
        lock.Unlock();
    });
    // Bounded wait until the other thread waits for its turn.
    for (int i = 0; i < 5000 && !lock.HasWaiters(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(lock.HasWaiters());
    record(1);
    lock.Yield();
    record(3);
    lock.Unlock();
    frame.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(LoadingLock, YieldingWithNobodyWaitingKeepsTheLock)
{
    CLoadingLock lock;
    std::atomic<bool> entered{false};
    lock.Lock();
    lock.Yield();
    std::thread frame([&] {
        CLoadingLock::Scope scope(lock);
        entered = true;
    });
    // Bounded wait until the other thread waits for its turn, or got in.
    for (int i = 0; i < 5000 && !lock.HasWaiters() && !entered; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(entered) << "the yield let the lock go";
    EXPECT_TRUE(lock.HasWaiters());
    lock.Unlock();
    frame.join();
    EXPECT_TRUE(entered);
}
