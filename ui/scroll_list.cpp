#include "ui/scroll_list.h"

#include <algorithm>
#include <cmath>

#include "ui/draw_backend.h"
#include "ui/keyboard_focus.h"
#include "ui/ui_context.h"

namespace {

// The scroll bar: its width and gap beside the rows, its arrows' height, the least
// height of its thumb, and the rows a wheel notch scrolls.
const float k_bar_gap = 6;
const float k_bar_width = 12;
const float k_arrow = 12;
const float k_least_thumb = 12;
const int k_rows_a_notch = 3;
// The list's place reaches this far above the first row's line and below the last one's.
const float k_above = 14;
const float k_below = 6;
// Colours of the interface image's swatches: the bar's trough, its frame, the thumb, the arrows.
const int k_trough_colour = 45;
const int k_frame_colour = 47;
const int k_thumb_colour = 42;
const int k_arrow_colour = 48;

struct Bar {
  float x0, x1;              // the bar
  float top, bottom;         // the whole list's place
  float trough_top, trough_bottom;
  float thumb_top, thumb_bottom;
};

int last_first(const ScrollListPlace& p, int count) { return std::max(0, count - p.rows_shown); }

Bar bar_of(const ScrollList& l, const ScrollListPlace& p, int count) {
  Bar b;
  b.x0 = p.x1 + k_bar_gap;
  b.x1 = b.x0 + k_bar_width;
  b.top = p.first_y + k_above;
  b.bottom = p.first_y - p.row_height * static_cast<float>(p.rows_shown - 1) - k_below;
  b.trough_top = b.top - k_arrow;
  b.trough_bottom = b.bottom + k_arrow;
  const float trough = b.trough_top - b.trough_bottom;
  const float thumb = std::max(k_least_thumb, trough * static_cast<float>(p.rows_shown) / std::max(1, count));
  const int range = last_first(p, count);
  const float along = range > 0 ? static_cast<float>(l.first) / static_cast<float>(range) : 0;
  b.thumb_top = b.trough_top - (trough - thumb) * along;
  b.thumb_bottom = b.thumb_top - thumb;
  return b;
}

bool mouse_in(float x0, float y0, float x1, float y1) {
  const UiInput& in = ui().in;
  return in.mouse_x >= x0 && in.mouse_x <= x1 && in.mouse_y >= y0 && in.mouse_y <= y1;
}

// An arrow of the bar: a triangle of stacked lines, pointing up or down.
void draw_arrow(float cx, float cy, bool up) {
  for (int i = 0; i < 4; ++i) {
    const float half = 0.5f + static_cast<float>(i);
    const float y = up ? cy + 2 - static_cast<float>(i) : cy - 2 + static_cast<float>(i);
    fill_rect(k_arrow_colour, cx - half, y - 0.5f, cx + half, y + 0.5f);
  }
}

void draw_bar(const Bar& b) {
  fill_rect(k_frame_colour, b.x0, b.bottom, b.x1, b.top);
  fill_rect(k_trough_colour, b.x0 + 1, b.bottom + 1, b.x1 - 1, b.top - 1);
  fill_rect(k_frame_colour, b.x0, b.trough_top - 1, b.x1, b.trough_top);
  fill_rect(k_frame_colour, b.x0, b.trough_bottom, b.x1, b.trough_bottom + 1);
  fill_rect(k_thumb_colour, b.x0 + 2, b.thumb_bottom, b.x1 - 2, b.thumb_top);
  const float cx = (b.x0 + b.x1) / 2;
  draw_arrow(cx, b.top - k_arrow / 2, true);
  draw_arrow(cx, b.bottom + k_arrow / 2, false);
  WidgetNote n;
  n.kind = "scroll_bar";
  n.x0 = b.x0;
  n.y0 = b.bottom;
  n.x1 = b.x1;
  n.y1 = b.top;
  draw_backend().note_widget(n);
}

void keep_in_view(ScrollList& l, const ScrollListPlace& p) {
  if (l.cursor < l.first) l.first = l.cursor;
  if (l.cursor >= l.first + p.rows_shown) l.first = l.cursor - p.rows_shown + 1;
}

}  // namespace

int scroll_list_rows(const ScrollListPlace& place, int count) { return std::min(count, place.rows_shown); }

float scroll_list_row_y(const ScrollList& list, const ScrollListPlace& place, int row) {
  return place.first_y - place.row_height * static_cast<float>(row - list.first);
}

bool scroll_list_row_shown(const ScrollList& list, const ScrollListPlace& place, int row) {
  return row >= list.first && row < list.first + place.rows_shown;
}

bool scroll_list_under_mouse(const ScrollList& list, const ScrollListPlace& place, int count) {
  const Bar b = bar_of(list, place, count);
  const float right = count > place.rows_shown ? b.x1 : place.x1;
  const float bottom = place.first_y - place.row_height * static_cast<float>(scroll_list_rows(place, count) - 1) - k_below;
  return mouse_in(place.x0, bottom, right, b.top);
}

bool scroll_list_frame(ScrollList& l, const ScrollListPlace& p, int count, bool focused, const FocusKeys& keys,
                       int start_at) {
  const UiContext& c = ui();
  const UiInput& in = c.in;
  const bool scrolls = count > p.rows_shown;
  if (l.shown_frame < c.frame - 1) {
    // Shown anew: the cursor on the row already chosen, which is scrolled into view.
    l.cursor = start_at >= 0 && start_at < count ? start_at : 0;
    l.dragging = false;
    keep_in_view(l, p);
  }
  l.shown_frame = c.frame;
  l.cursor = std::max(0, std::min(l.cursor, count - 1));

  if (focused && count > 0) {
    const int page = std::max(1, p.rows_shown - 1);
    int to = l.cursor - keys.up + keys.down + page * (keys.page_down - keys.page_up);
    if (keys.home) to = 0;
    if (keys.end) to = count - 1;
    to = std::max(0, std::min(to, count - 1));
    if (keys.up || keys.down || keys.page_up || keys.page_down || keys.home || keys.end) {
      l.cursor = to;
      keep_in_view(l, p);
    }
  }

  if (scrolls) {
    Bar b = bar_of(l, p, count);
    if (in.wheel_this_frame != 0 && scroll_list_under_mouse(l, p, count))
      l.first -= static_cast<int>(std::lround(in.wheel_this_frame * k_rows_a_notch));
    if (in.button_went_down && mouse_in(b.x0, b.bottom, b.x1, b.top)) {
      if (in.mouse_y >= b.trough_top)
        --l.first;
      else if (in.mouse_y <= b.trough_bottom)
        ++l.first;
      else if (in.mouse_y > b.thumb_top)
        l.first -= p.rows_shown - 1;
      else if (in.mouse_y < b.thumb_bottom)
        l.first += p.rows_shown - 1;
      else {
        l.dragging = true;
        l.grab = b.thumb_top - in.mouse_y;
      }
    }
    if (l.dragging && in.button_held) {
      const float room = (b.trough_top - b.trough_bottom) - (b.thumb_top - b.thumb_bottom);
      const float top = in.mouse_y + l.grab;
      const float along = room > 0 ? (b.trough_top - top) / room : 0;
      l.first = static_cast<int>(std::lround(along * static_cast<float>(last_first(p, count))));
    }
  }
  if (!in.button_held) l.dragging = false;
  l.first = std::max(0, std::min(l.first, last_first(p, count)));
  if (scrolls) draw_bar(bar_of(l, p, count));
  return scrolls;
}
