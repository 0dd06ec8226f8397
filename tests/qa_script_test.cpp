// The scripted user drives the main loop in-process: the wizard screen, the widgets, the
// blocking prompts and the folder picker, one command at a time across frames.

#include "app/qa_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/install_plan.h"
#include "engine/dvd_discovery.h"
#include "io/file_ops.h"
#include "platform/child_process.h"
#include "tests/scripted_ui_fixture.h"
#include "tests/test_util.h"
#include "ui/file_dialog.h"
#include "ui/text_field.h"
#include "ui/widgets.h"

namespace {

struct FormState {
  std::string field;
  int box = 0;
  std::vector<std::pair<float, float>> held;  // mouse while the button is held
  int went_down = 0, went_up = 0;
  int prompt_answer = -1;
  int conflict_answer = -1;
  std::vector<std::pair<bool, std::string>> picks;  // the picker's result and path
  int second_page_calls = 0;
};
FormState g_form;

int second_page(int, PageDescription& page);

const char k_long_text[] =
    "This body is far wider than the right panel of the wizard screen, so the frame wraps it over "
    "several lines; a scripted wait must still find a phrase that runs across the line ends.";

int form_page(int, PageDescription& page) {
  page.title = "Form page";
  page.text = k_long_text;
  page.next_page = second_page;
  const UiInput& in = ui().in;
  if (in.button_held) g_form.held.push_back({in.mouse_x, in.mouse_y});
  g_form.went_down += in.button_went_down;
  g_form.went_up += in.button_went_up;
  text_field(250, 330, g_form.field, 0, "Name field", 300, true);
  check_box(250, 300, g_form.box, "|Tick me", false);
  if (choice_button(500, 250, 200, false, 1, "Ask a question", "-"))
    g_form.prompt_answer = modal_prompt("Shall we go on?", "Yes", "go on.", "No", "stay here.");
  if (choice_button(500, 225, 200, false, 1, "Ask about a file", "-"))
    g_form.conflict_answer = ask_conflict_prompt("/copy/Resources/changed file.txt", false);
  std::string path = "unchanged";
  const int answer = poll_file_dialog(&g_form.picks, path);
  if (answer == dialog_confirmed || answer == dialog_cancelled)
    g_form.picks.push_back({answer == dialog_confirmed, path});
  if (choice_button(500, 200, 200, false, 1, "Pick a folder", "-") &&
      !open_file_dialog(dialog_pick_folder, "Where?", "", "", path, &g_form.picks))
    g_form.picks.push_back({false, path});
  return 0;
}

int second_page(int, PageDescription& page) {
  ++g_form.second_page_calls;
  page.title = "Second page";
  page.back_page = form_page;
  page.next_page = quit_page;
  return 0;
}

class QaScript : public ScriptedUi {
 protected:
  void SetUp() override {
    ScriptedUi::SetUp();
    g_form = FormState();
    framework().current_page = form_page;
    install_window_prompts();  // as start-up does
  }
  void TearDown() override {
    set_conflict_prompt(nullptr);
    set_prompt_loop(nullptr, nullptr);
    clear_dvd_drives_override();
    ScriptedUi::TearDown();
  }
  // Loads and runs the script to its end; returns the passes it took.
  int run_script(const std::string& text) {
    qa_script_load_text(text);
    return run();
  }
};

}  // namespace

TEST_F(QaScript, ClicksTypesAndMovesBetweenPages) {
  run_script(
      "# the form first\n"
      "\n"
      "wait_text Form page\n"
      "wait_text a phrase that runs across the line ends\n"
      "no_text Second page\n"
      "click_text Tick me\n"
      "type abcd\n"
      "key LEFT\n"
      "key BACKSPACE\n"
      "key HOME\n"
      "key SHIFT+z\n"
      "click_text CONTINUE\n"
      "wait_text Second page\n"
      "no_text Form page\n"
      "click_text GO BACK\n"
      "wait_text Form page\n");
  EXPECT_TRUE(failures.empty()) << failures[0];
  EXPECT_TRUE(qa_script_finished());
  EXPECT_EQ(app().quit_flag, 1);  // the end of the script quits
  EXPECT_EQ(g_form.field, "Zabd");
  EXPECT_EQ(g_form.box, 1);
  EXPECT_GT(g_form.second_page_calls, 0);
  EXPECT_EQ(framework().current_page, form_page);
}

