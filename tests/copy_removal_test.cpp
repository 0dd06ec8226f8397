// Menu entries of installed copies and the removal of a copy: an install in the real
// program's window gets an entry that a desktop can start, the Main Menu removes the copy
// but for the user's own files, and --uninstall does the same without a window, refuses a
// folder that is no copy and finishes a removal that was killed.

#include "engine/menu_entry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "app/command_line_mode.h"
#include "platform/child_process.h"
#include "platform/host.h"
#include "tests/program_window_fixture.h"

namespace fs = std::filesystem;

namespace {

const char k_menu[] = "You already have Zephiro 9 installed on this computer.  What would you like to do?";

// A desktop entry's keys, read the way a desktop reads them: the [Desktop Entry] group,
// "Key=Value" lines, string escapes undone (\s \n \t \r \\).
std::map<std::string, std::string> read_entry(const std::string& path) {
  std::map<std::string, std::string> keys;
  const std::string text = read_file(path);
  size_t start = 0;
  bool in_group = false;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line[0] == '[') in_group = line == "[Desktop Entry]";
    const size_t eq = line.find('=');
    if (!in_group || eq == std::string::npos) continue;
    std::string value;
    for (size_t i = eq + 1; i < line.size(); ++i) {
      if (line[i] != '\\' || i + 1 == line.size()) {
        value += line[i];
        continue;
      }
      const char c = line[++i];
      value += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    }
    keys[line.substr(0, eq)] = value;
  }
  return keys;
}

// The Exec value (escapes already undone) split into arguments as the desktop entry rules say:
// blanks separate them, double quotes keep them whole, within quotes a backslash takes the
// next '"', '`', '$' or '\' literally; "%%" is a percent sign. Any other field code or an
// open quote fails the test.
std::vector<std::string> exec_arguments(const std::string& exec) {
  std::vector<std::string> args;
  std::string current;
  bool quoted = false, have = false;
  for (size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < exec.size() && std::string("\"`$\\").find(exec[i + 1]) != std::string::npos) {
        current += exec[++i];
      } else if (c == '%') {
        EXPECT_TRUE(i + 1 < exec.size() && exec[i + 1] == '%') << exec;
        current += '%';
        ++i;
      } else {
        current += c;
      }
    } else if (c == ' ') {
      if (have) args.push_back(current);
      current.clear();
      have = false;
    } else if (c == '"') {
      quoted = have = true;
    } else {
      EXPECT_NE(c, '%') << "a field code outside quotes: " << exec;
      current += c;
      have = true;
    }
  }
  EXPECT_FALSE(quoted) << exec;
  if (have) args.push_back(current);
  return args;
}

// Starts an entry's program as a desktop does: its Exec arguments, in its Path folder.
// The exit code, or -1.
int launch_entry(const std::map<std::string, std::string>& entry) {
  const std::vector<std::string> args = exec_arguments(entry.at("Exec"));
  if (args.empty()) return -1;
  // The shell changes into the Path folder, then runs the program (looked up on the PATH
  // when it names no folder).
  std::vector<std::string> argv = {"sh", "-c", "cd \"$0\" && exec \"$@\"", entry.at("Path")};
  argv.insert(argv.end(), args.begin(), args.end());
  TempDir scratch;
  return wait_for_exit(start_program(argv, {}, scratch / "out.txt", scratch / "err.txt"));
}

bool validates(const std::string& entry) {
  return std::system(("desktop-file-validate '" + entry + "' >&2").c_str()) == 0;
}

// Everything below `folder` that is not a folder, relative to it (links not followed).
std::vector<std::string> files_below(const std::string& folder) {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
    if (!it->is_directory() || it->is_symlink()) found.push_back(fs::relative(it->path(), folder).generic_u8string());
  std::sort(found.begin(), found.end());
  return found;
}

