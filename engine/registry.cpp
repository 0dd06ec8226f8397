#include "engine/registry.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/log.h"
#include "io/file_ops.h"
#include "io/partial_file.h"
#include "platform/fs.h"

namespace {

RegistryState g_registry;

const char* const registry_file_name = "zephiro_install.txt";

// Reads one line as a 2048-byte buffer would hold it: at most 2047 bytes up to and including
// the LF, cut at the first CR, LF or zero byte. A longer line comes back in pieces.
bool read_registry_line(std::FILE* f, std::string& line) {
  char buffer[2048];
  if (!std::fgets(buffer, sizeof buffer, f)) return false;
  line.assign(buffer, std::strcspn(buffer, "\r\n"));
  return true;
}

std::string preferences_folder() { return special_folder(folder_prefs); }

void log_missing_preferences_folder() { LOG << "WARNING: registration of this nimbrel folder failed!\n"; }

// Only a regular file is read: a FIFO would block and a device never end.
std::FILE* open_registry_for_reading(const std::string& file_path) {
  uint64_t size = 0;
  return regular_file_size(file_path, &size) == 0 ? platform::open_stdio_file(file_path, "rb") : nullptr;
}

// Whether a line of the file equals `install_path`. `open_last_line` tells that the file's
// last line has no LF yet, so that an appended line does not run into it.
bool is_registered(const std::string& file_path, const std::string& install_path, bool* open_last_line) {
  *open_last_line = false;
  std::FILE* f = open_registry_for_reading(file_path);
  if (!f) return false;
  std::string line;
  bool found = false;
  while (!found && read_registry_line(f, line)) found = (line == install_path);
  if (!found && std::fseek(f, -1, SEEK_END) == 0) {
    int last = std::fgetc(f);
    *open_last_line = last != EOF && last != '\n';
  }
  std::fclose(f);
  return found;
}

// On a fresh account the data folder may not exist yet; create it one level at a time.
void create_folder_chain(const std::string& folder) {
  for (size_t cut = folder.find('/', 1); cut != std::string::npos; cut = folder.find('/', cut + 1))
    create_folder(folder.substr(0, cut));
}

}  // namespace

RegistryState& registry() { return g_registry; }

void reset_registry() { g_registry = RegistryState(); }

std::string registry_file_path() {
  std::string folder = preferences_folder();
  return folder.empty() ? std::string() : folder + registry_file_name;
}

bool is_installed_copy(const std::string& folder) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  std::vector<std::string> names;
  std::vector<int> folders;
  int n = list_folder(path, names, folders);
  static const char* const kParts[] = {"Airfoils", "Instructions", "Output", "Resources"};
  for (const char* part : kParts) {
    bool found = false;
    for (int i = 0; i < n && !found; ++i) found = folders[i] && names[i].find(part) != std::string::npos;
    if (!found) return false;
  }
  return true;
}

bool is_registrable_path(const std::string& path) {
  for (unsigned char c : path)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

void read_installed_copies() {
  g_registry.installed_copies.clear();
  std::string file_path = registry_file_path();
  if (file_path.empty()) {
    log_missing_preferences_folder();
    return;
  }
  std::FILE* f = open_registry_for_reading(file_path);
  if (!f) return;
  std::string line;
  while (read_registry_line(f, line)) {
    // An empty line names no folder (it would otherwise stand for the program folder). A
    // folder that is not a copy is never offered: the wizards would fill it with the
    // product's files, and the line may have been slipped in (a name holding a line break).
    if (!line.empty() && folder_exists(line) && is_installed_copy(line))
      g_registry.installed_copies.push_back(line);
  }
  std::fclose(f);
}

int register_install_path(const std::string& install_path) {
  if (!is_registrable_path(install_path)) {
    LOG << "WARNING: a folder holding a control character is never registered.\n";
    return EINVAL;
  }
  std::string folder = preferences_folder();
  if (folder.empty()) {
    log_missing_preferences_folder();
    return 2;
  }
  std::string file_path = folder + registry_file_name;
  bool open_last_line = false;
  if (is_registered(file_path, install_path, &open_last_line)) return 0;
  create_folder_chain(folder);
  int code = append_to_file(file_path, (open_last_line ? "\n" : "") + install_path + "\n");
  if (code) LOG << "WARNING: could not append registration file: " << file_path << "\n";
  return code;
}

int unregister_install_path(const std::string& install_path) {
  const std::string file_path = registry_file_path();
  std::FILE* f = file_path.empty() ? nullptr : open_registry_for_reading(file_path);
  if (!f) return 0;
  std::string kept;
  bool found = false;
  char buffer[4096];
  std::string text;
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, got);
  std::fclose(f);
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(start, end - start);
    if (line.substr(0, line.find_first_of("\r\n")) == install_path) found = true;
    else kept += line;
    start = end;
  }
  int code = 0;
  if (found) {
    PartialFile file;
    code = file.open(file_path);
    if (!code) code = file.write(kept.data(), kept.size());
    if (!code) code = file.commit();
    if (code) LOG << "WARNING: could not rewrite the registration file: " << file_path << "\n";
  }
  read_installed_copies();
  return code;
}
