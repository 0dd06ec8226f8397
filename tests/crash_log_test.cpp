#include "core/crash_log.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <fenv.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <vector>

#include "core/log.h"
#include "tests/test_util.h"

namespace {

// Each crash happens in a forked child (a death test) whose working folder is `dir`.
class CrashLog : public ::testing::Test {
 protected:
  TempDir dir;
  std::string crash_log() const { return read_file(dir / "crash_log.txt"); }
  std::string log() const { return read_file(dir / "log.txt"); }
};

// The child's side: the folder is its working folder and holds its log. No core files.
void enter_crash_folder(const std::string& folder) {
  rlimit no_core{0, 0};
  setrlimit(RLIMIT_CORE, &no_core);
  if (chdir(folder.c_str()) != 0) std::_Exit(90);
  log_open(folder + "log.txt");
  if (install_crash_handler() != 0) std::_Exit(91);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Each crawl line: " % 2d) ", what the address is, then its module and offset.
const std::regex kCrawlLine(R"(^  (\d+)\) (.+) \((.+ \+ \d+|0x[0-9a-f]{8,} \+ \d+|\?\?\?)\)$)");

// Checks the numbering and the form of each crawl line; returns the module parts.
std::vector<std::string> check_crawl(const std::vector<std::string>& lines, size_t from, int first_number) {
  std::vector<std::string> modules;
  int expected = first_number;
  for (size_t i = from; i < lines.size(); ++i) {
    std::smatch m;
    if (!std::regex_match(lines[i], m, kCrawlLine)) {
      ADD_FAILURE() << "not a crawl line: '" << lines[i] << "'";
      continue;
    }
    EXPECT_EQ(std::stoi(m[1]), expected++) << lines[i];
    modules.push_back(m[3]);
  }
  return modules;
}

int count_starting(const std::vector<std::string>& modules, const std::string& prefix) {
  int n = 0;
  for (const std::string& m : modules) n += m.rfind(prefix, 0) == 0;
  return n;
}

// What every crash leaves: the two header lines, a crawl from line 0 whose first frames lie
// in this program, and the notice in the log.
void check_report(const std::string& crash_log, const std::string& log, const std::string& header,
                  const std::string& flags_line, int min_program_frames = 2) {
  SCOPED_TRACE(header);
  std::vector<std::string> lines = lines_of(crash_log);
  ASSERT_GE(lines.size(), 3u) << crash_log;
  EXPECT_EQ(lines[0], header);
  if (!flags_line.empty()) {
    EXPECT_EQ(lines[1], flags_line);
  }
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(Flags=[0-9a-f]+, Address = 0x[0-9a-f]{8,})")))
      << lines[1];
  std::vector<std::string> modules = check_crawl(lines, 2, 0);
  EXPECT_GE(count_starting(modules, "zephiro_tests + "), min_program_frames) << crash_log;
  if (!modules.empty() && min_program_frames > 0) {
    EXPECT_EQ(modules[0].rfind("zephiro_tests + ", 0), 0u) << crash_log;
  }
  EXPECT_NE(log.find(crash_notice), std::string::npos) << log;
}

volatile int g_zero = 0;
volatile int g_never = -1;

// These fault on purpose: the sanitizer builds are told to let the fault happen, so that
// the program's own handler is what reports it.
#define FAULTS_ON_PURPOSE __attribute__((noinline, no_sanitize("address", "undefined")))

FAULTS_ON_PURPOSE void write_through_null() {
  volatile int* volatile p = nullptr;
  *p = 1;
}
__attribute__((noinline)) void crash_caller() {
  write_through_null();
  g_zero = g_zero + 1;  // keeps the call from becoming a jump
}

FAULTS_ON_PURPOSE int divide_by_zero() {
  volatile int hundred = 100;
  return hundred / g_zero;
}

FAULTS_ON_PURPOSE int recurse(int depth) {
  volatile char pad[512];
  pad[0] = static_cast<char>(depth);
  if (depth == g_never) return 0;
  return recurse(depth + 1) + pad[0];
}

void overflow_a_small_main_stack() {
  rlimit small{1 << 20, 1 << 20};
  setrlimit(RLIMIT_STACK, &small);
  recurse(0);
}

FAULTS_ON_PURPOSE void divide_by_float_zero() {
  feenableexcept(FE_DIVBYZERO);
  volatile double one = 1.0;
  volatile double zero = 0.0;
  one = one / zero;
}

void* overflow_on_thread(void*) {
  if (install_crash_handler_for_thread() != 0) std::_Exit(92);
  recurse(0);
  return nullptr;
}

#if defined(__x86_64__)
// With the processor's alignment check on, an int read from an odd address is a bus error.
FAULTS_ON_PURPOSE void read_misaligned() {
  alignas(8) static char bytes[16] = {};
  int* volatile odd = reinterpret_cast<int*>(bytes + 1);
  __asm__ volatile("pushf\n\torl $0x40000, (%%rsp)\n\tpopf" ::: "memory", "cc");
  g_never = *odd;
}
#endif

void run_overflowing_thread() {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  pthread_t t;
  if (pthread_create(&t, &attr, overflow_on_thread, nullptr) != 0) std::_Exit(93);
  pthread_join(t, nullptr);
}

}  // namespace

TEST_F(CrashLog, SegmentationFaultIsAnAccessViolationWithACrawl) {
  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        crash_caller();
      },
      ::testing::KilledBySignal(SIGSEGV), "");
  check_report(crash_log(), log(), "Unhandled exception: EXCEPTION_ACCESS_VIOLATION (C0000005)",
               "Flags=1, Address = 0x00000000", 3);
}