class CopyRemovalTest : public ThreeDiscWindowTest {
 protected:
  // The entry paths are asked in this process, of the runs' data folder.
  void SetUp() override {
    ThreeDiscWindowTest::SetUp();
    const char* before = std::getenv("XDG_DATA_HOME");
    had_data_home_ = before != nullptr;
    if (before) data_home_before_ = before;
    set_environment("XDG_DATA_HOME", (p.root / "data").c_str());
  }
  void TearDown() override {
    if (had_data_home_) set_environment("XDG_DATA_HOME", data_home_before_.c_str());
    else unset_environment("XDG_DATA_HOME");
  }
  std::string entry_of(const std::string& copy) { return menu_entry_path(copy); }
  std::string registry() { return read_file(p.root / "data/zephiro_install.txt"); }
  // The user's own file and an installed file they changed, and a link they made to a
  // folder outside the copy. Returns the two files, install-relative, sorted.
  std::vector<std::string> add_users_files(const std::string& copy) {
    write_file(copy + "My Flight Plan.txt", "over the Alps");
    write_file(copy + "Airfoils/Clark Y.afl", "my own airfoil");
    fs::create_directories(p.root / "outside");
    write_file(p.root / "outside/keep me.txt", "outside");
    // A Windows user needs a right an ordinary account lacks to make a link.
    if (posix_system()) fs::create_directory_symlink(p.root / "outside", copy + "Resources/linked outside");
    return {"Airfoils/Clark Y.afl", "My Flight Plan.txt"};
  }

 private:
  bool had_data_home_ = false;
  std::string data_home_before_;
};

}  // namespace

// The Exec line survives every character a folder may hold, a backslash too (which the
// program itself turns into a separator, but a desktop must not), and validates.
TEST_F(CopyRemovalTest, EntriesOfAwkwardFoldersValidateAndNameTheirProgram) {
  if (!posix_system()) GTEST_SKIP() << "menu entries are the freedesktop.org desktop's (its validator, its launcher)";
  for (std::string folder : {"/opt/Zephiro 9/", "/home/a\\b \"q\" $HOME `x` 100%/Z 9/", "/tmp/ lead/Über 9/"}) {
    SCOPED_TRACE(folder);
    const std::string entry = entry_of(folder);
    ASSERT_EQ(write_menu_entry(folder), 0);
    EXPECT_TRUE(validates(entry));
    const std::map<std::string, std::string> keys = read_entry(entry);
    std::vector<std::string> args = exec_arguments(keys.at("Exec"));
    // With a '%' in the path `env` starts the program (a desktop built on GLib would not).
    if (folder.find('%') != std::string::npos) {
      ASSERT_FALSE(args.empty());
      EXPECT_EQ(args[0], "env");
      args.erase(args.begin());
    }
    EXPECT_EQ(args, std::vector<std::string>{folder + "Zephiro"});
    EXPECT_EQ(keys.at("Path"), folder);
    EXPECT_EQ(keys.at("Name"), fs::path(folder).parent_path().filename().string());
  }
  // One file per copy, and the icon stays while any entry is left.
  EXPECT_NE(entry_of("/opt/Zephiro 9/"), entry_of("/opt/Zephiro 9 b/"));
  EXPECT_EQ(remove_menu_entry("/opt/Zephiro 9/"), 0);
  EXPECT_FALSE(fs::exists(entry_of("/opt/Zephiro 9/")));
  EXPECT_TRUE(fs::exists(menu_icon_path()));
  EXPECT_EQ(remove_menu_entry("/home/a\\b \"q\" $HOME `x` 100%/Z 9/"), 0);
  EXPECT_EQ(remove_menu_entry("/tmp/ lead/Über 9/"), 0);
  EXPECT_FALSE(fs::exists(menu_icon_path()));
}

