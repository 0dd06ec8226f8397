#include "io/file_ops.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/child_process.h"
#include "tests/test_util.h"

namespace {

std::string normalised(std::string p) {
  normalise_path(p);
  return p;
}

// Sets an environment variable for the length of a test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value) set_environment(name, value);
    else unset_environment(name);
  }
  ~ScopedEnv() {
    if (had_) set_environment(name_.c_str(), old_.c_str());
    else unset_environment(name_.c_str());
  }

 private:
  std::string name_, old_;
  bool had_ = false;
};

}  // namespace

TEST(Paths, NormaliseKeepsDrivePrefixAndTurnsSeparators) {
  EXPECT_EQ(normalised("C:\\Program Files\\Zephiro 9\\"), "C:\\Program Files/Zephiro 9/");
  EXPECT_EQ(normalised("C:/a:b"), "C:/a/b");
  EXPECT_EQ(normalised("/home/u/a\\b"), "/home/u/a/b");
  EXPECT_EQ(normalised("plain/relative"), "plain/relative");
}

TEST(Paths, NormaliseReadsMalformedUtf8AsLatin1) {
  EXPECT_EQ(normalised("caf\xE9"), "caf\xC3\xA9");
  // Well-formed multi-byte text is left alone.
  EXPECT_EQ(normalised("caf\xC3\xA9/\xE2\x82\xAC/\xF0\x9F\x98\x80"), "caf\xC3\xA9/\xE2\x82\xAC/\xF0\x9F\x98\x80");
  // A lead byte cut off at the end is not UTF-8.
  EXPECT_EQ(normalised("a\xC3"), "a\xC3\x83");
  // A lead byte followed by a non-continuation byte is not UTF-8 either.
  EXPECT_EQ(normalised("\xE2(x"), "\xC3\xA2(x");
}

TEST(Paths, AbsoluteAndRelative) {
  EXPECT_TRUE(is_absolute_path("/usr/"));
  EXPECT_TRUE(is_absolute_path("\\share"));
  EXPECT_TRUE(is_absolute_path("C:\\x"));
  EXPECT_FALSE(is_absolute_path("C:"));
  EXPECT_FALSE(is_absolute_path("Resources/x.txt"));
  EXPECT_FALSE(is_absolute_path(""));
  std::string saved = program_folder();
  set_program_folder("/opt/zephiro/");
  std::string rel = "Resources/x.txt", abs = "/etc/x";
  make_absolute(rel);
  make_absolute(abs);
  EXPECT_EQ(rel, "/opt/zephiro/Resources/x.txt");
  EXPECT_EQ(abs, "/etc/x");
  set_program_folder(saved);
}

