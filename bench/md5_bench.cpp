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

// One run of a shell command: its wall time, the processor time of everything it started
// (user and system, from the shell's `times`), and its exit code (-1 when it could not run
// or a signal ended it).
struct Timing {
  double wall = 0, processor = 0;
  int code = -1;
};

Timing run(const std::string& command) {
  Timing t;
  CapturedChild child;
  auto start = std::chrono::steady_clock::now();
  if (start_captured({"/bin/sh", "-c", "{ " + command + "\n} >/dev/null; c=$?; times; exit $c"}, child) != 0) return t;
  while (!poll_captured(child, t.code)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  t.wall = seconds_since(start);
  // The second line of `times`: the children's user and system time, as "1m2.5s 0m0.25s".
  size_t line = child.output.find('\n');
  double m1 = 0, s1 = 0, m2 = 0, s2 = 0;
  if (line != std::string::npos && std::sscanf(child.output.c_str() + line + 1, "%lfm%lfs %lfm%lfs", &m1, &s1, &m2, &s2) == 4)
    t.processor = 60 * (m1 + m2) + s1 + s2;
  return t;
}

// The fastest of the runs, by each measure.
void keep_best(Timing& best, const Timing& t) {
  if (best.code == -1 || t.wall < best.wall) best.wall = t.wall;
  if (best.code == -1 || t.processor < best.processor) best.processor = t.processor;
  best.code = t.code;
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
            shell_quoted(copy)).code != 0)
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
  fs::create_directories(home + "/desktop");
  std::string env = "HOME=" + shell_quoted(home) + " XDG_DATA_HOME=" + shell_quoted(home + "/data") +
                    " XDG_DESKTOP_DIR=" + shell_quoted(home + "/desktop") + " TMPDIR=" + shell_quoted(home + "/tmp") + " ";
  std::string verify = bin + "zephiro-installer --dvd_drives=" + shell_quoted(drives) + " --verify=" + shell_quoted(copy) +
                       " 2>/dev/null";
  std::string xargs = "find " + shell_quoted(copy) + " -type f -print0 | xargs -0 -P2 md5sum";
  int rounds = std::atoi(bench_option(argc, argv, "--rounds", "3").c_str());
  run(xargs);  // warms the page cache
  // The three take turns, so that a busy machine slows each of them alike.
  Timing t_xargs, t_lanes, t_one;
  for (int r = 0; r < rounds; ++r) {
    keep_best(t_xargs, run(xargs));
    keep_best(t_lanes, run(env + verify));
    // 0 or 2 (some files of the copy are older versions): anything else did not scan.
    if (t_lanes.code != 0 && t_lanes.code != 2)
      return std::fprintf(stderr, "--verify failed with exit code %d\n", t_lanes.code), 1;
    keep_best(t_one, run(env + "ZEPHIRO_MD5_LANES=1 " + verify));
  }
  std::printf("%-30s %8s %9s %8s %14s %8s\n", "", "wall", "MB/s", "ratio", "processor time", "ratio");
  auto line = [&](const std::string& name, const Timing& t) {
    std::printf("%-30s %7.2fs %9.0f %7.2fx %13.2fs %7.2fx\n", name.c_str(), t.wall, mb / t.wall, t_xargs.wall / t.wall,
                t.processor, t_xargs.processor / t.processor);
  };
  line("find | xargs -0 -P2 md5sum", t_xargs);
  line("--verify, one stream", t_one);
  line("--verify, " + std::to_string(md5_lane_width()) + " lanes", t_lanes);
  std::printf("(best of %d runs each, warm page cache; ratio: xargs's time / this one's)\n", rounds);
  if (bench_option(argc, argv, "--keep", "").empty() && bench_option(argc, argv, "--set", "").empty())
    fs::remove_all(scratch);
  return 0;
}
