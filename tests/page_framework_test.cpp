#include "ui/page_framework.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/install_plan.h"
#include "engine/manifest.h"
#include "engine/dvd_discovery.h"
#include "platform/child_process.h"
#include "tests/test_util.h"
#include "tests/ui_fixture.h"
#include "ui/localization.h"
#include "ui/png_image.h"
#include "ui/widgets.h"
#include "wizards/dvd_install.h"

namespace {

// What the test pages saw and what they do, shared with the plain page functions.
struct PageScript {
  std::vector<std::pair<char, int>> calls;  // page name and entering flag, in call order
  int result = 0;                           // what page A returns
  WizardPage back = nullptr, next = nullptr;
  std::vector<std::pair<std::string, WizardPage>> choices;
  QuitHandler quit_handler = nullptr;
  float progress = -1;
  int handler_calls = 0;
  bool handler_answer = false;
  std::function<void()> during_call;  // runs inside page A's call
};
PageScript g_script;

int page_a(int entering, PageDescription& page) {
  g_script.calls.push_back({'A', entering});
  page.title = "Page A";
  page.text = "Body of A";
  page.back_page = g_script.back;
  page.next_page = g_script.next;
  for (const auto& c : g_script.choices) page.add_choice(c.first, c.second);
  page.quit_handler = g_script.quit_handler;
  if (g_script.progress >= 0) page.set_progress(g_script.progress, "Working on it");
  if (g_script.during_call) g_script.during_call();
  return g_script.result;
}
int page_b(int entering, PageDescription& page) {
  g_script.calls.push_back({'B', entering});
  page.back_page = page_a;
  page.next_page = page_a;
  return 0;
}
int page_c(int entering, PageDescription&) {
  g_script.calls.push_back({'C', entering});
  return 0;
}
bool counting_handler() {
  ++g_script.handler_calls;
  return g_script.handler_answer;
}

// The scripted user of the blocking prompts: each pass starts a new frame with the next
// input of the list; an entry may also change the UI Mode behind the prompt's back.
struct PromptInput {
  float x = -100, y = -100;
  bool press = false;
  bool keys = false;     // Return, Escape and a typed letter
  int set_mode = -1;     // >= 0: set the UI Mode to this
  bool close = false;    // the window is closed during this pass
};
struct PromptUser {
  DrawRecorder* rec = nullptr;
  std::vector<PromptInput> inputs;
  size_t passes = 0;
  std::vector<int> modes_set = {};
};
PromptUser g_user;

void scripted_pass() {
  begin_input_frame();
  g_user.rec->clear();
  if (g_user.passes >= g_user.inputs.size()) {
    // Out of input: leave the prompt so a failing test cannot hang.
    ADD_FAILURE() << "the prompt asked for more passes than scripted";
    app().ui_mode = 0;
    return;
  }
  const PromptInput& in = g_user.inputs[g_user.passes++];
  ui().in.mouse_x = in.x;
  ui().in.mouse_y = in.y;
  ui().in.button_went_down = in.press;
  ui().in.button_held = in.press;
  if (in.keys) {
    ui().in.return_pressed = ui().in.escape_pressed = ui().in.key_went_down = true;
    KeyEvent e;
    e.key = key_text;
    e.text = "y";
    ui().in.keys.push_back(e);
    ui().in.keys.push_back(KeyEvent{key_return, 0, ""});
  }
  if (in.set_mode >= 0) app().ui_mode = in.set_mode;
  if (in.close) app().quit_flag = 1;
}
void scripted_set_mode(int mode) {
  g_user.modes_set.push_back(mode);
  app().ui_mode = mode;
}

class PageFrameworkTest : public UiFixture {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    reset_framework();
    reset_localization();
    g_script = PageScript();
    g_user = PromptUser();
    g_user.rec = &rec;
    set_prompt_loop(scripted_pass, scripted_set_mode);
    app().quit_flag = 0;
    app().ui_mode = 0;
    Image blank;
    blank.width = 1024;
    blank.height = 128;
    blank.rgba.assign(1024 * 128 * 4, 255);
    load_texture_image(slot_button_atlas, "RESOURCE:elements_English.png", blank);
  }
  void TearDown() override {
    set_conflict_prompt(nullptr);
    reset_framework();
    reset_localization();
    app().quit_flag = 0;
    app().ui_mode = -1;
    g_script = PageScript();
    UiFixture::TearDown();
  }

