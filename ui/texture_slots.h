#pragma once
// Artwork and glyph textures registered under fixed slot numbers.

#include <string>

#include "ui/artwork_layout.h"

struct Image;

enum TextureSlotId {
  slot_interface = kSlotInterface,
  slot_font_regular = kSlotFontRegular,
  slot_font_bold = kSlotFontBold,
  slot_button_atlas = kSlotLabelAtlas,
  slot_map = kSlotWorldMap,
  slot_background = kSlotBackground,
};

struct TextureSlot {
  unsigned name = 0;   // the back end's texture name; 0 when the slot is empty
  std::string source;  // "RESOURCE:..." or "scratch_array-..."
  int texture_width = 0, texture_height = 0;  // power-of-two sides
  int image_width = 0, image_height = 0;      // the picture in its lower-left corner
};

enum { texture_ok = 0, texture_unreadable = 1, texture_bad_image = 2, texture_not_main_thread = 3 };

// Loads a PNG stored in the program ("RESOURCE:name") into the slot, replacing what
// was there. Returns texture_ok, texture_unreadable or texture_bad_image.
int load_texture(int slot, const std::string& source);
// Registers an image already decoded in memory (source "scratch_array-...").
int load_texture_image(int slot, const std::string& source, const Image& image);
// Registers or refreshes a one-byte-a-pixel alpha texture (the glyph atlases); the sides
// must already be powers of two.
int load_alpha_texture(int slot, const std::string& source, int width, int height,
                       const unsigned char* alpha);

// The slot's record, or null when nothing is registered there.
const TextureSlot* texture_slot(int slot);
unsigned texture_name(int slot);  // 0 when empty

// Deletes the slot's texture now: main thread only (a worker gets texture_not_main_thread
// and should queue the deletion instead).
int delete_texture(int slot);
// Any thread: the texture is deleted by the main thread at the end of its next pass.
void queue_texture_deletion(unsigned name);
// Main thread: deletes every queued texture. Returns how many were deleted.
int drain_texture_deletions();

// The thread that owns the window's graphics context (the caller of this function).
void set_graphics_thread();
bool on_graphics_thread();

// Forgets every slot and queued deletion without touching the back end (tests).
void reset_texture_slots();

// Loads the artwork of graphics start-up: map, background, interface image (kept in
// memory, its swatch colours taken) and the button atlas of the language.
// Returns texture_ok or the failure of the interface image (the others only log).
int load_artwork(int language);
int load_button_atlas(int language);
// The interface image as decoded (bottom row first); empty before load_artwork.
const Image& interface_image();
