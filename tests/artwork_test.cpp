// The pictures compiled into the program must match the layout the widgets draw
// from: sizes, swatch colours, sprite and frame squares, label cells, map panels.

#include "io/embedded_resources.h"
#include "ui/artwork_layout.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;  // rows top first
  // Pixel by column and row counted from the bottom, as the layout counts them.
  const unsigned char* at(int x, int y_from_bottom) const {
    return &rgba[(size_t(height - 1 - y_from_bottom) * width + x) * 4];
  }
  int alpha(int x, int y) const { return at(x, y)[3]; }
};

Picture decode(const char* name) {
  Picture p;
  const EmbeddedResource* r = find_embedded_resource(name);
  if (!r) {
    ADD_FAILURE() << name << " is not compiled into the program";
    return p;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, r->begin, size_t(r->end - r->begin))) {
    ADD_FAILURE() << name << " is not a PNG: " << image.message;
    return p;
  }
  image.format = PNG_FORMAT_RGBA;
  p.rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, p.rgba.data(), 0, nullptr)) {
    ADD_FAILURE() << name << " does not decode: " << image.message;
    return p;
  }
  p.width = int(image.width);
  p.height = int(image.height);
  return p;
}

std::string atlas_name(int language) { return std::string("elements_") + kLanguageNames[language] + ".png"; }

bool same_pixel(const unsigned char* a, const unsigned char* b) { return std::equal(a, a + 4, b); }

// Highest alpha inside columns x0..x1-1 and rows y0..y1-1 (from the bottom).
int max_alpha(const Picture& p, int x0, int x1, int y0, int y1) {
  int m = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) m = std::max(m, p.alpha(x, y));
  return m;
}

TEST(Artwork, PicturesHaveTheirSizes) {
  struct Expected {
    std::string name;
    int w, h;
  } expected[] = {{"interface.png", 512, 512}, {"background.png", 800, 600}, {"map.png", 504, 756},
                  {"icon.png", 256, 256}};
  for (const Expected& e : expected) {
    Picture p = decode(e.name.c_str());
    EXPECT_EQ(p.width, e.w) << e.name;
    EXPECT_EQ(p.height, e.h) << e.name;
  }
  for (int l = 0; l < kLanguageCount; ++l) {
    Picture p = decode(atlas_name(l).c_str());
    EXPECT_EQ(p.width, 1024) << atlas_name(l);
    EXPECT_EQ(p.height, 128) << atlas_name(l);
  }
}

// The colour table of this release, written out independently of the layout
// header so a typo in either shows up.
TEST(Artwork, SwatchPixelsHoldTheColourTable) {
  const struct {
    int index, x, y, r, g, b;
  } swatches[] = {
      {39, 319, 155, 68, 85, 105},  {40, 319, 147, 97, 97, 92},    {41, 319, 139, 23, 40, 60},
      {42, 319, 131, 142, 143, 139}, {43, 319, 123, 255, 255, 255}, {45, 319, 115, 241, 241, 241},
      {46, 319, 107, 23, 40, 60},   {47, 319, 99, 112, 118, 128},  {48, 319, 91, 49, 57, 71},
      {49, 395, 115, 226, 226, 226}, {50, 319, 83, 55, 60, 69},    {51, 319, 75, 51, 59, 71},
      {52, 319, 67, 144, 226, 187},
  };
  Picture p = decode("interface.png");
  ASSERT_EQ(p.width, 512);
  for (const auto& s : swatches) {
    const unsigned char* px = p.at(s.x, s.y);
    EXPECT_EQ(px[0], s.r) << "colour " << s.index;
    EXPECT_EQ(px[1], s.g) << "colour " << s.index;
    EXPECT_EQ(px[2], s.b) << "colour " << s.index;
    EXPECT_EQ(px[3], 255) << "colour " << s.index;
  }
  // Colour 44 is the average of the swatches of 40 and 43.
  const unsigned char* c40 = p.at(319, 147);
  const unsigned char* c43 = p.at(319, 123);
  EXPECT_DOUBLE_EQ((c40[0] + c43[0]) / 2.0, 176.0);
  EXPECT_DOUBLE_EQ((c40[2] + c43[2]) / 2.0, 173.5);
  // The header's table agrees with the picture.
  for (const ColourSwatch& sw : kColourSwatches)
    for (const ArtColour& c : kColourTable)
      if (c.index == sw.index) {
        const unsigned char* px = p.at(sw.x, sw.y);
        EXPECT_TRUE(px[0] == c.r && px[1] == c.g && px[2] == c.b) << "colour " << c.index;
      }
  bool has73 = false;
  for (const ArtColour& c : kColourTable)
    if (c.index == 73) has73 = c.r == 51 && c.g == 51 && c.b == 204;
  EXPECT_TRUE(has73) << "colour 73 is 0.2, 0.2, 0.8";
}

