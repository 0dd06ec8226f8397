// The whole work of the installer with no mouse at all, in the real program's window: a
// 3-disc install with a typed name and tiles chosen with the arrows, a tile added, a
// repair that meets the Conflict Prompt and keeps the user's file, and the copy removed;
// in English and in Russian, with the scripted user's keys (the window's own key events),
// and once with real X key events sent to the window, and once with a game controller.
// Each copy's tree is compared with the same flow done with the mouse. Then Enter on
// every page as it appears: it never quits, goes back or cancels.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "tests/program_window_fixture.h"
#include "ui/localization.h"
#include "ui/widgets.h"

namespace fs = std::filesystem;

namespace {

enum class Mode { keys, mouse, x11, pad };

// One step of a flow: what to wait for (and mode-independent lines such as set_drives),
// then what the user does, by keys, by mouse and by game controller.
struct Step {
  std::string waits;
  std::string keys;
  std::string mouse;
  std::string pad;
};

// A stage of the work: what the test does to the copy before it, and its steps. Each
// stage is one run of the program.
struct Stage {
  std::string name;
  std::function<void(const std::string& copy)> before;
  std::vector<Step> steps;
};

// Where the tiny set's tiles lie (column, row), and the centres of their squares.
struct Tile {
  int column, row;
  std::string click() const {
    return "click " + std::to_string(248 + 14 * column + 7) + " " + std::to_string(150 + 14 * row + 7) + "\n";
  }
};
const Tile k_57_155 = {33, 14}, k_44_163 = {34, 13}, k_43_073 = {25, 13}, k_48_036 = {14, 4};

std::string repeat(const std::string& line, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += line;
  return out;
}

// Every file and folder below `folder`, with each file's size and bytes: what the copy
// holds, the same wherever it lies.
std::string tree_of(const std::string& folder) {
  std::map<std::string, std::string> entries;
  if (!fs::exists(folder)) return "(no folder)";
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    const std::string rel = fs::relative(e.path(), folder).generic_string();
    if (e.is_directory()) {
      entries[rel + "/"] = "";
    } else {
      const std::string bytes = read_file(e.path().string());
      entries[rel] = std::to_string(bytes.size()) + " " + std::to_string(std::hash<std::string>()(bytes));
    }
  }
  std::ostringstream out;
  for (const auto& [name, what] : entries) out << name << " " << what << "\n";
  return out.str();
}

// The key names of the scripted user as xdotool names them.
std::string xdotool_key(const std::string& name) {
  static const std::map<std::string, std::string> names = {
      {"RETURN", "Return"}, {"ESCAPE", "Escape"}, {"TAB", "Tab"},   {"SHIFT+TAB", "shift+Tab"},
      {"SPACE", "space"},   {"UP", "Up"},         {"DOWN", "Down"}, {"LEFT", "Left"},
      {"RIGHT", "Right"},   {"HOME", "Home"},     {"END", "End"},   {"CTRL+a", "ctrl+a"}};
  const auto it = names.find(name);
  return it == names.end() ? name : it->second;
}

class KeyboardFlows : public ThreeDiscWindowTest {
 protected:
  void TearDown() override {
    reset_localization();
    app().language = language_english;
  }
  // The texts the scripts wait for, in the language of the run.
  static std::string tr(const std::string& english, const std::string& a1 = "", const std::string& a2 = "") {
    return substitute_parameters(localize(english), a1, a2);
  }
  static std::string wait(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return "wait_text " + line + "\n";
  }
  static std::string insert_disc(int n) {
    return wait(tr("Please insert DVD number %1:disk number% and click continue.", std::to_string(n)));
  }
  static std::string menu() {
    return wait(tr("You already have Zephiro 9 installed on this computer.  What would you like to do?"));
  }
  static std::string click(const std::string& english) { return "click_text " + tr(english) + "\n"; }
  static const char* name() { return "Typed Copy"; }

