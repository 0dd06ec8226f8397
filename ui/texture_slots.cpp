#include "ui/texture_slots.h"

#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "core/log.h"
#include "ui/colour_table.h"
#include "ui/draw_backend.h"
#include "ui/png_image.h"

namespace {

struct TextureState {
  std::map<int, TextureSlot> slots;
  std::mutex queue_lock;  // the only part workers touch
  std::vector<unsigned> deletion_queue;
  std::thread::id graphics_thread = std::this_thread::get_id();
  Image interface_image;
};

TextureState& state() {
  static TextureState s;
  return s;
}

int register_image(int slot, const std::string& source, int channels, int tex_w, int tex_h, int img_w,
                   int img_h, const unsigned char* pixels) {
  TextureSlot& t = state().slots[slot];
  if (t.name != 0 && t.texture_width == tex_w && t.texture_height == tex_h) {
    draw_backend().update_texture(t.name, tex_w, tex_h, channels, pixels);
  } else {
    if (t.name != 0) draw_backend().delete_texture(t.name);
    t.name = draw_backend().create_texture(tex_w, tex_h, channels, pixels);
  }
  t.source = source;
  t.texture_width = tex_w;
  t.texture_height = tex_h;
  t.image_width = img_w;
  t.image_height = img_h;
  return texture_ok;
}

const char* const k_atlas_names[6] = {
    "RESOURCE:elements_English.png", "RESOURCE:elements_French.png",  "RESOURCE:elements_German.png",
    "RESOURCE:elements_Russian.png", "RESOURCE:elements_Italian.png", "RESOURCE:elements_Spanish.png",
};

}  // namespace

int load_texture_image(int slot, const std::string& source, const Image& image) {
  if (image.width <= 0 || image.height <= 0) return texture_bad_image;
  const Image padded = pad_to_power_of_two(image);
  return register_image(slot, source, 4, padded.width, padded.height, image.width, image.height,
                        padded.rgba.data());
}

int load_texture(int slot, const std::string& source) {
  Image image;
  const int r = read_png(source, image);
  if (r != png_ok) {
    LOG << "Could not load the texture " << source << ".\n";
    return r == png_unreadable ? texture_unreadable : texture_bad_image;
  }
  return load_texture_image(slot, source, image);
}

int load_alpha_texture(int slot, const std::string& source, int width, int height, const unsigned char* alpha) {
  if (width != next_power_of_two(width) || height != next_power_of_two(height)) return texture_bad_image;
  return register_image(slot, source, 1, width, height, width, height, alpha);
}

const TextureSlot* texture_slot(int slot) {
  auto it = state().slots.find(slot);
  return it == state().slots.end() || it->second.name == 0 ? nullptr : &it->second;
}

unsigned texture_name(int slot) {
  const TextureSlot* t = texture_slot(slot);
  return t ? t->name : 0;
}

int delete_texture(int slot) {
  if (!on_graphics_thread()) return texture_not_main_thread;
  auto it = state().slots.find(slot);
  if (it == state().slots.end()) return texture_ok;
  if (it->second.name != 0) draw_backend().delete_texture(it->second.name);
  state().slots.erase(it);
  return texture_ok;
}

void queue_texture_deletion(unsigned name) {
  std::lock_guard<std::mutex> hold(state().queue_lock);
  state().deletion_queue.push_back(name);
}

int drain_texture_deletions() {
  int count = 0;
  for (;;) {
    unsigned name;
    {
      std::lock_guard<std::mutex> hold(state().queue_lock);
      if (state().deletion_queue.empty()) break;
      name = state().deletion_queue.front();
      state().deletion_queue.erase(state().deletion_queue.begin());
    }
    draw_backend().delete_texture(name);
    ++count;
  }
  return count;
}

void set_graphics_thread() { state().graphics_thread = std::this_thread::get_id(); }

bool on_graphics_thread() { return std::this_thread::get_id() == state().graphics_thread; }

void reset_texture_slots() {
  TextureState& s = state();
  s.slots.clear();
  {
    std::lock_guard<std::mutex> hold(s.queue_lock);
    s.deletion_queue.clear();
  }
  s.graphics_thread = std::this_thread::get_id();
  s.interface_image = Image();
}

int load_button_atlas(int language) {
  if (language < 0 || language > 5) language = 0;
  return load_texture(slot_button_atlas, k_atlas_names[language]);
}

int load_artwork(int language) {
  load_texture(slot_map, "RESOURCE:map.png");
  load_texture(slot_background, "RESOURCE:background.png");
  Image& image = state().interface_image;
  if (read_png("RESOURCE:interface.png", image) != png_ok) {
    LOG << "Could not read RESOURCE:interface.png.\n";
    return texture_unreadable;
  }
  const int r = load_texture_image(slot_interface, "scratch_array-interface", image);
  if (r != texture_ok) return r;
  take_interface_colours(image);
  load_button_atlas(language);
  return texture_ok;
}

const Image& interface_image() { return state().interface_image; }