TEST(SpecialFolders, FromTheEnvironmentEndingWithSlash) {
  if (!posix_system()) GTEST_SKIP() << "the user's folders come from the freedesktop.org variables only on Linux";
  TempDir home;
  ScopedEnv h("HOME", home.path().c_str());
  ScopedEnv t("TMPDIR", "/var/tmp");
  ScopedEnv d("XDG_DATA_HOME", nullptr);
  ScopedEnv x("XDG_DESKTOP_DIR", nullptr);
  EXPECT_EQ(special_folder(folder_temp), "/var/tmp/");
  EXPECT_EQ(special_folder(folder_prefs), home.path() + ".local/share/");
  // No desktop folder at all: the home folder.
  EXPECT_EQ(special_folder(folder_desktop), home.path());
  make_folder((home / "Desktop"));
  EXPECT_EQ(special_folder(folder_desktop), home / "Desktop/");
  // The user's folder settings win over ~/Desktop.
  make_folder((home / ".config"));
  write_file(home / ".config/user-dirs.dirs", "# comment\nXDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
  EXPECT_EQ(special_folder(folder_desktop), home / "Bureau/");
  EXPECT_EQ(special_folder(folder_default_apps), special_folder(folder_desktop));
  {
    ScopedEnv xd("XDG_DESKTOP_DIR", "/srv/desk");
    EXPECT_EQ(special_folder(folder_desktop), "/srv/desk/");
  }
  ScopedEnv t2("TMPDIR", nullptr);
  EXPECT_EQ(special_folder(folder_temp), "/tmp/");

  // Folders are taken as the system gives them: ':' and '\' are ordinary characters in
  // a name, and bytes that are not UTF-8 name the folder that has them.
  ScopedEnv t3("TMPDIR", "/var/t:mp\\x/caf\xE9");
  EXPECT_EQ(special_folder(folder_temp), "/var/t:mp\\x/caf\xE9/");
  ScopedEnv d2("XDG_DATA_HOME", "/home/u/da:ta");
  EXPECT_EQ(special_folder(folder_prefs), "/home/u/da:ta/");
  ScopedEnv x2("XDG_DESKTOP_DIR", "/home/u/C:\\desk");
  EXPECT_EQ(special_folder(folder_desktop), "/home/u/C:\\desk/");
}

TEST(SpecialFolders, ProgramFolderHoldsProgramFile) {
  std::string file = special_folder(folder_program_file);
  std::string folder = special_folder(folder_program);
  ASSERT_FALSE(file.empty());
  ASSERT_EQ(folder.back(), '/');
  EXPECT_EQ(file.compare(0, folder.size(), folder), 0);
  EXPECT_EQ(file.find('/', folder.size()), std::string::npos);
  EXPECT_TRUE(file_exists(file));
}

TEST(ListFolder, SortedIgnoringCaseWithoutDotEntries) {
  TempDir dir;
  write_file(dir / ".hidden", "x");
  write_file(dir / "b", "x");
  make_folder((dir / "A"));
  // Windows' names ignore case: there "a" would be the folder "A" again.
  if (posix_system()) write_file(dir / "a", "x");
  write_file(dir / "ab", "x");
  std::vector<std::string> names;
  std::vector<int> folders;
  const size_t both = posix_system() ? 1 : 0;
  ASSERT_EQ(list_folder(dir.path(), names, folders), static_cast<int>(3 + both));
  ASSERT_EQ(names.size(), 3 + both);
  // A and a compare equal, so either order; the rest is fixed.
  if (both) {
    EXPECT_TRUE((names[0] == "A" && names[1] == "a") || (names[0] == "a" && names[1] == "A"));
  } else {
    EXPECT_EQ(names[0], "A");
  }
  EXPECT_EQ(names[1 + both], "ab");
  EXPECT_EQ(names[2 + both], "b");
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(folders[i], names[i] == "A" ? 1 : 0) << names[i];
  EXPECT_EQ(list_folder(dir / "missing/", names, folders), 0);
  EXPECT_TRUE(names.empty());
}

TEST(FolderExists, ExactNameInTheParentListing) {
  TempDir dir;
  make_folder((dir / "Zephiro 9 old"));
  write_file(dir / "Zephiro 9", "a file, not a folder");
  EXPECT_FALSE(folder_exists(dir / "Zephiro 9"));
  EXPECT_FALSE(folder_exists(dir / "Zephiro"));
  // Windows' names ignore case; a POSIX system's do not.
  EXPECT_EQ(folder_exists(dir / "zephiro 9 old"), !posix_system());
  EXPECT_TRUE(folder_exists(dir / "Zephiro 9 old"));
  EXPECT_TRUE(folder_exists(dir / "Zephiro 9 old/"));
  EXPECT_TRUE(folder_exists(dir.path()));
  EXPECT_FALSE(folder_exists(dir / "missing/deeper/"));
}

// Linux names may hold any byte but '/' and begin with "."; a FIFO or a device may stand
// where a file is expected. None of them may be renamed, missed or opened for reading.
TEST(LinuxNames, RawNamesDotFoldersAndSpecialFiles) {
  if (!posix_system()) GTEST_SKIP() << "Windows names cannot hold ':' or '\\', and it has no FIFOs";
  TempDir dir;
  const std::string odd[] = {"a:b", "back\\slash", std::string("caf\xE9"), "plain"};
  make_folder((dir / "tree"));
  for (const std::string& name : odd) write_file(dir / "tree/" + name, "x");
  std::vector<std::string> names;
  std::vector<int> folders;
  ASSERT_EQ(list_folder(dir / "tree/", names, folders), 4);
  for (const std::string& name : odd) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    EXPECT_TRUE(file_exists(dir / "tree/" + name)) << name;
  }
  EXPECT_EQ(delete_folder_tree(dir / "tree/"), 0);
  EXPECT_FALSE(folder_exists(dir / "tree"));

  make_folder((dir / ".hidden"));
  EXPECT_TRUE(folder_exists(dir / ".hidden"));
  EXPECT_TRUE(folder_exists(dir / ".hidden/"));
  EXPECT_TRUE(folder_exists("/"));

  ASSERT_EQ(make_fifo(dir / "fifo"), 0);
  EXPECT_TRUE(file_exists(dir / "fifo"));
  EXPECT_TRUE(is_special_file(dir / "fifo"));
  EXPECT_TRUE(is_special_file("/dev/null"));
  EXPECT_FALSE(is_special_file(dir.path()));
  uint64_t size = 0;
  EXPECT_EQ(regular_file_size(dir / "fifo", &size), 22);
  write_file(dir / "f", "12345");
  EXPECT_EQ(regular_file_size(dir / "f", &size), 0);
  EXPECT_EQ(size, 5u);
  EXPECT_FALSE(file_exists(dir.path()));  // a folder is not a file
}

