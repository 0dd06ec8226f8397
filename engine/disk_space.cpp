#include "engine/disk_space.h"

#include <cstdint>
#include <cstdio>

#include "core/user_text.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "io/file_ops.h"
#include "io/run_folder.h"

void compute_install_totals() {
  InstallTotals& totals = install_manifest().totals;
  totals = InstallTotals();
  const TileGrid& selected = install_scope().selected_tiles;
  for (int g = 0; g < manifest_group_count(); ++g) {
    const ManifestEntry& e = current_entry(g);
    bool wanted = is_entry_wanted(g, manifest_entry_count(g) - 1);
    if (!wanted) continue;
    bool gone = e.expected_signature == "GONE";
    bool tile_on = e.is_scenery_tile && selected.get(e.tile_column, e.tile_row);
    if (!gone && !e.signature_matches && (!e.is_scenery_tile || tile_on)) {
      totals.total_installed_size += e.installed_size;
      if (e.installed_size > totals.largest_installed_size) totals.largest_installed_size = e.installed_size;
      totals.files_to_install += 1;
    }
    // Every file on disk that the plan will delete, counted once: one that left the
    // product (as a full scan finds it: a quick scan, which gives it the "signature" GONE,
    // cannot tell it from a file the user changed, and the plan keeps it) or the tile of a
    // deselected region.
    const bool on_disk = !e.found_signature.empty() && e.found_signature != "NONE";
    const bool gone_and_seen = gone && e.found_signature != "GONE";
    if (on_disk && (gone_and_seen || (e.is_scenery_tile && !tile_on))) totals.files_to_delete += 1;
  }
}

namespace {

// A size is one word on the screen: a line never breaks between its number and its unit.
std::string joined(std::string text) {
  std::string out;
  for (char c : text) out += c == ' ' ? std::string(k_no_break_space) : std::string(1, c);
  return out;
}

}  // namespace

std::string size_text(double k) {
  char buf[64];
  if (k > 1024000.0) {
    // The tenths stand apart, so that a language writes its own decimal sign.
    std::snprintf(buf, sizeof(buf), "%.1f", k / 1048576.0);
    const std::string number = buf;
    const size_t point = number.find_first_of(".,");
    return joined(user_text("%1:whole gigabytes%.%2:tenths% GB", number.substr(0, point), number.substr(point + 1)));
  }
  if (k > 1024.0) {
    std::snprintf(buf, sizeof(buf), "%.0f", k / 1024.0);
    return joined(user_text("%1:megabytes% MB", buf));
  }
  std::snprintf(buf, sizeof(buf), "%.0f", k);
  return joined(user_text("%1:kilobytes% KB", buf));
}

namespace {

// The one rule for the panel's words and for CONTINUE alike: the work fits when it needs
// less than is free (a volume exactly as full as the work would leave it has no room for
// the files' own blocks), or when it writes nothing at all, as a removal or a copy that is
// complete already.
bool has_room(double needed_kb, double free_kb) { return needed_kb == 0 || needed_kb < free_kb; }

}  // namespace

SpaceDecision space_decision_for(const std::string& path) {
  SpaceDecision d;
  uint64_t total = 0, free_bytes = 0;
  if (disk_space(path, &total, &free_bytes) != 0) return d;
  d.shown = true;
  d.total_kb = static_cast<double>(total / 1000);
  d.free_kb = static_cast<double>(free_bytes / 1000);
  d.needed_kb = install_manifest().totals.total_installed_size;
  d.enough = has_room(d.needed_kb, d.free_kb);
  return d;
}

SpaceDecision space_decision() { return space_decision_for(install_path()); }

SpaceDecision scratch_space_decision() {
  SpaceDecision d;
  const std::string scratch = scratch_folder();
  // On the copy's own disk the archive's room is part of what the copy needs anyway.
  if (on_same_filesystem(scratch, install_path())) return d;
  uint64_t total = 0, free_bytes = 0;
  if (disk_space(scratch + ".", &total, &free_bytes) != 0) return d;
  d.shown = true;
  d.total_kb = static_cast<double>(total / 1000);
  d.free_kb = static_cast<double>(free_bytes / 1000);
  // An archive is never much larger than the file it holds, even when nothing compresses:
  // its headers and the stored blocks' framing stay within a hundredth and a few blocks.
  const double largest = install_manifest().totals.largest_installed_size;
  d.needed_kb = largest > 0 ? largest + largest / 100 + 64 : 0;
  d.enough = has_room(d.needed_kb, d.free_kb);
  return d;
}
