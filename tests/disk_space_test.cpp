#include "engine/disk_space.h"

#include <gtest/gtest.h>

#include "core/app_state.h"
#include "core/user_text.h"
#include "engine/install_scope.h"
#include "tests/engine_test_util.h"
#include "tests/test_util.h"

namespace {

const std::string kTerrain = "Z/Global Scenery/-global terrain-/";

class DiskSpaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_install_manifest();
    reset_install_scope();
    reset_app_state();
  }
  void TearDown() override {
    reset_install_manifest();
    reset_install_scope();
  }
  const InstallTotals& totals() { return install_manifest().totals; }
};

// The number and its unit are joined by a no-break space (written here as "~").
std::string joined(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '~' ? std::string(k_no_break_space) : std::string(1, c);
  return out;
}

TEST(SizeText, UnitsAndTheirBoundaries) {
  EXPECT_EQ(size_text(0), joined("0~KB"));
  EXPECT_EQ(size_text(1024), joined("1024~KB"));
  EXPECT_EQ(size_text(1025), joined("1~MB"));
  EXPECT_EQ(size_text(1024000), joined("1000~MB"));
  EXPECT_EQ(size_text(1030000), joined("1.0~GB"));
  EXPECT_EQ(size_text(2500000), joined("2.4~GB"));
  EXPECT_EQ(size_text(1536), joined("2~MB"));  // rounds to nearest
  EXPECT_EQ(with_plain_spaces(size_text(2500000)), "2.4 GB");
}

TEST_F(DiskSpaceTest, TotalsCountWantedMissingFilesAndDeletions) {
  int current = add_group("Z/a", {{sig(1), 0, 100}});
  int missing = add_group("Z/b", {{sig(2), 0, 250}});
  int other_platform = add_group("Z/c", {{sig(3), 1, 999}});
  int gone_found = add_group("Z/d", {{sig(4)}, {"GONE"}});
  int selected_missing = add_group(kTerrain + "+40-080.dsf", {{sig(5), 0, 4000}});
  int deselected_current = add_group(kTerrain + "+40-090.dsf", {{sig(6), 0, 7000}});
  int deselected_missing = add_group(kTerrain + "+40-100.dsf", {{sig(7), 0, 8000}});
  finish_manifest();
  app().target_platform = platform_lin;
  set_found(current, sig(1));
  set_found(missing, "NONE");
  set_found(other_platform, "NONE");
  set_found(gone_found, "GONE");  // a quick scan found the file
  set_found(selected_missing, "NONE");
  set_found(deselected_current, sig(6));
  set_found(deselected_missing, "NONE");
  const ManifestEntry& t = current_entry(selected_missing);
  install_scope().selected_tiles.set(t.tile_column, t.tile_row, true);

  compute_install_totals();
  EXPECT_FLOAT_EQ(totals().total_installed_size, 4250);
  EXPECT_EQ(totals().files_to_install, 2);
  // The file that left the product, as a quick scan saw it, is kept by the plan: only the
  // deselected tile is deleted.
  EXPECT_EQ(totals().files_to_delete, 1);

  // After a full scan the file that left the product has its own MD5, not GONE: the plan
  // deletes it all the same, and so it is counted. A damaged tile of a deselected region
  // is deleted too (after the user's answer); a missing file is never counted.
  set_found(gone_found, sig(4));
  set_found(deselected_current, sig(66));
  compute_install_totals();
  EXPECT_EQ(totals().files_to_delete, 2);
  set_found(gone_found, "NONE");
  compute_install_totals();
  EXPECT_EQ(totals().files_to_delete, 1);
  set_found(gone_found, sig(4));

  // Out of scope: counted in neither total.
  set_install_scope(true, false);
  compute_install_totals();
  EXPECT_FLOAT_EQ(totals().total_installed_size, 250);
  EXPECT_EQ(totals().files_to_install, 1);
  EXPECT_EQ(totals().files_to_delete, 1);
}

TEST_F(DiskSpaceTest, AllCurrentGivesNothingToDo) {
  int a = add_group("Z/a", {{sig(1), 0, 100}});
  set_found(a, sig(1));
  compute_install_totals();
  EXPECT_EQ(totals().files_to_install, 0);
  EXPECT_EQ(with_plain_spaces(size_text(totals().total_installed_size)), "0 KB");
}

TEST_F(DiskSpaceTest, DecisionOnARealVolume) {
  TempDir dir;
  install_path() = dir / "Z9/";
  SpaceDecision d = space_decision();
  ASSERT_TRUE(d.shown);
  EXPECT_GT(d.total_kb, 0);
  EXPECT_TRUE(d.enough);
  install_manifest().totals.total_installed_size = static_cast<float>(d.free_kb) * 4;
  d = space_decision();
  EXPECT_FALSE(d.enough);
  // A volume that cannot be asked shows nothing and does not hold the work up.
  install_path() = dir / "no/such/folder/";
  d = space_decision();
  EXPECT_FALSE(d.shown);
  EXPECT_TRUE(d.enough);
}

}  // namespace
