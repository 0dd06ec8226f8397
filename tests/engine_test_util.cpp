#include "tests/engine_test_util.h"

#include <cstdio>

int add_group(const std::string& path, const std::vector<EntrySpec>& versions) {
  ManifestGroup group;
  for (const EntrySpec& v : versions) {
    ManifestEntry e;
    e.path = path;
    e.expected_signature = v.signature;
    e.platform_code = v.platform;
    e.installed_size = v.size_kb;
    e.disc_number = v.disc;
    int row = 0, column = 0;
    e.is_scenery_tile = is_scenery_tile_path(path, &row, &column);
    if (e.is_scenery_tile) {
      e.tile_row = row;
      e.tile_column = column;
    }
    group.entries.push_back(e);
  }
  install_manifest().groups.push_back(group);
  return static_cast<int>(install_manifest().groups.size()) - 1;
}

void set_found(int group, const std::string& found) {
  ManifestEntry& e = current_entry(group);
  e.found_signature = found;
  e.signature_matches = found == e.expected_signature;
}

void finish_manifest() {
  InstallManifest& m = install_manifest();
  m.available_tiles.clear();
  m.has_base_files = m.has_scenery_tiles = false;
  for (const ManifestGroup& g : m.groups) {
    const ManifestEntry& e = g.current();
    if (e.is_scenery_tile) {
      m.available_tiles.set(e.tile_column, e.tile_row, true);
      m.has_scenery_tiles = true;
    } else {
      m.has_base_files = true;
    }
  }
}

std::string sig(int n) {
  char buf[40];
  std::snprintf(buf, sizeof(buf), "%032x", n);
  return buf;
}
