#pragma once
// Where things sit in the program's artwork: colour swatches, sprites, frame squares,
// check boxes and the button label atlas. Pixel rows are counted from the bottom.
// (Interim: these tables move to the artwork's own layout header.)

struct SwatchValue {
  int colour;
  int x, row;
  int r, g, b;
};

// Colours 39..52 but 44, which is the average of 40 and 43.
constexpr SwatchValue k_swatches[] = {
    {39, 319, 155, 68, 85, 105},   {40, 319, 147, 97, 97, 92},    {41, 319, 139, 23, 40, 60},
    {42, 319, 131, 142, 143, 139}, {43, 319, 123, 255, 255, 255}, {45, 319, 115, 241, 241, 241},
    {46, 319, 107, 23, 40, 60},    {47, 319, 99, 112, 118, 128},  {48, 319, 91, 49, 57, 71},
    {49, 395, 115, 226, 226, 226}, {50, 319, 83, 55, 60, 69},     {51, 319, 75, 51, 59, 71},
    {52, 319, 67, 144, 226, 187},
};

struct SpriteRect {
  int sprite;
  int slot;
  int x, y;  // lower-left corner in the texture, rows from the bottom
  int width, height;
  int cap;
};

constexpr SpriteRect k_sprites[] = {
    {2, 359, 304, 486, 52, 26, 10},  {3, 359, 304, 459, 52, 26, 10},  {4, 359, 112, 161, 28, 16, 10},
    {5, 359, 83, 161, 28, 16, 10},   {9, 359, 262, 133, 51, 26, 10},  {11, 362, 926, 96, 48, 31, 16},
    {12, 362, 975, 96, 48, 31, 16},  {13, 362, 877, 96, 48, 31, 16},
};

struct FrameSquare {
  int style;
  int slot;
  int x, y, size;
  int border_left, border_right, border_bottom, border_top;
};

constexpr FrameSquare k_frames[] = {
    {23, 362, 982, 2, 41, 1, 1, 1, 1},
    {14, 359, 1, 358, 100, 9, 9, 9, 14},
};

// Check box and tick images, 18 x 18, by centre pixel.
constexpr int k_check_size = 18;
constexpr int k_check_box[2][2] = {{148, 187}, {92, 132}};   // normal, alternative look
constexpr int k_check_tick[2][2] = {{148, 206}, {92, 151}};

// Button label atlas: per language the x where each of the seven labels starts,
// the eighth value ending the last.
constexpr int k_label_boundaries[6][8] = {
    {0, 56, 145, 246, 357, 489, 605, 691},  {0, 91, 172, 284, 477, 695, 874, 958},
    {0, 96, 181, 256, 422, 611, 762, 859},  {0, 75, 144, 211, 346, 422, 501, 616},
    {0, 54, 212, 312, 480, 673, 840, 921},  {0, 60, 156, 269, 421, 606, 789, 892},
};
// Rows of the label atlas: normal, hover, pressed (v from the bottom, 22 rows each).
constexpr int k_label_row_normal = 46;
constexpr int k_label_row_hover = 0;
constexpr int k_label_row_pressed = 23;
constexpr int k_label_row_height = 22;

// Caption bar of style 14: a three-slice 14 pixels high with 4-pixel caps.
constexpr SpriteRect kFrame14CaptionBar = {0, 359, 1, 340, 100, 14, 4};
constexpr int kFrame23CaptionIndent = 10;
