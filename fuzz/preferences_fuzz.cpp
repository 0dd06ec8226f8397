// The preferences file: read an arbitrary one, write what was taken from it, read that back
// and get the same values; a file whose header fails changes nothing.

#include "core/preferences.h"
#include "fuzz/fuzz_support.h"
#include "io/mapped_file.h"
#include "io/preferences_file.h"

namespace {

bool same(const Preferences& a, const Preferences& b) {
  for (int i = 0; i < 4; ++i)
    if (a.message[i] != b.message[i]) return false;
  return a.stream_count == b.stream_count && a.log_actions == b.log_actions && a.proxy_host == b.proxy_host &&
         a.proxy_port == b.proxy_port && a.proxy_port_int == b.proxy_port_int && a.get_beta == b.get_beta;
}

// The values before a read: a key the file does not hold leaves its value standing. Texts
// start empty, as in the program, since an empty text is not written.
Preferences before_reading() {
  Preferences p;
  p.stream_count = p.log_actions = p.proxy_port_int = p.get_beta = -12345;
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratch("preferences");
  fuzz::use_scratch_data_folder();
  fuzz::keep_quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_run();
  const std::string path = preferences_file_path();
  fuzz::write_file(path, data, size);
  static const int accepted[] = {10, 0};
  MappedFile file(path);
  const bool header = check_file(file, kind_text, accepted, nullptr, nullptr) == 10;
  file.close();

  prefs() = before_reading();
  exchange_preferences(prefs_read);
  const Preferences first = prefs();
  if (!header) FUZZ_CHECK(same(first, before_reading()));

  exchange_preferences(prefs_write);
  FUZZ_CHECK(fuzz::reports().alerts == 0);
  FUZZ_CHECK(fuzz::read_file(path).compare(0, 13, "I\n10 version\n") == 0);
  prefs() = before_reading();
  exchange_preferences(prefs_read);
  FUZZ_CHECK(same(prefs(), first));
  return 0;
}
