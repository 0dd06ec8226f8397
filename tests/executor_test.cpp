// The install engine end to end on disc sets made by tools/make_disc_set: scan, plan,
// folders, deletions and the extraction pipeline across disc changes.
#include "engine/executor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "core/alert.h"
#include "core/app_state.h"
#include "engine/disk_space.h"
#include "engine/install_plan.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "engine/work_record.h"
#include "engine/dvd_discovery.h"
#include "io/file_ops.h"
#include "io/md5.h"
#include "tests/test_util.h"

namespace {

// One 3-disc set for the whole suite; the tests only read it.
std::unique_ptr<TempDir> g_set;

std::string disc(int n) { return g_set->path() + "disc" + std::to_string(n) + "/"; }

class EngineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_set = std::make_unique<TempDir>();
    ASSERT_TRUE(make_tiny_disc_set(g_set->path(), 3));
  }
  static void TearDownTestSuite() { g_set.reset(); }

  void SetUp() override {
    reset_app_state();
    reset_dvd_discovery();
    reset_install_manifest();
    reset_install_scope();
    reset_install_plan();
    reset_executor();
    app().target_platform = platform_lin;
    app().temp_folder = temp.path();
    set_alert_handler([this](const AlertRequest& r) { alerts.push_back(r); });
    set_conflict_prompt([this](const std::string& location, bool delete_form) {
      asked.push_back(location);
      asked_delete_form.push_back(delete_form);
      int a = answers.empty() ? 2 : answers.front();
      if (!answers.empty()) answers.erase(answers.begin());
      return a;
    });
    set_dvd_drives(disc(1) + list_separator() + disc(2) + list_separator() + disc(3));
    read_disc_identity();
    ASSERT_EQ(manifest_read_status(), 3);
    install_path() = copy.path() + "Zephiro 9/";
  }
  void TearDown() override {
    set_alert_handler(nullptr);
    set_conflict_prompt(nullptr);
    reset_executor();
    reset_install_plan();
  }

  void scan(bool quick) {
    int cursor = 0;
    float progress = 0;
    for (int guard = 0; !checksum_step(cursor, quick, progress); ++guard) {
      ASSERT_LT(guard, 1000000);
      usleep(200);
    }
    EXPECT_FLOAT_EQ(progress, manifest_group_count() ? 1.0f : 0.0f);
  }

  // Runs the executor to the end, changing discs as asked; returns the groups at which
  // it asked for another disc.
  std::vector<int> run_executor() {
    std::vector<int> boundaries;
    int cursor = 0, disc_number = current_disc_number();
    bool at_the_end = false;
    for (int guard = 0;; ++guard) {
      EXPECT_LT(guard, 1000000);
      int r = install_step(cursor, disc_number);
      // The progress line tells of the end only when nothing is left in flight.
      if (at_the_end) {
        EXPECT_EQ(r, install_done);
      }
      if (r == install_done) break;
      if (r == install_failed) {
        std::string message;
        failures.push_back(std::to_string(take_install_error(message)) + " " + message);
        continue;
      }
      if (r == install_needs_disc) {
        boundaries.push_back(cursor);
        EXPECT_TRUE(find_needed_disc(cursor));
        disc_number = current_disc_number();
        EXPECT_EQ(disc_number, current_entry(cursor).disc_number);
        continue;
      }
      // It names only a file the plan works on.
      const int at = install_position(cursor);
      at_the_end = at >= manifest_group_count();
      if (!at_the_end) {
        EXPECT_TRUE(current_entry(at).install_flag) << current_entry(at).path;
      }
      usleep(200);
    }
    return boundaries;
  }

  // Install Step from the first group until it reports anything but "working".
  int step_until_it_stops(int disc_number) {
    int cursor = 0, r;
    for (int guard = 0; (r = install_step(cursor, disc_number)) == install_working && guard < 1000000; ++guard)
      usleep(200);
    return r;
  }

  // Plan, folders, deletions and extraction, as every wizard runs them.
  std::vector<int> carry_out() {
    EXPECT_EQ(build_install_plan(), 1);
    EXPECT_EQ(create_install_folders(), 0);
    delete_unwanted_files();
    return run_executor();
  }

  std::string location(int g) { return install_location(install_path(), current_entry(g)); }

  // Every wanted, selected file of the copy holds its current version.
  void expect_copy_current() {
    for (int g = 0; g < manifest_group_count(); ++g) {
      const ManifestEntry& e = current_entry(g);
      bool wanted = is_entry_wanted(g, manifest_entry_count(g) - 1) &&
                    (!e.is_scenery_tile || install_scope().selected_tiles.get(e.tile_column, e.tile_row));
      std::string found = "NONE";
      md5_of_file(location(g), found);
      if (wanted && e.expected_signature != "GONE") {
        EXPECT_EQ(found, e.expected_signature) << e.path;
      } else if (e.expected_signature == "GONE") {
        EXPECT_EQ(found, "NONE") << e.path;
      }
    }
  }

  int find_group(const std::string& suffix) {
    for (int g = 0; g < manifest_group_count(); ++g) {
      const std::string& p = current_entry(g).path;
      if (p.size() >= suffix.size() && p.compare(p.size() - suffix.size(), suffix.size(), suffix) == 0) return g;
    }
    ADD_FAILURE() << "no group ends with " << suffix;
    return 0;
  }

  // A new copy with every file and tile: scan, plan and folders, ready for Install Step.
  void plan_everything() {
    set_install_scope(true, true);
    scan(false);
    install_scope().selected_tiles = install_manifest().available_tiles;
    ASSERT_EQ(build_install_plan(), 1);
    ASSERT_EQ(create_install_folders(), 0);
  }

  void fresh_install() {
    plan_everything();
    delete_unwanted_files();
    run_executor();
    ASSERT_TRUE(failures.empty()) << failures[0];
  }

  TempDir copy, temp;
  std::vector<AlertRequest> alerts;
  std::vector<std::string> asked, failures;
  std::vector<bool> asked_delete_form;
  std::vector<int> answers;
};

