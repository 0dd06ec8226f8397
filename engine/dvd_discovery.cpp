#include "engine/dvd_discovery.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "core/user_text.h"
#include "engine/manifest.h"
#include "io/archive.h"
#include "io/disc_drive.h"
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
  // Disc images the user chose in the window: drives for the rest of the run.
  std::vector<std::string> image_drives;
  // Images already checked this run, and those that cannot be read (told once).
  std::set<std::string> checked_images;
  std::set<std::string> unreadable_images;
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

// The disc's dvd_version.txt, when it has the install disc's header.
bool open_disc_marker(MappedFile& file, const std::string& root) {
  return open_drive_file(file, root + "dvd_version.txt", kVersionFileLimit) == 0 && has_disc_header(file);
}

// The DVD Version the disc at `root` names; empty when it names none.
std::string version_on_disc(const std::string& root) {
  MappedFile file;
  std::string version;
  if (open_disc_marker(file, root)) read_version_lines(file, &version);
  return version;
}

void tell_unreadable_image(const std::string& image, int code) {
  ALERT(alert_info, user_text("I cannot read the disc image %1:file%.", image),
        user_text("Error: %1:message%.", error_message_for_code(code)),
        user_text("Please check the file, or make the image again from its DVD."), "");
}

// An image is checked once per run, its whole directory read; one that cannot be read is
// told to the user (naming the file) and is no disc from then on.
bool is_readable_drive(const std::string& root) {
  if (!is_disc_image(root)) return true;
  if (g_dvd.checked_images.insert(root).second) {
    std::string detail;
    const int code = check_disc_image(root.substr(0, root.size() - 1), &detail);
    if (code != 0) {
      LOG << "The disc image " << root << " cannot be read: " << detail << "\n";
      g_dvd.unreadable_images.insert(root);
      tell_unreadable_image(root.substr(0, root.size() - 1), code);
    }
  }
  return g_dvd.unreadable_images.count(root) == 0;
}

std::string as_root(std::string path) {
  path = platform::program_path_of(path);
  if (path.empty()) return path;
  // A relative folder is taken from where the program was started, like any path argument.
  const bool has_drive = path.size() > 1 && path[1] == ':';
  if (path[0] != '/' && !has_drive) path = platform::current_folder() + path;
  if (path.back() != '/' && !(has_drive && path.size() == 3)) path += '/';
  return path;
}

bool has_iso_suffix(const std::string& name) {
  if (name.size() < 4) return false;
  std::string suffix = name.substr(name.size() - 4);
  for (char& c : suffix) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return suffix == ".iso";
}

}  // namespace

void set_dvd_drives(const std::string& folders) {
  g_dvd.drives_overridden = true;
  g_dvd.drive_override.clear();
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(platform::path_list_separator(), start);
    if (end == std::string::npos) end = folders.size();
    std::string root = folders.substr(start, end - start);
    if (!root.empty()) root = as_root(root);
    if (!root.empty()) g_dvd.drive_override.push_back(root);
    start = end + 1;
  }
  g_dvd.next_scan_due = -1;
}

void clear_dvd_drives_override() {
  g_dvd.drives_overridden = false;
  g_dvd.drive_override.clear();
}

std::vector<std::string> dvd_drive_roots() {
  std::vector<std::string> roots = g_dvd.drives_overridden ? g_dvd.drive_override : platform::mounted_disc_roots();
  for (const std::string& image : g_dvd.image_drives)
    if (std::find(roots.begin(), roots.end(), image) == roots.end()) roots.push_back(image);
  return roots;
}

