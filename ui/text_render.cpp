#include "ui/text_render.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <unordered_map>
#include <vector>

#include "core/alert.h"
#include "core/app_state.h"
#include "io/mapped_file.h"
#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/localization.h"
#include "ui/texture_slots.h"
#include "ui/ui_context.h"

namespace {

constexpr int k_atlas_width = 1024;

struct Glyph {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // atlas rectangle; y1 is the glyph's top row
  // Where FreeType put the bitmap, in raster pixels: its left column right of the pen,
  // its top row above the baseline. The metrics' bearings are those of the outline
  // before the transform and rounding, and would misplace it by a pixel.
  int left = 0, top = 0;
  float advance = 0;  // page units, at the design size
  bool empty = true;
};

struct Font {
  bool tried = false;  // a load was attempted (a failed one is not retried every frame)
  std::string file;
  std::string bytes;
  FT_Face face = nullptr;  // the design size: advances and line metrics
  // Bitmaps are rendered at the size the page is drawn at, so text stays sharp when the
  // page is scaled; at scale 1 the design-size face renders them itself.
  FT_Face raster = nullptr;
  float raster_scale = 1.0f;  // the size `raster` renders at, over the design size
  float made_for = 1.0f;      // the page scale the glyphs were made for
  float size = k_font_size;
  float scale_x = 1.0f;
  float line_height = 0, descent = 0, ascent = 0;
  std::vector<unsigned char> atlas;  // k_atlas_width columns, top glyph row first
  int atlas_rows = 0;
  bool dirty = false;
  int cursor_x = 0, cursor_y = 0, shelf_height = 0;
  std::unordered_map<uint32_t, Glyph> glyphs;
};

struct TextState {
  FT_Library library = nullptr;
  Font fonts[2];
  size_t atlas_bytes = 0;
  int call = 0;
  unsigned char gamma[256];
  TextState() {
    for (int v = 0; v < 256; ++v)
      gamma[v] = static_cast<unsigned char>(std::lround(255.0 * std::pow(v / 255.0, 0.6)));
  }
};

TextState& state() {
  static TextState s;
  return s;
}

const char* const k_font_files[2] = {"RESOURCE:DejaVuSans.ttf", "RESOURCE:DejaVuSansBold.ttf"};
const int k_font_slots[2] = {slot_font_regular, slot_font_bold};

void fatal(const std::string& l1, const std::string& l2, const std::string& l3, int kind, int line) {
  alert(app().ui_mode, l1, l2, l3, "", kind, "OGL_font", line);
}

// The glyphs and atlas made so far; they are made again on demand.
void forget_glyphs(Font& f) {
  state().atlas_bytes -= f.atlas.size();
  f.atlas.clear();
  f.atlas_rows = 0;
  f.dirty = false;
  f.cursor_x = f.cursor_y = f.shelf_height = 0;
  f.glyphs.clear();
}

void free_font(Font& f) {
  if (f.raster) FT_Done_Face(f.raster);
  if (f.face) FT_Done_Face(f.face);
  forget_glyphs(f);
  f = Font();
}

void set_transform(FT_Face face, float scale_x) {
  FT_Matrix m;
  m.xx = static_cast<FT_Fixed>(scale_x * 0x10000L);
  m.xy = 0;
  m.yx = 0;
  m.yy = 0x10000L;
  FT_Set_Transform(face, &m, nullptr);
}

// Renders the bitmaps for a page drawn `scale` window pixels to the unit. Without a face of
// that size the design-size bitmaps are magnified instead.
void set_raster_scale(Font& f, float scale) {
  if (f.raster) FT_Done_Face(f.raster);
  f.raster = nullptr;
  f.raster_scale = 1.0f;
  f.made_for = scale;
  forget_glyphs(f);
  if (!f.face || scale == 1.0f) return;
  FT_Face face = nullptr;
  if (FT_New_Memory_Face(state().library, reinterpret_cast<const FT_Byte*>(f.bytes.data()),
                         static_cast<FT_Long>(f.bytes.size()), 0, &face) != 0)
    return;
  if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(f.size * scale * 64)), 72, 72) != 0) {
    FT_Done_Face(face);
    return;
  }
  set_transform(face, f.scale_x);
  f.raster = face;
  f.raster_scale = scale;
}

