#include "engine/install_plan.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/log.h"
#include "engine/disk_space.h"
#include "engine/install_scope.h"
#include "tests/engine_test_util.h"

namespace {

const std::string kTerrain = "Zephiro 9/Global Scenery/-global terrain-/";

class PlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_install_manifest();
    reset_install_scope();
    reset_app_state();
    app().target_platform = platform_lin;
    install_path() = "/copies/Z9/";
    set_conflict_prompt([this](const std::string& location, bool delete_form) {
      asked.emplace_back(location, delete_form);
      int answer = answers.empty() ? 2 : answers.front();
      if (!answers.empty()) answers.erase(answers.begin());
      return answer;
    });
  }
  void TearDown() override {
    set_conflict_prompt(nullptr);
    reset_install_manifest();
    reset_install_scope();
  }
  bool install(int g) { return current_entry(g).install_flag; }
  bool del(int g) { return current_entry(g).delete_flag; }

  std::vector<std::pair<std::string, bool>> asked;
  std::vector<int> answers;
};

TEST_F(PlanTest, GoneFilesMissingOlderAndChanged) {
  int missing_gone = add_group("Z/Resources/old1.txt", {{sig(1)}, {"GONE"}});
  int older_gone = add_group("Z/Resources/old2.txt", {{sig(2)}, {"GONE"}});
  int changed_gone = add_group("Z/Resources/old3.txt", {{sig(3)}, {"GONE"}});
  set_found(missing_gone, "NONE");
  set_found(older_gone, sig(2));
  set_found(changed_gone, sig(99));
  answers = {2};
  ASSERT_EQ(build_install_plan(), 1);
  EXPECT_FALSE(install(missing_gone) || del(missing_gone));
  EXPECT_TRUE(del(older_gone));
  EXPECT_FALSE(install(older_gone));
  EXPECT_FALSE(install(changed_gone) || del(changed_gone));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].first, "/copies/Z9/Resources/old3.txt");
  EXPECT_TRUE(asked[0].second);  // delete form

  // A quick scan only sees that the file exists and gives it the expected "signature"
  // GONE, which cannot tell the product's file from one the user changed: the plan keeps
  // it, unasked, and the totals do not count it. They count the two files on disk that
  // the full scan found (the changed one before the user's answer).
  asked.clear();
  set_found(missing_gone, "GONE");
  compute_install_totals();
  EXPECT_EQ(install_manifest().totals.files_to_delete, 2);
  ASSERT_EQ(build_install_plan(), 1);
  EXPECT_FALSE(install(missing_gone) || del(missing_gone));
  EXPECT_EQ(asked.size(), 1u);  // only the changed file is asked about again
}

TEST_F(PlanTest, MissingCurrentOlderAndTheChangeLogLine) {
  int missing = add_group("Z/a.txt", {{sig(1)}});
  int current = add_group("Z/b.txt", {{sig(2)}});
  int older = add_group("Z/c.txt", {{sig(3)}, {sig(4)}});
  int changed = add_group("Z/d.txt", {{sig(5)}});
  set_found(missing, "NONE");
  set_found(current, sig(2));
  set_found(older, sig(3));
  set_found(changed, sig(77));
  answers = {1};
  std::string log;
  log_set_capture(&log);
  ASSERT_EQ(build_install_plan(), 1);
  log_set_capture(nullptr);
  EXPECT_TRUE(install(missing));
  EXPECT_FALSE(install(current) || del(current));
  EXPECT_TRUE(install(older));
  EXPECT_TRUE(install(changed));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_FALSE(asked[0].second);  // install form
  EXPECT_NE(log.find("File: /copies/Z9/d.txt  sig_want=" + sig(5) + "  sig_have=" + sig(77) + "\n"),
            std::string::npos);
}

TEST_F(PlanTest, FolderAnswersAreRememberedForThePlanOnly) {
  int a1 = add_group("Z/A/1.txt", {{sig(1)}});
  int b1 = add_group("Z/B/1.txt", {{sig(2)}});
  int a2 = add_group("Z/A/2.txt", {{sig(3)}});
  int b2 = add_group("Z/B/2.txt", {{sig(4)}, {"GONE"}});
  int a3 = add_group("Z/A/sub/3.txt", {{sig(5)}});
  for (int g : {a1, b1, a2, b2, a3}) set_found(g, sig(100 + g));
  answers = {5, 4, 2};
  ASSERT_EQ(build_install_plan(), 1);
  // Keep every file of A: a2 is not asked and untouched; replace every file of B: b2 deleted.
  EXPECT_FALSE(install(a1) || del(a1) || install(a2) || del(a2));
  EXPECT_TRUE(install(b1));
  EXPECT_TRUE(del(b2));
  // A sub-folder is another folder: asked again.
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[2].first, "/copies/Z9/A/sub/3.txt");
  EXPECT_FALSE(install(a3));

  // A new plan forgets the folder answers.
  asked.clear();
  answers = {1, 1, 1, 1, 1};
  ASSERT_EQ(build_install_plan(), 1);
  EXPECT_EQ(asked.size(), 5u);
}

TEST_F(PlanTest, CancelStopsAtTheCancellingGroup) {
  std::vector<int> groups;
  for (int i = 0; i < 10; ++i) groups.push_back(add_group("Z/f" + std::to_string(i), {{sig(i)}}));
  for (int g : groups) set_found(g, "NONE");
  set_found(groups[2], sig(555));
  // Flags left over from an earlier plan must not survive on the visited groups.
  current_entry(groups[2]).install_flag = true;
  current_entry(groups[5]).delete_flag = true;
  answers = {3};
  EXPECT_EQ(build_install_plan(), 0);
  EXPECT_TRUE(install(groups[0]));
  EXPECT_TRUE(install(groups[1]));
  EXPECT_FALSE(install(groups[2]) || del(groups[2]));
  // Later groups are not visited at all.
  EXPECT_TRUE(del(groups[5]));
  EXPECT_FALSE(install(groups[4]));
}

