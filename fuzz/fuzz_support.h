#pragma once
// Shared by the fuzz targets: a scratch folder of the target's own, files written from the
// fuzzer's bytes, and alerts and log lines kept off the screen and the disk. A target calls
// the program's own readers on those files and checks what they promise.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/alert.h"
#include "core/log.h"

namespace fuzz {

namespace fs = std::filesystem;

// A broken promise: the fuzzer records the input as a finding and stops.
[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}
#define FUZZ_CHECK(condition) ((condition) ? (void)0 : fuzz::fail(#condition, __FILE__, __LINE__))

// $TMPDIR (or /tmp) + "zephiro-fuzz-<name>-<pid>/", made fresh and removed at exit.
inline const std::string& scratch(const char* name = nullptr) {
  static std::string path;
  if (path.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    if (base.back() != '/') base += '/';
    path = base + "zephiro-fuzz-" + (name ? name : "target") + "-" + std::to_string(getpid()) + "/";
    std::error_code ec;
    fs::remove_all(path, ec);
    fs::create_directories(path);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(path, ignored);
    });
  }
  return path;
}

// Points the program's data folder (preferences, registry) into the scratch folder.
inline void use_scratch_data_folder() {
  const std::string folder = scratch() + "data/";
  fs::create_directories(folder);
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
}

inline void write_file(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) fail(("cannot write " + path).c_str(), __FILE__, __LINE__);
}

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What the readers reported during one run.
struct Reports {
  int alerts = 0;
  int fatal_alerts = 0;  // kinds 2 and 3, which would end the program
  std::string log;
};

inline Reports& reports() {
  static Reports r;
  return r;
}

// Alerts are counted instead of shown (a fatal one would end the process, which the
// readers expect never to return from but cope with) and the log goes to memory.
inline void keep_quiet() {
  set_alert_handler([](const AlertRequest& r) {
    ++reports().alerts;
    if (r.kind == alert_quit || r.kind == alert_crash) ++reports().fatal_alerts;
  });
  log_set_capture(&reports().log);
}

inline void start_run() { reports() = Reports(); }

// Every name below `folder`, not following linked folders.
inline bool holds_name_starting(const std::string& folder, const std::string& prefix) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename().string().compare(0, prefix.size(), prefix) == 0) return true;
  return false;
}

inline bool is_empty_folder(const std::string& folder) {
  std::error_code ec;
  return fs::is_directory(folder, ec) && fs::is_empty(folder, ec);
}

// Empties a folder without following any link inside it.
inline void empty_folder(const std::string& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    // Members may have made a folder unwritable or unlistable: open it up first.
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow, ignored);
    fs::remove_all(it->path(), ignored);
  }
}

}  // namespace fuzz
