// The Windows side of platform/, under Wine: what the program's own modules rely on from the
// files, locks, views, threads, hashes and folders of the system.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/qa_script.h"
#include "core/crash_log.h"
#include "core/log.h"
#include "io/mapped_file.h"
#include "io/md5.h"
#include "io/md5_lanes.h"
#include "platform/child_process.h"
#include "platform/fs.h"
#include "platform/host.h"
#include "platform/mapped_view.h"
#include "platform/system_info.h"
#include "platform/threads_posix.h"
#include "ui/png_image.h"

// Outside the unnamed namespace, so that the export table (what the crawl reads names from)
// has it.
__attribute__((noinline)) void crash_writing_through(volatile int* pointer) { *pointer = 7; }

// Three calls deep to `leaf`, which the crawls must name in order. The empty asm after each
// call keeps it from becoming a jump that would leave no frame behind.
using ChainLeaf = void (*)(void*);
__attribute__((noinline)) void chain_inner(ChainLeaf leaf, void* arg) {
  leaf(arg);
  __asm__ volatile("" ::: "memory");
}
__attribute__((noinline)) void chain_middle(ChainLeaf leaf, void* arg) {
  chain_inner(leaf, arg);
  __asm__ volatile("" ::: "memory");
}
__attribute__((noinline)) void chain_outer(ChainLeaf leaf, void* arg) {
  chain_middle(leaf, arg);
  __asm__ volatile("" ::: "memory");
}
__attribute__((noinline)) void leaf_crashing(void*) {
  crash_writing_through(reinterpret_cast<volatile int*>(uintptr_t(0x10)));
  __asm__ volatile("" ::: "memory");
}
__attribute__((noinline)) void leaf_crawling(void* text) {
  *static_cast<std::string*>(text) = stack_crawl_text();
  __asm__ volatile("" ::: "memory");
}

namespace {

// A fresh folder under the system's temporary folder, removed with its files afterwards.
class WindowsFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = platform::temp_folder() + "/zephiro-platform-" + std::to_string(platform::process_id()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(platform::make_dir(root_), 0) << root_;
  }
  void TearDown() override { remove_tree(root_); }
  static void remove_tree(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    platform::read_dir(folder, entries);
    for (const platform::DirEntry& e : entries)
      e.is_folder ? remove_tree(folder + "/" + e.name) : (void)platform::remove_file(folder + "/" + e.name);
    platform::remove_dir(folder);
  }
  int write_file(const std::string& path, const std::string& bytes) {
    int fd = -1;
    if (int code = platform::create_new_file(path, &fd)) return code;
    int code = platform::write_file_bytes(fd, bytes.data(), bytes.size());
    int closed = platform::close_written_file(fd);
    return code ? code : closed;
  }
  std::string root_;
};