  // The four stages, for the run whose desktop is `desktop`.
  std::vector<Stage> stages(const std::string& desktop) {
    const std::string dvd = "Zephiro 9 DVD";
    const std::string copy = desktop + name() + "/";
    std::vector<Stage> out;

    Stage install{"install", nullptr, {}};
    install.steps = {
        {wait(tr("Welcome to the Zephiro 9 Installer.  I will guide you through the process of installing "
                 "%1:install name%.", dvd)),
         "key RETURN\n", "click_text CONTINUE\n", "pad A\n"},
        // The name field has the focus as the page appears: the name is typed at once.
        {wait(tr("I will create the folder '%1:install name%' inside the folder '%2:parent folder%'.", dvd, desktop)),
         "key CTRL+a\ntype " + std::string(name()) + "\n",
         "click_text " + tr("Install Name:") + "\nkey CTRL+a\ntype " + name() + "\n", ""},
        {wait(tr("I will create the folder '%1:install name%' inside the folder '%2:parent folder%'.", name(),
                 desktop)),
         "key RETURN\n", "click_text CONTINUE\n", "pad A\n"},
        // Space ticks the licence box, which has the focus; Enter goes on from it.
        {wait(tr("End User License Agreement")), "key SPACE\nkey RETURN\n",
         "click_text " + split_widget_label(tr("|-I agree!")).right.substr(1) + "\nclick_text CONTINUE\n",
         "pad A\npad RB\npad RB\npad LB\npad RB\npad RB\npad A\n"},
        // The map's cursor starts on the first tile with scenery in reading order.
        {wait(tr("Please pick the scenery you would like to install now.  You can use this installer to add more "
                 "scenery or remove scenery later.  If you fly into an area with no scenery installed, you will see "
                 "only ocean.\n\nClick on the world map to select regions to install.")),
         "key SPACE\nkey DOWN\nkey RIGHT\nkey SPACE\n" + repeat("key LEFT\n", 9) + "key SPACE\nkey RETURN\n",
         k_57_155.click() + k_44_163.click() + k_43_073.click() + "click_text CONTINUE\n",
         "pad A\npad DOWN\npad STICK_RIGHT\npad A\n" + repeat("pad LEFT\n", 9) + "pad A\npad START\n"},
        // Escape on a disc request asks whether to cancel; the question's own focus is on
        // going on.
        {insert_disc(2), "key ESCAPE\n", "click_text GO BACK\n", "pad B\n"},
        {wait(tr("Are you sure you want to cancel the installation?  This will delete the partially installed copy "
                 "of Zephiro 9.")),
         "key RETURN\n", click("Continue"), "pad A\n"},
        {insert_disc(2) + "set_drives " + disc(2) + "\n", "key RETURN\n", "click_text CONTINUE\n", "pad A\n"},
        {insert_disc(3) + "set_drives " + disc(3) + "\n", "key RETURN\n", "click_text CONTINUE\n", "pad START\n"},
        {wait(tr("Installation was successful.")), "key ESCAPE\n", "click_text GO BACK\n", "pad B\n"},
        {menu(), "key ESCAPE\n", "click_text QUIT\n", "pad B\n"},
    };
    out.push_back(install);

    Stage scenery{"scenery", nullptr, {}};
    scenery.steps = {
        {menu(), "key DOWN\nkey RETURN\n", click("Add Or Remove Scenery"), ""},
        {wait(tr("Please pick which copy of Zephiro 9 you would like to add scenery to.")), "key RETURN\n",
         "click_text CONTINUE\n", ""},
        {wait(tr("Click on the world map to select what scenery you would like to install.  Scenery that you "
                 "deselect will be removed; scenery that you select will be installed.  If you fly into an area with "
                 "no scenery installed, you will see only ocean.")),
         "key END\nkey SPACE\nkey RETURN\n", k_48_036.click() + "click_text CONTINUE\n", ""},
        {insert_disc(3) + "set_drives " + disc(3) + "\n", "key RETURN\n", "click_text CONTINUE\n", ""},
        {wait(tr("I have successfully installed more scenery to match your choices on the map.")), "key ESCAPE\n",
         "click_text GO BACK\n", ""},
        {menu(), "key ESCAPE\n", "click_text QUIT\n", ""},
    };
    out.push_back(scenery);

    // The user changed a file, and another went missing: the repair asks about the first
    // and keeps it, and installs the second from the second disc.
    Stage repair{"repair",
                 [](const std::string& c) {
                   write_file(c + "Airfoils/Clark Y.afl", "my own airfoil");
                   fs::remove(c + "Resources/settings.txt");
                 },
                 {}};
    repair.steps = {
        {menu(), "key DOWN\nkey DOWN\nkey RETURN\n", click("Repair Zephiro"), ""},
        {wait(tr("Please pick which copy of Zephiro 9 you would like to repair.")), "key RETURN\n",
         "click_text CONTINUE\n", ""},
        {wait(substitute_parameters(
             localize_count(2, "I need to install approximately %1:count% file to repair %2:path%.",
                            "I need to install approximately %1:count% files to repair %2:path%."),
             "2", copy)),
         "key RETURN\n", "click_text CONTINUE\n", ""},
        {wait(tr("I am about to install:")) + wait(tr("but it appears you have modified this file. What to do?")),
         "key RETURN\n", click("KEEP THE OLD FILE"), ""},
        {wait(tr("Repairing Zephiro - Please Change DVDs")) + insert_disc(2) + "set_drives " + disc(2) + "\n",
         "key RETURN\n", "click_text CONTINUE\n", ""},
        {wait(tr("I have finished repairing %1:install path% - click Go Back to return to the main menu.", copy)),
         "key ESCAPE\n", "click_text GO BACK\n", ""},
        {menu(), "key ESCAPE\n", "click_text QUIT\n", ""},
    };
    out.push_back(repair);

    Stage removal{"removal", nullptr, {}};
    removal.steps = {
        {menu(), repeat("key DOWN\n", 4) + "key RETURN\n", click("Remove A Copy Of Zephiro"), ""},
        {wait(tr("Please pick which copy of Zephiro 9 you would like to remove.")), "key RETURN\n",
         "click_text CONTINUE\n", ""},
        {wait(tr("\n\nFiles you made or changed in this copy are kept.  Click continue to remove it.").substr(2)),
         "key RETURN\n", "click_text CONTINUE\n", ""},
        {wait(tr("I have removed %1:install path%.", copy)), "key ESCAPE\n", "click_text GO BACK\n", ""},
        {wait(tr("Welcome to the Zephiro 9 Installer.  I will guide you through the process of installing "
                 "%1:install name%.", dvd)),
         "key ESCAPE\n", "click_text QUIT\n", ""},
    };
    out.push_back(removal);
    return out;
  }

