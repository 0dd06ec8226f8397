#include "platform/threads_posix.h"

#include <windows.h>
#include <process.h>

#include <cerrno>
#include <climits>
#include <new>

#include "platform/windows_text.h"

namespace platform {

namespace {

struct ThreadStart {
  ThreadFunction function;
  void* argument;
};

unsigned __stdcall thread_trampoline(void* raw) {
  ThreadStart start = *static_cast<ThreadStart*>(raw);
  delete static_cast<ThreadStart*>(raw);
  return static_cast<unsigned>(start.function(start.argument));
}

int count_bits(uint64_t mask) {
  int n = 0;
  for (; mask; mask &= mask - 1) ++n;
  return n;
}

}  // namespace

int start_thread(ThreadFunction function, void* argument, ThreadHandle* thread) {
  ThreadStart* start = new (std::nothrow) ThreadStart{function, argument};
  if (!start) return ENOMEM;
  unsigned id = 0;
  // The C runtime's own start, so that its per-thread state is set up for the function.
  uintptr_t handle = _beginthreadex(nullptr, 0, thread_trampoline, start, 0, &id);
  if (handle == 0) {
    int code = errno ? errno : EAGAIN;
    delete start;
    return code;
  }
  thread->handle = static_cast<uint64_t>(handle);
  thread->id = id;
  return 0;
}

int join_thread(const ThreadHandle& thread, int limit_ms, int* exit_code) {
  HANDLE handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(thread.handle));
  DWORD r = WaitForSingleObject(handle, limit_ms < 0 ? 0 : static_cast<DWORD>(limit_ms));
  if (r == WAIT_TIMEOUT) {
    CloseHandle(handle);  // abandoned: the thread runs on and ends by itself
    return ETIMEDOUT;
  }
  if (r != WAIT_OBJECT_0) return last_system_errno();
  DWORD code = 0;
  GetExitCodeThread(handle, &code);
  CloseHandle(handle);
  if (exit_code) *exit_code = static_cast<int>(code);
  return 0;
}

int timeout_code() { return ETIMEDOUT; }

uint64_t current_thread_id() { return GetCurrentThreadId(); }

void exit_thread(int exit_code) { _endthreadex(static_cast<unsigned>(exit_code)); }

int cpu_count() {
  DWORD_PTR process_mask = 0, system_mask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) {
    int n = count_bits(process_mask);
    if (n > 0) return n;
  }
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

int thread_affinity(uint64_t* mask) {
  // The system only tells a thread's mask by setting a new one: set the process's mask,
  // which every thread may have, and put the old one back.
  DWORD_PTR process_mask = 0, system_mask = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) return last_system_errno();
  DWORD_PTR old = SetThreadAffinityMask(GetCurrentThread(), process_mask);
  if (!old) return last_system_errno();
  SetThreadAffinityMask(GetCurrentThread(), old);
  *mask = old;
  return 0;
}

int set_thread_affinity(uint64_t mask) {
  return SetThreadAffinityMask(GetCurrentThread(), static_cast<DWORD_PTR>(mask)) ? 0 : last_system_errno();
}

struct KernelSemaphore {
  HANDLE handle;
};

KernelSemaphore* semaphore_create() {
  HANDLE h = CreateSemaphoreW(nullptr, 0, LONG_MAX, nullptr);
  if (!h) return nullptr;
  return new KernelSemaphore{h};
}

void semaphore_destroy(KernelSemaphore* semaphore) {
  if (!semaphore) return;
  CloseHandle(semaphore->handle);
  delete semaphore;
}

int semaphore_post(KernelSemaphore* semaphore) {
  return ReleaseSemaphore(semaphore->handle, 1, nullptr) ? 0 : last_system_errno();
}

int semaphore_wait(KernelSemaphore* semaphore, int timeout_ms) {
  DWORD r = WaitForSingleObject(semaphore->handle, timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms));
  if (r == WAIT_OBJECT_0) return 0;
  if (r == WAIT_TIMEOUT) return ETIMEDOUT;
  return last_system_errno();
}

}  // namespace platform