TEST_F(WindowsFolder, Utf8NamesTravelThroughTheWideCallsBothWays) {
  const std::string name = "\xC3\x9C" "berflug \xE2\x9C\x88 \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0.txt";
  const std::string path = root_ + "/" + name;
  ASSERT_EQ(write_file(path, "12345"), 0);
  EXPECT_EQ(write_file(path, "again"), EEXIST);
  std::vector<platform::DirEntry> entries;
  ASSERT_TRUE(platform::read_dir(root_, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, name);
  EXPECT_FALSE(entries[0].is_folder);
  uint64_t size = 0;
  // The same file through the system's separator.
  std::string backslashed = path;
  for (char& c : backslashed)
    if (c == '/') c = '\\';
  EXPECT_EQ(platform::file_size(backslashed, &size), 0);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(platform::path_kind(path), platform::PathKind::regular);
  EXPECT_EQ(platform::path_kind(root_), platform::PathKind::folder);
  EXPECT_EQ(platform::path_kind(root_ + "/nothing"), platform::PathKind::missing);
  std::string signature;
  ASSERT_EQ(md5_of_file(path, signature), 0);
  EXPECT_EQ(signature, "827ccb0eea8a706c4c34a16891f84e7b");  // md5("12345")
}

// The files the program writes and reads by name, in a folder named like a user's
// "C:\Users\Jörg Ωmega": the log, a data file with its header (as the preferences are
// written), a screenshot and a QA script. The C and C++ libraries' narrow opens would take
// these names in the ANSI code page and miss the folder.
TEST_F(WindowsFolder, FilesInAFolderWithANonAsciiNameAreWrittenAndReadBack) {
  const std::string folder = root_ + "/J\xC3\xB6rg \xCE\xA9mega";
  ASSERT_EQ(platform::make_dir(folder), 0);
  auto read_back = [](const std::string& path) {
    int fd = -1;
    std::string bytes;
    if (platform::open_regular_file(path, &fd) != 0) return std::string("(cannot be opened)");
    char buffer[256];
    uint64_t got = 0;
    while (platform::read_file_bytes(fd, buffer, sizeof buffer, &got) == 0 && got > 0) bytes.append(buffer, got);
    platform::close_file(fd);
    return bytes;
  };

  const std::string log = folder + "/Zephiro Installer Log.txt";
  EXPECT_TRUE(log_open(log));
  log_write("the log of J\xC3\xB6rg\n");
  log_close();
  EXPECT_EQ(read_back(log), "the log of J\xC3\xB6rg\n");

  const std::string prefs = folder + "/Zephiro Installer.prf";
  ASSERT_EQ(ouf_open(prefs, kind_text, 10, "no-copyright-string"), 1);
  std::fputs("_log_actions 1\n", ouf_stream());
  ASSERT_EQ(ouf_close(), 0);
  EXPECT_EQ(read_back(prefs), "I\r\n10 version\r\n_log_actions 1\r\n");  // a text file: CR LF
  MappedFile written(prefs);
  const int accepted[] = {10, 0};
  EXPECT_EQ(check_file(written, kind_text, accepted, nullptr, nullptr), 10);

  Image shot;
  shot.width = 2;
  shot.height = 1;
  shot.rgba = {255, 0, 0, 255, 0, 0, 255, 128};
  const std::string picture = folder + "/Welcome \xE2\x9C\x88.png";
  EXPECT_EQ(save_png(picture, shot), png_ok);
  Image back;
  EXPECT_EQ(read_png(picture, back), png_ok);
  EXPECT_EQ(back.rgba, shot.rgba);

  const std::string script = folder + "/script.txt";
  ASSERT_EQ(write_file(script, "wait_text \"Welcome\"\nquit\n"), 0);
  std::string failure;
  set_qa_failure_handler([&](const std::string& message) { failure = message; });
  qa_script_load_file(script);
  EXPECT_TRUE(qa_script_active()) << failure;
  EXPECT_EQ(failure, "");
  reset_qa_script();
  qa_script_load_file(folder + "/no script.txt");  // and one that is not there still fails
  EXPECT_FALSE(qa_script_active());
  EXPECT_NE(failure.find("cannot read the script"), std::string::npos) << failure;
  reset_qa_script();
  set_qa_failure_handler(nullptr);
}

TEST_F(WindowsFolder, ErrorsComeBackAsTheErrnoValuesTheProgramKnows) {
  EXPECT_EQ(platform::make_dir(root_), EEXIST);
  EXPECT_EQ(platform::make_dir(root_ + "/a/b"), ENOENT);
  ASSERT_EQ(platform::make_dir(root_ + "/a"), 0);
  ASSERT_EQ(write_file(root_ + "/a/f", "x"), 0);
  EXPECT_EQ(platform::remove_dir(root_ + "/a"), ENOTEMPTY);
  int fd = -1;
  EXPECT_EQ(platform::open_regular_file(root_ + "/a", &fd), EISDIR);
  EXPECT_EQ(platform::open_regular_file(root_ + "/missing", &fd), ENOENT);
  // A read-only file goes like any other, as unlink() removes it.
  ASSERT_EQ(platform::remove_file(root_ + "/a/f"), 0);
  EXPECT_EQ(platform::remove_file(root_ + "/a/f"), ENOENT);
  EXPECT_FALSE(platform::system_error_text(ENOENT).empty());
}

TEST_F(WindowsFolder, ALockFollowsItsFileThroughARenameAndEndsWithItsHandle) {
  const std::string temp = root_ + "/partial", final_name = root_ + "/final";
  int holder = -1;
  ASSERT_EQ(platform::create_new_file(temp, &holder), 0);
  ASSERT_EQ(platform::lock_held_file(holder), 0);
  int other = -1;
  EXPECT_EQ(platform::try_lock_path(temp, &other), EWOULDBLOCK);
  ASSERT_EQ(platform::rename_path(temp, final_name), 0);  // renamed while locked, as a commit does
  EXPECT_EQ(platform::try_lock_path(final_name, &other), EWOULDBLOCK);
  EXPECT_EQ(platform::close_written_file(holder), 0);
  ASSERT_EQ(platform::try_lock_path(final_name, &other), 0);
  platform::close_file(other);

  // A folder is locked the same way, and its locked files can still be removed by the holder.
  int folder = -1;
  ASSERT_EQ(platform::open_folder(root_, &folder), 0);
  ASSERT_EQ(platform::lock_held_file(folder), 0);
  EXPECT_EQ(platform::try_lock_path(root_, &other), EWOULDBLOCK);
  EXPECT_EQ(platform::remove_file(final_name), 0);
  platform::close_file(folder);
  ASSERT_EQ(platform::try_lock_path(root_, &other), 0);
  platform::close_file(other);
}

TEST_F(WindowsFolder, ViewsAtTheSystemsGranularitySeeTheFilesBytes) {
  const uint64_t granularity = mapping_granularity();
  ASSERT_GE(granularity, 4096u);
  std::string bytes(static_cast<size_t>(granularity) + 100, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  ASSERT_EQ(write_file(root_ + "/data", bytes), 0);
  int handle = -1;
  ASSERT_EQ(open_for_mapping(root_ + "/data", &handle), 0);
  uint64_t size = 0;
  ASSERT_EQ(mapping_file_size(handle, &size), 0);
  EXPECT_EQ(size, bytes.size());
  void* base = nullptr;
  ASSERT_EQ(map_view(handle, granularity, 100, &base), 0);
  EXPECT_EQ(std::memcmp(base, bytes.data() + granularity, 100), 0);
  unmap_view(base, 100);
  char tail[200];
  size_t got = 0;
  ASSERT_EQ(read_view(handle, bytes.size() - 50, sizeof tail, tail, &got), 0);
  EXPECT_EQ(got, 50u);  // the end of the file ends the read
  EXPECT_EQ(std::memcmp(tail, bytes.data() + bytes.size() - 50, 50), 0);
  close_mapping_handle(handle);
  int fd = -1;
  EXPECT_EQ(open_for_mapping(root_, &fd), EISDIR);
}

int sleepy_thread(void* flag) {
  auto* release = static_cast<platform::KernelSemaphore*>(flag);
  platform::semaphore_wait(release, -1);
  return 42;
}

// Disc images are read at offsets by several readers on one handle; the preferences are
// flushed, file then folder, before and after their rename.
TEST_F(WindowsFolder, ReadsAtAnOffsetLeaveThePositionAloneAndFlushesReachTheDisk) {
  const std::string path = root_ + "/image.iso";
  ASSERT_EQ(write_file(path, "0123456789"), 0);
  int fd = -1;
  ASSERT_EQ(platform::open_regular_file(path, &fd), 0);
  char buffer[16] = {};
  uint64_t got = 99;
  ASSERT_EQ(platform::read_file_bytes_at(fd, 6, buffer, 3, &got), 0);
  EXPECT_EQ(std::string(buffer, got), "678");
  ASSERT_EQ(platform::read_file_bytes_at(fd, 7, buffer, 16, &got), 0);  // fewer at the end
  EXPECT_EQ(std::string(buffer, got), "789");
  ASSERT_EQ(platform::read_file_bytes_at(fd, 10, buffer, 4, &got), 0);
  EXPECT_EQ(got, 0u);
  ASSERT_EQ(platform::read_file_bytes_at(fd, uint64_t(1) << 33, buffer, 4, &got), 0);  // beyond 32 bits
  EXPECT_EQ(got, 0u);
  ASSERT_EQ(platform::read_file_bytes(fd, buffer, 4, &got), 0);
  EXPECT_EQ(std::string(buffer, got), "0123");
  platform::close_file(fd);
  EXPECT_EQ(platform::sync_to_disk(path), 0);
  EXPECT_EQ(platform::sync_to_disk(root_ + "/"), 0);
  EXPECT_EQ(platform::sync_to_disk(root_ + "/missing"), ENOENT);
}

// The SIMD lanes as this compiler builds them for Windows, finished by their own tail
// code, against the system's one-stream MD5: ends at each side of the padding's edges.
TEST(WindowsMd5, LanesAgreeWithTheSystemsDigest) {
  std::vector<std::string> batch;
  unsigned seed = 7;
  for (size_t size : {0, 1, 55, 56, 57, 63, 64, 65, 119, 120, 128, 1000, 70000, 200001}) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    batch.push_back(bytes);
  }
  for (int width : {1, 8, 16}) {
    std::vector<Md5Result> got = md5_of_buffers(batch, width);
    ASSERT_EQ(got.size(), batch.size());
    for (size_t i = 0; i < batch.size(); ++i) {
      Md5Digest digest;
      digest.add(batch[i].data(), batch[i].size());
      EXPECT_EQ(got[i].code, 0);
      EXPECT_EQ(got[i].signature, digest.finish()) << "width " << width << ", " << batch[i].size() << " bytes";
    }
  }
  EXPECT_EQ(md5_of_buffers({"12345", ""}, 16)[0].signature, "827ccb0eea8a706c4c34a16891f84e7b");
}

TEST(WindowsThreads, JoinsTimeOutAndSemaphoresCountAcrossThreads) {
  platform::KernelSemaphore* release = platform::semaphore_create();
  ASSERT_NE(release, nullptr);
  EXPECT_EQ(platform::semaphore_wait(release, 0), platform::timeout_code());
  EXPECT_EQ(platform::semaphore_wait(release, 20), platform::timeout_code());
  platform::ThreadHandle first, second;
  ASSERT_EQ(platform::start_thread(sleepy_thread, release, &first), 0);
  ASSERT_EQ(platform::start_thread(sleepy_thread, release, &second), 0);
  EXPECT_NE(first.id, platform::current_thread_id());
  EXPECT_NE(first.id, second.id);
  int code = 0;
  // The first is abandoned after its time runs out; the second is released and joined.
  EXPECT_EQ(platform::join_thread(first, 30, &code), platform::timeout_code());
  ASSERT_EQ(platform::semaphore_post(release), 0);
  ASSERT_EQ(platform::semaphore_post(release), 0);
  ASSERT_EQ(platform::join_thread(second, 5000, &code), 0);
  EXPECT_EQ(code, 42);
  EXPECT_GE(platform::cpu_count(), 1);
  uint64_t mask = 0;
  ASSERT_EQ(platform::thread_affinity(&mask), 0);
  EXPECT_NE(mask, 0u);
  // The semaphore stays: the abandoned thread may still be inside its wait.
}

TEST(WindowsSystem, FoldersFactsAndTheHostsDefaults) {
  for (const std::string& folder : {platform::desktop_folder(), platform::temp_folder(), platform::local_data_folder(),
                                    platform::desktop_data_folder()}) {
    ASSERT_GE(folder.size(), 4u) << folder;
    EXPECT_EQ(folder.substr(1, 2), ":\\") << folder;                // the drive prefix as it is
    EXPECT_EQ(folder.find('\\', 3), std::string::npos) << folder;  // then the program's '/'
    EXPECT_NE(folder.back(), '/') << folder;
  }
  EXPECT_EQ(platform::host_target_platform(), 2);
  EXPECT_STREQ(platform::simulator_file_name(), "Zephiro.exe");
  EXPECT_EQ(platform::path_list_separator(), ';');
  EXPECT_EQ(platform::program_path_of("Z:\\tmp\\disc 1"), "Z:\\tmp/disc 1");
  EXPECT_EQ(platform::program_path_of("Z:/tmp\\disc 1"), "Z:\\tmp/disc 1");
  EXPECT_EQ(platform::program_path_of("disc 1\\x"), "disc 1/x");
  const std::string program = platform::program_file_path();
  EXPECT_NE(program.find("zephiro_tests_win.exe"), std::string::npos) << program;
  SystemFacts facts = read_system_facts();
  EXPECT_EQ(facts.os_name, "Windows");
  EXPECT_FALSE(facts.os_release.empty());
  EXPECT_GT(facts.physical_memory, 0u);
  EXPECT_GE(processor_count(), 1);
}

TEST(WindowsSystem, ChildrenAreFoundOnASemicolonPathAndTheirOutputCaptured) {
  const std::string cmd = find_program("cmd", platform::env("SystemRoot") + "\\system32;C:\\nowhere");
  ASSERT_FALSE(cmd.empty());
  CapturedChild child;
  ASSERT_EQ(start_captured({cmd, "/c", "echo", "from the child"}, child), 0);
  const int pid = child.pid;
  int status = -1;
  for (int i = 0; i < 1000 && !poll_captured(child, status); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(status, 0);
  EXPECT_NE(child.output.find("from the child"), std::string::npos) << child.output;
  // Stale temporary files are told by their writer's process: ended, or still running.
  EXPECT_FALSE(platform::process_alive(pid));
  EXPECT_TRUE(platform::process_alive(platform::process_id()));
  EXPECT_FALSE(platform::process_alive(0));
}

// The crawl's lines, and the number of the first one naming `name` (-1 when none does).
std::vector<std::string> crawl_lines(const std::string& crawl) {
  std::vector<std::string> lines;
  std::istringstream in(crawl);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
int line_naming(const std::vector<std::string>& lines, const char* name) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].find(name) != std::string::npos) return static_cast<int>(i);
  return -1;
}

