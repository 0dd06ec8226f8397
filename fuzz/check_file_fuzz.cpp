// The data-file header check on arbitrary files. The first byte picks which reader's
// question is asked (the versions and file-type word of each reader, and the binary
// header); the rest is the file.

#include "fuzz/fuzz_support.h"
#include "io/mapped_file.h"

namespace {

struct Question {
  int kind;
  int accepted[3];
  const char* file_type;
};

const Question kQuestions[] = {
    {kind_text, {840, 900, 0}, "INSTALLER"},  // the install manifest
    {kind_text, {900, 0, 0}, "DVD"},          // dvd_version.txt
    {kind_text, {900, 0, 0}, "TRANSLATION"},  // a translation file
    {kind_text, {10, 0, 0}, nullptr},         // the preferences
    {kind_binary, {900, -7, 0}, nullptr},     // a binary data file
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::scratch("check_file");
  fuzz::keep_quiet();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  fuzz::start_run();
  const Question& q = kQuestions[data[0] % (sizeof kQuestions / sizeof kQuestions[0])];
  const std::string path = fuzz::scratch() + "header.txt";
  fuzz::write_file(path, data + 1, size - 1);

  MappedFile file(path);
  FUZZ_CHECK(file.has_view() == (size > 1));
  FUZZ_CHECK(file.size() == size - 1);
  std::string notice = "untouched";
  int version = check_file(file, q.kind, q.accepted, q.file_type, &notice);
  FUZZ_CHECK(fuzz::reports().alerts == 0);
  if (version == 0) {
    FUZZ_CHECK(file.pos == file.begin());  // a rejected header leaves the position alone
    return 0;
  }
  FUZZ_CHECK(version == q.accepted[0] || version == q.accepted[1]);
  FUZZ_CHECK(file.pos >= file.begin() && file.pos <= file.end());
  const unsigned char* bytes = data + 1;
  if (q.kind == kind_binary) {
    FUZZ_CHECK(file.pos == file.begin() + 5 && (bytes[0] == 'a' || bytes[0] == 'i'));
    return 0;
  }
  size_t first = size - 1 >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
  FUZZ_CHECK(first < size - 1 && (bytes[first] == 'A' || bytes[first] == 'I'));
  // The notice is the rest of one line; the reader stops at a line's start or the end.
  FUZZ_CHECK(notice.find_first_of("\r\n") == std::string::npos);
  FUZZ_CHECK(file.pos == file.end() || (*file.pos != '\r' && *file.pos != '\n'));
  // Asking again from the start gives the same answer.
  file.pos = file.begin();
  FUZZ_CHECK(check_file(file, q.kind, q.accepted, q.file_type, nullptr) == version);
  return 0;
}
