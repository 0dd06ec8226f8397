#include <windows.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "platform/crash_posix.h"
#include "platform/windows_text.h"

namespace platform {

namespace {

constexpr uintptr_t kStackOverflowReach = 64 * 1024;
// Room the system keeps on each thread's stack for the filter after a stack overflow.
constexpr ULONG kStackGuarantee = 64 * 1024;

struct CrashFilterState {
  std::atomic<CrashReporter> reporter{nullptr};
  std::atomic<int> watchdog_signal{0};
  std::atomic<unsigned> watchdog_seconds{0};
  char module_name[MAX_PATH * 3] = {};  // the last module a code address was found in
};
CrashFilterState& state() {
  static CrashFilterState s;
  return s;
}

// The signal a POSIX system would have sent for the exception.
int signal_for_exception(DWORD code) {
  switch (code) {
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION: return SIGILL;
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW: return SIGFPE;
    case EXCEPTION_BREAKPOINT:
    case EXCEPTION_SINGLE_STEP: return SIGABRT;
    default: return SIGSEGV;
  }
}

// Unwinds `context` frame by frame through the unwind tables the compiler leaves for every
// function (GCC's x64 frames do not reliably chain through rbp), writing each return
// address after the first `skip`. Stops at the end of the thread's stack, at a frame that
// does not move up the stack, or at a return address of 0. Reads nothing outside the
// thread's stack except through read_memory, and allocates nothing: the crash path uses it.
int unwind_context(CONTEXT& context, int skip, uintptr_t* out, int max) {
  ULONG_PTR low = 0, high = 0;
  GetCurrentThreadStackLimits(&low, &high);
  int count = 0;
  while (count < max) {
    const uintptr_t stack = static_cast<uintptr_t>(context.Rsp);
    if (stack < low || stack >= high || stack % sizeof(uintptr_t) != 0) break;
    DWORD64 image_base = 0;
    RUNTIME_FUNCTION* entry = RtlLookupFunctionEntry(context.Rip, &image_base, nullptr);
    if (entry) {
      void* handler_data = nullptr;
      DWORD64 establisher_frame = 0;
      RtlVirtualUnwind(UNW_FLAG_NHANDLER, image_base, context.Rip, entry, &context, &handler_data,
                       &establisher_frame, nullptr);
    } else {
      // A function without unwind data is a leaf: its return address is on top of the stack.
      DWORD64 return_address = 0;
      if (!read_memory(stack, &return_address, sizeof return_address)) break;
      context.Rip = return_address;
      context.Rsp += sizeof return_address;
    }
    if (context.Rip == 0 || static_cast<uintptr_t>(context.Rsp) <= stack) break;
    if (skip > 0) {
      --skip;
      continue;
    }
    out[count++] = static_cast<uintptr_t>(context.Rip);
  }
  return count;
}

LONG WINAPI unhandled_exception(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* r = info->ExceptionRecord;
  const CONTEXT* context = info->ContextRecord;
  CrashSignal c;
  c.exception_code = r->ExceptionCode;
  c.signal = signal_for_exception(r->ExceptionCode);
  c.code = static_cast<int>(r->ExceptionFlags);
  c.address = reinterpret_cast<uintptr_t>(r->ExceptionAddress);
  // A memory fault names the data address it could not reach.
  if ((r->ExceptionCode == EXCEPTION_ACCESS_VIOLATION || r->ExceptionCode == EXCEPTION_IN_PAGE_ERROR) &&
      r->NumberParameters >= 2)
    c.address = static_cast<uintptr_t>(r->ExceptionInformation[1]);
  c.instruction = static_cast<uintptr_t>(context->Rip);
  c.frame_pointer = static_cast<uintptr_t>(context->Rbp);
  c.stack_pointer = static_cast<uintptr_t>(context->Rsp);
  // Unwound from a copy: the context is the system's, to resume or end the thread by.
  CONTEXT unwinding = *context;
  c.return_address_count = unwind_context(unwinding, 0, c.return_addresses, crash_crawl_limit);
  c.unwound = true;
  CrashReporter reporter = state().reporter.load();
  if (reporter) reporter(c);
  // The process ends with the exception's code, as it would without a filter.
  TerminateProcess(GetCurrentProcess(), r->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

DWORD WINAPI watchdog(void*) {
  Sleep(state().watchdog_seconds.load() * 1000);
  die_by_signal(state().watchdog_signal.load());
}

// The exported function of a module nearest below `address`, from its export table.
void nearest_export(uintptr_t base, uintptr_t address, CodeAddress* out) {
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  IMAGE_NT_HEADERS64 nt;
  if (!read_memory(base + dos->e_lfanew, &nt, sizeof nt)) return;
  const IMAGE_DATA_DIRECTORY& dir = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (dir.VirtualAddress == 0 || dir.Size == 0) return;
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
  auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    uintptr_t start = base + functions[ordinals[i]];
    if (start > address || start <= out->symbol_start) continue;
    out->symbol_start = start;
    out->symbol = reinterpret_cast<const char*>(base + names[i]);
  }
}

}  // namespace

int install_crash_signals(CrashReporter reporter) {
  state().reporter.store(reporter);
  SetUnhandledExceptionFilter(unhandled_exception);
  // No system dialog: the report is ours.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  return add_crash_stack_for_thread();
}

int add_crash_stack_for_thread() {
  ULONG size = kStackGuarantee;
  return SetThreadStackGuarantee(&size) ? 0 : static_cast<int>(GetLastError());
}

void remove_crash_stack_for_thread() {}

uint32_t exception_code_for_signal(int signal, int code, uintptr_t address, uintptr_t stack_pointer) {
  switch (signal) {
    case SIGSEGV: {
      uintptr_t low = stack_pointer > kStackOverflowReach ? stack_pointer - kStackOverflowReach : 0;
      bool near_stack = stack_pointer != 0 && address >= low && address < stack_pointer + kStackOverflowReach;
      return near_stack ? exception_stack_overflow : exception_access_violation;
    }
    case SIGILL: return exception_illegal_instruction;
    case SIGFPE: return exception_int_divide_by_zero;
    default: return 0;
  }
}

// Not inlined, so that the captured context is this function's and one unwind reaches the caller.
__attribute__((noinline)) int unwind_caller_frames(int skip, uintptr_t* out, int max) {
  CONTEXT context;
  RtlCaptureContext(&context);
  return unwind_context(context, skip, out, max);
}

bool read_memory(uintptr_t address, void* out, size_t size) {
  SIZE_T got = 0;
  return ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(address), out, size, &got) &&
         got == size;
}

bool describe_code_address(uintptr_t address, CodeAddress* out) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(address), &module))
    return false;
  *out = CodeAddress();
  out->module_base = reinterpret_cast<uintptr_t>(module);
  char* name = state().module_name;
  DWORD n = GetModuleFileNameA(module, name, sizeof state().module_name);
  name[n < sizeof state().module_name ? n : 0] = '\0';
  for (char* p = name; *p; ++p)
    if (*p == '\\') *p = '/';
  out->module = name;
  nearest_export(out->module_base, address, out);
  return true;
}

