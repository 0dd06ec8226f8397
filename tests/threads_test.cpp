#include "io/threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "core/options.h"
#include "engine/work_tasks.h"
#include "platform/sanitizers.h"

namespace {

// ---------------------------------------------------------------- Fast Semaphore

TEST(FastSemaphoreTest, PollsAndTimedOutWaitsTakeOnlyWhatWasPosted) {
  FastSemaphore s;
  EXPECT_FALSE(s.wait(0));
  EXPECT_FALSE(s.wait(5));
  EXPECT_EQ(0, s.value());  // the timed-out wait gave back its claim
  s.post();
  s.post();
  EXPECT_EQ(2, s.value());
  EXPECT_TRUE(s.wait(0));
  EXPECT_TRUE(s.wait(5));
  EXPECT_FALSE(s.wait(0));
  EXPECT_EQ(0, s.value());
}

TEST(FastSemaphoreTest, BlockedWaiterWakesOnPost) {
  FastSemaphore s;
  std::atomic<int> woke{0};
  std::thread waiter([&] {
    if (s.wait(-1)) woke = 1;
  });
  while (s.value() != -1) std::this_thread::yield();  // the waiter is registered
  EXPECT_EQ(0, woke.load());
  s.post();
  waiter.join();
  EXPECT_EQ(1, woke.load());
  EXPECT_EQ(0, s.value());
}

// Several waiters' timed waits racing bursts of posts: every post is taken exactly once,
// by a waiter or by the final poll, and no extra wake-up is left in the kernel.
TEST(FastSemaphoreTest, TimedWaitsRacingPostsNeverLoseOrDuplicateAPost) {
  const int posters = 2, waiters = 6, posts_each = 1000;
  FastSemaphore s;
  std::atomic<int> taken{0}, timed_out{0};
  std::atomic<bool> stop{false};

  std::vector<std::thread> threads;
  for (int w = 0; w < waiters; ++w)
    threads.emplace_back([&, w] {
      std::mt19937 rng(1000 + w);
      while (!stop.load()) {
        int timeout = rng() % 16 == 0 ? 0 : 1;  // mostly 1 ms, a few polls
        if (s.wait(timeout))
          ++taken;
        else
          ++timed_out;
      }
    });
  std::vector<std::thread> post_threads;
  for (int p = 0; p < posters; ++p)
    post_threads.emplace_back([&, p] {
      std::mt19937 rng(p);
      for (int i = 0; i < posts_each;) {
        std::this_thread::sleep_for(std::chrono::microseconds(700 + rng() % 600));
        int burst = 1 + static_cast<int>(rng() % 3);
        for (int b = 0; b < burst && i < posts_each; ++b, ++i) {
          s.post();
          for (volatile int spin = static_cast<int>(rng() % 2000); spin > 0;) spin = spin - 1;
        }
      }
    });
  for (std::thread& t : post_threads) t.join();
  stop = true;
  for (std::thread& t : threads) t.join();

  int left = 0;
  while (s.wait(0)) ++left;
  EXPECT_EQ(posters * posts_each, taken.load() + left);
  EXPECT_EQ(0, s.value());
  EXPECT_FALSE(s.wait(3)) << "a stray wake-up was left behind";
  EXPECT_GT(timed_out.load(), 0) << "the race was never exercised";
}

// The narrowest case: the only waiter's 1 ms wait runs out just as a post arrives. The
// time a timed-out wait takes here is measured first; the posts are then aimed at the
// moment the waiter gives back its claim, a little before or after it in turn.
TEST(FastSemaphoreTest, PostAimedAtTheTimeOutOfTheOnlyWaiter) {
  using Clock = std::chrono::steady_clock;
  const int calibration = 60, rounds = 1200;
  FastSemaphore s;
  std::atomic<int> taken{0}, timed_out{0};
  std::atomic<bool> stop{false};
  std::thread waiter([&] {
    while (!stop.load()) {
      if (s.wait(1))
        ++taken;
      else
        ++timed_out;
    }
  });
  std::vector<long> lapse;
  for (int i = 0; i < calibration; ++i) {
    while (s.value() != -1) std::this_thread::yield();
    int seen = timed_out.load();
    Clock::time_point start = Clock::now();
    while (timed_out.load() == seen) {
    }
    lapse.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count());
  }
  std::sort(lapse.begin(), lapse.end());
  long median_ns = lapse[lapse.size() / 2];

