#include "engine/manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/alert.h"
#include "tests/test_util.h"

namespace {

const std::string kSigA = "0123456789abcdef0123456789abcdef";
const std::string kSigB = "fedcba9876543210fedcba9876543210";
const std::string kHeader = "I\n900\nINSTALLER\n";

class ManifestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_install_manifest();
    set_alert_handler([this](const AlertRequest& r) { alerts.push_back(r); });
  }
  void TearDown() override {
    set_alert_handler(nullptr);
    reset_install_manifest();
  }

  // Writes `text` as directory.txt in a fresh folder and reads it.
  int read_text(const std::string& text) {
    write_file(dir / "directory.txt", text);
    return read_install_manifest(dir / "directory.txt", "Reading");
  }

  static std::string file_line(const std::string& path, const std::string& sig = kSigA,
                               const std::string& numbers = "1 0 0 0 10") {
    return "FILE " + numbers + " " + sig + " " + path + "\n";
  }

  TempDir dir;
  std::vector<AlertRequest> alerts;
};

TEST_F(ManifestTest, HeaderOnlyGivesEmptyManifest) {
  EXPECT_EQ(read_text(kHeader), 3);
  EXPECT_EQ(manifest_group_count(), 0);
  EXPECT_FALSE(install_manifest().has_base_files);
  EXPECT_FALSE(install_manifest().has_scenery_tiles);
  EXPECT_TRUE(alerts.empty());
}

TEST_F(ManifestTest, ByteOrderMarkAndOlderVersionReadTheSame) {
  std::string body = "DISK 1\n" + file_line("Zephiro/Resources/a.txt");
  ASSERT_EQ(read_text("\xEF\xBB\xBF" + kHeader + body), 3);
  ASSERT_EQ(manifest_group_count(), 1);
  EXPECT_EQ(current_entry(0).path, "Zephiro/Resources/a.txt");
  EXPECT_EQ(current_entry(0).disc_number, 1);

  ASSERT_EQ(read_text("A\n840\nINSTALLER\n" + body), 3);
  ASSERT_EQ(manifest_group_count(), 1);
  EXPECT_EQ(current_entry(0).path, "Zephiro/Resources/a.txt");

  ASSERT_EQ(read_text("I\r\n900 version\r\n  INSTALLER\r\n\r\n" + body), 3);
  ASSERT_EQ(manifest_group_count(), 1);
  EXPECT_EQ(current_entry(0).disc_number, 1);
}

TEST_F(ManifestTest, RejectedHeadersEmptyThePreviousManifest) {
  const std::string body = file_line("Zephiro/a.txt");
  const std::vector<std::string> rejected = {
      "I\n901\nINSTALLER\n" + body,  // unknown version
      "B\n900\nINSTALLER\n" + body,  // wrong first character
      "I\n900\nDVD\n" + body,        // another kind of file
      "I\n900\nINSTALLERS\n" + body,
      "I\n900\n",
  };
  for (const std::string& text : rejected) {
    ASSERT_EQ(read_text(kHeader + body), 3);
    install_manifest().totals.files_to_install = 7;
    EXPECT_EQ(read_text(text), 2) << text;
    EXPECT_EQ(manifest_group_count(), 0) << text;
    EXPECT_EQ(install_manifest().totals.files_to_install, 0) << text;
  }
  EXPECT_TRUE(alerts.empty());
}

TEST_F(ManifestTest, EmptyFileIsRejectedWithoutReport) {
  EXPECT_EQ(read_text(""), 2);
  EXPECT_TRUE(alerts.empty());
}

TEST_F(ManifestTest, MissingFileIsFatalReport) {
  ASSERT_EQ(read_text(kHeader + file_line("Zephiro/a.txt")), 3);
  std::string missing = dir / "nothing.txt";
  EXPECT_EQ(read_install_manifest(missing), 2);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].kind, alert_quit);
  EXPECT_EQ(alerts[0].lines[0], "I tried to read a directory file that does not exist!");
  EXPECT_EQ(alerts[0].lines[1], "The file is:");
  EXPECT_EQ(alerts[0].lines[2], missing);
  EXPECT_EQ(alerts[0].lines[3], "");
  EXPECT_EQ(manifest_group_count(), 0);
}

