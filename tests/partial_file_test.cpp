#include "io/partial_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace fs = std::filesystem;

TEST(PartialFile, NothingStandsUnderTheFinalNameUntilTheCommit) {
  TempDir dir;
  write_file(dir / "a.txt", "old");
  {
    PartialFile f;
    ASSERT_EQ(f.open(dir / "a.txt", true), 0);
    EXPECT_TRUE(is_partial_name(fs::path(f.temporary()).filename().string()));
    ASSERT_EQ(f.write("abc", 3), 0);
    EXPECT_EQ(read_file(dir / "a.txt"), "old");
    EXPECT_EQ(f.signature(), "900150983cd24fb0d6963f7d28e17f72");
  }  // dropped without a commit
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(read_file(dir / "a.txt"), "old");

  PartialFile f;
  ASSERT_EQ(f.open(dir / "a.txt"), 0);
  ASSERT_EQ(f.write("new", 3), 0);
  ASSERT_EQ(f.commit(0755), 0);
  EXPECT_EQ(read_file(dir / "a.txt"), "new");
  EXPECT_EQ(access((dir / "a.txt").c_str(), X_OK), 0);
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"a.txt"});

  // A file the user replaced by a link is written where the link leads; the link stays.
  // (A link to a file needs an administrator on Windows.)
  if (posix_system()) {
    TempDir elsewhere;
    write_file(elsewhere / "real.txt", "old");
    fs::create_symlink(elsewhere / "real.txt", dir / "linked.txt");
    PartialFile through;
    ASSERT_EQ(through.open(dir / "linked.txt"), 0);
    // Made beside the file it replaces, so the rename never crosses to another filesystem.
    EXPECT_EQ(fs::path(through.temporary()).parent_path(), fs::path(elsewhere / "real.txt").parent_path());
    ASSERT_EQ(through.write("new", 3), 0);
    ASSERT_EQ(through.commit(), 0);
    EXPECT_TRUE(fs::is_symlink(dir / "linked.txt"));
    EXPECT_EQ(read_file(elsewhere / "real.txt"), "new");
    fs::remove(dir / "linked.txt");
  }

  // A folder is made whole: it appears under its name with what it holds, or not at all.
  PartialFolder folder;
  ASSERT_EQ(folder.open(dir / "copy"), 0);
  write_file(folder.folder() + "record", "r");
  EXPECT_FALSE(fs::exists(dir / "copy"));
  ASSERT_EQ(folder.commit(), 0);
  EXPECT_EQ(read_file(dir / "copy/record"), "r");
  PartialFolder late;
  ASSERT_EQ(late.open(dir / "copy"), 0);
  EXPECT_EQ(late.commit(), EEXIST);  // a folder that is there is never replaced
}

// Only what no live process is making is removed: the lock a process holds ends with it,
// however it ends.
TEST(PartialFile, LeftoversOfKilledRunsGoThoseOfLiveRunsStay) {
  TempDir dir;
  if (!posix_system()) GTEST_SKIP() << "the runs holding their files are forked children";
  pid_t live = hold_in_child([&] {
    static PartialFile f;
    static PartialFolder folder;
    if (f.open(dir / "being written.txt") != 0 || folder.open(dir / "being made") != 0) _exit(1);
  });
  ASSERT_GT(live, 0);
  write_file(dir / ".zephiro-part-0123-7", "left by a killed run");
  fs::create_directories(dir / ".zephiro-part-0123-8/inner");
  write_file(dir / ".zephiro-part-0123-8/inner/record", "r");
  write_file(dir / "a file of the copy", "kept");
  ASSERT_EQ(names_in(dir.path()).size(), 5u);

  EXPECT_EQ(remove_stale_partial_files(dir.path()), 2);
  EXPECT_EQ(names_in(dir.path()).size(), 3u);  // the live run's two, and the copy's file
  kill_child(live);
  EXPECT_EQ(remove_stale_partial_files(dir.path()), 2);
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"a file of the copy"});
}