  void start_on(WizardPage page) { framework().current_page = page; }
  // One Installer Frame with the mouse at (x, y).
  void run_frame(float x = -100, float y = -100, bool press = false) {
    frame(x, y, press);
    installer_frame();
  }
  // Bottom button by label (0 QUIT, 1 GO BACK, 2 CONTINUE) as drawn by the last frame.
  const WidgetNote* bottom(int label, size_t nth = 0) {
    for (const WidgetNote& w : rec.widgets)
      if (w.kind == "bottom_button" && w.label == std::to_string(label) && nth-- == 0) return &w;
    return nullptr;
  }
  int bottom_count(int label) {
    int n = 0;
    while (bottom(label, n)) ++n;
    return n;
  }
  // Draws a frame without input to find the button, then clicks its centre.
  void click_bottom(int label) {
    run_frame();
    const WidgetNote* w = bottom(label);
    ASSERT_NE(w, nullptr) << "no bottom button " << label;
    run_frame((w->x0 + w->x1) / 2, (w->y0 + w->y1) / 2, true);
  }
  const TextNote* text(const std::string& s) {
    for (const TextNote& t : rec.texts)
      if (t.text == s) return &t;
    return nullptr;
  }
  const WidgetNote* choice(const std::string& label) {
    for (const WidgetNote& w : rec.widgets)
      if (w.kind == "choice_button" && w.label == label) return &w;
    return nullptr;
  }
  // Whether a label quad of the button atlas was drawn at x0..x1 with this alpha.
  bool atlas_label_drawn(float x0, float x1, float alpha) {
    for (const RecordedQuads& q : rec.drawn)
      if (q.texture == texture_name(slot_button_atlas) && q.rgba[3] == alpha && q.quads[0].x[0] == x0 &&
          q.quads[0].x[1] == x1 && q.quads[0].y[2] - q.quads[0].y[0] == 22)
        return true;
    return false;
  }
};

TEST_F(PageFrameworkTest, AdvanceWithoutNextPageStaysAndEnteringIsOnlyFirst) {
  start_on(page_a);
  g_script.result = 1;
  for (int i = 0; i < 3; ++i) run_frame();
  EXPECT_EQ(framework().current_page, page_a);
  ASSERT_EQ(g_script.calls.size(), 3u);
  EXPECT_EQ(g_script.calls[0], std::make_pair('A', 1));
  EXPECT_EQ(g_script.calls[1], std::make_pair('A', 0));
  EXPECT_EQ(g_script.calls[2], std::make_pair('A', 0));
  EXPECT_EQ(app().quit_flag, 0);

  // With a next page the advance happens in the same frame; the new page is called in the next.
  g_script.next = page_c;
  run_frame();
  EXPECT_EQ(framework().current_page, page_c);
  EXPECT_EQ(g_script.calls.size(), 4u);
  run_frame();
  EXPECT_EQ(g_script.calls.back(), std::make_pair('C', 1));
}

TEST_F(PageFrameworkTest, LaterRequestsOverrideEarlierOnes) {
  // Fourteen choices put the last at y 25, under GO BACK: a click there hits both.
  for (int i = 0; i < 14; ++i) g_script.choices.push_back({"Choice " + std::to_string(i), page_c});
  g_script.back = page_b;
  g_script.next = page_c;
  start_on(page_a);
  run_frame();
  const WidgetNote* last = choice("Choice 13");
  const WidgetNote* back = bottom(1);
  ASSERT_NE(last, nullptr);
  ASSERT_NE(back, nullptr);
  const float x = (back->x0 + back->x1) / 2, y = 25;
  ASSERT_TRUE(x >= last->x0 && x <= last->x1 && y >= back->y0 && y <= back->y1);

  run_frame(x, y, true);  // GO BACK wins over the choice
  EXPECT_TRUE(choice("Choice 13")->clicked);
  EXPECT_EQ(framework().current_page, page_b);

  start_on(page_a);
  g_script.result = 1;  // the page's advance wins over GO BACK and the choice
  run_frame(x, y, true);
  EXPECT_EQ(framework().current_page, page_c);

  start_on(page_a);
  g_script.result = 0;
  run_frame(500, 350, true);  // the first choice alone
  EXPECT_EQ(framework().current_page, page_c);
}

