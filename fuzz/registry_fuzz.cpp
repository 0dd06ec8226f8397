// The installed copies registry on an arbitrary file. Every '@' in the input stands for the
// scratch folder that holds the copies "a/", "b/" and "new/", so the fuzzer can name real
// folders.
// Reading lists only installed copies; registering only ever appends, and a registered
// copy is then listed.

#include <algorithm>

#include "engine/registry.h"
#include "fuzz/fuzz_support.h"

namespace {

std::string g_copies;

bool listed(const std::string& folder) {
  const std::vector<std::string>& copies = registry().installed_copies;
  return std::find(copies.begin(), copies.end(), folder) != copies.end();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const std::string& root = fuzz::scratch("registry");
  g_copies = root + "copies/";
  for (const char* copy : {"a", "b", "new"})
    for (const char* part : {"/Airfoils", "/Instructions", "/Output", "/Resources"})
      fuzz::fs::create_directories(g_copies + copy + part);
  fuzz::use_scratch_data_folder();
  fuzz::keep_quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_run();
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '@')
      text += g_copies;
    else
      text += static_cast<char>(data[i]);
  }
  const std::string file = registry_file_path();
  fuzz::write_file(file, reinterpret_cast<const uint8_t*>(text.data()), text.size());

  read_installed_copies();
  size_t lines = std::count(text.begin(), text.end(), '\n') + 1 + text.size() / 2047;
  FUZZ_CHECK(registry().installed_copies.size() <= lines);
  for (const std::string& copy : registry().installed_copies) {
    FUZZ_CHECK(!copy.empty() && copy.size() <= 2047);
    FUZZ_CHECK(fuzz::fs::is_directory(copy) && is_installed_copy(copy));
  }
  const bool a_listed = listed(g_copies + "a/");

  // Registering a copy keeps every byte there was and lists the copy from then on.
  const std::string fresh = g_copies + "new/";
  const bool was_listed = listed(fresh);
  FUZZ_CHECK(register_install_path(fresh) == 0);
  const std::string after = fuzz::read_file(file);
  FUZZ_CHECK(after.compare(0, text.size(), text) == 0);
  if (was_listed) FUZZ_CHECK(after == text);
  read_installed_copies();
  FUZZ_CHECK(listed(fresh));
  FUZZ_CHECK(listed(g_copies + "a/") == a_listed);

  // A second registration changes nothing.
  FUZZ_CHECK(register_install_path(fresh) == 0);
  FUZZ_CHECK(fuzz::read_file(file) == after);
  FUZZ_CHECK(fuzz::reports().alerts == 0);
  return 0;
}