  static std::string script_of(const Stage& stage, Mode mode) {
    std::string text = "check_fit\n";
    for (size_t i = 0; i < stage.steps.size(); ++i) {
      const Step& s = stage.steps[i];
      text += s.waits;
      switch (mode) {
        case Mode::keys: text += s.keys; break;
        case Mode::mouse: text += s.mouse; break;
        case Mode::pad: text += s.pad.empty() ? s.keys : s.pad; break;
        case Mode::x11: text += "log x11 step " + std::to_string(i) + "\n"; break;
      }
    }
    // The last step quits; should it not, the script waits for what never comes.
    return text + "wait_text the program has quit before this\n";
  }

  // Runs a stage in `run` (the folders of one user) with the scripted user, or with the
  // keys sent as real X events by xdotool while the script only watches.
  RunResult run_stage(ProgramRun& run, const Stage& stage, Mode mode, const std::string& lang) {
    if (stage.before) stage.before(run.root / "desktop/" + name() + "/");
    write_file(run.root / "script.txt", script_of(stage, mode));
    const std::vector<std::string> args = {"--lang=" + lang, "--dvd_drives=" + disc(1),
                                           "--qa_script=" + run.root / "script.txt"};
    if (mode != Mode::x11) return run.run(args);
    const int pid = run.start(args);
    const std::string log = run.root / "desktop/Zephiro Installer Log.txt";
    for (size_t i = 0; i < stage.steps.size(); ++i) {
      const std::string mark = "x11 step " + std::to_string(i) + "\n";
      if (!file_reaches(log, mark)) {
        ADD_FAILURE() << "the script never reached " << mark << read_file(log);
        break;
      }
      // The window has the keyboard's focus, as a desktop gives it to the window clicked
      // last; the keys then go through the X server to it.
      std::string command = "xdotool search --sync --name '^Nimbrel$' windowfocus --sync";
      std::istringstream lines(stage.steps[i].keys);
      for (std::string line; std::getline(lines, line);) {
        if (line.rfind("key ", 0) == 0)
          command += " key --delay 40 " + xdotool_key(line.substr(4));
        else if (line.rfind("type ", 0) == 0)
          command += " type --delay 40 '" + line.substr(5) + "'";
      }
      EXPECT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
    }
    return run.finish(pid);
  }