// Rectangles the widgets sample must lie inside their picture and never overlap,
// or one piece of artwork would show up inside another.
TEST(Artwork, LayoutRectanglesAreInsideAndApart) {
  struct Rect {
    int slot, x, y, w, h;
    std::string what;
  };
  std::vector<Rect> rects;
  for (const SpriteRect& s : kSpriteRects)
    rects.push_back({s.slot, s.x, s.y, s.width, s.height, "sprite " + std::to_string(s.sprite)});
  for (const FrameSquare& f : kFrameSquares)
    rects.push_back({f.slot, f.x, f.y, f.size, f.size, "frame " + std::to_string(f.style)});
  rects.push_back({kSlotInterface, kFrame14CaptionBar.x, kFrame14CaptionBar.y, kFrame14CaptionBar.width,
                   kFrame14CaptionBar.height, "caption bar"});
  for (IconRect i : {kCheckBoxImage, kCheckTickImage, kRadioBoxImage, kRadioTickImage})
    rects.push_back({kSlotInterface, i.centre_x - i.size / 2, i.centre_y - i.size / 2, i.size, i.size, "icon"});
  for (const ColourSwatch& s : kColourSwatches)
    rects.push_back({kSlotInterface, s.x - kSwatchHalfSize, s.y - kSwatchHalfSize, 2 * kSwatchHalfSize + 1,
                     2 * kSwatchHalfSize + 1, "swatch " + std::to_string(s.index)});
  for (int l = 0; l < kLanguageCount; ++l)
    rects.push_back({kSlotLabelAtlas, 0, 0, kLabelBoundaries[l][kLabelCount], kLabelRowNormal.v1,
                     std::string("labels ") + kLanguageNames[l]});
  for (size_t i = 0; i < rects.size(); ++i) {
    const Rect& a = rects[i];
    int w = a.slot == kSlotInterface ? kInterfaceSize : kAtlasWidth;
    int h = a.slot == kSlotInterface ? kInterfaceSize : kAtlasHeight;
    EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.w <= w && a.y + a.h <= h) << a.what;
    for (size_t j = i + 1; j < rects.size(); ++j) {
      const Rect& b = rects[j];
      if (a.slot != b.slot || (a.what.rfind("labels", 0) == 0 && b.what.rfind("labels", 0) == 0)) continue;
      bool apart = a.x + a.w <= b.x || b.x + b.w <= a.x || a.y + a.h <= b.y || b.y + b.h <= a.y;
      EXPECT_TRUE(apart) << a.what << " overlaps " << b.what;
    }
  }
}

