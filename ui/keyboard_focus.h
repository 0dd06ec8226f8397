#pragma once
// Keyboard focus: the one widget the keys act on, on the page or on the prompt that
// covers it. Every widget that takes a click also takes its turn here as it is drawn;
// Tab and Shift+Tab (and the arrows, where the focused widget does not use them itself)
// move the focus through the widgets of the last frame in reading order: the left
// column, then the page from its top row down, each row from the left, then the bottom
// row. The focused widget draws a ring, but only once a key has been pressed since the
// last mouse press, so a mouse user never sees one. A press of the mouse button takes
// the focus to the widget under it when that one takes keys of its own (a text field, a
// list, the map); else the focus goes back to the page's main widget, so that typing
// after a click on a button still reaches the page's text field.
//
// Enter presses the focused button; anywhere else it is left to the page's default
// button (focus_keys().enter_default). Space presses a focused button and toggles a
// focused box; a controller's A does what Space does, or what Enter does from a text
// field. Keys held down repeat the arrows and Tab but never Enter, Space or Escape, so
// holding a key does not go through page after page.

#include <string>

#include "ui/draw_backend.h"

enum FocusKind {
  focus_bottom_button,
  focus_choice_button,
  focus_check_box,
  focus_radio_item,
  focus_text_field,
  focus_list,  // a list with an item cursor of its own (the copy lists)
  focus_map,   // the world map with its tile cursor
};

// The arrow keys a focused widget uses itself; the others move the focus.
enum FocusArrows {
  arrows_move_focus = 0,
  arrows_horizontal = 1,  // Left, Right, Home and End (a text field's caret)
  arrows_all = 2,         // every arrow, Home, End, Page Up and Page Down (a map, a list)
};

// What a widget learns when it takes its turn.
struct FocusTurn {
  int id = 0;            // stable while the page (or prompt) shows: kind, identity and order
  bool focused = false;  // this frame's keys act on it
  bool ring = false;     // draw the focus ring
  bool pressed = false;  // a key pressed it this frame: act as on a click
};

// A widget of this frame in its hit area (page units). `identity` tells it from the
// other widgets of its kind (its label); `clicked`: the mouse pressed it this frame and
// it takes the focus from a click. `claim`: the page's main widget, which takes the focus when
// nothing has it. A disabled widget is skipped by Tab.
FocusTurn focus_turn(int kind, const std::string& identity, float x0, float y0, float x1, float y1, bool enabled,
                     bool clicked, bool claim = false, int arrows = arrows_move_focus);

// The keys of this frame that the focus left to the page and its widgets. The arrows and
// Home, End, Page Up and Page Down are here only while the focused widget uses them.
struct FocusKeys {
  bool enter_default = false;  // Enter (or A on a text field) not taken by a focused button
  int space = 0;               // presses of Space (or A) for the focused map or list
  bool escape = false;         // what the page's GO BACK or QUIT would do
  int left = 0, right = 0, up = 0, down = 0, page_up = 0, page_down = 0;  // presses, held ones repeating
  bool home = false, end = false;
};
const FocusKeys& focus_keys();

// Whether some widget has the focus now.
bool focus_is_held();
// Whether the ring shows: a key was pressed since the last press of the mouse button.
bool focus_ring_shown();
// The id of the focused widget, 0 for none.
int focused_widget();

// A new page: nothing has the focus until one of its widgets claims it.
void focus_new_page();
// A prompt or an alert that covers the page has a focus of its own; the page's comes
// back, as it was, when the prompt closes, and the keys that answered it are spent.
void focus_push_scope();
void focus_pop_scope();

// The note of a widget that took its turn: its kind, label, hit area and focus.
WidgetNote focus_note(const std::string& kind, const std::string& label, float x0, float y0, float x1, float y1,
                      const FocusTurn& turn);

// The ring around a widget's area (page units), in the program's own colours: a light
// line inside a dark one, so that it shows on the light panels and on the dark prompts,
// at least a pixel wide at any scale.
void draw_focus_ring(float x0, float y0, float x1, float y1);

void reset_keyboard_focus();
