#include "ui/world_map.h"

#include <random>

#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "tests/ui_fixture.h"
#include "ui/keyboard_focus.h"
#include "ui/png_image.h"
#include "ui/widgets.h"

namespace {

// Three tiles have scenery: (10, 5), (11, 5) and (12, 5), of 100, 200 and 400 KB.
class WorldMapTest : public UiFixture {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    reset_world_map();
    reset_install_manifest();
    reset_install_scope();
    Image blank;  // an empty map texture, so its quads can be told from the others
    blank.width = 504;
    blank.height = 756;
    blank.rgba.assign(504 * 756 * 4, 255);
    load_texture_image(slot_map, "RESOURCE:map.png", blank);
    InstallManifest& m = install_manifest();
    const float sizes[] = {100, 200, 400};
    for (int i = 0; i < 3; ++i) {
      ManifestGroup g;
      ManifestEntry e;
      e.is_scenery_tile = true;
      e.tile_column = 10 + i;
      e.tile_row = 5;
      e.installed_size = sizes[i];
      e.expected_signature = "0123456789abcdef0123456789abcdef";
      e.found_signature = "NONE";
      g.entries.push_back(e);
      m.groups.push_back(g);
      m.available_tiles.set(10 + i, 5, true);
    }
  }
  void TearDown() override {
    reset_install_manifest();
    reset_install_scope();
    reset_world_map();
    UiFixture::TearDown();
  }
  static float centre_x(int column) { return k_map_left + 14 * column + 7; }
  static float centre_y(int row) { return k_map_bottom + 14 * row + 7; }
  // One frame of the map: the mouse at (x, y), the button going down, held or neither.
  void map_frame(float x, float y, bool press = false, bool held = false) {
    frame(x, y, press);
    ui().in.button_held = press || held;
    world_map();
  }
  void click(float x, float y) {
    map_frame(x, y, true);
    map_frame(x, y);
  }
  bool selected(int column, int row) { return install_scope().selected_tiles.get(column, row); }
  float needed() { return install_manifest().totals.total_installed_size; }
  // The quads drawn from the map's texture this frame.
  std::vector<const RecordedQuads*> map_batches() {
    std::vector<const RecordedQuads*> out;
    for (const RecordedQuads& q : rec.drawn)
      if (q.texture == texture_name(slot_map)) out.push_back(&q);
    return out;
  }
  // The map texture row (in texture pixels) a tile's quad was cut from, or -1.
  float texture_row_of(int column, int row) {
    for (const RecordedQuads* b : map_batches())
      for (const DrawQuad& q : b->quads)
        if (q.x[0] == k_map_left + 14 * column && q.y[0] == k_map_bottom + 14 * row && q.x[1] - q.x[0] == 14)
          return q.v[0] * 1024;
    return -1;
  }
};