  // Each stage done by `mode` and by the mouse, each in its own folders; after each the
  // two copies hold the same.
  void compare_with_the_mouse(Mode mode, int language, size_t stage_count = 4) {
    set_language(language);
    const std::string lang = language_entry(language)->iso_code;
    ProgramRun by_mouse;
    ProgramRun& by_keys = p;
    std::vector<Stage> key_stages = stages(by_keys.root / "desktop/"), mouse_stages = stages(by_mouse.root / "desktop/");
    for (size_t i = 0; i < stage_count; ++i) {
      SCOPED_TRACE(key_stages[i].name);
      RunResult k = run_stage(by_keys, key_stages[i], mode, lang);
      ASSERT_EQ(k.exit_code, 0) << k.err << by_keys.log();
      RunResult m = run_stage(by_mouse, mouse_stages[i], Mode::mouse, lang);
      ASSERT_EQ(m.exit_code, 0) << m.err << by_mouse.log();
      const std::string keys_tree = tree_of(by_keys.root / "desktop/" + name() + "/");
      EXPECT_EQ(keys_tree, tree_of(by_mouse.root / "desktop/" + name() + "/"));
      if (i == 0) {
        // What the keys chose: three tiles, on the second and third discs.
        for (const char* tile : {"+50+150/+57+155.dsf", "+40+160/+44+163.dsf", "+40+070/+43+073.dsf"})
          EXPECT_NE(keys_tree.find(std::string("Global Scenery/-global terrain-/") + tile + " "), std::string::npos)
              << tile << "\n" << keys_tree;
        EXPECT_EQ(keys_tree.find("+27+076.dsf"), std::string::npos);
      }
      if (i == 2) {
        EXPECT_EQ(read_file(by_keys.root / "desktop/" + name() + "/Airfoils/Clark Y.afl"), "my own airfoil");
      }
      if (i == 3) {
        EXPECT_EQ(keys_tree.find("Resources/settings.txt"), std::string::npos) << keys_tree;
      }
    }
  }
};

}  // namespace

TEST_F(KeyboardFlows, EveryWizardByKeysInEnglishMakesWhatTheMouseMakes) {
  compare_with_the_mouse(Mode::keys, language_english);
}

TEST_F(KeyboardFlows, EveryWizardByKeysInRussianMakesWhatTheMouseMakes) {
  compare_with_the_mouse(Mode::keys, language_russian);
}

TEST_F(KeyboardFlows, TheInstallByRealXKeyEventsMakesWhatTheMouseMakes) {
  if (!posix_system()) GTEST_SKIP() << "xdotool sends X events; Windows' program gets its keys from Windows";
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is missing (setup.sh lists it)";
  compare_with_the_mouse(Mode::x11, language_english, 1);
}

