// The main menu of an installed copy, the Run page with the copy picker and "Find It",
// and the start of the simulator, in the real program's window.

#include "wizards/main_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>

#include "platform/host.h"
#include "tests/program_window_fixture.h"

namespace fs = std::filesystem;

namespace {

const char k_menu[] = "You already have Zephiro 9 installed on this computer.  What would you like to do?";
const char k_started[] = "Zephiro started.txt";

class MainMenuFlow : public ThreeDiscWindowTest {
 protected:
  RunResult run(const std::string& drive, const std::string& text) {
    return p.run({"--lang=en", "--dvd_drives=" + drive, script(text)});
  }
};

}  // namespace

TEST_F(MainMenuFlow, RunWithOneCopyStartsItsSimulatorAndEndsTheInstaller) {
  const std::string copy = p.root / "Zephiro 9/";
  ASSERT_NO_FATAL_FAILURE(install_copy(copy));
  RunResult r = run(disc(1), std::string("wait_text ") + k_menu + "\n"
                                 "wait_text Install A Second Copy of Zephiro\n"
                                 "click_text Run Zephiro Now\n"
                                 "frames 100\n"
                                 "wait_text never drawn: the program has ended\n");
  // The orderly shutdown ran, and the process ended with 1 while the simulator runs on.
  EXPECT_EQ(r.exit_code, 1) << r.err << p.log();
  EXPECT_EQ(r.err, "");
  EXPECT_NE(p.log().find("Clean exit from threads."), std::string::npos) << p.log();
  EXPECT_TRUE(file_reaches(copy + k_started, "Zephiro 9 started with 0 parameters\n"));
}

TEST_F(MainMenuFlow, TwoCopiesWaitForATickAndFindItRegistersACopy) {
  const std::string first = p.root / "copies/First Copy/", second = p.root / "copies/Second Copy/";
  const std::string found = p.root / "elsewhere/Found Copy/", plain = p.root / "plain/";
  ASSERT_NO_FATAL_FAILURE(install_copy(first));
  fs::create_directories(p.root / "elsewhere");
  copy_folder(first, second);
  copy_folder(first, found);
  fs::create_directories(plain + "Airfoils");  // one of the four folders is not a copy
  register_copies({first, second});
  RunResult r = run(disc(1), std::string("wait_text ") + k_menu + "\n"
                                 "click_text Run Zephiro Now\n"
                                 "wait_text Run Zephiro\n"
                                 "wait_text You have more than one copy of Zephiro 9 installed on this computer.  "
                                 "Please pick which copy of Zephiro 9 you would like to run.\n"
                                 "wait_text " + first + "\n"
                                 "wait_text " + second + "\n"
                                 "wait_text Is the copy of Zephiro 9 you're looking for missing from this list?\n"
                                 "# no copy ticked yet: CONTINUE does nothing\n"
                                 "click_text CONTINUE\n"
                                 "frames 10\n"
                                 "pick_folder " + plain + "\n"
                                 "click_text Find It\n"
                                 "frames 10\n"
                                 "no_text " + plain + "\n"
                                 "pick_folder " + found + "Resources/plugins/PluginAdmin\n"
                                 "click_text Find It\n"
                                 "wait_text " + found + "\n"
                                 "click_text Second Copy\n"
                                 "frames 3\n"
                                 "click_text CONTINUE\n"
                                 "frames 100\n"
                                 "wait_text never drawn: the program has ended\n");
  EXPECT_EQ(r.exit_code, 1) << r.err << p.log();
  EXPECT_TRUE(file_reaches(second + k_started, "Zephiro 9 started with 0 parameters\n"));
  EXPECT_FALSE(fs::exists(first + k_started));
  EXPECT_FALSE(fs::exists(found + k_started));
  // The found copy joined the registry; the plain folder was refused with an alert.
  EXPECT_EQ(read_file(p.root / "data/zephiro_install.txt"), first + "\n" + second + "\n" + found + "\n");
  // Menu entries: the installed copy's, and the found copy's (a copied folder has none).
  std::vector<std::string> entry_paths;
  for (const fs::directory_entry& e : fs::directory_iterator(p.root / "data/applications")) {
    const std::string text = read_file(e.path().string());
    const size_t at = text.find("\nPath=");
    if (at == std::string::npos) continue;
    // The value as the entry writes it: each backslash doubled (as in Windows' "C:\\").
    std::string path = text.substr(at + 6, text.find('\n', at + 1) - at - 6);
    for (size_t b = path.find("\\\\"); b != std::string::npos; b = path.find("\\\\", b + 1)) path.erase(b, 1);
    entry_paths.push_back(path);
  }
  std::sort(entry_paths.begin(), entry_paths.end());
  EXPECT_EQ(entry_paths, (std::vector<std::string>{first, found}));
  const std::string log = p.log();
  EXPECT_NE(log.find("You selected the folder path:\n" + plain + "\n"
                     "But it does not appear to be an installed copy of Zephiro 9.\n"
                     "Please be sure to select the folder that contains the Zephiro application.\n"),
            std::string::npos)
      << log;
}

