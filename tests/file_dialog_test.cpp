#include "ui/file_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/test_util.h"

namespace {

// A stand-in dialog program: records its arguments, prints `answer`, exits with `code`.
void fake_program(const TempDir& dir, const std::string& name, const std::string& answer, int code) {
  const std::string path = dir / name;
  write_file(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + dir.path() + name +
                       ".args\"\nprintf '%s' '" + answer + "'\nexit " + std::to_string(code) + "\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

class FileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { file_dialog_state().search_path = dir.path(); }
  void TearDown() override { reset_file_dialog(); }
  std::string args(const std::string& name) { return read_file(dir / (name + ".args")); }
  TempDir dir;
};

TEST_F(FileDialogTest, FolderPickerRunsZenityAndEndsTheFolderWithASlash) {
  fake_program(dir, "zenity", "/home/pilot/Games\n", 0);
  fake_program(dir, "kdialog", "/wrong\n", 0);
  std::string path = "unchanged";
  EXPECT_TRUE(file_dialog(dialog_pick_folder, "Pick the parent folder", "Select", "/home/pilot", path));
  EXPECT_EQ(path, "/home/pilot/Games/");
  EXPECT_EQ(args("zenity"),
            "--file-selection\n--title=Pick the parent folder\n--directory\n--filename=/home/pilot/\n");
  EXPECT_EQ(args("kdialog"), "");
}

TEST_F(FileDialogTest, CancelLeavesAFolderAloneAndEmptiesAnOpenPath) {
  fake_program(dir, "zenity", "", 1);
  std::string folder = "/keep/";
  EXPECT_FALSE(file_dialog(dialog_pick_folder, "Pick", "", "", folder));
  EXPECT_EQ(folder, "/keep/");
  std::string file = "/some/file.txt";
  EXPECT_FALSE(file_dialog(dialog_open_file, "Open", "", "", file));
  EXPECT_EQ(file, "");
  std::string save = "notes.txt";
  EXPECT_FALSE(file_dialog(dialog_save_file, "Save", "", "/tmp", save));
  EXPECT_EQ(save, "notes.txt");
  EXPECT_EQ(args("zenity"), "--file-selection\n--title=Save\n--save\n--file-filter=All Files | *\n"
                            "--filename=/tmp/notes.txt\n");
}

TEST_F(FileDialogTest, KdialogServesWhenZenityIsMissing) {
  fake_program(dir, "kdialog", "/data/log.txt\n", 0);
  std::string path;
  EXPECT_TRUE(file_dialog(dialog_open_file, "Open the log", "Open", "/data", path));
  EXPECT_EQ(path, "/data/log.txt");
  EXPECT_EQ(args("kdialog"), "--title\nOpen the log\n--getopenfilename\n/data/\n*|All Files\n");
}

TEST_F(FileDialogTest, NoDialogProgramMeansNotChosen) {
  std::string path = "/keep/";
  EXPECT_FALSE(file_dialog(dialog_pick_folder, "Pick", "", "", path));
  EXPECT_EQ(path, "/keep/");
}

}  // namespace
