// make_artwork: paints every picture the installer shows and writes them as PNG files.
//
//   build/make_artwork --out=resources/ [--fonts=DIR] [--land=tools/land_outlines.txt]
//
// Writes interface.png, elements_<Language>.png (six), background.png, map.png and
// icon.png into the --out folder.  Label text is set with FreeType from DejaVuSans.ttf and
// DejaVuSansBold.ttf: read from --fonts when given, else the copies compiled into
// the program.  The world maps are drawn from the land outlines of --land (made
// from Natural Earth by tools/land_from_topojson.js).  Run it from the source
// folder after changing ui/artwork_layout.h, then commit the pictures.
//
// Everything is drawn procedurally: polygons are filled even-odd by a scanline
// rasteriser with vertical supersampling and exact horizontal coverage, and
// composited in premultiplied float RGBA.

#include "io/embedded_resources.h"
#include "ui/artwork_layout.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------
// Colours, canvases and masks.

struct RGBA {
  float r, g, b, a;
};

RGBA rgb(int r, int g, int b, float a = 1.0f) { return {r / 255.f, g / 255.f, b / 255.f, a}; }

RGBA mix(RGBA p, RGBA q, double t) {
  float s = float(std::clamp(t, 0.0, 1.0));
  return {p.r + (q.r - p.r) * s, p.g + (q.g - p.g) * s, p.b + (q.b - p.b) * s,
          p.a + (q.a - p.a) * s};
}

RGBA scaled(RGBA c, double k) {
  return {float(std::clamp(c.r * k, 0.0, 1.0)), float(std::clamp(c.g * k, 0.0, 1.0)),
          float(std::clamp(c.b * k, 0.0, 1.0)), c.a};
}

double smoothstep(double e0, double e1, double x) {
  double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Premultiplied RGBA, rows top first (as in the PNG file).
struct Canvas {
  int w = 0, h = 0;
  std::vector<float> px;
  Canvas(int w_, int h_) : w(w_), h(h_), px(size_t(w_) * h_ * 4, 0.f) {}
  float* at(int x, int y) { return &px[(size_t(y) * w + x) * 4]; }
  const float* at(int x, int y) const { return &px[(size_t(y) * w + x) * 4]; }
};

// Coverage 0..1 per pixel.
struct Mask {
  int w = 0, h = 0;
  std::vector<float> v;
  Mask(int w_, int h_) : w(w_), h(h_), v(size_t(w_) * h_, 0.f) {}
  float& at(int x, int y) { return v[size_t(y) * w + x]; }
  float at(int x, int y) const { return v[size_t(y) * w + x]; }
  float get(int x, int y) const {  // zero outside
    return (x < 0 || y < 0 || x >= w || y >= h) ? 0.f : at(x, y);
  }
};

using Shader = std::function<RGBA(double x, double y)>;

Shader solid(RGBA c) {
  return [c](double, double) { return c; };
}

// Vertical gradient between rows y0 and y1 (clamped outside).
Shader vgrad(double y0, RGBA c0, double y1, RGBA c1) {
  return [=](double, double y) { return mix(c0, c1, (y - y0) / (y1 - y0)); };
}

void blend_pixel(Canvas& c, int x, int y, RGBA col, float cover) {
  float a = col.a * cover;
  if (a <= 0.f) return;
  float* p = c.at(x, y);
  p[0] = col.r * a + p[0] * (1 - a);
  p[1] = col.g * a + p[1] * (1 - a);
  p[2] = col.b * a + p[2] * (1 - a);
  p[3] = a + p[3] * (1 - a);
}

void paint(Canvas& c, const Mask& m, const Shader& shader, float opacity = 1.f) {
  for (int y = 0; y < c.h; ++y)
    for (int x = 0; x < c.w; ++x) {
      float cover = m.at(x, y) * opacity;
      if (cover > 0.f) blend_pixel(c, x, y, shader(x + 0.5, y + 0.5), std::min(cover, 1.f));
    }
}

void fill(Canvas& c, const Shader& shader) {
  for (int y = 0; y < c.h; ++y)
    for (int x = 0; x < c.w; ++x) blend_pixel(c, x, y, shader(x + 0.5, y + 0.5), 1.f);
}

// Copies src into dst at (x, y), replacing what was there.
void blit(Canvas& dst, const Canvas& src, int x, int y) {
  for (int j = 0; j < src.h; ++j)
    for (int i = 0; i < src.w; ++i) std::memcpy(dst.at(x + i, y + j), src.at(i, j), 4 * sizeof(float));
}

Mask mask_max(const Mask& a, const Mask& b) {
  Mask m = a;
  for (size_t i = 0; i < m.v.size(); ++i) m.v[i] = std::max(a.v[i], b.v[i]);
  return m;
}

Mask mask_minus(const Mask& a, const Mask& b) {  // a and not b
  Mask m = a;
  for (size_t i = 0; i < m.v.size(); ++i) m.v[i] = a.v[i] * (1.f - b.v[i]);
  return m;
}

Mask mask_times(const Mask& a, const Mask& b) {  // a and b
  Mask m = a;
  for (size_t i = 0; i < m.v.size(); ++i) m.v[i] = a.v[i] * b.v[i];
  return m;
}

Mask mask_shifted(const Mask& a, int dx, int dy) {
  Mask m(a.w, a.h);
  for (int y = 0; y < a.h; ++y)
    for (int x = 0; x < a.w; ++x) m.at(x, y) = a.get(x - dx, y - dy);
  return m;
}

// Three box-blur passes of the given radius on each axis (close to a Gaussian).
Mask blurred(const Mask& src, int radius) {
  Mask a = src, b(src.w, src.h);
  float norm = 1.f / (2 * radius + 1);
  for (int pass = 0; pass < 3; ++pass) {
    for (int y = 0; y < a.h; ++y)
      for (int x = 0; x < a.w; ++x) {
        float s = 0;
        for (int k = -radius; k <= radius; ++k) s += a.get(x + k, y);
        b.at(x, y) = s * norm;
      }
    for (int y = 0; y < a.h; ++y)
      for (int x = 0; x < a.w; ++x) {
        float s = 0;
        for (int k = -radius; k <= radius; ++k) s += b.get(x, y + k);
        a.at(x, y) = s * norm;
      }
  }
  return a;
}

// ---------------------------------------------------------------------------
// Paths and the scanline rasteriser.

struct Pt {
  double x, y;
};
using Ring = std::vector<Pt>;
using Path = std::vector<Ring>;

void add_span(std::vector<float>& row, double a, double b, float weight) {
  double w = double(row.size());
  a = std::clamp(a, 0.0, w);
  b = std::clamp(b, 0.0, w);
  if (b <= a) return;
  int ia = int(a), ib = int(b);
  if (ia == ib) {
    row[ia] += float(b - a) * weight;
    return;
  }
  row[ia] += float(ia + 1 - a) * weight;
  for (int i = ia + 1; i < ib; ++i) row[i] += weight;
  if (ib < int(row.size())) row[ib] += float(b - ib) * weight;
}

// Even-odd fill of all rings together: 8 sample lines per pixel row, each with
// exact horizontal coverage, so edges come out anti-aliased.
Mask rasterise(const Path& path, int w, int h) {
  constexpr int kSub = 8;
  struct Edge {
    double x0, y0, x1, y1;
  };
  std::vector<Edge> edges;
  double ymin = 1e30, ymax = -1e30;
  for (const Ring& r : path)
    for (size_t i = 0; i < r.size(); ++i) {
      Pt p = r[i], q = r[(i + 1) % r.size()];
      if (p.y == q.y) continue;
      edges.push_back({p.x, p.y, q.x, q.y});
      ymin = std::min({ymin, p.y, q.y});
      ymax = std::max({ymax, p.y, q.y});
    }
  Mask m(w, h);
  if (edges.empty()) return m;
  int row0 = std::max(0, int(std::floor(ymin))), row1 = std::min(h - 1, int(std::ceil(ymax)));
  std::vector<float> row(w);
  std::vector<double> xs;
  for (int py = row0; py <= row1; ++py) {
    std::fill(row.begin(), row.end(), 0.f);
    for (int s = 0; s < kSub; ++s) {
      double y = py + (s + 0.5) / kSub;
      xs.clear();
      for (const Edge& e : edges)
        if ((y >= e.y0) != (y >= e.y1)) xs.push_back(e.x0 + (y - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0));
      std::sort(xs.begin(), xs.end());
      for (size_t i = 0; i + 1 < xs.size(); i += 2) add_span(row, xs[i], xs[i + 1], 1.f / kSub);
    }
    for (int x = 0; x < w; ++x) m.at(x, py) = std::min(row[x], 1.f);
  }
  return m;
}

Ring rounded_rect(double x, double y, double w, double h, double r) {
  Ring ring;
  r = std::min({r, w / 2, h / 2});
  const Pt centres[4] = {{x + w - r, y + r}, {x + w - r, y + h - r}, {x + r, y + h - r}, {x + r, y + r}};
  for (int c = 0; c < 4; ++c)
    for (int i = 0; i <= 12; ++i) {
      double a = kPi / 2 * (c - 1 + i / 12.0);
      ring.push_back({centres[c].x + r * std::cos(a), centres[c].y + r * std::sin(a)});
    }
  return ring;
}

Ring ellipse(double cx, double cy, double rx, double ry) {
  Ring ring;
  for (int i = 0; i < 96; ++i) {
    double a = 2 * kPi * i / 96;
    ring.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
  }
  return ring;
}

Mask shape(const Ring& r, int w, int h) { return rasterise(Path{r}, w, h); }

// A thick polyline with round joins and caps, as the union of its pieces.
Mask stroke(const std::vector<Pt>& pts, double width, int w, int h) {
  Mask m(w, h);
  double hw = width / 2;
  for (size_t i = 0; i < pts.size(); ++i) {
    m = mask_max(m, shape(ellipse(pts[i].x, pts[i].y, hw, hw), w, h));
    if (i + 1 == pts.size()) break;
    Pt a = pts[i], b = pts[i + 1];
    double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
    double nx = -dy / len * hw, ny = dx / len * hw;
    Ring quad = {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}};
    m = mask_max(m, shape(quad, w, h));
  }
  return m;
}

