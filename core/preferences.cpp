#include "core/preferences.h"

#include <cstdlib>
#include <map>
#include <vector>

#include "core/log.h"
#include "core/options.h"

namespace {

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

}  // namespace

Preferences& prefs() { return g_prefs; }
void reset_preferences() { g_prefs = Preferences(); }

void apply_preference_lines(const char* begin, const char* end) {
  std::map<std::string, std::string> table;
  if (begin && end) table = read_table(begin, end);
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

std::string preference_lines() {
  std::string out;
  for (const BoundKey& k : bound_keys(g_prefs)) {
    if (k.type == pref_text) {
      // One line per key: a value from the command line cannot smuggle in another line.
      std::string value = k.text->substr(0, k.text->find_first_of(std::string("\r\n\0", 3)));
      if (!value.empty()) out += std::string(k.key) + " " + value + "\n";
    } else {
      out += std::string(k.key) + " " + std::to_string(*k.number) + "\n";
    }
  }
  return out;
}