TEST_F(KeyboardFlows, TheInstallByAGameControllerMakesWhatTheMouseMakes) {
  // The name field keeps the disc's name: a controller types nothing.
  set_language(language_english);
  ProgramRun by_mouse;
  Stage pad_install = stages(p.root / "desktop/")[0];
  Stage mouse_install = stages(by_mouse.root / "desktop/")[0];
  pad_install.steps.erase(pad_install.steps.begin() + 1);
  mouse_install.steps.erase(mouse_install.steps.begin() + 1);
  pad_install.steps[1].waits = wait("I will create the folder 'Zephiro 9 DVD'");
  mouse_install.steps[1].waits = pad_install.steps[1].waits;
  RunResult r = p.run({"--lang=en", "--dvd_drives=" + disc(1), script(script_of(pad_install, Mode::pad))});
  ASSERT_EQ(r.exit_code, 0) << r.err << p.log();
  write_file(by_mouse.root / "script.txt", script_of(mouse_install, Mode::mouse));
  RunResult m = by_mouse.run({"--lang=en", "--dvd_drives=" + disc(1), "--qa_script=" + by_mouse.root / "script.txt"});
  ASSERT_EQ(m.exit_code, 0) << m.err << by_mouse.log();
  const std::string pad_tree = tree_of(p.root / "desktop/Zephiro 9 DVD/");
  EXPECT_EQ(pad_tree, tree_of(by_mouse.root / "desktop/Zephiro 9 DVD/"));
  EXPECT_NE(pad_tree.find("+44+163.dsf"), std::string::npos) << pad_tree;
}

