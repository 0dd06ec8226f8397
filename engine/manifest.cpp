#include "engine/manifest.h"

#include <cstdint>
#include <cstdio>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "core/user_text.h"
#include "engine/work_record.h"
#include "io/file_ops.h"
#include "io/mapped_file.h"

namespace {

InstallManifest g_manifest;

// A read position inside the manifest text. CR, LF and NUL end a line, and so does the
// end of the data; space and tab are blanks.
struct Cursor {
  const char* p;
  const char* end;
};

bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool at_line_end(const Cursor& c) { return c.p >= c.end || is_line_end(*c.p); }
bool at_field_end(const Cursor& c) { return at_line_end(c) || is_blank(*c.p); }

void skip_blanks(Cursor& c) {
  while (c.p < c.end && is_blank(*c.p)) ++c.p;
}

// Leaves the cursor on the first non-blank character of the next non-empty line.
void skip_to_next_line(Cursor& c) {
  skip_blanks(c);
  while (!at_line_end(c)) ++c.p;
  while (c.p < c.end && (is_line_end(*c.p) || is_blank(*c.p))) ++c.p;
}

// Every character up to the next blank or line end counts as a digit, as the DVD tools
// wrote it; the arithmetic wraps instead of overflowing on garbage.
int read_int(Cursor& c) {
  skip_blanks(c);
  bool negative = false;
  if (c.p < c.end && *c.p == '-') {
    negative = true;
    ++c.p;
  }
  if (c.p < c.end && *c.p == '+') ++c.p;
  uint32_t value = 0;
  for (; !at_field_end(c); ++c.p)
    value = value * 10u + static_cast<uint32_t>(static_cast<int>(static_cast<unsigned char>(*c.p)) - 48);
  return static_cast<int>(negative ? 0u - value : value);
}

std::string read_token(Cursor& c) {
  skip_blanks(c);
  const char* start = c.p;
  while (!at_field_end(c)) ++c.p;
  return std::string(start, c.p);
}

std::string read_rest_of_line(Cursor& c) {
  skip_blanks(c);
  const char* start = c.p;
  while (!at_line_end(c)) ++c.p;
  return std::string(start, c.p);
}

// The keyword must stand first on the line and be followed by a blank.
bool match_keyword(Cursor& c, const char* keyword) {
  skip_blanks(c);
  const char* q = c.p;
  for (const char* k = keyword; *k; ++k, ++q)
    if (q >= c.end || *q != *k) return false;
  if (q >= c.end || !is_blank(*q)) return false;
  c.p = q;
  return true;
}

bool is_separator(char c) { return c == '/' || c == '\\'; }

bool ends_with_ignoring_case(const std::string& text, const char* suffix_lower, size_t n) {
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char ch = text[text.size() - n + i];
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    if (ch != suffix_lower[i]) return false;
  }
  return true;
}

// An optional sign followed by at least one digit.
bool read_tile_part(const std::string& part, int* value) {
  size_t i = 0;
  bool negative = false;
  if (i < part.size() && (part[i] == '+' || part[i] == '-')) negative = (part[i++] == '-');
  if (i == part.size()) return false;
  int magnitude = 0;
  for (; i < part.size(); ++i) {
    if (part[i] < '0' || part[i] > '9') return false;
    magnitude = magnitude * 10 + (part[i] - '0');
  }
  *value = negative ? -magnitude : magnitude;
  return true;
}

void report_missing_manifest(const std::string& path) {
  ALERT(alert_quit, user_text("I tried to read a directory file that does not exist!"), user_text("The file is:"),
        path, "");
}

void report_path_without_file(const std::string& path) {
  ALERT(alert_quit, user_text("I am reading the directory text file and found a path that has no file!"),
        user_text("This is impossible to download or delete!"), user_text("It is:"), path);
}

// A path that names a folder, or one whose file would land outside the copy, can be neither
// installed nor deleted.
bool names_installable_file(const std::string& path) {
  if (is_separator(path.back())) return false;
  return stays_inside_copy(install_relative_path(path));
}

// Parses one FILE line (the keyword already read) into `entry`.
void read_file_fields(Cursor& c, const std::string& prefix, int disc, ManifestEntry& entry) {
  read_int(c);  // a leading field the installer has never used
  int platform = read_int(c);
  entry.platform_code = platform < 0 ? 0 : (platform > 6 ? 6 : platform);
  entry.reserved_int = read_int(c);
  entry.reserved_size = static_cast<float>(read_int(c));
  entry.installed_size = static_cast<float>(read_int(c));
  entry.expected_signature = read_token(c);
  entry.path = prefix + read_rest_of_line(c);
  entry.disc_number = disc;
  entry.is_scenery_tile = is_scenery_tile_path(entry.path, &entry.tile_row, &entry.tile_column);
}

// Consecutive lines of one path are the versions of one group.
void add_entry(ManifestEntry&& entry) {
  std::vector<ManifestGroup>& groups = g_manifest.groups;
  if (groups.empty() || groups.back().current().path != entry.path) groups.emplace_back();
  groups.back().entries.push_back(std::move(entry));
}

void summarise_tiles() {
  int tile_groups = 0, base_groups = 0;
  g_manifest.available_tiles.clear();
  for (const ManifestGroup& g : g_manifest.groups) {
    const ManifestEntry& e = g.current();
    if (e.is_scenery_tile) {
      g_manifest.available_tiles.set(e.tile_column, e.tile_row, true);
      ++tile_groups;
    } else {
      ++base_groups;
    }
  }
  g_manifest.has_scenery_tiles = tile_groups > 0;
  g_manifest.has_base_files = base_groups > 0;
}

