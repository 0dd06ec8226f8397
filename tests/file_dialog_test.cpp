#include "ui/file_dialog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/alert.h"
#include "core/log.h"
#include "tests/test_util.h"

namespace {

// A stand-in dialog program: records its arguments, waits while the file `hold` exists,
// prints `answer`, exits with `code`.
void fake_program(const TempDir& dir, const std::string& name, const std::string& answer, int code) {
  const std::string path = dir / name;
  write_file(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + dir.path() + name +
                       ".args\"\nwhile [ -e \"" + dir.path() + "hold\" ]; do sleep 0.02; done\nprintf '%s' '" +
                       answer + "'\nexit " + std::to_string(code) + "\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

class FileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    file_dialog_state().search_path = dir.path();
    set_alert_handler([this](const AlertRequest& r) { alerts.push_back(r); });
    log_set_capture(&log);
  }
  void TearDown() override {
    log_set_capture(nullptr);
    set_alert_handler(nullptr);
    reset_file_dialog();
  }
  std::string args(const std::string& name) { return read_file(dir / (name + ".args")); }
  // Opens a dialog and polls it to its answer, as a page does frame after frame.
  int pick(int kind, const std::string& prompt, const std::string& start, std::string& path) {
    if (!open_file_dialog(kind, prompt, "Select", start, path, this)) return dialog_idle;
    int status;
    while ((status = poll_file_dialog(this, path)) == dialog_waiting)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return status;
  }
  TempDir dir;
  std::vector<AlertRequest> alerts;
  std::string log;
};

TEST_F(FileDialogTest, FolderPickerRunsZenityAndEndsTheFolderWithASlash) {
  if (!posix_system()) GTEST_SKIP() << "Windows shows its own dialogs, not zenity or kdialog";
  fake_program(dir, "zenity", "/home/pilot/Games\n", 0);
  fake_program(dir, "kdialog", "/wrong\n", 0);
  std::string path = "unchanged";
  EXPECT_EQ(pick(dialog_pick_folder, "Pick the parent folder", "/home/pilot", path), dialog_confirmed);
  EXPECT_EQ(path, "/home/pilot/Games/");
  EXPECT_EQ(args("zenity"),
            "--file-selection\n--title=Pick the parent folder\n--directory\n--filename=/home/pilot/\n");
  EXPECT_EQ(args("kdialog"), "");
  // Answered once: the owner has no dialog any more.
  EXPECT_EQ(poll_file_dialog(this, path), dialog_idle);
}

TEST_F(FileDialogTest, CancelLeavesAFolderAloneAndEmptiesAnOpenPath) {
  if (!posix_system()) GTEST_SKIP() << "Windows shows its own dialogs, not zenity or kdialog";
  fake_program(dir, "zenity", "", 1);
  std::string folder = "/keep/";
  EXPECT_EQ(pick(dialog_pick_folder, "Pick", "", folder), dialog_cancelled);
  EXPECT_EQ(folder, "/keep/");
  std::string file = "/some/file.txt";
  EXPECT_EQ(pick(dialog_open_file, "Open", "", file), dialog_cancelled);
  EXPECT_EQ(file, "");
  std::string save = "notes.txt";
  EXPECT_EQ(pick(dialog_save_file, "Save", "/tmp", save), dialog_cancelled);
  EXPECT_EQ(save, "notes.txt");
  EXPECT_EQ(args("zenity"), "--file-selection\n--title=Save\n--save\n--file-filter=All Files | *\n"
                            "--filename=/tmp/notes.txt\n");
}

TEST_F(FileDialogTest, KdialogServesWhenZenityIsMissing) {
  if (!posix_system()) GTEST_SKIP() << "Windows shows its own dialogs, not zenity or kdialog";
  fake_program(dir, "kdialog", "/data/log.txt\n", 0);
  std::string path;
  EXPECT_EQ(pick(dialog_open_file, "Open the log", "/data", path), dialog_confirmed);
  EXPECT_EQ(path, "/data/log.txt");
  EXPECT_EQ(args("kdialog"), "--title\nOpen the log\n--getopenfilename\n/data/\n*|All Files\n");
}

TEST_F(FileDialogTest, TheDiscImagePickerShowsIsoFilesFirst) {
  std::string path;
  // (Windows shows its own dialogs, not zenity or kdialog.)
  if (posix_system()) {
    fake_program(dir, "zenity", "/home/pilot/Z9_DVD1.iso\n", 0);
    EXPECT_EQ(pick(dialog_open_disc_image, "Pick an image", "/home/pilot", path), dialog_confirmed);
    EXPECT_EQ(path, "/home/pilot/Z9_DVD1.iso");
    EXPECT_EQ(args("zenity"), "--file-selection\n--title=Pick an image\n--file-filter=Disc Images | *.iso *.ISO\n"
                              "--file-filter=All Files | *\n--filename=/home/pilot/\n");
    std::filesystem::remove(dir / "zenity");
    fake_program(dir, "kdialog", "", 1);
    path = "/old.iso";
    EXPECT_EQ(pick(dialog_open_disc_image, "Pick an image", "/home/pilot", path), dialog_cancelled);
    EXPECT_EQ(path, "");
    EXPECT_EQ(args("kdialog"),
              "--title\nPick an image\n--getopenfilename\n/home/pilot/\n*.iso *.ISO|Disc Images\n*|All Files\n");
  }

  // A scripted answer for the image picker is no answer to another picker.
  for (int kind : {dialog_pick_folder, dialog_open_disc_image}) {
    file_dialog_state().scripted = true;
    file_dialog_state().scripted_confirm = true;
    file_dialog_state().scripted_kind = dialog_open_disc_image;
    file_dialog_state().scripted_path = "/discs/Z9_DVD2.iso";
    path = "/keep/";
    EXPECT_EQ(pick(kind, "Pick", "", path), kind == dialog_open_disc_image ? dialog_confirmed : dialog_cancelled);
    EXPECT_EQ(path, kind == dialog_open_disc_image ? "/discs/Z9_DVD2.iso" : "/keep/");
  }
}

TEST_F(FileDialogTest, WithoutADialogProgramTheUserIsTold) {
  if (!posix_system()) GTEST_SKIP() << "Windows shows its own dialogs, not zenity or kdialog";
  std::string path = "/keep/";
  EXPECT_FALSE(open_file_dialog(dialog_pick_folder, "Pick", "", "", path, this));
  EXPECT_EQ(path, "/keep/");
  EXPECT_FALSE(file_dialog_open());
  EXPECT_EQ(poll_file_dialog(this, path), dialog_idle);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].kind, alert_info);
  EXPECT_EQ(alerts[0].lines[0], "I cannot show a folder or file picker on this computer.");
  EXPECT_EQ(alerts[0].lines[1], "Neither zenity nor kdialog is installed.");
  EXPECT_NE(log.find("neither zenity nor kdialog was found"), std::string::npos);
}