// ---------------------------------------------------------------------------
// Noise for clouds and the satellite map.

double hash2(int x, int y, int seed) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return ((h ^ (h >> 16)) & 0xffffff) / double(0xffffff);
}

double value_noise(double x, double y, int seed) {
  int ix = int(std::floor(x)), iy = int(std::floor(y));
  double fx = x - ix, fy = y - iy;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  double a = hash2(ix, iy, seed), b = hash2(ix + 1, iy, seed);
  double c = hash2(ix, iy + 1, seed), d = hash2(ix + 1, iy + 1, seed);
  return a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy;
}

// Fractal noise in 0..1.
double fbm(double x, double y, int octaves, int seed) {
  double sum = 0, amp = 0.5, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += amp * value_noise(x, y, seed + i * 31);
    norm += amp;
    x = x * 2.03 + 17.1;
    y = y * 2.03 + 9.7;
    amp *= 0.5;
  }
  return sum / norm;
}

// ---------------------------------------------------------------------------
// Text with FreeType.

struct Font {
  std::string bytes;
  FT_Face face = nullptr;
};

FT_Library g_freetype = nullptr;

std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return in ? s.str() : std::string();
}

bool load_font(Font& font, const std::string& fonts_dir, const char* name) {
  if (!fonts_dir.empty()) {
    font.bytes = read_whole_file(fonts_dir + name);
  } else if (const EmbeddedResource* r = find_embedded_resource(name)) {
    font.bytes.assign(reinterpret_cast<const char*>(r->begin), size_t(r->end - r->begin));
  }
  if (font.bytes.empty()) {
    std::fprintf(stderr, "make_artwork: cannot read the font %s\n", name);
    return false;
  }
  if (FT_New_Memory_Face(g_freetype, reinterpret_cast<const FT_Byte*>(font.bytes.data()),
                         FT_Long(font.bytes.size()), 0, &font.face) != 0) {
    std::fprintf(stderr, "make_artwork: FreeType cannot open %s\n", name);
    return false;
  }
  return true;
}

std::vector<uint32_t> utf8_code_points(const std::string& s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < s.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    out.push_back(cp);
    i += 1 + extra;
  }
  return out;
}

struct TextStyle {
  Font* font;
  double size;            // pixels per em
  double squeeze = 1.0;   // horizontal scale
  double tracking = 0.0;  // extra pixels after each character
};

void set_text_style(const TextStyle& st) {
  FT_Set_Char_Size(st.font->face, 0, FT_F26Dot6(st.size * 64 + 0.5), 72, 72);
  FT_Matrix m = {FT_Fixed(st.squeeze * 65536), 0, 0, 0x10000};
  FT_Set_Transform(st.font->face, &m, nullptr);
}

double text_width(const TextStyle& st, const std::string& text) {
  set_text_style(st);
  double w = 0;
  auto cps = utf8_code_points(text);
  for (size_t i = 0; i < cps.size(); ++i) {
    if (FT_Load_Char(st.font->face, cps[i], FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0) continue;
    w += std::round(st.font->face->glyph->advance.x / 64.0);
    if (i + 1 < cps.size()) w += st.tracking;
  }
  return w;
}

// The text's coverage, its left end at x and its baseline at y (whole pixels keep
// hinted stems crisp).
Mask text_mask(const TextStyle& st, const std::string& text, double x, double y, int w, int h) {
  Mask m(w, h);
  set_text_style(st);
  double pen = std::round(x);
  int base = int(std::round(y));
  FT_Face face = st.font->face;
  for (uint32_t cp : utf8_code_points(text)) {
    if (FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) continue;
    const FT_Bitmap& bm = face->glyph->bitmap;
    int left = int(std::round(pen)) + face->glyph->bitmap_left, top = base - face->glyph->bitmap_top;
    for (unsigned r = 0; r < bm.rows; ++r)
      for (unsigned c = 0; c < bm.width; ++c) {
        int px = left + int(c), py = top + int(r);
        if (px < 0 || py < 0 || px >= w || py >= h) continue;
        float v = bm.buffer[r * bm.pitch + c] / 255.f;
        m.at(px, py) = std::max(m.at(px, py), v);
      }
    pen += std::round(face->glyph->advance.x / 64.0) + st.tracking;
  }
  return m;
}

// Height of capital letters above the baseline, in pixels.
double cap_height(const TextStyle& st) {
  set_text_style(st);
  if (FT_Load_Char(st.font->face, 'H', FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0) return st.size * 0.73;
  return st.font->face->glyph->metrics.horiBearingY / 64.0;
}

// ---------------------------------------------------------------------------
// PNG output.

// Every picture is written as 8-bit RGBA, the form the texture loader uploads.
bool write_png(const std::string& path, const Canvas& c) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "make_artwork: cannot write %s\n", path.c_str());
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    std::fprintf(stderr, "make_artwork: libpng failed on %s\n", path.c_str());
    return false;
  }
  png_init_io(png, f);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, c.w, c.h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(size_t(c.w) * 4);
  for (int y = 0; y < c.h; ++y) {
    for (int x = 0; x < c.w; ++x) {
      const float* p = c.at(x, y);
      float a = std::clamp(p[3], 0.f, 1.f);
      for (int k = 0; k < 3; ++k) {
        float straight = a > 0 ? p[k] / a : 0.f;
        row[size_t(x) * 4 + k] = png_byte(std::lround(std::clamp(straight, 0.f, 1.f) * 255));
      }
      row[size_t(x) * 4 + 3] = png_byte(std::lround(a * 255));
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0;
}

// ---------------------------------------------------------------------------
// Layout helpers: rectangles from the layout header are counted from the
// bottom of the image; canvases count rows from the top.

int top_row(int image_height, int y_from_bottom, int height) { return image_height - y_from_bottom - height; }

// A three-slice sprite is painted wide and then cut: the caps are the two ends
// and the middle tile comes from the centre, so it repeats without seams.
Canvas three_slice(int width, int height, int cap, const std::function<void(Canvas&)>& painter) {
  Canvas wide(width + cap * 2 + 64, height);
  painter(wide);
  Canvas out(width, height);
  int mid = width - 2 * cap, from = wide.w / 2 - mid / 2;
  // The rounded ends must lie within the caps, or a seam would show where a cap
  // meets the tiled middle.
  for (int y = 0; y < height; ++y)
    for (int k = 0; k < 4; ++k)
      if (std::fabs(wide.at(cap, y)[k] - wide.at(from, y)[k]) > 0.5f / 255 ||
          std::fabs(wide.at(wide.w - cap - 1, y)[k] - wide.at(from, y)[k]) > 0.5f / 255) {
        std::fprintf(stderr, "make_artwork: a %d x %d sprite's caps spill into its middle\n", width, height);
        y = height;
        break;
      }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int sx = x < cap ? x : x >= width - cap ? wide.w - (width - x) : from + (x - cap);
      std::memcpy(out.at(x, y), wide.at(sx, y), 4 * sizeof(float));
    }
  return out;
}