TEST_F(MainMenuFlow, TheChoicesFollowWhatTheDiscSetHolds) {
  const std::string copy = p.root / "copy/";
  for (const char* sub : {"Airfoils", "Instructions", "Output", "Resources"}) fs::create_directories(copy + sub);
  register_copies({copy});
  const std::string tile = "FILE 1 0 0 0 10 0123456789abcdef0123456789abcdef Z/Global Scenery/+40-080/+44-074.dsf\n";
  const std::string base = "FILE 1 0 0 0 10 0123456789abcdef0123456789abcdef Z/Resources/settings.txt\n";

  RunResult scenery = run(hand_made_set("World Scenery", tile), std::string("wait_text ") + k_menu + "\n"
                                                                    "wait_text Run Zephiro Now\n"
                                                                    "wait_text Add Or Remove Scenery\n"
                                                                    "no_text Install A Second Copy of Zephiro\n"
                                                                    "no_text Repair Zephiro\n"
                                                                    "click_text QUIT\n");
  EXPECT_EQ(scenery.exit_code, 0) << scenery.err << p.log();

  RunResult base_only = run(hand_made_set("Base Set", base), std::string("wait_text ") + k_menu + "\n"
                                                                 "wait_text Run Zephiro Now\n"
                                                                 "wait_text Repair Zephiro\n"
                                                                 "no_text Add Or Remove Scenery\n"
                                                                 "click_text Install A Second Copy of Zephiro\n"
                                                                 "wait_text Pick Install Destination for Base Set.\n"
                                                                 "wait_text I will create the folder 'Base Set'\n"
                                                                 "click_text GO BACK\n"
                                                                 "wait_text " + std::string(k_menu) + "\n"
                                                                 "click_text QUIT\n");
  EXPECT_EQ(base_only.exit_code, 0) << base_only.err << p.log();
  // A registered folder that has gone is left out: no copy, no menu.
  fs::remove_all(copy);
  RunResult gone = run(hand_made_set("Base Again", base),
                       "wait_text Welcome to the Zephiro 9 Installer.  I will guide you through the process of "
                       "installing Base Again.\n"
                       "no_text What would you like to do?\n"
                       "click_text QUIT\n");
  EXPECT_EQ(gone.exit_code, 0) << gone.err;
}

TEST_F(MainMenuFlow, ASimulatorThatCannotStartSaysWhyAndLeadsBackToTheMenu) {
  const std::string copy = p.root / "Zephiro 9/";
  ASSERT_NO_FATAL_FAILURE(install_copy(copy));
  const std::string program = copy + platform::simulator_file_name();
  if (posix_system()) {  // a file Windows would not run: its names have no execute permission
    fs::permissions(program, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::remove);
    RunResult r = run(disc(1), std::string("wait_text ") + k_menu + "\n"
                                   "click_text Run Zephiro Now\n"
                                   "wait_text Zephiro 9 could not be started from\n"
                                   "wait_text Permission denied\n"
                                   "# it stays, without trying again behind the user's back\n"
                                   "frames 20\n"
                                   "wait_text Permission denied\n"
                                   "click_text GO BACK\n"
                                   "wait_text " + k_menu + "\n"
                                   "click_text QUIT\n");
    EXPECT_EQ(r.exit_code, 0) << r.err << p.log();
    EXPECT_FALSE(fs::exists(copy + k_started));
  }

  // A missing program, in Russian; the system's reason is translated too.
  fs::remove(program);
  RunResult r = p.run({"--lang=ru", "--dvd_drives=" + disc(1), script("check_fit\n"
                                                            "wait_text Zephiro 9 уже установлен\n"
                                                            "click_text Запустить Zephiro\n"
                                                            "wait_text Не удалось запустить Zephiro 9 из\n"
                                                            "wait_text Нет такого файла или папки\n"
                                                            "click_text GO BACK\n"
                                                            "wait_text Что вы хотите сделать?\n"
                                                            "click_text QUIT\n")});
  EXPECT_EQ(r.exit_code, 0) << r.err << p.log();
}

