#include "ui/draw_recorder.h"

#include <algorithm>

unsigned DrawRecorder::create_texture(int, int, int, const unsigned char*) {
  ++uploads;
  live_textures.push_back(++next_name);
  return next_name;
}

void DrawRecorder::update_texture(unsigned, int, int, int, const unsigned char*) { ++uploads; }

void DrawRecorder::delete_texture(unsigned name) {
  live_textures.erase(std::remove(live_textures.begin(), live_textures.end(), name), live_textures.end());
  deleted_textures.push_back(name);
}

void DrawRecorder::quads(unsigned texture, const float rgba[4], const DrawQuad* q, int count) {
  RecordedQuads r;
  r.texture = texture;
  std::copy(rgba, rgba + 4, r.rgba);
  r.quads.assign(q, q + count);
  drawn.push_back(std::move(r));
}

void DrawRecorder::clear() {
  drawn.clear();
  texts.clear();
  sprites.clear();
  frames.clear();
  widgets.clear();
  presents = 0;
}

std::vector<TextNote> DrawRecorder::lines_of(const std::string& text) const {
  std::vector<TextNote> out;
  for (const TextNote& t : texts)
    if (t.text == text) out.push_back(t);
  return out;
}

std::vector<TextNote> DrawRecorder::lines_of_call(int call) const {
  std::vector<TextNote> out;
  for (const TextNote& t : texts)
    if (t.call == call) out.push_back(t);
  return out;
}

const WidgetNote* DrawRecorder::widget(const std::string& kind, size_t nth) const {
  for (const WidgetNote& w : widgets)
    if (w.kind == kind && nth-- == 0) return &w;
  return nullptr;
}
