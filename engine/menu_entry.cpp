#include "engine/menu_entry.h"

#include <vector>

#include "core/log.h"
#include "core/options.h"
#include "io/embedded_resources.h"
#include "io/file_ops.h"
#include "io/md5.h"
#include "io/partial_file.h"

namespace {

const char kEntryPrefix[] = "zephiro9-";
const char kEntrySuffix[] = ".desktop";
const char kIconName[] = "zephiro9";
const char kIconResource[] = "icon.png";

std::string applications_folder() {
  std::string data = special_folder(folder_desktop_data);
  return data.empty() ? std::string() : data + "applications/";
}

std::string icon_folder() {
  std::string data = special_folder(folder_desktop_data);
  return data.empty() ? std::string() : data + "icons/hicolor/256x256/apps/";
}

// Makes a folder and those above it that are missing. 0 or the first real error.
int make_folders(const std::string& folder) {
  for (size_t cut = folder.find('/', 1); cut != std::string::npos; cut = folder.find('/', cut + 1)) {
    int code = create_folder(folder.substr(0, cut));
    if (code && !is_benign_folder_error(code)) return code;
  }
  return 0;
}

// A whole file written under a temporary name and moved into place, so a desktop never
// reads half an entry.
int write_whole_file(const std::string& path, const void* data, size_t size) {
  PartialFile file;
  if (int code = file.open(path)) return code;
  if (int code = file.write(data, size)) return code;
  return file.commit();
}

std::string folder_name(const std::string& install_path) {
  std::string p = install_path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  size_t cut = p.find_last_of('/');
  return cut == std::string::npos ? p : p.substr(cut + 1);
}

int install_icon() {
  const EmbeddedResource* icon = find_embedded_resource(kIconResource);
  if (!icon) return err_open_for_read;
  const std::string folder = icon_folder();
  if (folder.empty()) return 2;
  if (int code = make_folders(folder)) return code;
  return write_whole_file(menu_icon_path(), icon->begin, static_cast<size_t>(icon->end - icon->begin));
}

bool any_entry_left() {
  std::vector<std::string> names;
  std::vector<int> folders;
  const int n = list_folder(applications_folder(), names, folders);
  const std::string prefix = kEntryPrefix, suffix = kEntrySuffix;
  for (int i = 0; i < n; ++i) {
    const std::string& name = names[i];
    if (!folders[i] && name.size() > prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      return true;
  }
  return false;
}

}  // namespace

std::string menu_entry_path(const std::string& install_path) {
  const std::string folder = applications_folder();
  if (folder.empty()) return "";
  Md5Digest digest;
  if (!digest.ready()) return "";
  digest.add(install_path.data(), install_path.size());
  return folder + kEntryPrefix + digest.finish().substr(0, 16) + kEntrySuffix;
}

std::string menu_icon_path() {
  const std::string folder = icon_folder();
  return folder.empty() ? "" : folder + kIconName + ".png";
}

std::string quote_exec_argument(const std::string& argument) {
  std::string out = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';  // a literal percent sign is doubled, or it reads as a field code
    out += c;
  }
  return out + "\"";
}

std::string escape_entry_value(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else if (c == ' ' && i == 0) out += "\\s";  // readers drop blanks after the '='
    else out += c;
  }
  return out;
}

std::string menu_entry_text(const std::string& install_path) {
  const std::string program = install_path + "Zephiro";
  std::string exec = quote_exec_argument(program);
  // GLib's desktops look for the program before they undo "%%", and refuse an entry whose
  // program they do not find; `env`, found on the PATH, starts it for them.
  if (program.find('%') != std::string::npos) exec = "env " + exec;
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Version=1.0\n"
         "Name=" + escape_entry_value(folder_name(install_path)) + "\n"
         "GenericName=Flight Simulator\n"
         "Comment=" + escape_entry_value("Zephiro 9 in " + install_path) + "\n"
         "Exec=" + escape_entry_value(exec) + "\n"
         "Path=" + escape_entry_value(install_path) + "\n"
         "Icon=" + kIconName + "\n"
         "Terminal=false\n"
         "Categories=Game;Simulation;\n";
}

int write_menu_entry(const std::string& install_path) {
  if (!is_well_formed_utf8(install_path)) return 22;  // EINVAL: entries are UTF-8 text
  const std::string entry = menu_entry_path(install_path);
  if (entry.empty()) return 2;
  if (int code = install_icon()) return code;
  if (int code = make_folders(applications_folder())) return code;
  const std::string text = menu_entry_text(install_path);
  return write_whole_file(entry, text.data(), text.size());
}

bool has_menu_entry(const std::string& install_path) {
  const std::string entry = menu_entry_path(install_path);
  return !entry.empty() && file_exists(entry);
}

int remove_menu_entry(const std::string& install_path) {
  const std::string entry = menu_entry_path(install_path);
  if (entry.empty()) return 0;
  int code = delete_file_or_empty_folder(entry);
  if (code == 2) code = 0;
  if (code == 0 && !any_entry_left()) {
    const int icon_code = delete_file_or_empty_folder(menu_icon_path());
    if (icon_code && icon_code != 2) LOG << "Could not remove the menu icon: " << error_message_for_code(icon_code) << "\n";
  }
  return code;
}

void give_menu_entry(const std::string& install_path) {
  if (has_option("--no_menu_entry") || install_path.empty() || has_menu_entry(install_path)) return;
  const int code = write_menu_entry(install_path);
  if (code)
    LOG << "Could not make the menu entry of " << install_path << ": " << error_message_for_code(code) << "\n";
  else
    LOG << "Menu entry: " << menu_entry_path(install_path) << "\n";
}
