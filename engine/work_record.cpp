#include "engine/work_record.h"

#include <cstdio>

#include "engine/install_scope.h"
#include "io/file_ops.h"
#include "io/mapped_file.h"
#include "io/partial_file.h"

const char kWorkRecordName[] = ".zephiro-unfinished-work.txt";

namespace {

const int kRecordVersion = 1;
const char kRecordType[] = "WORK";
// A record names at most every tile of the grid: a few KB.
const uint64_t kRecordLimit = 64 * 1024;

std::string record_text(const WorkRecord& r) {
  std::string text = "I\n" + std::to_string(kRecordVersion) + " version\n" + kRecordType + "\n";
  text += std::string("BASE ") + (r.base_files ? "1" : "0") + "\n";
  text += std::string("SCENERY ") + (r.scenery_tiles ? "1" : "0") + "\n";
  for (int c = 0; c < tile_columns; ++c)
    for (int row = 0; row < tile_rows; ++row)
      if (r.tiles.get(c, row)) text += "TILE " + tile_name(c, row) + "\n";
  if (r.removal) text += "REMOVE 1\n";
  return text;
}

int write_into(const std::string& folder, const WorkRecord& record) {
  PartialFile file;
  if (int code = file.open(folder + kWorkRecordName)) return code;
  std::string text = record_text(record);
  if (int code = file.write(text.data(), text.size())) return code;
  return file.commit();
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\n' || c == '\r'; }

}  // namespace

std::string work_record_path(const std::string& install_path) { return install_path + kWorkRecordName; }

bool read_work_record(const std::string& install_path, WorkRecord* record) {
  if (install_path.empty()) return false;
  MappedFile file(work_record_path(install_path), 0, 0, kRecordLimit);
  static const int kAccepted[] = {kRecordVersion, 0};
  if (!file.has_view() || check_file(file, kind_text, kAccepted, kRecordType, nullptr) != kRecordVersion)
    return false;
  WorkRecord r;
  const char* p = file.pos;
  const char* end = file.end();
  while (p < end) {
    const char* line = p;
    while (p < end && !is_line_end(*p)) ++p;
    std::string text(line, p);
    while (p < end && is_line_end(*p)) ++p;
    size_t space = text.find(' ');
    std::string key = text.substr(0, space), value = space == std::string::npos ? "" : text.substr(space + 1);
    while (!value.empty() && is_blank(value.back())) value.pop_back();
    int row = 0, column = 0;
    if (key == "BASE") r.base_files = value == "1";
    else if (key == "SCENERY") r.scenery_tiles = value == "1";
    else if (key == "REMOVE") r.removal = value == "1";
    else if (key == "TILE" && value.size() == 7 && tile_of_name(value, &row, &column)) r.tiles.set(column, row, true);
  }
  if (record) *record = r;
  return true;
}

int write_work_record(const std::string& install_path, const WorkRecord& record) {
  return write_into(install_path, record);
}

int create_copy_with_record(const std::string& install_path, const WorkRecord& record) {
  std::string target = install_path;
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  PartialFolder folder;
  if (int code = folder.open(target)) return code;
  if (int code = write_into(folder.folder(), record)) return code;
  return folder.commit();
}

int clear_work_record(const std::string& install_path) {
  int code = delete_file_or_empty_folder(work_record_path(install_path));
  return code == 2 ? 0 : code;
}

WorkRecord work_record_of_scope() {
  const InstallScopeState& scope = install_scope();
  WorkRecord r;
  r.base_files = scope.include_base_files;
  r.scenery_tiles = scope.include_scenery_tiles;
  if (r.scenery_tiles) r.tiles = scope.selected_tiles;
  return r;
}

std::string work_kind_name(const WorkRecord& record) {
  if (record.removal) return "removal";
  if (record.base_files && record.scenery_tiles) return "install";
  return record.scenery_tiles ? "scenery change" : "repair";
}

bool holds_unfinished_install(const std::string& folder) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  WorkRecord r;
  return read_work_record(path, &r) && r.base_files && r.scenery_tiles && !r.removal;
}

bool is_reserved_copy_path(const std::string& rel) {
  static const char kReserved[] = ".zephiro-";
  size_t start = 0;
  while (start < rel.size()) {
    size_t stop = rel.find_first_of("/\\", start);
    if (stop == std::string::npos) stop = rel.size();
    if (rel.compare(start, sizeof kReserved - 1, kReserved) == 0 && stop - start >= sizeof kReserved - 1) return true;
    start = stop + 1;
  }
  return false;
}
