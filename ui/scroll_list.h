#pragma once
// A column of rows longer than its place on the page: only the rows that fit are shown,
// and the list scrolls with the mouse wheel over it, with the scroll bar beside it (its
// arrows, its trough and its thumb) and with the keyboard. The list takes the keyboard's
// focus as one widget with a cursor on one row: Up and Down move the cursor, Page Up and
// Page Down by a page, Home and End to the first and the last row, and the rows scroll
// so that the cursor stays in view. The caller draws the rows and acts on Space.

struct ScrollListPlace {
  float x0 = 0, x1 = 0;     // the rows' width (the scroll bar stands right of x1)
  float first_y = 0;        // the first row's line
  float row_height = 25;    // rows stand this far apart, downwards
  int rows_shown = 1;       // at most this many rows show
};

// What a list remembers between frames.
struct ScrollList {
  int first = 0;        // the first row shown
  int cursor = -1;      // the row under the keyboard's cursor; -1 until the list is shown
  bool dragging = false;  // the thumb is held
  float grab = 0;         // where on the thumb it was taken
  long shown_frame = -1;  // the last frame the list was drawn in
};

// One frame of the list's scrolling, before its rows are drawn: `focused` and `keys`
// say whether the keyboard's focus is on the list (its up, down, home, end, page_up and
// page_down act then). `start_at` is the row the cursor starts on when the list shows
// anew (the row already chosen). Returns true when the list scrolls: the rows don't all
// fit and the scroll bar is drawn.
struct FocusKeys;
bool scroll_list_frame(ScrollList& list, const ScrollListPlace& place, int count, bool focused,
                       const FocusKeys& keys, int start_at);

// Where row `row` (of the whole list) stands this frame; only rows from list.first to
// list.first + rows_shown - 1 show.
float scroll_list_row_y(const ScrollList& list, const ScrollListPlace& place, int row);
bool scroll_list_row_shown(const ScrollList& list, const ScrollListPlace& place, int row);
// The rows that show, and the bottom of the list's place.
int scroll_list_rows(const ScrollListPlace& place, int count);

// Whether the mouse is over the list's rows or its scroll bar (a press there is the list's).
bool scroll_list_under_mouse(const ScrollList& list, const ScrollListPlace& place, int count);