TEST_F(ManifestTest, FileFieldsAndWorkingFields) {
  ASSERT_EQ(read_text(kHeader + "DIR Resources/\nFILE 5 2 17 300 1234 " + kSigA + " plugins/a.txt\n"), 3);
  ASSERT_EQ(manifest_group_count(), 1);
  const ManifestEntry& e = current_entry(0);
  EXPECT_EQ(e.platform_code, 2);
  EXPECT_EQ(e.reserved_int, 17);
  EXPECT_EQ(e.reserved_size, 300.0f);
  EXPECT_EQ(e.installed_size, 1234.0f);
  EXPECT_EQ(e.expected_signature, kSigA);
  EXPECT_EQ(e.path, "Resources/plugins/a.txt");
  EXPECT_EQ(e.disc_number, 0);
  EXPECT_FALSE(e.is_scenery_tile);
  EXPECT_EQ(e.found_signature, "");
  EXPECT_FALSE(e.signature_matches);
  EXPECT_FALSE(e.install_flag);
  EXPECT_FALSE(e.delete_flag);
  EXPECT_TRUE(install_manifest().has_base_files);
  EXPECT_FALSE(install_manifest().has_scenery_tiles);
}

TEST_F(ManifestTest, DirAndDiskApplyToLaterLinesOnly) {
  std::string text = kHeader + file_line("Top/first.txt") +
                     "DIR   Top/with  inner blanks/  \n" + file_line("a.txt") +
                     "DISK 2\n" + file_line("b.txt") +
                     "DIR\n" +  // no blank after the keyword: not a DIR line
                     file_line("c.txt") +
                     "DIR Other/\n" + "DISK 3 and a comment\n" + file_line("d.txt") +
                     "DIRECTORY Nope/\n# a comment\nVERSION 12\n" + file_line("e.txt");
  ASSERT_EQ(read_text(text), 3);
  ASSERT_EQ(manifest_group_count(), 6);
  EXPECT_EQ(current_entry(0).path, "Top/first.txt");
  EXPECT_EQ(current_entry(0).disc_number, 0);
  EXPECT_EQ(current_entry(1).path, "Top/with  inner blanks/  a.txt");
  EXPECT_EQ(current_entry(1).disc_number, 0);
  EXPECT_EQ(current_entry(2).path, "Top/with  inner blanks/  b.txt");
  EXPECT_EQ(current_entry(2).disc_number, 2);
  EXPECT_EQ(current_entry(3).path, "Top/with  inner blanks/  c.txt");
  EXPECT_EQ(current_entry(4).path, "Other/d.txt");
  EXPECT_EQ(current_entry(4).disc_number, 3);
  EXPECT_EQ(current_entry(5).path, "Other/e.txt");
}

TEST_F(ManifestTest, LineEndsBlankLinesAndLeadingBlanks) {
  std::string text = kHeader + "\r\n\r\n   \tDISK 4\r\n\t  FILE 1 3 0 0 10 " + kSigA +
                     " \t Top/a b.txt\r\n\n" + "FILE 1 0 0 0 20 " + kSigB + " Top/c.txt" +
                     std::string(1, '\0') + "FILE 1 0 0 0 30 " + kSigA + " Top/d.txt";
  ASSERT_EQ(read_text(text), 3);
  ASSERT_EQ(manifest_group_count(), 3);
  EXPECT_EQ(current_entry(0).path, "Top/a b.txt");
  EXPECT_EQ(current_entry(0).platform_code, 3);
  EXPECT_EQ(current_entry(0).disc_number, 4);
  EXPECT_EQ(current_entry(1).path, "Top/c.txt");
  EXPECT_EQ(current_entry(2).path, "Top/d.txt");  // the data ends without a line end
  EXPECT_EQ(current_entry(2).installed_size, 30.0f);
}

TEST_F(ManifestTest, PlatformCodeIsClamped) {
  std::string text = kHeader + file_line("T/a", kSigA, "1 9 0 0 1") + file_line("T/b", kSigA, "1 -3 0 0 1") +
                     file_line("T/c", kSigA, "1 6 0 0 1") + file_line("T/d", kSigA, "1 0 0 0 1");
  ASSERT_EQ(read_text(text), 3);
  ASSERT_EQ(manifest_group_count(), 4);
  EXPECT_EQ(current_entry(0).platform_code, 6);
  EXPECT_EQ(current_entry(1).platform_code, 0);
  EXPECT_EQ(current_entry(2).platform_code, 6);
  EXPECT_EQ(current_entry(3).platform_code, 0);
}

