#include "ui/world_map.h"

#include <algorithm>
#include <vector>

#include "engine/disk_space.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "ui/artwork_layout.h"
#include "ui/draw_backend.h"
#include "ui/keyboard_focus.h"
#include "ui/texture_slots.h"
#include "ui/ui_context.h"
#include "ui/widgets.h"

namespace {

WorldMapState g_map;

const float k_buttons_y = 122.0f;
const float k_select_none_end = 770.0f;
const float k_button_gap = 5.0f;

float tile_left(int column) { return k_map_left + k_map_tile * static_cast<float>(column); }
float tile_bottom(int row) { return k_map_bottom + k_map_tile * static_cast<float>(row); }

// A page rectangle showing texture pixels (x, y from the bottom) of the map.
DrawQuad map_quad(float x0, float y0, float x1, float y1, float src_x, float src_y, float src_w, float src_h) {
  float tw = 512, th = 1024;  // the map's texture while nothing is loaded (tests)
  if (const TextureSlot* t = texture_slot(slot_map)) {
    tw = static_cast<float>(t->texture_width);
    th = static_cast<float>(t->texture_height);
  }
  return page_quad(x0, y0, x1, y1, src_x / tw, src_y / th, (src_x + src_w) / tw, (src_y + src_h) / th);
}

// The rubber band: a closed outline, black at half opacity.
void draw_band(float x0, float y0, float x1, float y1) {
  const float black[4] = {0, 0, 0, 0.5f};
  const DrawQuad sides[4] = {map_quad(x0, y0, x1, y0 + 1, 0, 0, 0, 0), map_quad(x0, y1 - 1, x1, y1, 0, 0, 0, 0),
                             map_quad(x0, y0, x0 + 1, y1, 0, 0, 0, 0), map_quad(x1 - 1, y0, x1, y1, 0, 0, 0, 0)};
  draw_backend().quads(0, black, sides, 4);
}

void set_every_tile(TileGrid& grid, bool value) {
  for (int c = 0; c < tile_columns; ++c)
    for (int r = 0; r < tile_rows; ++r) grid.set(c, r, value);
}

// Whether the band from b0 to b1 on one axis covers the tile starting at t0 there. A band
// of no width on the axis (a press that did not move, a drag along a grid line) covers
// the tile that holds its position, a line going to the larger index as a press does.
bool band_covers(float b0, float b1, float t0, float map_end) {
  const float t1 = t0 + k_map_tile;
  if (b0 < b1) return b0 < t1 && t0 < b1;
  if (b0 < t0 || b0 > t1) return false;
  return b0 < t1 || b0 >= map_end;
}

// Tiles in reading order: the top row first, each row from the left.
int reading_index(int column, int row) { return (tile_rows - 1 - row) * tile_columns + column; }

// The first (or the last) tile with scenery in reading order; the map's first tile when
// the set has none.
void cursor_to_end(const TileGrid& available, bool last) {
  int best = -1;
  for (int c = 0; c < tile_columns; ++c)
    for (int r = 0; r < tile_rows; ++r) {
      if (!available.get(c, r)) continue;
      const int i = reading_index(c, r);
      if (best < 0 || (last ? i > best : i < best)) best = i;
    }
  if (best < 0) best = 0;
  g_map.cursor_row = tile_rows - 1 - best / tile_columns;
  g_map.cursor_column = best % tile_columns;
}

int clamp_to(int v, int count) { return v < 0 ? 0 : (v >= count ? count - 1 : v); }

}  // namespace

WorldMapState& world_map_state() { return g_map; }

void reset_world_map() { g_map = WorldMapState(); }

void reset_map_cursor() { g_map.cursor_column = g_map.cursor_row = -1; }

bool map_tile_at(float x, float y, int& column, int& row) {
  bool found = false;
  // Every tile is tested so that a shared edge goes to the last one that holds it.
  for (int c = 0; c < tile_columns; ++c)
    for (int r = 0; r < tile_rows; ++r) {
      const float x0 = tile_left(c), y0 = tile_bottom(r);
      if (x >= x0 && x <= x0 + k_map_tile && y >= y0 && y <= y0 + k_map_tile) {
        column = c;
        row = r;
        found = true;
      }
    }
  return found;
}

