// MD5 speed, in two parts.
//  1. Per core: one thread hashes sets of many small, many mid-size and a few large inputs
//     held in memory, one stream at a time and with every lane width this processor has.
//  2. The real program's --verify of a generated copy (about 600 MB, several hundred files)
//     beside `find | xargs -0 -P2 md5sum` on the same warm copy, and their ratio.
//   md5_bench [--set=DIR --copy=DIR] [--size=BYTES] [--rounds=N] [--keep] [--no-verify]
// Without --set a disc set and its installed copy are made with make_disc_set (beside this
// program) in $TMPDIR/zephiro_md5_bench.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_options.h"
#include "io/md5_lanes.h"
#include "platform/child_process.h"

namespace fs = std::filesystem;

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<std::string> make_inputs(size_t count, size_t smallest, size_t largest, unsigned seed) {
  std::mt19937_64 random(seed);
  std::vector<std::string> inputs(count);
  for (std::string& s : inputs) {
    s.resize(smallest + random() % (largest - smallest + 1));
    for (size_t i = 0; i + 8 <= s.size(); i += 8) {
      uint64_t v = random();
      s.replace(i, 8, reinterpret_cast<const char*>(&v), 8);
    }
  }
  return inputs;
}

// Hashes the set at each width; false when two widths disagree.
bool per_core(const char* name, const std::vector<std::string>& inputs) {
  double mb = 0;
  for (const std::string& s : inputs) mb += static_cast<double>(s.size()) / 1e6;
  std::printf("%-34s %8.1f MB:", name, mb);
  std::vector<Md5Result> first;
  double one_stream = 0;
  for (int width : {1, 8, 16}) {
    if (width > md5_best_lane_width()) continue;
    // Processor time, not the wall clock: a busy machine shares its cores out unevenly.
    std::clock_t start = std::clock();
    std::vector<Md5Result> got = md5_of_buffers(inputs, width);
    double rate = mb / (static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    if (width == 1) one_stream = rate;
    std::printf("  %2d lane%s %7.0f MB/s", width, width == 1 ? " " : "s", rate);
    if (width > 1) std::printf(" (%.1fx)", rate / one_stream);
    if (first.empty()) first = got;
    for (size_t i = 0; i < got.size(); ++i)
      if (got[i].code != 0 || got[i].signature != first[i].signature) return std::printf("\nwidth %d differs\n", width), false;
  }
  std::printf("\n");
  return true;
}

// The shell's exit code for `command`, -1 when it could not run or a signal ended it.
int run(const std::string& command) {
  CapturedChild child;
  if (start_captured({"/bin/sh", "-c", command}, child) != 0) return -1;
  int status = -1;
  while (!poll_captured(child, status)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return status;
}

// Wall time of `command`; `code` gets its exit code.
double timed(const std::string& command, int* code) {
  auto start = std::chrono::steady_clock::now();
  *code = run(command);
  return seconds_since(start);
}

std::string shell_quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("processor's widest MD5 lanes: %d (%s)\n", md5_best_lane_width(),
              md5_best_lane_width() == 16 ? "AVX-512" : md5_best_lane_width() == 8 ? "AVX2" : "none");
  std::printf("-- MD5 per core (one thread, inputs in memory; MB per second of processor time)\n");
  if (!per_core("many small (20000 of 1-8 KB)", make_inputs(20000, 1024, 8192, 1)) ||
      !per_core("many mid-size (400 of 64-512 KB)", make_inputs(400, 64 << 10, 512 << 10, 2)) ||
      !per_core("a few large (4 of 32 MB)", make_inputs(4, 32 << 20, 32 << 20, 3)))
    return 1;
  if (!bench_option(argc, argv, "--no-verify", "").empty()) return 0;

  std::string scratch = (fs::temp_directory_path() / "zephiro_md5_bench").string() + "/";
  std::string set = bench_option(argc, argv, "--set", "");
  std::string copy = bench_option(argc, argv, "--copy", "");
  std::string bin = fs::path(argv[0]).parent_path().string() + "/";
  if (set.empty() != copy.empty()) return std::fprintf(stderr, "give both --set and --copy, or neither\n"), 2;
  if (set.empty()) {
    set = scratch + "discs";
    copy = scratch + "copy/Zephiro 9";
    fs::remove_all(scratch);
    fs::create_directories(scratch + "copy");
    std::string size = bench_option(argc, argv, "--size", "600M");
    std::printf("-- making a disc set and its copy (%s)...\n", size.c_str());
    std::fflush(stdout);
    if (run(shell_quoted(bin + "make_disc_set") + " --out=" + shell_quoted(set) + " --size=" + size + " --old-copy=" +
            shell_quoted(copy) + " > /dev/null") != 0)
      return 1;
  }
  std::string drives;
  for (int d = 1; fs::exists(set + "/disc" + std::to_string(d)); ++d)
    drives += (d > 1 ? ":" : "") + set + "/disc" + std::to_string(d);
  uint64_t bytes = 0, files = 0;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(copy))
    if (e.is_regular_file()) bytes += e.file_size(), ++files;
  double mb = static_cast<double>(bytes) / 1e6;
  std::printf("-- --verify beside xargs -P2 md5sum: %llu files, %.1f MB\n", static_cast<unsigned long long>(files), mb);

  // The program's own folders (log, preferences, scratch) stay in the bench's folder.
  std::string home = scratch + "home";
  fs::create_directories(home + "/tmp");
  std::string env = "HOME=" + shell_quoted(home) + " XDG_DATA_HOME=" + shell_quoted(home + "/data") +
                    " XDG_DESKTOP_DIR=" + shell_quoted(home + "/desktop") + " TMPDIR=" + shell_quoted(home + "/tmp") + " ";
  std::string verify = bin + "zephiro-installer --dvd_drives=" + shell_quoted(drives) + " --verify=" + shell_quoted(copy) +
                       " > /dev/null 2>&1";
  std::string xargs = "find " + shell_quoted(copy) + " -type f -print0 | xargs -0 -P2 md5sum > /dev/null";
  int rounds = std::atoi(bench_option(argc, argv, "--rounds", "3").c_str());
  int code = 0;
  run(xargs);  // warms the page cache
  // The three take turns, so that a busy machine slows each of them alike; the best of each.
  double t_xargs = 1e30, t_verify = 1e30, t_one = 1e30;
  for (int r = 0; r < rounds; ++r) {
    t_xargs = std::min(t_xargs, timed(xargs, &code));
    t_verify = std::min(t_verify, timed(env + verify, &code));
    // 0 or 2 (some files of the copy are older versions): anything else did not scan.
    if (code != 0 && code != 2) return std::fprintf(stderr, "--verify failed with exit code %d\n", code), 1;
    t_one = std::min(t_one, timed(env + "ZEPHIRO_MD5_LANES=1 " + verify, &code));
  }
  std::printf("find | xargs -0 -P2 md5sum       %6.2f s  %7.0f MB/s\n", t_xargs, mb / t_xargs);
  std::printf("--verify, one stream             %6.2f s  %7.0f MB/s  %.2fx xargs\n", t_one, mb / t_one, t_xargs / t_one);
  std::printf("--verify, %2d lanes                %6.2f s  %7.0f MB/s  %.2fx xargs\n", md5_lane_width(), t_verify,
              mb / t_verify, t_xargs / t_verify);
  std::printf("(best of %d runs each, warm page cache)\n", rounds);
  if (bench_option(argc, argv, "--keep", "").empty() && bench_option(argc, argv, "--set", "").empty())
    fs::remove_all(scratch);
  return 0;
}