TEST(Folders, CreateDeleteAndBenignCodes) {
  TempDir dir;
  EXPECT_EQ(create_folder(dir / "new/"), 0);
  int again = create_folder(dir / "new");
  EXPECT_EQ(again, 17);
  EXPECT_TRUE(is_benign_folder_error(again));
  EXPECT_TRUE(is_benign_folder_error(0));
  EXPECT_TRUE(is_benign_folder_error(183));
  int missing_parent = create_folder(dir / "no/such/folder/");
  EXPECT_EQ(missing_parent, 2);
  EXPECT_FALSE(is_benign_folder_error(missing_parent));
  EXPECT_FALSE(is_benign_folder_error(13));

  EXPECT_EQ(delete_file_or_empty_folder(""), 2);
  write_file(dir / "new/f", "x");
  EXPECT_EQ(delete_file_or_empty_folder(dir / "new/"), ENOTEMPTY);
  EXPECT_EQ(delete_file_or_empty_folder(dir / "new/f"), 0);
  EXPECT_EQ(delete_file_or_empty_folder(dir / "new/f"), 2);
  EXPECT_EQ(delete_file_or_empty_folder(dir / "new/"), 0);
  EXPECT_FALSE(folder_exists(dir / "new"));
}

TEST(Folders, DeleteTreeRemovesLinksButNeverWhatTheyPointTo) {
  if (!posix_system()) GTEST_SKIP() << "a link to a folder needs an administrator on Windows";
  TempDir dir;
  make_folder((dir / "keep"));
  write_file(dir / "keep/precious.txt", "user data");
  make_folder((dir / "tree"));
  make_folder((dir / "tree/sub"));
  write_file(dir / "tree/sub/a", "a");
  write_file(dir / "tree/.dotfile", "d");
  write_file(dir / "tree/b", "b");
  std::filesystem::create_directory_symlink(dir / "keep", dir / "tree/sub/link_to_folder");
  std::filesystem::create_symlink(dir / "keep/precious.txt", dir / "tree/link_to_file");
  std::filesystem::create_directory_symlink(dir / "keep", dir / "toplink");

  EXPECT_EQ(delete_folder_tree(dir / "tree/"), 0);
  EXPECT_FALSE(folder_exists(dir / "tree"));
  EXPECT_EQ(read_file(dir / "keep/precious.txt"), "user data");

  // A tree that is itself a link: the link goes, the folder it names stays whole.
  EXPECT_EQ(delete_folder_tree(dir / "toplink/"), 0);
  EXPECT_EQ(read_file(dir / "keep/precious.txt"), "user data");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "toplink")));
}

