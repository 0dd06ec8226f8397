#pragma once
// The indexed colour table every draw call takes its colour from.

struct Image;

enum {
  colour_count = 128,
  colour_text = 12,           // page title, body text, progress caption
  colour_modal_fill = 39,     // fill behind modal screens
  colour_label = 48,          // widget labels and modal texts
  colour_step = 50,           // step titles, text-field text, choice side captions
  colour_interface_tint = 57,  // sprites are modulated by it; always white
  colour_current_step = 73,
  colour_highlight = 91,  // highlighted widget labels (pulsing)
  colour_background_tint = 113,
};

struct ColourTable {
  float rgb[colour_count][3];
};

ColourTable& colours();
// Sets the start-up defaults (also the values of the swatches, until they are read).
void reset_colour_table();

// RGB floats 0..1; an index outside the table gives white.
const float* colour_rgb(int index);
void set_colour(int index, float r, float g, float b);

// Replaces colours 39 to 52 with the swatches painted in the interface image
// (decoded bottom row first); colour 44 becomes the average of 40 and 43.
// Returns 0, or 1 when the image is too small to hold them.
int take_interface_colours(const Image& interface_image);

// Recomputes the pulsing colours 89 to 94 from the elapsed time.
void update_pulsing_colours(double seconds);
