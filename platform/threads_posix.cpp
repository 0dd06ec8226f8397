#include "platform/threads_posix.h"

#include <errno.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <new>

#include "platform/sanitizers.h"

namespace platform {

namespace {

struct ThreadStart {
  ThreadFunction function;
  void* argument;
};

void* thread_trampoline(void* raw) {
  ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  return reinterpret_cast<void*>(static_cast<intptr_t>(start.function(start.argument)));
}

// GCC 12's ThreadSanitizer has no interceptor for pthread_clockjoin_np and sem_clockwait:
// it never sees those joins and waits, and reports races on everything they order. Its
// builds wait with the wall-clock calls it does know, which a change of the clock can
// only lengthen or shorten.
#if defined(ZEPHIRO_THREAD_SANITIZER)
const clockid_t kWaitClock = CLOCK_REALTIME;
#else
const clockid_t kWaitClock = CLOCK_MONOTONIC;
#endif

// The wait clock `ms` milliseconds from now; the monotonic clock ignores changes of the
// wall clock.
timespec deadline_after(int ms) {
  timespec t;
  clock_gettime(kWaitClock, &t);
  t.tv_sec += ms / 1000;
  t.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (t.tv_nsec >= 1000000000L) {
    t.tv_sec += 1;
    t.tv_nsec -= 1000000000L;
  }
  return t;
}

}  // namespace

int start_thread(ThreadFunction function, void* argument, ThreadHandle* thread) {
  ThreadStart* start = new (std::nothrow) ThreadStart{function, argument};
  if (!start) return ENOMEM;
  pthread_t handle;
  int code = pthread_create(&handle, nullptr, thread_trampoline, start);
  if (code != 0) {
    delete start;
    return code;
  }
  thread->handle = static_cast<uint64_t>(handle);
  thread->id = static_cast<uint64_t>(handle);
  return 0;
}

int join_thread(const ThreadHandle& thread, int limit_ms, int* exit_code) {
  pthread_t handle = static_cast<pthread_t>(thread.handle);
  timespec deadline = deadline_after(limit_ms < 0 ? 0 : limit_ms);
  void* result = nullptr;
#if defined(ZEPHIRO_THREAD_SANITIZER)
  int code = pthread_timedjoin_np(handle, &result, &deadline);
#else
  int code = pthread_clockjoin_np(handle, &result, kWaitClock, &deadline);
#endif
  if (code == ETIMEDOUT) {
    pthread_detach(handle);  // abandoned: its resources go when it ends by itself
    return code;
  }
  if (code != 0) return code;
  if (exit_code) *exit_code = static_cast<int>(reinterpret_cast<intptr_t>(result));
  return 0;
}

int timeout_code() { return ETIMEDOUT; }

uint64_t current_thread_id() { return static_cast<uint64_t>(pthread_self()); }

void exit_thread(int exit_code) {
  pthread_exit(reinterpret_cast<void*>(static_cast<intptr_t>(exit_code)));
}

int cpu_count() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof(set), &set) == 0) {
    int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

int thread_affinity(uint64_t* mask) {
  cpu_set_t set;
  CPU_ZERO(&set);
  int code = pthread_getaffinity_np(pthread_self(), sizeof(set), &set);
  if (code != 0) return code;
  uint64_t bits = 0;
  for (int i = 0; i < 64; ++i)
    if (CPU_ISSET(i, &set)) bits |= uint64_t(1) << i;
  *mask = bits;
  return 0;
}

int set_thread_affinity(uint64_t mask) {
  cpu_set_t set;
  CPU_ZERO(&set);
  for (int i = 0; i < 64; ++i)
    if (mask & (uint64_t(1) << i)) CPU_SET(i, &set);
  return pthread_setaffinity_np(pthread_self(), sizeof(set), &set);
}

struct KernelSemaphore {
  sem_t sem;
};

KernelSemaphore* semaphore_create() {
  KernelSemaphore* s = new KernelSemaphore;
  sem_init(&s->sem, 0, 0);
  return s;
}

void semaphore_destroy(KernelSemaphore* semaphore) {
  if (!semaphore) return;
  sem_destroy(&semaphore->sem);
  delete semaphore;
}

int semaphore_post(KernelSemaphore* semaphore) {
  return sem_post(&semaphore->sem) == 0 ? 0 : errno;
}

int semaphore_wait(KernelSemaphore* semaphore, int timeout_ms) {
  if (timeout_ms == 0) {
    while (sem_trywait(&semaphore->sem) != 0) {
      if (errno == EAGAIN) return ETIMEDOUT;
      if (errno != EINTR) return errno;
    }
    return 0;
  }
  if (timeout_ms < 0) {
    while (sem_wait(&semaphore->sem) != 0)
      if (errno != EINTR) return errno;
    return 0;
  }
  timespec deadline = deadline_after(timeout_ms);
  for (;;) {
#if defined(ZEPHIRO_THREAD_SANITIZER)
    int r = sem_timedwait(&semaphore->sem, &deadline);
#else
    int r = sem_clockwait(&semaphore->sem, kWaitClock, &deadline);
#endif
    if (r == 0) break;
    if (errno != EINTR) return errno;  // ETIMEDOUT included
  }
  return 0;
}

}  // namespace platform
