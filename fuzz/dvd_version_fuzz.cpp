// Disc identity on an arbitrary dvd_version.txt in the only drive: the disc is taken for an
// install disc exactly when its header passes, and the version read is one line's text.

#include "engine/dvd_discovery.h"
#include "engine/manifest.h"
#include "fuzz/fuzz_support.h"
#include "io/mapped_file.h"

namespace {

std::string g_drive;
std::string g_temp;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string& root = fuzz::scratch("dvd_version");
  g_drive = root + "drive/";
  g_temp = root + "temp/";
  fuzz::fs::create_directories(g_drive);
  fuzz::fs::create_directories(g_temp);
  setenv("TMPDIR", g_temp.c_str(), 1);  // where the disc's manifest would be extracted
  fuzz::keep_quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_run();
  reset_dvd_discovery();
  set_dvd_drives(g_drive);
  const std::string marker = g_drive + "dvd_version.txt";
  fuzz::write_file(marker, data, size);

  read_disc_identity();

  static const int accepted[] = {900, 0};
  MappedFile file(marker, 0, 0, 64 * 1024);  // the reader's own bound for this file
  bool header = check_file(file, kind_text, accepted, "DVD", nullptr) == 900;
  FUZZ_CHECK(dvd_root() == (header ? g_drive : std::string()));
  const std::string& version = dvd_version();
  if (!header) FUZZ_CHECK(version.empty());
  FUZZ_CHECK(version.find_first_of("\r\n") == std::string::npos);
  FUZZ_CHECK(version.empty() || (version[0] != ' ' && version[0] != '\t'));
  if (version.empty()) {
    FUZZ_CHECK(manifest_read_status() == 0 && fuzz::reports().alerts == 0);
  } else {
    // This disc carries no manifest archive: its extraction and reading are reported.
    FUZZ_CHECK(manifest_read_status() == manifest_rejected && fuzz::reports().fatal_alerts >= 1);
  }
  FUZZ_CHECK(fuzz::is_empty_folder(g_temp));
  return 0;
}