// An install in the window gets an entry that starts the copy; the Main Menu removes the
// copy, keeping the user's files and what a link of theirs leads to.
TEST_F(CopyRemovalTest, InstallInTheWindowThenRemoveTheCopyFromTheMainMenu) {
  // A Windows name cannot hold '"'.
  const std::string desk = p.root / (posix_system() ? "desk \"top\" 100% $HOME/" : "desk 'top' 100% $HOME/");
  fs::create_directories(desk);
  const std::string copy = desk + "Zephiro 9 DVD/";
  RunResult r = p.run({"--lang=en", "--dvd_drives=" + disc(1),
                       script("check_fit\n"
                              "wait_text I will guide you through the process of installing Zephiro 9 DVD.\n"
                              "click_text CONTINUE\n"
                              "wait_text I will create the folder 'Zephiro 9 DVD'\n"
                              "click_text CONTINUE\n"
                              "click_text I agree!\n"
                              "click_text CONTINUE\n"
                              "wait_text Please pick the scenery you would like to install now.\n"
                              "click_text CONTINUE\n"
                              "wait_text Please insert DVD number 2 and click continue.\n"
                              "set_drives " + disc(2) + "\n"
                              "click_text CONTINUE\n"
                              "wait_text Installation was successful.\n"
                              "click_text QUIT\n")},
                      desk);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  ASSERT_EQ(registry(), copy + "\n");

  // The entry validates, names the copy, and started as a desktop does runs its Zephiro.
  const std::string entry = entry_of(copy);
  ASSERT_TRUE(fs::exists(entry)) << entry;
  if (posix_system()) {  // the freedesktop.org validator and a desktop's launcher
    EXPECT_TRUE(validates(entry));
    std::map<std::string, std::string> keys = read_entry(entry);
    EXPECT_EQ(keys["Name"], "Zephiro 9 DVD");
    EXPECT_EQ(keys["Icon"], "zephiro9");
    EXPECT_TRUE(fs::is_regular_file(p.root / "data/icons/hicolor/256x256/apps/zephiro9.png"));
    EXPECT_EQ(launch_entry(keys), 0);
    EXPECT_TRUE(wait_for([&] { return !read_file(copy + "Zephiro started.txt").empty(); }, 10));
    fs::remove(copy + "Zephiro started.txt");
  }

  const std::vector<std::string> users = add_users_files(copy);
  // Every other file is the product's; the link counts as one more to remove.
  const size_t removable = files_below(copy).size() - 1;
  r = p.run({"--lang=en", "--dvd_drives=" + disc(1),
             script("check_fit\n"
                    "wait_text " + std::string(k_menu) + "\n"
                    "click_text Remove A Copy Of Zephiro\n"
                    "wait_text Please pick which copy of Zephiro 9 you would like to remove.\n"
                    "click_text CONTINUE\n"
                    "wait_text Confirm Removal\n"
                    "wait_text I will remove up to " + std::to_string(removable) + " files from " + copy + ", freeing up to\n"
                    "wait_text Files you made or changed in this copy are kept.\n"
                    "click_text CONTINUE\n"
                    "wait_text Finished Removing Zephiro.\n"
                    "wait_text I have removed " + copy + ".\n"
                    "wait_text I have kept these files, which you made or changed:\n"
                    "wait_text " + copy + users[0] + "\n"
                    "wait_text " + copy + users[1] + "\n"
                    "no_text Run Zephiro Now\n"
                    "click_text GO BACK\n"
                    "wait_text I will guide you through the process of installing Zephiro 9 DVD.\n"
                    "click_text QUIT\n")},
            desk);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(files_below(copy), users);
  EXPECT_EQ(read_file(copy + users[0]), "my own airfoil");
  EXPECT_EQ(read_file(p.root / "outside/keep me.txt"), "outside");
  EXPECT_NE(r.err.find("Kept: " + copy + users[1]), std::string::npos) << r.err;
  EXPECT_EQ(registry(), "");
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_FALSE(fs::exists(p.root / "data/icons/hicolor/256x256/apps/zephiro9.png"));
}