TEST(Folders, DeleteTreeStopsAtTheFirstFailure) {
  if (!posix_system()) GTEST_SKIP() << "Windows has no folder modes that lock out the user";
  TempDir dir;
  make_folder((dir / "t"));
  make_folder((dir / "t/a_locked"));
  write_file(dir / "t/a_locked/f", "x");
  write_file(dir / "t/b_later", "x");
  chmod((dir / "t/a_locked").c_str(), 0555);
  chmod(dir.path().c_str(), 0777);
  // Folder permissions bind only an ordinary user: as root, run the deletion as "nobody".
  auto delete_as_user = [&] {
    if (!run_as_nobody()) std::exit(100);
    std::exit(delete_folder_tree(dir / "t/"));
  };
  EXPECT_EXIT(delete_as_user(), testing::ExitedWithCode(13), "");
  // The walk stopped at the locked folder: what comes after it in the listing is still there.
  EXPECT_EQ(read_file(dir / "t/b_later"), "x");
  EXPECT_EQ(read_file(dir / "t/a_locked/f"), "x");
  chmod((dir / "t/a_locked").c_str(), 0755);
}

TEST(Files, CopyTreeCopyFileAndReadOnly) {
  TempDir dir;
  make_folder((dir / "src"));
  make_folder((dir / "src/inner"));
  write_file(dir / "src/inner/x.txt", "hello");
  write_file(dir / "src/run", "#!/bin/sh\n");
  chmod((dir / "src/run").c_str(), 0755);
  EXPECT_EQ(copy_tree(dir / "src", dir / "dst"), 0);
  EXPECT_EQ(read_file(dir / "dst/inner/x.txt"), "hello");
  if (posix_system()) {  // Windows has no such mode
    EXPECT_EQ(access((dir / "dst/run").c_str(), X_OK), 0);
  }

  write_file(dir / "dst/inner/x.txt", "old");
  EXPECT_EQ(copy_file(dir / "src/inner/x.txt", dir / "dst/inner/x.txt"), 0);  // replaces
  EXPECT_EQ(read_file(dir / "dst/inner/x.txt"), "hello");
  EXPECT_EQ(copy_file(dir / "nothing", dir / "dst/n"), 2);
  EXPECT_FALSE(file_exists(dir / "dst/n"));

  chmod((dir / "dst/inner/x.txt").c_str(), 0444);
  EXPECT_EQ(clear_read_only(dir / "dst/inner/x.txt"), 0);
  struct stat st;
  ASSERT_EQ(stat((dir / "dst/inner/x.txt").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);
  EXPECT_EQ(clear_read_only(dir / "nothing"), 2);
}

// A disk that fills up during a copy gives the full-disk code, whose text says so, never
// a vague input/output error; a copy that fits is whole, and nothing copies onto itself.
TEST(Files, CopyIntoAFullDiskIsAFullDisk) {
  TempDir dir;
  TmpfsMount small("64k");
  if (!small.problem().empty()) GTEST_SKIP() << small.problem();
  write_file(dir / "big", std::string(200000, 'x'));
  write_file(dir / "fits", std::string(20000, 'y'));
  int code = copy_file(dir / "big", small / "big");
  EXPECT_EQ(code, ENOSPC);
  EXPECT_NE(error_message_for_code(code).find("Perhaps your hard drive is full"), std::string::npos);
  ASSERT_EQ(unlink((small / "big").c_str()), 0);
  EXPECT_EQ(copy_file(dir / "fits", small / "fits"), 0);
  EXPECT_EQ(read_file(small / "fits"), std::string(20000, 'y'));
  EXPECT_NE(copy_file(small / "fits", small / "fits"), 0);
  EXPECT_EQ(read_file(small / "fits"), std::string(20000, 'y'));
}

TEST(Files, DiskSpaceOfFileFolderAndMissingParent) {
  TempDir dir;
  write_file(dir / "f", "x");
  uint64_t total = 0, free_bytes = 0;
  ASSERT_EQ(disk_space(dir / "f", &total, &free_bytes), 0);
  EXPECT_GT(total, 0u);
  EXPECT_LE(free_bytes, total);
  // A folder that does not exist yet is measured at its parent.
  EXPECT_EQ(disk_space(dir / "not yet/", &total, nullptr), 0);
  EXPECT_EQ(disk_space(dir / "a/b/c", nullptr, &free_bytes), 2);
}

TEST(ErrorMessages, ProgramAndArchiveTextsThenTheSystemsOwn) {
  EXPECT_EQ(error_message_for_code(0), "");
  EXPECT_EQ(error_message_for_code(20001), "We were unable to open a zip file. It may be missing or damaged");
  // Every archive failure reads as one, never as a bare number.
  for (int code : {-1, -2, -3, -4, -5, -100, -102, -103, -104, -105, 20013, 20014, 20015}) {
    std::string text = error_message_for_code(code);
    EXPECT_EQ(text.find("Error code"), std::string::npos) << code;
    EXPECT_TRUE(text.find("zip") != std::string::npos || text.find("archive") != std::string::npos) << code;
  }
  EXPECT_EQ(error_message_for_code(-105), "Damaged archive: a file in it failed its CRC check");
  // errno values read as the system says them, with the program's hints where the user can act.
  EXPECT_EQ(error_message_for_code(28), "No space left on device. Perhaps your hard drive is full");
  EXPECT_EQ(error_message_for_code(13), "Permission denied. Perhaps you do not have access to a directory or file system");
  EXPECT_EQ(error_message_for_code(2), "No such file or directory");
  // Windows' C library has no words for these two.
  if (posix_system()) {
    EXPECT_EQ(error_message_for_code(ELOOP), "Too many levels of symbolic links");
    EXPECT_EQ(error_message_for_code(ETIMEDOUT), "Connection timed out");
  }
  EXPECT_EQ(error_message_for_code(-77), "Error code -77");
  EXPECT_EQ(error_message_for_code(987654), "Error code 987654");
}

TEST(OpenAndQuit, ParametersKeepQuotedBlanks) {
  using V = std::vector<std::string>;
  EXPECT_EQ(split_parameters("  one\ttwo  "), (V{"one", "two"}));
  EXPECT_EQ(split_parameters("--install=\"/home/me/Zephiro 9\" x"), (V{"--install=/home/me/Zephiro 9", "x"}));
  EXPECT_EQ(split_parameters(""), V{});
  for (const std::string& arg : {std::string("plain"), std::string("with space"), std::string("q\"uote"),
                                 std::string("back\\slash\\"), std::string("")}) {
    V back = split_parameters("a " + quote_parameter(arg) + " b");
    ASSERT_EQ(back.size(), 3u) << arg;
    EXPECT_EQ(back[1], arg);
  }
}

TEST(OpenAndQuit, FailureReturnsAndSuccessEndsTheProcess) {
  if (!posix_system()) GTEST_SKIP() << "the programs it starts are shell scripts";
  TempDir dir;
  EXPECT_EQ(open_and_quit(dir / "missing program", "", false), 2);
  // A file that claims to be a program but cannot run: the shell fails, the caller goes on.
  write_file(dir / "bad", "not a program");
  chmod((dir / "bad").c_str(), 0755);
  EXPECT_LE(open_and_quit(dir / "bad", "", false), 32);

  std::string script = dir / "record.sh";
  // Written whole under another name first, so the test never reads a half-written file.
  write_file(script, "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > \"" + dir.path() + "args.tmp\"\nmv \"" +
                         dir.path() + "args.tmp\" \"" + dir.path() + "args.txt\"\n");
  chmod(script.c_str(), 0755);
  EXPECT_EXIT(open_and_quit(script, "one \"two three\"", false), testing::ExitedWithCode(1), "");
  for (int i = 0; i < 200 && read_file(dir / "args.txt").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(read_file(dir / "args.txt"), "[one]\n[two three]\n");
}
