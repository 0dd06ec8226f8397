#include "ui/keyboard_focus.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/ui_context.h"

namespace {

struct FocusItem {
  int id = 0;
  int kind = 0;
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool enabled = true;
  int arrows = arrows_move_focus;
};

// The focus of the page, or of one prompt over it.
struct FocusScope {
  int focused = 0;  // id, 0 none
  FocusItem focused_item;  // as it took its last turn
  std::vector<FocusItem> items;       // this frame's widgets, as drawn
  std::vector<FocusItem> last_items;  // the last frame's
  std::unordered_map<uint32_t, int> seen;  // turns taken this frame by kind and identity
  long frame = -1;  // the frame `items` belongs to
  bool wizard_layout = true;  // the page's panels decide the reading order
  FocusKeys keys;
  bool press_focused = false;  // Enter or Space for the focused button or box
};

struct FocusState {
  std::vector<FocusScope> scopes = std::vector<FocusScope>(1);
  bool ring = false;
};

FocusState g_focus;

FocusScope& scope() { return g_focus.scopes.back(); }

bool is_button(int kind) { return kind == focus_bottom_button || kind == focus_choice_button; }
bool is_box(int kind) { return kind == focus_check_box || kind == focus_radio_item; }

// Where a widget stands in reading order on the wizard's screen: the left column, the
// page, the bottom row.
int region(const FocusItem& i) {
  if (i.y1 <= 50) return 2;
  if (i.x1 <= 205) return 0;
  return 1;
}

// The widgets in reading order: by region, then rows from the top down (widgets whose
// middles lie within the first one's height share its row), each row from the left.
std::vector<FocusItem> reading_order(std::vector<FocusItem> items, bool wizard_layout) {
  std::stable_sort(items.begin(), items.end(), [&](const FocusItem& a, const FocusItem& b) {
    const int ra = wizard_layout ? region(a) : 0, rb = wizard_layout ? region(b) : 0;
    if (ra != rb) return ra < rb;
    return a.y1 > b.y1;
  });
  std::vector<FocusItem> out;
  for (size_t i = 0; i < items.size();) {
    const FocusItem& first = items[i];
    const int r = wizard_layout ? region(first) : 0;
    size_t end = i + 1;
    while (end < items.size()) {
      const FocusItem& next = items[end];
      const float middle = (next.y0 + next.y1) / 2;
      if ((wizard_layout ? region(next) : 0) != r || middle < first.y0 || middle > first.y1) break;
      ++end;
    }
    std::stable_sort(items.begin() + static_cast<long>(i), items.begin() + static_cast<long>(end),
                     [](const FocusItem& a, const FocusItem& b) { return a.x0 < b.x0; });
    out.insert(out.end(), items.begin() + static_cast<long>(i), items.begin() + static_cast<long>(end));
    i = end;
  }
  return out;
}

// Tab (step 1) or Shift+Tab (-1) through the last frame's widgets; disabled ones are
// passed over, and the order goes round.
void move_focus(FocusScope& s, int step) {
  const std::vector<FocusItem> order = reading_order(s.last_items, s.wizard_layout);
  const int n = static_cast<int>(order.size());
  if (n == 0) return;
  int at = -1;
  for (int i = 0; i < n; ++i)
    if (order[i].id == s.focused) at = i;
  if (at < 0) at = step > 0 ? -1 : n;
  for (int k = 1; k <= n; ++k) {
    const int i = ((at + step * k) % n + n) % n;
    if (order[i].enabled) {
      s.focused = order[i].id;
      s.focused_item = order[i];
      return;
    }
  }
}

bool uses_key(const FocusItem& focused, int key) {
  if (focused.arrows == arrows_all) return true;
  if (focused.arrows == arrows_horizontal)
    return key == key_left || key == key_right || key == key_home || key == key_end;
  return false;
}

// The start of a frame for the scope: the last frame's widgets become the order Tab goes
// through, and this frame's keys are read.
void begin_frame(FocusScope& s) {
  const UiContext& c = ui();
  if (s.frame == c.frame) return;
  // A scope not drawn in the frame before has none of its widgets on screen any more.
  const bool continuous = s.frame == c.frame - 1;
  s.last_items = continuous ? s.items : std::vector<FocusItem>();
  s.items.clear();
  s.seen.clear();
  s.frame = c.frame;
  s.keys = FocusKeys();
  s.press_focused = false;
  if (!continuous) s.focused = 0;
  if (s.focused != 0) {
    bool still_there = false;
    for (const FocusItem& i : s.last_items)
      if (i.id == s.focused) {
        still_there = true;
        s.focused_item = i;
      }
    if (!still_there) s.focused = 0;
  }

  const UiInput& in = c.in;
  if (in.button_went_down) {
    g_focus.ring = false;
    s.focused = 0;  // the widget under the mouse takes it, if any
  }
  for (const KeyEvent& k : in.keys) {
    if (k.key == key_text) continue;
    g_focus.ring = true;
    const bool held = s.focused != 0;
    const FocusItem& f = s.focused_item;
    switch (k.key) {
      case key_tab:
        move_focus(s, (k.mods & mod_shift) ? -1 : 1);
        break;
      case key_left:
      case key_right:
      case key_up:
      case key_down:
      case key_home:
      case key_end:
      case key_page_up:
      case key_page_down:
        if (held && uses_key(f, k.key)) {
          if (f.arrows != arrows_all) break;  // the text field's editor reads its own keys
          s.keys.left += k.key == key_left;
          s.keys.right += k.key == key_right;
          s.keys.up += k.key == key_up;
          s.keys.down += k.key == key_down;
          s.keys.page_up += k.key == key_page_up;
          s.keys.page_down += k.key == key_page_down;
          // The last of Home and End wins.
          if (k.key == key_home || k.key == key_end) {
            s.keys.home = k.key == key_home;
            s.keys.end = k.key == key_end;
          }
        } else if (k.key == key_left || k.key == key_up) {
          move_focus(s, -1);
        } else if (k.key == key_right || k.key == key_down) {
          move_focus(s, 1);
        }
        break;
      case key_return:
        if (k.repeat) break;
        if (held && is_button(f.kind) && f.enabled)
          s.press_focused = true;
        else
          s.keys.enter_default = true;
        break;
      case key_space:
      case key_activate:
        if (k.repeat) break;
        if (held && (is_button(f.kind) || is_box(f.kind)) && f.enabled)
          s.press_focused = true;
        else if (held && (f.kind == focus_map || f.kind == focus_list))
          ++s.keys.space;
        else if (k.key == key_activate)
          s.keys.enter_default = true;  // from a text field, or with nothing focused
        break;
      case key_escape:
        if (!k.repeat) s.keys.escape = true;
        break;
      default:
        break;
    }
  }
}

// The scope of the prompt or page on screen, begun for this frame.
FocusScope& this_frame() {
  FocusScope& s = scope();
  begin_frame(s);
  return s;
}

uint32_t hash_identity(int kind, const std::string& identity) {
  uint32_t h = 2166136261u ^ static_cast<uint32_t>(kind);
  for (unsigned char ch : identity) h = (h ^ ch) * 16777619u;
  return h;
}

}  // namespace