TEST_F(EngineTest, FreshInstallAcrossThreeDiscs) {
  set_install_scope(true, true);
  scan(false);
  for (int g = 0; g < manifest_group_count(); ++g) EXPECT_EQ(current_entry(g).found_signature, "NONE");
  install_scope().selected_tiles = install_manifest().available_tiles;
  ASSERT_EQ(build_install_plan(), 1);
  ASSERT_EQ(create_install_folders(), 0);
  for (const char* f : {"Output/FMS plans", "Output/logbooks", "Output/replays", "Output/situations",
                        "Output/preferences", "Resources"})
    EXPECT_TRUE(folder_exists(install_path() + f)) << f;
  delete_unwanted_files();
  std::vector<int> boundaries = run_executor();
  ASSERT_TRUE(failures.empty()) << failures[0];
  EXPECT_TRUE(asked.empty());
  EXPECT_TRUE(alerts.empty());

  // One stop at each disc boundary, at the first marked group of the next disc.
  ASSERT_EQ(boundaries.size(), 2u);
  for (size_t i = 0; i < boundaries.size(); ++i) {
    int g = boundaries[i];
    EXPECT_EQ(current_entry(g).disc_number, static_cast<int>(i) + 1);
    int previous = g - 1;
    while (previous >= 0 && !current_entry(previous).install_flag) --previous;
    ASSERT_GE(previous, 0);
    EXPECT_EQ(current_entry(previous).disc_number, static_cast<int>(i));
  }
  expect_copy_current();
  // Files of other platforms are not installed; the Linux program keeps its execute bit.
  EXPECT_FALSE(file_exists(install_path() + "Zephiro.exe"));
  EXPECT_EQ(access((install_path() + "Zephiro").c_str(), X_OK), 0);
  for (int g = 0; g < manifest_group_count(); ++g)
    if (current_entry(g).install_flag) {
      EXPECT_TRUE(current_entry(g).signature_matches);
    }
  // The temporary copies of the archives are gone: only the manifest read at the start is left.
  std::vector<std::string> names;
  std::vector<int> folders;
  EXPECT_EQ(list_folder(temp.path(), names, folders), 1);
  EXPECT_EQ(names, std::vector<std::string>{"directory.txt"});

  // A second scan finds everything current and plans nothing.
  scan(false);
  compute_install_totals();
  EXPECT_EQ(install_manifest().totals.files_to_install, 0);
  ASSERT_EQ(build_install_plan(), 1);
  for (int g = 0; g < manifest_group_count(); ++g) {
    EXPECT_FALSE(current_entry(g).install_flag) << current_entry(g).path;
    EXPECT_FLOAT_EQ(current_entry(g).progress_start, 0.5f);
  }
  int cursor = 0;
  EXPECT_EQ(install_step(cursor, current_disc_number()), install_done);
}