// Reads the body after the header. False when a line was reported as fatal.
bool read_body(Cursor c) {
  std::string prefix;
  int disc = 0;
  skip_blanks(c);
  while (c.p < c.end) {
    if (match_keyword(c, "DIR")) {
      prefix = read_rest_of_line(c);
    } else if (match_keyword(c, "DISK")) {
      disc = read_int(c);
    } else if (match_keyword(c, "FILE")) {
      ManifestEntry entry;
      read_file_fields(c, prefix, disc, entry);
      // A line cut short before its path describes nothing that could be installed.
      if (!entry.path.empty()) {
        if (!names_installable_file(entry.path)) {
          report_path_without_file(entry.path);
          return false;
        }
        if (is_reserved_copy_path(install_relative_path(entry.path)))
          LOG << "Skipping the manifest path " << entry.path << ": the installer keeps its own files under that name.\n";
        else
          add_entry(std::move(entry));
      }
    }
    skip_to_next_line(c);
  }
  return true;
}

// A file that is there but holds nothing has no header to accept.
bool is_empty_file(std::string path) {
  make_absolute(path);
  uint64_t size = 0;
  return regular_file_size(path, &size) == 0 && size == 0;
}

}  // namespace

void TileGrid::clear() { *this = TileGrid(); }

bool TileGrid::get(int column, int row) const {
  if (column < 0 || column >= tile_columns || row < 0 || row >= tile_rows) return false;
  return on[column][row];
}

void TileGrid::set(int column, int row, bool value) {
  if (column < 0 || column >= tile_columns || row < 0 || row >= tile_rows) return;
  on[column][row] = value;
}

InstallManifest& install_manifest() { return g_manifest; }

void reset_install_manifest() { g_manifest = InstallManifest(); }

int read_install_manifest(const std::string& path, const char* progress_caption) {
  reset_install_manifest();
  MappedFile file(path);
  if (!file.has_view()) {
    if (is_empty_file(path)) return manifest_rejected;
    report_missing_manifest(path);
    return manifest_rejected;
  }
  static const int accepted[] = {840, 900, 0};
  if (check_file(file, kind_text, accepted, "INSTALLER", nullptr) == 0) return manifest_rejected;
  if (!read_body(Cursor{file.pos, file.end()})) {
    // Only reached when the fatal report did not end the program: use nothing of this file.
    reset_install_manifest();
    return manifest_rejected;
  }
  summarise_tiles();
  return manifest_read;
}

int manifest_group_count() { return static_cast<int>(g_manifest.groups.size()); }

int manifest_entry_count(int group) {
  return static_cast<int>(g_manifest.groups[static_cast<size_t>(group)].entries.size());
}

ManifestEntry& manifest_entry(int group, int entry) {
  return g_manifest.groups[static_cast<size_t>(group)].entries[static_cast<size_t>(entry)];
}

ManifestEntry& current_entry(int group) { return g_manifest.groups[static_cast<size_t>(group)].current(); }

std::string archive_suffix(int group) {
  if (group < 0 || group >= manifest_group_count()) return std::string();
  return current_entry(group).path.find("Global Scenery") != std::string::npos ? ".7z" : ".zip";
}

std::string install_relative_path(const std::string& path) {
  size_t slash = path.find('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string install_location(const std::string& install_path, const ManifestEntry& entry) {
  return install_path + install_relative_path(entry.path);
}

bool stays_inside_copy(const std::string& rel) {
  if (!rel.empty() && is_separator(rel[0])) return false;
  if (rel.size() >= 2 && rel[1] == ':') return false;  // a drive prefix
  // Path normalisation turns '\' and ':' into '/', so each of them may end a component.
  size_t start = 0;
  while (start <= rel.size()) {
    size_t stop = rel.find_first_of("/\\:", start);
    if (stop == std::string::npos) stop = rel.size();
    if (rel.compare(start, stop - start, "..") == 0) return false;
    start = stop + 1;
  }
  return true;
}

bool tile_of_name(const std::string& path, int* row, int* column) {
  size_t end = path.size();
  if (end > 0 && is_separator(path[end - 1])) --end;
  size_t start = end;
  while (start > 0 && !is_separator(path[start - 1])) --start;
  std::string name = path.substr(start, end - start);
  int latitude = 0, longitude = 0;
  if (!read_tile_part(name.substr(0, 3), &latitude)) return false;
  if (name.size() < 3 || !read_tile_part(name.substr(3, 4), &longitude)) return false;
  int r = (latitude + 90) / 10;
  int c = (longitude + 180) / 10;
  if (r < 0 || r >= tile_rows || c < 0 || c >= tile_columns) return false;
  *row = r;
  *column = c;
  return true;
}

std::string tile_name(int column, int row) {
  char text[32];  // room for any int, though a grid cell needs 7
  const int latitude = row * 10 - 90, longitude = column * 10 - 180;
  std::snprintf(text, sizeof text, "%c%02d%c%03d", latitude < 0 ? '-' : '+', latitude < 0 ? -latitude : latitude,
                longitude < 0 ? '-' : '+', longitude < 0 ? -longitude : longitude);
  return text;
}

bool is_scenery_tile_path(const std::string& path, int* row, int* column) {
  static const char* const folders[] = {"Global Scenery/", "/-global overlays-/", "/-global terrain-/",
                                        "/default scenery/DSF 820"};
  bool in_scenery_folder = false;
  for (const char* f : folders) in_scenery_folder = in_scenery_folder || path.find(f) != std::string::npos;
  if (!in_scenery_folder) return false;
  if (path.size() <= 4 || !ends_with_ignoring_case(path, ".dsf", 4)) return false;
  return tile_of_name(path, row, column);
}