TEST_F(CrashLog, WriteToReadOnlyPageNamesTheAddress) {
  void* page = mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(page, MAP_FAILED);
  std::ostringstream flags;
  flags << "Flags=2, Address = 0x" << std::hex << reinterpret_cast<uintptr_t>(page);
  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        *static_cast<volatile int*>(page) = 7;
      },
      ::testing::KilledBySignal(SIGSEGV), "");
  munmap(page, 4096);
  check_report(crash_log(), log(), "Unhandled exception: EXCEPTION_ACCESS_VIOLATION (C0000005)",
               flags.str());
}

TEST_F(CrashLog, ArithmeticAndInstructionFaults) {
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        g_never = divide_by_zero();
      },
      ::testing::KilledBySignal(SIGFPE), "");
  check_report(crash_log(), log(), "Unhandled exception: EXCEPTION_INT_DIVIDE_BY_ZERO (C0000094)", "", 1);
  std::remove((dir / "crash_log.txt").c_str());

  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        divide_by_float_zero();
      },
      ::testing::KilledBySignal(SIGFPE), "");
  check_report(crash_log(), log(), "Unhandled exception: EXCEPTION_FLT_DIVIDE_BY_ZERO (C000008E)", "", 1);
  std::remove((dir / "crash_log.txt").c_str());

  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        __asm__ volatile("int3");
      },
      ::testing::KilledBySignal(SIGTRAP), "");
  check_report(crash_log(), log(), "Unhandled exception: EXCEPTION_BREAKPOINT (80000003)", "", 1);
  std::remove((dir / "crash_log.txt").c_str());
#endif

  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        __builtin_trap();
      },
      ::testing::KilledBySignal(SIGILL), "");
  check_report(crash_log(), log(), "Unhandled exception: EXCEPTION_ILLEGAL_INSTRUCTION (C000001D)", "", 1);
}

TEST_F(CrashLog, StackOverflowOnTheMainThreadAndOnAWorker) {
  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        overflow_a_small_main_stack();
      },
      ::testing::KilledBySignal(SIGSEGV), "");
  // The crawl ends at the 100-line limit, deep in the recursion.
  check_report(crash_log(), log(), "Unhandled exception: EXCEPTION_STACK_OVERFLOW (C00000FD)", "", 99);
  EXPECT_EQ(lines_of(crash_log()).size(), 102u);
  std::remove((dir / "crash_log.txt").c_str());

  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        run_overflowing_thread();
      },
      ::testing::KilledBySignal(SIGSEGV), "");
  check_report(crash_log(), log(), "Unhandled exception: EXCEPTION_STACK_OVERFLOW (C00000FD)", "", 99);
}