Font& font_for(int index) {
  Font& f = state().fonts[index == font_bold ? 1 : 0];
  if (!f.tried) font_load(index == font_bold ? 1 : 0, k_font_files[index == font_bold ? 1 : 0], k_font_size);
  const float scale = ui().page_scale;
  if (f.face && scale > 0 && scale != f.made_for) set_raster_scale(f, scale);
  return f;
}

// Makes room for `rows` atlas rows: the smallest power of two that holds them.
void grow_atlas(Font& f, int rows) {
  if (f.atlas_rows >= rows) return;
  int n = 1;
  while (n < rows) n <<= 1;
  state().atlas_bytes += static_cast<size_t>(n - f.atlas_rows) * k_atlas_width;
  f.atlas.resize(static_cast<size_t>(n) * k_atlas_width, 0);
  f.atlas_rows = n;
}

const Glyph& load_glyph(Font& f, uint32_t cp) {
  Glyph& g = f.glyphs[cp];
  const int render = f.raster ? 0 : FT_LOAD_RENDER;
  if (!f.face || FT_Get_Char_Index(f.face, cp) == 0 || FT_Load_Char(f.face, cp, render | FT_LOAD_TARGET_LIGHT) != 0)
    return g;  // drawn as nothing, advance 0
  g.advance = f.face->glyph->metrics.horiAdvance / 64.0f * f.scale_x;
  if (f.raster && FT_Load_Char(f.raster, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) return g;
  const FT_GlyphSlot slot = (f.raster ? f.raster : f.face)->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  const int w = static_cast<int>(bm.width), h = static_cast<int>(bm.rows);
  if (w > k_atlas_width) return g;
  if (f.cursor_x + w > k_atlas_width) {
    f.cursor_y += f.shelf_height;
    f.cursor_x = 0;
    f.shelf_height = 0;
  }
  if (h > f.shelf_height) f.shelf_height = h;
  grow_atlas(f, f.cursor_y + f.shelf_height);
  for (int r = 0; r < h; ++r) {
    const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
    unsigned char* dst = &f.atlas[static_cast<size_t>(f.cursor_y + r) * k_atlas_width + f.cursor_x];
    for (int c = 0; c < w; ++c) dst[c] = state().gamma[src[c]];
  }
  f.dirty = true;
  g.x1 = f.cursor_x;
  g.y1 = f.cursor_y;
  g.x2 = f.cursor_x + w;
  g.y2 = f.cursor_y + h;
  f.cursor_x += w;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.empty = w == 0 || h == 0;
  return g;
}

float advance_of(Font& f, uint32_t cp) {
  if (cp == '\t') return 0.0f;
  auto it = f.glyphs.find(cp);
  if (it != f.glyphs.end()) return it->second.advance;
  return load_glyph(f, cp).advance;
}

float fixed_advance(int weight) {
  switch (weight) {
    case weight_fixed6: return 6.0f;
    case weight_fixed8: return 8.0f;
    case weight_fixed10: return 10.0f;
    default: return 0.0f;
  }
}

bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

struct LineSpan {
  size_t end = 0;      // first byte after the line's characters
  size_t next = 0;     // where the walk stopped
  float width = 0;
  bool at_break = false;  // stopped at CR or LF
};

// Walks one line from `pos` as the wrapping rules say.
LineSpan walk_line(Font& f, const std::string& text, size_t pos, float wrap, bool wrapping, float fixed) {
  LineSpan line;
  float sum = 0, sum_before_space = 0;
  size_t last_space = std::string::npos;
  size_t i = pos;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      line.at_break = true;
      break;
    }
    const size_t start = i;
    const uint32_t cp = next_utf8(text, i);
    if (cp == ' ') {
      last_space = start;
      sum_before_space = sum;
    }
    const float advance = advance_of(f, cp);  // also puts the glyph in the atlas
    if (cp != '\t') sum += fixed > 0 ? fixed : std::floor(advance + 0.5f);
    if (wrapping && sum >= wrap) break;
  }
  line.next = i;
  // A line that ends at the text's end, at a line break, or that has no space, ends
  // where the walk stopped; a long word is cut there.
  if (i >= text.size() || line.at_break || last_space == std::string::npos) {
    line.end = i;
    line.width = sum;
  } else {
    line.end = last_space;
    line.width = sum_before_space;
  }
  return line;
}

