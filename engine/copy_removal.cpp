#include "engine/copy_removal.h"

#include <cerrno>
#include <unordered_map>

#include "core/log.h"
#include "engine/manifest.h"
#include "engine/menu_entry.h"
#include "engine/registry.h"
#include "engine/work_record.h"
#include "io/file_ops.h"
#include "io/md5.h"
#include "platform/fs.h"

namespace {

// What a walk of the copy finds. Links are never followed: a link to a folder is a link.
struct CopyListing {
  std::vector<std::string> files;    // regular files and anything else that is no folder
  std::vector<std::string> links;
  std::vector<std::string> folders;  // deepest first
};

void walk(const std::string& install_path, const std::string& rel, CopyListing& out) {
  std::vector<platform::DirEntry> entries;
  if (!platform::read_dir(install_path + rel, entries)) return;
  for (const platform::DirEntry& e : entries) {
    const std::string path = rel + e.name;
    if (platform::is_symlink(install_path + path)) {
      out.links.push_back(path);
    } else if (e.is_folder) {
      walk(install_path, path + "/", out);
      out.folders.push_back(path + "/");
    } else if (!(rel.empty() && e.name == kWorkRecordName)) {  // the record goes last, on its own
      out.files.push_back(path);
    }
  }
}

// Install-relative path -> manifest group.
std::unordered_map<std::string, int> named_files() {
  std::unordered_map<std::string, int> named;
  for (int g = 0; g < manifest_group_count(); ++g) named.emplace(install_relative_path(current_entry(g).path), g);
  return named;
}

bool is_named(const std::unordered_map<std::string, int>& named, const std::string& rel) {
  return named.count(rel) != 0;
}

// Whether the file is one the product put there: its signature is that of some version.
bool matches_some_version(int group, const std::string& location) {
  std::string signature;
  if (md5_of_file(location, signature) != 0) return false;
  for (int e = 0; e < manifest_entry_count(group); ++e)
    if (manifest_entry(group, e).expected_signature == signature) return true;
  return false;
}

// Codes of a folder that could not be removed for a good reason: it still holds the user's
// files (ENOTEMPTY, or EEXIST on some systems), it is gone already (ENOENT), or it is a link
// (ENOTDIR), which stays.
// The names, not Linux's numbers: Windows' C library numbers ENOTEMPTY otherwise.
bool folder_may_stay(int code) {
  return code == 0 || code == ENOTEMPTY || code == EEXIST || code == ENOENT || code == ENOTDIR;
}

void note_failure(CopyRemoval& r, const std::string& rel, int code) {
  ++r.failed;
  const std::string text = r.install_path + rel + ": " + error_message_for_code(code);
  LOG << "Could not remove " << text << "\n";
  if (r.first_error.empty()) r.first_error = text;
}

void act_on_item(CopyRemoval& r, const std::string& rel, const std::unordered_map<std::string, int>& named) {
  const std::string location = r.install_path + rel;
  if (!rel.empty() && rel.back() == '/') {
    const int code = delete_file_or_empty_folder(location);
    if (!folder_may_stay(code)) note_failure(r, rel, code);
    return;
  }
  bool remove = is_symbolic_link(location) || is_reserved_copy_path(rel);
  if (!remove) {
    auto it = named.find(rel);
    remove = it != named.end() && file_exists(location) && !is_special_file(location) &&
             matches_some_version(it->second, location);
  }
  if (!remove) {
    r.kept.push_back(rel);
    LOG << "Keeping the user's file " << location << "\n";
    return;
  }
  const int code = delete_file_or_empty_folder(location);
  if (code == 0 || code == 2) ++r.removed;
  else note_failure(r, rel, code);
}

void finish_removal(CopyRemoval& r) {
  r.finished = true;
  if (r.failed) return;  // the copy stays registered, with its entry and record
  if (int code = unregister_install_path(r.install_path)) {
    note_failure(r, "", code);
    return;
  }
  if (int code = remove_menu_entry(r.install_path)) {
    note_failure(r, "", code);
    return;
  }
  if (int code = clear_work_record(r.install_path)) {
    note_failure(r, kWorkRecordName, code);
    return;
  }
  // The copy's folder itself, unless the user's files keep it.
  const int code = delete_file_or_empty_folder(r.install_path);
  if (!folder_may_stay(code)) note_failure(r, "", code);
}

}  // namespace

RemovalPreview preview_removal(const std::string& install_path) {
  CopyListing listing;
  walk(install_path, "", listing);
  const std::unordered_map<std::string, int> named = named_files();
  RemovalPreview preview;
  preview.files = static_cast<int>(listing.links.size());
  for (const std::string& rel : listing.files) {
    uint64_t size = 0;
    if (!is_named(named, rel) || regular_file_size(install_path + rel, &size) != 0) continue;
    ++preview.files;
    preview.kilobytes += static_cast<double>(size) / 1000.0;
  }
  return preview;
}

int start_removal(CopyRemoval& r, const std::string& install_path) {
  r = CopyRemoval();
  r.install_path = install_path;
  WorkRecord record;
  record.removal = true;
  if (int code = write_work_record(install_path, record)) return code;
  CopyListing listing;
  walk(install_path, "", listing);
  r.items = listing.links;
  r.items.insert(r.items.end(), listing.files.begin(), listing.files.end());
  r.folder_start = r.items.size();
  r.named = named_files();
  r.items.insert(r.items.end(), listing.folders.begin(), listing.folders.end());
  LOG << "Removing " << install_path << ": " << r.items.size() << " files and folders to look at\n";
  return 0;
}

bool removal_step(CopyRemoval& r, int budget) {
  if (r.finished) return true;
  for (int i = 0; i < budget && r.next < r.items.size(); ++i) act_on_item(r, r.items[r.next++], r.named);
  if (r.next < r.items.size()) return false;
  finish_removal(r);
  return true;
}

float removal_progress(const CopyRemoval& r) {
  return r.items.empty() ? 1.0f : static_cast<float>(r.next) / static_cast<float>(r.items.size());
}

std::string removal_current_item(const CopyRemoval& r) {
  return r.next < r.items.size() ? r.items[r.next] : std::string();
}