TEST_F(CrashLog, BusErrorsOfATruncatedMappingAndOfMisalignment) {
  std::string data = dir / "mapped.bin";
  write_file(data, std::string(8192, 'x'));
  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        int fd = open(data.c_str(), O_RDWR);
        void* view = mmap(nullptr, 8192, PROT_READ, MAP_SHARED, fd, 0);
        if (fd < 0 || view == MAP_FAILED || ftruncate(fd, 0) != 0) std::_Exit(94);
        g_never = static_cast<volatile char*>(view)[4096];
      },
      ::testing::KilledBySignal(SIGBUS), "");
  check_report(crash_log(), log(), "Unhandled exception: EXCEPTION_IN_PAGE_ERROR (C0000006)", "", 1);
  std::remove((dir / "crash_log.txt").c_str());

#if defined(__x86_64__)
  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        read_misaligned();
      },
      ::testing::KilledBySignal(SIGBUS), "");
  check_report(crash_log(), log(), "Unhandled exception: EXCEPTION_DATATYPE_MISALIGNMENT (80000002)", "", 1);
#endif
}

TEST_F(CrashLog, AbortIsUnknownWithTheSignalNumber) {
  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        std::abort();
      },
      ::testing::KilledBySignal(SIGABRT), "");
  // abort() stops inside the C library, whose code keeps no frame chain to follow.
  check_report(crash_log(), log(), "Unhandled exception: Unknown (00000006)", "", 0);
}

TEST_F(CrashLog, ReportsAppendAndFallBackToStandardError) {
  for (int i = 0; i < 2; ++i)
    EXPECT_EXIT(
        {
          enter_crash_folder(dir.path());
          crash_caller();
        },
        ::testing::KilledBySignal(SIGSEGV), "");
  std::string text = crash_log();
  size_t first = text.find("Unhandled exception: EXCEPTION_ACCESS_VIOLATION");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(text.find("Unhandled exception: EXCEPTION_ACCESS_VIOLATION", first + 1), std::string::npos);

  // A crash log that cannot be opened (here a folder of that name): standard error gets it.
  TempDir other;
  ASSERT_EQ(mkdir((other / "crash_log.txt").c_str(), 0700), 0);
  EXPECT_EXIT(
      {
        enter_crash_folder(other.path());
        crash_caller();
      },
      ::testing::KilledBySignal(SIGSEGV),
      "Unhandled exception: EXCEPTION_ACCESS_VIOLATION \\(C0000005\\)\nFlags=1, Address = 0x00000000\n  0\\) ");
}

TEST_F(CrashLog, CrashWhileTheLogIsLockedStillEndsByTheSignal) {
  // The crash happens inside the log's lock, so the notice cannot be written: the report
  // is still complete and the process still dies by its signal.
  EXPECT_EXIT(
      {
        enter_crash_folder(dir.path());
        set_crash_report_time_limit(1);
        log_set_capture(reinterpret_cast<std::string*>(16));
        LOG << "never written";
      },
      ::testing::KilledBySignal(SIGSEGV), "");
  std::vector<std::string> lines = lines_of(crash_log());
  ASSERT_GE(lines.size(), 4u) << crash_log();
  EXPECT_EQ(lines[0], "Unhandled exception: EXCEPTION_ACCESS_VIOLATION (C0000005)");
  check_crawl(lines, 2, 0);
  EXPECT_EQ(log().find(crash_notice), std::string::npos);
}

namespace {

__attribute__((noinline)) std::string crawl_three_deep(int n) {
  std::string text = n == 0 ? stack_crawl_text() : crawl_three_deep(n - 1);
  g_zero = g_zero + 0;  // not a tail call
  return text;
}

// A made-up chain of frame records inside one buffer, each pointing to the next.
struct FakeFrames {
  std::vector<uintptr_t> words;
  explicit FakeFrames(size_t count) : words(2 * count) {
    uintptr_t code = reinterpret_cast<uintptr_t>(&crash_caller) + 4;
    for (size_t i = 0; i < count; ++i) {
      words[2 * i] = i + 1 < count ? reinterpret_cast<uintptr_t>(&words[2 * i + 2]) : 0;
      words[2 * i + 1] = code;
    }
  }
  uintptr_t first() const { return reinterpret_cast<uintptr_t>(words.data()); }
};

}  // namespace

