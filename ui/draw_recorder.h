#pragma once
// A draw back end that keeps what a frame drew instead of drawing it.

#include <string>
#include <vector>

#include "ui/draw_backend.h"

struct RecordedQuads {
  unsigned texture = 0;
  float rgba[4] = {0, 0, 0, 0};
  std::vector<DrawQuad> quads;
};

class DrawRecorder : public DrawBackend {
 public:
  unsigned create_texture(int width, int height, int channels, const unsigned char* pixels) override;
  void update_texture(unsigned name, int width, int height, int channels, const unsigned char* pixels) override;
  void delete_texture(unsigned name) override;
  void quads(unsigned texture, const float rgba[4], const DrawQuad* q, int count) override;
  void present_now() override { ++presents; }
  void note_text(const TextNote& n) override { texts.push_back(n); }
  void note_sprite(const SpriteNote& n) override { sprites.push_back(n); }
  void note_frame(const FrameNote& n) override { frames.push_back(n); }
  void note_widget(const WidgetNote& n) override { widgets.push_back(n); }

  // Forgets the frame's drawing (textures stay).
  void clear();
  // The text notes whose line text equals `text`.
  std::vector<TextNote> lines_of(const std::string& text) const;
  // The lines of draw_text call number `call`, in order.
  std::vector<TextNote> lines_of_call(int call) const;
  const WidgetNote* widget(const std::string& kind, size_t nth = 0) const;

  std::vector<RecordedQuads> drawn;
  std::vector<TextNote> texts;
  std::vector<SpriteNote> sprites;
  std::vector<FrameNote> frames;
  std::vector<WidgetNote> widgets;
  int presents = 0;
  unsigned next_name = 0;
  std::vector<unsigned> live_textures;
  std::vector<unsigned> deleted_textures;
  int uploads = 0;
};