TEST_F(FileDialogTest, TheCallerGoesOnWhileTheDialogIsUp) {
  if (!posix_system()) GTEST_SKIP() << "Windows shows its own dialogs, not zenity or kdialog";
  write_file(dir / "hold", "");
  fake_program(dir, "zenity", "/picked", 0);
  std::string path = "/before/";
  int other = 0;
  ASSERT_TRUE(open_file_dialog(dialog_pick_folder, "Pick", "", path, path, this));
  // A second dialog waits for the first to end; another owner hears nothing.
  EXPECT_FALSE(open_file_dialog(dialog_pick_folder, "Again", "", path, path, &other));
  EXPECT_EQ(poll_file_dialog(&other, path), dialog_idle);
  for (int frame = 0; frame < 20; ++frame) {
    EXPECT_EQ(poll_file_dialog(this, path), dialog_waiting);
    EXPECT_TRUE(file_dialog_open());
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(path, "/before/");
  std::filesystem::remove(dir / "hold");
  int status;
  while ((status = poll_file_dialog(this, path)) == dialog_waiting)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(status, dialog_confirmed);
  EXPECT_EQ(path, "/picked/");
  EXPECT_FALSE(file_dialog_open());

  // A dialog still up when the program closes is ended, unanswered.
  write_file(dir / "hold", "");
  ASSERT_TRUE(open_file_dialog(dialog_pick_folder, "Pick", "", path, path, this));
  close_file_dialog();
  EXPECT_FALSE(file_dialog_open());
  EXPECT_EQ(poll_file_dialog(this, path), dialog_idle);
}

}  // namespace