int use_disc_images(const std::string& chosen) {
  const std::string root = as_root(chosen);
  if (!is_disc_image(root)) {
    const int code = folder_exists(root) ? EISDIR : ENOENT;
    tell_unreadable_image(chosen, code);
    return code;
  }
  g_dvd.checked_images.erase(root);
  g_dvd.unreadable_images.erase(root);
  if (!is_readable_drive(root)) return err_disc_image_damaged;
  // The set's name: from the chosen disc, or from the disc one already read when the
  // chosen one carries no marker.
  std::string product = version_on_disc(root);
  if (product.empty()) product = g_dvd.version;
  const size_t slash = root.rfind('/', root.size() - 2);
  const std::string folder = root.substr(0, slash + 1);
  std::vector<std::string> names;
  std::vector<int> is_folder;
  const int n = product.empty() ? 0 : list_folder(folder, names, is_folder);
  std::vector<std::string> images = {root};
  for (int i = 0; i < n; ++i) {
    const std::string other = folder + names[i] + "/";
    if (is_folder[i] || !has_iso_suffix(names[i]) || other == root || !is_disc_image(other)) continue;
    // Only disc one of a set need carry the marker: a later disc belongs to the set when
    // it holds the set's folder with its manifest archive.
    const std::string version = version_on_disc(other);
    uint64_t size = 0;
    const bool same = version.empty() ? drive_file_size(other + product + "/directory.txt.zip", &size) == 0
                                      : version == product;
    if (same) images.push_back(other);
    else LOG << "The disc image " << other << " is not a disc of " << product << "\n";
  }
  // In the order of their names (DVD1 before DVD2): where every disc of a set carries the
  // marker, the first disc is then the one the install starts from.
  std::sort(images.begin(), images.end());
  for (const std::string& image : images) {
    if (std::find(g_dvd.image_drives.begin(), g_dvd.image_drives.end(), image) == g_dvd.image_drives.end())
      g_dvd.image_drives.push_back(image);
    LOG << "Using the disc image " << image << " as a drive\n";
  }
  g_dvd.next_scan_due = -1;
  return 0;
}

bool has_disc_image_drive() {
  for (const std::string& root : dvd_drive_roots())
    if (is_disc_image(root)) return true;
  return false;
}

bool is_install_disc(const std::string& root) {
  bool yes;
  if (!is_readable_drive(root)) {
    yes = false;
  } else if (!g_dvd.marker_file.empty()) {
    // The marker is an archive of any size: only its being there and non-empty matters.
    uint64_t size = 0;
    yes = drive_file_size(root + g_dvd.marker_file, &size) == 0 && size > 0;
  } else {
    MappedFile file;
    yes = open_disc_marker(file, root);
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
  const std::vector<std::string> roots = dvd_drive_roots();
  for (const std::string& root : roots) {
    if (is_disc_image(root)) continue;
    uint64_t device = 0, inode = 0;
    if (platform::file_identity(root, &device, &inode) == 0 && !counted.insert({device, inode}).second) continue;
    if (is_install_disc(root)) ++discs;
  }
  // Images hold every disc of a set at once and may copy a disc that is also in a drive:
  // they never count as a second disc; the first one that holds it serves when no drive does.
  for (size_t i = 0; i < roots.size() && discs == 0; ++i)
    if (is_disc_image(roots[i]) && is_install_disc(roots[i])) discs = 1;
  if (discs >= 2)
    ALERT(alert_quit, user_text("I found multiple Zephiro CDs in the drives!"), user_text("This is bad!"),
          user_text("Pull out whatever CD you are not using now!"), "");
  g_dvd.cached_found = discs > 0;
  return g_dvd.cached_found;
}

void read_disc_identity() {
  if (g_dvd.root.empty()) dvd_scan(true);
  if (!g_dvd.root.empty() && g_dvd.version.empty()) g_dvd.version = version_on_disc(g_dvd.root);
  if (!g_dvd.version.empty() && g_dvd.manifest_status == 0) {
    std::string archive = dvd_archive_folder() + "directory.txt.zip";
    std::string temp = scratch_folder();
    // An archive inside a disc image comes out to the scratch folder first.
    std::string local = archive;
    int code = 0;
    if (is_disc_image(g_dvd.root)) {
      local = temp + "directory.txt.zip";
      code = copy_drive_file(archive, local);
    }
    if (code == 0) code = zip_to_file(local, temp, nullptr, false);
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
  uint64_t size = 0;
  if (g_dvd.root.empty() || drive_file_size(g_dvd.root + rel, &size) != 0) return false;
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