TEST_F(QaScript, TheRightQuitButtonOfAFinalPageQuits) {
  framework().current_page = second_page;
  run_script("wait_text Second page\nclick_text QUIT\nframes 100\nwait_text never drawn\n");
  EXPECT_EQ(app().quit_flag, 1);
  EXPECT_TRUE(failures.empty());
  EXPECT_FALSE(qa_script_finished());  // the program ended before the script did
}

TEST_F(QaScript, DragPressesMovesOverSeveralFramesAndReleases) {
  run_script("wait_text Form page\ndrag 100 100 300 200\n");
  ASSERT_TRUE(failures.empty());
  EXPECT_EQ(g_form.went_down, 1);
  EXPECT_EQ(g_form.went_up, 1);
  ASSERT_GE(g_form.held.size(), 4u);
  EXPECT_EQ(g_form.held.front(), std::make_pair(100.0f, 100.0f));
  for (size_t i = 1; i < g_form.held.size(); ++i) {
    EXPECT_GE(g_form.held[i].first, g_form.held[i - 1].first);
    EXPECT_GE(g_form.held[i].second, g_form.held[i - 1].second);
  }
  // The held mouse reaches the end point before the release.
  EXPECT_EQ(g_form.held.back(), std::make_pair(300.0f, 200.0f));
  EXPECT_EQ(ui().in.mouse_x, 300.0f);
  EXPECT_EQ(ui().in.mouse_y, 200.0f);
}

TEST_F(QaScript, AnswersTheModalPromptAndTheConflictPrompt) {
  run_script(
      "wait_text Form page\n"
      "click_text Ask a question\n"
      "wait_text Shall we go on?\n"
      "no_text Form page\n"
      "click_text No\n"
      "wait_text Form page\n"
      "click_text Ask about a file\n"
      "wait_text changed file.txt\n"
      "wait_text but it appears you have modified this file\n"
      "click_text KEEP EVERY OLD FILE\n"
      "wait_text Form page\n");
  EXPECT_TRUE(failures.empty()) << failures[0];
  EXPECT_EQ(g_form.prompt_answer, 0);
  EXPECT_EQ(g_form.conflict_answer, 5);
  EXPECT_EQ(app().ui_mode, ui_mode_wizard);
}

TEST_F(QaScript, TheFolderPickerAnswersOnceAsScripted) {
  file_dialog_state().search_path = "/no/such/folder";
  std::string script =
      "pick_folder /data/it's here\n"
      "wait_text Form page\n"
      "click_text Pick a folder\n"
      "frames 2\n"
      "pick_cancel\n"
      "click_text Pick a folder\n"
      "frames 2\n";
  // Unscripted, the picker is the system's again: here no dialog program is to be found,
  // and the user is told so. Windows' own dialog would wait for a user to click it.
  if (posix_system())
    script +=
        "click_text Pick a folder\n"
        "wait_text Neither zenity nor kdialog is installed.\n"
        "click_text Understood\n"
        "wait_text Form page\n";
  run_script(script);
  EXPECT_TRUE(failures.empty()) << failures[0];
  ASSERT_EQ(g_form.picks.size(), posix_system() ? 3u : 2u);
  EXPECT_EQ(g_form.picks[0], std::make_pair(true, std::string("/data/it's here/")));
  EXPECT_EQ(g_form.picks[1], std::make_pair(false, std::string("unchanged")));
  if (posix_system()) {
    EXPECT_EQ(g_form.picks[2], std::make_pair(false, std::string("unchanged")));
  }
  EXPECT_FALSE(file_dialog_state().scripted);
  file_dialog_state().search_path.clear();
}

