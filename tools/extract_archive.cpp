// Extracts one zip or 7z archive the way the installer does, and prints the result.
//   extract_archive ARCHIVE OUT_FOLDER
// Prints "result=CODE MESSAGE"; exits 0 on success, 1 on failure, 2 on bad usage.

#include <cstdio>
#include <filesystem>
#include <string>

#include "io/archive.h"
#include "io/file_ops.h"

namespace {

std::string absolute_from_here(const std::string& path) {
  std::error_code ec;
  std::string full = std::filesystem::absolute(path, ec).string();
  return ec ? path : full;
}

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr,
                 "Usage: extract_archive ARCHIVE OUT_FOLDER\n"
                 "Extracts a .zip or .7z archive into OUT_FOLDER as the installer does and prints\n"
                 "\"result=CODE MESSAGE\". Exit status 0 on success, 1 on failure.\n");
    return 2;
  }
  std::string archive = absolute_from_here(argv[1]);
  std::string out = absolute_from_here(argv[2]);
  if (out.back() != '/') out += '/';
  int code = ends_with(archive, ".7z") ? sevenzip_to_folder(archive, out, nullptr, false)
                                       : zip_to_file(archive, out, nullptr, false);
  std::printf("result=%d %s\n", code, error_message_for_code(code).c_str());
  return code == 0 ? 0 : 1;
}
