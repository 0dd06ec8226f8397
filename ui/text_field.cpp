#include "ui/text_field.h"

#include <algorithm>
#include <cmath>

#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/keyboard_focus.h"
#include "ui/sprites.h"
#include "ui/text_render.h"
#include "ui/ui_context.h"

namespace {

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

size_t prev_char(const std::string& s, size_t pos) {
  if (pos == 0) return 0;
  --pos;
  while (pos > 0 && is_continuation(s[pos])) --pos;
  return pos;
}

size_t next_char(const std::string& s, size_t pos) {
  if (pos >= s.size()) return s.size();
  ++pos;
  while (pos < s.size() && is_continuation(s[pos])) ++pos;
  return pos;
}

// Keeps an offset inside the text and on a character start.
size_t clamp_offset(const std::string& s, size_t pos) {
  pos = std::min(pos, s.size());
  while (pos > 0 && pos < s.size() && is_continuation(s[pos])) --pos;
  return pos;
}

// Width of the first `bytes` bytes as draw_text lays them out (whole-unit advances).
float prefix_width(const std::string& s, size_t bytes) {
  float w = 0;
  for (size_t i = 0; i < bytes && i < s.size();) w += std::floor(glyph_advance(0, next_utf8(s, i)) + 0.5f);
  return w;
}

size_t offset_at(const std::string& s, float dx, size_t from = 0) {
  float w = 0;
  for (size_t i = from; i < s.size();) {
    const size_t start = i;
    const float a = std::floor(glyph_advance(0, next_utf8(s, i)) + 0.5f);
    if (dx < w + a / 2) return start;
    w += a;
  }
  return s.size();
}

float span_width(const std::string& s, size_t from, size_t to) { return prefix_width(s, to) - prefix_width(s, from); }

// The first character shown: the caret stays inside the box, and a text that has room
// again scrolls back so that no space is wasted at its end.
size_t scroll_for_caret(const std::string& s, size_t scroll, size_t caret, float box) {
  scroll = std::min(clamp_offset(s, scroll), caret);
  while (scroll < caret && span_width(s, scroll, caret) > box) scroll = next_char(s, scroll);
  while (scroll > 0 && span_width(s, prev_char(s, scroll), s.size()) <= box) scroll = prev_char(s, scroll);
  return scroll;
}

// The end of the whole characters from `from` that fit in the box.
size_t visible_end(const std::string& s, size_t from, float box) {
  size_t end = from;
  while (end < s.size() && span_width(s, from, next_char(s, end)) <= box) end = next_char(s, end);
  return end;
}

// A single-line field: line breaks in typed or pasted text become spaces, except
// trailing ones, which are dropped; other control characters are dropped.
std::string single_line(const std::string& in) {
  std::string out;
  size_t end = in.size();
  while (end > 0 && (in[end - 1] == '\n' || in[end - 1] == '\r')) --end;
  for (size_t i = 0; i < end; ++i) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    if (c == '\r' && i + 1 < end && in[i + 1] == '\n') continue;
    if (c == '\n' || c == '\r' || c == '\t') out += ' ';
    else if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
  }
  return out;
}

size_t count_chars(const std::string& s) {
  size_t n = 0;
  for (char c : s) n += !is_continuation(c);
  return n;
}

struct Editor {
  std::string& text;
  size_t& caret;
  size_t& anchor;
  size_t max_chars;  // 0: no limit

  bool has_selection() const { return caret != anchor; }
  size_t sel_begin() const { return std::min(caret, anchor); }
  size_t sel_end() const { return std::max(caret, anchor); }
  std::string selection() const { return text.substr(sel_begin(), sel_end() - sel_begin()); }

  void erase_selection() {
    const size_t b = sel_begin();
    text.erase(b, sel_end() - b);
    caret = anchor = b;
  }
  // What does not fit is cut from the inserted text, never from the field's own end.
  void insert(std::string s) {
    erase_selection();
    if (max_chars > 0) {
      const size_t have = count_chars(text);
      cut_to_chars(s, have < max_chars ? max_chars - have : 0);
    }
    text.insert(caret, s);
    caret += s.size();
    anchor = caret;
  }
  void move(size_t to, bool extend) {
    caret = to;
    if (!extend) anchor = caret;
  }

  void key(const KeyEvent& e) {
    const bool shift = (e.mods & mod_shift) != 0;
    const bool ctrl = (e.mods & mod_ctrl) != 0;
    if (e.key == key_text) {
      if (!ctrl) insert(single_line(e.text));
      return;
    }
    if (ctrl) {
      switch (e.key) {
        case 'a': anchor = 0; caret = text.size(); break;
        case 'c': if (has_selection()) set_clipboard_text(selection()); break;
        case 'x':
          if (has_selection()) {
            set_clipboard_text(selection());
            erase_selection();
          }
          break;
        case 'v': insert(single_line(clipboard_text())); break;
        case key_left: move(0, shift); break;
        case key_right: move(text.size(), shift); break;
        default: break;
      }
      return;
    }
    switch (e.key) {
      case key_left:
        if (has_selection() && !shift) move(sel_begin(), false);
        else move(prev_char(text, caret), shift);
        break;
      case key_right:
        if (has_selection() && !shift) move(sel_end(), false);
        else move(next_char(text, caret), shift);
        break;
      case key_home: move(0, shift); break;
      case key_end: move(text.size(), shift); break;
      case key_backspace:
        if (!has_selection()) anchor = prev_char(text, caret);
        erase_selection();
        break;
      case key_delete:
        if (!has_selection()) anchor = next_char(text, caret);
        erase_selection();
        break;
      default: break;
    }
  }
};

}  // namespace