TEST_F(PageFrameworkTest, ButtonsMoveThePagesAndReEntryIsEnteringAgain) {
  g_script.next = page_b;
  start_on(page_a);
  click_bottom(2);  // CONTINUE
  EXPECT_EQ(framework().current_page, page_b);
  run_frame();
  EXPECT_EQ(g_script.calls.back(), std::make_pair('B', 1));
  click_bottom(1);  // GO BACK from B to A
  EXPECT_EQ(framework().current_page, page_a);
  run_frame();
  EXPECT_EQ(g_script.calls.back(), std::make_pair('A', 1));
  run_frame();
  EXPECT_EQ(g_script.calls.back(), std::make_pair('A', 0));
}

TEST_F(PageFrameworkTest, ButtonPlacesAndDisabledLook) {
  start_on(page_a);
  run_frame();
  // No next and no back page: CONTINUE and GO BACK disabled, QUIT enabled on the left.
  const WidgetNote* quit = bottom(0);
  const WidgetNote* cont = bottom(2);
  const WidgetNote* back = bottom(1);
  ASSERT_TRUE(quit && cont && back);
  EXPECT_FLOAT_EQ(quit->x0, 30);
  EXPECT_FLOAT_EQ(quit->y0, 12);
  EXPECT_TRUE(quit->enabled);
  EXPECT_FLOAT_EQ(cont->x1, 770);
  EXPECT_FALSE(cont->enabled);
  // GO BACK ends 10 units left of CONTINUE's button (label 101 wide, button 121).
  EXPECT_FLOAT_EQ(back->x1, 770 - (bottom_label_width(label_continue) + 20) - 10);
  EXPECT_FALSE(back->enabled);
  EXPECT_TRUE(atlas_label_drawn(back->x0, back->x1, 0.5f));
  EXPECT_TRUE(atlas_label_drawn(cont->x0, cont->x1, 0.5f));
  EXPECT_TRUE(atlas_label_drawn(quit->x0, quit->x1, 1.0f));

  // Disabled buttons ignore clicks.
  click_bottom(1);
  EXPECT_TRUE(bottom(1)->clicked);
  click_bottom(2);
  EXPECT_TRUE(bottom(2)->clicked);
  EXPECT_EQ(framework().current_page, page_a);
  EXPECT_EQ(app().quit_flag, 0);

  g_script.back = page_b;
  run_frame();
  EXPECT_TRUE(bottom(1)->enabled);
  EXPECT_TRUE(atlas_label_drawn(bottom(1)->x0, bottom(1)->x1, 1.0f));
}

TEST_F(PageFrameworkTest, QuitPageGivesOneQuitThatSkipsTheHandler) {
  g_script.next = quit_page;
  g_script.quit_handler = counting_handler;
  start_on(page_a);
  run_frame();
  ASSERT_EQ(bottom_count(0), 1);
  EXPECT_EQ(bottom_count(2), 0);
  EXPECT_FLOAT_EQ(bottom(0)->x1, 770);
  EXPECT_TRUE(bottom(0)->enabled);

  click_bottom(0);
  EXPECT_EQ(app().quit_flag, 0);  // the Quit Page runs in the next frame
  EXPECT_EQ(framework().current_page, quit_page);
  run_frame();
  EXPECT_EQ(app().quit_flag, 1);
  EXPECT_EQ(g_script.handler_calls, 0);
}

TEST_F(PageFrameworkTest, QuitAsksTheHandler) {
  g_script.quit_handler = counting_handler;
  g_script.handler_answer = false;
  start_on(page_a);
  click_bottom(0);
  EXPECT_EQ(g_script.handler_calls, 1);
  EXPECT_EQ(app().quit_flag, 0);
  EXPECT_EQ(framework().current_page, page_a);

  g_script.handler_answer = true;
  click_bottom(0);
  EXPECT_EQ(g_script.handler_calls, 2);
  EXPECT_EQ(app().quit_flag, 1);

  app().quit_flag = 0;
  g_script.quit_handler = nullptr;
  click_bottom(0);
  EXPECT_EQ(app().quit_flag, 1);
}

