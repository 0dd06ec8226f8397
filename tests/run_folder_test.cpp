#include "io/run_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/test_util.h"

namespace fs = std::filesystem;

namespace {

size_t entries_in(const std::string& folder) {
  size_t n = 0;
  for (auto it = fs::directory_iterator(folder); it != fs::directory_iterator(); ++it) ++n;
  return n;
}

}  // namespace

TEST(RunFolder, EachRunHasItsOwnAndKilledRunsLoseTheirs) {
  TempDir temp;
  if (!posix_system()) GTEST_SKIP() << "the runs holding their folders are forked children";
  pid_t live = hold_in_child([&] {
    if (open_run_folder(temp.path()).empty()) _exit(1);
    write_file(run_folder() + "archive.zip", "copied");
  });
  ASSERT_GT(live, 0);
  pid_t killed = hold_in_child([&] {
    if (open_run_folder(temp.path()).empty()) _exit(1);
  });
  ASSERT_GT(killed, 0);
  kill_child(killed);
  ASSERT_EQ(entries_in(temp.path()), 2u);

  std::string mine = open_run_folder(temp.path());
  ASSERT_FALSE(mine.empty());
  EXPECT_EQ(mine, run_folder());
  EXPECT_EQ(mine.rfind(temp.path() + "zephiro-run-" + std::to_string(getpid()) + "-", 0), 0u) << mine;
  EXPECT_EQ(remove_stale_run_folders(temp.path()), 1);  // the killed run's; never a live one
  EXPECT_EQ(entries_in(temp.path()), 2u);
  kill_child(live);
  EXPECT_EQ(remove_stale_run_folders(temp.path()), 1);
  write_file(mine + "directory.txt", "manifest");
  remove_run_folder();
  EXPECT_EQ(entries_in(temp.path()), 0u);
  EXPECT_TRUE(run_folder().empty());
}
