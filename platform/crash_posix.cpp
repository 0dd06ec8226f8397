#include "platform/crash_posix.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace platform {

namespace {

// The signals that end the program and get a crash report.
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS};

// Room for the handler, the loader's address lookup and the report's buffers.
constexpr size_t kAltStackSize = 64 * 1024;

// A fault this close to the stack pointer is the stack running into its guard region.
constexpr uintptr_t kStackOverflowReach = 64 * 1024;

struct CrashSignalState {
  std::atomic<CrashReporter> reporter{nullptr};
  std::atomic<pid_t> reporting_thread{0};  // the thread writing its report, 0 when none
  std::atomic<int> probe_read{-1};         // pipe used to test memory when the kernel
  std::atomic<int> probe_write{-1};        // refuses process_vm_readv
  volatile sig_atomic_t watchdog_signal = SIGABRT;
};

CrashSignalState& state() {
  static CrashSignalState s;
  return s;
}

struct ThreadAltStack {
  void* memory = nullptr;
  size_t size = 0;
};
thread_local ThreadAltStack t_alt_stack;

void context_registers(const void* context, CrashSignal* out) {
  if (!context) return;
  const ucontext_t* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
  out->instruction = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
  out->frame_pointer = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RBP]);
  out->stack_pointer = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
#elif defined(__i386__)
  out->instruction = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]);
  out->frame_pointer = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_EBP]);
  out->stack_pointer = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_ESP]);
#elif defined(__aarch64__)
  out->instruction = static_cast<uintptr_t>(uc->uc_mcontext.pc);
  out->frame_pointer = static_cast<uintptr_t>(uc->uc_mcontext.regs[29]);
  out->stack_pointer = static_cast<uintptr_t>(uc->uc_mcontext.sp);
#else
  (void)uc;
#endif
}