// Each frame of the chain on its own line, one after another, each in the test program:
// the unwinding neither skipped nor invented a frame.
void expect_chain_in_order(const std::vector<std::string>& lines, const char* leaf, int leaf_line,
                           const std::string& crawl) {
  EXPECT_EQ(line_naming(lines, leaf), leaf_line) << crawl;
  int expected = leaf_line + 1;
  for (const char* caller : {"chain_inner", "chain_middle", "chain_outer"}) {
    EXPECT_EQ(line_naming(lines, caller), expected) << caller << "\n" << crawl;
    if (expected < static_cast<int>(lines.size())) {
      EXPECT_NE(lines[expected].find("(zephiro_tests_win.exe + "), std::string::npos) << lines[expected];
    }
    ++expected;
  }
  // Then the frames that called the chain, up to the thread's start.
  EXPECT_GT(lines.size(), static_cast<size_t>(expected)) << crawl;
}

// A crash goes through the unhandled-exception filter into crash_log.txt in the current
// folder: the exception's name and code, the address it could not reach, and a stack crawl
// that starts in the faulting function and follows the calls that led there, unwound from
// the exception's context; the process ends with the exception's code.
TEST(WindowsCrash, AnAccessViolationIsReportedByTheExceptionFilter) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  std::remove("crash_log.txt");
  EXPECT_EXIT(
      {
        set_crash_report_time_limit(20);
        if (install_crash_handler() != 0) std::_Exit(91);
        chain_outer(leaf_crashing, nullptr);
      },
      ::testing::ExitedWithCode(static_cast<int>(0xC0000005u)), "");
  std::ifstream in("crash_log.txt");
  std::stringstream text;
  text << in.rdbuf();
  const std::string report = text.str();
  std::remove("crash_log.txt");
  EXPECT_EQ(report.rfind("Unhandled exception: EXCEPTION_ACCESS_VIOLATION (C0000005)\n", 0), 0u) << report;
  EXPECT_NE(report.find("Address = 0x00000010"), std::string::npos) << report;
  const size_t first = report.find("  0) ");
  ASSERT_NE(first, std::string::npos) << report;
  const std::vector<std::string> lines = crawl_lines(report.substr(first));
  ASSERT_GE(lines.size(), 2u) << report;
  EXPECT_NE(lines[0].find("crash_writing_through"), std::string::npos) << report;
  EXPECT_NE(lines[0].find("(zephiro_tests_win.exe + "), std::string::npos) << report;
  EXPECT_EQ(lines[1].rfind("  1) ", 0), 0u) << report;
  expect_chain_in_order(lines, "leaf_crashing", 1, report);
}

// A crawl of the running thread (what a crash alert appends to stack_crawl.txt) starts at the
// function that asked for it, whether the crawl's own frames keep their frame pointers or not.
TEST(WindowsCrash, ACrawlOfTheRunningThreadNamesItsCallersInOrder) {
  std::string crawl;
  chain_outer(leaf_crawling, &crawl);
  const std::vector<std::string> lines = crawl_lines(crawl);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind("  0) ", 0), 0u) << crawl;
  EXPECT_EQ(line_naming(lines, "stack_crawl_text"), -1) << crawl;
  expect_chain_in_order(lines, "leaf_crawling", 0, crawl);
}

}  // namespace