// Three-slice sprites tile their middle and frames tile their inside, so those
// parts must repeat without a seam: every column of a middle tile alike, the
// whole inside of a frame one pixel value.
TEST(Artwork, SpritesAndFramesTileWithoutSeams) {
  Picture iface = decode("interface.png");
  Picture atlas = decode(atlas_name(0).c_str());
  ASSERT_EQ(iface.width, 512);
  ASSERT_EQ(atlas.width, 1024);
  for (const SpriteRect& s : kSpriteRects) {
    const Picture& p = s.slot == kSlotInterface ? iface : atlas;
    EXPECT_GT(max_alpha(p, s.x, s.x + s.width, s.y, s.y + s.height), 200) << "sprite " << s.sprite << " is empty";
    int seams = 0;
    for (int y = s.y; y < s.y + s.height; ++y)
      for (int x = s.x + s.cap + 1; x < s.x + s.width - s.cap; ++x)
        if (!same_pixel(p.at(x, y), p.at(s.x + s.cap, y))) ++seams;
    EXPECT_EQ(seams, 0) << "sprite " << s.sprite << " has an uneven middle";
    // The caps carry the rounded ends: the outermost columns are not the middle's.
    EXPECT_LT(p.alpha(s.x, s.y + s.height / 2), p.alpha(s.x + s.cap, s.y + s.height / 2)) << "sprite " << s.sprite;
  }
  for (const FrameSquare& f : kFrameSquares) {
    const Picture& p = f.slot == kSlotInterface ? iface : atlas;
    const unsigned char* inside = p.at(f.x + f.border, f.y + f.border);
    int seams = 0;
    for (int y = f.y + f.border; y < f.y + f.size - f.border; ++y)
      for (int x = f.x + f.border; x < f.x + f.size - f.border; ++x)
        if (!same_pixel(p.at(x, y), inside)) ++seams;
    EXPECT_EQ(seams, 0) << "frame " << f.style << " has an uneven inside";
    EXPECT_GT(inside[3], 200) << "frame " << f.style << " inside is see-through";
    EXPECT_FALSE(same_pixel(p.at(f.x, f.y + f.size / 2), inside)) << "frame " << f.style << " has no edge";
    // Edges are uniform along their length, so they tile too.
    for (int d = 0; d < f.border; ++d)
      for (int y = f.y + f.border; y < f.y + f.size - f.border; ++y)
        EXPECT_TRUE(same_pixel(p.at(f.x + d, y), p.at(f.x + d, f.y + f.border))) << "frame " << f.style;
  }
}

TEST(Artwork, CheckBoxAndTickImagesAreDrawn) {
  Picture p = decode("interface.png");
  ASSERT_EQ(p.width, 512);
  for (IconRect box : {kCheckBoxImage, kRadioBoxImage}) {
    int x0 = box.centre_x - box.size / 2, y0 = box.centre_y - box.size / 2;
    // A filled, opaque box with a light middle.
    const unsigned char* middle = p.at(box.centre_x, box.centre_y);
    EXPECT_EQ(middle[3], 255);
    EXPECT_GT(middle[0], 200);
    EXPECT_EQ(p.alpha(x0, y0 + box.size - 1), 0) << "corner should be clear";
  }
  for (IconRect tick : {kCheckTickImage, kRadioTickImage}) {
    int x0 = tick.centre_x - tick.size / 2, y0 = tick.centre_y - tick.size / 2;
    EXPECT_GT(max_alpha(p, x0, x0 + tick.size, y0, y0 + tick.size), 240);
    // The tick is drawn over the box, so most of it must be see-through.
    int clear = 0;
    for (int y = y0; y < y0 + tick.size; ++y)
      for (int x = x0; x < x0 + tick.size; ++x) clear += p.alpha(x, y) == 0;
    EXPECT_GT(clear, tick.size * tick.size / 3);
  }
}

// Ink (alpha above a threshold) of one label cell in one row band.
struct Ink {
  int count = 0, left = 1 << 30, right = -1;
};

Ink cell_ink(const Picture& p, int x0, int x1, LabelRow row) {
  Ink ink;
  for (int y = row.v0; y < row.v1; ++y)
    for (int x = x0; x < x1; ++x)
      if (p.alpha(x, y) > 128) {
        ++ink.count;
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
      }
  return ink;
}