TEST_F(PageFrameworkTest, StepListHighlightsTheCurrentPage) {
  step_list_clear();
  step_list_append("Alpha", page_a);
  step_list_append("Beta", page_b);
  step_list_append("Gamma", page_c);
  start_on(page_b);
  run_frame();
  const TextNote* alpha = text("Alpha");
  const TextNote* beta = text("Beta");
  const TextNote* gamma = text("Gamma");
  ASSERT_TRUE(alpha && beta && gamma);
  EXPECT_FLOAT_EQ(alpha->x, 30);
  EXPECT_FLOAT_EQ(alpha->y, 480);
  EXPECT_FLOAT_EQ(beta->y, 460);
  EXPECT_FLOAT_EQ(gamma->y, 440);
  EXPECT_FLOAT_EQ(beta->wrap, 170);
  EXPECT_EQ(beta->colour, 73);
  EXPECT_EQ(beta->weight, weight_bold);
  for (const TextNote* t : {alpha, gamma}) {
    EXPECT_EQ(t->colour, 50);
    EXPECT_EQ(t->weight, weight_regular);
  }

  // A page outside the list highlights nothing; the list stays until replaced.
  step_list_clear();
  step_list_append("Alpha", page_a);
  step_list_append("Empty", nullptr);
  start_on(page_c);
  run_frame();
  EXPECT_EQ(text("Alpha")->colour, 50);
  EXPECT_EQ(text("Empty")->colour, 50);
  EXPECT_EQ(text("Empty")->weight, weight_regular);
}

TEST_F(PageFrameworkTest, ScreenLayoutOfAPage) {
  g_script.progress = 0;
  start_on(page_a);
  run_frame();
  ASSERT_EQ(rec.frames.size(), 2u);
  EXPECT_EQ(rec.frames[0].style, 23);
  EXPECT_FLOAT_EQ(rec.frames[0].x, 10);
  EXPECT_FLOAT_EQ(rec.frames[0].height, 453);
  EXPECT_FLOAT_EQ(rec.frames[1].x, 210);
  EXPECT_FLOAT_EQ(rec.frames[1].width, 580);
  const TextNote* title = text("Page A");
  ASSERT_NE(title, nullptr);
  EXPECT_FLOAT_EQ(title->x, 500);
  EXPECT_FLOAT_EQ(title->y, 480);
  EXPECT_EQ(title->align, align_centre);
  EXPECT_EQ(title->weight, weight_bold);
  EXPECT_EQ(title->colour, 12);
  const TextNote* body = text("Body of A");
  ASSERT_NE(body, nullptr);
  EXPECT_FLOAT_EQ(body->x, 230);
  EXPECT_FLOAT_EQ(body->y, 440);
  EXPECT_FLOAT_EQ(body->wrap, 540);

  // In a window of another shape the page is scaled to fit and centred; the background
  // lies under the page, its lower-left texel at the page's corner, tinted white.
  fit_page_to_window(1000, 700);
  run_frame();
  ASSERT_FALSE(rec.drawn.empty());
  const RecordedQuads& bg = rec.drawn[0];
  EXPECT_EQ(bg.texture, texture_name(slot_background));
  const float scale = 700 / 600.0f;
  EXPECT_FLOAT_EQ(bg.quads[0].x[0], 33);  // (1000 - 800 * scale) / 2, on a whole pixel
  EXPECT_FLOAT_EQ(bg.quads[0].y[0], 0);
  EXPECT_NEAR(bg.quads[0].x[2], 33 + 800 * scale, 1e-3);
  EXPECT_FLOAT_EQ(bg.quads[0].y[2], 700);
  EXPECT_FLOAT_EQ(bg.quads[0].u[0], 0);
  EXPECT_FLOAT_EQ(bg.quads[0].u[2], 800 / 1024.0f);
  EXPECT_FLOAT_EQ(bg.quads[0].v[2], 600 / 1024.0f);
  EXPECT_FLOAT_EQ(bg.rgba[0] + bg.rgba[1] + bg.rgba[2] + bg.rgba[3], 4);
}