TEST(StackCrawl, CurrentThreadFromItsCallerNumberedFromZero) {
  std::vector<std::string> lines = lines_of(crawl_three_deep(3));
  ASSERT_GE(lines.size(), 5u);
  std::vector<std::string> modules = check_crawl(lines, 0, 0);
  // Four frames of crawl_three_deep, then this test, all in the test program.
  EXPECT_GE(count_starting(modules, "zephiro_tests + "), 5);

  // With an address: line 0 describes it, the frames follow from 1. An exported symbol is named.
  void* fputs_address = dlsym(RTLD_DEFAULT, "fputs");
  ASSERT_NE(fputs_address, nullptr);
  Dl_info libc{};
  ASSERT_NE(dladdr(fputs_address, &libc), 0);
  uintptr_t address = reinterpret_cast<uintptr_t>(fputs_address) + 4;
  lines = lines_of(stack_crawl_text(0, address));
  ASSERT_GE(lines.size(), 2u);
  check_crawl(lines, 0, 0);
  std::string libc_name = libc.dli_fname;
  libc_name = libc_name.substr(libc_name.rfind('/') + 1);
  std::string offset = std::to_string(address - reinterpret_cast<uintptr_t>(libc.dli_fbase));
  EXPECT_TRUE(std::regex_match(lines[0], std::regex("  0\\) \\w*fputs \\+ 4 \\(" + libc_name + " \\+ " + offset + "\\)")))
      << lines[0];
  EXPECT_EQ(lines[1].rfind("  1) ", 0), 0u) << lines[1];
}

TEST(StackCrawl, BrokenChainsEndTheCrawlQuietly) {
  // The walk stops at 100 lines, counting the address line.
  FakeFrames long_chain(150);
  EXPECT_EQ(lines_of(stack_crawl_text(long_chain.first(), 0)).size(), 100u);
  EXPECT_EQ(lines_of(stack_crawl_text(long_chain.first(), 0x10)).size(), 100u);

  // A record pointing back to itself or lower ends the walk after its own line.
  FakeFrames loop(3);
  loop.words[4] = loop.first();
  EXPECT_EQ(lines_of(stack_crawl_text(loop.first(), 0)).size(), 3u);

  // An address outside every module is "???"; a zero return address ends the chain.
  FakeFrames ended(3);
  ended.words[3] = 0;
  std::vector<std::string> lines = lines_of(stack_crawl_text(ended.first(), 0x10));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "  0) 0x00000010 (?\?\?)");
  EXPECT_EQ(lines[1].rfind("  1) ", 0), 0u);

  // A record whose next frame lies on an unreadable page.
  long page = sysconf(_SC_PAGESIZE);
  char* pages = static_cast<char*>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(pages, MAP_FAILED);
  ASSERT_EQ(mprotect(pages + page, page, PROT_NONE), 0);
  uintptr_t* record = reinterpret_cast<uintptr_t*>(pages + page - 2 * sizeof(uintptr_t));
  record[0] = reinterpret_cast<uintptr_t>(pages + page);
  record[1] = reinterpret_cast<uintptr_t>(&crash_caller) + 4;
  EXPECT_EQ(lines_of(stack_crawl_text(reinterpret_cast<uintptr_t>(record), 0)).size(), 1u);
  // A frame pointer into unmapped memory or not aligned to a word: nothing to walk.
  EXPECT_EQ(stack_crawl_text(reinterpret_cast<uintptr_t>(pages + page), 0), "");
  EXPECT_EQ(stack_crawl_text(reinterpret_cast<uintptr_t>(record) + 1, 0), "");
  munmap(pages, 2 * page);
}

TEST(StackCrawl, AppendsToAFile) {
  TempDir dir;
  std::string path = dir / "stack_crawl.txt";
  ASSERT_EQ(append_stack_crawl(path), 0);
  ASSERT_EQ(append_stack_crawl(path), 0);
  std::vector<std::string> lines = lines_of(read_file(path));
  int starts = 0;
  for (const std::string& l : lines) starts += l.rfind("  0) ", 0) == 0;
  EXPECT_EQ(starts, 2);
  EXPECT_GE(lines.size(), 4u);
  // The first frame is this test's body, not the crawl's own machinery.
  EXPECT_EQ(lines[0].find("append_stack_crawl"), std::string::npos) << lines[0];

  ASSERT_EQ(mkdir((dir / "folder").c_str(), 0700), 0);
  EXPECT_NE(append_stack_crawl(dir / "folder"), 0);
}
