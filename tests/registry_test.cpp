#include "engine/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "platform/child_process.h"
#include "tests/test_util.h"

namespace {

void make_copy_at(const std::string& folder);

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_DATA_HOME");
    had_old_ = old != nullptr;
    if (had_old_) old_ = old;
    prefs_ = dir / "share/";
    set_environment("XDG_DATA_HOME", prefs_.c_str());
    reset_registry();
    log_set_capture(&log_);
  }
  void TearDown() override {
    log_set_capture(nullptr);
    reset_registry();
    if (had_old_)
      set_environment("XDG_DATA_HOME", old_.c_str());
    else
      unset_environment("XDG_DATA_HOME");
  }

  // An installed copy as far as the registry can tell: the four main folders.
  std::string make_folder(const std::string& name) {
    make_copy_at(dir / (name + "/"));
    return dir / (name + "/");
  }
  std::string file() const { return prefs_ + "zephiro_install.txt"; }
  void write_registry(const std::string& text) {
    std::filesystem::create_directories(prefs_);
    write_file(file(), text);
  }

  TempDir dir;
  std::string prefs_;
  std::string log_;

 private:
  bool had_old_ = false;
  std::string old_;
};

void make_copy_at(const std::string& folder) {
  for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"})
    std::filesystem::create_directories(folder + sub);
}

// A folder path under `base` of exactly `length` bytes, ending with '/', created on disk
// as a copy.
std::string make_folder_of_length(const std::string& base, size_t length) {
  std::string path = base;
  while (path.size() < length) {
    size_t left = length - path.size();
    size_t name = std::min<size_t>(200, left - 1);
    if (left - (name + 1) == 1) --name;  // never leave room for an empty name
    path += std::string(name, 'd') + "/";
  }
  make_copy_at(path);
  return path;
}

TEST_F(RegistryTest, FileIsInThePreferencesFolder) {
  EXPECT_EQ(registry_file_path(), prefs_ + "zephiro_install.txt");
}

TEST_F(RegistryTest, ReadKeepsExistingFoldersInFileOrder) {
  std::string a = make_folder("copy a");
  std::string c = make_folder("copy c");
  std::string text = c + "\n" + dir / "gone/\n" + a + "\n" + c + "\n";
  write_registry(text);
  registry().installed_copies = {"stale"};
  read_installed_copies();
  EXPECT_EQ(registry().installed_copies, (std::vector<std::string>{c, a, c}));
  EXPECT_EQ(read_file(file()), text);  // never rewritten
}

TEST_F(RegistryTest, LinesAreCutAtCarriageReturnAndZeroByte) {
  std::string a = make_folder("a");
  std::string b = make_folder("b");
  write_registry(a + "\r\n\n" + b + std::string(1, '\0') + "junk\n" + a);  // last line without LF
  read_installed_copies();
  EXPECT_EQ(registry().installed_copies, (std::vector<std::string>{a, b, a}));
}

// A line break in a folder's name would split it into two lines, the second naming any
// folder at all: such a path is never written, and a line that names a folder that is no
// copy is never listed, so no wizard offers it.
TEST_F(RegistryTest, OnlyCopiesAreListedAndControlCharactersNeverRegistered) {
  std::string copy = make_folder("Zephiro 9");
  std::filesystem::create_directories(dir / "victim/Resources");
  write_file(dir / "victim/diary.txt", "mine");
  for (const std::string& crafted : {dir / "p\n" + dir / "victim/", dir / "tab\there/", dir / "del\x7f/",
                                     dir / "cr\r/"}) {
    EXPECT_FALSE(is_registrable_path(crafted));
    EXPECT_EQ(register_install_path(crafted), EINVAL);
  }
  EXPECT_FALSE(std::filesystem::exists(file()));
  EXPECT_TRUE(is_registrable_path(dir / "caf\xC3\xA9 d:a\\ta ~!/"));

  write_registry(dir / "p\n" + dir / "victim/\n" + copy + "\n" + dir / "victim\n");
  read_installed_copies();
  EXPECT_EQ(registry().installed_copies, (std::vector<std::string>{copy}));
}