TEST_F(QaScript, SetDrivesFramesAndTimeout) {
  const int passes = run_script("set_drives /media/one" + list_separator() + "/media/two\nframes 10\ntimeout 0.5\n");
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(dvd_drive_roots(), (std::vector<std::string>{"/media/one/", "/media/two/"}));
  EXPECT_GE(passes, 11);
  EXPECT_LE(passes, 13);
}

TEST_F(QaScript, FailuresNameTheLineAndTheReason) {
  struct Case {
    const char* script;
    const char* message;
  } cases[] = {
      {"# comment\n\nfrobnicate now\n", "QA script failed at line 3: unknown command \"frobnicate\""},
      {"click 10\n", "QA script failed at line 1: click needs X Y"},
      {"drag 1 2 3 x\n", "QA script failed at line 1: drag needs X1 Y1 X2 Y2"},
      {"wait_text Form page\nno_text Form page\n", "QA script failed at line 2: no_text \"Form page\": the frame shows it"},
      {"click_text Nowhere\n", "QA script failed at line 1: click_text \"Nowhere\": no widget of the frame has that label"},
      {"timeout 0.2\nwait_text Never drawn\n", "QA script failed at line 2: wait_text \"Never drawn\": not drawn within 0.2 seconds"},
      {"key CTRL+F13\n", "QA script failed at line 1: key: unknown key \"CTRL+F13\""},
      {"frames many\n", "QA script failed at line 1: frames needs a count"},
      {"timeout 0\n", "QA script failed at line 1: timeout needs a number of seconds"},
  };
  for (const Case& c : cases) {
    failures.clear();
    app().quit_flag = 0;
    run_script(c.script);
    ASSERT_EQ(failures.size(), 1u) << c.script;
    EXPECT_EQ(failures[0], c.message);
    EXPECT_FALSE(qa_script_active());
  }
}

TEST_F(QaScript, AnUnreadableScriptFailsAtLineZero) {
  qa_script_load_file("/no/such/script.txt");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0], "QA script failed at line 0: cannot read the script /no/such/script.txt");
  EXPECT_FALSE(qa_script_active());
}

TEST_F(QaScript, KeysArriveAsTheWindowWouldGiveThem) {
  // What one pass of each key leaves in the input state.
  struct Case {
    const char* key;
    int code;
    int mods;
    const char* text;
    bool return_pressed, escape_pressed;
  } cases[] = {
      {"RETURN", key_return, 0, "", true, false},   {"ESCAPE", key_escape, 0, "", false, true},
      {"=", key_text, 0, "=", true, false},         {"CTRL+V", 'v', mod_ctrl, "", false, false},
      {"SHIFT+TAB", key_tab, mod_shift, "", false, false}, {"q", key_text, 0, "q", false, false},
      {"DELETE", key_delete, 0, "", false, false},
  };
  for (const Case& c : cases) {
    begin_input_frame();
    qa_script_load_text(std::string("key ") + c.key + "\n");
    qa_script_step();
    const UiInput& in = ui().in;
    ASSERT_EQ(in.keys.size(), 1u) << c.key;
    EXPECT_EQ(in.keys[0].key, c.code) << c.key;
    EXPECT_EQ(in.keys[0].mods, c.mods) << c.key;
    EXPECT_EQ(in.keys[0].text, c.text) << c.key;
    EXPECT_EQ(in.return_pressed, c.return_pressed) << c.key;
    EXPECT_EQ(in.escape_pressed, c.escape_pressed) << c.key;
    EXPECT_TRUE(in.key_went_down);
  }
}

TEST_F(QaScript, TheNotesOfTheLastCompletedFrameAreKept) {
  qa_script_load_text("frames 50\n");
  main_loop_iteration();
  main_loop_iteration();
  EXPECT_TRUE(frame_has("Form page"));
  bool quit_button = false;
  for (const WidgetNote& w : qa_frame_widgets()) quit_button |= w.kind == "bottom_button" && w.label == "0";
  EXPECT_TRUE(quit_button);
  // The back end underneath still gets every note.
  EXPECT_FALSE(rec.lines_of("Form page").empty());
  qa_script_release_notes();
  EXPECT_EQ(&draw_backend(), &rec);
}