TEST_F(PageFrameworkTest, ProgressBarShowsASliverAndStaysInside) {
  start_on(page_a);
  auto fill_width = [&](float progress) {
    g_script.progress = progress;
    run_frame();
    for (const SpriteNote& s : rec.sprites)
      if (s.sprite == 5) return s.width;
    return -1.0f;
  };
  EXPECT_NEAR(fill_width(0), 520 * 0.04f, 1e-3);
  EXPECT_NEAR(fill_width(0.5f), 520 * 0.52f, 1e-3);
  EXPECT_NEAR(fill_width(7), 520, 1e-3);
  const TextNote* caption = text("Working on it");
  ASSERT_NE(caption, nullptr);
  EXPECT_FLOAT_EQ(caption->x, 242);
  EXPECT_FLOAT_EQ(caption->y, 120);
  bool trough = false;
  for (const SpriteNote& s : rec.sprites)
    if (s.sprite == 4) trough = s.cx == 500 && s.cy == 155 && s.width == 520;
  EXPECT_TRUE(trough);

  g_script.progress = -1;
  run_frame();
  EXPECT_TRUE(std::none_of(rec.sprites.begin(), rec.sprites.end(),
                           [](const SpriteNote& s) { return s.sprite == 4 || s.sprite == 5; }));
  EXPECT_EQ(text("Working on it"), nullptr);
}

TEST_F(PageFrameworkTest, ChoiceClickAndNoPageQuits) {
  g_script.choices = {{"Go to B", page_b}, {"Nowhere", nullptr}};
  start_on(page_a);
  run_frame();
  const WidgetNote* second = choice("Nowhere");
  ASSERT_NE(second, nullptr);
  EXPECT_FLOAT_EQ((second->x0 + second->x1) / 2, 500);
  EXPECT_FLOAT_EQ(second->x1 - second->x0, 250);
  EXPECT_FLOAT_EQ((second->y0 + second->y1) / 2, 325);
  run_frame(500, 350, true);
  EXPECT_EQ(framework().current_page, page_b);
  EXPECT_EQ(rec.presents, 0);  // no half-drawn wizard frame reaches the screen

  start_on(page_a);
  run_frame(500, 325, true);  // a choice without a target ends the program at the next frame
  EXPECT_EQ(framework().current_page, nullptr);
  EXPECT_EQ(app().quit_flag, 0);
  const size_t calls = g_script.calls.size();
  run_frame();
  EXPECT_EQ(app().quit_flag, 1);
  EXPECT_EQ(g_script.calls.size(), calls);
  EXPECT_TRUE(rec.widgets.empty());  // the frame ended before any button
}

// ---------------------------------------------------------------------------------------
// Modal Prompt

int ask_modal() { return modal_prompt("Really?", "Cancel", "the thing.", "Continue", "the other thing."); }

TEST_F(PageFrameworkTest, ModalPromptAnswers) {
  g_user.inputs = {PromptInput{96, 56, true}};
  EXPECT_EQ(ask_modal(), 1);
  EXPECT_EQ(app().ui_mode, 0);
  EXPECT_EQ(g_user.modes_set, (std::vector<int>{997, 0}));
  EXPECT_FALSE(ui().in.button_went_down);  // the answering click is used up
  EXPECT_EQ(rec.presents, 1);  // the pressed button shows before the caller goes on

  g_user = PromptUser{&rec, {PromptInput{96, 31, true}}};
  EXPECT_EQ(ask_modal(), 0);

  // Clicks beside the buttons answer nothing, nor does a click that was already down
  // when the prompt opened.
  frame(96, 56, true);
  g_user = PromptUser{&rec, {PromptInput{96, 67, true}, PromptInput{147, 31, true}, PromptInput{400, 300, true},
                             PromptInput{150, 53, true}, PromptInput{96, 31, false}, PromptInput{140, 40, true}}};
  EXPECT_EQ(ask_modal(), 0);
  EXPECT_EQ(g_user.passes, 6u);

  // Return (and Escape) give the answer that goes on rather than the one that stops.
  PromptInput keys;
  keys.keys = true;
  g_user = PromptUser{&rec, {keys}};
  EXPECT_EQ(ask_modal(), 0);
  EXPECT_EQ(g_user.passes, 1u);

  PromptInput elsewhere;
  elsewhere.set_mode = 994;
  g_user = PromptUser{&rec, {PromptInput{}, elsewhere}};
  EXPECT_EQ(ask_modal(), 3);
  EXPECT_EQ(app().ui_mode, 994);

  // Closing the window ends an open prompt as if from elsewhere, and the wizard mode is back.
  PromptInput close;
  close.close = true;
  g_user = PromptUser{&rec, {PromptInput{}, close}};
  EXPECT_EQ(ask_modal(), 3);
  EXPECT_EQ(app().ui_mode, 0);
  g_user = PromptUser{&rec, {close}};
  EXPECT_EQ(conflict_prompt("a.txt", true), 3);
  EXPECT_EQ(app().ui_mode, 0);
  app().quit_flag = 0;

  // Without a window loop nothing could answer: 3 at once, the mode untouched.
  set_prompt_loop(nullptr, nullptr);
  app().ui_mode = 0;
  EXPECT_EQ(ask_modal(), 3);
  EXPECT_EQ(conflict_prompt("a.txt", false), 3);
  EXPECT_EQ(app().ui_mode, 0);
}