int crash_file_open_append(const char* path) {
  // The UTF-8 name as the wide call takes it, without allocating (the crash path uses this).
  wchar_t wide[MAX_PATH * 4];
  if (MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, MAX_PATH * 4) == 0) {
    errno = ENAMETOOLONG;
    return -1;
  }
  for (wchar_t* p = wide; *p; ++p)
    if (*p == L'/') *p = L'\\';
  HANDLE h = CreateFileW(wide, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = errno_from_system(GetLastError());  // the callers report errno, as open() sets it
    return -1;
  }
  return static_cast<int>(reinterpret_cast<intptr_t>(h));
}

void crash_file_write(int fd, const char* text, size_t size) {
  HANDLE h = fd == standard_error_fd ? GetStdHandle(STD_ERROR_HANDLE) : reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd));
  DWORD written = 0;
  if (h && h != INVALID_HANDLE_VALUE) WriteFile(h, text, static_cast<DWORD>(size), &written, nullptr);
}

void crash_file_close(int fd) {
  if (fd >= 0 && fd != standard_error_fd) CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)));
}

void die_by_signal(int signal) {
  // The exit status a POSIX shell shows for a process ended by a signal.
  TerminateProcess(GetCurrentProcess(), 128 + static_cast<UINT>(signal));
  for (;;) Sleep(INFINITE);
}

void arm_crash_watchdog(int signal, unsigned seconds) {
  state().watchdog_signal.store(signal);
  state().watchdog_seconds.store(seconds);
  HANDLE t = CreateThread(nullptr, 64 * 1024, watchdog, nullptr, 0, nullptr);
  if (t) CloseHandle(t);
}

}  // namespace platform
