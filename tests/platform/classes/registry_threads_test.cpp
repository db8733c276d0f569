// The class registry is process-wide: threads register, look up and
// unregister classes at once (run under ThreadSanitizer in CI).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/classes/classes.h"

namespace {

// Spins until every thread is ready, so the threads really start together.
class StartLine {
 public:
  explicit StartLine(int threads) : waiting_(threads) {}
  void Arrive() {
    waiting_.fetch_sub(1);
    while (waiting_.load() > 0) std::this_thread::yield();
  }

 private:
  std::atomic<int> waiting_;
};

TEST(ClassRegistryThreads, RacingRegistrationsOfOneNameLeaveOneWinner) {
  constexpr int kThreads = 8;
  std::vector<cls::TClassInfo> classes(kThreads);
  for (auto& c : classes) c.Name = "TRacedClass";
  std::atomic<int> won{0}, refused{0};
  StartLine start(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      start.Arrive();
      try {
        cls::RegisterClass(&classes[i]);
        ++won;
      } catch (const cls::EComponentError&) {
        ++refused;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(won.load(), 1);
  EXPECT_EQ(refused.load(), kThreads - 1);
  cls::TClass winner = cls::FindClass("tracedclass");
  ASSERT_NE(winner, nullptr);
  EXPECT_GE(winner, &classes.front());
  EXPECT_LE(winner, &classes.back());
  cls::UnregisterClass(winner);
  EXPECT_EQ(cls::FindClass("TRacedClass"), nullptr);
}

TEST(ClassRegistryThreads, LookupsWhileClassesComeAndGo) {
  constexpr int kClasses = 64, kRounds = 20, kReaders = 4;
  std::vector<cls::TClassInfo> classes(kClasses);
  for (int i = 0; i < kClasses; ++i) classes[i].Name = "TComing" + std::to_string(i);
  cls::TClassInfo stays;
  stays.Name = "TStaying";
  cls::RegisterClass(&stays);

  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  StartLine start(kReaders + 1);
  std::vector<std::thread> readers;
  for (int r = 0; r < kReaders; ++r)
    readers.emplace_back([&] {
      start.Arrive();
      while (!done.load()) {
        for (int i = 0; i < kClasses; ++i) {
          // Either not there or the very class under that name.
          cls::TClass c = cls::FindClass("TComing" + std::to_string(i));
          if (c && c != &classes[i]) ++wrong;
        }
        if (cls::FindClass("tstaying") != &stays) ++wrong;
      }
    });
  std::thread writer([&] {
    start.Arrive();
    for (int round = 0; round < kRounds; ++round) {
      for (auto& c : classes) cls::RegisterClass(&c);
      for (auto& c : classes) cls::UnregisterClass(&c);
    }
    done = true;
  });
  writer.join();
  for (auto& t : readers) t.join();
  EXPECT_EQ(wrong.load(), 0);
  for (auto& c : classes) EXPECT_EQ(cls::FindClass(c.Name), nullptr);
  cls::UnregisterClass(&stays);
}

// The global name-space write lock: a thread may take it again while it
// holds it, and another thread gets it only once the holder let go of every
// level.
TEST(GlobalNameSpaceThreads, WriteLockIsReentrantAndExcludesOtherThreads) {
  std::atomic<int> phase{0};
  std::atomic<bool> otherHolds{false};
  std::atomic<int> seenWhileHeld{-1};
  std::thread other;
  {
    cls::TGlobalNameSpaceWrite outer;
    {
      cls::TGlobalNameSpaceWrite inner;  // the same thread again: no deadlock
      other = std::thread([&] {
        phase = 1;
        cls::TGlobalNameSpaceWrite lock;
        otherHolds = true;
        seenWhileHeld = phase.load();
      });
      while (phase.load() == 0) std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      EXPECT_FALSE(otherHolds.load());
    }
    // One level let go: the other thread still waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(otherHolds.load());
    phase = 2;
  }
  other.join();
  EXPECT_TRUE(otherHolds.load());
  EXPECT_EQ(seenWhileHeld.load(), 2);
}

}  // namespace