void sleep_seconds(unsigned seconds) {
  timespec t{static_cast<time_t>(seconds), 0};
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

// The alignment-check flag stays set in a handler entered because of it; clear it, or the
// report's own unaligned copies would fault again before anything is written.
inline void clear_alignment_check() {
#if defined(__x86_64__)
  __asm__ volatile("pushfq\n\tandq $~0x40000, (%%rsp)\n\tpopfq" ::: "memory", "cc");
#elif defined(__i386__)
  __asm__ volatile("pushfl\n\tandl $~0x40000, (%%esp)\n\tpopfl" ::: "memory", "cc");
#endif
}

void on_fatal_signal(int signal, siginfo_t* info, void* context) {
  clear_alignment_check();
  CrashSignalState& s = state();
  pid_t me = gettid();
  pid_t none = 0;
  if (!s.reporting_thread.compare_exchange_strong(none, me)) {
    if (none == me) die_by_signal(signal);  // the report itself went wrong
    // Another thread is writing its report and will end the process; give it time.
    sleep_seconds(30);
    die_by_signal(signal);
  }

  CrashSignal c;
  c.signal = signal;
  c.code = info ? info->si_code : 0;
  context_registers(context, &c);
  // A signal sent by a process (kill, raise, abort) carries no faulting address.
  bool from_kernel = info && info->si_code > 0;
  c.address = from_kernel ? reinterpret_cast<uintptr_t>(info->si_addr) : c.instruction;
  c.exception_code = exception_code_for_signal(signal, c.code, c.address, c.stack_pointer);

  CrashReporter reporter = s.reporter.load();
  if (reporter) reporter(c);
  die_by_signal(signal);
}

void on_watchdog(int) { die_by_signal(state().watchdog_signal); }

bool near_stack_pointer(uintptr_t address, uintptr_t stack_pointer) {
  if (stack_pointer == 0) return false;
  uintptr_t low = stack_pointer > kStackOverflowReach ? stack_pointer - kStackOverflowReach : 0;
  uintptr_t high = stack_pointer + kStackOverflowReach;
  if (high < stack_pointer) high = UINTPTR_MAX;
  return address >= low && address < high;
}

// The probe pipe is made once; both ends are non-blocking so a full pipe never waits.
bool probe_pipe(int* read_fd, int* write_fd) {
  CrashSignalState& s = state();
  if (s.probe_write.load() < 0) {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    int expected = -1;
    if (s.probe_read.compare_exchange_strong(expected, fds[0])) {
      s.probe_write.store(fds[1]);
    } else {
      close(fds[0]);
      close(fds[1]);
    }
  }
  *read_fd = s.probe_read.load();
  *write_fd = s.probe_write.load();
  return *read_fd >= 0 && *write_fd >= 0;
}

void drain_pipe(int fd) {
  char sink[256];
  while (read(fd, sink, sizeof sink) > 0) {
  }
}

// write() fails with EFAULT instead of faulting when the source is unreadable.
bool readable_through_pipe(uintptr_t address, size_t size) {
  int rd = -1, wr = -1;
  if (!probe_pipe(&rd, &wr)) return false;
  while (size > 0) {
    size_t chunk = size < 256 ? size : 256;
    ssize_t n = write(wr, reinterpret_cast<const void*>(address), chunk);
    if (n < 0 && errno == EAGAIN) {
      drain_pipe(rd);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    drain_pipe(rd);
    address += static_cast<size_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

uint32_t exception_code_for_signal(int signal, int code, uintptr_t address, uintptr_t stack_pointer) {
  bool from_kernel = code > 0;
  switch (signal) {
    case SIGSEGV:
      if (from_kernel && near_stack_pointer(address, stack_pointer)) return exception_stack_overflow;
#ifdef SEGV_BNDERR
      if (code == SEGV_BNDERR) return exception_array_bounds_exceeded;
#endif
      return exception_access_violation;
    case SIGBUS:
      return code == BUS_ADRALN ? exception_datatype_misalignment : exception_in_page_error;
    case SIGFPE:
      switch (code) {
        case FPE_INTDIV: return exception_int_divide_by_zero;
        case FPE_INTOVF: return exception_int_overflow;
        case FPE_FLTDIV: return exception_flt_divide_by_zero;
        case FPE_FLTOVF: return exception_flt_overflow;
        case FPE_FLTUND: return exception_flt_underflow;
        case FPE_FLTRES: return exception_flt_inexact_result;
        case FPE_FLTINV: return exception_flt_invalid_operation;
        case FPE_FLTSUB: return exception_array_bounds_exceeded;
        default: return 0;
      }
    case SIGILL:
      return (code == ILL_PRVOPC || code == ILL_PRVREG) ? exception_priv_instruction
                                                        : exception_illegal_instruction;
    case SIGTRAP:
#ifdef TRAP_BRANCH
      if (code == TRAP_BRANCH) return exception_single_step;
#endif
      return code == TRAP_TRACE ? exception_single_step : exception_breakpoint;
    default:
      return 0;
  }
}

int add_crash_stack_for_thread() {
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return 0;
  size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  size_t size = kAltStackSize;
  void* memory = mmap(nullptr, size + page, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (memory == MAP_FAILED) return errno;
  // A guard page below, so a handler that runs out of room faults instead of writing over memory.
  mprotect(memory, page, PROT_NONE);
  stack_t alt{};
  alt.ss_sp = static_cast<char*>(memory) + page;
  alt.ss_size = size;
  alt.ss_flags = 0;
  if (sigaltstack(&alt, nullptr) != 0) {
    int err = errno;
    munmap(memory, size + page);
    return err;
  }
  t_alt_stack.memory = memory;
  t_alt_stack.size = size + page;
  return 0;
}

void remove_crash_stack_for_thread() {
  if (!t_alt_stack.memory) return;
  stack_t off{};
  off.ss_flags = SS_DISABLE;
  if (sigaltstack(&off, nullptr) != 0) return;  // still in use: keep it mapped
  munmap(t_alt_stack.memory, t_alt_stack.size);
  t_alt_stack = ThreadAltStack{};
}

int install_crash_signals(CrashReporter reporter) {
  CrashSignalState& s = state();
  s.reporter.store(reporter);

  // Let the loader bind and set up what the handler will use, while that is still safe.
  Dl_info warm{};
  dladdr(reinterpret_cast<void*>(&install_crash_signals), &warm);
  uintptr_t probe = 0;
  read_memory(reinterpret_cast<uintptr_t>(&reporter), &probe, sizeof probe);

  int err = add_crash_stack_for_thread();
  struct sigaction action {};
  action.sa_sigaction = on_fatal_signal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int sig : kFatalSignals) sigaddset(&action.sa_mask, sig);
  for (int sig : kFatalSignals) {
    if (sigaction(sig, &action, nullptr) != 0 && err == 0) err = errno;
  }
  return err;
}

bool read_memory(uintptr_t address, void* out, size_t size) {
  if (size == 0) return true;
  if (address == 0 || address + size < address) return false;
  int saved_errno = errno;
  iovec local{out, size};
  iovec remote{reinterpret_cast<void*>(address), size};
  ssize_t n = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
  bool ok = false;
  if (n == static_cast<ssize_t>(size)) {
    ok = true;
  } else if (n < 0 && errno != EFAULT) {
    // The kernel refused the call itself (an old kernel or a sandbox): test through a pipe.
    if (readable_through_pipe(address, size)) {
      std::memcpy(out, reinterpret_cast<const void*>(address), size);
      ok = true;
    }
  }
  errno = saved_errno;
  return ok;
}

// Built with frame pointers, Linux frames chain through them: the crawl walks that chain.
int unwind_caller_frames(int, uintptr_t*, int) { return -1; }

bool describe_code_address(uintptr_t address, CodeAddress* out) {
  *out = CodeAddress{};
  if (address == 0) return false;
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(address), &info) == 0) return false;
  out->module = info.dli_fname ? info.dli_fname : "";
  out->module_base = reinterpret_cast<uintptr_t>(info.dli_fbase);
  if (info.dli_saddr) {
    out->symbol_start = reinterpret_cast<uintptr_t>(info.dli_saddr);
    out->symbol = info.dli_sname;
  }
  return true;
}

int crash_file_open_append(const char* path) {
  int fd;
  do {
    fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

void crash_file_write(int fd, const char* text, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, text, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    size -= static_cast<size_t>(n);
  }
}

void crash_file_close(int fd) {
  if (fd >= 0 && fd != standard_error_fd) close(fd);
}

// Sets the signal's handler and lets the signal through on this thread.
static void handle_and_unblock(int signal, void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, signal);
  pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
}

void die_by_signal(int signal) {
  handle_and_unblock(signal, SIG_DFL, 0);
  raise(signal);
  // Only a signal whose default action does not end the process gets here.
  _exit(128 + signal);
}

void arm_crash_watchdog(int signal, unsigned seconds) {
  CrashSignalState& s = state();
  s.watchdog_signal = signal;
  handle_and_unblock(SIGALRM, on_watchdog, SA_ONSTACK);
  alarm(seconds);
}

}  // namespace platform