void world_map() {
  const UiInput& in = ui().in;
  TileGrid& selected = install_scope().selected_tiles;
  const TileGrid& available = install_manifest().available_tiles;
  bool changed = false;

  // The first tile pressed decides whether the drag selects or deselects.
  bool pressed_on_map = false;
  if (in.button_went_down) {
    g_map.anchor_x = in.mouse_x;
    g_map.anchor_y = in.mouse_y;
    int column, row;
    if (map_tile_at(in.mouse_x, in.mouse_y, column, row)) {
      g_map.paint_value = selected.get(column, row) ? 0 : 1;
      g_map.cursor_column = column;
      g_map.cursor_row = row;
      pressed_on_map = true;
    }
  }
  const float map_right = k_map_left + kMapWidth, map_top = k_map_bottom + kMapPanelHeight;

  // The keyboard: the map is its page's main widget and uses every arrow itself.
  const FocusTurn focus =
      focus_turn(focus_map, "world_map", k_map_left, k_map_bottom, map_right, map_top, true, pressed_on_map, true,
                 arrows_all);
  if (g_map.cursor_column < 0 || g_map.cursor_row < 0) cursor_to_end(available, false);
  if (focus.focused) {
    const FocusKeys& k = focus_keys();
    if (k.home) cursor_to_end(available, false);
    if (k.end) cursor_to_end(available, true);
    g_map.cursor_column = clamp_to(g_map.cursor_column + k.right - k.left, tile_columns);
    g_map.cursor_row = clamp_to(g_map.cursor_row + k.up - k.down, tile_rows);
    for (int i = 0; i < k.space; ++i) {
      selected.set(g_map.cursor_column, g_map.cursor_row, !selected.get(g_map.cursor_column, g_map.cursor_row));
      changed = true;
    }
  }

  // A press whose release came in the same frame (a touchpad tap, a click under load) is
  // never seen held, yet it paints as a held press would.
  const bool pressing = in.button_held || in.button_went_down;
  const float band_x0 = std::min(g_map.anchor_x, in.mouse_x), band_x1 = std::max(g_map.anchor_x, in.mouse_x);
  const float band_y0 = std::min(g_map.anchor_y, in.mouse_y), band_y1 = std::max(g_map.anchor_y, in.mouse_y);

  // The whole map is one batch: the plain panel under everything, then every tile the
  // set has scenery for, from the grid panel or the satellite panel.
  std::vector<DrawQuad> quads;
  quads.reserve(1 + tile_columns * tile_rows);
  quads.push_back(map_quad(k_map_left, k_map_bottom, k_map_left + kMapWidth, k_map_bottom + kMapPanelHeight, 0,
                           kMapPanelPlain, kMapWidth, kMapPanelHeight));
  for (int c = 0; c < tile_columns; ++c)
    for (int r = 0; r < tile_rows; ++r) {
      const float x0 = tile_left(c), y0 = tile_bottom(r), x1 = x0 + k_map_tile, y1 = y0 + k_map_tile;
      // A held drag repaints its band each frame; only a tile that really changes makes
      // the totals be computed again.
      const bool paint = g_map.paint_value != 0;
      if (pressing && band_covers(band_x0, band_x1, x0, map_right) && band_covers(band_y0, band_y1, y0, map_top) &&
          selected.get(c, r) != paint) {
        selected.set(c, r, paint);
        changed = true;
      }
      if (!available.get(c, r)) continue;
      const int panel = selected.get(c, r) ? kMapPanelSelected : kMapPanelAvailable;
      quads.push_back(map_quad(x0, y0, x1, y1, k_map_tile * static_cast<float>(c),
                               static_cast<float>(panel) + k_map_tile * static_cast<float>(r), k_map_tile,
                               k_map_tile));
    }
  const float white[4] = {1, 1, 1, 1};
  draw_backend().quads(texture_name(slot_map), white, quads.data(), static_cast<int>(quads.size()));
  if (pressing) draw_band(band_x0, band_y0, band_x1, band_y1);
  if (focus.ring) {
    draw_focus_ring(k_map_left, k_map_bottom, map_right, map_top);
    const float cx = tile_left(g_map.cursor_column), cy = tile_bottom(g_map.cursor_row);
    draw_focus_ring(cx, cy, cx + k_map_tile, cy + k_map_tile);
  }
  WidgetNote note = focus_note("world_map", "world_map", k_map_left, k_map_bottom, map_right, map_top, focus);
  note.clicked = pressed_on_map;
  note.cursor = g_map.cursor_column * tile_rows + g_map.cursor_row;
  draw_backend().note_widget(note);

  int none_width = 0;
  if (bottom_button(k_select_none_end, k_buttons_y, label_select_none, button_ends_at, &none_width, true,
                    look_normal)) {
    set_every_tile(selected, false);
    changed = true;
  }
  if (bottom_button(k_select_none_end - k_button_gap - static_cast<float>(none_width), k_buttons_y, label_select_all,
                    button_ends_at, nullptr, true, look_normal)) {
    set_every_tile(selected, true);
    changed = true;
  }
  if (changed) compute_install_totals();
}