TEST_F(WorldMapTest, ClicksFlipTilesAndTheNeededSizeFollows) {
  map_frame(0, 0);
  EXPECT_FLOAT_EQ(texture_row_of(10, 5), 252 + 14 * 5);  // available: the grid panel
  EXPECT_FLOAT_EQ(texture_row_of(9, 5), -1);             // no scenery: not drawn at all

  click(centre_x(11), centre_y(5));
  EXPECT_TRUE(selected(11, 5));
  EXPECT_FLOAT_EQ(needed(), 200);
  EXPECT_FLOAT_EQ(texture_row_of(11, 5), 504 + 14 * 5);  // selected: the satellite panel
  click(centre_x(11), centre_y(5));
  EXPECT_FALSE(selected(11, 5));
  EXPECT_FLOAT_EQ(needed(), 0);
  EXPECT_FLOAT_EQ(texture_row_of(11, 5), 252 + 14 * 5);

  // A tile without scenery flips a hidden flag and looks the same.
  click(centre_x(3), centre_y(2));
  EXPECT_TRUE(selected(3, 2));
  EXPECT_FLOAT_EQ(texture_row_of(3, 2), -1);
  EXPECT_FLOAT_EQ(needed(), 0);

  // The whole map is one batch: the plain panel under everything, then the three tiles.
  ASSERT_EQ(map_batches().size(), 1u);
  const RecordedQuads& batch = *map_batches()[0];
  ASSERT_EQ(batch.quads.size(), 4u);
  const DrawQuad& plain = batch.quads[0];
  EXPECT_FLOAT_EQ(plain.x[0], 248);
  EXPECT_FLOAT_EQ(plain.y[0], 150);
  EXPECT_FLOAT_EQ(plain.x[2], 752);
  EXPECT_FLOAT_EQ(plain.y[2], 402);
  EXPECT_FLOAT_EQ(plain.v[0], 0);
  EXPECT_FLOAT_EQ(plain.u[2], 504.0f / 512);
  EXPECT_FLOAT_EQ(plain.v[2], 252.0f / 1024);
  EXPECT_FLOAT_EQ(batch.quads[3].u[0], 14.0f * 12 / 512);

  // A tap: the press and its release reach one frame, so the button is never seen held.
  frame(centre_x(12), centre_y(5), true);
  ui().in.button_held = false;
  world_map();
  EXPECT_TRUE(selected(12, 5));
  EXPECT_FLOAT_EQ(needed(), 400);
  EXPECT_FLOAT_EQ(texture_row_of(12, 5), 504 + 14 * 5);
}

TEST_F(WorldMapTest, ADragPaintsTheStateOpposedToTheFirstTile) {
  click(centre_x(10), centre_y(5));
  ASSERT_TRUE(selected(10, 5));
  // Pressed on a selected tile: the drag deselects everything it sweeps.
  map_frame(centre_x(10), centre_y(5), true);
  map_frame(centre_x(12), centre_y(5) + 20, false, true);  // up into row 6
  EXPECT_FALSE(selected(10, 5));
  EXPECT_FALSE(selected(12, 6));
  // While held, the rubber band: four untextured half-black sides.
  bool band = false;
  for (const RecordedQuads& q : rec.drawn)
    band |= q.texture == 0 && q.quads.size() == 4 && q.rgba[3] == 0.5f && q.rgba[0] == 0;
  EXPECT_TRUE(band);
  // Moving back does not undo what the band covered.
  map_frame(centre_x(10), centre_y(5), false, true);
  map_frame(centre_x(10), centre_y(5));
  EXPECT_FALSE(selected(12, 6));

  // Pressed on an unselected tile, the drag selects; tiles already on stay on.
  install_scope().selected_tiles.set(11, 5, true);
  map_frame(centre_x(10), centre_y(5), true);
  map_frame(centre_x(12), centre_y(5), false, true);
  map_frame(centre_x(12), centre_y(5));
  EXPECT_TRUE(selected(10, 5) && selected(11, 5) && selected(12, 5));
  EXPECT_FLOAT_EQ(needed(), 700);
}