  for (int round = 0; round < rounds; ++round) {
    while (s.value() != -1) std::this_thread::yield();  // the waiter sleeps in the kernel
    Clock::time_point aim = Clock::now() + std::chrono::nanoseconds(median_ns - 8000 + (round % 40) * 250);
    while (Clock::now() < aim) {
    }
    s.post();
  }
  while (taken.load() < rounds && s.value() > 0) std::this_thread::yield();
  stop = true;
  waiter.join();
  int left = 0;
  while (s.wait(0)) ++left;
  EXPECT_EQ(rounds, taken.load() + left);
  EXPECT_EQ(0, s.value());
  EXPECT_FALSE(s.wait(3)) << "a stray wake-up was left behind";
}

// ---------------------------------------------------------------- Message Queue

TEST(MessageQueueTest, FirstInFirstOutWithUrgentItemsAhead) {
  MessageQueue q;
  int a = 1, b = 2, c = 3;
  EXPECT_EQ(nullptr, q.pop(0));
  EXPECT_EQ(nullptr, q.pop(5));
  q.push(&a);
  q.push(&b);
  q.push_front(&c);
  EXPECT_EQ(&c, q.pop(0));
  EXPECT_EQ(&a, q.pop(-1));
  EXPECT_EQ(&b, q.pop(5));
  EXPECT_EQ(nullptr, q.pop(0));
}

TEST(MessageQueueTest, NullIsAnItemThatDoesNotBlock) {
  MessageQueue q;
  int a = 1;
  q.push(nullptr);
  q.push(&a);
  EXPECT_EQ(nullptr, q.pop(-1));  // returns at once with the queued null
  EXPECT_EQ(&a, q.pop(0));
}

TEST(MessageQueueTest, EveryItemReachesExactlyOneConsumer) {
  const int producers = 3, consumers = 3, per_producer = 3000;
  MessageQueue q;
  std::vector<int> items(producers * per_producer);
  std::vector<std::vector<int*>> got(consumers);
  std::vector<std::thread> threads;
  for (int c = 0; c < consumers; ++c)
    threads.emplace_back([&, c] {
      while (int* item = static_cast<int*>(q.pop(-1))) got[c].push_back(item);
    });
  std::vector<std::thread> makers;
  for (int p = 0; p < producers; ++p)
    makers.emplace_back([&, p] {
      for (int i = 0; i < per_producer; ++i) q.push(&items[p * per_producer + i]);
    });
  for (std::thread& t : makers) t.join();
  for (int c = 0; c < consumers; ++c) q.push(nullptr);
  for (std::thread& t : threads) t.join();

  std::set<int*> seen;
  size_t total = 0;
  for (const auto& list : got) {
    total += list.size();
    seen.insert(list.begin(), list.end());
    // One producer's items keep their order at any one consumer.
    for (size_t i = 1; i < list.size(); ++i) {
      if ((list[i] - items.data()) / per_producer == (list[i - 1] - items.data()) / per_producer) {
        EXPECT_LT(list[i - 1], list[i]);
      }
    }
  }
  EXPECT_EQ(items.size(), total);
  EXPECT_EQ(items.size(), seen.size());
}

// ---------------------------------------------------------------- threads

TEST(ThreadTest, JoinGivesTheExitCode) {
  static int seven = 7;
  platform::ThreadHandle t;
  ASSERT_EQ(0, create_thread([](void* arg) { return *static_cast<int*>(arg); }, &seven, &t));
  int code = -1;
  EXPECT_EQ(0, join_thread(t, &code));
  EXPECT_EQ(7, code);
}

TEST(ThreadTest, JoinGivesUpAfterTheLimitAndAbandonsTheThread) {
  struct Gate {
    FastSemaphore open;
    std::atomic<int> finished{0};
  };
  Gate* gate = new Gate;  // outlives the abandoned thread
  platform::keep_for_abandoned_thread(gate);
  platform::ThreadHandle t;
  ASSERT_EQ(0, create_thread(
                   [](void* arg) {
                     Gate* g = static_cast<Gate*>(arg);
                     g->open.wait(-1);
                     g->finished = 1;
                     return 0;
                   },
                   gate, &t));
  int code = -1;
  EXPECT_EQ(platform::timeout_code(), join_thread(t, &code, 20));
  EXPECT_EQ(-1, code);
  gate->open.post();  // the abandoned thread still ends by itself
  while (!gate->finished.load()) std::this_thread::yield();
}