TEST_F(PageFrameworkTest, ModalPromptScreen) {
  g_user.inputs = {PromptInput{96, 56, true}};
  frame(-100, -100);
  ask_modal();  // the drawing of the answering pass stays in the recorder
  ASSERT_FALSE(rec.drawn.empty());
  EXPECT_EQ(rec.drawn[0].texture, 0u);  // the fill in colour 39 over the window
  EXPECT_FLOAT_EQ(rec.drawn[0].rgba[0], 68 / 255.0f);
  EXPECT_FLOAT_EQ(rec.drawn[0].quads[0].x[2], 800);
  ASSERT_EQ(rec.frames.size(), 1u);
  EXPECT_EQ(rec.frames[0].style, 14);
  EXPECT_EQ(rec.frames[0].caption, "");
  struct Expect {
    const char* text;
    float x, y, wrap;
  };
  for (const Expect& e : {Expect{"Really?", 20, 160, 760}, Expect{"the thing.", 150, 53, 590},
                          Expect{"the other thing.", 150, 28, 590}}) {
    const TextNote* t = text(e.text);
    ASSERT_NE(t, nullptr) << e.text;
    EXPECT_FLOAT_EQ(t->x, e.x);
    EXPECT_FLOAT_EQ(t->y, e.y);
    EXPECT_FLOAT_EQ(t->wrap, e.wrap);
    EXPECT_EQ(t->colour, 48);
  }
  const WidgetNote* first = choice("Cancel");
  ASSERT_NE(first, nullptr);
  EXPECT_FLOAT_EQ(first->x0, 46);
  EXPECT_FLOAT_EQ(first->x1, 146);
}

TEST_F(PageFrameworkTest, PromptInsideAPageLeavesTheWizardAlone) {
  // The second answer lies over QUIT: its click must not also quit the program.
  int answer = -1;
  g_script.during_call = [&] {
    g_user.inputs = {PromptInput{60, 30, true}};
    answer = ask_modal();
  };
  start_on(page_a);
  run_frame();
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(app().quit_flag, 0);
  EXPECT_EQ(framework().current_page, page_a);
}

// ---------------------------------------------------------------------------------------
// Conflict Prompt

struct ConflictCase {
  int answer;
  float x, y, width;
  const char* install_label;
  const char* delete_label;
};
const ConflictCase kConflictCases[] = {
    {1, 96, 53, 160, "OVERWRITE THE OLD FILE", "DELETE THE OLD FILE"},
    {2, 96, 28, 160, "KEEP THE OLD FILE", "KEEP THE OLD FILE"},
    {4, 308, 53, 260, "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY", "DELETE EVERY OLD FILE IN THIS DIRECTORY"},
    {5, 308, 28, 260, "KEEP EVERY OLD FILE IN THIS DIRECTORY", "KEEP EVERY OLD FILE IN THIS DIRECTORY"},
    {3, 584, 28, 200, "CANCEL THE WHOLE INSTALLATION!", "CANCEL THE WHOLE INSTALLATION!"},
};

