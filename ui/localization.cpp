#include "ui/localization.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "io/file_ops.h"
#include "core/options.h"
#include "io/mapped_file.h"
#include "platform/fs.h"
#include "platform/host.h"

namespace {

const LanguageEntry k_languages[language_count] = {
    {"|English", "English/", nullptr, "en", 9, plural_exactly_one},
    {"|Fran\xC3\xA7" "ais", "French/", "RESOURCE:French.txt", "fr", 12, plural_below_two},
    {"|Deutsch", "German/", "RESOURCE:German.txt", "de", 7, plural_exactly_one},
    {"|\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9", "Russian/", "RESOURCE:Russian.txt", "ru", 25,
     plural_genitive},
    {"|Italiano", "Italian/", "RESOURCE:Italian.txt", "it", 16, plural_exactly_one},
    {"|Espa\xC3\xB1ol", "Spanish/", "RESOURCE:Spanish.txt", "es", 10, plural_exactly_one},
};

const int k_translation_version = 900;

struct LocalizationState {
  std::unordered_map<std::string, std::string> normal;
  std::unordered_map<std::string, std::string> genitive;
  bool loaded = false;
  bool report_missing = false;
  // A text of a lower layer may be looked up on a worker thread: the tables are only read
  // there, but a text reported as missing joins this set.
  std::mutex reported_lock;
  std::unordered_set<std::string> reported;
  int plural_kind = plural_exactly_one;
};

LocalizationState& state() {
  static LocalizationState s;
  return s;
}

void clear_tables(LocalizationState& s) {
  s.normal.clear();
  s.genitive.clear();
  s.reported.clear();
  s.loaded = false;
  s.report_missing = false;
}

// The languages the user may choose from, in table order.
std::vector<int> candidate_languages() {
  std::vector<int> list;
  for (int i = 0; i < language_count; ++i) list.push_back(i);
  return list;
}

int language_with_code(const std::string& code) {
  for (int i : candidate_languages())
    if (code == k_languages[i].iso_code) return i;
  return -1;
}

// The system's language setting decides, by its first two letters.
int language_from_locale() {
  const std::string value = platform::user_language_setting();
  if (value.empty()) return -1;
  // The "C" and "POSIX" locales name no language; their texts are English.
  if (value == "C" || value == "POSIX" || value.rfind("C.", 0) == 0) return 0;
  return language_with_code(value.substr(0, 2));
}

// --- texts of the translation file ---

std::string unescape_line_ends(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == 'r' || s[i + 1] == 'n')) {
      out += s[i + 1] == 'r' ? '\r' : '\n';
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

// Line ends written the way the translation file spells them, so a text stays on one line.
std::string escape_line_ends(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}


// A widget label: left text, '|', right text, '{', help text; each part optional.
struct LabelParts {
  std::string left, right, help;
};

LabelParts split_label(const std::string& label) {
  LabelParts parts;
  size_t brace = label.rfind('{');
  std::string body = label.substr(0, brace);
  if (brace != std::string::npos) parts.help = label.substr(brace + 1);
  size_t bar = body.rfind('|');
  if (bar == std::string::npos) {
    parts.left = body;
  } else {
    parts.left = body.substr(0, bar);
    parts.right = body.substr(bar + 1);
  }
  return parts;
}

bool lacks_a_label_part(const std::string& english, const std::string& translation) {
  LabelParts e = split_label(english), t = split_label(translation);
  return (!e.left.empty() && t.left.empty()) || (!e.right.empty() && t.right.empty()) ||
         (!e.help.empty() && t.help.empty());
}

size_t leading_spaces(const std::string& s) {
  size_t n = 0;
  while (n < s.size() && s[n] == ' ') ++n;
  return n;
}

size_t trailing_spaces(const std::string& s) {
  size_t n = 0;
  while (n < s.size() && s[s.size() - 1 - n] == ' ') ++n;
  return n;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The entry text of a "STRING " or "GENITIVE " line, and its table; false for other lines.
bool entry_of_line(const std::string& line, int* table, std::string* entry) {
  size_t i = 0;
  while (i < line.size() && is_blank(line[i])) ++i;
  if (line.compare(i, 6, "STRING") == 0) {
    *table = table_normal;
    i += 6;
  } else if (line.compare(i, 8, "GENITIVE") == 0) {
    *table = table_genitive;
    i += 8;
  } else {
    return false;
  }
  if (i >= line.size() || !is_blank(line[i])) return false;
  *entry = line.substr(i + 1);
  return true;
}

void read_entry(LocalizationState& s, const std::string& line, std::vector<std::string>* genitive_order) {
  int table = table_normal;
  std::string e;
  if (!entry_of_line(line, &table, &e)) return;
  const std::string error = "ERROR: language file line '" + e;

  size_t split = e.find("====");
  if (split == std::string::npos) {
    LOG << error << "' missing ==== splitter.\n";
    return;
  }
  if (e.size() - (split + 4) < 2) {
    LOG << error << "' missing right side translation.\n";
    return;
  }
  std::string english = unescape_line_ends(e.substr(0, split));
  std::string translation = unescape_line_ends(e.substr(split + 4));

  if (parameter_numbers(english) != parameter_numbers(translation))
    LOG << error << "' has incorrect translated parameters.\n";
  if (!is_well_formed_utf8(e)) LOG << error << "' contains invalid UTF8 characters.\n";
  if (lacks_a_label_part(english, translation))
    LOG << error << "' does not have its help tips correctly formatted.\n";
  if (leading_spaces(english) != leading_spaces(translation))
    LOG << error << "' does not have the same leading spaces.\n";
  if (trailing_spaces(english) != trailing_spaces(translation))
    LOG << error << "' does not have the same trailing spaces.\n";

  auto& map = table == table_genitive ? s.genitive : s.normal;
  auto earlier = map.find(english);
  if (earlier != map.end()) {
    LOG << error << "' is a second translation of " << escape_line_ends(earlier->first) << "===="
        << escape_line_ends(earlier->second) << "\n";
    return;
  }
  map.emplace(english, translation);
  if (table == table_genitive) genitive_order->push_back(english);
}

// Reads every entry after the header; CR and LF both end a line.
void read_entries(LocalizationState& s, const MappedFile& file) {
  std::vector<std::string> genitive_order;
  const char* p = file.pos;
  const char* end = file.end();
  while (p < end) {
    const char* line_end = p;
    while (line_end < end && *line_end != '\r' && *line_end != '\n') ++line_end;
    if (line_end > p) read_entry(s, std::string(p, line_end), &genitive_order);
    p = line_end;
    while (p < end && (*p == '\r' || *p == '\n')) ++p;
  }
  if (s.plural_kind != plural_genitive) return;
  for (const std::string& english : genitive_order) {
    if (s.normal.count(english)) continue;
    LOG << "WARNING: language file line " << escape_line_ends(english) << "===="
        << escape_line_ends(s.genitive[english]) << " is provided in genitive but not plural case.\n";
  }
}

void load_translation(LocalizationState& s, const std::string& path) {
  MappedFile file(path);
  if (!file.has_view()) {
    LOG << "Could not find translation file: " << path << "; using English.\n";
    return;
  }
  const int accepted[] = {k_translation_version, 0};
  if (check_file(file, kind_text, accepted, "TRANSLATION", nullptr) != k_translation_version) {
    LOG << "Translation file " << path << " is not version 900 or has a bad header.\n";
    return;
  }
  read_entries(s, file);
  s.loaded = true;
  s.report_missing = has_option("--missing_strings");
}

std::string translate(const std::string& english, int table, bool report_missing) {
  LocalizationState& s = state();
  if (!s.loaded) return english;
  const auto& map = table == table_genitive ? s.genitive : s.normal;
  auto hit = map.find(english);
  if (hit != map.end()) return hit->second;
  if (report_missing && s.report_missing) {
    std::lock_guard<std::mutex> lock(s.reported_lock);
    if (s.reported.insert(english).second) {
      std::string e = escape_line_ends(english);
      LOG << "STRING " << e << "====" << e << "\n";
    }
  }
  return english;
}

// The lookup of the texts of the layers below the window's.
std::string lower_layer_text(const std::string& english, bool report_missing) {
  return translate(english, table_normal, report_missing);
}

}  // namespace

const LanguageEntry* language_entry(int index) {
  if (index < 0 || index >= language_count) return nullptr;
  return &k_languages[index];
}

std::string language_display_name(int index) {
  const LanguageEntry* e = language_entry(index);
  return e ? e->display_name : "";
}

std::string language_folder(int index) {
  const LanguageEntry* e = language_entry(index);
  return e ? e->folder : "";
}

int choose_initial_language() {
  if (has_option("--lang")) {
    int forced = language_with_code(option_value("--lang"));
    if (forced >= 0) return forced;
  }
  return language_from_locale();
}

bool language_available(int index) {
  std::vector<int> list = candidate_languages();
  return std::find(list.begin(), list.end(), index) != list.end();
}

int confirm_language() {
  if (language_available(app().language)) return app().language;
  std::vector<int> list = candidate_languages();
  if (list.size() == 1) {
    app().language = list[0];
    return app().language;
  }
  app().language = language_english;
  ALERT(alert_language, "Please choose the language of the installer.", "", "", "");
  return app().language;
}

void set_language(int index) {
  const LanguageEntry* e = language_entry(index);
  set_language_from_file(index, e && e->file ? e->file : "");
}

void set_language_from_file(int index, const std::string& path) {
  LocalizationState& s = state();
  clear_tables(s);
  set_user_text_lookup(lower_layer_text);
  const LanguageEntry* e = language_entry(index);
  if (!e || index == language_english) {
    s.plural_kind = plural_exactly_one;
    app().language = language_english;
    return;
  }
  LOG << " ==== CHANGING LANGUAGE TO: " << (e->display_name + 1) << ". ====\n";
  s.plural_kind = e->plural_kind;
  app().language = index;
  load_translation(s, path);
}

std::string localize(const std::string& english, int table) { return translate(english, table, true); }

std::string localize_count(long long count, const std::string& singular, const std::string& plural) {
  LocalizationState& s = state();
  switch (s.plural_kind) {
    case plural_below_two:
      return localize(count < 2 ? singular : plural);
    case plural_genitive: {
      // Russian: 1, 21, 101 take the singular (but 11, 111 do not), 2 to 4, 22 to 24 ... the
      // genitive (but 12 to 14 do not), the rest the plural.
      const long long magnitude = count < 0 ? -count : count;
      const long long last = magnitude % 10, last_two = magnitude % 100;
      if (last == 1 && last_two != 11) return localize(singular);
      const bool genitive = last >= 2 && last <= 4 && (last_two < 12 || last_two > 14);
      if (genitive && s.genitive.count(plural)) return localize(plural, table_genitive);
      return localize(plural);
    }
    default:
      return localize(count == 1 ? singular : plural);
  }
}

bool translation_loaded() { return state().loaded; }

int current_plural_kind() { return state().plural_kind; }

void reset_localization() {
  LocalizationState& s = state();
  clear_tables(s);
  set_user_text_lookup(nullptr);
  s.plural_kind = plural_exactly_one;
}
