#pragma once
// The world scenery map: the whole earth in 36 x 18 tiles of 10 degrees, on which the
// user picks the scenery to install. Tiles the disc set has scenery for show a grid,
// selected ones the satellite picture; a click or a drag paints tiles on or off, and
// SELECT ALL / SELECT NONE set every tile. Each change of the selection recomputes the
// install totals in the same frame, so the disk-space panel below follows at once.

// Page units: the map's lower-left corner, its tiles' side and its size.
constexpr float k_map_left = 248.0f;
constexpr float k_map_bottom = 150.0f;
constexpr float k_map_tile = 14.0f;

// Draws the map and its two buttons, applies this frame's mouse to the selected tiles
// and recomputes the totals when the selection changed. Called every frame by the page.
void world_map();

// The tile whose square (edges included) holds the point; on a line shared by tiles the
// larger column, then the larger row, takes it. False off the map.
bool map_tile_at(float x, float y, int& column, int& row);

// What a drag remembers between frames: where the last press was, and whether the drag
// selects (1) or deselects (0) the tiles it sweeps; only the next press replaces them.
// And the keyboard's tile cursor: the arrows move it a tile at a time, Home and End take
// it to the first and the last tile with scenery in reading order (the top row first,
// each row from the left), Space selects or deselects the tile under it; a press of the
// mouse on a tile puts it there. It shows while the map has the keyboard focus.
struct WorldMapState {
  float anchor_x = 0, anchor_y = 0;
  int paint_value = 0;
  int cursor_column = -1, cursor_row = -1;  // -1: on the first tile with scenery
};
WorldMapState& world_map_state();
void reset_world_map();
// The cursor goes back to the first tile with scenery (a page that shows the map anew).
void reset_map_cursor();
