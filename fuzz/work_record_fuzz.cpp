// The record of unfinished work that a copy may hold: read an arbitrary one, write back what
// was taken from it, and read the same work again; a file whose header fails is no record.

#include "engine/work_record.h"
#include "fuzz/fuzz_support.h"
#include "io/mapped_file.h"

namespace {

std::string g_copy;

bool same(const WorkRecord& a, const WorkRecord& b) {
  if (a.base_files != b.base_files || a.scenery_tiles != b.scenery_tiles) return false;
  for (int c = 0; c < tile_columns; ++c)
    for (int r = 0; r < tile_rows; ++r)
      if (a.tiles.get(c, r) != b.tiles.get(c, r)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_copy = fuzz::scratch("work_record") + "copy/";
  fuzz::fs::create_directories(g_copy);
  fuzz::keep_quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_run();
  const std::string path = work_record_path(g_copy);
  fuzz::write_file(path, data, size);
  static const int accepted[] = {1, 0};
  MappedFile file(path);
  const bool header = check_file(file, kind_text, accepted, "WORK", nullptr) == 1;
  file.close();

  WorkRecord first;
  const bool read = read_work_record(g_copy, &first);
  // A record too big for any real one is not read at all.
  if (size <= 64 * 1024) FUZZ_CHECK(read == header);
  if (!read) FUZZ_CHECK(!holds_unfinished_install(g_copy));
  if (read) {
    FUZZ_CHECK(holds_unfinished_install(g_copy) == (first.base_files && first.scenery_tiles));
    FUZZ_CHECK(write_work_record(g_copy, first) == 0);
    WorkRecord again;
    FUZZ_CHECK(read_work_record(g_copy, &again));
    FUZZ_CHECK(same(first, again));
  }
  FUZZ_CHECK(clear_work_record(g_copy) == 0 && !read_work_record(g_copy, nullptr));
  FUZZ_CHECK(fuzz::reports().alerts == 0);
  return 0;
}
