#include "ui/draw_backend.h"

#include "ui/colour_table.h"
#include "ui/ui_context.h"

namespace {

class NullBackend : public DrawBackend {
 public:
  unsigned create_texture(int, int, int, const unsigned char*) override { return ++last_; }
  void update_texture(unsigned, int, int, int, const unsigned char*) override {}
  void delete_texture(unsigned) override {}
  void quads(unsigned, const float*, const DrawQuad*, int) override {}

 private:
  unsigned last_ = 0;
};

NullBackend g_null_backend;
DrawBackend* g_backend = &g_null_backend;

}  // namespace

DrawBackend& draw_backend() { return *g_backend; }

void set_draw_backend(DrawBackend* backend) { g_backend = backend ? backend : &g_null_backend; }

DrawQuad page_quad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1) {
  const UiContext& c = ui();
  const float s = c.page_scale;
  const float wx0 = (x0 + c.page_origin_x) * s, wx1 = (x1 + c.page_origin_x) * s;
  const float wy0 = (y0 + c.page_origin_y) * s, wy1 = (y1 + c.page_origin_y) * s;
  DrawQuad q;
  q.x[0] = wx0; q.y[0] = wy0; q.u[0] = u0; q.v[0] = v0;
  q.x[1] = wx1; q.y[1] = wy0; q.u[1] = u1; q.v[1] = v0;
  q.x[2] = wx1; q.y[2] = wy1; q.u[2] = u1; q.v[2] = v1;
  q.x[3] = wx0; q.y[3] = wy1; q.u[3] = u0; q.v[3] = v1;
  return q;
}

void draw_textured_rect(unsigned texture, const float rgba[4], float x0, float y0, float x1, float y1,
                        float u0, float v0, float u1, float v1) {
  const DrawQuad q = page_quad(x0, y0, x1, y1, u0, v0, u1, v1);
  g_backend->quads(texture, rgba, &q, 1);
}

void fill_rect(int colour, float x0, float y0, float x1, float y1, float alpha) {
  const float* c = colour_rgb(colour);
  const float rgba[4] = {c[0], c[1], c[2], alpha};
  draw_textured_rect(0, rgba, x0, y0, x1, y1, 0, 0, 0, 0);
}

void fill_window(int colour) {
  float x0, y0, x1, y1;
  window_rect_in_page(x0, y0, x1, y1);
  fill_rect(colour, x0, y0, x1, y1);
}