void soft_shadow(Canvas& c, const Ring& r, double dy, int blur, float opacity) {
  Ring moved = r;
  for (Pt& p : moved) p.y += dy;
  paint(c, blurred(shape(moved, c.w, c.h), blur), solid(rgb(0, 0, 0)), opacity);
}

// ---------------------------------------------------------------------------
// interface.png pieces.

void paint_choice_body(Canvas& c, bool on) {
  double w = c.w;
  soft_shadow(c, rounded_rect(1, 2, w - 2, 22, 8), 1.0, 1, 0.22f);
  RGBA edge = on ? rgb(62, 104, 168) : rgb(132, 144, 162);
  paint(c, shape(rounded_rect(1, 1.5, w - 2, 22, 8), c.w, c.h), solid(edge));
  Shader body = on ? vgrad(2.5, rgb(214, 231, 252), 22.5, rgb(160, 196, 240))
                   : vgrad(2.5, rgb(255, 255, 255), 22.5, rgb(219, 225, 234));
  paint(c, shape(rounded_rect(2, 2.5, w - 4, 20, 7), c.w, c.h), body);
  // Gloss on the upper half, a little light along the top edge.
  paint(c, shape(rounded_rect(3, 3.2, w - 6, 9, 5.5), c.w, c.h), vgrad(3, rgb(255, 255, 255, 0.75f), 12, rgb(255, 255, 255, 0.05f)));
  if (on) {  // a pressed key sits lower: shade its upper rim
    Mask rim = mask_minus(shape(rounded_rect(2, 2.5, w - 4, 20, 7), c.w, c.h),
                          shape(rounded_rect(2, 4.0, w - 4, 18.5, 7), c.w, c.h));
    paint(c, rim, solid(rgb(40, 80, 140)), 0.35f);
  }
}

void paint_progress_trough(Canvas& c) {
  double w = c.w;
  paint(c, shape(rounded_rect(0.5, 1, w - 1, 15, 7.5), c.w, c.h), solid(rgb(255, 255, 255, 0.55f)));
  paint(c, shape(rounded_rect(0.5, 0.5, w - 1, 14.5, 7.25), c.w, c.h), solid(rgb(34, 46, 62)));
  paint(c, shape(rounded_rect(1.5, 1.5, w - 3, 12.5, 6.25), c.w, c.h),
        vgrad(1.5, rgb(58, 70, 88), 14, rgb(96, 110, 130)));
  // Inner shadow along the top of the groove.
  Mask inner = shape(rounded_rect(1.5, 1.5, w - 3, 12.5, 6.25), c.w, c.h);
  Mask lower = shape(rounded_rect(1.5, 3.0, w - 3, 11, 5.5), c.w, c.h);
  paint(c, mask_minus(inner, lower), solid(rgb(10, 16, 26)), 0.45f);
}

void paint_progress_fill(Canvas& c) {
  double w = c.w;
  paint(c, shape(rounded_rect(1.5, 1.5, w - 3, 13, 6.5), c.w, c.h), solid(rgb(22, 92, 160)));
  paint(c, shape(rounded_rect(2.5, 2.5, w - 5, 11, 5.5), c.w, c.h),
        vgrad(2.5, rgb(120, 214, 255), 13.5, rgb(34, 128, 214)));
  paint(c, shape(rounded_rect(4, 3, w - 8, 4.5, 2.25), c.w, c.h),
        vgrad(3, rgb(255, 255, 255, 0.7f), 7.5, rgb(255, 255, 255, 0.1f)));
}

void paint_text_field(Canvas& c) {
  double w = c.w;
  paint(c, shape(rounded_rect(1, 4, w - 2, 20, 4), c.w, c.h), solid(rgb(255, 255, 255, 0.6f)));
  paint(c, shape(rounded_rect(1, 3, w - 2, 20, 4), c.w, c.h), solid(rgb(128, 140, 158)));
  paint(c, shape(rounded_rect(2, 4, w - 4, 18, 3), c.w, c.h), vgrad(4, rgb(238, 241, 245), 9, rgb(255, 255, 255)));
}

void paint_check_box(Canvas& c, bool round) {
  Ring outline = round ? ellipse(9, 9, 7.5, 7.5) : rounded_rect(1.5, 1.5, 15, 15, 3.5);
  Ring inner = round ? ellipse(9, 9, 6.5, 6.5) : rounded_rect(2.5, 2.5, 13, 13, 2.5);
  soft_shadow(c, outline, 0.8, 1, 0.25f);
  paint(c, shape(outline, c.w, c.h), solid(rgb(102, 118, 140)));
  paint(c, shape(inner, c.w, c.h), vgrad(2.5, rgb(236, 240, 245), 15.5, rgb(255, 255, 255)));
}

void paint_check_tick(Canvas& c) {
  std::vector<Pt> tick = {{4.6, 9.4}, {7.6, 12.4}, {13.6, 5.0}};
  Mask m = stroke(tick, 2.7, c.w, c.h);
  paint(c, blurred(m, 1), solid(rgb(255, 255, 255)), 0.6f);
  paint(c, m, vgrad(4, rgb(40, 130, 225), 13, rgb(18, 78, 160)));
}

void paint_radio_dot(Canvas& c) {
  paint(c, shape(ellipse(9, 9, 4.2, 4.2), c.w, c.h), vgrad(5, rgb(84, 168, 250), 13, rgb(20, 86, 180)));
  paint(c, shape(ellipse(8.2, 7.6, 1.6, 1.2), c.w, c.h), solid(rgb(255, 255, 255, 0.7f)));
}

