#include "io/file_ops.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/user_text.h"
#include "io/disc_drive.h"
#include "platform/drives.h"
#include "platform/fs.h"
#include "platform/host.h"

namespace {

struct FileOpsState {
  std::string program_folder;
};
FileOpsState g_file_ops;

bool has_drive_prefix(const std::string& p) {
  return p.size() > 2 && p[1] == ':' && p[2] == '\\';
}

bool is_separator(char c) { return c == '/' || c == '\\'; }


// Bytes that are not UTF-8 are taken as Latin-1, the code page this port assumes.
std::string latin1_to_utf8(const std::string& s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (unsigned char c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool less_ignoring_case(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::tolower(static_cast<unsigned char>(a[i]));
    int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

std::string strip_trailing_slash(const std::string& p) {
  if (!p.empty() && p.back() == '/') return p.substr(0, p.size() - 1);
  return p;
}

std::string with_slash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string absolute(const std::string& path) {
  std::string p = path;
  make_absolute(p);
  return p;
}

}  // namespace

bool is_well_formed_utf8(const std::string& s) {
  size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t follow;
    if (c < 0x80) follow = 0;
    else if ((c & 0xE0) == 0xC0) follow = 1;
    else if ((c & 0xF0) == 0xE0) follow = 2;
    else if ((c & 0xF8) == 0xF0) follow = 3;
    else return false;
    if (i + follow >= n && follow > 0) return false;
    for (size_t k = 1; k <= follow; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += follow + 1;
  }
  return true;
}

void normalise_path(std::string& path) {
  if (!is_well_formed_utf8(path)) path = latin1_to_utf8(path);
  // The drive prefix keeps its separator, whichever way it leans.
  size_t start = (path.size() > 2 && path[1] == ':' && is_separator(path[2])) ? 3 : 0;
  for (size_t i = start; i < path.size(); ++i)
    if (path[i] == '\\' || path[i] == ':') path[i] = '/';
}

bool is_absolute_path(const std::string& path) {
  if (has_drive_prefix(path)) return true;
  return !path.empty() && is_separator(path[0]);
}

void make_absolute(std::string& path) {
  if (!is_absolute_path(path)) path = g_file_ops.program_folder + path;
}

void set_program_folder(const std::string& folder) { g_file_ops.program_folder = folder; }

const std::string& program_folder() {
  if (g_file_ops.program_folder.empty()) g_file_ops.program_folder = special_folder(folder_program);
  return g_file_ops.program_folder;
}

std::string special_folder(int code) {
  std::string result;
  switch (code) {
    case folder_program:
    case folder_program_file: {
      result = platform::program_path_of(platform::program_file_path());
      if (code == folder_program && result.size() > 3) {
        size_t cut = result.find_last_of('/');
        if (cut != std::string::npos) result.resize(cut + 1);
      }
      return result;
    }
    case folder_desktop:
    case folder_default_apps: {
      result = platform::desktop_folder();
      break;
    }
    case folder_temp:
      result = platform::temp_folder();
      break;
    case folder_desktop_data:
      result = platform::desktop_data_folder();
      break;
    case folder_prefs:
      result = platform::local_data_folder();
      break;
    default:
      return std::string();
  }
  // Taken as the system gives it: ':' and '\' are ordinary characters in a Linux folder
  // name, and turning them into separators would name another folder (Windows' own
  // separators become '/').
  return with_slash(platform::program_path_of(result));
}

bool file_exists(const std::string& path) {
  platform::PathKind kind = platform::path_kind(absolute(path));
  return kind == platform::PathKind::regular || kind == platform::PathKind::other;
}

int list_folder(const std::string& folder, std::vector<std::string>& names, std::vector<int>& is_folder) {
  names.clear();
  is_folder.clear();
  if (folder.size() > 3 && !is_separator(folder.back())) {
    alert(app().ui_mode, "Working path does not appear to be a directory!",
          "This is not consistent with my labelling practices!",
          "I need to end all paths with the directory indicator!", folder, alert_crash, __FILE__,
          __LINE__);
    return 0;
  }
  std::vector<platform::DirEntry> entries;
  if (!platform::read_dir(absolute(folder), entries)) return 0;
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [](const platform::DirEntry& e) { return e.name.empty() || e.name[0] == '.'; }),
                entries.end());
  std::stable_sort(entries.begin(), entries.end(),
                   [](const platform::DirEntry& a, const platform::DirEntry& b) {
                     return less_ignoring_case(a.name, b.name);
                   });
  for (const platform::DirEntry& e : entries) {
    names.push_back(e.name);
    is_folder.push_back(e.is_folder ? 1 : 0);
  }
  return static_cast<int>(names.size());
}

bool folder_exists(const std::string& path) {
  std::string p = strip_trailing_slash(path);
  if (p.empty()) p = path;  // the root itself
  if (p.empty()) return false;
  return platform::path_kind(absolute(p)) == platform::PathKind::folder;
}

int regular_file_size(const std::string& path, uint64_t* size) {
  std::string p = absolute(path);
  platform::PathKind kind = platform::path_kind(p);
  if (kind == platform::PathKind::missing) return 2;
  if (kind != platform::PathKind::regular) return kind == platform::PathKind::folder ? 21 : 22;
  return platform::file_size(p, size);
}

bool is_special_file(const std::string& path) {
  return platform::path_kind(absolute(path)) == platform::PathKind::other;
}

bool path_exists(const std::string& path) { return platform::path_exists(absolute(strip_trailing_slash(path))); }

bool is_symbolic_link(const std::string& path) { return platform::is_symlink(absolute(strip_trailing_slash(path))); }

int create_folder(const std::string& path) {
  std::string p = absolute(strip_trailing_slash(path));
  if (p.empty()) return 2;
  return platform::make_dir(p);
}

bool is_benign_folder_error(int code) { return code == 0 || code == 17 || code == 183; }

int delete_file_or_empty_folder(const std::string& path) {
  if (path.empty()) return 2;
  std::string p = absolute(path);
  if (p.back() == '/') return platform::remove_dir(strip_trailing_slash(p));
  return platform::remove_file(p);
}

int delete_folder_tree(const std::string& folder) {
  std::string p = with_slash(absolute(folder));
  // A folder that is really a link is removed as a link; its target is never entered.
  if (platform::is_symlink(strip_trailing_slash(p))) return platform::remove_file(strip_trailing_slash(p));
  std::vector<std::string> names;
  std::vector<int> folders;
  int n = list_folder(p, names, folders);
  for (int i = 0; i < n; ++i) {
    int code;
    if (folders[i] && !platform::is_symlink(p + names[i]))
      code = delete_folder_tree(p + names[i] + "/");
    else
      code = delete_file_or_empty_folder(p + names[i]);
    if (code) return code;
  }
  // Dot-files are not listed but must go too, or the folder cannot be removed.
  std::vector<platform::DirEntry> hidden;
  platform::read_dir(p, hidden);
  for (const platform::DirEntry& e : hidden) {
    if (e.name.empty() || e.name[0] != '.') continue;
    int code = (e.is_folder && !platform::is_symlink(p + e.name)) ? delete_folder_tree(p + e.name + "/")
                                                                  : platform::remove_file(p + e.name);
    if (code) return code;
  }
  return delete_file_or_empty_folder(p);
}

int clear_read_only(const std::string& path) { return platform::add_owner_write(absolute(path)); }

int copy_file(const std::string& source, const std::string& target) {
  return platform::copy_file(absolute(source), absolute(target));
}

int copy_tree(const std::string& source, const std::string& target) {
  if (!folder_exists(source)) return copy_file(source, target);
  create_folder(target);
  std::vector<std::string> names;
  std::vector<int> folders;
  int n = list_folder(with_slash(source), names, folders);
  for (int i = 0; i < n; ++i) {
    int code = copy_tree(strip_trailing_slash(source) + "/" + names[i], strip_trailing_slash(target) + "/" + names[i]);
    if (code) return code;
  }
  return 0;
}

int append_to_file(const std::string& path, const std::string& bytes) {
  int fd = -1;
  if (int code = platform::open_for_append(absolute(path), &fd)) return code;
  int code = platform::write_file_bytes(fd, bytes.data(), bytes.size());
  int closed = platform::close_written_file(fd);
  return code ? code : closed;
}

int disk_space(const std::string& path, uint64_t* total_bytes, uint64_t* free_bytes) {
  std::string p = absolute(path);
  if (p.size() > 3) {
    std::string trimmed = p;
    if (is_separator(trimmed.back())) trimmed.pop_back();
    size_t cut = trimmed.find_last_of("/\\");
    p = cut == std::string::npos ? trimmed : trimmed.substr(0, cut + 1);
  }
  return platform::fs_space(p, total_bytes, free_bytes);
}

namespace {

// The device of the path, or of its nearest existing parent. False when none can be asked.
bool device_of(const std::string& path, uint64_t* device) {
  std::string p = strip_trailing_slash(absolute(path));
  uint64_t inode = 0;
  for (;;) {
    if (platform::file_identity(p.empty() ? "/" : p, device, &inode) == 0) return true;
    size_t cut = p.find_last_of('/');
    if (p.empty() || cut == std::string::npos) return false;
    p.resize(cut);
  }
}

}  // namespace

bool on_same_filesystem(const std::string& a, const std::string& b) {
  uint64_t device_a = 0, device_b = 0;
  return !device_of(a, &device_a) || !device_of(b, &device_b) || device_a == device_b;
}

int eject_disc(const std::string& path) { return platform::eject_mounted_disc(absolute(path)); }

std::vector<std::string> split_parameters(const std::string& parameters) {
  std::vector<std::string> args;
  size_t i = 0, n = parameters.size();
  while (i < n) {
    while (i < n && (parameters[i] == ' ' || parameters[i] == '\t')) ++i;
    if (i == n) break;
    std::string arg;
    bool quoted = false;
    for (; i < n && (quoted || (parameters[i] != ' ' && parameters[i] != '\t')); ++i) {
      char c = parameters[i];
      if (c == '"') {
        quoted = !quoted;
      } else if (c == '\\' && quoted && i + 1 < n && (parameters[i + 1] == '"' || parameters[i + 1] == '\\')) {
        arg += parameters[++i];
      } else {
        arg += c;
      }
    }
    args.push_back(arg);
  }
  return args;
}

std::string quote_parameter(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\"\\") == std::string::npos) return arg;
  std::string out = "\"";
  for (char c : arg) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

