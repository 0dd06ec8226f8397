#include "ui/draw_gl.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
// OpenGL 1.2's edge clamp; some systems' headers stop at 1.1 although every driver has it.
#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

#include <cmath>
#include <unordered_map>

#include "platform/window_sdl.h"
#include "ui/draw_backend.h"
#include "ui/texture_slots.h"
#include "ui/ui_context.h"

namespace {

GLenum format_of(int channels) { return channels == 1 ? GL_ALPHA : GL_RGBA; }

class GlBackend : public DrawBackend {
 public:
  unsigned create_texture(int width, int height, int channels, const unsigned char* pixels) override {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    // The artwork is drawn one texel per pixel, or a whole number of pixels: no filtering,
    // no wrapping.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format_of(channels)), width, height, 0, format_of(channels),
                 GL_UNSIGNED_BYTE, pixels);
    return name;
  }

  void update_texture(unsigned name, int width, int height, int channels, const unsigned char* pixels) override {
    glBindTexture(GL_TEXTURE_2D, name);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format_of(channels), GL_UNSIGNED_BYTE, pixels);
  }

  void delete_texture(unsigned name) override {
    smooth_.erase(name);
    GLuint n = name;
    glDeleteTextures(1, &n);
  }

  void quads(unsigned texture, const float rgba[4], const DrawQuad* q, int count) override {
    if (texture) {
      glEnable(GL_TEXTURE_2D);
      glBindTexture(GL_TEXTURE_2D, texture);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      // A page scaled by a fraction (a small screen) would drop or double single rows of
      // the background picture; there its texels are blended. The atlases stay unfiltered:
      // blending would bleed neighbouring cells into the tiles cut from them.
      const float scale = ui().page_scale;
      const bool smooth = scale != std::floor(scale) && texture == texture_name(slot_background);
      bool& was = smooth_[texture];
      if (was != smooth) {
        const GLint filter = smooth ? GL_LINEAR : GL_NEAREST;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        was = smooth;
      }
    } else {
      glDisable(GL_TEXTURE_2D);
    }
    glColor4f(rgba[0], rgba[1], rgba[2], rgba[3]);
    glBegin(GL_QUADS);
    for (int i = 0; i < count; ++i)
      for (int k = 0; k < 4; ++k) {
        glTexCoord2f(q[i].u[k], q[i].v[k]);
        glVertex2f(q[i].x[k], q[i].y[k]);
      }
    glEnd();
  }

  void present_now() override { window_swap(); }

 private:
  // Whether a texture is filtered now (main thread only: the thread that draws).
  std::unordered_map<unsigned, bool> smooth_;
};

GlBackend g_gl;

}  // namespace

void use_gl_draw_backend() { set_draw_backend(&g_gl); }

void stop_gl_draw_backend() {
  if (&draw_backend() == &g_gl) set_draw_backend(nullptr);
}