// Style 14: a rounded navy rim with a slate band, then the light inside.  Corner
// and edge pieces are 9 pixels, so everything that varies lies within 9 pixels of
// the square's edge and the inside is one flat colour.
void paint_frame14(Canvas& c) {
  double s = c.w;
  paint(c, shape(rounded_rect(0, 0, s, s, 8), c.w, c.h), solid(rgb(23, 40, 60)));
  paint(c, shape(rounded_rect(1, 1, s - 2, s - 2, 7), c.w, c.h), solid(rgb(92, 112, 138)));
  paint(c, shape(rounded_rect(2, 2, s - 4, s - 4, 6), c.w, c.h), solid(rgb(72, 90, 112)));
  paint(c, shape(rounded_rect(5, 5, s - 10, s - 10, 3), c.w, c.h), solid(rgb(34, 50, 70)));
  paint(c, shape(rounded_rect(6, 6, s - 12, s - 12, 2), c.w, c.h), solid(rgb(236, 239, 243)));
  for (int i = 0; i < 3; ++i) {  // inner shadow, fading inwards
    Mask ring = mask_minus(shape(rounded_rect(6 + i, 6 + i, s - 12 - 2 * i, s - 12 - 2 * i, 0), c.w, c.h),
                           shape(rounded_rect(7 + i, 7 + i, s - 14 - 2 * i, s - 14 - 2 * i, 0), c.w, c.h));
    ring = mask_times(ring, shape(rounded_rect(6, 6, s - 12, s - 12, 2), c.w, c.h));
    paint(c, ring, solid(rgb(40, 56, 80)), 0.16f - 0.05f * i);
  }
}

void paint_caption_bar(Canvas& c) {
  fill(c, vgrad(0, rgb(96, 118, 146), 14, rgb(54, 72, 96)));
  for (int x = 0; x < c.w; ++x) {
    blend_pixel(c, x, 0, rgb(150, 170, 195), 1.f);
    blend_pixel(c, x, c.h - 1, rgb(23, 40, 60), 1.f);
  }
}

Canvas make_interface() {
  const int H = kInterfaceSize;
  Canvas img(H, H);
  for (const SpriteRect& s : kSpriteRects) {
    if (s.slot != kSlotInterface) continue;
    std::function<void(Canvas&)> painter;
    switch (s.sprite) {
      case 2: painter = [](Canvas& c) { paint_choice_body(c, false); }; break;
      case 3: painter = [](Canvas& c) { paint_choice_body(c, true); }; break;
      case 4: painter = paint_progress_trough; break;
      case 5: painter = paint_progress_fill; break;
      case 9: painter = paint_text_field; break;
      default: continue;
    }
    blit(img, three_slice(s.width, s.height, s.cap, painter), s.x, top_row(H, s.y, s.height));
  }
  const FrameSquare* f14 = find_frame_square(14);
  Canvas frame(f14->size, f14->size);
  paint_frame14(frame);
  blit(img, frame, f14->x, top_row(H, f14->y, f14->size));
  const SpriteRect& bar = kFrame14CaptionBar;
  blit(img, three_slice(bar.width, bar.height, bar.cap, paint_caption_bar), bar.x, top_row(H, bar.y, bar.height));

  struct Icon {
    IconRect rect;
    std::function<void(Canvas&)> painter;
  };
  const Icon icons[] = {
      {kCheckBoxImage, [](Canvas& c) { paint_check_box(c, false); }},
      {kCheckTickImage, paint_check_tick},
      {kRadioBoxImage, [](Canvas& c) { paint_check_box(c, true); }},
      {kRadioTickImage, paint_radio_dot},
  };
  for (const Icon& icon : icons) {
    Canvas c(icon.rect.size, icon.rect.size);
    icon.painter(c);
    int half = icon.rect.size / 2;
    blit(img, c, icon.rect.centre_x - half, top_row(H, icon.rect.centre_y - half, icon.rect.size));
  }

  for (const ColourSwatch& sw : kColourSwatches) {
    const ArtColour* colour = nullptr;
    for (const ArtColour& c : kColourTable)
      if (c.index == sw.index) colour = &c;
    int cy = H - 1 - sw.y;
    for (int y = cy - kSwatchHalfSize; y <= cy + kSwatchHalfSize; ++y)
      for (int x = sw.x - kSwatchHalfSize; x <= sw.x + kSwatchHalfSize; ++x) {
        float* p = img.at(x, y);
        p[0] = colour->r / 255.f;
        p[1] = colour->g / 255.f;
        p[2] = colour->b / 255.f;
        p[3] = 1.f;
      }
  }
  return img;
}

// ---------------------------------------------------------------------------
// elements_<Language>.png: Bottom Button bodies, the panel frame and the labels.

void paint_bottom_button(Canvas& c, int look) {  // 0 normal, 1 pressed, 2 disabled
  double w = c.w;
  Ring outer = rounded_rect(1.5, 1.5, w - 3, 27, 9);
  Ring inner = rounded_rect(2.5, 2.5, w - 5, 25, 8);
  soft_shadow(c, outer, 1.2, 1, 0.45f);
  RGBA edge = look == 2 ? rgb(70, 78, 88) : rgb(14, 40, 82);
  paint(c, shape(outer, c.w, c.h), solid(edge));
  Shader body = look == 0   ? vgrad(2.5, rgb(92, 164, 240), 27.5, rgb(28, 86, 172))
                : look == 1 ? vgrad(2.5, rgb(22, 66, 140), 27.5, rgb(52, 118, 206))
                            : vgrad(2.5, rgb(150, 157, 166), 27.5, rgb(106, 113, 123));
  paint(c, shape(inner, c.w, c.h), body);
  if (look != 1) {
    paint(c, shape(rounded_rect(3.5, 3.2, w - 7, 11, 6.5), c.w, c.h),
          vgrad(3.2, rgb(255, 255, 255, 0.42f), 14.2, rgb(255, 255, 255, 0.06f)));
  } else {
    Mask rim = mask_minus(shape(inner, c.w, c.h), shape(rounded_rect(2.5, 4.5, w - 5, 23, 8), c.w, c.h));
    paint(c, rim, solid(rgb(6, 20, 48)), 0.5f);
  }
}

// The panel frame square: a 1-pixel slate outline round a translucent, faintly
// cool white inside.
void paint_frame23(Canvas& c) {
  fill(c, solid(rgb(250, 251, 253, 0.9f)));
  for (int i = 0; i < c.w; ++i) {
    for (int k : {0, c.w - 1}) {
      float* p = c.at(i, k);
      std::fill(p, p + 4, 0.f);
      blend_pixel(c, i, k, rgb(72, 92, 118), 0.95f);
      p = c.at(k, i);
      std::fill(p, p + 4, 0.f);
      blend_pixel(c, k, i, rgb(72, 92, 118), 0.95f);
    }
  }
}

struct LabelLook {
  LabelRow row;
  RGBA text;
  RGBA halo;        // drop shadow or glow behind the text
  int halo_dy;
  int halo_blur;
  float halo_opacity;
  int shift;        // pressed labels sit a pixel lower
};

// One language's label cells.  The font size is the largest (up to 13.5 px) at
// which every label fits its cell with a margin when long ones are narrowed a
// little (to kMostNarrowed of their width at most).
constexpr double kMostNarrowed = 0.88;