TEST(Artwork, EveryLabelIsPaintedCentredInItsCell) {
  for (int l = 0; l < kLanguageCount; ++l) {
    Picture p = decode(atlas_name(l).c_str());
    ASSERT_EQ(p.width, 1024);
    const int* b = kLabelBoundaries[l];
    for (int i = 0; i < kLabelCount; ++i)
      for (LabelRow row : {kLabelRowNormal, kLabelRowHover, kLabelRowPressed}) {
        Ink ink = cell_ink(p, b[i], b[i + 1], row);
        EXPECT_GT(ink.count, 40) << kLanguageNames[l] << " label " << i << " row " << row.v0;
        // Clear of both boundaries, so filtering never mixes two labels.
        EXPECT_EQ(max_alpha(p, b[i], b[i] + 1, row.v0, row.v1), 0) << kLanguageNames[l] << " label " << i;
        EXPECT_EQ(max_alpha(p, b[i + 1] - 1, b[i + 1], row.v0, row.v1), 0) << kLanguageNames[l] << " label " << i;
        double centre = (ink.left + ink.right + 1) / 2.0, cell_centre = (b[i] + b[i + 1]) / 2.0;
        EXPECT_NEAR(centre, cell_centre, 2.5) << kLanguageNames[l] << " label " << i;
      }
  }
}

TEST(Artwork, AtlasIsClearOutsideLabelsAndPieces) {
  for (int l = 0; l < kLanguageCount; ++l) {
    Picture p = decode(atlas_name(l).c_str());
    ASSERT_EQ(p.width, 1024);
    int end = kLabelBoundaries[l][kLabelCount];
    const FrameSquare* frame = find_frame_square(23);
    const SpriteRect* first_body = find_sprite_rect(13);
    // Right of the last label, below the button bodies and left of the frame square.
    EXPECT_EQ(max_alpha(p, end, frame->x, 0, first_body->y), 0) << kLanguageNames[l];
    // The single rows between the bands, and everything above the normal band
    // left of the button bodies.
    EXPECT_EQ(max_alpha(p, 0, end, kLabelRowHover.v1, kLabelRowPressed.v0), 0) << kLanguageNames[l];
    EXPECT_EQ(max_alpha(p, 0, end, kLabelRowPressed.v1, kLabelRowNormal.v0), 0) << kLanguageNames[l];
    EXPECT_EQ(max_alpha(p, 0, first_body->x, kLabelRowNormal.v1, kAtlasHeight), 0) << kLanguageNames[l];
  }
}

TEST(Artwork, LabelRowsLookDifferent) {
  Picture p = decode(atlas_name(0).c_str());
  ASSERT_EQ(p.width, 1024);
  const int* b = kLabelBoundaries[0];
  auto colour_sum = [&](LabelRow row) {
    long sum[3] = {0, 0, 0};
    for (int y = row.v0; y < row.v1; ++y)
      for (int x = b[2]; x < b[3]; ++x)
        for (int k = 0; k < 3; ++k) sum[k] += p.at(x, y)[k] * p.alpha(x, y) / 255;
    return std::vector<long>(sum, sum + 3);
  };
  std::vector<long> normal = colour_sum(kLabelRowNormal), hover = colour_sum(kLabelRowHover);
  // The hover label is warm: much less blue than the white normal label.
  EXPECT_LT(hover[2] * 10, normal[2] * 8);
  // The pressed label sits one row lower than the normal one within its band.
  Ink n = cell_ink(p, b[2], b[3], kLabelRowNormal), pr = cell_ink(p, b[2], b[3], kLabelRowPressed);
  EXPECT_GT(n.count, 0);
  EXPECT_GT(pr.count, 0);
  auto lowest_row = [&](LabelRow row) {
    for (int y = row.v0; y < row.v1; ++y)
      if (max_alpha(p, b[2], b[3], y, y + 1) > 128) return y - row.v0;
    return -1;
  };
  EXPECT_EQ(lowest_row(kLabelRowPressed), lowest_row(kLabelRowNormal) - 1);
}

