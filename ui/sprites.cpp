#include "ui/sprites.h"

#include <algorithm>

#include "core/alert.h"
#include "core/app_state.h"
#include "ui/artwork_layout.h"
#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/texture_slots.h"
#include "ui/text_render.h"

namespace {

const SpriteRect* find_sprite(int sprite) { return find_sprite_rect(sprite); }

const FrameSquare* find_frame(int style) { return find_frame_square(style); }

// Texture sizes when a slot is still empty, so coordinates stay right for the recorder.
void slot_size(int slot, float& w, float& h) {
  if (const TextureSlot* t = texture_slot(slot)) {
    w = static_cast<float>(t->texture_width);
    h = static_cast<float>(t->texture_height);
  } else if (slot == slot_button_atlas) {
    w = 1024;
    h = 128;
  } else if (slot == slot_interface) {
    w = 512;
    h = 512;
  } else {
    w = h = 1024;
  }
}

// Covers the destination with copies of the source rectangle, the last copy cut to fit.
void tile(int slot, float sx, float sy, float sw, float sh, float x0, float y0, float x1, float y1, float alpha) {
  if (sw <= 0 || sh <= 0) return;
  for (float y = y0; y < y1 - 0.001f; y += sh) {
    const float h = std::min(sh, y1 - y);
    for (float x = x0; x < x1 - 0.001f; x += sw) {
      const float w = std::min(sw, x1 - x);
      draw_slot_pixels(slot, sx, sy, w, h, x, y, x + w, y + h, alpha);
    }
  }
}

void bad_call(const char* text, int line) { alert(app().ui_mode, text, "", "", "", alert_crash, "butn", line); }

}  // namespace

void draw_slot_pixels(int slot, float src_x, float src_y, float src_w, float src_h, float x0, float y0, float x1,
                      float y1, float alpha) {
  float tw, th;
  slot_size(slot, tw, th);
  const float* tint = colour_rgb(colour_interface_tint);
  const float rgba[4] = {tint[0], tint[1], tint[2], alpha};
  draw_textured_rect(texture_name(slot), rgba, x0, y0, x1, y1, src_x / tw, src_y / th, (src_x + src_w) / tw,
                     (src_y + src_h) / th);
}

float sprite_height(int sprite) {
  const SpriteRect* s = find_sprite(sprite);
  return s ? static_cast<float>(s->height) : 0.0f;
}

// Left cap, middle tiled (the last tile cut), right cap, between left and right.
static void draw_three_slice(const SpriteRect& s, float left, float right, float bottom, float h, float alpha) {
  const float width = right - left, cap = static_cast<float>(s.cap);
  if (width <= 2 * cap) {
    // Too narrow for the middle: the two caps, each cut to half the width.
    const float half = width / 2;
    draw_slot_pixels(s.slot, s.x, s.y, half, h, left, bottom, left + half, bottom + h, alpha);
    draw_slot_pixels(s.slot, s.x + s.width - half, s.y, half, h, left + half, bottom, right, bottom + h, alpha);
    return;
  }
  draw_slot_pixels(s.slot, s.x, s.y, cap, h, left, bottom, left + cap, bottom + h, alpha);
  tile(s.slot, s.x + cap, s.y, s.width - 2 * cap, h, left + cap, bottom, right - cap, bottom + h, alpha);
  draw_slot_pixels(s.slot, s.x + s.width - cap, s.y, cap, h, right - cap, bottom, right, bottom + h, alpha);
}

void draw_sprite(int sprite, float cx, float cy, float width, float height_limit, float alpha) {
  const SpriteRect* s = find_sprite(sprite);
  if (!s) {
    bad_call("Bad BTN_frame1 call!", __LINE__);
    return;
  }
  float h = static_cast<float>(s->height);
  if (height_limit > 0 && height_limit < h) h = height_limit;
  draw_three_slice(*s, cx - width / 2, cx + width / 2, cy - s->height / 2.0f, h, alpha);
  SpriteNote note;
  note.sprite = sprite;
  note.cx = cx;
  note.cy = cy;
  note.width = width;
  note.height = h;
  note.alpha = alpha;
  draw_backend().note_sprite(note);
}

void draw_frame(int style, float x, float y, float width, float height, const std::string& caption, float alpha) {
  const FrameSquare* f = find_frame(style);
  if (!f) {
    bad_call("Bad BTN_frame2 call!", __LINE__);
    return;
  }
  const float l = f->border, r = f->border, b = f->border, t = f->border;
  const float sx = f->x, sy = f->y, n = f->size;
  const float x1 = x + width, y1 = y + height;
  const float in_w = n - l - r, in_h = n - b - t;
  // Corners.
  draw_slot_pixels(f->slot, sx, sy, l, b, x, y, x + l, y + b, alpha);
  draw_slot_pixels(f->slot, sx + n - r, sy, r, b, x1 - r, y, x1, y + b, alpha);
  draw_slot_pixels(f->slot, sx, sy + n - t, l, t, x, y1 - t, x + l, y1, alpha);
  draw_slot_pixels(f->slot, sx + n - r, sy + n - t, r, t, x1 - r, y1 - t, x1, y1, alpha);
  // Edges and the inside, tiled.
  tile(f->slot, sx + l, sy, in_w, b, x + l, y, x1 - r, y + b, alpha);
  tile(f->slot, sx + l, sy + n - t, in_w, t, x + l, y1 - t, x1 - r, y1, alpha);
  tile(f->slot, sx, sy + b, l, in_h, x, y + b, x + l, y1 - t, alpha);
  tile(f->slot, sx + n - r, sy + b, r, in_h, x1 - r, y + b, x1, y1 - t, alpha);
  tile(f->slot, sx + l, sy + b, in_w, in_h, x + l, y + b, x1 - r, y1 - t, alpha);
  if (!caption.empty()) {
    if (style == 14) {
      // The caption bar runs along the top edge inside the border.
      const SpriteRect& bar = kFrame14CaptionBar;
      draw_three_slice(bar, x + l, x1 - r, y1 - t - bar.height, static_cast<float>(bar.height), alpha);
      draw_text(43, x + l + 10, y1 - t - bar.height + 4, caption, 0, weight_bold, align_left);
    } else {
      draw_text(colour_label, x + kFrame23CaptionIndent, y1 - 16, caption, 0, weight_bold, align_left);
    }
  }
  FrameNote note;
  note.style = style;
  note.x = x;
  note.y = y;
  note.width = width;
  note.height = height;
  note.caption = caption;
  note.alpha = alpha;
  draw_backend().note_frame(note);
}

void draw_full_window_frame(bool caption_bar) {
  draw_frame(14, 0, 0, 800, 600, caption_bar ? " " : "", 1.0f);
}

void draw_progress_bar(float cx, float cy, float width, float f) {
  f = std::max(0.0f, std::min(1.0f, f));
  draw_sprite(4, cx, cy, width);
  const float left = cx - width / 2, fill = width * f;
  if (fill > 0) draw_sprite(5, left + fill / 2, cy, fill);
}
