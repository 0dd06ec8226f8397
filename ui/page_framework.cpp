#include "ui/page_framework.h"

#include <algorithm>

#include "core/app_state.h"
#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/keyboard_focus.h"
#include "ui/localization.h"
#include "ui/sprites.h"
#include "ui/text_render.h"
#include "ui/texture_slots.h"
#include "ui/ui_context.h"
#include "ui/widgets.h"

namespace {

constexpr float kPageWidth = 800.0f;
constexpr float kButtonY = 12.0f;
constexpr float kRightButtonEnd = 770.0f;
constexpr int kPanelFrame = 23;
// A page's choice only names the next page, shown a frame later; a prompt's answer goes
// back to a caller that may work a while, so its buttons show the press at once.
constexpr int kPageChoiceKind = 0;
constexpr int kPromptChoiceKind = 1;

struct PromptLoop {
  PromptPass pass = nullptr;
  PromptSetMode set_mode = nullptr;
};

FrameworkState g_framework;
PromptLoop g_prompt_loop;

void prompt_set_mode(int mode) {
  if (g_prompt_loop.set_mode)
    g_prompt_loop.set_mode(mode);
  else
    app().ui_mode = mode;
}

// The background picture one texel per page unit under the page, its lower-left corner
// at the page's; bars beside a letterboxed page stay dark.
void draw_background() {
  set_colour(colour_background_tint, 1, 1, 1);
  const float* c = colour_rgb(colour_background_tint);
  const float rgba[4] = {c[0], c[1], c[2], 1.0f};
  draw_textured_rect(texture_name(slot_background), rgba, 0, 0, k_page_width, k_page_height, 0, 0,
                     k_page_width / 1024.0f, k_page_height / 1024.0f);
}

void draw_step_list(const FrameworkState& fw) {
  for (size_t i = 0; i < fw.step_titles.size(); ++i) {
    const WizardPage page = i < fw.step_pages.size() ? fw.step_pages[i] : nullptr;
    const bool current = page != nullptr && page == fw.current_page;
    draw_text(current ? colour_current_step : colour_step, 30, 480 - 20.0f * static_cast<float>(i),
              fw.step_titles[i], 170, current ? weight_bold : weight_regular, align_left);
  }
}

void draw_progress(const PageDescription& page) {
  if (page.progress < 0) return;
  // An empty bar still shows a sliver.
  const float f = std::min(1.0f, std::max(0.04f, 0.04f + 0.96f * page.progress));
  draw_progress_bar(500, 155, 520, f);
  draw_text(colour_text, 242, 120, page.progress_caption, 520, weight_regular, align_left);
}

// A click on a prompt's button also leaves the mouse-down flag of its pass set; the
// caller's own widgets (the QUIT button lies under the second answer) must not take it.
void consume_click() {
  ui().in.button_went_down = false;
  ui().in.right_went_down = false;
}

// A prompt has a focus of its own from its first frame; what was pressed before it was on
// screen (the key or click that led to it) answers nothing.
void open_prompt(int mode) {
  consume_click();
  ui().in.keys.clear();
  focus_push_scope();
  prompt_set_mode(mode);
}

int close_prompt(int answer) {
  prompt_set_mode(ui_mode_wizard);
  consume_click();
  focus_pop_scope();
  return answer;
}

void draw_prompt_background() {
  fill_window(colour_modal_fill);
  draw_full_window_frame(false);
}

struct ConflictButton {
  int answer;
  float x, y, width;
  const char* install_label;
  const char* delete_label;
};

const int kConflictKeep = 2;

// Tested in this order; the first click found answers.
const ConflictButton kConflictButtons[] = {
    {1, 96, 53, 160, "OVERWRITE THE OLD FILE", "DELETE THE OLD FILE"},
    {2, 96, 28, 160, "KEEP THE OLD FILE", "KEEP THE OLD FILE"},
    {4, 308, 53, 260, "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY", "DELETE EVERY OLD FILE IN THIS DIRECTORY"},
    {5, 308, 28, 260, "KEEP EVERY OLD FILE IN THIS DIRECTORY", "KEEP EVERY OLD FILE IN THIS DIRECTORY"},
    {3, 584, 28, 200, "CANCEL THE WHOLE INSTALLATION!", "CANCEL THE WHOLE INSTALLATION!"},
};

}  // namespace

