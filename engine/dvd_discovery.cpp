#include "engine/dvd_discovery.h"

#include <set>
#include <utility>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "core/user_text.h"
#include "engine/manifest.h"
#include "io/archive.h"
#include "io/file_ops.h"
#include "io/mapped_file.h"
#include "io/run_folder.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/fs.h"
#include "platform/host.h"

namespace {

struct DvdState {
  std::string root;
  std::string version;
  int current_disc = 0;
  std::string marker_file;
  bool cached_found = false;
  double next_scan_due = -1;
  int manifest_status = 0;
  bool drives_overridden = false;
  std::vector<std::string> drive_override;
};
DvdState g_dvd;

const int kScanPeriodSeconds = 3600;
// dvd_version.txt holds three header lines and a VERSION line: a few hundred bytes. A
// larger file is damaged or not a disc marker, and is never read whole.
const uint64_t kVersionFileLimit = 64 * 1024;
// The DVD Version names a folder on every disc, so it is at most one file name long.
const size_t kVersionTextLimit = 255;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n'; }

// The last "VERSION text" line after the header; empty when there is none.
bool read_version_lines(MappedFile& file, std::string* version) {
  bool found = false;
  const char* p = file.pos;
  const char* end = file.end();
  while (p < end) {
    while (p < end && is_blank(*p)) ++p;
    static const char kKeyword[] = "VERSION";
    const size_t n = sizeof(kKeyword) - 1;
    if (static_cast<size_t>(end - p) >= n && std::string(p, n) == kKeyword &&
        (p + n == end || is_blank(p[n]) || is_line_end(p[n]))) {
      p += n;
      while (p < end && is_blank(*p)) ++p;
      const char* start = p;
      while (p < end && !is_line_end(*p)) ++p;
      // A text too long to name the set's folder cannot be the set's name.
      if (static_cast<size_t>(p - start) <= kVersionTextLimit) {
        *version = std::string(start, p);
        found = true;
      }
    }
    while (p < end && !is_line_end(*p)) ++p;
    while (p < end && is_line_end(*p)) ++p;
  }
  return found;
}

bool has_disc_header(MappedFile& file) {
  static const int kAccepted[] = {900, 0};
  return file.has_view() && check_file(file, kind_text, kAccepted, "DVD", nullptr) == 900;
}

}  // namespace

void set_dvd_drives(const std::string& folders) {
  g_dvd.drives_overridden = true;
  g_dvd.drive_override.clear();
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(platform::path_list_separator(), start);
    if (end == std::string::npos) end = folders.size();
    std::string root = platform::program_path_of(folders.substr(start, end - start));
    if (!root.empty()) {
      // A relative folder is taken from where the program was started, like any path argument.
      const bool has_drive = root.size() > 1 && root[1] == ':';
      if (root[0] != '/' && !has_drive) root = platform::current_folder() + root;
      if (root.back() != '/' && !(has_drive && root.size() == 3)) root += '/';
      g_dvd.drive_override.push_back(root);
    }
    start = end + 1;
  }
  g_dvd.next_scan_due = -1;
}

void clear_dvd_drives_override() {
  g_dvd.drives_overridden = false;
  g_dvd.drive_override.clear();
}

std::vector<std::string> dvd_drive_roots() {
  return g_dvd.drives_overridden ? g_dvd.drive_override : platform::mounted_disc_roots();
}

bool is_install_disc(const std::string& root) {
  bool yes;
  if (!g_dvd.marker_file.empty()) {
    // The marker is an archive of any size: only its being there and non-empty matters.
    uint64_t size = 0;
    yes = regular_file_size(root + g_dvd.marker_file, &size) == 0 && size > 0;
  } else {
    MappedFile file(root + "dvd_version.txt", 0, 0, kVersionFileLimit);
    yes = has_disc_header(file);
  }
  if (yes) g_dvd.root = root;
  return yes;
}

bool dvd_scan(bool force) {
  if (force) g_dvd.next_scan_due = -1;
  double now = platform::running_seconds();
  if (now < g_dvd.next_scan_due) return g_dvd.cached_found;
  g_dvd.next_scan_due = now + kScanPeriodSeconds;
  // A disc reachable under two roots (a mount point and a link to it, the same device
  // mounted twice) is one disc: it is counted by the identity of its root folder.
  int discs = 0;
  std::set<std::pair<uint64_t, uint64_t>> counted;
  for (const std::string& root : dvd_drive_roots()) {
    uint64_t device = 0, inode = 0;
    if (platform::file_identity(root, &device, &inode) == 0 && !counted.insert({device, inode}).second) continue;
    if (is_install_disc(root)) ++discs;
  }
  if (discs >= 2)
    ALERT(alert_quit, user_text("I found multiple Zephiro CDs in the drives!"), user_text("This is bad!"),
          user_text("Pull out whatever CD you are not using now!"), "");
  g_dvd.cached_found = discs > 0;
  return g_dvd.cached_found;
}

void read_disc_identity() {
  if (g_dvd.root.empty()) dvd_scan(true);
  if (!g_dvd.root.empty() && g_dvd.version.empty()) {
    MappedFile file(g_dvd.root + "dvd_version.txt", 0, 0, kVersionFileLimit);
    if (has_disc_header(file)) read_version_lines(file, &g_dvd.version);
  }
  if (!g_dvd.version.empty() && g_dvd.manifest_status == 0) {
    std::string archive = dvd_archive_folder() + "directory.txt.zip";
    std::string temp = scratch_folder();
    int code = zip_to_file(archive, temp, nullptr, false);
    if (code != 0)
      ALERT(alert_quit, user_text("DVD scan: The installer cannot extract a file."),
            user_text("Error: %1:message%.", error_message_for_code(code)),
            user_text("Compressed File: %1:file%.", archive), user_text("Destination Path: %1:file%.", temp));
    g_dvd.manifest_status = read_install_manifest(
        temp + "directory.txt", "Scanning directory text file to see if you already have Zephiro installed...");
  }
}

bool find_needed_disc(int group) {
  if (group < 0 || group >= manifest_group_count()) return false;
  const ManifestEntry& entry = current_entry(group);
  std::string rel = g_dvd.version + "/" + entry.path + archive_suffix(group);
  set_disc_marker_file(rel);
  dvd_scan(true);
  set_disc_marker_file("");
  if (g_dvd.root.empty() || !file_exists(g_dvd.root + rel)) return false;
  g_dvd.current_disc = entry.disc_number;
  return true;
}

void set_disc_marker_file(const std::string& relative_path) { g_dvd.marker_file = relative_path; }

const std::string& dvd_root() { return g_dvd.root; }
void set_dvd_root(const std::string& root) { g_dvd.root = root; }
const std::string& dvd_version() { return g_dvd.version; }
int current_disc_number() { return g_dvd.current_disc; }
void set_current_disc_number(int disc) { g_dvd.current_disc = disc; }
std::string disc_number_text(int disc) { return std::to_string(static_cast<long long>(disc) + 1); }
int manifest_read_status() { return g_dvd.manifest_status; }
std::string dvd_archive_folder() { return g_dvd.root + g_dvd.version + "/"; }

void reset_dvd_discovery() { g_dvd = DvdState(); }
