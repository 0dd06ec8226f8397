// The disc-set maker (tools/make_disc_set) builds sets the installer can read: every
// archive extracts to the file whose signature its manifest promises.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "engine/manifest.h"
#include "io/archive.h"
#include "io/md5.h"
#include "tests/test_util.h"

namespace fs = std::filesystem;

namespace {

const char kName[] = "Zephiro 9 DVD";

struct Entry {
  int platform = 0;
  long installed_kb = 0;
  std::string signature;
  std::string path;
  int disc = 0;
};
using Group = std::vector<Entry>;

std::string shell_quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

bool make_set(const std::string& out, const std::string& options) { return run_disc_set_maker(out, options); }

// Just enough of directory.txt: DISK, DIR and FILE lines, versions of a path grouped.
std::vector<Group> read_manifest(const std::string& text) {
  std::vector<Group> groups;
  std::istringstream lines(text);
  std::string line, prefix;
  int disc = 0;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string keyword;
    fields >> keyword;
    if (keyword == "DISK") fields >> disc;
    if (keyword == "DIR") prefix = line.substr(line.find_first_not_of(" \t", 3));
    if (keyword != "FILE") continue;
    Entry e;
    std::string ignored, rest;
    fields >> ignored >> e.platform >> ignored >> ignored >> e.installed_kb >> e.signature;
    std::getline(fields, rest);
    e.path = prefix + rest.substr(rest.find_first_not_of(" \t"));
    e.disc = disc;
    if (groups.empty() || groups.back().back().path != e.path) groups.emplace_back();
    groups.back().push_back(e);
  }
  return groups;
}

std::vector<Group> manifest_of(const std::string& set, const TempDir& scratch) {
  std::string zip = set + "/disc1/" + kName + "/directory.txt.zip";
  EXPECT_EQ(zip_to_file(zip, scratch.path(), nullptr, false), 0);
  return read_manifest(read_file(scratch / "directory.txt"));
}

std::string install_relative(const std::string& path) { return path.substr(path.find('/') + 1); }

bool is_scenery(const std::string& path) { return path.find("Global Scenery") != std::string::npos; }

std::string archive_of(const std::string& set, int disc, const std::string& path) {
  return set + "/disc" + std::to_string(disc + 1) + "/" + kName + "/" + path + (is_scenery(path) ? ".7z" : ".zip");
}

// Installs every current version from its disc into `copy`, as the installer's tasks do,
// and checks each against its manifest line.
void install_and_verify(const std::string& set, const std::vector<Group>& groups, int discs,
                        const std::string& copy) {
  for (const Group& group : groups) {
    const Entry& e = group.back();
    SCOPED_TRACE(e.path);
    for (int d = 0; d < discs; ++d)
      EXPECT_EQ(fs::exists(archive_of(set, d, e.path)), d == e.disc && e.signature != "GONE");
    if (e.signature == "GONE") continue;
    std::string target = copy + install_relative(e.path);
    std::string folder = target.substr(0, target.find_last_of('/') + 1);
    fs::create_directories(folder);
    std::string archive = archive_of(set, e.disc, e.path);
    int code = is_scenery(e.path) ? sevenzip_to_folder(archive, folder, nullptr, false)
                                  : zip_to_file(archive, folder, nullptr, false);
    ASSERT_EQ(code, 0);
    std::string signature;
    ASSERT_EQ(md5_of_file(target, signature), 0);
    EXPECT_EQ(signature, e.signature);
    EXPECT_EQ(e.installed_kb, long((fs::file_size(target) + 999) / 1000));
  }
}

}  // namespace

TEST(DiscSet, ThreeDiscSetExtractsToItsManifestSignatures) {
  TempDir dir;
  std::string set = dir / "set";
  ASSERT_TRUE(make_set(set, "--discs=3 --size=tiny --seed=4"));

  EXPECT_EQ(read_file(set + "/disc1/dvd_version.txt"), std::string("A\n900\nDVD\nVERSION ") + kName + "\n");
  for (int d = 2; d <= 3; ++d) EXPECT_FALSE(fs::exists(set + "/disc" + std::to_string(d) + "/dvd_version.txt"));
  for (int d = 2; d <= 3; ++d)
    EXPECT_EQ(read_file(set + "/disc" + std::to_string(d) + "/" + kName + "/directory.txt.zip"),
              read_file(set + "/disc1/" + kName + "/directory.txt.zip"));

  TempDir scratch;
  ASSERT_EQ(zip_to_file(set + "/disc1/" + kName + "/directory.txt.zip", scratch.path(), nullptr, false), 0);
  std::string manifest = read_file(scratch / "directory.txt");
  EXPECT_EQ(manifest.substr(0, 16), "I\n900\nINSTALLER\n");
  std::vector<Group> groups = read_manifest(manifest);
  ASSERT_GT(groups.size(), 20u);

  std::string copy = dir / "copy/";
  install_and_verify(set, groups, 3, copy);
  for (const char* folder : {"Airfoils", "Instructions", "Output", "Resources"})
    EXPECT_TRUE(fs::is_directory(copy + folder)) << folder;
  EXPECT_TRUE(fs::exists(copy + "Zephiro.exe"));
  // (Windows files have no execute permission to keep.)
  if (posix_system()) {
    EXPECT_NE(fs::status(copy + "Zephiro").permissions() & fs::perms::owner_exec, fs::perms::none);
  }

  // What the set must exercise in the installer.
  std::set<int> platforms, archive_discs, tile_discs;
  bool gone = false, empty_file = false, three_versions = false;
  for (const Group& g : groups) {
    const Entry& e = g.back();
    platforms.insert(e.platform);
    gone |= e.signature == "GONE";
    empty_file |= e.signature == "d41d8cd98f00b204e9800998ecf8427e";
    three_versions |= g.size() >= 3;
    if (e.signature != "GONE") archive_discs.insert(e.disc);
    if (e.path.find("/Global Scenery/-global terrain-/") != std::string::npos) tile_discs.insert(e.disc);
  }
  EXPECT_EQ(platforms, (std::set<int>{0, 1, 2, 3, 6}));
  EXPECT_TRUE(gone);
  EXPECT_TRUE(empty_file);
  EXPECT_TRUE(three_versions);
  EXPECT_EQ(archive_discs, (std::set<int>{0, 1, 2}));
  EXPECT_GE(tile_discs.size(), 2u);
}

