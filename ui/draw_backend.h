#pragma once
// Every draw call of the program goes through one small interface: the OpenGL back end
// draws, the recorder (tests) keeps what a frame drew.

#include <string>

// Four corners counter-clockwise from the lower-left, in window pixels, with texture
// coordinates (0..1, v = 0 at the bottom row of the texture).
struct DrawQuad {
  float x[4], y[4], u[4], v[4];
};

// One line of text as it was laid out by draw_text.
struct TextNote {
  int call = 0;      // lines of one draw_text call share this number
  std::string text;  // the characters of this line
  float x = 0, y = 0;        // position given to draw_text (page units)
  float line_x = 0;          // start of this line after alignment
  float line_y = 0;          // baseline of this line
  float width = 0;           // measured width of this line
  int colour = 0;
  float rgb[3] = {0, 0, 0};
  int weight = 0;
  int align = 0;
  float wrap = 0;
};

struct SpriteNote {
  int sprite = 0;
  float cx = 0, cy = 0, width = 0, height = 0;
  float alpha = 1;
};

struct FrameNote {
  int style = 0;
  float x = 0, y = 0, width = 0, height = 0;
  std::string caption;
  float alpha = 1;
};

// Every widget a frame drew, in the order drawn. The ones that take the keyboard focus
// carry a focus id that stays the same while their page (or prompt) shows.
struct WidgetNote {
  // "bottom_button", "choice_button", "check_box", "radio_item", "text_field",
  // "world_map", "copy_list"
  std::string kind;
  std::string label;  // label text as given (bottom buttons: the label index as text)
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // hit area, page units
  bool enabled = true;
  bool clicked = false;
  bool pressed_now = false;  // pressed look drawn and shown at once

  int focus_id = 0;         // 0: takes no focus (an entry of a list: the list's id)
  bool focused = false;     // this frame's keys act on it
  bool focus_ring = false;  // its focus ring is drawn (a key was pressed since the last click)
  // "world_map": the tile under the keyboard's cursor, column * 18 + row;
  // "copy_list": the index of the entry under the cursor; -1 none.
  int cursor = -1;
  int list_index = -1;  // an entry of a list: its index in the whole list (shown or not)
};

class DrawBackend {
 public:
  virtual ~DrawBackend() = default;
  // Makes a texture from `channels` (1 alpha, 4 RGBA) bytes a pixel, bottom row first.
  // Returns its name, never 0.
  virtual unsigned create_texture(int width, int height, int channels, const unsigned char* pixels) = 0;
  virtual void update_texture(unsigned name, int width, int height, int channels,
                              const unsigned char* pixels) = 0;
  virtual void delete_texture(unsigned name) = 0;
  // Texture 0 draws plain coloured quads.
  virtual void quads(unsigned texture, const float rgba[4], const DrawQuad* q, int count) = 0;
  // Shows what has been drawn so far at once (a pressed button before a slow action).
  virtual void present_now() {}

  virtual void note_text(const TextNote&) {}
  virtual void note_sprite(const SpriteNote&) {}
  virtual void note_frame(const FrameNote&) {}
  virtual void note_widget(const WidgetNote&) {}
};

// The back end in use; before any is set a null back end swallows everything.
DrawBackend& draw_backend();
void set_draw_backend(DrawBackend* backend);  // null restores the null back end

// A rectangle given in page units as a quad in window pixels (placed by the page origin
// and scale): (x0, y0)-(x1, y1) shows texels (u0, v0)-(u1, v1).
DrawQuad page_quad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1);
// Draws such a rectangle.
void draw_textured_rect(unsigned texture, const float rgba[4], float x0, float y0, float x1, float y1,
                        float u0, float v0, float u1, float v1);
// Fills a rectangle in page units with a Colour Index.
void fill_rect(int colour, float x0, float y0, float x1, float y1, float alpha = 1.0f);
// Fills the whole window, letterbox bars included, with a Colour Index.
void fill_window(int colour);
