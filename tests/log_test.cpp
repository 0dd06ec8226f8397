#include "core/log.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/system_info.h"
#include "tests/test_util.h"

namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

}  // namespace

TEST(Log, HeaderInOrderWithOneLinePerProcessor) {
  SystemFacts system;
  system.os_name = "Linux";
  system.os_release = "6.1.0-18-amd64";
  system.os_version = "#1 SMP Debian";
  system.machine = "x86_64";
  system.physical_memory = 8589934592ull;  // above 4 GB is written in full
  std::vector<ProcessorFacts> cpus(3);
  cpus[0].index = 0, cpus[0].model_name = "Model A", cpus[0].has_mhz = true, cpus[0].mhz = 2400;
  cpus[1].index = 1;  // no model name, no speed
  cpus[2].index = 2, cpus[2].model_name = "Model C";             // offline: count is 2
  std::string h = format_log_header("/opt/zephiro/", system, cpus, 2);

  std::vector<std::string> l = lines_of(h);
  ASSERT_GE(l.size(), 15u);
  EXPECT_EQ(l[0].rfind("Installer log.txt for Zephiro DVD Installer 2.06r1 compiled on ", 0), 0u);
  EXPECT_EQ(l[1], "");
  EXPECT_EQ(l[2].rfind("This log file is generated automatically by Corvenna applications", 0), 0u);
  EXPECT_EQ(l[3].rfind("If you need to contact tech support or file a bug", 0), 0u);
  EXPECT_EQ(l[4], "");
  EXPECT_EQ(l[5].rfind("If you got a hard system crash", 0), 0u);
  EXPECT_EQ(l[6], "");
  EXPECT_EQ(l[7], "Linux 6.1.0-18-amd64 (build #1 SMP Debian)");
  EXPECT_EQ(l[8], "CPU type: x86_64");
  EXPECT_EQ(l[9], "Physical Memory: 8589934592");
  EXPECT_EQ(l[10], "CPU 0: Model A  Speed (mhz): 2400");
  EXPECT_EQ(l[11], "CPU 1:  Speed (mhz): 0");
  EXPECT_EQ(l[12], "");
  EXPECT_EQ(l[13], "Nimbrel folder:'/opt/zephiro/', case sensitive=1");
  EXPECT_EQ(h.substr(h.size() - 2), "\n\n");
  // The build stamp has the shape of " compiled on Jan 31 2011 19:29:26".
  EXPECT_TRUE(std::regex_search(l[0], std::regex(" compiled on [A-Z][a-z]{2} [ 0-9]\\d \\d{4} \\d\\d:\\d\\d:\\d\\d$")));
}

TEST(Log, CpuInfoParsing) {
  std::vector<ProcessorFacts> cpus = parse_cpuinfo(
      "processor\t: 0\nvendor_id\t: X\nmodel name\t: AMD EPYC 7B13\ncpu MHz\t\t: 2445.626\n\n"
      "processor\t: 1\nmodel name\t: AMD EPYC 7B13\ncpu MHz\t\t: 1999.4\n\n"
      "processor\t: 2\nBogoMIPS\t: 50.00\n");  // the layout of ARM machines: no name or speed
  ASSERT_EQ(cpus.size(), 3u);
  EXPECT_EQ(cpus[0].index, 0);
  EXPECT_EQ(cpus[0].model_name, "AMD EPYC 7B13");
  EXPECT_TRUE(cpus[0].has_mhz);
  EXPECT_EQ(cpus[0].mhz, 2446);
  EXPECT_EQ(cpus[1].mhz, 1999);
  EXPECT_EQ(cpus[2].index, 2);
  EXPECT_EQ(cpus[2].model_name, "");
  EXPECT_FALSE(cpus[2].has_mhz);
}

TEST(Log, ThisMachinesHeader) {
  TempDir dir;
  ASSERT_TRUE(log_open(dir / "log.txt"));
  log_write_header("/some/folder/");
  log_close();
  std::string text = read_file(dir / "log.txt");
  EXPECT_TRUE(std::regex_search(text, std::regex("\nPhysical Memory: [1-9][0-9]*\n")));
  EXPECT_NE(text.find("\nCPU 0: "), std::string::npos);
  // No more processor lines than processors.
  size_t cpu_lines = 0;
  for (const std::string& line : lines_of(text))
    if (line.rfind("CPU ", 0) == 0 && line.rfind("CPU type", 0) != 0) ++cpu_lines;
  EXPECT_GE(cpu_lines, 1u);
  EXPECT_LE(cpu_lines, static_cast<size_t>(processor_count()));
  EXPECT_NE(text.find("\nNimbrel folder:'/some/folder/', case sensitive=1\n\n"), std::string::npos);
}

TEST(Log, OpenTruncatesAndCloseKeepsEverything) {
  TempDir dir;
  write_file(dir / "log.txt", "old run\n");
  ASSERT_TRUE(log_open(dir / "log.txt"));
  EXPECT_TRUE(log_is_open());
  EXPECT_EQ(log_path(), dir / "log.txt");
  LOG << "count " << 42 << " size " << 3.5 << "\n";
  log_close();
  EXPECT_FALSE(log_is_open());
  LOG << "after close\n";
  EXPECT_EQ(read_file(dir / "log.txt"), "count 42 size 3.5\n");
}

TEST(Log, FailedOpenDropsWritesButCaptureStillSees) {
  TempDir dir;
  EXPECT_FALSE(log_open(dir / "missing folder/log.txt"));
  EXPECT_TRUE(log_failed());
  EXPECT_FALSE(log_is_open());
  std::string captured;
  log_set_capture(&captured);
  LOG << "ignored by the file\n";
  log_flush();
  log_set_capture(nullptr);
  EXPECT_EQ(captured, "ignored by the file\n");
  EXPECT_TRUE(read_file(dir / "missing folder/log.txt").empty());

  ASSERT_TRUE(log_open(dir / "log.txt"));  // a later open recovers
  EXPECT_FALSE(log_failed());
  log_close();
}

TEST(Log, StatementsFromManyThreadsStayWhole) {
  TempDir dir;
  ASSERT_TRUE(log_open(dir / "log.txt"));
  const int threads = 4, per_thread = 2000;
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([t] {
      for (int i = 0; i < per_thread; ++i) LOG << "thread " << t << " line " << i << " end\n";
    });
  for (std::thread& w : workers) w.join();
  log_close();

  std::vector<std::string> lines = lines_of(read_file(dir / "log.txt"));
  ASSERT_EQ(lines.size(), static_cast<size_t>(threads * per_thread));
  std::regex whole("thread [0-3] line \\d+ end");
  std::vector<int> next(threads, 0);
  for (const std::string& line : lines) {
    ASSERT_TRUE(std::regex_match(line, whole)) << line;
    int t = line[7] - '0';
    EXPECT_EQ(line, "thread " + std::to_string(t) + " line " + std::to_string(next[t]++) + " end");
  }
}
