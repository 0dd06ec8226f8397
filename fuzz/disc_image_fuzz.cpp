// Disc images from outside: any file read as an ISO 9660 image through the drive functions.
// Reading never fails the program; a file comes out whole, with the size the image's
// directory gives, or not at all.

#include "fuzz/fuzz_support.h"
#include "io/disc_drive.h"
#include "io/file_ops.h"
#include "io/mapped_file.h"

namespace {

std::string g_image;
std::string g_out;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string& root = fuzz::scratch("disc_image");
  g_image = root + "disc.iso";
  g_out = root + "out/";
  fuzz::fs::create_directories(g_out);
  fuzz::keep_quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_run();
  // The image file keeps its name (and often its size): its directory must be read afresh.
  reset_disc_drive();
  fuzz::write_file(g_image, data, size);
  const int checked = check_disc_image(g_image, nullptr);
  for (const char* name : {"dvd_version.txt", "Zephiro 9 DVD/directory.txt.zip", "Zephiro 9 DVD/Zephiro 9"}) {
    const std::string path = g_image + "/" + name;
    uint64_t listed = 0;
    const int sized = drive_file_size(path, &listed);
    const std::string target = g_out + "copy";
    if (copy_drive_file(path, target) == 0) {
      FUZZ_CHECK(sized == 0);
      FUZZ_CHECK(fuzz::fs::file_size(target) == listed);
      fuzz::fs::remove(target);
    }
    FUZZ_CHECK(fuzz::is_empty_folder(g_out));
    MappedFile file;
    if (open_drive_file(file, path, 64 * 1024) == 0) FUZZ_CHECK(sized == 0 && file.size() == listed);
    // An image whose directory cannot be read gives nothing out of it.
    if (checked == err_disc_image_unknown) FUZZ_CHECK(sized == err_disc_image_unknown);
  }
  return 0;
}