void upload_atlas(int index, Font& f) {
  if (!f.dirty || f.atlas_rows == 0) return;
  load_alpha_texture(k_font_slots[index], "scratch_array-fonts", k_atlas_width, f.atlas_rows, f.atlas.data());
  f.dirty = false;
}

void draw_line_glyphs(int index, Font& f, const std::string& text, size_t from, size_t to, float x, float y,
                      float fixed, const float rgba[4]) {
  std::vector<DrawQuad> quads;
  const UiContext& c = ui();
  const float s = c.page_scale;
  // Bitmap pixels per window pixel: 1 unless the scaled face could not be made.
  const float magnify = s / f.raster_scale;
  // The pen and the baseline on whole window pixels: texels then map one to one.
  const float baseline = std::floor((y + c.page_origin_y) * s + 0.5f);
  float pen = x;
  const float rows = static_cast<float>(f.atlas_rows);
  for (size_t i = from; i < to;) {
    const uint32_t cp = next_utf8(text, i);
    if (cp == '\t') continue;
    advance_of(f, cp);
    const Glyph& g = f.glyphs[cp];
    if (!g.empty) {
      const float x0 = std::floor((pen + c.page_origin_x) * s + 0.5f) + g.left * magnify;
      const float y1 = baseline + g.top * magnify;
      const float x1 = x0 + (g.x2 - g.x1) * magnify, y0 = y1 - (g.y2 - g.y1) * magnify;
      const float u0 = g.x1 / static_cast<float>(k_atlas_width), u1 = g.x2 / static_cast<float>(k_atlas_width);
      const float vb = g.y2 / rows, vt = g.y1 / rows;  // atlas rows run top-down
      quads.push_back(DrawQuad{{x0, x1, x1, x0}, {y0, y0, y1, y1}, {u0, u1, u1, u0}, {vb, vb, vt, vt}});
    }
    pen += fixed > 0 ? fixed : std::floor(g.advance + 0.5f);
  }
  if (!quads.empty())
    draw_backend().quads(texture_name(k_font_slots[index]), rgba, quads.data(), static_cast<int>(quads.size()));
}

}  // namespace

uint32_t next_utf8(const std::string& text, size_t& pos) {
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  uint32_t cp;
  int more;
  if (lead < 0x80) {
    cp = lead;
    more = 0;
  } else if ((lead & 0xE0) == 0xC0) {
    cp = lead & 0x1F;
    more = 1;
  } else if ((lead & 0xF0) == 0xE0) {
    cp = lead & 0x0F;
    more = 2;
  } else if ((lead & 0xF8) == 0xF0) {
    cp = lead & 0x07;
    more = 3;
  } else {
    cp = 0xFFFD;  // a stray continuation byte or an invalid lead
    more = 0;
  }
  size_t i = pos + 1;
  for (int k = 0; k < more && i < text.size() && is_continuation(static_cast<unsigned char>(text[i])); ++k, ++i)
    cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
  while (i < text.size() && is_continuation(static_cast<unsigned char>(text[i]))) ++i;
  pos = i;
  return cp;
}

