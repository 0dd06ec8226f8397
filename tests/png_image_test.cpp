#include "ui/png_image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>

#include "tests/test_util.h"
#include "ui/colour_table.h"
#include "ui/draw_recorder.h"
#include "ui/texture_slots.h"

namespace {

Image gradient(int w, int h) {
  Image image;
  image.width = w;
  image.height = h;
  image.rgba.resize(static_cast<size_t>(w) * h * 4);
  for (int r = 0; r < h; ++r)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = image.pixel(x, r);
      p[0] = static_cast<unsigned char>(x);
      p[1] = static_cast<unsigned char>(r);
      p[2] = static_cast<unsigned char>(x ^ r);
      p[3] = static_cast<unsigned char>(255 - x);
    }
  return image;
}

TEST(PngImage, RoundTripKeepsPixelsAndTheBottomRowFirst) {
  const Image image = gradient(37, 21);
  TempDir dir;
  ASSERT_EQ(save_png(dir / "g.png", image), png_ok);
  const std::string bytes = read_file(dir / "g.png");
  Image back;
  ASSERT_EQ(decode_png(bytes.data(), bytes.size(), back), png_ok);
  EXPECT_EQ(back.width, 37);
  EXPECT_EQ(back.height, 21);
  EXPECT_EQ(back.rgba, image.rgba);
  Image read;
  ASSERT_EQ(read_png(dir / "g.png", read), png_ok);
  EXPECT_EQ(read.rgba, image.rgba);
}

TEST(PngImage, DamagedDataFailsCleanly) {
  std::string bytes;
  ASSERT_EQ(encode_png(gradient(64, 64), bytes), png_ok);
  Image out;
  for (size_t cut : {size_t(0), size_t(7), size_t(40), bytes.size() / 2, bytes.size() - 13}) {
    EXPECT_EQ(decode_png(bytes.data(), cut, out), png_bad_data) << cut;
    EXPECT_TRUE(out.rgba.empty());
  }
  std::string flipped = bytes;
  flipped[bytes.size() / 2] ^= 0x5A;
  EXPECT_NE(decode_png(flipped.data(), flipped.size(), out), png_ok);
  EXPECT_EQ(read_png("RESOURCE:no_such_picture.png", out), png_unreadable);
}

TEST(PngImage, OddSizedImagesSitInTheLowerLeftOfAPowerOfTwoTexture) {
  EXPECT_EQ(next_power_of_two(1), 1);
  EXPECT_EQ(next_power_of_two(600), 1024);
  EXPECT_EQ(next_power_of_two(512), 512);
  const Image image = gradient(80, 60);
  const Image padded = pad_to_power_of_two(image);
  EXPECT_EQ(padded.width, 128);
  EXPECT_EQ(padded.height, 64);
  EXPECT_EQ(0, std::memcmp(padded.pixel(0, 0), image.pixel(0, 0), 4));
  EXPECT_EQ(0, std::memcmp(padded.pixel(79, 59), image.pixel(79, 59), 4));
  EXPECT_EQ(padded.pixel(80, 0)[3], 0);
  EXPECT_EQ(padded.pixel(0, 60)[3], 0);
}

class TextureSlotsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_texture_slots();
    set_draw_backend(&rec);
  }
  void TearDown() override {
    set_draw_backend(nullptr);
    reset_texture_slots();
  }
  DrawRecorder rec;
};

TEST_F(TextureSlotsTest, SlotsRegisterReplaceAndDelete) {
  ASSERT_EQ(load_texture_image(slot_background, "scratch_array-test", gradient(200, 150)), texture_ok);
  const TextureSlot* t = texture_slot(slot_background);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->texture_width, 256);
  EXPECT_EQ(t->texture_height, 256);
  EXPECT_EQ(t->image_width, 200);
  const unsigned first = t->name;
  // Same size: refreshed in place; another size: a new texture, the old one deleted.
  load_texture_image(slot_background, "scratch_array-test", gradient(250, 200));
  EXPECT_EQ(texture_name(slot_background), first);
  load_texture_image(slot_background, "scratch_array-test", gradient(300, 200));
  EXPECT_NE(texture_name(slot_background), first);
  EXPECT_EQ(rec.deleted_textures, std::vector<unsigned>{first});
  EXPECT_EQ(delete_texture(slot_background), texture_ok);
  EXPECT_EQ(texture_slot(slot_background), nullptr);
  EXPECT_EQ(load_texture(slot_map, "RESOURCE:no_such_map.png"), texture_unreadable);
  EXPECT_EQ(texture_name(slot_map), 0u);
}

TEST_F(TextureSlotsTest, WorkersQueueDeletionsForTheMainThread) {
  load_texture_image(slot_map, "scratch_array-map", gradient(16, 16));
  const unsigned name = texture_name(slot_map);
  int from_worker = -1;
  std::thread worker([&] {
    from_worker = delete_texture(slot_map);
    queue_texture_deletion(name);
  });
  worker.join();
  EXPECT_EQ(from_worker, texture_not_main_thread);
  EXPECT_TRUE(rec.deleted_textures.empty());
  EXPECT_EQ(drain_texture_deletions(), 1);
  EXPECT_EQ(rec.deleted_textures, std::vector<unsigned>{name});
  EXPECT_EQ(drain_texture_deletions(), 0);
}

TEST(ColourTable, SwatchesComeFromTheInterfaceImage) {
  reset_colour_table();
  EXPECT_EQ(colour_rgb(12)[0], 0.0f);
  EXPECT_FLOAT_EQ(colour_rgb(73)[2], 0.8f);
  EXPECT_EQ(colour_rgb(57)[1], 1.0f);
  EXPECT_EQ(colour_rgb(-1)[0], 1.0f);
  EXPECT_EQ(colour_rgb(500)[0], 1.0f);

  Image image;
  image.width = image.height = 512;
  image.rgba.assign(512 * 512 * 4, 0);
  image.pixel(319, 155)[0] = 10;  // colour 39
  image.pixel(319, 147)[1] = 100;  // colour 40
  image.pixel(319, 123)[1] = 200;  // colour 43
  image.pixel(395, 115)[2] = 30;  // colour 49
  ASSERT_EQ(take_interface_colours(image), 0);
  EXPECT_FLOAT_EQ(colour_rgb(39)[0], 10 / 255.0f);
  EXPECT_FLOAT_EQ(colour_rgb(49)[2], 30 / 255.0f);
  EXPECT_FLOAT_EQ(colour_rgb(44)[1], 150 / 255.0f);  // the average of 40 and 43
  EXPECT_EQ(colour_rgb(52)[0], 0.0f);

  Image small;
  small.width = small.height = 64;
  small.rgba.assign(64 * 64 * 4, 0);
  EXPECT_EQ(take_interface_colours(small), 1);
  reset_colour_table();
  EXPECT_FLOAT_EQ(colour_rgb(44)[2], 173.5f / 255.0f);
}

TEST(ColourTable, PulsingColoursMoveWithTime) {
  reset_colour_table();
  update_pulsing_colours(0.25);
  const float a = colour_rgb(91)[2];
  update_pulsing_colours(1.25);
  const float b = colour_rgb(91)[2];
  EXPECT_GT(std::abs(a - b), 0.1f);
  for (int i = 89; i <= 94; ++i)
    for (int c = 0; c < 3; ++c) {
      EXPECT_GE(colour_rgb(i)[c], 0.0f);
      EXPECT_LE(colour_rgb(i)[c], 1.0f);
    }
}

}  // namespace