// Colour of the map picture at a longitude and latitude in one panel.
const unsigned char* map_pixel(const Picture& p, int panel_row, double lon, double lat) {
  int x = int((lon + 180) * 1.4), y = int((lat + 90) * 1.4);
  return p.at(x, panel_row + y);
}

TEST(Artwork, MapPanelsShowTheWorld) {
  Picture p = decode("map.png");
  ASSERT_EQ(p.width, kMapWidth);
  ASSERT_EQ(p.height, kMapHeight);
  const struct {
    double lon, lat;
    bool land;
  } places[] = {
      {23, 2, true},      // Congo basin
      {-60, -8, true},    // Amazon
      {105, 62, true},    // Siberia
      {134, -25, true},   // central Australia
      {5, -85, true},     // Antarctica, south of its coast
      {-25, -5, false},   // Atlantic
      {-145, 5, false},   // Pacific
      {75, -25, false},   // Indian Ocean
      {51, 42, false},    // the Caspian Sea, a hole in Eurasia
  };
  for (const auto& place : places) {
    // Plain panel: land white on grey.
    const unsigned char* plain = map_pixel(p, kMapPanelPlain, place.lon, place.lat);
    if (place.land) EXPECT_GT(plain[0], 235) << place.lon << "," << place.lat;
    else EXPECT_LT(plain[0], 200) << place.lon << "," << place.lat;
    // Satellite panel: sea is dark blue.
    const unsigned char* sat = map_pixel(p, kMapPanelSelected, place.lon, place.lat);
    bool blue_sea = sat[2] > sat[0] + 30 && sat[0] < 60;
    EXPECT_EQ(blue_sea, !place.land) << place.lon << "," << place.lat;
  }
  // Land that crosses the date line is drawn on both sides of the map.
  EXPECT_GT(map_pixel(p, kMapPanelPlain, 178, 67)[0], 235);   // Chukotka, east of 180
  EXPECT_GT(map_pixel(p, kMapPanelPlain, -176, 66)[0], 235);  // and west of it
}

TEST(Artwork, MapTilePanelsCarryGridLines) {
  Picture p = decode("map.png");
  ASSERT_EQ(p.height, kMapHeight);
  // In mid-ocean the plain panel is flat, while both tile panels change at every
  // tile edge.
  const int row = 9 * kMapTileSize + 6;  // 4 degrees north: the open Pacific
  for (int panel : {kMapPanelPlain, kMapPanelAvailable, kMapPanelSelected}) {
    int edges = 0;
    for (int c = 1; c < 8; ++c) {  // mid-Pacific columns
      const unsigned char* edge = p.at(c * kMapTileSize, panel + row);
      const unsigned char* inside = p.at(c * kMapTileSize + 6, panel + row);
      edges += std::abs(edge[0] - inside[0]) + std::abs(edge[2] - inside[2]) > 20;
    }
    if (panel == kMapPanelPlain) EXPECT_EQ(edges, 0);
    else EXPECT_EQ(edges, 7) << "panel " << panel;
  }
  // The three panels are different pictures.
  EXPECT_FALSE(same_pixel(p.at(20, kMapPanelPlain + 100), p.at(20, kMapPanelAvailable + 100)));
  EXPECT_FALSE(same_pixel(p.at(20, kMapPanelAvailable + 100), p.at(20, kMapPanelSelected + 100)));
}

TEST(Artwork, BackgroundIsOpaqueAndNotFlat) {
  Picture p = decode("background.png");
  ASSERT_EQ(p.width, 800);
  int lowest = 255;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) lowest = std::min(lowest, p.alpha(x, y));
  EXPECT_EQ(lowest, 255);
  // Sky above (blue), darker ground at the bottom where the buttons sit.
  const unsigned char* sky = p.at(400, 520);
  const unsigned char* ground = p.at(400, 5);
  EXPECT_GT(sky[2], sky[0]);
  EXPECT_LT(ground[0] + ground[1] + ground[2], sky[0] + sky[1] + sky[2]);
}

}  // namespace