// Enter on every page as it appears (and in every prompt as it opens) presses what the
// page offers to go on with, never QUIT, GO BACK or a cancel: where it lands is checked
// each time. Pages that cannot go on stay as they are. Between the pages, the keys that
// lead on where Enter cannot (a tick, a tile, a menu choice).
TEST_F(KeyboardFlows, EnterOnEveryPageAsItAppearsNeverQuitsGoesBackOrCancels) {
  set_language(language_english);
  const std::string set = p.root / "set/";
  ASSERT_TRUE(make_tiny_disc_set(set, 3));
  auto own_disc = [&](int n) { return set + "disc" + std::to_string(n); };
  // A tile whose archive cannot be unpacked: adding it ends in the Error Prompt.
  write_file(own_disc(3) + "/Zephiro 9 DVD/Zephiro 9/Global Scenery/-global terrain-/-30+010/-23+018.dsf.7z",
             "7z\xBC\xAF\x27\x1C this is no archive");
  const std::string copy = desktop() + "Zephiro 9 DVD/";
  const std::string started = copy + "Zephiro started.txt";
  const std::string stays = "frames 8\n";  // Enter had time to act, and did nothing
  auto enter_lands_on = [](const std::string& page_text) { return "key RETURN\n" + wait(page_text); };
  auto run = [&](const std::string& drive, const std::string& text) {
    return p.run({"--lang=en", "--dvd_drives=" + drive, script("check_fit\n" + text)});
  };

  // The install wizard, from a Welcome page without a disc.
  RunResult r = run(
      p.root / "drive",
      wait("Please insert Zephiro 9 DVD number one to begin.") +
          "# Its first choice opens the disc image picker, which is cancelled\n"
          "pick_cancel\n" +
          enter_lands_on("Please pick the disc image (.iso file) of a Zephiro 9 DVD.") +
          wait("Please insert Zephiro 9 DVD number one to begin.") + "set_drives " + own_disc(1) + "\n" +
          wait("Welcome to the Zephiro 9 Installer.") + enter_lands_on("I will create the folder 'Zephiro 9 DVD'") +
          enter_lands_on("End User License Agreement") +
          "# CONTINUE waits for the tick: Enter stays\n" + stays + enter_lands_on("End User License Agreement") +
          stays + "no_text Please pick the scenery\nno_text Pick Install Destination\n"
          "key SPACE\n" + enter_lands_on("Please pick the scenery you would like to install now.") +
          enter_lands_on("Installing Zephiro - Please Change DVDs") + wait("Please insert DVD number 2") +
          "# no disc: the request again, not a cancel\n" + enter_lands_on("Please insert DVD number 2") + stays +
          "no_text Are you sure\nno_text Please pick the scenery\n"
          "key ESCAPE\n" + wait("Are you sure you want to cancel the installation?") +
          "# the question's Enter goes on with the install\n" +
          enter_lands_on("Please insert DVD number 2") + stays + "no_text Are you sure\n"
          "set_drives " + own_disc(2) + "\n" +
          enter_lands_on("Installation was successful.") +
          "# the finish page's first choice runs the copy, which ends the installer\n"
          "key RETURN\nframes 100\nwait_text never drawn: the program has ended\n");
  EXPECT_EQ(r.exit_code, 1) << r.err << p.log();
  EXPECT_TRUE(file_reaches(started, "Zephiro 9 started with 0 parameters\n"));
  RunResult v = p.run({"--dvd_drives=" + own_disc(1) + list_separator() + own_disc(2) + list_separator() + own_disc(3),
                       "--verify=" + copy});
  EXPECT_EQ(v.exit_code, 0) << v.out << v.err;
  fs::remove(started);

  // The Main Menu's first choice runs the copy too.
  r = run(own_disc(1), menu() + "key RETURN\nframes 100\nwait_text never drawn: the program has ended\n");
  EXPECT_EQ(r.exit_code, 1) << r.err << p.log();
  EXPECT_TRUE(file_reaches(started, "Zephiro 9 started with 0 parameters\n"));
  fs::remove(started);

  // The repair of a file the user changed: the Conflict Prompt's Enter keeps it. Then
  // scenery: the damaged tile added; the Error Prompt's Enter goes on; a finish page with
  // errors offers nothing to run, so Enter stays.
  write_file(copy + "Airfoils/Clark Y.afl", "my own airfoil");
  r = run(own_disc(1),
          menu() + "key DOWN\nkey DOWN\n" +
              enter_lands_on("Please pick which copy of Zephiro 9 you would like to repair.") +
              enter_lands_on("I need to install approximately 1 file to repair") +
              enter_lands_on("but it appears you have modified this file. What to do?") +
              enter_lands_on("I have finished repairing") + "key ESCAPE\n" + menu() + "key DOWN\n" +
              enter_lands_on("Please pick which copy of Zephiro 9 you would like to add scenery to.") +
              enter_lands_on("Click on the world map to select what scenery you would like to install.") +
              "# the cursor from the first tile with scenery (column 33, row 14) to the damaged one (19, 6)\n" +
              repeat("key DOWN\n", 8) + repeat("key LEFT\n", 14) + "key SPACE\n" +
              enter_lands_on("Please insert DVD number 3") + "set_drives " + own_disc(3) + "\n" +
              enter_lands_on("An error occurred during scenery installation:") +
              enter_lands_on("There were errors while installing your scenery.") + stays +
              "no_text Run Zephiro Now\nno_text What would you like to do?\n"
              "key RETURN\n" + stays + wait("There were errors while installing your scenery.") +
              "# the change that ended with errors is not finished, and the menu says so\n"
              "key ESCAPE\n" + wait("A change to Zephiro 9 in " + copy + " was not finished") + "key ESCAPE\n");
  EXPECT_EQ(r.exit_code, 0) << r.err << p.log();
  EXPECT_EQ(read_file(copy + "Airfoils/Clark Y.afl"), "my own airfoil");
  EXPECT_FALSE(fs::exists(copy + "Global Scenery/-global terrain-/-30+010/-23+018.dsf"));

  // The removal: Enter on its confirmation removes the copy (the page's CONTINUE); its
  // finish page offers nothing, so Enter stays there.
  r = run(own_disc(1), wait("What would you like to do?") + repeat("key DOWN\n", 4) +
                           enter_lands_on("Please pick which copy of Zephiro 9 you would like to remove.") +
                           enter_lands_on("Click continue to remove it.") +
                           enter_lands_on("I have removed " + copy) + "key RETURN\n" + stays +
                           wait("I have removed " + copy) + "no_text Welcome to the Zephiro 9 Installer\n"
                           "key ESCAPE\n" + wait("Welcome to the Zephiro 9 Installer.") + "key ESCAPE\n");
  EXPECT_EQ(r.exit_code, 0) << r.err << p.log();
  // The file the user changed is kept, the rest is gone.
  EXPECT_EQ(read_file(copy + "Airfoils/Clark Y.afl"), "my own airfoil");
  EXPECT_FALSE(fs::exists(copy + "Resources/settings.txt"));
}
