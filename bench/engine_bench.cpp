// The install engine end to end on a disc set in folder drives: a fresh install across
// every disc, then a full signature scan of the copy. Prints the time and throughput of
// each phase and the peak memory of the process.
//   engine_bench [--set=DIR | --size=tiny|small|large|BYTES] [--discs=N] [--keep]
// Without --set a set is made first with make_disc_set (beside this program).

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/app_state.h"
#include "engine/disk_space.h"
#include "engine/executor.h"
#include "engine/install_plan.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "bench/bench_options.h"
#include "engine/dvd_discovery.h"
#include "io/file_ops.h"

namespace fs = std::filesystem;

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Peak resident memory of this process in MiB (VmHWM of /proc/self/status).
double peak_memory_mib() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmHWM:") {
      double kib = 0;
      status >> kib;
      return kib / 1024.0;
    }
    status.ignore(1 << 20, '\n');
  }
  return 0;
}

uint64_t folder_bytes(const std::string& folder) {
  uint64_t total = 0;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) total += e.file_size();
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  std::string scratch = (fs::temp_directory_path() / "zephiro_engine_bench").string() + "/";
  std::string set = bench_option(argc, argv, "--set", "");
  int discs = std::atoi(bench_option(argc, argv, "--discs", "3").c_str());
  if (set.empty()) {
    set = scratch + "discs/";
    fs::remove_all(scratch);
    fs::create_directories(set);
    std::string maker = (fs::path(argv[0]).parent_path() / "make_disc_set").string();
    std::string cmd = "'" + maker + "' --out='" + set + "' --discs=" + std::to_string(discs) +
                      " --size=" + bench_option(argc, argv, "--size", "small") + " > /dev/null";
    std::printf("making the disc set (%s)...\n", bench_option(argc, argv, "--size", "small").c_str());
    if (std::system(cmd.c_str()) != 0) return 1;
  }
  if (set.back() != '/') set += '/';
  std::string drives;
  for (int d = 1; d <= discs; ++d) drives += (d > 1 ? ":" : "") + set + "disc" + std::to_string(d);
  set_dvd_drives(drives);
  app().target_platform = host_platform();
  app().temp_folder = special_folder(folder_temp);
  read_disc_identity();
  if (manifest_read_status() != 3) {
    std::fprintf(stderr, "no install disc in %s\n", drives.c_str());
    return 1;
  }
  std::string copy = scratch + "copy/Zephiro 9/";
  fs::remove_all(scratch + "copy");
  fs::create_directories(scratch + "copy");
  install_path() = copy;
  set_install_scope(true, true);
  install_scope().selected_tiles = install_manifest().available_tiles;

  auto start = std::chrono::steady_clock::now();
  std::clock_t cpu_start = std::clock();
  int cursor = 0;
  float progress = 0;
  while (!checksum_step(cursor, false, progress)) {
  }
  if (!build_install_plan() || create_install_folders() != 0) return 1;
  delete_unwanted_files();
  int disc = current_disc_number(), failures = 0;
  cursor = 0;
  for (;;) {
    int r = install_step(cursor, disc);
    if (r == install_done) break;
    if (r == install_failed) {
      std::string message;
      take_install_error(message);
      std::fprintf(stderr, "failed: %s\n", message.c_str());
      ++failures;
    } else if (r == install_needs_disc) {
      if (!find_needed_disc(cursor)) return 1;
      disc = current_disc_number();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  double install_seconds = seconds_since(start);
  // Processor time of every thread: steadier than the wall clock on a busy machine, and what
  // the signature check of each file as it is written adds to.
  double install_cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  double mb = static_cast<double>(folder_bytes(copy)) / 1e6;
  std::printf("install: %d files, %.1f MB in %.2f s = %.1f MB/s (%.2f s of processor time), %d failed\n",
              manifest_group_count(), mb, install_seconds, mb / install_seconds, install_cpu, failures);

  start = std::chrono::steady_clock::now();
  cursor = 0;
  while (!checksum_step(cursor, false, progress)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  double scan_seconds = seconds_since(start);
  compute_install_totals();
  std::printf("full scan: %.1f MB in %.2f s = %.1f MB/s, %d files still to install\n", mb, scan_seconds,
              mb / scan_seconds, install_manifest().totals.files_to_install);
  std::printf("peak memory: %.1f MiB\n", peak_memory_mib());
  if (bench_option(argc, argv, "--keep", "").empty()) fs::remove_all(scratch);
  return failures ? 2 : 0;
}
