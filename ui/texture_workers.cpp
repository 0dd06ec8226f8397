#include "ui/texture_workers.h"

#include <atomic>
#include <vector>

#include "core/log.h"
#include "core/options.h"
#include "io/threads.h"
#include "platform/window_sdl.h"

namespace {

struct SwarmWorker {
  platform::ThreadHandle thread;
  void* context = nullptr;  // shared graphics context, or null
  int number = 0;
  MessageQueue* started = nullptr;  // one-shot: the worker is ready
  bool context_ok = false;
};

struct SwarmState {
  MessageQueue* queue = nullptr;
  std::vector<SwarmWorker*> workers;
  std::atomic<int> pending{0};
  bool graphics = false;
};

SwarmState g_swarm;

int worker_main(void* argument) {
  SwarmWorker* w = static_cast<SwarmWorker*>(argument);
  if (w->context) w->context_ok = window_bind_context(w->context);
  w->started->push(w);
  for (;;) {
    UTL_pool_task* task = static_cast<UTL_pool_task*>(g_swarm.queue->pop(-1));
    if (!task) break;
    if (task->run(w->number)) delete task;
    g_swarm.pending.fetch_sub(1);
  }
  if (w->context_ok) window_bind_context(nullptr);
  return 0;
}

}  // namespace

bool swarm_graphics_possible() { return window_exists() && !has_option("--no_threaded_ogl"); }

int swarm_start(int workers, bool with_contexts) {
  if (!g_swarm.queue) g_swarm.queue = new MessageQueue;
  g_swarm.graphics = with_contexts && window_exists();
  for (int i = 0; i < workers; ++i) {
    SwarmWorker* w = new SwarmWorker;
    w->number = static_cast<int>(g_swarm.workers.size()) + 1;
    // The shared context is made here, where the window's context is current; the
    // worker only makes it current on its own thread.
    if (g_swarm.graphics) w->context = window_create_shared_context();
    MessageQueue started;
    w->started = &started;
    if (create_thread(worker_main, w, &w->thread) != 0) {
      window_delete_context(w->context);
      delete w;
      break;
    }
    started.pop(-1);
    w->started = nullptr;
    if (g_swarm.graphics && !w->context_ok) g_swarm.graphics = false;
    g_swarm.workers.push_back(w);
  }
  set_swarm_shutdown(swarm_stop);
  return static_cast<int>(g_swarm.workers.size());
}

void swarm_submit(UTL_pool_task* task, bool urgent) {
  if (!task) return;
  if (g_swarm.workers.empty()) {
    // No workers: the task runs here, at once.
    if (task->run(0)) delete task;
    return;
  }
  g_swarm.pending.fetch_add(1);
  if (urgent) g_swarm.queue->push_front(task);
  else g_swarm.queue->push(task);
}

int swarm_pending() { return g_swarm.pending.load(); }

int swarm_worker_count() { return static_cast<int>(g_swarm.workers.size()); }

bool swarm_has_graphics() { return g_swarm.graphics && !g_swarm.workers.empty(); }

void swarm_stop() {
  for (size_t i = 0; i < g_swarm.workers.size(); ++i) g_swarm.queue->push(nullptr);
  for (SwarmWorker* w : g_swarm.workers) {
    int code = 0;
    const int r = join_thread(w->thread, &code);
    if (r != 0) {
      LOG << "Wait on thread for cleanup failed with " << r << ".\n";
      continue;  // the abandoned worker may still use its record and context
    }
    window_delete_context(w->context);
    delete w;
  }
  g_swarm.workers.clear();
  g_swarm.graphics = false;
  delete g_swarm.queue;
  g_swarm.queue = nullptr;
}