TEST_F(ManifestTest, NumbersAreReadDigitByDigitWithoutChecking) {
  std::string text = kHeader + file_line("T/a", kSigA, "x 1 -+7 1x 12abc") + file_line("T/b", kSigA, "1 +3 -0 +5 -12");
  ASSERT_EQ(read_text(text), 3);
  ASSERT_EQ(manifest_group_count(), 2);
  const ManifestEntry& a = current_entry(0);
  EXPECT_EQ(a.platform_code, 1);
  EXPECT_EQ(a.reserved_int, -7);
  EXPECT_EQ(a.reserved_size, static_cast<float>(1 * 10 + ('x' - '0')));
  int expected = 0;
  for (char c : std::string("12abc")) expected = expected * 10 + (c - '0');
  EXPECT_EQ(a.installed_size, static_cast<float>(expected));
  EXPECT_EQ(a.path, "T/a");
  const ManifestEntry& b = current_entry(1);
  EXPECT_EQ(b.platform_code, 3);
  EXPECT_EQ(b.reserved_int, 0);
  EXPECT_EQ(b.reserved_size, 5.0f);
  EXPECT_EQ(b.installed_size, -12.0f);
}

TEST_F(ManifestTest, ShortLinesLeaveZerosAndEmptyPathsAreSkipped) {
  std::string text = kHeader + file_line("T/a.txt") + "FILE 1 2\n" + "FILE 1 0 0 0 5 " + kSigA + "\n" +
                     file_line("T/a.txt", kSigB) + "DIR T/readme.txt\nFILE 1 4 0 0\n";
  ASSERT_EQ(read_text(text), 3);
  EXPECT_TRUE(alerts.empty());
  // The lines without a path are left out, so the two versions of T/a.txt still form one group.
  ASSERT_EQ(manifest_group_count(), 2);
  EXPECT_EQ(manifest_entry_count(0), 2);
  EXPECT_EQ(current_entry(0).expected_signature, kSigB);
  // A line cut short after its numbers takes its path from the DIR prefix alone.
  const ManifestEntry& r = current_entry(1);
  EXPECT_EQ(r.path, "T/readme.txt");
  EXPECT_EQ(r.platform_code, 4);
  EXPECT_EQ(r.installed_size, 0.0f);
  EXPECT_EQ(r.expected_signature, "");
}

TEST_F(ManifestTest, ConsecutiveVersionsFormOneGroup) {
  std::string text = kHeader + file_line("T/a.txt", kSigA) + file_line("T/a.txt", kSigB) +
                     file_line("T/a.txt", "GONE") + file_line("T/b.txt") + file_line("T/A.txt") +
                     file_line("T/a.txt", kSigB);
  ASSERT_EQ(read_text(text), 3);
  ASSERT_EQ(manifest_group_count(), 4);
  ASSERT_EQ(manifest_entry_count(0), 3);
  EXPECT_EQ(manifest_entry(0, 0).expected_signature, kSigA);
  EXPECT_EQ(manifest_entry(0, 1).expected_signature, kSigB);
  EXPECT_EQ(current_entry(0).expected_signature, "GONE");
  EXPECT_EQ(&current_entry(0), &manifest_entry(0, 2));
  EXPECT_EQ(current_entry(2).path, "T/A.txt");  // paths compare case-sensitively
  // The same path after another path starts a second group.
  EXPECT_EQ(current_entry(3).path, "T/a.txt");
  EXPECT_EQ(manifest_entry_count(3), 1);
}

