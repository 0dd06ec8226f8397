#include "io/threads.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/crash_log.h"
#include "core/log.h"
#include "core/options.h"
#include "core/user_text.h"

// ---------------------------------------------------------------- Fast Semaphore

FastSemaphore::FastSemaphore() : kernel_(platform::semaphore_create()) {}

FastSemaphore::~FastSemaphore() { platform::semaphore_destroy(kernel_); }

void FastSemaphore::post() {
  // A negative count means someone sleeps (or is about to) in the kernel: wake one.
  if (count_.fetch_add(1) < 0) platform::semaphore_post(kernel_);
}

bool FastSemaphore::wait_kernel_forever() {
  for (;;) {
    int code = platform::semaphore_wait(kernel_, -1);
    if (code == 0) return true;
    std::printf("WaitForSingleObject: %d\n", code);
  }
}

bool FastSemaphore::wait(int timeout_ms) {
  if (timeout_ms == 0) {
    int32_t c = count_.load();
    while (c > 0)
      if (count_.compare_exchange_weak(c, c - 1)) return true;
    return false;
  }
  if (count_.fetch_sub(1) > 0) return true;
  if (timeout_ms < 0) return wait_kernel_forever();

  int code = platform::semaphore_wait(kernel_, timeout_ms);
  if (code == 0) return true;
  if (code != platform::timeout_code()) std::printf("WaitForSingleObject: %d\n", code);
  // Give back our claim, unless a post already counted us in: then its kernel
  // release is on its way (or there) and belongs to us.
  int32_t c = count_.load();
  while (c < 0)
    if (count_.compare_exchange_weak(c, c + 1)) return false;
  return wait_kernel_forever();
}

// ---------------------------------------------------------------- Message Queue

void MessageQueue::push(void* item) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    items_.push_back(item);
  }
  ready_.post();
}

void MessageQueue::push_front(void* item) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    items_.push_front(item);
  }
  ready_.post();
}

void* MessageQueue::pop(int timeout_ms) {
  while (ready_.wait(timeout_ms)) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (!items_.empty()) {
        void* item = items_.front();
        items_.pop_front();
        return item;
      }
    }
    if (timeout_ms != -1) return nullptr;
  }
  return nullptr;
}

// ---------------------------------------------------------------- threads

namespace {

struct ThreadStart {
  int (*function)(void*);
  void* argument;
};

// Every thread of the program reports its crashes, a stack overflow included, which
// needs a signal stack of its own.
int run_reporting_crashes(void* raw) {
  ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  install_crash_handler_for_thread();
  int code = start.function(start.argument);
  release_crash_handler_for_thread();
  return code;
}

}  // namespace

int create_thread(int (*function)(void*), void* argument, platform::ThreadHandle* thread) {
  ThreadStart* start = new ThreadStart{function, argument};
  int code = platform::start_thread(run_reporting_crashes, start, thread);
  if (code != 0) delete start;
  if (code != 0)
    ALERT(alert_crash, user_text("\"CreateThread\" OS error"), "err=" + std::to_string(code), "", "");
  return code;
}

int join_thread(const platform::ThreadHandle& thread, int* exit_code, int limit_ms) {
  return platform::join_thread(thread, limit_ms, exit_code);
}

int cpu_count() { return platform::cpu_count(); }

// ---------------------------------------------------------------- Work Queue Stage

struct StageQueues {
  MessageQueue input;
  MessageQueue output;
};

// The worker's own hold on the queues is given back when it ends, whenever that is.
static int stage_worker(void* raw) {
  std::unique_ptr<std::shared_ptr<StageQueues>> hold(static_cast<std::shared_ptr<StageQueues>*>(raw));
  StageQueues* queues = hold->get();
  for (;;) {
    UTL_work_task* task = static_cast<UTL_work_task*>(queues->input.pop(-1));
    if (!task) return 0;
    task->run();
    queues->output.push(task);
  }
}

WorkQueueStage::WorkQueueStage(int threads, int capacity)
    : queues_(std::make_shared<StageQueues>()), capacity_(capacity) {
  for (int i = 0; i < threads; ++i) {
    platform::ThreadHandle t;
    auto* hold = new std::shared_ptr<StageQueues>(queues_);
    if (create_thread(stage_worker, hold, &t) == 0)
      workers_.push_back(t);
    else
      delete hold;
  }
}

WorkQueueStage::~WorkQueueStage() { destroy(); }

void WorkQueueStage::submit(UTL_work_task* task) {
  if (!task || !queues_) return;  // a null would stop a worker instead of running
  ++in_flight_;
  queues_->input.push(task);
}

UTL_work_task* WorkQueueStage::take_finished() {
  if (!queues_ || in_flight_ == 0) return nullptr;
  UTL_work_task* task = static_cast<UTL_work_task*>(queues_->output.pop(0));
  if (task) --in_flight_;
  return task;
}

UTL_work_task* WorkQueueStage::wait_finished() {
  if (!queues_ || in_flight_ == 0) return nullptr;
  UTL_work_task* task = static_cast<UTL_work_task*>(queues_->output.pop(-1));
  if (task) --in_flight_;
  return task;
}

void WorkQueueStage::destroy() {
  if (!queues_) return;
  for (size_t i = 0; i < workers_.size(); ++i) queues_->input.push(nullptr);
  for (const platform::ThreadHandle& t : workers_) {
    int exit_code = 0;
    int code = join_thread(t, &exit_code);
    if (code != 0) LOG << "Wait on thread for cleanup failed with " << code << ".\n";
  }
  // A worker that was abandoned keeps the queues until it ends by itself.
  queues_.reset();
  workers_.clear();
}

// ---------------------------------------------------------------- start-up and shutdown

static ThreadsState g_threads;

