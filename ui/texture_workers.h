#pragma once
// The swarm of graphics-capable workers that load textures off the main thread. Each
// worker owns a graphics context that shares textures with the window's, where the
// driver allows it.

// A job for the swarm. run() gets the worker's number (1..N) and returns true when the
// worker is to delete the task afterwards.
class UTL_pool_task {
 public:
  virtual ~UTL_pool_task() = default;
  virtual bool run(int worker) = 0;
};

// Whether swarm workers may own shared graphics contexts: a window exists and
// "--no_threaded_ogl" is not given. Start-up hands this to workers_init().
bool swarm_graphics_possible();

// Starts `workers` workers one at a time (the count workers_init() returned), each
// with a context shared with the window's when `with_contexts` and the driver allow.
// Registers the swarm's stop with the threads' shutdown. Returns the workers started.
int swarm_start(int workers, bool with_contexts);
// Queues a task; urgent tasks go ahead of everything queued.
void swarm_submit(UTL_pool_task* task, bool urgent);
// Tasks submitted and not yet finished.
int swarm_pending();
int swarm_worker_count();
// Whether every started worker got its graphics context.
bool swarm_has_graphics();
// Stops every worker (one stop message each) and joins them; queued tasks still run first.
void swarm_stop();