int font_load(int index, const std::string& file, float size) {
  TextState& s = state();
  if (!s.library && FT_Init_FreeType(&s.library) != 0) {
    s.library = nullptr;
    fatal(localize("Unable to initialize freetype."), "", "", alert_crash, __LINE__);
    state().fonts[index].tried = true;
    return font_no_library;
  }
  Font& f = s.fonts[index];
  free_font(f);
  f.tried = true;
  f.file = file;
  f.size = size;
  {
    MappedFile source(file);
    if (source.has_view()) f.bytes.assign(source.begin(), source.size());
  }
  if (f.bytes.empty()) {
    fatal(localize("Error: unable to make font from file"), file,
          localize("(We could not open the file and read its contents.)"),
          alert_quit, __LINE__);
    return font_unreadable;
  }
  if (FT_New_Memory_Face(s.library, reinterpret_cast<const FT_Byte*>(f.bytes.data()),
                         static_cast<FT_Long>(f.bytes.size()), 0, &f.face) != 0) {
    f.face = nullptr;
    fatal(localize("Error: unable to make font from file"), file, localize("(Free-type could not process the .ttf file.)"),
          alert_quit, __LINE__);
    return font_bad_file;
  }
  if (FT_Set_Char_Size(f.face, 0, static_cast<FT_F26Dot6>(size * 64), 72, 72) != 0) {
    FT_Done_Face(f.face);
    f.face = nullptr;
    fatal(localize("Error: unable to set char size for font"), file, "", alert_quit, __LINE__);
    return font_bad_size;
  }
  f.scale_x = app().language == 3 ? 0.9f : 1.0f;
  set_transform(f.face, f.scale_x);
  set_raster_scale(f, ui().page_scale);
  const float em = f.face->units_per_EM;
  f.line_height = f.face->height * size / em;
  f.descent = -f.face->descender * size / em;
  f.ascent = f.face->ascender * size / em;
  return font_ok;
}

float glyph_advance(int index, uint32_t cp) { return advance_of(font_for(index), cp); }

FontMetrics font_metrics(int index) {
  Font& f = font_for(index);
  FontMetrics m;
  m.line_height = f.line_height;
  m.descent = f.descent;
  m.ascent = f.ascent;
  m.atlas_rows = f.atlas_rows;
  m.glyph_count = f.glyphs.size();
  return m;
}

size_t glyph_atlas_bytes() { return state().atlas_bytes; }

float measure_text(const std::string& text) {
  Font& f = font_for(font_regular);
  float sum = 0;
  for (size_t i = 0; i < text.size();) sum += advance_of(f, next_utf8(text, i));
  return sum;
}

float draw_text(int colour, float x, float y, const std::string& text, float wrap, int weight, int align) {
  if (text.empty()) return y;
  const int index = weight == weight_regular ? font_regular : font_bold;
  Font& f = font_for(index);
  const float fixed = fixed_advance(weight);
  const bool wrapping = wrap > 0 && wrap < k_no_wrap;
  const float* c = colour_rgb(colour);
  const float rgba[4] = {c[0], c[1], c[2], 1.0f};
  const int call = ++state().call;
  size_t pos = 0;
  while (pos < text.size()) {
    const LineSpan line = walk_line(f, text, pos, wrap, wrapping, fixed);
    upload_atlas(index, f);
    float start = x;
    if (align == align_centre) start -= line.width / 2;
    if (align == align_right) start -= line.width;
    draw_line_glyphs(index, f, text, pos, line.end, start, y, fixed, rgba);

    TextNote note;
    note.call = call;
    note.text = text.substr(pos, line.end - pos);
    note.x = x;
    note.y = y;
    note.line_x = start;
    note.line_y = y;
    note.width = line.width;
    note.colour = colour;
    for (int k = 0; k < 3; ++k) note.rgb[k] = c[k];
    note.weight = weight;
    note.align = align;
    note.wrap = wrap;
    draw_backend().note_text(note);

    if (wrapping) y -= k_line_step;
    pos = line.end;
    if (line.at_break) {
      // A CR LF pair is one line break.
      if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ++pos;
      ++pos;
    }
    while (pos < text.size() && text[pos] == ' ') ++pos;
  }
  return y;
}

void reset_text_render() {
  TextState& s = state();
  for (Font& f : s.fonts) free_font(f);
  s.atlas_bytes = 0;
  s.call = 0;
}