FrameworkState& framework() { return g_framework; }

void reset_framework() {
  const WizardPage first = g_framework.first_page;
  g_framework = FrameworkState();
  g_framework.first_page = first;
  g_framework.current_page = first;
  g_prompt_loop = PromptLoop();
}

void set_first_page(WizardPage page) {
  g_framework.first_page = page;
  g_framework.current_page = page;
  g_framework.previous_page = nullptr;
}

void step_list_clear() {
  g_framework.step_titles.clear();
  g_framework.step_pages.clear();
}

void step_list_append(const std::string& title, WizardPage page) {
  g_framework.step_titles.push_back(title);
  g_framework.step_pages.push_back(page);
}

int quit_page(int, PageDescription&) {
  app().quit_flag = 1;
  return 1;
}

void installer_frame() {
  FrameworkState& fw = g_framework;
  draw_background();
  draw_frame(kPanelFrame, 10, 50, 190, 453, "");
  draw_frame(kPanelFrame, 210, 50, 580, 453, "");
  draw_step_list(fw);
  if (!fw.current_page) {
    app().quit_flag = 1;
    return;
  }

  PageDescription page;
  const WizardPage called = fw.current_page;
  const bool entering = called != fw.previous_page;
  if (entering) focus_new_page();
  const int result = called(entering ? 1 : 0, page);
  fw.previous_page = called;

  draw_text(colour_text, 500, 480, page.title, 540, weight_bold, align_centre);
  draw_text(colour_text, 230, 440, page.text, 540, weight_regular, align_left);

  // Later requests override earlier ones: a choice, then CONTINUE, then GO BACK, then
  // the page's own advance. The new page is first called in the next frame.
  bool change = false;
  WizardPage target = nullptr;
  auto go_to = [&](WizardPage p) {
    change = true;
    target = p;
  };

  // The keyboard's focus, when the page's own widgets took none: CONTINUE when the page
  // can go on, else its first choice (the Main Menu, a finish page's "Run Zephiro Now").
  // Never QUIT or GO BACK, so that Enter on a page as it appears loses nothing.
  const bool final_page = page.next_page == quit_page;
  const bool has_next = page.next_page != nullptr;
  const bool has_back = page.back_page != nullptr;
  const bool continue_is_default = has_next && !final_page;
  const FocusKeys keys = focus_keys();
  const bool nothing_focused = !focus_is_held();

  for (size_t i = 0; i < page.choice_labels.size(); ++i) {
    if (choice_button(500, 350 - 25.0f * static_cast<float>(i), 250, false, kPageChoiceKind, page.choice_labels[i],
                      "-", nothing_focused && !continue_is_default && i == 0))
      go_to(i < page.choice_targets.size() ? page.choice_targets[i] : nullptr);
  }

  draw_progress(page);

  auto quit = [&]() {
    if (final_page)
      go_to(page.next_page);
    else if (!page.quit_handler || page.quit_handler())
      app().quit_flag = 1;
  };
  if (!final_page && bottom_button(30, kButtonY, label_quit, button_starts_at, nullptr, true, look_normal)) quit();

  int right_width = 0;
  if (bottom_button(kRightButtonEnd, kButtonY, final_page ? label_quit : label_continue, button_ends_at,
                    &right_width, has_next, has_next ? look_normal : look_disabled,
                    nothing_focused && continue_is_default) &&
      has_next)
    go_to(page.next_page);
  // Enter from a text field, a box, the map or a list presses the default button.
  if (keys.enter_default && continue_is_default) go_to(page.next_page);

  if (bottom_button(kRightButtonEnd - static_cast<float>(right_width + 10), kButtonY, label_go_back,
                    button_ends_at, nullptr, has_back, has_back ? look_normal : look_disabled) &&
      has_back)
    go_to(page.back_page);
  // Escape is GO BACK, with whatever question the page behind it asks; else QUIT, but not
  // while work runs that QUIT would end without a question.
  if (keys.escape) {
    if (has_back)
      go_to(page.back_page);
    else if (page.progress < 0)
      quit();
  }

  if (result != 0 && has_next) go_to(page.next_page);

  if (change) fw.current_page = target;
}

