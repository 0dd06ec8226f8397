#pragma once
// The zip and 7z targets: an archive from the fuzzer's bytes is extracted into "out/" of the
// scratch folder, beside which lie only the archive itself and an empty folder "beside/".
// Whatever the archive holds, nothing may be written anywhere but under out/, and no
// half-written member file may stay behind. (A folder inside the out folder that the user
// made a link is written through by design; an archive can make no link, so the scene
// holds none.)

#include "fuzz/fuzz_support.h"

namespace fuzz {

struct ExtractionScene {
  std::string root, archive, out, beside;

  explicit ExtractionScene(const char* archive_name) {
    root = scratch();
    archive = root + archive_name;
    out = root + "out/";
    beside = root + "beside/";
    fs::create_directories(beside);
    fs::create_directories(out);
  }

  // An empty out/, and the archive in place.
  void prepare(const uint8_t* data, size_t size) {
    empty_folder(out);
    write_file(archive, data, size);
  }

  void check_after_extraction() {
    FUZZ_CHECK(is_empty_folder(beside));
    size_t entries = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(root)) {
      const std::string name = e.path().filename().string();
      FUZZ_CHECK(root + name == archive || name == "out" || name == "beside");
      ++entries;
    }
    FUZZ_CHECK(entries == 3);
    FUZZ_CHECK(!holds_name_starting(out, ".zephiro-part-"));
  }
};

}  // namespace fuzz
