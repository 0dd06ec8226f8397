// Zip extraction of an arbitrary archive into a scratch folder.

#include "fuzz/extraction_check.h"
#include "io/archive.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratch("zip");
  fuzz::keep_quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ExtractionScene scene("in.zip");
  fuzz::start_run();
  scene.prepare(data, size);
  zip_to_file(scene.archive, scene.out, nullptr, false);
  scene.check_after_extraction();
  FUZZ_CHECK(fuzz::reports().alerts == 0);
  return 0;
}