TEST(DiscSet, InstallerManifestReaderReadsTheSameSet) {
  TempDir dir, scratch;
  ASSERT_TRUE(make_set(dir / "set", "--discs=2 --seed=3"));
  std::vector<Group> groups = manifest_of(dir / "set", scratch);
  ASSERT_EQ(read_install_manifest(scratch / "directory.txt"), 3);
  ASSERT_EQ(manifest_group_count(), int(groups.size()));
  EXPECT_TRUE(install_manifest().has_base_files);
  EXPECT_TRUE(install_manifest().has_scenery_tiles);
  int tiles = 0;
  for (int g = 0; g < manifest_group_count(); ++g) {
    const ManifestEntry& e = current_entry(g);
    SCOPED_TRACE(e.path);
    EXPECT_EQ(manifest_entry_count(g), int(groups[g].size()));
    EXPECT_EQ(e.path, groups[g].back().path);
    EXPECT_EQ(e.expected_signature, groups[g].back().signature);
    EXPECT_EQ(e.disc_number, groups[g].back().disc);
    EXPECT_EQ(archive_suffix(g), is_scenery(e.path) ? ".7z" : ".zip");
    EXPECT_EQ(e.is_scenery_tile, is_scenery(e.path));
    if (e.is_scenery_tile) {
      ++tiles;
      EXPECT_TRUE(install_manifest().available_tiles.get(e.tile_column, e.tile_row));
    }
  }
  EXPECT_GE(tiles, 4);
  reset_install_manifest();
}

TEST(DiscSet, SeedDecidesTheContent) {
  TempDir dir, scratch_a, scratch_b, scratch_c;
  ASSERT_TRUE(make_set(dir / "a", "--discs=2 --seed=9"));
  ASSERT_TRUE(make_set(dir / "b", "--discs=2 --seed=9"));
  ASSERT_TRUE(make_set(dir / "c", "--discs=2 --seed=10"));
  std::vector<Group> a = manifest_of(dir / "a", scratch_a), b = manifest_of(dir / "b", scratch_b),
                     c = manifest_of(dir / "c", scratch_c);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_EQ(a.size(), c.size());
  int same_as_other_seed = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].back().signature, b[i].back().signature) << a[i].back().path;
    same_as_other_seed += a[i].back().signature == c[i].back().signature;
  }
  // The empty file, the GONE entry and the Linux start script; on Windows also the small
  // Zephiro.exe the maker puts in.
  EXPECT_LE(same_as_other_seed, posix_system() ? 3 : 4);
}

TEST(DiscSet, ArchivesWrittenWithoutTheToolsAndTheOldCopy) {
  TempDir dir, scratch;
  std::string set = dir / "set", old_copy = dir / "old";
  ASSERT_TRUE(make_set(set, "--discs=2 --no-tools --old-copy=" + shell_quoted(old_copy)));
  std::vector<Group> groups = manifest_of(set, scratch);
  install_and_verify(set, groups, 2, dir / "copy/");
  // The old copy holds every path at its first version.
  for (const Group& g : groups) {
    std::string signature;
    ASSERT_EQ(md5_of_file(old_copy + "/" + install_relative(g.front().path), signature), 0) << g.front().path;
    EXPECT_EQ(signature, g.front().signature);
  }
}

TEST(DiscSet, RefusesAFolderInUseAndTooManyDiscs) {
  TempDir dir;
  write_file(dir / "notes.txt", "mine");
  EXPECT_FALSE(make_set(dir.path(), "--discs=1"));
  EXPECT_EQ(read_file(dir / "notes.txt"), "mine");
  EXPECT_FALSE(make_set(dir / "set", "--discs=500"));
}
