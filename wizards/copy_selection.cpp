#include "wizards/copy_selection.h"

#include <algorithm>
#include <vector>

#include "core/alert.h"
#include "engine/install_scope.h"
#include "engine/menu_entry.h"
#include "engine/registry.h"
#include "io/file_ops.h"
#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/file_dialog.h"
#include "ui/localization.h"
#include "ui/keyboard_focus.h"
#include "ui/page_framework.h"
#include "ui/scroll_list.h"
#include "ui/text_render.h"
#include "ui/ui_context.h"
#include "ui/widgets.h"

namespace {

// What "Find It" remembers while its folder picker is up.
struct FindItState {
  std::string path_before;  // the Install Path when it was clicked
  std::string picked;       // the folder the user chose
};
FindItState g_find;

// The copies as a list: its place on the page, and what it remembers between frames. As
// many copies show as leave "Find It" and the bottom buttons in their places; more
// scroll.
const float k_list_top = 400;
const float k_row_height = 25;
const int k_rows_that_fit = 13;
ScrollList g_list;

std::string parent_folder(const std::string& folder) {
  std::string p = folder;
  while (!p.empty() && p.back() == '/') p.pop_back();
  const size_t cut = p.find_last_of('/');
  return cut == std::string::npos ? "" : p.substr(0, cut + 1);
}

// The path with its control characters shown as '?', so the alert's line stays one line.
std::string printable(std::string path) {
  for (char& c : path)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return path;
}

void found_or_not(const std::string& picked) {
  const std::string copy = copy_holding(picked);
  if (!copy.empty() && !is_registrable_path(copy)) {
    alert(app().ui_mode, localize("You selected the folder path:"), printable(copy),
          localize("Its name holds a line break, a tab or another control character."),
          localize("Please rename the folder of your copy of Zephiro 9, then find it again."), alert_info, "main",
          409);
    install_path() = g_find.path_before;
    return;
  }
  if (!copy.empty()) {
    install_path() = copy;
    register_install_path(copy);
    read_installed_copies();
    give_menu_entry(copy);
    return;
  }
  alert(app().ui_mode, localize("You selected the folder path:"), picked,
        localize("But it does not appear to be an installed copy of Zephiro 9."),
        localize("Please be sure to select the folder that contains the Zephiro application."), alert_info, "main",
        409);
  install_path() = g_find.path_before;
}

}  // namespace

std::string copy_holding(const std::string& folder) {
  std::string candidate = folder;
  if (!candidate.empty() && candidate.back() != '/') candidate += '/';
  while (!is_installed_copy(candidate)) {
    if (candidate.size() < 4) return "";
    const std::string parent = parent_folder(candidate);
    if (parent.empty() || parent == candidate) return "";
    candidate = parent;
  }
  return candidate;
}

bool install_path_is_listed_copy() {
  const std::vector<std::string>& copies = registry().installed_copies;
  return std::find(copies.begin(), copies.end(), install_path()) != copies.end();
}

void copy_picker() {
  const std::vector<std::string> copies = registry().installed_copies;
  if (copies.size() == 1 && install_path().empty()) install_path() = copies[0];

  // The answer of a folder picker opened by an earlier frame.
  std::string picked = g_find.picked;
  if (poll_file_dialog(&g_find, picked) == dialog_confirmed) found_or_not(picked);

  // The list is one widget for the keyboard: its cursor goes up and down the copies,
  // Space ticks the copy under it, Enter goes on.
  const int count = static_cast<int>(copies.size());
  ScrollListPlace place;
  place.x0 = 240;
  place.x1 = 760;
  place.first_y = k_list_top;
  place.row_height = k_row_height;
  place.rows_shown = k_rows_that_fit;
  const int rows = scroll_list_rows(place, count);
  const float list_bottom = k_list_top - k_row_height * static_cast<float>(rows - 1) - 4;
  FocusTurn focus;
  if (count > 0) {
    const bool pressed = ui().in.button_went_down && scroll_list_under_mouse(g_list, place, count);
    focus = focus_turn(focus_list, "copy_list", place.x0, list_bottom, place.x1, k_list_top + 12, true, pressed, true,
                       arrows_all);
  }
  const int ticked = static_cast<int>(std::find(copies.begin(), copies.end(), install_path()) - copies.begin());
  scroll_list_frame(g_list, place, count, focus.focused, focus_keys(), ticked);
  if (focus.focused && focus_keys().space && count > 0) install_path() = copies[g_list.cursor];

  for (int i = g_list.first; i < count && scroll_list_row_shown(g_list, place, i); ++i) {
    int is_ticked = copies[i] == install_path() ? 1 : 0;
    CheckBoxFocus entry;
    entry.list_id = focus.id;
    entry.under_cursor = focus.focused && i == g_list.cursor;
    entry.list_index = i;
    // One radio group: a click ticks its copy, unticking is not possible.
    if (check_box(250, scroll_list_row_y(g_list, place, i), is_ticked, "|-" + copies[i], false, entry)) {
      install_path() = copies[i];
      g_list.cursor = i;
    }
  }
  if (count > 0) {
    WidgetNote n = focus_note("copy_list", "copy_list", place.x0, list_bottom, place.x1, k_list_top + 12, focus);
    n.cursor = g_list.cursor;
    draw_backend().note_widget(n);
  }

  // "Find It" stays below the rows that show, in place however long the list.
  const float y = k_list_top - k_row_height * static_cast<float>(rows);
  const std::string question = localize("Is the copy of Zephiro 9 you're looking for missing from this list?");
  draw_text(colour_step, 230, y, question, 400, weight_regular, align_left);
  const float find_x = 285 + std::min(400.0f, measure_text(question));
  if (choice_button(find_x, y + 3, 100, false, 1, localize("Find It"), "-")) {
    g_find.path_before = install_path();
    g_find.picked = install_path();
    open_file_dialog(dialog_pick_folder, localize("Please select your Zephiro 9 folder."), localize("Select"),
                     install_path(), install_path(), &g_find);
  }
}

void pick_copy(PageDescription& page, const char* pick_sentence) {
  const size_t copies = registry().installed_copies.size();
  if (copies == 1) install_path() = registry().installed_copies[0];
  copy_picker();
  // Only a listed copy will do: the Install Path may still name the folder of an install
  // that was never made.
  if (!install_path_is_listed_copy()) page.next_page = nullptr;
  page.text = copies > 1 ? localize("You have more than one copy of Zephiro 9 installed on this computer.  ") : "";
  page.text += localize(pick_sentence);
}