TEST_F(EngineTest, RepairRestoresMissingAndDamagedFiles) {
  fresh_install();
  int removed = find_group("Airfoils/NACA 2412.afl");
  int damaged = find_group("Resources/settings.txt");
  ASSERT_EQ(unlink(location(removed).c_str()), 0);
  write_file(location(damaged), "scribbled over");
  answers = {1};  // a damaged file matches no version: it is the user's change, overwrite it

  set_install_scope(true, false);
  scan(false);
  EXPECT_EQ(current_entry(removed).found_signature, "NONE");
  EXPECT_FALSE(current_entry(damaged).signature_matches);
  compute_install_totals();
  EXPECT_EQ(install_manifest().totals.files_to_install, 2);
  carry_out();
  ASSERT_TRUE(failures.empty()) << failures[0];
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], location(damaged));
  EXPECT_FALSE(asked_delete_form[0]);
  expect_copy_current();
}

TEST_F(EngineTest, ChangedFileKeptOrCancelled) {
  fresh_install();
  int changed = find_group("Instructions/Readme.txt");
  write_file(location(changed), "my notes");
  set_install_scope(true, false);
  scan(false);
  answers = {2};
  ASSERT_EQ(build_install_plan(), 1);
  EXPECT_FALSE(current_entry(changed).install_flag);
  EXPECT_EQ(read_file(location(changed)), "my notes");

  answers = {3};
  EXPECT_EQ(build_install_plan(), 0);
  EXPECT_EQ(read_file(location(changed)), "my notes");
}

TEST_F(EngineTest, OlderVersionAndGoneFilesAreHandledSilently) {
  fresh_install();
  // An untouched older release of a file is replaced without a question.
  int updated = find_group("Resources/default data/earth_nav.dat");
  ASSERT_GE(manifest_entry_count(updated), 2);
  // A file that no longer belongs to the product, left by an older release, is deleted.
  int gone = find_group("plugins/zp_weather_old.xpl");
  ASSERT_EQ(current_entry(gone).expected_signature, "GONE");
  // The plan looks at signatures only, so the scan result of an older release stands in
  // for its bytes.
  set_install_scope(true, false);
  scan(false);
  current_entry(updated).found_signature = manifest_entry(updated, 0).expected_signature;
  current_entry(updated).signature_matches = false;
  write_file(location(gone), "old plugin");
  current_entry(gone).found_signature = manifest_entry(gone, 0).expected_signature;
  ASSERT_EQ(build_install_plan(), 1);
  EXPECT_TRUE(asked.empty());
  EXPECT_TRUE(current_entry(updated).install_flag);
  EXPECT_TRUE(current_entry(gone).delete_flag);
  delete_unwanted_files();
  EXPECT_FALSE(file_exists(location(gone)));
  EXPECT_EQ(current_entry(gone).found_signature, "NONE");
}

TEST_F(EngineTest, RemovingSceneryPrunesFoldersButNeverTheCopy) {
  fresh_install();
  // The add/remove scenery wizard: a quick scan, the installed tiles, then the user's map.
  set_install_scope(false, true);
  scan(true);
  select_installed_tiles();
  clear_tile_selection();
  compute_install_totals();
  int tiles = 0;
  for (int g = 0; g < manifest_group_count(); ++g) tiles += current_entry(g).is_scenery_tile ? 1 : 0;
  EXPECT_EQ(install_manifest().totals.files_to_delete, tiles);
  carry_out();
  EXPECT_TRUE(asked.empty());
  for (int g = 0; g < manifest_group_count(); ++g) {
    if (!current_entry(g).is_scenery_tile) continue;
    EXPECT_FALSE(file_exists(location(g)));
    EXPECT_FALSE(folder_exists(folder_part(location(g))));
  }
  EXPECT_FALSE(folder_exists(install_path() + "Global Scenery"));
  EXPECT_TRUE(folder_exists(install_path()));
  EXPECT_TRUE(file_exists(install_path() + "Zephiro"));

  // Adding one tile back installs it from its disc.
  int tile = find_group("+44+163.dsf");
  scan(true);
  install_scope().selected_tiles.set(current_entry(tile).tile_column, current_entry(tile).tile_row, true);
  carry_out();
  ASSERT_TRUE(failures.empty()) << failures[0];
  std::string found;
  ASSERT_EQ(md5_of_file(location(tile), found), 0);
  EXPECT_EQ(found, current_entry(tile).expected_signature);
}