// The same without a window; a folder that is no copy is refused; --no_menu_entry.
TEST_F(CopyRemovalTest, UninstallOnTheCommandLine) {
  const std::string copy = p.root / "Zephiro 9/";
  ASSERT_NO_FATAL_FAILURE(install_copy(copy));
  const std::string entry = entry_of(copy);
  ASSERT_TRUE(fs::exists(entry));
  if (posix_system()) {
    EXPECT_TRUE(validates(entry));  // the freedesktop.org validator
  }
  const std::vector<std::string> users = add_users_files(copy);

  // A folder with three of a copy's four folders and a file of the product's name.
  const std::string not_copy = p.root / "Not a copy/";
  for (const char* sub : {"Airfoils", "Instructions", "Output"}) fs::create_directories(not_copy + sub);
  const std::string program = platform::simulator_file_name();
  fs::copy_file(copy + program, not_copy + program);
  RunResult r = p.run({"--dvd_drives=" + all_discs(), "--uninstall=" + not_copy});
  EXPECT_EQ(r.exit_code, cli_not_started);
  EXPECT_NE(r.err.find("is not an installed copy"), std::string::npos) << r.err;
  EXPECT_EQ(files_below(not_copy), std::vector<std::string>{program});

  r = p.run({"--dvd_drives=" + all_discs(), "--uninstall=" + copy});
  EXPECT_EQ(r.exit_code, cli_ok) << r.err;
  for (const std::string& u : users) EXPECT_NE(r.err.find("Kept: " + copy + u), std::string::npos) << r.err;
  EXPECT_EQ(files_below(copy), users);
  EXPECT_EQ(read_file(p.root / "outside/keep me.txt"), "outside");
  EXPECT_EQ(registry(), "");
  EXPECT_FALSE(fs::exists(entry));
  // What is left is no copy any more.
  EXPECT_EQ(p.run({"--dvd_drives=" + all_discs(), "--uninstall=" + copy}).exit_code, cli_not_started);
  EXPECT_EQ(files_below(copy), users);

  const std::string quiet = p.root / "For others/";
  ASSERT_EQ(p.run({"--dvd_drives=" + all_discs(), "--install=" + quiet, "--scenery=none", "--no_menu_entry"}).exit_code,
            cli_ok);
  EXPECT_FALSE(fs::exists(entry_of(quiet)));
  // A repair gives the copy the entry it lacks.
  ASSERT_EQ(p.run({"--dvd_drives=" + all_discs(), "--repair=" + quiet}).exit_code, cli_ok);
  EXPECT_TRUE(fs::exists(entry_of(quiet)));
}

// A removal killed at some moment leaves a copy that the same command finishes; until then
// the copy keeps its registry line and menu entry, and other work on it is refused.
TEST_F(CopyRemovalTest, AKilledRemovalIsFinishedByTheSameCommand) {
  TempDir set;
  ASSERT_TRUE(make_tiny_disc_set(set.path(), 3, "--size=4M"));
  const std::string drives = "--dvd_drives=" + set / "disc1" + list_separator() + set / "disc2" + list_separator() + set / "disc3";
  const std::string copy = p.root / "Zephiro 9/";
  const std::string record = copy + ".zephiro-unfinished-work.txt";
  const std::vector<std::function<bool()>> moments = {
      [&] { return fs::exists(record); },
      [&] { return !fs::exists(copy + platform::simulator_file_name()); },
      [&] { return !fs::exists(copy + "Airfoils/Clark Y.afl"); },
  };
  int interrupted = 0;
  for (size_t i = 0; i < moments.size(); ++i) {
    SCOPED_TRACE("kill moment " + std::to_string(i));
    fs::remove_all(copy);
    ASSERT_EQ(p.run({drives, "--install=" + copy}).exit_code, cli_ok);
    const size_t files = files_below(copy).size();
    int pid = p.start({drives, "--uninstall=" + copy});
    wait_for(moments[i], 20);
    p.kill_at_once(pid);
    p.finish(pid);
    if (fs::exists(record)) {
      ++interrupted;
      EXPECT_LE(files_below(copy).size(), files + 1);  // the record is one more
      EXPECT_EQ(registry(), copy + "\n");
      EXPECT_TRUE(fs::exists(entry_of(copy)));
      RunResult refused = p.run({drives, "--repair=" + copy});
      EXPECT_EQ(refused.exit_code, cli_not_started);
      EXPECT_NE(refused.err.find("--uninstall=DIR finishes it"), std::string::npos) << refused.err;
    }
    // A kill after the last file but before the copy's folder went leaves it empty, and
    // no longer a copy.
    const bool left = fs::exists(copy) && !fs::is_empty(copy);
    RunResult r = p.run({drives, "--uninstall=" + copy});
    if (left) {
      EXPECT_EQ(r.exit_code, cli_ok) << r.err;
    }
    EXPECT_TRUE(!fs::exists(copy) || fs::is_empty(copy));
    EXPECT_EQ(registry(), "");
    EXPECT_FALSE(fs::exists(entry_of(copy)));
  }
  EXPECT_GE(interrupted, 1);
}