// The registry holds one copy a line, so a folder whose name holds a control character is
// never put in it, from any page; and a line naming a folder that is not a copy (slipped
// in by such a name) is never offered, so no wizard fills that folder with the product.
TEST_F(MainMenuFlow, FoldersThatCannotBeRegisteredAndLinesThatAreNoCopy) {
  const std::string copy = p.root / "copies/Zephiro 9/", victim = p.root / "victim/";
  ASSERT_NO_FATAL_FAILURE(install_copy(copy));
  const std::string tabbed = p.root / "tab\tplace/", new_place = p.root / "new\tplace/";
  // Windows names cannot hold a tab: there no copy can be found under such a name, and a
  // new destination is refused by its name alone.
  if (posix_system()) {
    fs::create_directories(tabbed);
    copy_folder(copy, tabbed + "Zephiro 9");
    fs::create_directories(new_place);
  }
  fs::create_directories(victim + "Resources");
  write_file(victim + "diary.txt", "mine");
  const std::string registry = copy + "\n" + victim + "\n";
  register_copies({copy, victim});
  RunResult r = run(disc(1), std::string("wait_text ") + k_menu + "\n"
                                 "click_text Repair Zephiro\n"
                                 "wait_text Please pick which copy of Zephiro 9 you would like to repair.\n"
                                 "wait_text " + copy + "\n"
                                 "no_text " + victim + "\n"
                                 "no_text You have more than one copy\n" +
                                 (posix_system() ? "pick_folder " + tabbed + "Zephiro 9/Resources\n"
                                                   "click_text Find It\n"
                                                   "frames 10\n"
                                                   "no_text tab\tplace\n"
                                                 : "") +
                                 "click_text GO BACK\n"
                                 "wait_text " + k_menu + "\n"
                                 "click_text Install A Second Copy of Zephiro\n"
                                 "wait_text I will create the folder\n"
                                 "pick_folder " + new_place + "\n"
                                 "click_text Change Destination\n"
                                 "wait_text holds a line break, a tab or another control character.\n"
                                 "no_text Disk size:\n"
                                 "click_text CONTINUE\n"
                                 "frames 3\n"
                                 "no_text End User License Agreement\n"
                                 "click_text QUIT\n");
  EXPECT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_EQ(read_file(p.root / "data/zephiro_install.txt"), registry);
  if (posix_system()) {
    EXPECT_NE(p.log().find("You selected the folder path:\n" + p.root / "tab?place/Zephiro 9/\n"
                           "Its name holds a line break, a tab or another control character.\n"),
              std::string::npos)
        << p.log();
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(victim), fs::directory_iterator()), 2);
  EXPECT_EQ(read_file(victim + "diary.txt"), "mine");
}

// An install stopped at a disc request leaves a copy that is not complete: the next start
// says so and which choice finishes it (Run still works); once the repair has finished it,
// the menu greets an installed copy again.
TEST_F(MainMenuFlow, AnInstallStoppedAtADiscRequestIsToldAsUnfinished) {
  const std::string copy = desktop() + "Zephiro 9 DVD/";
  const std::string unfinished = "The install of Zephiro 9 in " + copy +
                                 " was not finished: Repair Zephiro finishes it.  What would you like to do?";
  RunResult r = run(disc(1), to_select_scenery() +
                                 "click_text SELECT ALL\n"
                                 "click_text CONTINUE\n"
                                 "wait_text Please insert DVD number 2 and click continue.\n"
                                 "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  r = run(all_discs(), "check_fit\n"
                       "wait_text " + unfinished + "\n"
                       "no_text You already have Zephiro 9 installed\n"
                       "wait_text Run Zephiro Now\n"
                       "click_text Repair Zephiro\n"
                       "wait_text Please pick which copy of Zephiro 9 you would like to repair.\n"
                       "click_text CONTINUE\n"
                       "wait_text Confirm Repairs\n"
                       "click_text CONTINUE\n"
                       "# the recorded scenery of the stopped install comes from the later discs\n"
                       "wait_text Please insert DVD number 2 and click continue.\n"
                       "click_text CONTINUE\n"
                       "wait_text Please insert DVD number 3 and click continue.\n"
                       "click_text CONTINUE\n"
                       "wait_text I have finished repairing " + copy + "\n"
                       "click_text GO BACK\n"
                       "wait_text " + k_menu + "\n"
                       "no_text was not finished\n"
                       "click_text QUIT\n");
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  RunResult v = verify(copy);
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
}
