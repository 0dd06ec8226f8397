// Loading an arbitrary translation file, then translating, counting and filling in
// parameters with what it holds. The first byte picks the language (and so its plural kind).

#include <cstring>
#include <vector>

#include "core/app_state.h"
#include "fuzz/fuzz_support.h"
#include "io/mapped_file.h"
#include "ui/localization.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratch("translation");
  fuzz::keep_quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::start_run();
  static const int languages[] = {language_french, language_german, language_russian};
  const int language = languages[data[0] % 3];
  const std::string path = fuzz::scratch() + "translation.txt";
  fuzz::write_file(path, data + 1, size - 1);

  set_language_from_file(language, path);
  FUZZ_CHECK(app().language == language);
  FUZZ_CHECK(current_plural_kind() == language_entry(language)->plural_kind);
  static const int accepted[] = {900, 0};
  MappedFile file(path);
  bool header = check_file(file, kind_text, accepted, "TRANSLATION", nullptr) == 900;
  FUZZ_CHECK(translation_loaded() == header);
  FUZZ_CHECK(fuzz::reports().alerts == 0);  // nothing here is shown to the user

  // Every line of the file, and each side of its "====", is looked up, counted and filled
  // in the way the pages do it.
  const char* text = reinterpret_cast<const char*>(data + 1);
  std::vector<std::string> pieces;
  for (size_t start = 0; start < size - 1;) {
    size_t end = start;
    while (end < size - 1 && text[end] != '\n') ++end;
    std::string line(text + start, end - start);
    size_t split = line.find("====");
    if (split != std::string::npos) {
      pieces.push_back(line.substr(0, split));
      pieces.push_back(line.substr(split + 4));
    }
    pieces.push_back(line);
    start = end + 1;
  }
  for (const std::string& piece : pieces) {
    std::string translated = localize(piece);
    if (!translation_loaded()) FUZZ_CHECK(translated == piece);
    localize(piece, table_genitive);
    for (long long n : {0LL, 1LL, 2LL, 5LL, 22LL, 111LL})
      substitute_parameters(localize_count(n, piece, translated), std::to_string(n));
    std::string filled = substitute_parameters(translated, "a", "bb", "%1:x%", "");
    // Text without a parameter comes back as it was.
    if (translated.find('%') == std::string::npos) FUZZ_CHECK(filled == translated);
  }
  return 0;
}