// ---------------------------------------------------------------- Work Queue Stage

// A task that waits at its gate (when it has one) and counts its runs.
class GateTask : public UTL_work_task {
 public:
  explicit GateTask(FastSemaphore* gate = nullptr) : gate_(gate) {}
  void run() override {
    if (gate_) gate_->wait(-1);
    ++runs;
    done = 1;
  }
  int result(std::string& message) override {
    message = "fine";
    return 0;
  }
  int runs = 0;
  std::atomic<int> done{0};

 private:
  FastSemaphore* gate_;
};

TEST(WorkQueueStageTest, RoomFollowsTheTasksInFlight) {
  FastSemaphore gate;
  WorkQueueStage stage(2, 3);
  EXPECT_EQ(2, stage.worker_count());
  GateTask tasks[3] = {GateTask(&gate), GateTask(&gate), GateTask(&gate)};
  for (GateTask& t : tasks) {
    EXPECT_TRUE(stage.has_room());
    stage.submit(&t);
  }
  EXPECT_EQ(3, stage.in_flight());
  EXPECT_FALSE(stage.has_room());
  EXPECT_EQ(nullptr, stage.take_finished());  // all held at the gate: the poll returns at once
  EXPECT_EQ(3, stage.in_flight());

  for (int i = 0; i < 3; ++i) gate.post();
  std::set<UTL_work_task*> back;
  for (int i = 0; i < 3; ++i) {
    UTL_work_task* t = stage.wait_finished();
    ASSERT_NE(nullptr, t);
    back.insert(t);
    EXPECT_EQ(2 - i, stage.in_flight());
    EXPECT_TRUE(stage.has_room());
  }
  EXPECT_EQ(3u, back.size());
  for (GateTask& t : tasks) EXPECT_EQ(1, t.runs);
  EXPECT_EQ(nullptr, stage.wait_finished());  // nothing in flight: no waiting
  EXPECT_EQ(nullptr, stage.take_finished());
  EXPECT_EQ(0, stage.in_flight());
  stage.destroy();
  EXPECT_EQ(0, stage.worker_count());
}

TEST(WorkQueueStageTest, PollingCollectsEveryTaskOnceAndNullIsRefused) {
  WorkQueueStage stage(3, 100);
  std::vector<GateTask> tasks(40);
  stage.submit(nullptr);  // would stop a worker; the stage ignores it
  EXPECT_EQ(0, stage.in_flight());
  for (GateTask& t : tasks) stage.submit(&t);
  std::set<UTL_work_task*> back;
  while (stage.in_flight() > 0)
    if (UTL_work_task* t = stage.take_finished()) back.insert(t);
  EXPECT_EQ(tasks.size(), back.size());
  for (GateTask& t : tasks) EXPECT_EQ(1, t.runs);
  stage.destroy();
}

// Two tasks that can only finish together finish only when two workers run at once.
class RendezvousTask : public UTL_work_task {
 public:
  RendezvousTask(FastSemaphore* mine, FastSemaphore* other) : mine_(mine), other_(other) {}
  void run() override {
    mine_->post();
    met = other_->wait(10000);
  }
  int result(std::string&) override { return met ? 0 : 1; }
  bool met = false;

 private:
  FastSemaphore* mine_;
  FastSemaphore* other_;
};

TEST(WorkQueueStageTest, WorkersRunSideBySide) {
  FastSemaphore a, b;
  RendezvousTask first(&a, &b), second(&b, &a);
  WorkQueueStage stage(2, 2);
  stage.submit(&first);
  stage.submit(&second);
  std::string message;
  EXPECT_EQ(0, stage.wait_finished()->result(message));
  EXPECT_EQ(0, stage.wait_finished()->result(message));
}

