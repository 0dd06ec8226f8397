#pragma once
// The wizard page framework: a Wizard Page is a plain function that fills a fresh Page
// Description every frame; the Installer Frame draws the standard screen from it and
// turns clicks into a new Current Page.

#include <string>
#include <vector>

struct PageDescription;

// entering: 1 on the first call after the page became current, else 0. A non-zero result
// asks to advance to the next page now.
using WizardPage = int (*)(int entering, PageDescription& page);
// Asked before QUIT quits; true lets the program quit.
using QuitHandler = bool (*)();

struct PageDescription {
  std::string title;
  std::string text;
  WizardPage back_page = nullptr;  // none disables GO BACK
  WizardPage next_page = nullptr;  // none disables CONTINUE; the Quit Page makes it QUIT
  float progress = -1.0f;          // negative hides the progress bar
  std::string progress_caption;
  std::vector<std::string> choice_labels;
  std::vector<WizardPage> choice_targets;
  QuitHandler quit_handler = nullptr;

  void set_progress(float fraction, const std::string& caption) {
    progress = fraction;
    progress_caption = caption;
  }
  void add_choice(const std::string& label, WizardPage target) {
    choice_labels.push_back(label);
    choice_targets.push_back(target);
  }
};

// Sets the Quit Flag and returns 1; a page offers a final quit by making it its next page.
int quit_page(int entering, PageDescription& page);

struct FrameworkState {
  WizardPage first_page = nullptr;  // the page the program starts on
  WizardPage current_page = nullptr;
  WizardPage previous_page = nullptr;
  std::vector<std::string> step_titles;
  std::vector<WizardPage> step_pages;
};

FrameworkState& framework();
void reset_framework();  // keeps the first page and makes it current again
// The page the program starts on (the wizards name their Welcome page at start-up);
// it becomes current now.
void set_first_page(WizardPage page);

void step_list_clear();
void step_list_append(const std::string& title, WizardPage page);

// One frame of the wizard screen. Called only by the main loop.
void installer_frame();

// A blocking two-choice question (UI Mode 997): 1 for the first action, 0 for the
// second, 3 when the modal mode was ended from elsewhere. All texts already translated.
int modal_prompt(const std::string& message, const std::string& first_action,
                 const std::string& first_explanation, const std::string& second_action,
                 const std::string& second_explanation);
// The five-button question about a file the user changed (UI Mode 996); the answers of
// the install plan (1..5). Installed as the engine's conflict prompt at start-up.
int conflict_prompt(const std::string& location, bool delete_form);


// What the blocking prompts do between their frames: one main-loop pass, and setting the
// UI Mode (null: assign it). Without a pass (no window) a prompt answers 3 at once.
// Tests install a scripted user here.
using PromptPass = void (*)();
using PromptSetMode = void (*)(int mode);
void set_prompt_loop(PromptPass pass, PromptSetMode set_mode);