// A folder the user moved elsewhere and linked back is part of the copy: scanned, written
// and deleted through, and its link is never removed.
TEST_F(EngineTest, FoldersTheUserLinkedAreFollowedEverywhere) {
  if (!posix_system()) GTEST_SKIP() << "a link to a folder needs an administrator on Windows";
  fresh_install();
  TempDir elsewhere;
  std::string scenery = install_path() + "Global Scenery";
  std::string moved = elsewhere.path() + "Global Scenery";
  ASSERT_EQ(std::system(("mv '" + scenery + "' '" + moved + "'").c_str()), 0);
  std::filesystem::create_directory_symlink(moved, scenery);

  // The scan reads through the link: every tile is current.
  set_install_scope(false, true);
  scan(false);
  select_installed_tiles();
  compute_install_totals();
  EXPECT_EQ(install_manifest().totals.files_to_install, 0);

  // Removing one tile deletes its file beyond the link and prunes its emptied folder there.
  int removed = find_group("+44+163.dsf");
  const ManifestEntry& tile = current_entry(removed);
  install_scope().selected_tiles.set(tile.tile_column, tile.tile_row, false);
  carry_out();
  std::string beyond = moved + location(removed).substr(scenery.size());
  EXPECT_FALSE(file_exists(beyond));
  EXPECT_FALSE(folder_exists(folder_part(beyond)));
  // Adding it back writes through the link, into the moved folder.
  install_scope().selected_tiles.set(tile.tile_column, tile.tile_row, true);
  scan(false);
  install_scope().selected_tiles.set(tile.tile_column, tile.tile_row, true);
  carry_out();
  ASSERT_TRUE(failures.empty()) << failures[0];
  std::string found;
  ASSERT_EQ(md5_of_file(beyond, found), 0);
  EXPECT_EQ(found, tile.expected_signature);

  // Removing every tile empties the moved folder, but the user's link stays.
  clear_tile_selection();
  carry_out();
  EXPECT_TRUE(is_symbolic_link(scenery));
  EXPECT_TRUE(folder_exists(moved));
  // Deleting the whole copy removes the link and never what it points to.
  write_file(moved + "/my notes.txt", "mine");
  ASSERT_EQ(delete_folder_tree(install_path()), 0);
  EXPECT_EQ(read_file(moved + "/my notes.txt"), "mine");
}

// The work a run is to do is recorded in the copy from the moment its folder exists until
// the run completes without a failed file; a later scan takes the recorded work into its
// scope, so the repair wizard's plan finishes it.
TEST_F(EngineTest, UnfinishedWorkIsRecordedUntilItCompletes) {
  int tile = find_group("+44+163.dsf");
  const ManifestEntry& t = current_entry(tile);
  int airfoil = find_group("Airfoils/Clark Y.afl");
  set_install_scope(true, true);
  scan(false);
  install_scope().selected_tiles.set(t.tile_column, t.tile_row, true);
  ASSERT_EQ(build_install_plan(), 1);
  ASSERT_EQ(create_install_folders(), 0);
  WorkRecord record;
  ASSERT_TRUE(read_work_record(install_path(), &record));
  EXPECT_TRUE(record.base_files && record.scenery_tiles);
  EXPECT_TRUE(record.tiles.get(t.tile_column, t.tile_row));
  EXPECT_EQ(work_kind_name(record), "install");
  EXPECT_TRUE(holds_unfinished_install(install_path()));

  // The airfoil's archive holds other bytes than the manifest promises.
  std::string archive = dvd_archive_folder() + current_entry(airfoil).path + ".zip";
  ASSERT_EQ(rename(archive.c_str(), (archive + ".saved").c_str()), 0);
  ASSERT_TRUE(write_archive(archive, {{"Clark Y.afl", "not the airfoil"}}));
  delete_unwanted_files();
  run_executor();
  // (Windows renames onto no file that exists.)
  ASSERT_EQ(std::remove(archive.c_str()), 0);
  ASSERT_EQ(rename((archive + ".saved").c_str(), archive.c_str()), 0);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].rfind(std::to_string(err_archive_damaged) + " I was unable to unzip the file ", 0), 0u);
  EXPECT_FALSE(file_exists(location(airfoil)));
  EXPECT_TRUE(read_work_record(install_path(), nullptr));

  // The repair wizard's scan (base files only) brings the recorded tile in; its plan
  // installs what is missing and leaves the chosen tile chosen.
  failures.clear();
  clear_tile_selection();
  set_install_scope(true, false);
  scan(false);
  EXPECT_TRUE(install_scope().include_scenery_tiles);
  EXPECT_TRUE(install_scope().selected_tiles.get(t.tile_column, t.tile_row));
  compute_install_totals();
  EXPECT_EQ(install_manifest().totals.files_to_install, 1);
  EXPECT_EQ(install_manifest().totals.files_to_delete, 0);
  carry_out();
  ASSERT_TRUE(failures.empty()) << failures[0];
  EXPECT_FALSE(read_work_record(install_path(), nullptr));
  expect_copy_current();
  // The scenery wizard's selection of installed tiles is the chosen tile alone.
  set_install_scope(false, true);
  scan(true);
  select_installed_tiles();
  for (int c = 0; c < tile_columns; ++c)
    for (int r = 0; r < tile_rows; ++r)
      EXPECT_EQ(install_scope().selected_tiles.get(c, r), c == t.tile_column && r == t.tile_row);
}

