#include "app/preferences.h"

#include <cstdlib>
#include <map>
#include <vector>

#include "app/log.h"
#include "app/options.h"
#include "io/file_ops.h"
#include "io/mapped_file.h"

namespace {

const char k_file_name[] = "Zephiro Installer.prf";
const int k_version = 10;

Preferences g_prefs;

enum PrefType { pref_text, pref_int };

struct BoundKey {
  const char* key;
  PrefType type;
  std::string* text;
  int* number;
};

// The stored preferences in file order.
std::vector<BoundKey> bound_keys(Preferences& p) {
  return {
      {"_message_1", pref_text, &p.message[0], nullptr},
      {"_message_2", pref_text, &p.message[1], nullptr},
      {"_message_3", pref_text, &p.message[2], nullptr},
      {"_message_4", pref_text, &p.message[3], nullptr},
      {"_stream_count", pref_int, nullptr, &p.stream_count},
      {"_log_actions", pref_int, nullptr, &p.log_actions},
      {"_proxy_host", pref_text, &p.proxy_host, nullptr},
      {"_proxy_port", pref_text, &p.proxy_port, nullptr},
      {"_proxy_port_int", pref_int, nullptr, &p.proxy_port_int},
      {"_get_beta", pref_int, nullptr, &p.get_beta},
  };
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// Key, blanks, value to the end of the line; later lines win.
std::map<std::string, std::string> read_table(const char* p, const char* end) {
  std::map<std::string, std::string> table;
  while (p < end) {
    while (p < end && (is_blank(*p) || is_line_end(*p))) ++p;
    const char* key = p;
    while (p < end && !is_blank(*p) && !is_line_end(*p)) ++p;
    if (p == key) continue;
    std::string name(key, p);
    while (p < end && is_blank(*p)) ++p;
    const char* value = p;
    while (p < end && !is_line_end(*p)) ++p;
    table[name] = std::string(value, p);
  }
  return table;
}

void read_preferences() {
  std::map<std::string, std::string> table;
  MappedFile file(preferences_file_path());
  const int accepted[] = {k_version, 0};
  if (file.has_view() && check_file(file, kind_text, accepted, nullptr, nullptr) != 0)
    table = read_table(file.pos, file.end());

  for (const BoundKey& k : bound_keys(g_prefs)) {
    std::string value;
    std::string option = std::string("--pref:") + k.key;
    if (has_option(option)) {
      value = option_value(option);
    } else {
      auto it = table.find(k.key);
      if (it == table.end()) continue;
      value = it->second;
    }
    if (k.type == pref_text)
      *k.text = value;
    else
      *k.number = std::atoi(value.c_str());
  }
}

void write_preferences() {
  if (has_option("--fps_test") || has_option("--qa_script")) return;
  std::string path = preferences_file_path();
  if (!ouf_open(path, kind_text, k_version, "no-copyright-string")) return;
  std::ofstream& out = ouf_stream();
  for (const BoundKey& k : bound_keys(g_prefs)) {
    if (k.type == pref_text) {
      // One line per key: a value from the command line cannot smuggle in another line.
      std::string value = k.text->substr(0, k.text->find_first_of(std::string("\r\n\0", 3)));
      if (!value.empty()) out << k.key << " " << value << "\n";
    } else {
      out << k.key << " " << *k.number << "\n";
    }
  }
  out.close();
  // A half-written file (a full disk) is reported rather than thrown at the shutdown.
  if (out.fail()) LOG << "Could not write the preferences file " << path << "\n";
}

}  // namespace

Preferences& prefs() { return g_prefs; }
void reset_preferences() { g_prefs = Preferences(); }

void exchange_preferences(int mode) {
  if (mode == prefs_read)
    read_preferences();
  else if (mode == prefs_write)
    write_preferences();
}

std::string preferences_file_path() { return special_folder(folder_prefs) + k_file_name; }