TEST_F(ManifestTest, SceneryTilesAndArchiveSuffix) {
  const std::string terrain = "Zephiro/Global Scenery/-global terrain-/";
  std::string text = kHeader + file_line(terrain + "+40-074.dsf") + file_line(terrain + "+40-074.DSF") +
                     file_line("Zephiro/Custom/+40-074.dsf") +
                     file_line("Zephiro/Resources/default scenery/DSF 820 x/-12+034.dsf") +
                     file_line("Zephiro/Res/-global overlays-/-90-180.dsf") +
                     file_line("Zephiro/Res/-global overlays-/+89+179.dsf") +
                     file_line("Zephiro/global scenery/x/+10+010.dsf") +  // the folder test is case-sensitive
                     file_line("Zephiro/Global Scenery Extras/readme.txt");
  ASSERT_EQ(read_text(text), 3);
  ASSERT_EQ(manifest_group_count(), 8);

  EXPECT_TRUE(current_entry(0).is_scenery_tile);
  EXPECT_EQ(current_entry(0).tile_row, 13);
  EXPECT_EQ(current_entry(0).tile_column, 10);
  EXPECT_EQ(archive_suffix(0), ".7z");
  EXPECT_TRUE(current_entry(1).is_scenery_tile);
  EXPECT_FALSE(current_entry(2).is_scenery_tile);
  EXPECT_EQ(archive_suffix(2), ".zip");
  EXPECT_TRUE(current_entry(3).is_scenery_tile);
  EXPECT_EQ(current_entry(3).tile_row, 7);     // (-12 + 90) / 10
  EXPECT_EQ(current_entry(3).tile_column, 21);  // (34 + 180) / 10
  EXPECT_EQ(archive_suffix(3), ".zip");
  EXPECT_EQ(current_entry(4).tile_row, 0);
  EXPECT_EQ(current_entry(4).tile_column, 0);
  EXPECT_EQ(current_entry(5).tile_row, 17);
  EXPECT_EQ(current_entry(5).tile_column, 35);
  EXPECT_FALSE(current_entry(6).is_scenery_tile);
  EXPECT_FALSE(current_entry(7).is_scenery_tile);
  EXPECT_EQ(archive_suffix(7), ".7z");  // the suffix only asks for "Global Scenery"
  EXPECT_EQ(archive_suffix(8), "");
  EXPECT_EQ(archive_suffix(-1), "");

  const TileGrid& tiles = install_manifest().available_tiles;
  int on = 0;
  for (int c = 0; c < tile_columns; ++c)
    for (int r = 0; r < tile_rows; ++r) on += tiles.on[c][r];
  EXPECT_EQ(on, 4);
  EXPECT_TRUE(tiles.get(10, 13));
  EXPECT_TRUE(tiles.get(21, 7));
  EXPECT_TRUE(tiles.get(0, 0));
  EXPECT_TRUE(tiles.get(35, 17));
  EXPECT_TRUE(install_manifest().has_scenery_tiles);
  EXPECT_TRUE(install_manifest().has_base_files);
}

TEST_F(ManifestTest, OnlyTilesMeansNoBaseFiles) {
  ASSERT_EQ(read_text(kHeader + file_line("Z/Global Scenery/-global terrain-/+00+000.dsf")), 3);
  EXPECT_TRUE(install_manifest().has_scenery_tiles);
  EXPECT_FALSE(install_manifest().has_base_files);
  EXPECT_TRUE(install_manifest().available_tiles.get(18, 9));
}

TEST_F(ManifestTest, TileNameRule) {
  int row = -1, column = -1;
  EXPECT_TRUE(tile_of_name("a/+40-074.dsf", &row, &column));
  EXPECT_EQ(row, 13);
  EXPECT_EQ(column, 10);
  EXPECT_TRUE(tile_of_name("a\\-05+005.dsf\\", &row, &column));  // trailing separator ignored
  EXPECT_EQ(row, 8);
  EXPECT_EQ(column, 18);
  EXPECT_TRUE(tile_of_name("0400074.dsf", &row, &column));  // signs are optional
  EXPECT_EQ(row, 13);
  EXPECT_EQ(column, 25);
  // Truncation toward zero keeps the band just below -90 / -180 in row / column 0.
  EXPECT_TRUE(tile_of_name("-95-185.dsf", &row, &column));
  EXPECT_EQ(row, 0);
  EXPECT_EQ(column, 0);

  row = column = -1;
  EXPECT_FALSE(tile_of_name("+90+000.dsf", &row, &column));  // row 18
  EXPECT_FALSE(tile_of_name("+00+180.dsf", &row, &column));  // column 36
  EXPECT_FALSE(tile_of_name("-99-190.dsf", &row, &column));  // column -1
  EXPECT_FALSE(tile_of_name("abc-074.dsf", &row, &column));
  EXPECT_FALSE(tile_of_name("+4a-074.dsf", &row, &column));
  EXPECT_FALSE(tile_of_name("+40-07x.dsf", &row, &column));
  EXPECT_FALSE(tile_of_name("+-4-074.dsf", &row, &column));
  EXPECT_FALSE(tile_of_name("+40", &row, &column));
  EXPECT_FALSE(tile_of_name("", &row, &column));
  EXPECT_EQ(row, -1);  // untouched when the name is refused
  EXPECT_EQ(column, -1);

  EXPECT_FALSE(is_scenery_tile_path("Global Scenery/+40-074.dsx", &row, &column));
  EXPECT_FALSE(is_scenery_tile_path("Global Scenery/.dsf", &row, &column));
  EXPECT_TRUE(is_scenery_tile_path("Global Scenery/+40-074.dsf", &row, &column));
}