// A scenery removal killed part-way: some tiles deleted (their folders left empty), the rest
// still on disk, the record naming the one tile to keep. Whichever wizard scans the copy
// next, its plan leaves exactly that tile and prunes every emptied tile folder.
TEST_F(EngineTest, AKilledSceneryRemovalIsFinishedByEitherWizard) {
  for (bool repair_wizard : {false, true}) {
    SCOPED_TRACE(repair_wizard ? "repair wizard" : "scenery wizard");
    delete_folder_tree(install_path());
    fresh_install();
    const int kept = find_group("+44+163.dsf");
    const ManifestEntry& k = current_entry(kept);
    WorkRecord record;
    record.scenery_tiles = true;
    record.tiles.set(k.tile_column, k.tile_row, true);
    ASSERT_EQ(write_work_record(install_path(), record), 0);
    std::vector<int> others;
    for (int g = 0; g < manifest_group_count(); ++g)
      if (current_entry(g).is_scenery_tile && g != kept) others.push_back(g);
    ASSERT_GE(others.size(), 3u);
    // The killed run got through the first half of the other tiles' files.
    for (size_t i = 0; i < others.size() / 2; ++i) ASSERT_EQ(unlink(location(others[i]).c_str()), 0);
    int emptied = 0;
    for (size_t i = 0; i < others.size() / 2; ++i) {
      const std::string folder = folder_part(location(others[i]));
      std::vector<std::string> names;
      std::vector<int> folders;
      if (folder_exists(folder) && list_folder(folder, names, folders) == 0) ++emptied;
    }
    ASSERT_GT(emptied, 0);

    if (repair_wizard) {
      set_install_scope(true, false);
      scan(false);
    } else {
      set_install_scope(false, true);
      scan(true);
      select_installed_tiles();  // the map page: shows the recorded selection
    }
    compute_install_totals();
    EXPECT_EQ(install_manifest().totals.files_to_delete, static_cast<int>(others.size() - others.size() / 2));
    carry_out();
    ASSERT_TRUE(failures.empty()) << failures[0];
    EXPECT_FALSE(read_work_record(install_path(), nullptr));
    for (int g : others) {
      EXPECT_FALSE(file_exists(location(g))) << current_entry(g).path;
      EXPECT_FALSE(folder_exists(folder_part(location(g)))) << current_entry(g).path;
    }
    EXPECT_TRUE(file_exists(location(kept)));
    std::vector<std::string> names;
    std::vector<int> folders;
    EXPECT_EQ(list_folder(install_path() + "Global Scenery/-global terrain-/", names, folders), 1);
  }
}