void cut_to_chars(std::string& text, size_t max_chars) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); i = next_char(text, i))
    if (chars++ == max_chars) {
      text.resize(i);
      return;
    }
}

bool text_field_has_focus(const std::string& text) { return ui().focus == &text; }

int text_field(float x, float y, std::string& text, size_t max_length, const std::string& help, float width,
               bool auto_focus, const std::string& label) {
  UiContext& c = ui();
  const UiInput& in = c.in;
  const std::string before = text;

  draw_sprite(9, x + width / 2 - 2, y + 3, width + 10);
  if (!label.empty()) draw_text(colour_label, x - 12, y, label, 0, weight_regular, align_right);
  const float fx0 = x - 1, fy0 = y - 3, fx1 = x - 1 + width + 2, fy1 = y - 3 + 11;
  if (in.mouse_x >= x && in.mouse_x <= x + width && in.mouse_y >= y - 5 && in.mouse_y <= y + 15) c.help_text = help;

  // A focused field that was not drawn last frame has gone from the screen.
  if (c.focus && c.focus != &text && c.focus_seen_frame < c.frame - 1) c.focus = nullptr;
  const bool clicked_in = in.drag == -1 && in.button_went_down && in.mouse_x >= x && in.mouse_x <= x + width &&
                          in.mouse_y >= y && in.mouse_y <= y + 8;
  // The field edits while it has the keyboard focus: given by a click, by Tab, or taken
  // as the page's main widget (auto-focus) while nothing else has it. A click elsewhere
  // takes it away, so that the keys of this frame reach the field that was clicked even
  // when it is drawn later.
  const FocusTurn turn = focus_turn(focus_text_field, label.empty() ? help : label, x, y, x + width, y + 8, true,
                                    clicked_in, auto_focus, arrows_horizontal);
  if (turn.focused && c.focus != &text) {
    c.caret = c.anchor = text.size();
    c.scroll = 0;
    c.selecting = false;
    c.focus = &text;
  } else if (!turn.focused && c.focus == &text) {
    c.focus = nullptr;
  }
  const bool focused = c.focus == &text;
  // An unfocused field shows the start of its text.
  size_t scroll = focused ? clamp_offset(text, c.scroll) : 0;

  if (focused) {
    c.focus_seen_frame = c.frame;
    c.caret = clamp_offset(text, c.caret);
    c.anchor = clamp_offset(text, c.anchor);
    Editor e{text, c.caret, c.anchor, max_length};
    // Mouse positions count from the first character shown.
    const float dx = in.mouse_x - x;
    if (clicked_in) {
      e.move(offset_at(text, dx, scroll), false);
      c.selecting = true;
    } else if (c.selecting && in.button_held) {
      c.caret = dx < 0 ? prev_char(text, scroll) : offset_at(text, dx, scroll);
    }
    if (!in.button_held) c.selecting = false;
    for (const KeyEvent& k : c.in.keys) e.key(k);
    c.in.keys.clear();  // the editor consumed them
    if (max_length > 0) cut_to_chars(text, max_length);
    c.caret = clamp_offset(text, c.caret);
    c.anchor = clamp_offset(text, c.anchor);
    scroll = c.scroll = scroll_for_caret(text, scroll, c.caret, width);
  }

  // The text box, the part of the text that fits in it, the selection and the caret.
  const float line[4][4] = {{fx0, fy0, fx1, fy0 + 1}, {fx0, fy1 - 1, fx1, fy1}, {fx0, fy0, fx0 + 1, fy1},
                            {fx1 - 1, fy0, fx1, fy1}};
  for (const auto& l : line) fill_rect(47, l[0], l[1], l[2], l[3]);
  const size_t shown_end = visible_end(text, scroll, width);
  auto shown_x = [&](size_t offset) {
    const size_t o = std::min(std::max(offset, scroll), shown_end);
    return x + span_width(text, scroll, o);
  };
  if (focused && c.caret != c.anchor) {
    const float s0 = shown_x(std::min(c.caret, c.anchor)), s1 = shown_x(std::max(c.caret, c.anchor));
    if (s1 > s0) fill_rect(colour_current_step, s0, fy0 + 1, s1, fy1 - 1, 0.35f);
  }
  draw_text(colour_step, x, y - 1, text.substr(scroll, shown_end - scroll), 0, weight_regular, align_left);
  if (focused && std::fmod(c.seconds, 1.0) < 0.6) {
    const float cx = shown_x(c.caret);
    fill_rect(colour_text, cx, fy0 + 1, cx + 1, fy1 - 1);
  }

  if (turn.ring) draw_focus_ring(fx0 - 1, fy0 - 1, fx1 + 1, fy1 + 1);

  WidgetNote n = focus_note("text_field", label.empty() ? help : label, x, y, x + width, y + 8, turn);
  n.clicked = clicked_in;
  draw_backend().note_widget(n);
  return text != before ? 1 : 0;
}
