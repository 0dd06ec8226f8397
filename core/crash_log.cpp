#include "core/crash_log.h"

#include <cxxabi.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "platform/crash_posix.h"

const char* const crash_notice =
    "This application has crashed.  Please send the file crash_log.txt to Corvenna.\n";

namespace {

struct ExceptionName {
  const char* name;
  uint32_t code;
};

const ExceptionName kExceptionNames[22] = {
    {"EXCEPTION_ACCESS_VIOLATION", platform::exception_access_violation},
    {"EXCEPTION_DATATYPE_MISALIGNMENT", platform::exception_datatype_misalignment},
    {"EXCEPTION_BREAKPOINT", platform::exception_breakpoint},
    {"EXCEPTION_SINGLE_STEP", platform::exception_single_step},
    {"EXCEPTION_ARRAY_BOUNDS_EXCEEDED", platform::exception_array_bounds_exceeded},
    {"EXCEPTION_FLT_DENORMAL_OPERAND", platform::exception_flt_denormal_operand},
    {"EXCEPTION_FLT_DIVIDE_BY_ZERO", platform::exception_flt_divide_by_zero},
    {"EXCEPTION_FLT_INEXACT_RESULT", platform::exception_flt_inexact_result},
    {"EXCEPTION_FLT_INVALID_OPERATION", platform::exception_flt_invalid_operation},
    {"EXCEPTION_FLT_OVERFLOW", platform::exception_flt_overflow},
    {"EXCEPTION_FLT_STACK_CHECK", platform::exception_flt_stack_check},
    {"EXCEPTION_FLT_UNDERFLOW", platform::exception_flt_underflow},
    {"EXCEPTION_INT_DIVIDE_BY_ZERO", platform::exception_int_divide_by_zero},
    {"EXCEPTION_INT_OVERFLOW", platform::exception_int_overflow},
    {"EXCEPTION_PRIV_INSTRUCTION", platform::exception_priv_instruction},
    {"EXCEPTION_IN_PAGE_ERROR", platform::exception_in_page_error},
    {"EXCEPTION_ILLEGAL_INSTRUCTION", platform::exception_illegal_instruction},
    {"EXCEPTION_NONCONTINUABLE_EXCEPTION", platform::exception_noncontinuable_exception},
    {"EXCEPTION_STACK_OVERFLOW", platform::exception_stack_overflow},
    {"EXCEPTION_INVALID_DISPOSITION", platform::exception_invalid_disposition},
    {"EXCEPTION_GUARD_PAGE", platform::exception_guard_page},
    {"EXCEPTION_INVALID_HANDLE", platform::exception_invalid_handle},
};

// Seconds the crash report may take before the process is ended by its signal anyway
// (the crashed code may hold the log's lock).
struct CrashLogState {
  unsigned report_time_limit = 10;
};

CrashLogState& state() {
  static CrashLogState s;
  return s;
}
constexpr int kMaxCrawlLines = platform::crash_crawl_limit;

// Where a crash report goes: a file descriptor, or a string when crawling for a caller.
struct CrashOut {
  int fd = -1;
  std::string* text = nullptr;
};

// One line of a crash report, built without allocating so it can be used in the signal
// handler. Text past the buffer is cut off.
class CrashLine {
 public:
  CrashLine& put(const char* s) { return put(s, std::strlen(s)); }
  CrashLine& put(const char* s, size_t n) {
    for (size_t i = 0; i < n && len_ < sizeof(buf_) - 1; ++i) buf_[len_++] = s[i];
    return *this;
  }
  // Hexadecimal with at least `min_digits` digits: "%08x" / "%08X", wider when needed.
  CrashLine& hex(uint64_t v, int min_digits, bool upper = false) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char tmp[16];
    int n = 0;
    do {
      tmp[n++] = digits[v & 15];
      v >>= 4;
    } while (v != 0);
    for (int i = n; i < min_digits; ++i) put("0", 1);
    while (n > 0) put(&tmp[--n], 1);
    return *this;
  }
  CrashLine& decimal(uint64_t v) {
    char tmp[24];
    int n = 0;
    do {
      tmp[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    while (n > 0) put(&tmp[--n], 1);
    return *this;
  }
  // The crawl's " % 2d) " line number.
  CrashLine& line_number(int n) {
    put("  ");  // the leading blank and the blank sign of a non-negative number
    return decimal(static_cast<uint64_t>(n)).put(") ");
  }
  void write(const CrashOut& out) {
    if (out.text) out.text->append(buf_, len_);
    if (out.fd >= 0) platform::crash_file_write(out.fd, buf_, len_);
    len_ = 0;
  }

 private:
  char buf_[2048];
  size_t len_ = 0;
};

const char* base_name(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/') name = p + 1;
  return name;
}

// Symbol and module of a code address. Names are demangled only outside the signal
// handler, since demangling allocates.
void describe_address(CrashLine& line, uintptr_t address, uintptr_t lookup, bool demangle) {
  platform::CodeAddress code;
  bool in_module = platform::describe_code_address(lookup, &code);
  if (in_module && code.symbol && *code.symbol) {
    char* readable = nullptr;
    int status = -1;
    if (demangle) readable = abi::__cxa_demangle(code.symbol, nullptr, nullptr, &status);
    line.put(readable && status == 0 ? readable : code.symbol);
    std::free(readable);
    line.put(" + ").decimal(address - code.symbol_start);
  } else if (in_module && code.symbol_start) {
    line.put("0x").hex(code.symbol_start, 8).put(" + ").decimal(address - code.symbol_start);
  } else {
    line.put("0x").hex(address, 8);
  }
  if (!in_module) {
    line.put(" (?\?\?)\n");
  } else if (code.module && *code.module) {
    line.put(" (").put(base_name(code.module)).put(" + ").decimal(address - code.module_base).put(")\n");
  } else {
    line.put(" (0x").hex(code.module_base, 8).put(" + ").decimal(address - code.module_base).put(")\n");
  }
}

// One line for a frame's return address. The call may be a function's last instruction:
// look up the call itself, not what follows it.
void write_return_line(const CrashOut& out, CrashLine& line, int number, uintptr_t return_address, bool demangle) {
  line.line_number(number);
  describe_address(line, return_address, return_address - 1, demangle);
  line.write(out);
}

// The frames above `address`: the return addresses the platform unwound when `unwound_count`
// is not negative, else the frame records (caller's frame pointer, return address) walked
// upwards from `frame_pointer`, each read only when it is readable.
void write_crawl(const CrashOut& out, uintptr_t frame_pointer, uintptr_t address, bool demangle,
                 const uintptr_t* unwound = nullptr, int unwound_count = -1) {
  CrashLine line;
  int number = 0;
  if (address != 0) {
    line.line_number(number++);
    describe_address(line, address, address, demangle);
    line.write(out);
  }
  if (unwound_count >= 0) {
    for (int i = 0; i < unwound_count && number < kMaxCrawlLines && unwound[i] != 0; ++i)
      write_return_line(out, line, number++, unwound[i], demangle);
    return;
  }
  uintptr_t frame = frame_pointer;
  while (number < kMaxCrawlLines && frame != 0 && frame % sizeof(uintptr_t) == 0) {
    uintptr_t record[2];
    if (!platform::read_memory(frame, record, sizeof record)) break;
    uintptr_t next = record[0], return_address = record[1];
    if (return_address == 0) break;
    write_return_line(out, line, number++, return_address, demangle);
    if (next <= frame) break;
    frame = next;
  }
}

void write_exception_lines(const CrashOut& out, const platform::CrashSignal& c) {
  CrashLine line;
  const char* name = exception_name(c.exception_code);
  line.put("Unhandled exception: ").put(name ? name : "Unknown").put(" (");
  line.hex(name ? c.exception_code : static_cast<uint32_t>(c.signal), 8, true).put(")\n");
  line.put("Flags=").hex(static_cast<uint32_t>(c.code), 1).put(", Address = 0x").hex(c.address, 8).put("\n");
  line.write(out);
}

// Runs on the crashing thread inside the signal handler.
void report_crash(const platform::CrashSignal& c) {
  platform::arm_crash_watchdog(c.signal, state().report_time_limit);
  int fd = platform::crash_file_open_append("crash_log.txt");
  CrashOut out;
  out.fd = fd >= 0 ? fd : platform::standard_error_fd;
  write_exception_lines(out, c);
  write_crawl(out, c.frame_pointer, c.instruction, false, c.return_addresses,
              c.unwound ? c.return_address_count : -1);
  if (fd >= 0) platform::crash_file_close(fd);
  log_write(crash_notice);
  log_flush();
}

}  // namespace

int install_crash_handler() { return platform::install_crash_signals(report_crash); }

int install_crash_handler_for_thread() { return platform::add_crash_stack_for_thread(); }

void release_crash_handler_for_thread() { platform::remove_crash_stack_for_thread(); }

void set_crash_report_time_limit(unsigned seconds) { state().report_time_limit = seconds ? seconds : 1; }

const char* exception_name(uint32_t code) {
  if (code == 0) return nullptr;
  for (const ExceptionName& e : kExceptionNames)
    if (e.code == code) return e.name;
  return nullptr;
}

// The public crawls start at their own frame, whose return address is the caller; where the
// platform unwinds the frames itself, it leaves out the crawl's own frame.
__attribute__((noinline)) int append_stack_crawl(const std::string& path) {
  uintptr_t unwound[kMaxCrawlLines];
  const int count = platform::unwind_caller_frames(1, unwound, kMaxCrawlLines);
  uintptr_t frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  int fd = platform::crash_file_open_append(path.c_str());
  if (fd < 0) return errno;
  CrashOut out;
  out.fd = fd;
  write_crawl(out, frame, 0, true, unwound, count);
  platform::crash_file_close(fd);
  return 0;
}

__attribute__((noinline)) void stack_crawl(int fd, uintptr_t frame_pointer, uintptr_t address) {
  uintptr_t unwound[kMaxCrawlLines];
  const int count = frame_pointer == 0 ? platform::unwind_caller_frames(1, unwound, kMaxCrawlLines) : -1;
  if (frame_pointer == 0) frame_pointer = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  CrashOut out;
  out.fd = fd;
  write_crawl(out, frame_pointer, address, true, unwound, count);
}

__attribute__((noinline)) std::string stack_crawl_text(uintptr_t frame_pointer, uintptr_t address) {
  uintptr_t unwound[kMaxCrawlLines];
  const int count = frame_pointer == 0 ? platform::unwind_caller_frames(1, unwound, kMaxCrawlLines) : -1;
  if (frame_pointer == 0) frame_pointer = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  std::string text;
  CrashOut out;
  out.text = &text;
  write_crawl(out, frame_pointer, address, true, unwound, count);
  return text;
}