TEST(WorkQueueStageTest, DestroyAbandonsAStuckWorkerAndKeepsItsQueues) {
  std::string log;
  log_set_capture(&log);
  static FastSemaphore gate;  // outlives the abandoned worker
  static GateTask stuck(&gate);
  {
    WorkQueueStage stage(1, 1);
    stage.submit(&stuck);
    stage.destroy();  // the worker is still inside the task: it is waited for, then left
  }
  log_set_capture(nullptr);
  EXPECT_EQ("Wait on thread for cleanup failed with " + std::to_string(platform::timeout_code()) + ".\n",
            log);
  gate.post();  // the abandoned worker finishes and hands the task to its (kept) queue
  while (!stuck.done.load()) std::this_thread::yield();
  EXPECT_EQ(1, stuck.runs);
}

// ---------------------------------------------------------------- start-up, shutdown, alerts

class ThreadsLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_threads();
    reset_options();
    reset_app_state();
    log_set_capture(&log);
    set_alert_handler([this](const AlertRequest& r) {
      shown.push_back(r);
      shown_on_main.push_back(is_main_thread());
    });
  }
  void TearDown() override {
    set_alert_handler(nullptr);
    log_set_capture(nullptr);
    reset_threads();
    reset_options();
    reset_app_state();
  }
  std::string log;
  std::vector<AlertRequest> shown;
  std::vector<bool> shown_on_main;
};

TEST_F(ThreadsLayerTest, WorkerAlertsWaitForTheMainThreadAndComeInOrder) {
  threads_init();
  std::thread worker([] {
    ALERT(alert_info, "one", "a", "b", "c");
    ALERT(alert_info, "two", "", "", "");
    ALERT(alert_info, "three", "", "", "");
  });
  worker.join();
  EXPECT_TRUE(shown.empty()) << "a worker showed its own alert";

  app().ui_mode = ui_mode_alert;  // an alert is on screen: nothing more is shown
  EXPECT_EQ(0, drain_main_thread_queues());
  EXPECT_TRUE(shown.empty());

  app().ui_mode = ui_mode_wizard;
  EXPECT_EQ(3, drain_main_thread_queues());
  ASSERT_EQ(3u, shown.size());
  EXPECT_EQ("one", shown[0].lines[0]);
  EXPECT_EQ("c", shown[0].lines[3]);
  EXPECT_EQ("two", shown[1].lines[0]);
  EXPECT_EQ("three", shown[2].lines[0]);
  EXPECT_EQ(alert_info, shown[0].kind);
  EXPECT_NE(std::string::npos, shown[0].file.find("threads_test.cpp"));
  EXPECT_GT(shown[0].line, 0);
  for (bool on_main : shown_on_main) EXPECT_TRUE(on_main);
  EXPECT_EQ(0, drain_main_thread_queues());
}

TEST_F(ThreadsLayerTest, FatalWorkerAlertEndsTheWorkerAndIsShownFirst) {
  threads_init();
  static std::atomic<int> went_on{0};
  went_on = 0;
  platform::ThreadHandle t;
  ASSERT_EQ(0, create_thread(
                   [](void*) {
                     ALERT(alert_info, "news", "", "", "");
                     ALERT(alert_quit, "the end", "", "", "");
                     went_on = 1;
                     return 5;
                   },
                   nullptr, &t));
  int code = -1;
  ASSERT_EQ(0, join_thread(t, &code));
  EXPECT_EQ(0, code);
  EXPECT_EQ(0, went_on.load());

  app().ui_mode = ui_mode_wizard;
  EXPECT_EQ(2, drain_main_thread_queues());
  ASSERT_EQ(2u, shown.size());
  EXPECT_EQ("the end", shown[0].lines[0]);
  EXPECT_EQ(alert_quit, shown[0].kind);
  EXPECT_EQ("news", shown[1].lines[0]);
}

// Queued alerts belong to the main thread; a drain anywhere else ends the program in
// order, leaving the alert in the log.
TEST_F(ThreadsLayerTest, DrainOffTheMainThreadEndsTheProgramInOrder) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  static std::string* captured = &log;
  captured = &log;
  EXPECT_EXIT(
      {
        threads_init();
        app().orderly_shutdown = [] { std::fputs(captured->c_str(), stderr); };
        std::thread([] { ALERT(alert_info, "lost", "on", "the", "way"); }).join();
        app().ui_mode = ui_mode_wizard;
        std::thread([] { drain_main_thread_queues(); }).join();
        std::exit(3);  // not reached
      },
      ::testing::ExitedWithCode(0),
      // (GoogleTest's own expressions on Windows have no bracket classes.)
      "EXCEPTION REPORTED FROM THREAD!!  File: .*threads_test.cpp, line .+\\.\nlost\non\nthe\nway\n");
}

