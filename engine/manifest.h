#pragma once
// The install manifest: directory.txt of the DVD set, read into one group of versions per
// file path. It is the process-wide model that the scan, the plan, the executor, the
// disk-space totals and the world map all work on.

#include <string>
#include <vector>

// Results of read_install_manifest().
enum ManifestReadResult { manifest_rejected = 2, manifest_read = 3 };

enum { tile_columns = 36, tile_rows = 18 };

// One flag per 10 x 10 degree scenery tile: column = (longitude + 180) / 10,
// row = (latitude + 90) / 10.
struct TileGrid {
  bool on[tile_columns][tile_rows] = {};

  void clear();
  bool get(int column, int row) const;
  void set(int column, int row, bool value);
};

// One FILE line of the manifest: one version of one file.
struct ManifestEntry {
  int platform_code = 0;       // 0 every platform, 1 APL, 2 IBM, 3 LIN, 6 LIN only
  int reserved_int = 0;        // kept as read; nothing depends on it
  float reserved_size = 0;     // kept as read; nothing depends on it
  float installed_size = 0;    // size on disk in kilobytes of 1000 bytes
  std::string expected_signature;  // 32 lowercase hex digits, or "GONE"
  std::string found_signature;     // MD5 of the installed file, "NONE", or empty before a scan
  std::string path;                // top folder + path inside the copy
  int disc_number = 0;
  bool signature_matches = false;
  bool is_scenery_tile = false;
  int tile_row = 0;     // 0..17, only for a scenery tile
  int tile_column = 0;  // 0..35, only for a scenery tile
  // Set by the install plan; read by the executor.
  bool install_flag = false;
  bool delete_flag = false;
  float progress_start = 0;  // share of the install work done before this group
};

// Every version of one path, oldest first; never empty. The last entry is the one to install.
struct ManifestGroup {
  std::vector<ManifestEntry> entries;

  ManifestEntry& current() { return entries.back(); }
  const ManifestEntry& current() const { return entries.back(); }
};

// What the coming work will extract and delete; zeroed by every manifest read and
// recomputed by the disk-space accounting.
struct InstallTotals {
  float total_installed_size = 0;  // kilobytes of 1000 bytes
  float largest_installed_size = 0;  // the largest single file to install, the same unit
  int files_to_install = 0;
  int files_to_delete = 0;
};

struct InstallManifest {
  std::vector<ManifestGroup> groups;  // in file order; indexes stay valid until the next read
  TileGrid available_tiles;
  bool has_scenery_tiles = false;
  bool has_base_files = false;
  InstallTotals totals;
};

InstallManifest& install_manifest();
void reset_install_manifest();

// Reads the extracted directory.txt into the install manifest, replacing it.
// 3 = read; 2 = the header was rejected (the manifest is then empty). A path that names no
// file, or one that would land outside the copy, gets a fatal report. The caption is unused.
int read_install_manifest(const std::string& path, const char* progress_caption = nullptr);

int manifest_group_count();
int manifest_entry_count(int group);
ManifestEntry& manifest_entry(int group, int entry);
ManifestEntry& current_entry(int group);

// ".7z" when the group's current path lies under "Global Scenery", else ".zip";
// empty for an index outside the manifest.
std::string archive_suffix(int group);

// The path without its top folder: everything up to and including the first '/' removed.
std::string install_relative_path(const std::string& path);
// Where the entry lives inside the copy at `install_path` (which ends with '/').
std::string install_location(const std::string& install_path, const ManifestEntry& entry);
// False for an install-relative path that is absolute or climbs out through "..".
bool stays_inside_copy(const std::string& install_relative);

// The tile of a file name such as "+40-074.dsf" (the path's last component); false when the
// name is not a tile name or lies outside the grid.
bool tile_of_name(const std::string& path, int* row, int* column);
// The name of a tile by its south-west corner, latitude then longitude: "+40-080".
std::string tile_name(int column, int row);
// Whether a manifest path names a scenery tile file; sets row and column when it does.
bool is_scenery_tile_path(const std::string& path, int* row, int* column);