TEST_F(PageFrameworkTest, ConflictPromptAnswersInBothForms) {
  const std::string location = "/home/pilot/Zephiro 9/Resources/plugins/my plugin.cfg";
  for (bool delete_form : {false, true}) {
    for (const ConflictCase& c : kConflictCases) {
      // A first pass without a click, then the click on the button's edge.
      g_user = PromptUser{&rec, {PromptInput{}, PromptInput{c.x + c.width / 2 - 1, c.y + 9, true}}};
      frame(-100, -100);
      EXPECT_EQ(conflict_prompt(location, delete_form), c.answer) << c.install_label;
      EXPECT_EQ(g_user.modes_set, (std::vector<int>{996, 0}));
      EXPECT_EQ(app().ui_mode, 0);
      const WidgetNote* b = choice(delete_form ? c.delete_label : c.install_label);
      ASSERT_NE(b, nullptr) << c.install_label;
      EXPECT_FLOAT_EQ(b->x0, c.x - c.width / 2);
      EXPECT_FLOAT_EQ(b->x1, c.x + c.width / 2);
      EXPECT_FLOAT_EQ(b->y0, c.y - 10);
    }
    // The texts of the last pass.
    const TextNote* first = text(delete_form ? "I am about to DELETE:" : "I am about to install:");
    const TextNote* where = text(location);
    const TextNote* question =
        text(delete_form ? "because we no longer use this file, but it appears you have modified it. What to do?"
                         : "but it appears you have modified this file. What to do?");
    ASSERT_TRUE(first && where && question);
    EXPECT_FLOAT_EQ(first->y, 100);
    EXPECT_FLOAT_EQ(where->y, 90);
    EXPECT_FLOAT_EQ(question->y, 80);
    for (const TextNote* t : {first, where, question}) {
      EXPECT_FLOAT_EQ(t->x, 20);
      EXPECT_EQ(t->colour, 48);
      EXPECT_FLOAT_EQ(t->wrap, 760);
    }
  }

  PromptInput elsewhere;
  elsewhere.set_mode = 0;
  g_user = PromptUser{&rec, {PromptInput{400, 200, true}, elsewhere}};
  EXPECT_EQ(conflict_prompt(location, false), 3);
  EXPECT_EQ(g_user.passes, 2u);
  // Return and Escape keep the user's file.
  PromptInput keys;
  keys.keys = true;
  g_user = PromptUser{&rec, {keys}};
  EXPECT_EQ(conflict_prompt(location, false), 2);
  EXPECT_EQ(g_user.passes, 1u);
}

TEST_F(PageFrameworkTest, ConflictPromptIsTranslatedAndServesTheEngine) {
  TempDir dir;
  write_file(dir / "French.txt",
             "I\n900\nTRANSLATION\n"
             "STRING KEEP THE OLD FILE====GARDER L'ANCIEN FICHIER\n"
             "STRING I am about to DELETE:====Je vais SUPPRIMER :\n");
  set_language_from_file(1, dir / "French.txt");
  set_conflict_prompt(conflict_prompt);  // as install_window_prompts() does at start-up
  g_user.inputs = {PromptInput{96, 28, true}};
  frame(-100, -100);
  EXPECT_EQ(ask_conflict_prompt("Zephiro 9/a.txt", true), 2);
  EXPECT_NE(choice("GARDER L'ANCIEN FICHIER"), nullptr);
  EXPECT_EQ(choice("KEEP THE OLD FILE"), nullptr);
  EXPECT_NE(choice("DELETE THE OLD FILE"), nullptr);  // untranslated stays English
  EXPECT_NE(text("Je vais SUPPRIMER :"), nullptr);
  EXPECT_NE(text("Zephiro 9/a.txt"), nullptr);
}

// ---------------------------------------------------------------------------------------
// Welcome page

class WelcomePageTest : public PageFrameworkTest {
 protected:
  void SetUp() override {
    PageFrameworkTest::SetUp();
    set_first_page(welcome_page);
    reset_dvd_discovery();
    reset_install_manifest();
    set_environment("TMPDIR", temp.path().c_str());
    set_environment("XDG_DATA_HOME", temp.path().c_str());  // no installed copies
  }
  void TearDown() override {
    unset_environment("TMPDIR");
    unset_environment("XDG_DATA_HOME");
    reset_dvd_discovery();
    reset_install_manifest();
    PageFrameworkTest::TearDown();
  }
  // The page's body text as drawn at (230, 440), its lines joined by spaces.
  std::string body() {
    std::string s;
    for (const TextNote& t : rec.texts)
      if (t.x == 230 && t.y == 440) s += (s.empty() ? "" : " ") + t.text;
    return s;
  }
  TempDir temp, drives;
};