ThreadsState& threads_state() { return g_threads; }

static void delete_alert_queue(MessageQueue* queue, bool log_leftovers);

// Stops routing workers' alerts and drops the two queues (logging what was left in them).
static void close_alert_queues(bool log_leftovers) {
  set_alert_router(nullptr);
  MessageQueue* info;
  MessageQueue* fatal;
  {
    std::lock_guard<std::mutex> hold(g_threads.alert_route_lock);
    g_threads.initialised = false;
    info = g_threads.info_alerts;
    fatal = g_threads.fatal_alerts;
    g_threads.info_alerts = nullptr;
    g_threads.fatal_alerts = nullptr;
  }
  delete_alert_queue(fatal, log_leftovers);
  delete_alert_queue(info, log_leftovers);
}

void reset_threads() {
  close_alert_queues(false);
  g_threads.main_thread_id = 0;
  g_threads.graphics_workers = 0;
  g_threads.swarm_shutdown = nullptr;
}

bool is_main_thread() { return platform::current_thread_id() == g_threads.main_thread_id; }

static void lock_main_thread() {
  uint64_t old_mask = 0;
  int code = platform::thread_affinity(&old_mask);
  if (code == 0) code = platform::set_thread_affinity(1);
  if (code == 0)
    LOG << "Thread affinity was " << old_mask << " is now 1.\n";
  else
    LOG << "Thread affinity was " << old_mask << " and could not be set to 1: "
        << code << ".\n";
}

void threads_init() {
  if (has_option("--lock_main_thread")) lock_main_thread();
  g_threads.main_thread_id = platform::current_thread_id();
  {
    std::lock_guard<std::mutex> hold(g_threads.alert_route_lock);
    if (!g_threads.info_alerts) g_threads.info_alerts = new MessageQueue;
    if (!g_threads.fatal_alerts) g_threads.fatal_alerts = new MessageQueue;
    g_threads.initialised = true;
  }
  set_alert_router(post_alert_to_main_thread);
}

int graphics_worker_count(int cpus, const char* num_workers_option, bool graphics_workers_possible) {
  if (!graphics_workers_possible) return 0;
  int n = num_workers_option ? std::atoi(num_workers_option) + 1 : cpus;
  return n - 1 > 1 ? n - 1 : 1;
}

int workers_init(bool graphics_workers_possible) {
  int cpus = cpu_count();
  LOG << "CPU count        : " << cpus << "\n";
  bool possible = graphics_workers_possible && !has_option("--no_threaded_ogl");
  std::string num_workers = option_value("--num_workers");
  const char* option = has_option("--num_workers") ? num_workers.c_str() : nullptr;
  g_threads.graphics_workers = graphics_worker_count(cpus, option, possible);
  return g_threads.graphics_workers;
}

void set_swarm_shutdown(void (*stop)()) { g_threads.swarm_shutdown = stop; }

void threads_shutdown() {
  if (g_threads.swarm_shutdown) g_threads.swarm_shutdown();
  close_alert_queues(true);
  LOG << "Clean exit from threads.\n";
}

// ---------------------------------------------------------------- alerts from workers

static void log_alert_lines(const AlertRequest& r) {
  LOG << "\n" << r.lines[0] << "\n" << r.lines[1] << "\n" << r.lines[2] << "\n" << r.lines[3] << "\n"
      << alert_location(r.file, r.line) << "\n";
}

// An alert nobody will show any more still reaches the log.
static void delete_alert_queue(MessageQueue* queue, bool log_leftovers) {
  if (!queue) return;
  while (AlertRequest* r = static_cast<AlertRequest*>(queue->pop(0))) {
    if (log_leftovers) log_alert_lines(*r);
    delete r;
  }
  delete queue;
}

bool post_alert_to_main_thread(const AlertRequest& request) {
  bool fatal = request.kind == alert_quit || request.kind == alert_crash;
  if (!fatal && request.kind != alert_info) return false;
  {
    std::lock_guard<std::mutex> hold(g_threads.alert_route_lock);
    if (!g_threads.initialised || is_main_thread()) return false;
    MessageQueue* queue = fatal ? g_threads.fatal_alerts : g_threads.info_alerts;
    queue->push(new AlertRequest(request));
  }
  if (fatal) platform::exit_thread(0);
  return true;
}

static void show_queued_alert(const AlertRequest& r) {
  if (!is_main_thread()) {
    LOG << "EXCEPTION REPORTED FROM THREAD!!  File: " << r.file << ", line " << r.line << ".\n"
        << r.lines[0] << "\n" << r.lines[1] << "\n" << r.lines[2] << "\n" << r.lines[3] << "\n";
    log_flush();
    app().quit_flag = 1;
    if (app().orderly_shutdown) app().orderly_shutdown();
    std::exit(0);
  }
  alert(app().ui_mode, r.lines[0], r.lines[1], r.lines[2], r.lines[3], r.kind, r.file.c_str(), r.line);
}

int drain_main_thread_queues() {
  // Not while an alert or prompt owns the window (the full-window modes 992 to 999).
  if (!g_threads.initialised || (app().ui_mode >= 992 && app().ui_mode <= 999)) return 0;
  int shown = 0;
  for (int fatal_first = 1; fatal_first >= 0; --fatal_first) {
    for (;;) {
      // Showing an alert may end the threading layer (a shutdown): look again each time.
      if (!g_threads.initialised) return shown;
      MessageQueue* queue = fatal_first ? g_threads.fatal_alerts : g_threads.info_alerts;
      AlertRequest* r = static_cast<AlertRequest*>(queue->pop(0));
      if (!r) break;
      show_queued_alert(*r);
      delete r;
      ++shown;
    }
  }
  return shown;
}
