#include "ui/colour_table.h"

#include <cmath>

#include "ui/artwork_layout.h"
#include "ui/png_image.h"

namespace {

ColourTable g_colours;

void average_colour_44() {
  for (int c = 0; c < 3; ++c) g_colours.rgb[44][c] = (g_colours.rgb[40][c] + g_colours.rgb[43][c]) / 2;
}

void set255(int i, float r, float g, float b) { set_colour(i, r / 255.0f, g / 255.0f, b / 255.0f); }

}  // namespace

ColourTable& colours() { return g_colours; }

void reset_colour_table() {
  for (int i = 0; i < colour_count; ++i) set_colour(i, 1, 1, 1);
  set_colour(colour_text, 0, 0, 0);
  set_colour(colour_current_step, 0.2f, 0.2f, 0.8f);
  for (const ArtColour& c : kColourTable) set255(c.index, c.r, c.g, c.b);
  average_colour_44();
  update_pulsing_colours(0.0);
}

const float* colour_rgb(int index) {
  static const float white[3] = {1, 1, 1};
  if (index < 0 || index >= colour_count) return white;
  return g_colours.rgb[index];
}

void set_colour(int index, float r, float g, float b) {
  if (index < 0 || index >= colour_count) return;
  g_colours.rgb[index][0] = r;
  g_colours.rgb[index][1] = g;
  g_colours.rgb[index][2] = b;
}

int take_interface_colours(const Image& image) {
  for (const ColourSwatch& s : kColourSwatches)
    if (s.x >= image.width || s.y >= image.height) return 1;
  for (const ColourSwatch& s : kColourSwatches) {
    const unsigned char* p = image.pixel(s.x, s.y);
    set255(s.index, p[0], p[1], p[2]);
  }
  average_colour_44();
  return 0;
}

void update_pulsing_colours(double seconds) {
  // Each pulses between a dim and a bright shade once every two seconds, out of phase.
  static const float dim[6][3] = {{0.55f, 0.10f, 0.10f}, {0.10f, 0.45f, 0.15f}, {0.15f, 0.25f, 0.75f},
                                  {0.60f, 0.50f, 0.05f}, {0.55f, 0.55f, 0.55f}, {0.70f, 0.35f, 0.05f}};
  static const float bright[6][3] = {{1.00f, 0.35f, 0.30f}, {0.35f, 0.90f, 0.40f}, {0.45f, 0.65f, 1.00f},
                                     {1.00f, 0.90f, 0.30f}, {1.00f, 1.00f, 1.00f}, {1.00f, 0.65f, 0.20f}};
  for (int i = 0; i < 6; ++i) {
    const double s = 0.5 + 0.5 * std::sin(seconds * 3.14159265358979 + i * 0.5);
    float rgb[3];
    for (int c = 0; c < 3; ++c) rgb[c] = static_cast<float>(dim[i][c] + (bright[i][c] - dim[i][c]) * s);
    set_colour(89 + i, rgb[0], rgb[1], rgb[2]);
  }
}
