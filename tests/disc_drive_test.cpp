// Drives that are disc images: files read by name out of images mastered by xorriso (on
// Windows, by libarchive), with the data of other files skipped by seeking, and damaged
// images told apart.
#include "io/disc_drive.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "io/file_ops.h"
#include "io/mapped_file.h"
#include "tests/test_util.h"

namespace fs = std::filesystem;

namespace {

std::string random_bytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

// Longer than Joliet's 64 characters, and not ASCII: only Rock Ridge or long Joliet keep it.
const char kLongName[] = "Set/Große Datei mit einem recht langen Namen, länger als vierundsechzig Zeichen.bin";

// Windows has no xorriso: there the image is written through libarchive, with the name
// options read as the same Rock Ridge and Joliet choices.
bool master_with_library(const std::string& folder, const std::string& image, const std::string& names) {
  const bool rock_ridge = names.find("-r") != std::string::npos || names.find("-R") != std::string::npos;
  const bool joliet = names.find("-J") != std::string::npos;
  struct archive* a = archive_write_new();
  bool whole = archive_write_set_format_iso9660(a) == ARCHIVE_OK &&
               archive_write_set_format_option(a, nullptr, "rockridge", rock_ridge ? "1" : nullptr) == ARCHIVE_OK &&
               archive_write_set_format_option(a, nullptr, "joliet", joliet ? "long" : nullptr) == ARCHIVE_OK &&
               archive_write_set_format_option(a, nullptr, "volume-id", "TEST_1") == ARCHIVE_OK &&
               archive_write_open_filename(a, image.c_str()) == ARCHIVE_OK;
  for (auto it = fs::recursive_directory_iterator(fs::u8path(folder)); whole && it != fs::recursive_directory_iterator();
       ++it) {
    const bool is_folder = it->is_directory();
    const std::string bytes = is_folder ? std::string() : read_file(it->path().u8string());
    struct archive_entry* e = archive_entry_new();
    archive_entry_set_pathname_utf8(e, fs::relative(it->path(), fs::u8path(folder)).generic_u8string().c_str());
    archive_entry_set_filetype(e, is_folder ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(e, is_folder ? 0755 : 0644);
    archive_entry_set_size(e, static_cast<la_int64_t>(bytes.size()));
    whole = archive_write_header(a, e) == ARCHIVE_OK &&
            archive_write_data(a, bytes.data(), bytes.size()) == static_cast<la_ssize_t>(bytes.size());
    archive_entry_free(e);
  }
  whole = archive_write_close(a) == ARCHIVE_OK && whole;
  archive_write_free(a);
  return whole;
}

// A disc folder mastered into `image` with the given xorriso (mkisofs) name options.
bool master(const std::string& folder, const std::string& image, const std::string& names) {
  if (!posix_system()) return master_with_library(folder, image, names);
  const std::string command = "xorriso -no_rc -as mkisofs -quiet " + names + " -V TEST_1 -o '" + image + "' '" +
                              folder + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

class DiscDriveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_disc_drive();
    disc = dir / "disc/";
    fs::create_directories(disc + "Set/sub");
    write_file(disc + "dvd_version.txt", "A\n900\nDVD\nVERSION Set\n");
    write_file(disc + kLongName, big);
    write_file(disc + "Set/small.zip", small);
    write_file(disc + "Set/sub/deeper.txt", "deep");
  }
  std::string image_with(const std::string& names) {
    const std::string image = dir / "set.iso";
    fs::remove(image);
    EXPECT_TRUE(master(disc, image, names));
    return image;
  }

  TempDir dir;
  std::string disc;
  const std::string big = random_bytes(3 << 20, 1);
  const std::string small = random_bytes(10000, 2);
};

TEST_F(DiscDriveTest, FilesComeOutOfAnImageByTheirNamesAndTheRestIsSkipped) {
  // Rock Ridge with Joliet (as the disc sets are made), Joliet alone, Rock Ridge alone.
  for (const std::string names : {"-r -J -joliet-long", "-J -joliet-long", "-R"}) {
    SCOPED_TRACE(names);
    // libarchive, which makes the images on Windows, did not keep the long name in Joliet
    // alone there.
    if (!posix_system() && names == "-J -joliet-long") continue;
    const std::string image = image_with(names);
    const std::string root = image + "/";
    EXPECT_TRUE(is_disc_image(root));
    EXPECT_FALSE(is_disc_image(disc));
    std::string detail;
    EXPECT_EQ(check_disc_image(image, &detail), 0) << detail;

    uint64_t size = 0;
    EXPECT_EQ(drive_file_size(root + kLongName, &size), 0);
    EXPECT_EQ(size, big.size());
    EXPECT_EQ(drive_file_size(root + "Set/sub/deeper.txt", &size), 0);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(drive_file_size(root + "Set/missing.zip", &size), ENOENT);
    EXPECT_EQ(drive_file_size(root + "Set/sub", &size), EISDIR);

    // The small file lies after the big one: reaching it must not read the big one.
    const std::string whole = read_file(image);
    ASSERT_GT(whole.find(small), whole.find(big.substr(0, 4096)));
    reset_disc_drive();
    const std::string target = dir / "out/small.zip";
    fs::create_directories(dir / "out");
    ASSERT_EQ(copy_drive_file(root + "Set/small.zip", target), 0);
    EXPECT_EQ(read_file(target), small);
    EXPECT_LT(disc_image_bytes_read(), 256u * 1024) << "of an image of " << fs::file_size(image);
    ASSERT_EQ(copy_drive_file(root + kLongName, dir / "out/big.bin"), 0);
    EXPECT_EQ(read_file(dir / "out/big.bin"), big);

    MappedFile marker;
    ASSERT_EQ(open_drive_file(marker, root + "dvd_version.txt", 1000), 0);
    EXPECT_EQ(std::string(marker.begin(), marker.end()), "A\n900\nDVD\nVERSION Set\n");
    EXPECT_EQ(open_drive_file(marker, root + kLongName, 1000), EFBIG);

    // Ejecting an image leaves it where it is.
    EXPECT_EQ(eject_drive(root), 0);
    EXPECT_TRUE(fs::exists(image));
  }
  // Folders acting as drives read as before.
  uint64_t size = 0;
  EXPECT_EQ(drive_file_size(disc + "Set/small.zip", &size), 0);
  EXPECT_EQ(size, small.size());
  EXPECT_EQ(drive_file_size(disc + "Set/missing.zip", &size), ENOENT);
  EXPECT_EQ(copy_drive_file(disc + "Set/sub/deeper.txt", dir / "deeper.txt"), 0);
  EXPECT_EQ(read_file(dir / "deeper.txt"), "deep");
}

TEST_F(DiscDriveTest, DamagedImagesGiveTheirOwnCodesAndLeaveNoFileBehind) {
  const std::string target_folder = dir / "out/";
  fs::create_directories(target_folder);
  auto nothing_written = [&] { return fs::is_empty(target_folder); };
  uint64_t size = 0;

  // Not an image at all, an empty file, and an image with only UDF's descriptors.
  std::string udf(20 * 2048, '\0');
  udf.replace(16 * 2048, 7, std::string("\0BEA01\1", 7));
  udf.replace(17 * 2048, 7, std::string("\0NSR02\1", 7));
  udf.replace(18 * 2048, 7, std::string("\0TEA01\1", 7));
  for (const std::string& bytes : {std::string("this is a text, no disc image\n", 30), std::string(), udf}) {
    const std::string image = dir / "bad.iso";
    write_file(image, bytes);
    EXPECT_EQ(check_disc_image(image, nullptr), err_disc_image_unknown);
    EXPECT_EQ(drive_file_size(image + "/dvd_version.txt", &size), err_disc_image_unknown);
    EXPECT_EQ(copy_drive_file(image + "/dvd_version.txt", target_folder + "x"), err_disc_image_unknown);
    EXPECT_TRUE(nothing_written());
  }

  // Cut short in the data of the big file: its copy fails, and the directory check sees it.
  const std::string image = image_with("-r -J -joliet-long");
  const std::string whole = read_file(image);
  const size_t at = whole.find(big.substr(0, 4096));
  ASSERT_NE(at, std::string::npos);
  write_file(image, whole.substr(0, at + big.size() / 2));
  EXPECT_EQ(copy_drive_file(image + "/" + kLongName, target_folder + "big.bin"), err_disc_image_damaged);
  EXPECT_TRUE(nothing_written());
  EXPECT_EQ(check_disc_image(image, nullptr), err_disc_image_damaged);
  // Cut inside its directory.
  write_file(image, whole.substr(0, 17 * 2048));
  EXPECT_NE(check_disc_image(image, nullptr), 0);
  EXPECT_NE(drive_file_size(image + "/Set/small.zip", &size), 0);

  for (int code : {err_disc_image_unknown, err_disc_image_damaged})
    EXPECT_NE(error_message_for_code(code).find("disc image"), std::string::npos) << code;
}

}  // namespace
