// Extraction and signature throughput over a whole disc set.
//   extract_throughput [--set=DIR | --size=tiny|small|large|BYTES] [--threads=N] [--keep]
// Without --set a set is made first with make_disc_set (beside this program) in a scratch
// folder. Every archive of every disc is extracted into a scratch copy, zip and 7z timed
// apart, then every extracted file's MD5 is taken. Prints MB/s of extracted bytes.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_options.h"
#include "io/archive.h"
#include "io/md5.h"

namespace fs = std::filesystem;

namespace {

struct Job {
  std::string archive;
  std::string folder;  // where its members go, ending '/'
  bool sevenzip = false;
};

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Archives lie at discN/<DVD Version>/<top folder>/<path>.zip or .7z.
std::vector<Job> find_jobs(const std::string& set, const std::string& copy) {
  std::vector<Job> jobs;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(set)) {
    std::string path = e.path().string();
    if (!e.is_regular_file() || ends_with(path, "directory.txt.zip")) continue;
    bool sevenzip = ends_with(path, ".7z");
    if (!sevenzip && !ends_with(path, ".zip")) continue;
    fs::path rel = fs::relative(e.path(), set);
    auto part = rel.begin();
    if (std::distance(rel.begin(), rel.end()) < 4) continue;
    std::advance(part, 3);  // disc, DVD Version, top folder
    fs::path inside;
    for (; part != rel.end(); ++part) inside /= *part;
    jobs.push_back({path, copy + inside.parent_path().string() + "/", sevenzip});
  }
  return jobs;
}

struct Totals {
  double seconds = 0;
  uint64_t bytes = 0;
  int count = 0;
  int failures = 0;
};

Totals extract_all(const std::vector<Job>& jobs, bool sevenzip, int threads) {
  std::vector<const Job*> mine;
  for (const Job& j : jobs)
    if (j.sevenzip == sevenzip) mine.push_back(&j);
  std::atomic<size_t> next{0};
  std::atomic<int> failures{0};
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t)
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < mine.size();) {
        const Job& j = *mine[i];
        int code = j.sevenzip ? sevenzip_to_folder(j.archive, j.folder, nullptr, false)
                              : zip_to_file(j.archive, j.folder, nullptr, false);
        if (code) failures++;
      }
    });
  for (std::thread& w : workers) w.join();
  Totals t;
  t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.count = int(mine.size());
  t.failures = failures;
  return t;
}

void print(const char* what, const Totals& t) {
  double mb = double(t.bytes) / 1e6;
  std::printf("%-4s %6d files %10.1f MB %8.2f s %9.1f MB/s%s\n", what, t.count, mb, t.seconds,
              t.seconds > 0 ? mb / t.seconds : 0.0, t.failures ? "  (FAILURES)" : "");
}

}  // namespace

int main(int argc, char** argv) {
  if (bench_option(argc, argv, "--help", "").size()) {
    std::puts("Usage: extract_throughput [--set=DIR | --size=tiny|small|large|BYTES] [--threads=N] [--keep]");
    return 0;
  }
  int threads = std::max(1, std::atoi(bench_option(argc, argv, "--threads", "1").c_str()));
  const char* tmp = std::getenv("TMPDIR");
  fs::path scratch = fs::path(tmp && *tmp ? tmp : "/tmp") / ("zephiro_bench_" + std::to_string(std::random_device{}()));
  fs::create_directories(scratch);

  std::string set = bench_option(argc, argv, "--set", "");
  if (set.empty()) {
    set = (scratch / "set").string();
    std::string maker = (fs::absolute(argv[0]).parent_path() / "make_disc_set").string();
    std::string command = "'" + maker + "' --out='" + set + "' --discs=3 --size=" +
                          bench_option(argc, argv, "--size", "small");
    std::printf("%s\n", command.c_str());
    std::fflush(stdout);
    if (std::system(command.c_str()) != 0) return 1;
  }
  std::string copy = (scratch / "copy").string() + "/";
  std::vector<Job> jobs = find_jobs(set, copy);
  for (const Job& j : jobs) fs::create_directories(j.folder);

  Totals zips = extract_all(jobs, false, threads), sevens = extract_all(jobs, true, threads);
  std::vector<std::string> files;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(copy))
    if (e.is_regular_file()) files.push_back(e.path().string());
  Totals md5;
  auto start = std::chrono::steady_clock::now();
  for (const std::string& f : files) {
    std::string signature;
    uint64_t size = fs::file_size(f);
    (f.find("Global Scenery") != std::string::npos ? sevens : zips).bytes += size;
    md5.bytes += size;
    if (md5_of_file(f, signature)) md5.failures++;
  }
  md5.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  md5.count = int(files.size());

  std::printf("%d extraction thread(s)\n", threads);
  print("zip", zips);
  print("7z", sevens);
  print("md5", md5);
  if (bench_option(argc, argv, "--keep", "").empty()) fs::remove_all(scratch);
  else std::printf("kept %s\n", scratch.string().c_str());
  return zips.failures || sevens.failures || md5.failures ? 1 : 0;
}
