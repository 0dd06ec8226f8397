// Throughput of the semaphore, the message queue and a work queue stage.
// Usage: threads_bench [items]   (default 200000)

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "io/threads.h"
#include "engine/work_tasks.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void report(const char* what, long count, double seconds) {
  std::printf("%-44s %10ld in %7.3f s  %12.0f /s\n", what, count, seconds, count / seconds);
}

void uncontended_semaphore(long n) {
  FastSemaphore s;
  Clock::time_point start = Clock::now();
  for (long i = 0; i < n; ++i) {
    s.post();
    s.wait(0);
  }
  report("semaphore post + poll, one thread", n, seconds_since(start));
}

// Every wait blocks in the kernel: two threads hand one token back and forth.
void semaphore_ping_pong(long n) {
  FastSemaphore ping, pong;
  Clock::time_point start = Clock::now();
  std::thread other([&] {
    for (long i = 0; i < n; ++i) {
      ping.wait(-1);
      pong.post();
    }
  });
  for (long i = 0; i < n; ++i) {
    ping.post();
    pong.wait(-1);
  }
  other.join();
  report("semaphore ping-pong round trips", n, seconds_since(start));
}

void timed_waits_with_posts(long n) {
  FastSemaphore s;
  std::atomic<long> taken{0};
  Clock::time_point start = Clock::now();
  std::thread waiter([&] {
    while (taken.load() < n)
      if (s.wait(1)) ++taken;
  });
  for (long i = 0; i < n; ++i) s.post();
  waiter.join();
  report("semaphore posts taken by 1 ms timed waits", n, seconds_since(start));
}

void queue_many_to_many(long n, int producers, int consumers) {
  MessageQueue q;
  std::atomic<long> received{0};
  static int item;
  Clock::time_point start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < consumers; ++c)
    threads.emplace_back([&] {
      while (q.pop(-1)) ++received;
    });
  std::vector<std::thread> makers;
  for (int p = 0; p < producers; ++p)
    makers.emplace_back([&] {
      for (long i = 0; i < n / producers; ++i) q.push(&item);
    });
  for (std::thread& t : makers) t.join();
  for (int c = 0; c < consumers; ++c) q.push(nullptr);
  for (std::thread& t : threads) t.join();
  std::string what = "queue items, " + std::to_string(producers) + " producers " + std::to_string(consumers) +
                     " consumers";
  report(what.c_str(), received.load(), seconds_since(start));
}

class EmptyTask : public UTL_work_task {
 public:
  void run() override {}
  int result(std::string& message) override {
    message.clear();
    return 0;
  }
};

// The engine's way: keep the stage full, poll finished tasks, as the install step does.
void stage_round_trips(long n) {
  int workers = cpu_count();
  WorkQueueStage stage(workers, 30);
  std::vector<EmptyTask> tasks(30);
  std::vector<UTL_work_task*> idle;  // tasks back from the stage, ready to go again
  for (EmptyTask& t : tasks) idle.push_back(&t);
  long submitted = 0, finished = 0;
  Clock::time_point start = Clock::now();
  while (finished < n) {
    while (submitted < n && stage.has_room() && !idle.empty()) {
      stage.submit(idle.back());
      idle.pop_back();
      ++submitted;
    }
    while (UTL_work_task* t = stage.take_finished()) {
      idle.push_back(t);
      ++finished;
    }
  }
  double s = seconds_since(start);
  stage.destroy();
  std::string what = "stage tasks, " + std::to_string(workers) + " workers, room 30, polled";
  report(what.c_str(), finished, s);
}

}  // namespace

int main(int argc, char** argv) {
  long n = argc > 1 ? std::atol(argv[1]) : 200000;
  if (n <= 0) n = 200000;
  std::printf("processors: %d\n", cpu_count());
  uncontended_semaphore(n * 10);
  semaphore_ping_pong(n / 4);
  timed_waits_with_posts(n);
  queue_many_to_many(n, 1, 1);
  queue_many_to_many(n, 2, 2);
  stage_round_trips(n);
  return 0;
}
