#pragma once
// The indexed colour table every draw call takes its colour from.

#include "ui/artwork_layout.h"

struct Image;

enum {
  colour_count = kColourCount,
  colour_text = kColourText,
  colour_modal_fill = kColourModalFill,
  colour_label = kColourWidgetLabel,
  colour_step = kColourStep,
  colour_interface_tint = kColourInterfaceTint,  // sprites are modulated by it; always white
  colour_current_step = kColourCurrentStep,
  colour_highlight = kColourHighlight,  // pulsing
  colour_background_tint = kColourBackgroundTint,
  colour_swatch_white = kColourSwatchWhite,
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
