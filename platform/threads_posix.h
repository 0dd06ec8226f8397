#pragma once
// The operating system's threads, kernel semaphores and processor set (POSIX).
// Everything else in the program reaches them only through these calls.

#include <cstdint>

namespace platform {

// A thread as the system knows it. The handle joins (or abandons) the thread;
// the id names it for "is this the main thread?" checks.
struct ThreadHandle {
  uint64_t handle = 0;
  uint64_t id = 0;
};

typedef int (*ThreadFunction)(void* argument);

// Starts `function(argument)` on a new thread with the default stack.
// Returns 0, or the system's error code (nothing is started then).
int start_thread(ThreadFunction function, void* argument, ThreadHandle* thread);

// Waits at most `limit_ms` for the thread to end. Returns 0 with its exit code, or
// the system's error code; after a time-out (ETIMEDOUT) the thread is abandoned: it
// runs on detached and its handle must not be used again.
int join_thread(const ThreadHandle& thread, int limit_ms, int* exit_code);

// The system's code for a wait that ran out of time (ETIMEDOUT).
int timeout_code();

// The id of the calling thread, comparable with ThreadHandle::id.
uint64_t current_thread_id();

// Ends the calling thread at once with `exit_code`, as if its function had returned it.
[[noreturn]] void exit_thread(int exit_code);

// Processors this process may run on (at least 1).
int cpu_count();

// The calling thread's processor mask (bit i = processor i, the first 64 only).
// Returns 0 or the system's error code.
int thread_affinity(uint64_t* mask);
// Restricts the calling thread to the processors of `mask`. Returns 0 or the error code.
int set_thread_affinity(uint64_t mask);

// A counting kernel semaphore that starts at 0.
struct KernelSemaphore;
KernelSemaphore* semaphore_create();
void semaphore_destroy(KernelSemaphore* semaphore);
// Adds one to the count. Returns 0 or the system's error code.
int semaphore_post(KernelSemaphore* semaphore);
// Takes one from the count, waiting while it is 0: at most `timeout_ms`
// (-1 = without limit, 0 = not at all). Returns 0 when taken, timeout_code()
// when the time ran out, else the system's error code. Signals do not end the wait.
int semaphore_wait(KernelSemaphore* semaphore, int timeout_ms);

}  // namespace platform