FocusTurn focus_turn(int kind, const std::string& identity, float x0, float y0, float x1, float y1, bool enabled,
                     bool clicked, bool claim, int arrows) {
  FocusScope& s = this_frame();
  const uint32_t h = hash_identity(kind, identity);
  // The second widget of the same kind and label is told apart by its place in the frame.
  const int occurrence = s.seen[h]++;
  int id = static_cast<int>((h + 0x9E3779B9u * static_cast<uint32_t>(occurrence)) & 0x7FFFFFFF);
  if (id == 0) id = 1;

  const FocusItem item{id, kind, x0, y0, x1, y1, enabled, arrows};
  s.items.push_back(item);

  if (clicked) s.focused = id;
  else if (claim && s.focused == 0 && !ui().in.button_went_down) s.focused = id;

  FocusTurn turn;
  turn.id = id;
  turn.focused = s.focused == id;
  if (turn.focused) {
    // A widget that took the focus this frame answers the keys from the next one on.
    const bool had_it = s.focused_item.id == id;
    s.focused_item = item;
    turn.pressed = had_it && s.press_focused && enabled;
    turn.ring = g_focus.ring;
  }
  return turn;
}

const FocusKeys& focus_keys() { return this_frame().keys; }

bool focus_is_held() { return this_frame().focused != 0; }

bool focus_ring_shown() { return g_focus.ring; }

int focused_widget() { return this_frame().focused; }

void focus_new_page() {
  FocusScope& s = this_frame();
  s.focused = 0;
  s.focused_item = FocusItem();
  s.items.clear();
  s.last_items.clear();
  s.seen.clear();
  // Keys that come with the new page's first frame were pressed while the old one showed.
  s.keys = FocusKeys();
  s.press_focused = false;
}

void focus_push_scope() {
  FocusScope prompt;
  prompt.wizard_layout = false;
  g_focus.scopes.push_back(prompt);
}

void focus_pop_scope() {
  if (g_focus.scopes.size() > 1) g_focus.scopes.pop_back();
  // The page goes on with the frame it was drawing when the prompt opened.
  FocusScope& s = scope();
  s.frame = ui().frame;
  s.keys = FocusKeys();
  s.press_focused = false;
}

WidgetNote focus_note(const std::string& kind, const std::string& label, float x0, float y0, float x1, float y1,
                      const FocusTurn& turn) {
  WidgetNote n;
  n.kind = kind;
  n.label = label;
  n.x0 = x0;
  n.y0 = y0;
  n.x1 = x1;
  n.y1 = y1;
  n.focus_id = turn.id;
  n.focused = turn.focused;
  n.focus_ring = turn.ring;
  return n;
}

void draw_focus_ring(float x0, float y0, float x1, float y1) {
  const float px = 1.0f / std::max(ui().page_scale, 0.01f);
  const float dark = std::max(2.0f, 2 * px), light = std::max(1.0f, px);
  auto outline = [](int colour, float a0, float b0, float a1, float b1, float w) {
    fill_rect(colour, a0, b0, a1, b0 + w);
    fill_rect(colour, a0, b1 - w, a1, b1);
    fill_rect(colour, a0, b0 + w, a0 + w, b1 - w);
    fill_rect(colour, a1 - w, b0 + w, a1, b1 - w);
  };
  outline(colour_current_step, x0 - dark, y0 - dark, x1 + dark, y1 + dark, dark);
  outline(colour_swatch_white, x0, y0, x1, y1, light);
}

void reset_keyboard_focus() { g_focus = FocusState(); }
