#pragma once
// Immediate-mode widgets: each call draws the widget for this frame, hit-tests the mouse
// and reports a click in the same breath. The caller owns every bound value.

#include <string>
#include <vector>

enum BottomLabel {
  label_quit = 0,
  label_go_back = 1,
  label_continue = 2,
  label_select_all = 3,
  label_select_none = 4,
  label_buy_online = 5,
  label_options = 6,
};
enum ButtonAlign { button_centred = 0, button_starts_at = 1, button_ends_at = -1 };
enum ButtonLook { look_normal = 0, look_disabled = 2 };

// Label syntax "left|right{help": the left part before the last "|", the right part
// between it and the last "{", the help after that.
struct WidgetLabel {
  std::string left, right, help;
};
WidgetLabel split_widget_label(const std::string& label);
// The lines a label part takes beside a widget: a leading "-" keeps it on one line (and
// is dropped); a part longer than 12 characters splits at the space, "-" or "/" nearest
// its middle (a space is dropped, "-" and "/" stay on the first line).
std::vector<std::string> label_lines(const std::string& part);

// Width of a Bottom Button label in the current language's atlas.
int bottom_label_width(int label);

// Every widget here takes the keyboard focus (ui/keyboard_focus.h): a key that presses the
// focused widget counts as a click on it.

// Returns 1 when the mouse button went down on it this frame, enabled or not, or when a
// key pressed it while enabled.
// `claim_focus`: the page's default button, focused when nothing else is.
int bottom_button(float x, float y, int label, int align, int* out_width, bool enabled, int look,
                  bool claim_focus = false);
// Centred on (x, y); width <= 0 fits the label. Side caption "-" means none.
// `claim_focus`: the page's main widget, focused when nothing else is.
int choice_button(float x, float y, float width, bool on, int kind, const std::string& label,
                  const std::string& side_caption, bool claim_focus = false);

// How a Check Box takes the keyboard focus: on its own (as the page's main widget when
// `claim`), or as an entry of a list that holds the focus for all of its entries
// (`list_id`, the list's focus id; `under_cursor`: the list has the focus and its cursor
// is on this entry, which then shows the ring).
struct CheckBoxFocus {
  bool claim = false;
  int list_id = 0;
  bool under_cursor = false;
  int list_index = -1;
};
// Flips `bound` on a click (or Space while it has the focus) and returns 1.
int check_box(float x, float y, int& bound, const std::string& label, bool alternative_look,
              const CheckBoxFocus& focus = CheckBoxFocus());
// Ticked while bound == value; a click on an unticked item stores value. Returns 1 on a click.
int radio_item(float x, float y, int& bound, int value, const std::string& label);