void paint_labels(Canvas& img, int language, Font& bold) {
  const int* bounds = kLabelBoundaries[language];
  const double margin = 7;
  TextStyle st{&bold, 13.5, 1.0, 0.6};
  for (; st.size > 11.0; st.size -= 0.25) {
    bool fits = true;
    for (int i = 0; i < kLabelCount; ++i)
      if (text_width(st, kLabelTexts[language][i]) * kMostNarrowed > bounds[i + 1] - bounds[i] - 2 * margin)
        fits = false;
    if (fits) break;
  }
  std::printf("make_artwork: %s labels at %.2f px\n", kLanguageNames[language], st.size);
  const LabelLook looks[] = {
      {kLabelRowNormal, rgb(255, 255, 255), rgb(4, 18, 46), 1, 1, 0.75f, 0},
      {kLabelRowHover, rgb(255, 226, 140), rgb(255, 190, 70), 0, 2, 0.55f, 0},
      {kLabelRowPressed, rgb(214, 232, 255), rgb(0, 8, 28), 1, 1, 0.55f, 1},
  };
  const double caps = cap_height(st);
  for (int i = 0; i < kLabelCount; ++i) {
    int x0 = bounds[i], x1 = bounds[i + 1];
    TextStyle fit = st;
    double room = x1 - x0 - 2 * margin;
    double width = text_width(fit, kLabelTexts[language][i]);
    if (width > room) {
      fit.squeeze = std::max(kMostNarrowed - 0.1, room / width);
      width = text_width(fit, kLabelTexts[language][i]);
      if (width > x1 - x0 - 4)
        std::fprintf(stderr, "make_artwork: %s label %d is too wide for its cell\n",
                     kLanguageNames[language], i);
    }
    for (const LabelLook& look : looks) {
      const int band_top = top_row(kAtlasHeight, look.row.v0, look.row.v1 - look.row.v0);
      const int band_h = look.row.v1 - look.row.v0;
      Canvas cell(x1 - x0, band_h);
      double baseline = std::round(band_h / 2.0 + caps / 2.0) + look.shift;
      double left = std::round((cell.w - width) / 2.0);
      Mask text = text_mask(fit, kLabelTexts[language][i], left, baseline, cell.w, cell.h);
      Mask halo = blurred(mask_shifted(text, 0, look.halo_dy), look.halo_blur);
      paint(cell, halo, solid(look.halo), look.halo_opacity);
      paint(cell, text, solid(look.text));
      // Keep the outermost columns clear so filtering never picks up a neighbour.
      for (int y = 0; y < cell.h; ++y)
        for (int x : {0, cell.w - 1}) std::fill(cell.at(x, y), cell.at(x, y) + 4, 0.f);
      blit(img, cell, x0, band_top);
    }
  }
}

Canvas make_elements(int language, Font& bold) {
  Canvas img(kAtlasWidth, kAtlasHeight);
  paint_labels(img, language, bold);
  for (const SpriteRect& s : kSpriteRects) {
    if (s.slot != kSlotLabelAtlas) continue;
    int look = s.sprite == 11 ? 0 : s.sprite == 12 ? 1 : 2;
    Canvas body = three_slice(s.width, s.height, s.cap, [look](Canvas& c) { paint_bottom_button(c, look); });
    blit(img, body, s.x, top_row(kAtlasHeight, s.y, s.height));
  }
  const FrameSquare* f23 = find_frame_square(23);
  Canvas frame(f23->size, f23->size);
  paint_frame23(frame);
  blit(img, frame, f23->x, top_row(kAtlasHeight, f23->y, f23->size));
  return img;
}

// ---------------------------------------------------------------------------
// background.png

// A jet airliner seen from below, nose towards the heading (degrees above the
// horizontal), as a coverage mask.  Outline units are fuselage lengths.
struct Airliner {
  double cx, cy, length, heading_deg;
  Pt place(double x, double y) const {  // y is to the right of the nose
    double a = heading_deg * kPi / 180, ca = std::cos(a), sa = std::sin(a);
    return {cx + length * (x * ca + y * sa), cy - length * (x * sa - y * ca)};
  }
};

Mask airliner_mask(const Airliner& plane, int w, int h) {
  const Pt half[] = {
      {0.50, 0.0},    {0.485, 0.020}, {0.45, 0.036},  {0.38, 0.046},  {0.12, 0.047}, {-0.13, 0.45},
      {-0.16, 0.47},  {-0.20, 0.47},  {-0.07, 0.12},  {-0.04, 0.047}, {-0.32, 0.040}, {-0.41, 0.165},
      {-0.455, 0.17}, {-0.44, 0.028}, {-0.50, 0.006},
  };
  Ring body;
  for (const Pt& p : half) body.push_back(plane.place(p.x, p.y));
  for (int i = int(std::size(half)) - 1; i >= 0; --i)
    if (half[i].y != 0) body.push_back(plane.place(half[i].x, -half[i].y));
  Mask m = shape(body, w, h);
  for (int side : {-1, 1}) {  // engine pods hanging ahead of the wings
    Ring pod;
    for (int i = 0; i < 32; ++i) {
      double a = 2 * kPi * i / 32;
      pod.push_back(plane.place(0.05 + 0.06 * std::cos(a), side * (0.17 + 0.024 * std::sin(a))));
    }
    m = mask_max(m, shape(pod, w, h));
  }
  return m;
}

double ridged(double x, double y, int seed);

Canvas make_background(Font& regular, Font& bold) {
  const int W = kBackgroundWidth, H = kBackgroundHeight;
  Canvas img(W, H);
  const double horizon = 556;
  fill(img, [&](double x, double y) {
    RGBA c;
    if (y < 330) c = mix(rgb(10, 34, 82), rgb(44, 104, 178), y / 330);
    else c = mix(rgb(44, 104, 178), rgb(156, 196, 228), (y - 330) / (horizon - 330));
    double glow = std::exp(-std::pow((x - 600) / 260, 2)) * std::exp(-std::pow((y - horizon) / 40, 2));
    return mix(c, rgb(255, 214, 160), glow * 0.85);
  });
  // Clouds: soft fractal noise, thicker near the top band and the horizon.
  Mask clouds(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      double n = fbm(x / 170.0, y / 46.0, 6, 7);
      double band = 0.55 * std::exp(-std::pow((y - 55) / 70.0, 2)) + 0.45 * std::exp(-std::pow((y - 500) / 60.0, 2)) + 0.12;
      clouds.at(x, y) = float(smoothstep(0.52, 0.78, n * (0.75 + 0.5 * band)) * 0.75);
    }
  paint(img, clouds, [&](double, double y) { return mix(rgb(255, 255, 255), rgb(255, 236, 214), (y - 380) / 170); });
  // Distant mountains in the haze, their crests catching the low sun, then the
  // dark foreground hills under the buttons.
  std::vector<double> far_crest, near_crest;
  for (int x = 0; x <= W; x += 2) {
    far_crest.push_back(horizon - 8 - 22 * fbm(x / 140.0, 0.5, 4, 20) - 14 * ridged(x / 70.0, 3.5, 21));
    near_crest.push_back(horizon + 14 - 18 * fbm(x / 210.0, 7.5, 3, 22));
  }
  auto ground = [&](const std::vector<double>& crest) {
    Ring r = {{0, double(H)}};
    for (size_t i = 0; i < crest.size(); ++i) r.push_back({2.0 * i, crest[i]});
    r.push_back({double(W), double(H)});
    return r;
  };
  Mask far = shape(ground(far_crest), W, H);
  paint(img, far, vgrad(horizon - 40, rgb(96, 116, 146), horizon + 10, rgb(58, 74, 100)));
  Mask rim = mask_minus(far, mask_shifted(far, 0, 2));
  paint(img, rim, [&](double x, double) {
    return rgb(255, 222, 176, float(0.25 + 0.6 * std::exp(-std::pow((x - 600) / 220, 2))));
  });
  paint(img, shape(ground(near_crest), W, H), vgrad(horizon, rgb(30, 42, 62), H, rgb(10, 16, 28)));
  // An airliner climbing away, with its contrails.
  const Airliner plane = {668, 50, 74, 16};
  for (int side : {-1, 1}) {
    Pt start = plane.place(-0.25, side * 0.17), end = plane.place(-6.0, side * 0.17);
    Pt dir = {end.x - start.x, end.y - start.y};
    double len = std::hypot(dir.x, dir.y);
    Pt n = {-dir.y / len, dir.x / len};
    Ring trail = {{start.x + n.x * 0.6, start.y + n.y * 0.6}, {end.x + n.x * 4.5, end.y + n.y * 4.5},
                  {end.x - n.x * 4.5, end.y - n.y * 4.5}, {start.x - n.x * 0.6, start.y - n.y * 0.6}};
    paint(img, blurred(shape(trail, W, H), 1), [&](double x, double y) {
      double t = ((x - start.x) * dir.x + (y - start.y) * dir.y) / (len * len);  // 0 at the plane
      return rgb(255, 255, 255, float(0.7 * smoothstep(0.0, 0.04, t) * (1 - smoothstep(0.3, 1.0, t))));
    });
  }
  Mask jet = airliner_mask(plane, W, H);
  paint(img, blurred(jet, 1), solid(rgb(0, 10, 30)), 0.2f);
  paint(img, jet, vgrad(10, rgb(52, 66, 92), 80, rgb(20, 30, 50)));
  // The product's name in the top band.
  TextStyle title{&bold, 38, 1.0, 1.0};
  TextStyle subtitle{&regular, 13, 1.0, 2.2};
  Mask name = text_mask(title, "ZEPHIRO 9", 26, 58, W, H);
  Mask line = text_mask(subtitle, "FLIGHT SIMULATOR  \xC2\xB7  INSTALLER", 29, 81, W, H);
  paint(img, blurred(mask_shifted(name, 0, 2), 2), solid(rgb(0, 12, 36)), 0.55f);
  paint(img, name, vgrad(22, rgb(255, 255, 255), 58, rgb(200, 222, 248)));
  paint(img, blurred(mask_shifted(line, 0, 1), 1), solid(rgb(0, 12, 36)), 0.5f);
  paint(img, line, solid(rgb(214, 230, 250)));
  // A gentle vignette.
  fill(img, [&](double x, double y) {
    double dx = (x - W / 2.0) / (W / 2.0), dy = (y - H / 2.0) / (H / 2.0);
    return rgb(0, 8, 24, float(0.22 * smoothstep(0.6, 1.5, dx * dx + dy * dy)));
  });
  for (float& v : img.px) v = std::clamp(v, 0.f, 1.f);
  for (size_t i = 3; i < img.px.size(); i += 4) img.px[i] = 1.f;
  return img;
}