// Closing the window (or a quit from elsewhere) ends an open prompt unanswered.
static bool prompt_closed_by_quit() {
  if (!app().quit_flag) return false;
  prompt_set_mode(ui_mode_wizard);
  focus_pop_scope();
  return true;
}

int modal_prompt(const std::string& message, const std::string& first_action,
                 const std::string& first_explanation, const std::string& second_action,
                 const std::string& second_explanation) {
  // Without a window loop nobody could answer.
  if (!g_prompt_loop.pass) return 3;
  open_prompt(ui_mode_modal);
  while (app().ui_mode == ui_mode_modal) {
    draw_prompt_background();
    draw_text(colour_label, 20, 160, message, kPageWidth - 40, weight_regular, align_left);
    draw_text(colour_label, 150, 53, first_explanation, kPageWidth - 210, weight_regular, align_left);
    draw_text(colour_label, 150, 28, second_explanation, kPageWidth - 210, weight_regular, align_left);
    // The second answer goes on (Continue) where the first stops or cancels: it has the
    // focus first, and Escape gives it.
    const FocusKeys keys = focus_keys();
    if (choice_button(96, 56, 100, false, kPromptChoiceKind, first_action, "-")) return close_prompt(1);
    if (choice_button(96, 31, 100, false, kPromptChoiceKind, second_action, "-", true) || keys.escape ||
        keys.enter_default)
      return close_prompt(0);
    g_prompt_loop.pass();
    if (prompt_closed_by_quit()) return 3;
  }
  focus_pop_scope();
  return 3;
}

int conflict_prompt(const std::string& location, bool delete_form) {
  const std::string first_line = localize(delete_form ? "I am about to DELETE:" : "I am about to install:");
  const std::string question =
      localize(delete_form ? "because we no longer use this file, but it appears you have modified it. What to do?"
                           : "but it appears you have modified this file. What to do?");
  if (!g_prompt_loop.pass) return 3;
  open_prompt(ui_mode_conflict);
  while (app().ui_mode == ui_mode_conflict) {
    draw_prompt_background();
    draw_text(colour_label, 20, 100, first_line, kPageWidth - 40, weight_regular, align_left);
    draw_text(colour_label, 20, 90, location, kPageWidth - 40, weight_regular, align_left);
    draw_text(colour_label, 20, 80, question, kPageWidth - 40, weight_regular, align_left);
    // Keeping the user's file loses nothing: it has the focus first, and Escape keeps.
    const FocusKeys keys = focus_keys();
    for (const ConflictButton& b : kConflictButtons) {
      const std::string label = localize(delete_form ? b.delete_label : b.install_label);
      if (choice_button(b.x, b.y, b.width, false, kPromptChoiceKind, label, "-", b.answer == kConflictKeep))
        return close_prompt(b.answer);
    }
    if (keys.escape || keys.enter_default) return close_prompt(kConflictKeep);
    g_prompt_loop.pass();
    if (prompt_closed_by_quit()) return 3;
  }
  focus_pop_scope();
  return 3;
}

void set_prompt_loop(PromptPass pass, PromptSetMode set_mode) {
  g_prompt_loop.pass = pass;
  g_prompt_loop.set_mode = set_mode;
}
