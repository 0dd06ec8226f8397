#include "ui/widgets.h"

#include <cmath>
#include <cstdlib>

#include "core/app_state.h"
#include "ui/artwork_layout.h"
#include "ui/colour_table.h"
#include "ui/draw_backend.h"
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
                 bool enabled, bool clicked, bool pressed_now = false) {
  WidgetNote n;
  n.kind = kind;
  n.label = label;
  n.x0 = x0;
  n.y0 = y0;
  n.x1 = x1;
  n.y1 = y1;
  n.enabled = enabled;
  n.clicked = clicked;
  n.pressed_now = pressed_now;
  draw_backend().note_widget(n);
}

void draw_check_image(const IconRect& icon, float x, float y) {
  const float half = icon.size / 2.0f;
  draw_slot_pixels(slot_interface, icon.centre_x - half, icon.centre_y - half, icon.size, icon.size, x - half,
                   y + 3 - half, x + half, y + 3 + half);
}

int check_widget(const char* kind, float x, float y, bool ticked, const std::string& label, bool alt) {
  const WidgetLabel parts = split_widget_label(label);
  draw_check_image(alt ? kRadioBoxImage : kCheckBoxImage, x, y);
  if (ticked) draw_check_image(alt ? kRadioTickImage : kCheckTickImage, x, y);
  draw_beside(parts.left, x - 12, y, align_right);
  draw_beside(parts.right, x + 12, y, align_left);
  const bool over = mouse_in(x - 8, y - 4, x + 8, y + 12);
  if (over) ui().help_text = parts.help;
  const bool clicked = over && ui().in.button_went_down;
  note_widget(kind, label, x - 8, y - 4, x + 8, y + 12, true, clicked);
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

int bottom_button(float x, float y, int label, int align, int* out_width, bool enabled, int look) {
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
  const bool clicked = inside && in.button_went_down;
  note_widget("bottom_button", std::to_string(label), left, y, right, top, enabled, clicked);
  return clicked ? 1 : 0;
}

int choice_button(float x, float y, float width, bool on, int kind, const std::string& label,
                  const std::string& side_caption) {
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
  const bool clicked = over && in.button_went_down;
  bool pressed_now = false;
  if (clicked && !on && kind != 0) {
    // Show the press before the caller's action runs, which may take a while.
    draw_sprite(3, x, y, width);
    draw_text(colour, x, y - 3, text, 0, weight_regular, align_centre);
    draw_backend().present_now();
    pressed_now = true;
  }
  note_widget("choice_button", label, x - width / 2, y - 10, x + width / 2, y + 10, true, clicked, pressed_now);
  return clicked ? 1 : 0;
}

int check_box(float x, float y, int& bound, const std::string& label, bool alternative_look) {
  const int clicked = check_widget("check_box", x, y, bound != 0, label, alternative_look);
  if (clicked) bound = bound ? 0 : 1;
  return clicked;
}

int radio_item(float x, float y, int& bound, int value, const std::string& label) {
  const int clicked = check_widget("radio_item", x, y, bound == value, label, true);
  if (clicked && bound != value) bound = value;
  return clicked;
}