// ---------------------------------------------------------------------------
// map.png: three equirectangular world maps, 1.4 pixels per degree.

constexpr double kPixelsPerDegree = kMapTileSize / 10.0;

bool read_land(const std::string& path, Path& land) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "make_artwork: cannot read the land outlines %s\n", path.c_str());
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream s(line);
    Ring ring;
    long lon, lat;
    char comma;
    while (s >> lon >> comma >> lat) ring.push_back({lon / 100.0, lat / 100.0});
    if (ring.size() >= 3) land.push_back(ring);
  }
  return !land.empty();
}

// Land coverage of one panel.  Rings that run past the date line are drawn a
// second time from the other side.
Mask land_mask(const Path& land) {
  Path px;
  for (const Ring& r : land) {
    double lo = 1e9, hi = -1e9;
    for (const Pt& p : r) lo = std::min(lo, p.x), hi = std::max(hi, p.x);
    for (double shift : {0.0, -360.0, 360.0}) {
      if (shift < 0 && hi <= 180) continue;
      if (shift > 0 && lo >= -180) continue;
      Ring out;
      for (const Pt& p : r) out.push_back({(p.x + shift + 180) * kPixelsPerDegree, (90 - p.y) * kPixelsPerDegree});
      px.push_back(out);
    }
  }
  return rasterise(px, kMapWidth, kMapPanelHeight);
}

// Soft regions used to colour the satellite picture, in degrees: centre, radii,
// strength and the ground colour they give.
struct Region {
  double lon, lat, rx, ry, weight;
  int r, g, b;
};

const Region kDryLands[] = {
    {2, 24, 20, 8, 1.0, 226, 190, 128},     {25, 22, 10, 9, 1.0, 230, 198, 138},
    {-9, 21, 8, 6, 1.0, 220, 180, 120},     {15, 17, 16, 3, 0.5, 196, 168, 108},
    {46, 22, 11, 7, 1.0, 228, 196, 140},    {57, 31, 9, 4, 0.8, 206, 180, 136},
    {66, 29, 7, 4, 0.8, 200, 174, 128},     {71, 27, 4, 3, 0.7, 210, 180, 130},
    {84, 39.5, 8, 3, 0.9, 214, 190, 140},   {103, 42.5, 12, 4, 0.85, 196, 178, 132},
    {62, 45, 13, 5, 0.75, 180, 168, 112},   {88, 33, 10, 4, 0.7, 150, 134, 104},
    {130, -24, 12, 7, 0.95, 186, 126, 82},  {121, -27, 7, 6, 0.85, 200, 152, 100},
    {20, -24, 6, 5, 0.8, 196, 164, 110},    {15, -24, 2.5, 7, 0.9, 214, 180, 130},
    {-70, -23, 2.5, 8, 0.9, 196, 172, 140}, {-68, -45, 3.5, 6, 0.7, 172, 156, 116},
    {-114, 36, 7, 6, 0.75, 196, 160, 112},  {-105, 28, 5, 6, 0.5, 190, 160, 114},
    {-101, 40, 5, 8, 0.35, 170, 160, 100},  {-41, -8, 4, 3, 0.35, 172, 156, 102},
    {38, 33, 5, 3, 0.6, 214, 188, 140},     {47, 12, 4, 3, 0.5, 200, 176, 130},
    {-64, -30, 5, 5, 0.3, 160, 150, 100},   {40, 2, 4, 4, 0.45, 176, 156, 106},
};
const Region kRainforests[] = {
    {-62, -4, 14, 9, 1.0, 30, 78, 32},  {-75, 2, 4, 6, 0.8, 30, 78, 32},   {22, 0, 10, 5, 1.0, 30, 78, 32},
    {10, 5, 6, 3, 0.7, 30, 78, 32},     {113, 0, 14, 6, 1.0, 30, 78, 32},  {140, -5, 8, 4, 0.9, 30, 78, 32},
    {100, 14, 7, 6, 0.6, 38, 86, 36},   {-84, 12, 5, 5, 0.7, 34, 82, 34},  {47, -18, 2, 6, 0.6, 34, 82, 34},
    {77, 12, 3, 4, 0.4, 40, 86, 36},    {148, -18, 3, 5, 0.4, 40, 86, 36}, {-48, -20, 4, 5, 0.5, 40, 88, 36},
};
struct Ridge {
  double lon0, lat0, lon1, lat1, half_width, height;
};
const Ridge kMountains[] = {
    {73, 35, 95, 28, 2.6, 1.0},      {80, 34, 100, 33, 5.0, 0.6},    {-77, 8, -79, -5, 1.5, 0.75},
    {-79, -5, -70, -18, 1.6, 0.85},  {-70, -18, -69, -33, 1.8, 1.0}, {-70, -33, -73, -50, 1.2, 0.75},
    {-122, 58, -106, 38, 2.5, 0.7},  {-108, 38, -105, 32, 2.0, 0.5}, {6, 45.5, 15, 47, 1.2, 0.8},
    {41, 43, 48, 41, 1.0, 0.7},      {37, 10, 40, 6, 2.5, 0.5},      {45, 35, 57, 29, 1.8, 0.55},
    {70, 39, 78, 42, 2.0, 0.75},     {85, 43, 95, 48, 2.5, 0.5},     {-150, 62, -140, 61, 1.5, 0.8},
    {-2, 42.7, 3, 42.6, 0.8, 0.5},   {58, 50, 60, 66, 2.0, 0.2},    {145, -20, 150, -37, 1.5, 0.3},
    {170, -44, 167, -46, 1.0, 0.7},  {-5, 31, 2, 34, 1.2, 0.45},     {-130, 60, -124, 54, 2.0, 0.6},
    {130, 62, 150, 64, 3.0, 0.4},    {98, 28, 104, 22, 2.0, 0.5},    {-80, 35, -75, 40, 1.2, 0.25},
};

