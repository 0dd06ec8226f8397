#pragma once
// RGBA images decoded from and encoded to PNG with libpng.

#include <string>
#include <vector>

// Four bytes a pixel, stored bottom row first (row 0 is the bottom of the picture).
struct Image {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;

  unsigned char* pixel(int x, int row) { return &rgba[(static_cast<size_t>(row) * width + x) * 4]; }
  const unsigned char* pixel(int x, int row) const {
    return &rgba[(static_cast<size_t>(row) * width + x) * 4];
  }
};

enum { png_ok = 0, png_bad_data = 1, png_cannot_write = 2, png_unreadable = 3 };

// Decodes any PNG (palette, grey, 16-bit, with or without alpha) to RGBA.
int decode_png(const void* bytes, size_t size, Image& out);
// Reads a PNG through a Mapped File ("RESOURCE:" names included).
int read_png(const std::string& path, Image& out);
int encode_png(const Image& image, std::string& out);
int save_png(const std::string& path, const Image& image);

// The smallest power of two that is at least n (n >= 1).
int next_power_of_two(int n);
// Places the image in the lower-left corner of a power-of-two sized, transparent image.
Image pad_to_power_of_two(const Image& image);
