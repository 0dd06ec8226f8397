#include "ui/png_image.h"

#include <png.h>

#include <cstdio>
#include <cstring>

#include "io/mapped_file.h"
#include "platform/fs.h"

namespace {

struct ReadCursor {
  const unsigned char* data;
  size_t size;
  size_t pos;
};

void read_from_memory(png_structp png, png_bytep out, png_size_t length) {
  ReadCursor* c = static_cast<ReadCursor*>(png_get_io_ptr(png));
  if (length > c->size - c->pos) png_error(png, "truncated PNG");
  std::memcpy(out, c->data + c->pos, length);
  c->pos += length;
}

void write_to_string(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void flush_nothing(png_structp) {}

// libpng reports errors by longjmp; keep the C++ objects out of the function that sets it.
int decode_rows(png_structp png, png_infop info, ReadCursor* cursor, Image* out,
                std::vector<png_bytep>* rows) {
  if (setjmp(png_jmpbuf(png))) return png_bad_data;
  png_set_read_fn(png, cursor, read_from_memory);
  png_read_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (w == 0 || h == 0 || w > 16384 || h > 16384) return png_bad_data;
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != w * 4) return png_bad_data;
  out->width = static_cast<int>(w);
  out->height = static_cast<int>(h);
  out->rgba.assign(static_cast<size_t>(w) * h * 4, 0);
  rows->resize(h);
  // The file stores the top row first; the image keeps the bottom row first.
  for (png_uint_32 r = 0; r < h; ++r) (*rows)[r] = out->pixel(0, static_cast<int>(h - 1 - r));
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);
  return png_ok;
}

int encode_rows(png_structp png, png_infop info, const Image* image, std::string* out) {
  if (setjmp(png_jmpbuf(png))) return png_cannot_write;
  png_set_write_fn(png, out, write_to_string, flush_nothing);
  png_set_IHDR(png, info, image->width, image->height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int r = image->height - 1; r >= 0; --r)
    png_write_row(png, const_cast<png_bytep>(image->pixel(0, r)));
  png_write_end(png, nullptr);
  return png_ok;
}

}  // namespace

int decode_png(const void* bytes, size_t size, Image& out) {
  out = Image();
  if (size < 8 || png_sig_cmp(static_cast<png_const_bytep>(bytes), 0, 8) != 0) return png_bad_data;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return png_bad_data;
  png_infop info = png_create_info_struct(png);
  ReadCursor cursor{static_cast<const unsigned char*>(bytes), size, 0};
  std::vector<png_bytep> rows;
  int result = info ? decode_rows(png, info, &cursor, &out, &rows) : png_bad_data;
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  if (result != png_ok) out = Image();
  return result;
}

int read_png(const std::string& path, Image& out) {
  MappedFile file(path);
  if (!file.has_view()) {
    out = Image();
    return png_unreadable;
  }
  return decode_png(file.begin(), file.size(), out);
}

int encode_png(const Image& image, std::string& out) {
  out.clear();
  if (image.width <= 0 || image.height <= 0 ||
      image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4)
    return png_cannot_write;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return png_cannot_write;
  png_infop info = png_create_info_struct(png);
  int result = info ? encode_rows(png, info, &image, &out) : png_cannot_write;
  png_destroy_write_struct(&png, info ? &info : nullptr);
  return result;
}

int save_png(const std::string& path, const Image& image) {
  std::string bytes;
  if (int r = encode_png(image, bytes)) return r;
  std::FILE* f = platform::open_stdio_file(path, "wb");
  if (!f) return png_cannot_write;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written ? png_ok : png_cannot_write;
}

int next_power_of_two(int n) {
  int p = 1;
  while (p < n) p <<= 1;
  return p;
}

Image pad_to_power_of_two(const Image& image) {
  Image out;
  out.width = next_power_of_two(image.width);
  out.height = next_power_of_two(image.height);
  if (out.width == image.width && out.height == image.height) return image;
  out.rgba.assign(static_cast<size_t>(out.width) * out.height * 4, 0);
  for (int r = 0; r < image.height; ++r)
    std::memcpy(out.pixel(0, r), image.pixel(0, r), static_cast<size_t>(image.width) * 4);
  return out;
}