TEST_F(ThreadsLayerTest, AlertsAreShownWhereTheyAreRaisedWhenNotRouted) {
  AlertRequest info;
  info.kind = alert_info;
  threads_init();
  ALERT(alert_info, "from main", "", "", "");  // the main thread shows its own at once
  ASSERT_EQ(1u, shown.size());
  EXPECT_EQ("from main", shown[0].lines[0]);

  bool routed_info = true, routed_language = true;
  std::thread([&] {
    routed_info = post_alert_to_main_thread(info);
    AlertRequest language;
    language.kind = alert_language;
    routed_language = post_alert_to_main_thread(language);
  }).join();
  EXPECT_TRUE(routed_info);
  EXPECT_FALSE(routed_language);  // only kinds 1 to 3 travel

  threads_shutdown();
  bool routed_after = true;
  std::thread([&] { routed_after = post_alert_to_main_thread(info); }).join();
  EXPECT_FALSE(routed_after);
}

TEST_F(ThreadsLayerTest, ShutdownStopsTheSwarmAndLogsAlertsThatWereNeverShown) {
  static int swarm_stops = 0;
  swarm_stops = 0;
  threads_init();
  set_swarm_shutdown([] { ++swarm_stops; });
  std::thread([] { ALERT(alert_info, "left", "behind", "", ""); }).join();
  threads_shutdown();
  EXPECT_NE(std::string::npos, log.find("\nleft\nbehind\n\n\n("));
  EXPECT_NE(std::string::npos, log.find("Clean exit from threads.\n"));
  EXPECT_LT(log.find("left"), log.find("Clean exit from threads."));
  EXPECT_FALSE(threads_state().initialised.load());
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(1, swarm_stops);
}

TEST_F(ThreadsLayerTest, LockMainThreadPinsTheCallerToTheFirstProcessor) {
  parse_option_tokens("--lock_main_thread");
  log.clear();  // the option's own log line
  uint64_t before = 0, after = 0;
  std::thread([&] {  // a thread of its own, so the test program stays unpinned
    platform::thread_affinity(&before);
    threads_init();
    platform::thread_affinity(&after);
  }).join();
  if (!(before & 1)) GTEST_SKIP() << "processor 0 is not ours to use";
  EXPECT_EQ(1u, after);
  EXPECT_EQ("Thread affinity was " + std::to_string(before) + " is now 1.\n", log);
}

TEST_F(ThreadsLayerTest, WithoutTheOptionNothingIsPinned) {
  uint64_t before = 0, after = 0;
  platform::thread_affinity(&before);
  threads_init();
  platform::thread_affinity(&after);
  EXPECT_EQ(before, after);
  EXPECT_TRUE(is_main_thread());
  EXPECT_EQ("", log);
}

TEST(GraphicsWorkersTest, OneLessThanTheProcessorsButAtLeastOne) {
  EXPECT_EQ(3, graphics_worker_count(4, nullptr, true));
  EXPECT_EQ(1, graphics_worker_count(2, nullptr, true));
  EXPECT_EQ(1, graphics_worker_count(1, nullptr, true));
  EXPECT_EQ(5, graphics_worker_count(2, "5", true));  // "--num_workers=5": five workers
  EXPECT_EQ(1, graphics_worker_count(8, "0", true));
  EXPECT_EQ(1, graphics_worker_count(8, "-3", true));
  EXPECT_EQ(0, graphics_worker_count(8, nullptr, false));
  EXPECT_EQ(0, graphics_worker_count(8, "4", false));
}

TEST_F(ThreadsLayerTest, WorkersInitLogsTheProcessorsAndReadsTheOptions) {
  EXPECT_EQ(cpu_count() > 1 ? cpu_count() - 1 : 1, workers_init(true));
  EXPECT_EQ("CPU count        : " + std::to_string(cpu_count()) + "\n", log);
  EXPECT_EQ(0, workers_init(false));

  parse_option_tokens("--num_workers=2");
  EXPECT_EQ(2, workers_init(true));
  EXPECT_EQ(2, threads_state().graphics_workers);
  parse_option_tokens("--no_threaded_ogl");
  EXPECT_EQ(0, workers_init(true));
}

}  // namespace
