#pragma once
// Text drawn from the two embedded TrueType fonts through per-font glyph atlases.

#include <cstddef>
#include <cstdint>
#include <string>

enum TextWeight { weight_regular = 0, weight_bold = 1, weight_fixed6 = 2, weight_fixed8 = 3, weight_fixed10 = 4 };
enum TextAlign { align_left = 0, align_centre = 1, align_right = 2 };
enum { font_regular = 0, font_bold = 1 };
enum { font_ok = 0, font_no_library = 1, font_unreadable = 2, font_bad_file = 3, font_bad_size = 4 };

constexpr float k_no_wrap = 9999.0f;
constexpr float k_line_step = 10.0f;
constexpr float k_font_size = 10.5f;

// Draws UTF-8 text in a Colour Index at page position (x, y) (the baseline of the first
// line). Lines wrap only when 0 < wrap_width < 9999, and then each line moves y down by
// 10. Returns y after the last line.
float draw_text(int colour, float x, float y, const std::string& text, float wrap_width, int weight,
                int align);
// Width of the text in the regular font: the unrounded sum of its advances.
float measure_text(const std::string& text);

// (Re)loads a font from a file or "RESOURCE:" name at `size` points, 72 dpi; the
// horizontal scale follows the language (0.9 for Russian). Failures raise a fatal Alert.
int font_load(int font, const std::string& file, float size);
// Advance of one code point in the font, in page units (loads the font if needed).
float glyph_advance(int font, uint32_t code_point);

struct FontMetrics {
  float line_height = 0, descent = 0, ascent = 0;
  int atlas_rows = 0;
  size_t glyph_count = 0;
};
FontMetrics font_metrics(int font);
// Bytes of glyph atlas over both fonts.
size_t glyph_atlas_bytes();

// Decodes the character at `pos` and moves `pos` to the next byte that is not a
// continuation byte. `pos` must be inside the text.
uint32_t next_utf8(const std::string& text, size_t& pos);

// Frees both fonts (tests; the next draw loads them again).
void reset_text_render();