// A disc taken out of its drive while its archives are being copied is asked for again;
// once it is back the work goes on with the same archive, and nothing counts as failed.
TEST_F(EngineTest, ADiscThatGoesAwayIsAskedForAndTheWorkGoesOn) {
  plan_everything();
  delete_unwanted_files();
  int first = 0;
  while (!current_entry(first).install_flag) ++first;
  const std::string away = g_set->path() + "taken out";
  ASSERT_EQ(rename(disc(1).c_str(), away.c_str()), 0);
  int cursor = 0, r;
  for (int guard = 0; (r = install_step(cursor, 0)) == install_working && guard < 1000000; ++guard) usleep(200);
  EXPECT_EQ(r, install_needs_disc);
  EXPECT_EQ(cursor, first);
  EXPECT_FALSE(find_needed_disc(cursor));  // still out
  ASSERT_EQ(rename(away.c_str(), disc(1).c_str()), 0);
  ASSERT_TRUE(find_needed_disc(cursor));
  EXPECT_EQ(current_disc_number(), 0);
  int disc_number = 0, changes = 0;
  for (int guard = 0; (r = install_step(cursor, disc_number)) != install_done && guard < 1000000; ++guard) {
    ASSERT_NE(r, install_failed);
    if (r == install_needs_disc) {
      ASSERT_TRUE(find_needed_disc(cursor));
      disc_number = current_disc_number();
      ++changes;
    }
    usleep(200);
  }
  EXPECT_EQ(changes, 2);  // discs 2 and 3, as without the interruption
  expect_copy_current();
  EXPECT_FALSE(read_work_record(install_path(), nullptr));
}

TEST_F(EngineTest, CreateFoldersReportsAFolderThatCannotBeMade) {
  set_install_scope(true, true);
  scan(false);
  ASSERT_EQ(build_install_plan(), 1);
  // A plain file where the copy's Resources folder must go.
  ASSERT_EQ(create_folder(install_path()), 0);
  write_file(install_path() + "Resources", "in the way");
  int code = create_install_folders();
  EXPECT_NE(code, 0);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].kind, alert_info);
  EXPECT_EQ(alerts[0].lines[1], "Error: " + error_message_for_code(code));
  EXPECT_EQ(alerts[0].lines[3].rfind("Install Path:" + install_path() + "Resources", 0), 0u);
}

TEST_F(EngineTest, ACopyFailureIsReportedWithTheCopyMessage) {
  plan_everything();
  // The first disc is unreadable from here on: only its dvd_version.txt stays.
  int first = 0;
  while (!current_entry(first).install_flag) ++first;
  std::string archive = dvd_archive_folder() + current_entry(first).path + archive_suffix(first);
  std::string hidden = archive + ".hidden";
  ASSERT_EQ(rename(archive.c_str(), hidden.c_str()), 0);
  int r = step_until_it_stops(0);
  rename(hidden.c_str(), archive.c_str());
  ASSERT_EQ(r, install_failed);
  std::string message;
  EXPECT_NE(take_install_error(message), 0);
  EXPECT_EQ(message, "I was unable to copy the file " + archive + " from the DVD to the hard drive.");
  EXPECT_EQ(take_install_error(message), 0);
  EXPECT_EQ(message, "");
  abort_install();
  EXPECT_FALSE(file_exists(location(first)));
}

TEST_F(EngineTest, AHostileArchiveOnTheDiscWritesNothingOutsideTheCopy) {
  plan_everything();
  // The first archive of the disc is replaced by one whose member climbs out of the copy.
  int first = 0;
  while (!current_entry(first).install_flag || archive_suffix(first) != ".zip") ++first;
  std::string archive = dvd_archive_folder() + current_entry(first).path + archive_suffix(first);
  std::string saved = archive + ".saved";
  ASSERT_EQ(rename(archive.c_str(), saved.c_str()), 0);
  ASSERT_TRUE(write_archive(archive, {{"../escaped.txt", "hostile"}}));

  std::string outside = folder_part(location(first)) + "../escaped.txt";
  int r = step_until_it_stops(0);
  rename(saved.c_str(), archive.c_str());
  ASSERT_EQ(r, install_failed);
  std::string message;
  EXPECT_EQ(take_install_error(message), 22);
  EXPECT_EQ(message.rfind("I was unable to unzip the file ", 0), 0u) << message;
  abort_install();
  EXPECT_FALSE(file_exists(outside));
  EXPECT_FALSE(file_exists(copy.path() + "escaped.txt"));
}

}  // namespace
