#include "ui/widgets.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/app_state.h"
#include "ui/artwork_layout.h"
#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/keyboard_focus.h"
#include "ui/sprites.h"
#include "ui/text_render.h"
#include "ui/texture_slots.h"
#include "ui/ui_context.h"

namespace {

bool mouse_in(float x0, float y0, float x1, float y1) {
  const UiInput& in = ui().in;
  return in.mouse_x >= x0 && in.mouse_x <= x1 && in.mouse_y >= y0 && in.mouse_y <= y1;
}

const int* label_boundaries() {
  const int lang = app().language;
  return kLabelBoundaries[lang >= 0 && lang < kLanguageCount ? lang : 0];
}

size_t count_chars(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// Draws a label part beside a widget: one or two lines around the baseline y.
void draw_beside(const std::string& part, float x, float y, int align) {
  const std::vector<std::string> lines = label_lines(part);
  if (lines.size() == 1) {
    draw_text(colour_label, x, y, lines[0], 0, weight_regular, align);
  } else if (lines.size() == 2) {
    draw_text(colour_label, x, y + 5, lines[0], 0, weight_regular, align);
    draw_text(colour_label, x, y - 5, lines[1], 0, weight_regular, align);
  }
}

void note_widget(const char* kind, const std::string& label, float x0, float y0, float x1, float y1,
                 bool enabled, bool clicked, const FocusTurn& focus, bool pressed_now = false) {
  WidgetNote n = focus_note(kind, label, x0, y0, x1, y1, focus);
  n.enabled = enabled;
  n.clicked = clicked;
  n.pressed_now = pressed_now;
  draw_backend().note_widget(n);
}

// The widest line of a label part drawn beside a widget.
float beside_width(const std::string& part) {
  float w = 0;
  for (const std::string& line : label_lines(part)) w = std::max(w, measure_text(line));
  return w;
}

void draw_check_image(const IconRect& icon, float x, float y) {
  const float half = icon.size / 2.0f;
  draw_slot_pixels(slot_interface, icon.centre_x - half, icon.centre_y - half, icon.size, icon.size, x - half,
                   y + 3 - half, x + half, y + 3 + half);
}

int check_widget(const char* kind, int focus_kind, float x, float y, bool ticked, const std::string& label, bool alt,
                 const CheckBoxFocus& how) {
  const WidgetLabel parts = split_widget_label(label);
  draw_check_image(alt ? kRadioBoxImage : kCheckBoxImage, x, y);
  if (ticked) draw_check_image(alt ? kRadioTickImage : kCheckTickImage, x, y);
  draw_beside(parts.left, x - 12, y, align_right);
  draw_beside(parts.right, x + 12, y, align_left);
  const bool over = mouse_in(x - 8, y - 4, x + 8, y + 12);
  if (over) ui().help_text = parts.help;
  const bool mouse_click = over && ui().in.button_went_down;
  FocusTurn focus;
  if (how.list_id == 0) {
    focus = focus_turn(focus_kind, label, x - 8, y - 4, x + 8, y + 12, true, false, how.claim);
  } else {
    focus.id = how.list_id;  // the list takes the focus; its cursor is on one entry
    focus.focused = how.under_cursor;
    focus.ring = how.under_cursor && focus_ring_shown();
  }
  if (focus.ring) {
    const float two_lines = label_lines(parts.right).size() > 1 ? 5 : 0;
    draw_focus_ring(x - 10 - beside_width(parts.left) - (parts.left.empty() ? 0 : 12), y - 7 - two_lines,
                    x + (parts.right.empty() ? 10 : 14 + beside_width(parts.right)), y + 13 + two_lines);
  }
  const bool clicked = mouse_click || focus.pressed;
  WidgetNote n = focus_note(kind, label, x - 8, y - 4, x + 8, y + 12, focus);
  n.clicked = clicked;
  n.list_index = how.list_index;
  draw_backend().note_widget(n);
  return clicked ? 1 : 0;
}

}  // namespace

WidgetLabel split_widget_label(const std::string& label) {
  WidgetLabel out;
  std::string body = label;
  const size_t brace = label.rfind('{');
  if (brace != std::string::npos) {
    out.help = label.substr(brace + 1);
    body = label.substr(0, brace);
  }
  const size_t bar = body.rfind('|');
  if (bar == std::string::npos) {
    out.left = body;
  } else {
    out.left = body.substr(0, bar);
    out.right = body.substr(bar + 1);
  }
  return out;
}

std::vector<std::string> label_lines(const std::string& part) {
  if (part.empty()) return {};
  if (part[0] == '-') return {part.substr(1)};
  const size_t chars = count_chars(part);
  if (chars <= 12) return {part};
  // Byte offset of every character start, to measure distances in characters.
  const double middle = chars / 2.0;
  size_t best = std::string::npos;
  double best_distance = 0;
  size_t index = 0;
  for (size_t i = 0; i < part.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(part[i]);
    if ((c & 0xC0) == 0x80) continue;
    if (c == ' ' || c == '-' || c == '/') {
      const double d = std::fabs(static_cast<double>(index) - middle);
      if (best == std::string::npos || d < best_distance) {
        best = i;
        best_distance = d;
      }
    }
    ++index;
  }
  if (best == std::string::npos) return {part};
  if (part[best] == ' ') return {part.substr(0, best), part.substr(best + 1)};
  return {part.substr(0, best + 1), part.substr(best + 1)};
}

int bottom_label_width(int label) {
  if (label < 0 || label > 6) return 0;
  const int* b = label_boundaries();
  return b[label + 1] - b[label];
}

int bottom_button(float x, float y, int label, int align, int* out_width, bool enabled, int look,
                  bool claim_focus) {
  if (label < 0 || label > 6) label = 0;
  const int* b = label_boundaries();
  const float lw = static_cast<float>(b[label + 1] - b[label]);
  if (out_width) *out_width = static_cast<int>(std::lround(lw + 20));
  float left = x - lw / 2;
  if (align == button_starts_at) left = x;
  if (align == button_ends_at) left = x - lw;
  const float right = left + lw, top = y + 22;
  const UiInput& in = ui().in;
  const bool inside = mouse_in(left, y, right, top);
  const bool hover = enabled && inside;
  int sprite = 11;
  if (hover && in.button_held) sprite = 12;
  else if (!hover && look == look_disabled) sprite = 13;
  draw_sprite(sprite, left + lw / 2, y + 11 - 0.5f, lw + 20);

  LabelRow row = kLabelRowNormal;
  if (hover) row = in.button_held ? kLabelRowPressed : kLabelRowHover;
  draw_slot_pixels(slot_button_atlas, b[label], row.v0, lw, row.v1 - row.v0, left, y, right, top,
                   look == look_disabled ? 0.5f : 1.0f);
  const bool mouse_click = inside && in.button_went_down;
  const FocusTurn focus =
      focus_turn(focus_bottom_button, std::to_string(label), left, y, right, top, enabled, false, claim_focus);
  // The ring goes round the button's artwork, which reaches past the label.
  if (focus.ring) draw_focus_ring(left - 10, y - 5, right + 10, y + 26);
  const bool clicked = mouse_click || focus.pressed;
  note_widget("bottom_button", std::to_string(label), left, y, right, top, enabled, clicked, focus);
  return clicked ? 1 : 0;
}

int choice_button(float x, float y, float width, bool on, int kind, const std::string& label,
                  const std::string& side_caption, bool claim_focus) {
  const WidgetLabel parts = split_widget_label(label);
  const std::string text = !parts.left.empty() && parts.left[0] == '-' ? parts.left.substr(1) : parts.left;
  if (width <= 0) width = measure_text(text) + 21;
  draw_sprite(2, x, y, width);
  if (on) draw_sprite(3, x, y, width);
  const int colour = kind == 2 && on ? colour_highlight : colour_label;
  draw_text(colour, x, y - 3, text, 0, weight_regular, align_centre);
  if (side_caption != "-") draw_text(colour_step, x + width / 2 + 10, y + 7, side_caption, 500, weight_regular, align_left);

  const UiInput& in = ui().in;
  const bool over = in.drag == -1 && std::fabs(in.mouse_x - x) <= width / 2 && std::fabs(in.mouse_y - y) <= 10;
  if (over) ui().help_text = parts.help;
  const bool mouse_click = over && in.button_went_down;
  const FocusTurn focus = focus_turn(focus_choice_button, label, x - width / 2, y - 10, x + width / 2, y + 10, true,
                                     false, claim_focus);
  if (focus.ring) draw_focus_ring(x - width / 2 - 1, y - 14, x + width / 2 + 1, y + 14);
  const bool clicked = mouse_click || focus.pressed;
  bool pressed_now = false;
  if (clicked && !on && kind != 0) {
    // Show the press before the caller's action runs, which may take a while.
    draw_sprite(3, x, y, width);
    draw_text(colour, x, y - 3, text, 0, weight_regular, align_centre);
    draw_backend().present_now();
    pressed_now = true;
  }
  note_widget("choice_button", label, x - width / 2, y - 10, x + width / 2, y + 10, true, clicked, focus,
              pressed_now);
  return clicked ? 1 : 0;
}

int check_box(float x, float y, int& bound, const std::string& label, bool alternative_look,
              const CheckBoxFocus& focus) {
  const int clicked = check_widget("check_box", focus_check_box, x, y, bound != 0, label, alternative_look, focus);
  if (clicked) bound = bound ? 0 : 1;
  return clicked;
}

int radio_item(float x, float y, int& bound, int value, const std::string& label) {
  const int clicked = check_widget("radio_item", focus_radio_item, x, y, bound == value, label, true, CheckBoxFocus());
  if (clicked && bound != value) bound = value;
  return clicked;
}
