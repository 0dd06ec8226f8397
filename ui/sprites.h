#pragma once
// Stretchable sprites and tiled frames cut from the interface image and the button atlas.

#include <string>

// Draws a three-slice sprite centred on (cx, cy) with the given total width and the
// sprite's own height (cut to `height_limit` rows when that is positive and smaller).
// An unknown sprite number raises the crash Alert "Bad BTN_frame1 call!".
void draw_sprite(int sprite, float cx, float cy, float width, float height_limit = 0, float alpha = 1.0f);
// Height of a sprite in page units, 0 for an unknown number.
float sprite_height(int sprite);

// Draws a border-preserving frame with an optional caption bar. An unknown style raises
// the crash Alert "Bad BTN_frame2 call!".
void draw_frame(int style, float x, float y, float width, float height, const std::string& caption,
                float alpha = 1.0f);
// Frame style 14 over the whole page, with or without the caption bar.
void draw_full_window_frame(bool caption_bar);

// Draws a rectangle of a texture slot's pixels (x, y from the bottom, in texture
// pixels) at a page rectangle, modulated by the interface tint.
void draw_slot_pixels(int slot, float src_x, float src_y, float src_w, float src_h, float x0, float y0, float x1,
                      float y1, float alpha = 1.0f);

// Progress bar as the wizard frame shows it: trough centred on (cx, cy) with `width`,
// the fill from its left end over fraction f of it.
void draw_progress_bar(float cx, float cy, float width, float f);