// The strongest region at a point: its weight, and its colour through *colour.
double region_weight(const Region* regions, size_t n, double lon, double lat, RGBA* colour) {
  double w = 0;
  for (size_t i = 0; i < n; ++i) {
    const Region& r = regions[i];
    double dx = (lon - r.lon) / r.rx, dy = (lat - r.lat) / r.ry;
    double v = r.weight * (1 - smoothstep(0.5, 1.2, std::sqrt(dx * dx + dy * dy)));
    if (v > w) {
      w = v;
      *colour = rgb(r.r, r.g, r.b);
    }
  }
  return w;
}

// 0..1 near the great mountain ranges.
double mountain_belt(double lon, double lat) {
  double h = 0;
  for (const Ridge& r : kMountains) {
    double dx = r.lon1 - r.lon0, dy = r.lat1 - r.lat0;
    double t = std::clamp(((lon - r.lon0) * dx + (lat - r.lat0) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    double d = std::hypot(lon - (r.lon0 + t * dx), lat - (r.lat0 + t * dy)) / r.half_width;
    h = std::max(h, r.height * std::exp(-d * d * 1.4));
  }
  return h;
}

// Ridged noise: sharp crests where plain noise crosses its middle.
double ridged(double x, double y, int seed) {
  double n = 1 - std::fabs(2 * fbm(x, y, 5, seed) - 1);
  return n * n;
}

// Height of the land for hill shading and snow, roughly 0..1.
double relief(double lon, double lat) {
  double belt = mountain_belt(lon, lat);
  return fbm(lon / 6.5, lat / 6.5, 4, 55) * 0.25 + belt * (0.35 + 0.65 * ridged(lon / 3.0, lat / 3.0, 90));
}

// Ground colour of a land pixel in the satellite picture.
RGBA satellite_land(double lon, double lat, double coast_distance) {
  double n = fbm(lon / 7.0, lat / 7.0, 5, 101);
  double wobble = (n - 0.5) * 14;  // biome borders wander a little
  double alat = std::fabs(lat + wobble * 0.35);
  RGBA temperate = rgb(82, 110, 54), boreal = rgb(40, 68, 42), tundra = rgb(124, 120, 96);
  RGBA tropical = rgb(34, 86, 36), savanna = rgb(150, 142, 78);
  RGBA c = mix(temperate, savanna, smoothstep(32, 18, alat) * 0.65);
  c = mix(c, tropical, smoothstep(16, 6, alat) * 0.5);
  c = mix(c, boreal, smoothstep(48, 56, alat));
  c = mix(c, tundra, smoothstep(62, 70, alat));
  RGBA region = c;
  c = mix(c, region, region_weight(kRainforests, std::size(kRainforests), lon + wobble * 0.3, lat, &region));
  double dry = region_weight(kDryLands, std::size(kDryLands), lon + wobble * 0.4, lat + wobble * 0.2, &region);
  c = mix(c, scaled(region, 0.92 + 0.16 * fbm(lon / 2.0, lat / 2.0, 3, 7)), dry * (0.75 + 0.25 * smoothstep(0.3, 0.7, n)));
  double high = relief(lon, lat);
  c = mix(c, rgb(116, 102, 84), smoothstep(0.35, 0.75, high) * 0.55);
  double snow_line = 0.78 - 0.25 * smoothstep(40, 65, std::fabs(lat));
  double patches = smoothstep(0.45, 0.7, fbm(lon / 1.3, lat / 1.3, 3, 33));
  c = mix(c, rgb(236, 238, 242), smoothstep(snow_line - 0.1, snow_line + 0.2, high) * patches * 0.7);
  // Ice caps: Antarctica, Greenland's interior, the high Arctic.
  double ice = smoothstep(-62, -66, lat) + smoothstep(74, 80, lat + wobble * 0.2);
  if (lon > -73 && lon < -12 && lat > 59) ice += smoothstep(1.5, 4, coast_distance) * smoothstep(59, 64, lat);
  c = mix(c, rgb(232, 238, 244), std::min(ice, 1.0));
  return scaled(c, 0.9 + 0.2 * n);
}

// Every tile's edges: the "grid lines" of the two tile panels.
bool on_tile_edge(int x, int y, bool* top_left) {
  int tx = x % kMapTileSize, ty = y % kMapTileSize;
  *top_left = tx == 0 || ty == 0;
  return tx == 0 || ty == 0 || tx == kMapTileSize - 1 || ty == kMapTileSize - 1;
}

Canvas make_map(const Path& land) {
  const int W = kMapWidth, P = kMapPanelHeight;
  Mask cover = land_mask(land);
  Mask near_coast = blurred(cover, 2);
  Mask wide = blurred(cover, 5);
  Canvas img(W, kMapHeight);
  // Hill shading of the satellite picture from a noise height field.
  auto height = [&](double x, double y) {
    return relief(x / kPixelsPerDegree - 180, 90 - y / kPixelsPerDegree);
  };
  for (int y = 0; y < P; ++y)
    for (int x = 0; x < W; ++x) {
      double lon = (x + 0.5) / kPixelsPerDegree - 180, lat = 90 - (y + 0.5) / kPixelsPerDegree;
      float land_cover = cover.at(x, y);
      bool top_left;
      bool edge = on_tile_edge(x, y, &top_left);
      // Top panel: satellite picture on dark blue sea.
      double shallow = near_coast.at(x, y) * (1 - land_cover);
      double shelf = wide.at(x, y);
      RGBA sea = mix(rgb(8, 26, 66), rgb(16, 50, 104), shelf * 0.9);
      sea = mix(sea, rgb(34, 96, 142), smoothstep(0.05, 0.5, shallow) * 0.55);
      sea = scaled(sea, 0.94 + 0.12 * fbm(x / 22.0, y / 22.0, 3, 77));
      if (lat < -66 || lat > 80) sea = mix(sea, rgb(160, 180, 200), 0.15);
      double shade = (height(x + 1, y + 1) - height(x - 1, y - 1)) * 2.5;  // lit from the north-west
      RGBA ground = scaled(satellite_land(lon, lat, wide.at(x, y) * 6), 1 + std::clamp(shade, -0.25, 0.25));
      RGBA sat = mix(sea, ground, land_cover);
      if (edge) sat = mix(sat, rgb(255, 255, 255), top_left ? 0.32 : 0.1);
      // Middle panel: grey tiles, land white, bevelled grid.
      RGBA grey = mix(rgb(112, 123, 138), rgb(232, 235, 239), land_cover);
      if (land_cover < 0.99 && land_cover > 0.01) grey = scaled(grey, 0.93);
      if (edge) grey = top_left ? mix(grey, rgb(255, 255, 255), 0.35) : scaled(grey, 0.72);
      // Bottom panel: plain, land white on grey.
      RGBA plain = mix(rgb(166, 172, 181), rgb(248, 249, 250), land_cover);
      if (x == 0 || y == 0 || x == W - 1 || y == P - 1) plain = scaled(plain, 0.8);  // a crisp edge
      const RGBA rows[3] = {sat, grey, plain};
      for (int panel = 0; panel < 3; ++panel) {
        float* p = img.at(x, panel * P + y);
        p[0] = rows[panel].r;
        p[1] = rows[panel].g;
        p[2] = rows[panel].b;
        p[3] = 1.f;
      }
    }
  return img;
}

// ---------------------------------------------------------------------------
// icon.png: the program's icon, 256 x 256 - the globe of the maps seen from
// above Europe and Africa, an airliner of the background climbing across it.

constexpr int kIconSize = 256;

Canvas make_icon(const Path& land) {
  const int S = kIconSize;
  Canvas img(S, S);
  // The land at four pixels per degree, sampled bilinearly on the sphere.
  constexpr double kPx = 4.0;
  Path flat;
  for (const Ring& r : land) {
    Ring out;
    for (const Pt& p : r) out.push_back({(p.x + 180) * kPx, (90 - p.y) * kPx});
    flat.push_back(out);
  }
  const int LW = int(360 * kPx), LH = int(180 * kPx);
  Mask cover = rasterise(flat, LW, LH);
  auto land_at = [&](double lon, double lat) {
    double fx = (lon + 180) * kPx - 0.5, fy = (90 - lat) * kPx - 0.5;
    int x0 = int(std::floor(fx)), y0 = int(std::floor(fy));
    double tx = fx - x0, ty = fy - y0;
    auto at = [&](int x, int y) { return double(cover.get(((x % LW) + LW) % LW, std::clamp(y, 0, LH - 1))); };
    return (at(x0, y0) * (1 - tx) + at(x0 + 1, y0) * tx) * (1 - ty) +
           (at(x0, y0 + 1) * (1 - tx) + at(x0 + 1, y0 + 1) * tx) * ty;
  };
  const double cx = 122, cy = 136, radius = 104;
  const double lon0 = 12 * kPi / 180, lat0 = 30 * kPi / 180;
  Ring disc = ellipse(cx, cy, radius, radius);
  soft_shadow(img, disc, 5, 4, 0.4f);
  // A thin haze of atmosphere just outside the rim.
  Mask halo = mask_minus(blurred(shape(ellipse(cx, cy, radius + 3, radius + 3), S, S), 2), shape(disc, S, S));
  paint(img, halo, solid(rgb(156, 196, 228)), 0.8f);
  Mask globe = shape(disc, S, S);
  paint(img, globe, [&](double x, double y) {
    // Orthographic projection: the point of the sphere under this pixel.
    double u = (x - cx) / radius, v = (cy - y) / radius;
    double rr = std::min(u * u + v * v, 1.0), w = std::sqrt(1 - rr);
    double lat = std::asin(std::clamp(v * std::cos(lat0) + w * std::sin(lat0), -1.0, 1.0));
    double lon = lon0 + std::atan2(u, w * std::cos(lat0) - v * std::sin(lat0));
    double lon_deg = std::remainder(lon * 180 / kPi, 360.0), lat_deg = lat * 180 / kPi;
    RGBA sea = mix(rgb(16, 50, 104), rgb(44, 104, 178), 0.35 + 0.4 * v);
    RGBA c = mix(sea, satellite_land(lon_deg, lat_deg, 3), land_at(lon_deg, lat_deg));
    // Faint lines every thirty degrees.
    double glon = std::fabs(std::remainder(lon_deg, 30.0)), glat = std::fabs(std::remainder(lat_deg, 30.0));
    double px_deg = 180 / kPi / radius / std::max(w, 0.15);  // degrees per pixel here
    double line = std::max(1 - smoothstep(0.3, 1.0, glon / (px_deg * std::max(std::cos(lat), 0.2))),
                           1 - smoothstep(0.3, 1.0, glat / px_deg));
    c = mix(c, rgb(255, 255, 255), 0.22 * line);
    // Lit from the upper left, the far side darkening into night blue.
    double light = std::clamp(-0.45 * u + 0.5 * v + 0.74 * w, 0.0, 1.0);
    c = mix(scaled(c, 0.35 + 0.75 * light), rgb(156, 196, 228), 0.35 * std::pow(1 - w, 3));
    return c;
  });
  // A soft highlight where the sun catches the sphere.
  paint(img, blurred(shape(ellipse(cx - 38, cy - 44, 30, 22), S, S), 8), solid(rgb(255, 255, 255)), 0.22f);
  // The airliner climbing away to the upper right, its contrails over the globe.
  const Airliner plane = {168, 84, 132, 34};
  for (int side : {-1, 1}) {
    Pt start = plane.place(-0.25, side * 0.17), end = plane.place(-1.9, side * 0.2);
    Pt dir = {end.x - start.x, end.y - start.y};
    double len = std::hypot(dir.x, dir.y);
    Pt n = {-dir.y / len, dir.x / len};
    Ring trail = {{start.x + n.x * 1.5, start.y + n.y * 1.5}, {end.x + n.x * 6, end.y + n.y * 6},
                  {end.x - n.x * 6, end.y - n.y * 6}, {start.x - n.x * 1.5, start.y - n.y * 1.5}};
    paint(img, blurred(shape(trail, S, S), 2), [&](double x, double y) {
      double t = ((x - start.x) * dir.x + (y - start.y) * dir.y) / (len * len);
      return rgb(255, 255, 255, float(0.85 * smoothstep(0.0, 0.06, t) * (1 - smoothstep(0.35, 1.0, t))));
    });
  }
  Mask jet = airliner_mask(plane, S, S);
  paint(img, blurred(mask_shifted(jet, 4, 7), 3), solid(rgb(0, 10, 30)), 0.45f);
  Mask outline = mask_minus(blurred(jet, 1), jet);
  paint(img, outline, solid(rgb(20, 30, 50)), 0.9f);
  paint(img, jet, vgrad(30, rgb(255, 255, 255), 140, rgb(196, 210, 228)));
  for (float& v : img.px) v = std::clamp(v, 0.f, 1.f);
  return img;
}

// ---------------------------------------------------------------------------

std::string option(int argc, char** argv, const std::string& name, const std::string& fallback) {
  std::string prefix = "--" + name + "=";
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) return argv[i] + prefix.size();
  return fallback;
}

std::string as_folder(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  std::string out = as_folder(option(argc, argv, "out", ""));
  std::string fonts = as_folder(option(argc, argv, "fonts", ""));
  std::string land_file = option(argc, argv, "land", "tools/land_outlines.txt");
  if (out.empty()) {
    std::fprintf(stderr, "usage: make_artwork --out=resources/ [--fonts=DIR] [--land=tools/land_outlines.txt]\n");
    return 2;
  }
  if (FT_Init_FreeType(&g_freetype) != 0) {
    std::fprintf(stderr, "make_artwork: FreeType did not start\n");
    return 1;
  }
  Font regular, bold;
  Path land;
  if (!load_font(regular, fonts, "DejaVuSans.ttf") || !load_font(bold, fonts, "DejaVuSansBold.ttf") ||
      !read_land(land_file, land))
    return 1;

  bool ok = write_png(out + "interface.png", make_interface());
  for (int l = 0; l < kLanguageCount; ++l)
    ok = write_png(out + "elements_" + kLanguageNames[l] + ".png", make_elements(l, bold)) && ok;
  ok = write_png(out + "background.png", make_background(regular, bold)) && ok;
  ok = write_png(out + "map.png", make_map(land)) && ok;
  ok = write_png(out + "icon.png", make_icon(land)) && ok;
  std::printf("make_artwork: %s\n", ok ? "all pictures written" : "some pictures failed");
  return ok ? 0 : 1;
}
