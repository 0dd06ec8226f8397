#pragma once
// Worker threads: the semaphore and queue that pass work between threads, the worker
// stages the install engine feeds, and the route by which a worker's alert reaches
// the main thread. The engine owns every task it submits until a worker has run it
// and the engine has taken it back, so a task is never touched by two threads at once.

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/threads_posix.h"

struct AlertRequest;

// A background job. A worker stage calls run() on one of its threads; the owner reads
// the outcome with result() once the task has come back, then deletes it.
class UTL_work_task {
 public:
  virtual ~UTL_work_task() {}
  // May be called more than once (a task may pass through two stages, one run on each).
  virtual void run() = 0;
  // 0 on success; otherwise the error code, with the user's message in `message`.
  virtual int result(std::string& message) = 0;
};

// A counting semaphore that stays in user space while posts are available and
// sleeps in the kernel only when a waiter must block.
class FastSemaphore {
 public:
  FastSemaphore();
  ~FastSemaphore();
  FastSemaphore(const FastSemaphore&) = delete;
  FastSemaphore& operator=(const FastSemaphore&) = delete;

  void post();
  // Takes one post: timeout_ms 0 = only if one is there, -1 = wait without limit,
  // otherwise wait at most that long. True when a post was taken.
  bool wait(int timeout_ms);
  // Posts available; a negative value counts the waiters that are blocked.
  int value() const { return count_.load(); }

 private:
  bool wait_kernel_forever();
  std::atomic<int32_t> count_{0};
  platform::KernelSemaphore* kernel_ = nullptr;
};

// A first-in first-out queue of pointers between threads; pop blocks until an item
// comes. Null is a legal item: by convention it tells a worker to stop.
class MessageQueue {
 public:
  void push(void* item);
  // Puts the item ahead of everything queued (urgent work).
  void push_front(void* item);
  // The oldest item, or null when none came within timeout_ms (0 poll, -1 forever).
  void* pop(int timeout_ms);

 private:
  std::mutex lock_;
  std::deque<void*> items_;
  FastSemaphore ready_;
};

// How long the stop of a thread is waited for before it is abandoned.
const int join_limit_ms = 5000;

// Starts `function(argument)` on a new thread. A failure raises the fatal alert with
// stack crawl and returns the system's code.
int create_thread(int (*function)(void*), void* argument, platform::ThreadHandle* thread);
// Waits for the thread to end, at most limit_ms. Returns 0 with its exit code, or the
// system's code; a thread that did not end in time is abandoned (it runs on detached).
int join_thread(const platform::ThreadHandle& thread, int* exit_code, int limit_ms = join_limit_ms);
// Processors this program may run on (at least 1).
int cpu_count();

struct StageQueues;

// A set of worker threads between an input and an output queue. Each worker runs
// the tasks it pops and pushes them to the output. Used from one owning thread only.
class WorkQueueStage {
 public:
  WorkQueueStage(int threads, int capacity);
  ~WorkQueueStage();  // destroys the stage if destroy() was not called
  WorkQueueStage(const WorkQueueStage&) = delete;
  WorkQueueStage& operator=(const WorkQueueStage&) = delete;

  // Hands the task to the workers; it comes back through take_finished/wait_finished.
  void submit(UTL_work_task* task);
  bool has_room() const { return in_flight_ < capacity_; }
  // A task the workers have finished, or null at once when none is ready.
  UTL_work_task* take_finished();
  // The next finished task, waiting for it; null at once when nothing is in flight.
  UTL_work_task* wait_finished();
  int in_flight() const { return in_flight_; }
  int capacity() const { return capacity_; }
  int worker_count() const { return static_cast<int>(workers_.size()); }
  // Stops and joins every worker, then frees the queues. Tasks still in flight are not
  // deleted: take them back first.
  void destroy();

 private:
  // Shared with every worker, so that one abandoned by destroy() can still reach them.
  std::shared_ptr<StageQueues> queues_;
  std::vector<platform::ThreadHandle> workers_;
  int capacity_ = 0;
  int in_flight_ = 0;
};

// The threading layer's process-wide state.
struct ThreadsState {
  std::atomic<bool> initialised{false};
  uint64_t main_thread_id = 0;
  std::mutex alert_route_lock;  // guards the two queues below against shutdown
  MessageQueue* info_alerts = nullptr;   // kind 1 alerts raised on workers
  MessageQueue* fatal_alerts = nullptr;  // kinds 2 and 3
  int graphics_workers = 0;              // what workers_init gave the texture swarm
  void (*swarm_shutdown)() = nullptr;    // stops the texture swarm, set by the window
};

ThreadsState& threads_state();
// Back to the state before threads_init, without logging (tests).
void reset_threads();

// Start-up: pins the main thread when "--lock_main_thread" is given, records it as the
// main thread, creates the alert queues and routes workers' alerts into them.
void threads_init();
// Start-up, once the graphics are known: logs the processor count and returns (and
// records) how many graphics-capable workers the texture swarm is to start.
int workers_init(bool graphics_workers_possible);
// How many graphics-capable workers: none without graphics support, else one less than
// the processors (or than "--num_workers" + 1 when `num_workers_option` is given), at least 1.
int graphics_worker_count(int cpus, const char* num_workers_option, bool graphics_workers_possible);
// The orderly shutdown: stops the swarm, drops the alert queues, logs the clean exit.
void threads_shutdown();
bool is_main_thread();

// Where the window's texture swarm registers its stop.
void set_swarm_shutdown(void (*stop)());

// The alert router: an alert raised on a worker while threads run is queued for the
// main thread (true). Kind 1 returns to the worker; kinds 2 and 3 end the worker at once.
// False when the alert is to be shown by the caller itself.
bool post_alert_to_main_thread(const AlertRequest& request);
// Called by the main loop each pass: shows every queued alert (fatal ones first) while
// no alert or prompt owns the window. Returns how many were shown. Off the main thread it
// logs the first alert as an exception and ends the program in order (exit code 0).
int drain_main_thread_queues();