TEST_F(RegistryTest, MissingFileGivesEmptyListQuietly) {
  registry().installed_copies = {"stale"};
  read_installed_copies();
  EXPECT_TRUE(registry().installed_copies.empty());
  EXPECT_EQ(log_, "");
}

TEST_F(RegistryTest, LongLineIsReadInPiecesOf2047Bytes) {
  std::string first = make_folder_of_length(dir.path(), 2047);
  std::string second = make_folder_of_length(dir / "x/", 953);
  ASSERT_EQ(first.size(), 2047u);
  ASSERT_EQ(second.size(), 953u);
  write_registry(first + second + "\n");
  read_installed_copies();
  EXPECT_EQ(registry().installed_copies, (std::vector<std::string>{first, second}));

  // The whole 3000-byte path never equals a piece, so registering it appends it again.
  std::string whole = first + second;
  register_install_path(whole);
  EXPECT_EQ(read_file(file()), whole + "\n" + whole + "\n");
}

TEST_F(RegistryTest, RegisterCreatesFolderAndFile) {
  prefs_ = dir / "new/deeper/";
  set_environment("XDG_DATA_HOME", prefs_.c_str());
  std::string copy = make_folder("Zephiro 9");
  register_install_path(copy);
  EXPECT_EQ(read_file(file()), copy + "\n");
  EXPECT_EQ(log_, "");
  read_installed_copies();
  EXPECT_EQ(registry().installed_copies, (std::vector<std::string>{copy}));
}

TEST_F(RegistryTest, RegisterAppendsOnlyNewPaths) {
  std::string a = make_folder("Zephiro 9");
  write_registry("/elsewhere/\r\n" + a + "\n");
  register_install_path(a);
  EXPECT_EQ(read_file(file()), "/elsewhere/\r\n" + a + "\n");

  std::string upper = dir / "ZEPHIRO 9/";  // another copy as far as the registry knows
  register_install_path(upper);
  register_install_path(upper);
  register_install_path("/elsewhere/");  // matches the CRLF line
  EXPECT_EQ(read_file(file()), "/elsewhere/\r\n" + a + "\n" + upper + "\n");
}

TEST_F(RegistryTest, RegisterDoesNotRunIntoAnUnfinishedLastLine) {
  write_registry("/first/");  // edited by hand, no final LF
  register_install_path("/second/");
  EXPECT_EQ(read_file(file()), "/first/\n/second/\n");
  register_install_path("/first/");
  register_install_path("/second/");
  EXPECT_EQ(read_file(file()), "/first/\n/second/\n");
}

TEST_F(RegistryTest, ARegistrationThatCannotBeWrittenIsReported) {
  // A folder in the place of the file cannot be appended to.
  std::filesystem::create_directories(file());
  // Windows refuses to open a folder as a file with "access denied".
  EXPECT_EQ(register_install_path("/copy/"), posix_system() ? EISDIR : EACCES);
  EXPECT_EQ(log_, "WARNING: could not append registration file: " + file() + "\n");
  read_installed_copies();
  EXPECT_TRUE(registry().installed_copies.empty());
  std::filesystem::remove(file());

  // A full disk: the file is a link to /dev/full, which is never read (it would never end).
  // Windows has neither that device nor FIFOs.
  if (!posix_system()) return;
  std::filesystem::create_symlink("/dev/full", file());
  EXPECT_EQ(register_install_path("/copy/"), ENOSPC);
  read_installed_copies();
  EXPECT_TRUE(registry().installed_copies.empty());
  std::filesystem::remove(file());

  // A FIFO with no reader neither blocks the reading nor the writing.
  ASSERT_EQ(make_fifo(file()), 0);
  read_installed_copies();
  EXPECT_TRUE(registry().installed_copies.empty());
  EXPECT_EQ(register_install_path("/copy/"), ENXIO);
}

}  // namespace