namespace {

// A program was started: the installer's work is over.
[[noreturn]] void quit_after_start(bool orderly) {
  if (orderly && app().orderly_shutdown) app().orderly_shutdown();
  std::exit(1);
}

}  // namespace

int start_program_and_quit(const std::string& program, const std::string& parameters, bool orderly) {
  const int code = platform::start_detached(absolute(program), split_parameters(parameters));
  if (code) return code;
  quit_after_start(orderly);
}

int open_and_quit(const std::string& file, const std::string& parameters, bool orderly) {
  std::string target = absolute(file);
  if (!platform::is_regular_file(target) && !folder_exists(target)) return 2;  // file not found
  std::vector<std::string> args;
  int code;
  if (platform::is_executable_file(target)) {
    args = split_parameters(parameters);
    code = platform::start_detached(target, args);
  } else {
    code = platform::open_with_desktop(target);
    if (code == platform::no_associated_program) return 31;
  }
  if (code) return code == 13 ? 5 : (code == 2 ? 2 : 31);
  quit_after_start(orderly);
}

std::string error_message_for_code(int code) {
  static const struct {
    int code;
    const char* text;
  } table[] = {
      {20001, "We were unable to open a zip file. It may be missing or damaged"},
      {20002, "We were unable to read from a zip file (short-read error). It may be missing or damaged"},
      {20003, "We were unable to create a zip file"},
      {20004, "We were unable to write to a zip file. It may be missing or damaged"},
      {20005, "We cannot compress a zip file because its source file resource fork is more than 2 GB. The source file is probably damaged"},
      {20006, "We could not open a file to read from it"},
      {20007, "We were unable to connct to the network due to an internal reconnect error"},
      {20008, "We wre unable to connect to the network due to a bad state error"},
      {20009, "We could not allocate a connection to the network"},
      {20010, "We could not write the incoming file from the web to disk"},
      {20011, "We could not find the server over the network"},
      {20012, "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
      {err_archive_damaged, "Damaged archive: the file it holds is not the file it should be"},
      {err_archive_member_missing, "Damaged archive: it does not hold the file it should"},
      {err_archive_corrupt, "Damaged archive: its data is corrupt or fails its check"},
      {err_disc_image_unknown, "The disc image is not an ISO 9660 image (a UDF-only image cannot be read)"},
      {err_disc_image_damaged, "The disc image is damaged or cut short"},
      // The zip library's codes (zlib's and minizip's).
      {-1, "We were unable to read from a zip file. It may be missing or damaged"},
      {-2, "Damaged archive: its compressed data cannot be read"},
      {-3, "Damaged archive: its compressed data is corrupt"},
      {-4, "There was not enough memory to unpack a zip file"},
      {-5, "Damaged archive: its compressed data ends too soon"},
      {-100, "Damaged archive: it ends before the file it should hold"},
      {-102, "We were unable to read from a zip file (bad request to the unzip library)"},
      {-103, "Damaged archive: its list of files cannot be read"},
      {-104, "We were unable to read from a zip file (internal error of the unzip library)"},
      {-105, "Damaged archive: a file in it failed its CRC check"},
      {-106, "Damaged archive: it is protected by a password"},
  };
  if (code == 0) return std::string();
  for (const auto& row : table)
    if (row.code == code) return user_text(row.text);
  std::string system = platform::system_error_text(code);
  if (!system.empty()) {
    // The hints the program always gave where the user can act.
    if (code == 28) system += ". Perhaps your hard drive is full";
    if (code == 1 || code == 13) system += ". Perhaps you do not have access to a directory or file system";
    // The system's words are in no table of the program; the translation may know them.
    return user_text_if_known(system);
  }
  return user_text("Error code %1:code%", std::to_string(code));
}
