#pragma once
// Fatal signals and what a crash report needs from the system: the alternate stack the
// handler runs on, the faulting context, safe memory reads and code-address lookup.
// Everything here may be called from a signal handler unless it says otherwise.

#include <cstddef>
#include <cstdint>

namespace platform {

// Windows exception codes: a fatal signal is labelled with the closest one.
enum : uint32_t {
  exception_access_violation = 0xC0000005u,
  exception_datatype_misalignment = 0x80000002u,
  exception_breakpoint = 0x80000003u,
  exception_single_step = 0x80000004u,
  exception_array_bounds_exceeded = 0xC000008Cu,
  exception_flt_denormal_operand = 0xC000008Du,
  exception_flt_divide_by_zero = 0xC000008Eu,
  exception_flt_inexact_result = 0xC000008Fu,
  exception_flt_invalid_operation = 0xC0000090u,
  exception_flt_overflow = 0xC0000091u,
  exception_flt_stack_check = 0xC0000092u,
  exception_flt_underflow = 0xC0000093u,
  exception_int_divide_by_zero = 0xC0000094u,
  exception_int_overflow = 0xC0000095u,
  exception_priv_instruction = 0xC0000096u,
  exception_in_page_error = 0xC0000006u,
  exception_illegal_instruction = 0xC000001Du,
  exception_noncontinuable_exception = 0xC0000025u,
  exception_stack_overflow = 0xC00000FDu,
  exception_invalid_disposition = 0xC0000026u,
  exception_guard_page = 0x80000001u,
  exception_invalid_handle = 0xC0000008u,
};

// The most frames a stack crawl follows.
constexpr int crash_crawl_limit = 100;

// One fatal signal as the handler saw it.
struct CrashSignal {
  int signal = 0;
  int code = 0;                 // si_code: how the signal came about
  uint32_t exception_code = 0;  // closest Windows exception code, 0 when none fits
  uintptr_t address = 0;        // the faulting address (the data address of a memory fault)
  uintptr_t instruction = 0;    // where the thread was stopped
  uintptr_t frame_pointer = 0;
  uintptr_t stack_pointer = 0;
  // Where a system's frames do not chain through the frame pointer (x64 Windows), the
  // platform unwinds the stack from the faulting context itself: the return addresses of
  // the frames above the faulting one, innermost first. Not unwound: follow frame_pointer.
  bool unwound = false;
  int return_address_count = 0;
  uintptr_t return_addresses[crash_crawl_limit] = {};
};

// Called on the crashing thread, on the alternate stack, with the other fatal signals
// blocked. When it returns the process ends by the same signal.
using CrashReporter = void (*)(const CrashSignal&);

// Installs the handlers for the fatal signals and an alternate stack for the calling
// thread. Safe to call again (the reporter is replaced). Not for signal handlers.
int install_crash_signals(CrashReporter reporter);
// Gives the calling thread its own alternate stack, so that a stack overflow on it is
// reported too. A thread started after install_crash_signals needs this once.
int add_crash_stack_for_thread();
// Removes the calling thread's alternate stack (before the thread ends).
void remove_crash_stack_for_thread();

// The closest Windows exception code for a signal and its si_code; 0 when none fits.
// A segmentation fault close to the stack pointer is a stack overflow.
uint32_t exception_code_for_signal(int signal, int code, uintptr_t address, uintptr_t stack_pointer);

// Copies `size` bytes at `address` into `out`; false (and nothing read) when any of them
// is not readable. Never faults.
bool read_memory(uintptr_t address, void* out, size_t size);

// What the loader knows about a code address. Strings belong to the loader.
struct CodeAddress {
  const char* symbol = nullptr;  // exported symbol containing the address, or null
  uintptr_t symbol_start = 0;    // its start, 0 when unknown
  const char* module = nullptr;  // path of the module containing the address ("" when unnamed)
  uintptr_t module_base = 0;
};
// False when no loaded module contains the address.
bool describe_code_address(uintptr_t address, CodeAddress* out);

// The return addresses of the calling thread's frames, innermost first: out[0] is the one
// into this function's caller, unless `skip` frames are left out first. Returns how many
// were written (at most `max`), or -1 when this system's frames are followed through their
// frame pointers instead (Linux). Allocates nothing.
int unwind_caller_frames(int skip, uintptr_t* out, int max);

// Unbuffered output for the crash path. open returns -1 when the file cannot be opened.
int crash_file_open_append(const char* path);
void crash_file_write(int fd, const char* text, size_t size);
void crash_file_close(int fd);
constexpr int standard_error_fd = 2;

// Puts the default action back and sends the signal again, so the process ends by it.
[[noreturn]] void die_by_signal(int signal);
// If the report hangs (a lock held by the code that crashed), end the process by `signal`
// after `seconds` anyway.
void arm_crash_watchdog(int signal, unsigned seconds);

}  // namespace platform