TEST_F(PlanTest, DeselectedTiles) {
  int missing = add_group(kTerrain + "+40-080.dsf", {{sig(1)}});
  int current = add_group(kTerrain + "+40-090.dsf", {{sig(2)}});
  int older = add_group(kTerrain + "+40-100.dsf", {{sig(3)}, {sig(4)}});
  int changed = add_group(kTerrain + "+40-110.dsf", {{sig(5)}});
  int selected_missing = add_group(kTerrain + "+50-010.dsf", {{sig(6)}});
  finish_manifest();
  set_found(missing, "NONE");
  set_found(current, sig(2));
  set_found(older, sig(3));
  set_found(changed, sig(66));
  set_found(selected_missing, "NONE");
  clear_tile_selection();
  install_scope().selected_tiles.set(current_entry(selected_missing).tile_column,
                                     current_entry(selected_missing).tile_row, true);
  answers = {2};
  ASSERT_EQ(build_install_plan(), 1);
  EXPECT_FALSE(install(missing) || del(missing));
  EXPECT_TRUE(del(current));  // a current file of an unwanted tile goes without a question
  EXPECT_TRUE(del(older));
  EXPECT_FALSE(del(changed));
  EXPECT_TRUE(install(selected_missing));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(asked[0].second);
}

TEST_F(PlanTest, TargetPlatformAndScope) {
  int every = add_group("Z/every", {{sig(1), 0}});
  int apl = add_group("Z/apl", {{sig(2), 1}});
  int ibm = add_group("Z/ibm", {{sig(3), 2}});
  int lin = add_group("Z/lin", {{sig(4), 3}});
  int lin_only = add_group("Z/lin6", {{sig(5), 6}});
  int tile = add_group(kTerrain + "+10+010.dsf", {{sig(6)}});
  finish_manifest();
  install_scope().selected_tiles = install_manifest().available_tiles;
  for (int g = 0; g <= tile; ++g) set_found(g, "NONE");

  app().target_platform = platform_ibm;
  ASSERT_EQ(build_install_plan(), 1);
  EXPECT_TRUE(install(every) && install(ibm) && install(tile));
  EXPECT_FALSE(install(apl) || install(lin) || install(lin_only));

  app().target_platform = platform_lin;
  ASSERT_EQ(build_install_plan(), 1);
  EXPECT_TRUE(install(lin) && install(lin_only));
  EXPECT_FALSE(install(apl) || install(ibm));

  app().target_platform = platform_all;
  ASSERT_EQ(build_install_plan(), 1);
  for (int g = 0; g <= tile; ++g) EXPECT_TRUE(install(g)) << g;

  set_install_scope(false, true);
  ASSERT_EQ(build_install_plan(), 1);
  EXPECT_FALSE(install(every));
  EXPECT_TRUE(install(tile));
  set_install_scope(true, false);
  ASSERT_EQ(build_install_plan(), 1);
  EXPECT_TRUE(install(every));
  EXPECT_FALSE(install(tile));
}

TEST_F(PlanTest, ProgressStartFollowsInstalledSize) {
  int a = add_group("Z/a", {{sig(1), 0, 30}});
  int skip = add_group("Z/skip", {{sig(2), 0, 1000}});
  int b = add_group("Z/b", {{sig(3), 0, 10}});
  int c = add_group("Z/c", {{sig(4), 0, 60}});
  set_found(a, "NONE");
  set_found(skip, sig(2));
  set_found(b, "NONE");
  set_found(c, "NONE");
  ASSERT_EQ(build_install_plan(), 1);
  EXPECT_FLOAT_EQ(current_entry(a).progress_start, 0.0f);
  EXPECT_FLOAT_EQ(current_entry(skip).progress_start, 0.3f);  // the next flagged group's share
  EXPECT_FLOAT_EQ(current_entry(b).progress_start, 0.3f);
  EXPECT_FLOAT_EQ(current_entry(c).progress_start, 0.4f);

  set_found(a, sig(1));
  set_found(b, sig(3));
  set_found(c, sig(4));
  ASSERT_EQ(build_install_plan(), 1);
  for (int g : {a, skip, b, c}) EXPECT_FLOAT_EQ(current_entry(g).progress_start, 0.5f);
}

TEST_F(PlanTest, SelectInstalledTilesAndFolderPart) {
  int on_disk = add_group(kTerrain + "+40-080.dsf", {{sig(1)}});
  int absent = add_group(kTerrain + "-10+110.dsf", {{sig(2)}});
  finish_manifest();
  set_found(on_disk, sig(9));
  set_found(absent, "NONE");
  select_installed_tiles();
  const ManifestEntry& a = current_entry(on_disk);
  const ManifestEntry& b = current_entry(absent);
  EXPECT_TRUE(install_scope().selected_tiles.get(a.tile_column, a.tile_row));
  EXPECT_FALSE(install_scope().selected_tiles.get(b.tile_column, b.tile_row));
  clear_tile_selection();
  EXPECT_FALSE(install_scope().selected_tiles.get(a.tile_column, a.tile_row));

  EXPECT_EQ(folder_part("/copies/Z9/A/x.txt"), "/copies/Z9/A/");
  EXPECT_EQ(folder_part("C:\\x"), "C:\\");
  EXPECT_EQ(folder_part("C:\\"), "C:\\");
  EXPECT_EQ(folder_part("C:\\dir\\x"), "C:\\dir\\");
}

}  // namespace