TEST_F(WorldMapTest, EdgesAndPressesOffTheMap) {
  int column = -1, row = -1;
  // The line between columns 10 and 11 and rows 5 and 6 belongs to the larger ones.
  ASSERT_TRUE(map_tile_at(k_map_left + 14 * 11, k_map_bottom + 14 * 6, column, row));
  EXPECT_EQ(column, 11);
  EXPECT_EQ(row, 6);
  ASSERT_TRUE(map_tile_at(k_map_left, k_map_bottom, column, row));  // the corner is inside
  EXPECT_EQ(column, 0);
  EXPECT_EQ(row, 0);
  EXPECT_FALSE(map_tile_at(k_map_left - 0.5f, k_map_bottom + 5, column, row));
  EXPECT_FALSE(map_tile_at(k_map_left + 14 * 36 + 0.5f, k_map_bottom + 5, column, row));

  // Before any press on a tile the paint value is 0: a drag from below the map deselects.
  install_scope().selected_tiles.set(12, 5, true);
  map_frame(centre_x(12), 100, true);
  EXPECT_TRUE(selected(12, 5));  // a press that does not move covers only its own point
  map_frame(centre_x(12), 100, false, true);
  map_frame(centre_x(12), centre_y(5), false, true);
  EXPECT_FALSE(selected(12, 5));
  map_frame(centre_x(12), centre_y(5));

  // A press on the line between two tiles takes its paint value from the larger column,
  // and selects that tile: the press is a band of no width, which covers the tile that
  // holds its point.
  install_scope().selected_tiles.set(10, 5, true);  // the smaller one is on, the larger off
  map_frame(k_map_left + 14 * 11, centre_y(5), true);
  EXPECT_EQ(world_map_state().paint_value, 1);
  EXPECT_TRUE(selected(11, 5));
  EXPECT_TRUE(selected(10, 5));  // the other side of the line keeps its state
  map_frame(0, 0);
  // A press below the map keeps the paint value and touches no tile.
  install_scope().selected_tiles.set(11, 5, false);
  click(300, 130);
  EXPECT_EQ(world_map_state().paint_value, 1);
  EXPECT_FALSE(selected(11, 5));
}

// A click anywhere on the map, grid lines included, toggles exactly the tile under it: on
// a line the larger column (or row) takes it, as for the paint value. Checked against a
// grid of its own at whole and half units (the mouse at scales 1 and 2), where about one
// click in seven lands on a line.
TEST_F(WorldMapTest, EveryClickOnTheMapTogglesTheTileUnderItLinesIncluded) {
  for (unsigned seed : {31u, 2024u, 7u}) {
    std::mt19937 random(seed);
    install_scope().selected_tiles = TileGrid();
    bool model[36][18] = {};
    int on_lines = 0;
    for (int i = 0; i < 1500; ++i) {
      const int half_x = static_cast<int>(random() % (504 * 2 + 1)), half_y = static_cast<int>(random() % (252 * 2 + 1));
      const float x = k_map_left + half_x / 2.0f, y = k_map_bottom + half_y / 2.0f;
      const int column = std::min(35, half_x / 28), row = std::min(17, half_y / 28);
      on_lines += half_x % 28 == 0 || half_y % 28 == 0;
      click(x, y);
      model[column][row] = !model[column][row];
      for (int c = 0; c < 36; ++c)
        for (int r = 0; r < 18; ++r)
          ASSERT_EQ(selected(c, r), model[c][r]) << "seed " << seed << " click " << i << " at " << x << ", " << y
                                                 << ": tile " << c << ", " << r;
    }
    EXPECT_GT(on_lines, 60) << seed;
  }

  // A drag along a line between two rows paints the row above it, from the tile pressed.
  install_scope().selected_tiles = TileGrid();
  const float line = k_map_bottom + 14 * 6;
  map_frame(centre_x(10), line, true);
  map_frame(centre_x(12), line, false, true);
  map_frame(centre_x(12), line);
  for (int c = 9; c <= 13; ++c) {
    EXPECT_EQ(selected(c, 6), c >= 10 && c <= 12) << c;
    EXPECT_FALSE(selected(c, 5)) << c;
  }
}

