// Draws the program's icon at a smaller size for the desktop's icon theme.
//   scale_icon SOURCE.png SIZE OUT.png
// Each target pixel is the area-weighted mean of the source pixels it covers, in
// premultiplied alpha so that transparent pixels do not darken the edges. Exits 0 on
// success, 1 when a file cannot be read or written, 2 on bad usage.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/png_image.h"

namespace {

// How much of source cell `s` (of `from` cells) falls in target cell `t` (of `to`), in
// source cell units.
double overlap(int t, int s, int from, int to) {
  const double scale = static_cast<double>(from) / to;
  const double lo = t * scale, hi = (t + 1) * scale;
  const double a = lo > s ? lo : s, b = hi < s + 1 ? hi : s + 1;
  return b > a ? b - a : 0.0;
}

Image scaled(const Image& in, int width, int height) {
  Image out;
  out.width = width;
  out.height = height;
  out.rgba.assign(static_cast<size_t>(width) * height * 4, 0);
  const double sx = static_cast<double>(in.width) / width, sy = static_cast<double>(in.height) / height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double sum[4] = {0, 0, 0, 0}, area = 0;
      for (int v = static_cast<int>(y * sy); v < in.height && v < (y + 1) * sy; ++v) {
        const double wy = overlap(y, v, in.height, height);
        for (int u = static_cast<int>(x * sx); u < in.width && u < (x + 1) * sx; ++u) {
          const double w = wy * overlap(x, u, in.width, width);
          const unsigned char* p = in.pixel(u, v);
          const double alpha = p[3] / 255.0;
          for (int c = 0; c < 3; ++c) sum[c] += w * p[c] * alpha;
          sum[3] += w * p[3];
          area += w;
        }
      }
      unsigned char* q = out.pixel(x, y);
      const double alpha = area > 0 ? sum[3] / area : 0;
      q[3] = static_cast<unsigned char>(alpha + 0.5);
      for (int c = 0; c < 3; ++c) {
        const double value = alpha > 0 ? sum[c] / area / (alpha / 255.0) + 0.5 : 0;
        q[c] = static_cast<unsigned char>(value > 255 ? 255 : value);
      }
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int size = argc == 4 ? std::atoi(argv[2]) : 0;
  if (size < 1 || size > 4096) {
    std::fprintf(stderr, "Usage: scale_icon SOURCE.png SIZE OUT.png\n");
    return 2;
  }
  Image source;
  if (read_png(argv[1], source) != png_ok || source.width < 1 || source.height < 1) {
    std::fprintf(stderr, "scale_icon: cannot read %s\n", argv[1]);
    return 1;
  }
  if (save_png(argv[3], scaled(source, size, size)) != png_ok) {
    std::fprintf(stderr, "scale_icon: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
