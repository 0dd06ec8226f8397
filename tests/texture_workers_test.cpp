#include "ui/texture_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Counters {
  std::atomic<int> runs{0};
  std::atomic<int> deleted{0};
  std::mutex lock;
  std::vector<int> order;
  std::atomic<bool> gate{true};
};

class CountingTask : public UTL_pool_task {
 public:
  CountingTask(Counters& c, int id, bool delete_me) : c_(c), id_(id), delete_me_(delete_me) {}
  ~CountingTask() override { c_.deleted.fetch_add(1); }
  bool run(int worker) override {
    while (!c_.gate.load()) std::this_thread::yield();
    {
      std::lock_guard<std::mutex> hold(c_.lock);
      c_.order.push_back(id_);
    }
    c_.runs.fetch_add(1);
    return delete_me_;
  }

 private:
  Counters& c_;
  int id_;
  bool delete_me_;
};

void wait_until_idle() {
  while (swarm_pending() > 0) std::this_thread::yield();
}

TEST(TextureWorkers, WorkersRunEveryTaskAndDeleteWhatTheyAreTold) {
  Counters c;
  ASSERT_EQ(swarm_start(2, false), 2);
  EXPECT_FALSE(swarm_has_graphics());  // no window: no contexts
  std::vector<CountingTask*> kept;
  for (int i = 0; i < 40; ++i) {
    const bool delete_me = i % 2 == 0;
    CountingTask* t = new CountingTask(c, i, delete_me);
    if (!delete_me) kept.push_back(t);
    swarm_submit(t, false);
  }
  wait_until_idle();
  EXPECT_EQ(c.runs.load(), 40);
  EXPECT_EQ(c.deleted.load(), 20);
  for (CountingTask* t : kept) delete t;
  swarm_stop();
  EXPECT_EQ(swarm_worker_count(), 0);
}

TEST(TextureWorkers, UrgentTasksGoAheadOfTheQueue) {
  Counters c;
  ASSERT_EQ(swarm_start(1, false), 1);
  c.gate = false;
  swarm_submit(new CountingTask(c, 1, true), false);  // holds the worker at the gate
  swarm_submit(new CountingTask(c, 2, true), false);
  swarm_submit(new CountingTask(c, 3, true), false);
  swarm_submit(new CountingTask(c, 4, true), true);
  c.gate = true;
  wait_until_idle();
  swarm_stop();
  ASSERT_EQ(c.order.size(), 4u);
  // Task 1 may or may not have been taken before the others came; 4 beats 2 and 3.
  std::vector<int> after_first(c.order.begin() + (c.order[0] == 1 ? 1 : 0), c.order.end());
  EXPECT_EQ(after_first[0], 4);
}

TEST(TextureWorkers, WithoutWorkersTasksRunAtOnce) {
  Counters c;
  swarm_submit(new CountingTask(c, 7, true), false);
  EXPECT_EQ(c.runs.load(), 1);
  EXPECT_EQ(c.deleted.load(), 1);
  EXPECT_EQ(swarm_pending(), 0);
}

}  // namespace
