// The install manifest reader on arbitrary directory.txt files: whatever it accepts must be
// a manifest the engine can work on safely.

#include "engine/manifest.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratch("manifest");
  fuzz::keep_quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_run();
  const std::string path = fuzz::scratch() + "directory.txt";
  fuzz::write_file(path, data, size);
  int result = read_install_manifest(path);

  const InstallManifest& m = install_manifest();
  FUZZ_CHECK(result == manifest_read || result == manifest_rejected);
  if (result == manifest_rejected) {
    FUZZ_CHECK(m.groups.empty() && !m.has_base_files && !m.has_scenery_tiles);
    return 0;
  }
  // The only report is the fatal one for a path that names no file, which rejects the file.
  FUZZ_CHECK(fuzz::reports().alerts == 0);

  TileGrid tiles;
  bool base = false, scenery = false;
  for (size_t g = 0; g < m.groups.size(); ++g) {
    const ManifestGroup& group = m.groups[g];
    FUZZ_CHECK(!group.entries.empty());
    // Versions of one path stand together, and a new path starts a new group.
    if (g > 0) FUZZ_CHECK(m.groups[g - 1].current().path != group.current().path);
    for (const ManifestEntry& e : group.entries) {
      FUZZ_CHECK(e.path == group.current().path);
      FUZZ_CHECK(!e.path.empty() && e.path.back() != '/');
      FUZZ_CHECK(stays_inside_copy(install_relative_path(e.path)));
      FUZZ_CHECK(e.platform_code >= 0 && e.platform_code <= 6);
      FUZZ_CHECK(!e.install_flag && !e.delete_flag && !e.signature_matches && e.found_signature.empty());
      if (e.is_scenery_tile) {
        FUZZ_CHECK(e.tile_row >= 0 && e.tile_row < tile_rows);
        FUZZ_CHECK(e.tile_column >= 0 && e.tile_column < tile_columns);
      }
    }
    const ManifestEntry& current = group.current();
    if (current.is_scenery_tile)
      tiles.set(current.tile_column, current.tile_row, true), scenery = true;
    else
      base = true;
    const std::string suffix = archive_suffix(static_cast<int>(g));
    FUZZ_CHECK(suffix == ".zip" || suffix == ".7z");
  }
  FUZZ_CHECK(base == m.has_base_files && scenery == m.has_scenery_tiles);
  for (int c = 0; c < tile_columns; ++c)
    for (int r = 0; r < tile_rows; ++r) FUZZ_CHECK(tiles.get(c, r) == m.available_tiles.get(c, r));
  return 0;
}