// The keyboard's cursor: it starts on the first tile with scenery in reading order, the
// arrows move it a tile at a time within the grid, Home and End jump, Space toggles the
// tile under it and the needed size follows; a click puts it on the clicked tile.
TEST_F(WorldMapTest, TheKeyboardCursorMovesTogglesAndFollowsClicks) {
  install_manifest().available_tiles.set(3, 15, true);  // a tile in a higher row, no group
  auto keys_frame = [&](std::vector<int> keys) {
    frame(0, 0);
    for (int k : keys) ui().in.keys.push_back(KeyEvent{k, 0, ""});
    world_map();
  };
  auto cursor_at = [&](int column, int row) {
    return world_map_state().cursor_column == column && world_map_state().cursor_row == row;
  };
  keys_frame({});
  EXPECT_TRUE(cursor_at(3, 15));  // the top row first
  EXPECT_EQ(focused_widget() != 0, true);  // the map takes the focus as its page's main widget
  keys_frame({key_end});
  EXPECT_TRUE(cursor_at(12, 5));
  keys_frame({key_space});
  EXPECT_TRUE(selected(12, 5));
  EXPECT_FLOAT_EQ(needed(), 400);
  keys_frame({key_left, key_left, key_space});
  EXPECT_TRUE(cursor_at(10, 5));
  EXPECT_FLOAT_EQ(needed(), 500);
  keys_frame({key_space, key_space});  // two presses in one frame: on and off again
  EXPECT_TRUE(selected(10, 5));
  keys_frame({key_home, key_up, key_up, key_up, key_left, key_left, key_left, key_left});
  EXPECT_TRUE(cursor_at(0, 17));  // held at the grid's edges
  // The cursor shows only once a key was pressed since the last click.
  bool cursor_drawn = false;
  for (const RecordedQuads& q : rec.drawn)
    for (const DrawQuad& d : q.quads) cursor_drawn |= q.texture == 0 && d.x[0] == k_map_left - 2 && d.y[0] == k_map_bottom + 14 * 17 - 2;
  EXPECT_TRUE(cursor_drawn);
  const WidgetNote* map = nullptr;
  for (const WidgetNote& w : rec.widgets)
    if (w.kind == "world_map") map = &w;
  ASSERT_TRUE(map);
  EXPECT_TRUE(map->focused && map->focus_ring);
  EXPECT_EQ(map->cursor, 0 * 18 + 17);
  click(centre_x(11), centre_y(5));
  EXPECT_TRUE(cursor_at(11, 5));
  EXPECT_FALSE(focus_ring_shown());
  keys_frame({key_right, key_space});
  EXPECT_TRUE(cursor_at(12, 5));
  EXPECT_FALSE(selected(12, 5));
}

TEST_F(WorldMapTest, SelectAllAndSelectNoneSetEveryFlag) {
  map_frame(0, 0);
  const WidgetNote* all = nullptr;
  const WidgetNote* none = nullptr;
  for (const WidgetNote& w : rec.widgets) {
    if (w.kind == "bottom_button" && w.label == std::to_string(label_select_all)) all = &w;
    if (w.kind == "bottom_button" && w.label == std::to_string(label_select_none)) none = &w;
  }
  ASSERT_TRUE(all && none);
  // SELECT NONE ends at 770; SELECT ALL ends 5 units left of its button.
  EXPECT_FLOAT_EQ(none->x1, 770);
  EXPECT_FLOAT_EQ(all->x1, 765 - (none->x1 - none->x0 + 20));
  EXPECT_FLOAT_EQ(all->y0, 122);
  const float all_x = (all->x0 + all->x1) / 2, none_x = (none->x0 + none->x1) / 2;

  // A press on SELECT ALL below the map keeps the paint value of the last press on a tile.
  world_map_state().paint_value = 0;
  click(all_x, 130);
  EXPECT_EQ(world_map_state().paint_value, 0);
  int on = 0;
  for (int c = 0; c < 36; ++c)
    for (int r = 0; r < 18; ++r) on += selected(c, r);
  EXPECT_EQ(on, 648);
  EXPECT_FLOAT_EQ(needed(), 700);
  // The totals are recomputed even when nothing changes.
  install_manifest().totals.total_installed_size = -1;
  click(all_x, 130);
  EXPECT_FLOAT_EQ(needed(), 700);
  click(none_x, 130);
  on = 0;
  for (int c = 0; c < 36; ++c)
    for (int r = 0; r < 18; ++r) on += selected(c, r);
  EXPECT_EQ(on, 0);
  EXPECT_FLOAT_EQ(needed(), 0);
}

}  // namespace
