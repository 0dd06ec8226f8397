#pragma once
// Every text the user sees is written in English and looked up in the current
// language's translation when it is drawn. This module owns the language table, the
// choice of language at start-up, the translation files, and counted and
// parameterised messages. The current language index is app().language.

#include <string>

#include "core/user_text.h"

enum LanguageIndex {
  language_english = 0,
  language_french = 1,
  language_german = 2,
  language_russian = 3,
  language_italian = 4,
  language_spanish = 5,
  language_count = 6,
};

// How a language chooses between the singular and the plural of a counted phrase.
enum PluralKind {
  plural_below_two = 0,   // one form for 0 and 1, another for 2 and more
  plural_exactly_one = 1, // one form for exactly 1, another for everything else
  plural_genitive = 2,    // as 1, plus a genitive form for numbers ending in 2, 3, 4 (not 12..14)
};

enum TranslationTable { table_normal = 0, table_genitive = 1 };

struct LanguageEntry {
  const char* display_name;  // UTF-8, begins with '|' so it shows on a choice's right side
  const char* folder;        // "French/"
  const char* file;          // "RESOURCE:French.txt"; null for the built-in English
  const char* iso_code;      // "fr"
  int windows_primary;       // the primary language number Windows uses
  int plural_kind;
};

// The table row for an index, or null outside 0..5.
const LanguageEntry* language_entry(int index);
// "|Français" and "French/"; empty outside 0..5.
std::string language_display_name(int index);
std::string language_folder(int index);

// The language forced by "--lang", else the one of the user's locale (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG: the first that is set, by its first two letters), else -1.
int choose_initial_language();
// Whether the index is one of the languages the user may choose from.
bool language_available(int index);
// Run before the translation is loaded: when app().language is not available, takes the
// only available language if there is exactly one, else English, and lets the user pick
// with the language-choice alert (which may change app().language). Returns app().language.
int confirm_language();

// Makes `index` the current language (app().language) and loads its translation file;
// index 0 (and any index outside the table) returns to the built-in English. From then on
// the layers below the window translate their texts (core/user_text.h) by the same tables.
void set_language(int index);
// The same with the translation read from `path` (an embedded "RESOURCE:" name or a file).
void set_language_from_file(int index, const std::string& path);

// The translation of `english` in the current language, or `english` itself.
std::string localize(const std::string& english, int table = table_normal);
// The singular or plural phrase for `count`, translated; parameters are left in place.
std::string localize_count(long long count, const std::string& singular, const std::string& plural);

// Whether a translation is loaded, and the plural kind in force (1 for English).
bool translation_loaded();
int current_plural_kind();

// Back to English with empty tables and the lower layers' lookup removed (for tests;
// leaves app().language alone).
void reset_localization();