TEST_F(WelcomePageTest, TextFollowsTheDiscInTheDrive) {
  const std::string drive = drives / "drive";
  ASSERT_TRUE(std::filesystem::create_directories(drive));
  set_dvd_drives(drive);
  EXPECT_EQ(framework().current_page, welcome_page);
  run_frame();
  EXPECT_EQ(body(), "Please insert Zephiro 9 DVD number one to begin.");
  ASSERT_EQ(framework().step_titles.size(), 6u);
  EXPECT_EQ(framework().step_titles[0], "Welcome");
  EXPECT_EQ(framework().step_titles[5], "Finish");
  // The list is drawn before the page fills it: it shows from the second frame on.
  EXPECT_EQ(text("Welcome"), nullptr);
  run_frame();
  ASSERT_TRUE(text("Welcome") && text("Pick Destination"));
  EXPECT_EQ(text("Welcome")->colour, 73);
  EXPECT_EQ(text("Pick Destination")->colour, 50);
  EXPECT_FALSE(bottom(2)->enabled);
  EXPECT_FALSE(bottom(1)->enabled);

  // The user inserts the first disc: the next frame greets without a click.
  const std::string set = drives / "set";
  ASSERT_TRUE(make_tiny_disc_set(set, 1));
  set_dvd_drives(drive + list_separator() + set + "/disc1");
  run_frame();
  EXPECT_EQ(body(), "Welcome to the Zephiro 9 Installer.  I will guide you through the process of installing "
                    "Zephiro 9 DVD.");
  EXPECT_TRUE(bottom(2)->enabled);
  EXPECT_TRUE(bottom(0)->enabled);
  EXPECT_EQ(framework().current_page, welcome_page);

  // A disc of another kind: a marker without a version line.
  reset_dvd_discovery();
  write_file(drive + "/dvd_version.txt", "A\n900\nDVD\nNOT A VERSION\n");
  set_dvd_drives(drive);
  run_frame();
  EXPECT_EQ(body(), "This DVD does not appear to be a Zephiro 9 DVD.");
  EXPECT_FALSE(bottom(2)->enabled);
  EXPECT_TRUE(alerts.empty());
}

TEST_F(WelcomePageTest, RejectedManifestAndScenerySet) {
  // A disc whose manifest has a bad header is not an install disc either.
  const std::string disc = drives / "bad/";
  std::filesystem::create_directories(disc + "Set/");
  write_file(disc + "dvd_version.txt", "A\n900\nDVD\nVERSION Set\n");
  ASSERT_TRUE(write_archive(disc + "Set/directory.txt.zip", {{"directory.txt", "I\n800\nINSTALLER\n"}}));
  set_dvd_drives(disc);
  run_frame();
  EXPECT_EQ(manifest_read_status(), 2);
  EXPECT_EQ(body(), "This DVD does not appear to be a Zephiro 9 DVD.");

  // A set of global scenery only asks for the simulator first.
  const std::string scenery = drives / "scenery/";
  std::filesystem::create_directories(scenery + "World/");
  write_file(scenery + "dvd_version.txt", "A\n900\nDVD\nVERSION World\n");
  ASSERT_TRUE(write_archive(scenery + "World/directory.txt.zip",
                            {{"directory.txt",
                              "I\n900\nINSTALLER\nDISK 0\n"
                              "FILE 1 0 0 0 10 0123456789abcdef0123456789abcdef Z/Global Scenery/+40-080/+44-074.dsf\n"}}));
  reset_dvd_discovery();
  set_dvd_drives(scenery);
  run_frame();
  ASSERT_EQ(manifest_read_status(), 3);
  EXPECT_EQ(body(), "This DVD (World) contains global scenery.  You must install the sim before you install the "
                    "global scenery.");
  EXPECT_FALSE(bottom(2)->enabled);
}

}  // namespace