TEST_F(ManifestTest, InstallRelativePath) {
  EXPECT_EQ(install_relative_path("Zephiro/Resources/a.txt"), "Resources/a.txt");
  EXPECT_EQ(install_relative_path("Zephiro.exe"), "Zephiro.exe");
  EXPECT_EQ(install_relative_path("Top/"), "");
  ManifestEntry e;
  e.path = "Zephiro/Output/a.txt";
  EXPECT_EQ(install_location("/home/u/Zephiro 9/", e), "/home/u/Zephiro 9/Output/a.txt");
}

TEST_F(ManifestTest, PathsThatNameNoFileAreFatal) {
  const std::vector<std::string> bad = {
      "Zephiro/Resources/",                // a folder
      "Zephiro/Resources\\",               // a folder, written with the other separator
      "Zephiro/../../etc/passwd",          // climbs out of the copy
      "Zephiro/a/../../b.txt",
      "Zephiro/..",
      "Zephiro//etc/cron.d/job",           // absolute once the top folder is removed
      "Zephiro/\\etc\\job",
      "Zephiro/a\\..\\..\\b.txt",          // '\' becomes '/' when the path is normalised
      "Zephiro/a:..:b.txt",                // so does ':'
      "Zephiro/C:/Windows/x.dll",          // a drive prefix
  };
  for (const std::string& path : bad) {
    alerts.clear();
    std::string text = kHeader + file_line("Zephiro/good.txt") + file_line(path) + file_line("Zephiro/after.txt");
    EXPECT_EQ(read_text(text), 2) << path;
    ASSERT_EQ(alerts.size(), 1u) << path;
    EXPECT_EQ(alerts[0].kind, alert_quit);
    EXPECT_EQ(alerts[0].lines[0], "I am reading the directory text file and found a path that has no file!");
    EXPECT_EQ(alerts[0].lines[1], "This is impossible to download or delete!");
    EXPECT_EQ(alerts[0].lines[2], "It is:");
    EXPECT_EQ(alerts[0].lines[3], path);
    // Nothing of a manifest that holds such a path is used.
    EXPECT_EQ(manifest_group_count(), 0) << path;
    EXPECT_FALSE(install_manifest().has_base_files);
  }
}

TEST_F(ManifestTest, DotsInsideNamesAreHarmless) {
  std::string text = kHeader + file_line("Zephiro/a..b/..c.txt") + file_line("Zephiro/.../x.txt") +
                     file_line("../Zephiro.exe") +  // the top folder never reaches the disk
                     file_line("Zephiro/./Resources/y.txt");
  ASSERT_EQ(read_text(text), 3);
  EXPECT_TRUE(alerts.empty());
  EXPECT_EQ(manifest_group_count(), 4);
  EXPECT_TRUE(stays_inside_copy("Resources/plugins/a.txt"));
  EXPECT_FALSE(stays_inside_copy("Resources/../../a.txt"));
}

// Names the installer keeps for its own files in a copy (its record of unfinished work,
// partial files) are never product files: such lines are left out, the rest is read.
TEST_F(ManifestTest, NamesTheInstallerKeepsAreNotProductFiles) {
  std::string text = kHeader + file_line("Zephiro/.zephiro-unfinished-work.txt") +
                     file_line("Zephiro/Resources/.zephiro-part-1-2") + file_line("Zephiro/Resources/a.txt") +
                     file_line("Zephiro/.zephiro/b.txt") + file_line("Zephiro/x.zephiro-c.txt");
  ASSERT_EQ(read_text(text), 3);
  EXPECT_TRUE(alerts.empty());
  ASSERT_EQ(manifest_group_count(), 3);
  EXPECT_EQ(current_entry(0).path, "Zephiro/Resources/a.txt");
  EXPECT_EQ(current_entry(1).path, "Zephiro/.zephiro/b.txt");
  EXPECT_EQ(current_entry(2).path, "Zephiro/x.zephiro-c.txt");
}

}  // namespace
