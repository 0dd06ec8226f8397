#include "ui/localization.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/alert.h"
#include "core/app_state.h"
#include "core/log.h"
#include "core/options.h"
#include "platform/child_process.h"
#include "tests/test_util.h"

namespace {

const char kHeader[] = "I\n900\nTRANSLATION\n";
const char* const kLocaleVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

size_t count_of(const std::string& haystack, const std::string& needle) {
  size_t n = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
  return n;
}

class LocalizationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kLocaleVariables) {
      const char* v = std::getenv(name);
      saved_env.push_back(v ? std::make_pair(true, std::string(v)) : std::make_pair(false, std::string()));
      unset_environment(name);
    }
    saved_language = app().language;
    reset_options();
    reset_localization();
    set_alert_handler([this](const AlertRequest& r) { alerts.push_back(r); });
    log_set_capture(&log);
  }

  void TearDown() override {
    log_set_capture(nullptr);
    set_alert_handler(nullptr);
    reset_localization();
    reset_options();
    app().language = saved_language;
    for (size_t i = 0; i < saved_env.size(); ++i) {
      if (saved_env[i].first)
        set_environment(kLocaleVariables[i], saved_env[i].second.c_str());
      else
        unset_environment(kLocaleVariables[i]);
    }
  }

  // Sets command-line options without their echo lines reaching the captured log.
  void options(const std::string& tokens) {
    parse_option_tokens(tokens);
    log.clear();
  }

  // Writes a translation file and makes it the translation of `language`.
  std::string load(int language, const std::string& body, const std::string& header = kHeader) {
    std::string path = dir / ("lang" + std::to_string(++files) + ".txt");
    write_file(path, header + body);
    set_language_from_file(language, path);
    return path;
  }

  TempDir dir;
  int files = 0;
  std::string log;
  std::vector<AlertRequest> alerts;
  std::vector<std::pair<bool, std::string>> saved_env;
  int saved_language = 0;
};

TEST_F(LocalizationTest, LanguageTableInIndexOrder) {
  const char* codes[] = {"en", "fr", "de", "ru", "it", "es"};
  const char* folders[] = {"English/", "French/", "German/", "Russian/", "Italian/", "Spanish/"};
  const int kinds[] = {1, 0, 1, 2, 1, 1};
  for (int i = 0; i < language_count; ++i) {
    ASSERT_NE(language_entry(i), nullptr);
    EXPECT_STREQ(language_entry(i)->iso_code, codes[i]);
    EXPECT_EQ(language_folder(i), folders[i]);
    EXPECT_EQ(language_entry(i)->plural_kind, kinds[i]);
    EXPECT_EQ(language_display_name(i)[0], '|');
  }
  EXPECT_EQ(language_display_name(1), "|Fran\xC3\xA7" "ais");
  EXPECT_EQ(language_display_name(3), "|\xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9");
  EXPECT_EQ(language_entry(0)->file, nullptr);
  EXPECT_STREQ(language_entry(2)->file, "RESOURCE:German.txt");
  EXPECT_EQ(language_entry(-1), nullptr);
  EXPECT_EQ(language_entry(6), nullptr);
  EXPECT_EQ(language_display_name(6), "");
  EXPECT_EQ(language_folder(-1), "");
}

TEST_F(LocalizationTest, EnglishReturnsTextsUnchangedAndLogsNothing) {
  options("--missing_strings");
  EXPECT_FALSE(translation_loaded());
  EXPECT_EQ(localize("Find It"), "Find It");
  EXPECT_EQ(localize("Find It", table_genitive), "Find It");
  EXPECT_EQ(localize_count(0, "%1:n% disc", "%1:n% discs"), "%1:n% discs");
  EXPECT_EQ(localize_count(1, "%1:n% disc", "%1:n% discs"), "%1:n% disc");
  EXPECT_EQ(log, "");
}

TEST_F(LocalizationTest, ReadsEntriesAndIgnoresOtherLines) {
  std::string body =
      "# TRAN: comments and blank lines are skipped\r\n"
      "\r\n"
      "STRING Find It====La trouver\r\n"
      "   STRING\tQuit====Quitter\r\n"
      "STRIGN Cancel====Annuler\n"
      "STRINGCancel====Annuler\n"
      "string Cancel====Annuler\n"
      "STRING Line one\\nLine two\\r====Ligne une\\nLigne deux\\r\n"
      "STRING Back\\x====Retour\\x\n"
      "STRING A====B====C\n"
      "GENITIVE Find It====La trouver (gen)\n"
      "STRING Last line without end====Derniere";
  load(language_french, "\xEF\xBB\xBF" + std::string(kHeader) + body, "");
  EXPECT_TRUE(translation_loaded());
  EXPECT_EQ(app().language, language_french);
  EXPECT_EQ(current_plural_kind(), plural_below_two);
  EXPECT_NE(log.find(" ==== CHANGING LANGUAGE TO: Fran\xC3\xA7" "ais. ====\n"), std::string::npos);

  EXPECT_EQ(localize("Find It"), "La trouver");
  EXPECT_EQ(localize("Find It", table_genitive), "La trouver (gen)");
  EXPECT_EQ(localize("Quit"), "Quitter");
  EXPECT_EQ(localize("Cancel"), "Cancel");
  EXPECT_EQ(localize("Line one\nLine two\r"), "Ligne une\nLigne deux\r");
  EXPECT_EQ(localize("Back\\x"), "Retour\\x");  // only \r and \n are escapes
  EXPECT_EQ(localize("A"), "B====C");           // split at the first splitter
  EXPECT_EQ(localize("Last line without end"), "Derniere");
  EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
}

TEST_F(LocalizationTest, BadHeaderOrMissingFileKeepsEnglish) {
  const std::string bad_headers[] = {
      "I\n840\nTRANSLATION\n",  // another version
      "I\n900\nTRANSLATIONS\n", // a longer type word
      "I\n900\nDVD\n",          // another kind of file
      "X\n900\nTRANSLATION\n",  // not a text data file
      "I\n900\n",               // no type word at all
  };
  for (const std::string& header : bad_headers) {
    log.clear();
    std::string path = load(language_german, "STRING Quit====Beenden\n", header);
    EXPECT_NE(log.find("Translation file " + path + " is not version 900 or has a bad header.\n"),
              std::string::npos)
        << header;
    EXPECT_FALSE(translation_loaded());
    EXPECT_EQ(localize("Quit"), "Quit");
    EXPECT_EQ(current_plural_kind(), plural_exactly_one);
  }

  log.clear();
  set_language_from_file(language_russian, dir / "absent.txt");
  EXPECT_EQ(log, " ==== CHANGING LANGUAGE TO: \xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9. ====\n"
                 "Could not find translation file: " + (dir / "absent.txt") + "; using English.\n");
  EXPECT_FALSE(translation_loaded());
  EXPECT_EQ(current_plural_kind(), plural_genitive);  // the language's own rule even without a file
  EXPECT_EQ(app().language, language_russian);

  // Italian and Spanish have no embedded translation.
  log.clear();
  set_language(language_italian);
  EXPECT_EQ(log, " ==== CHANGING LANGUAGE TO: Italiano. ====\n"
                 "Could not find translation file: RESOURCE:Italian.txt; using English.\n");
  EXPECT_EQ(app().language, language_italian);
}

TEST_F(LocalizationTest, MalformedEntriesAreLoggedAndStoredWherePossible) {
  load(language_french,
       "STRING No splitter here\n"
       "STRING a====\n"
       "STRING b====x\n"
       "STRING Copy %1:file% now====Copier maintenant\n"
       "STRING %1:a% of %2:b%====%2:b% de %1:a%\n"
       "STRING Bad\xC3====Mauvais\n"
       "STRING Next|{Go on====Suivant|\n"
       "STRING |English====Anglais\n"
       "STRING Left|Right{Help====Gauche|Droite{Aide\n"
       "STRING  Two====Deux\n"
       "STRING Three ====Trois\n"
       "STRING Four  ====Quatre  \n");
  auto logged = [&](const std::string& e, const std::string& message) {
    return count_of(log, "ERROR: language file line '" + e + "' " + message + "\n");
  };
  EXPECT_EQ(logged("No splitter here", "missing ==== splitter."), 1u);
  EXPECT_EQ(logged("a====", "missing right side translation."), 1u);
  EXPECT_EQ(logged("b====x", "missing right side translation."), 1u);
  EXPECT_EQ(logged("Copy %1:file% now====Copier maintenant", "has incorrect translated parameters."), 1u);
  EXPECT_EQ(logged("Bad\xC3====Mauvais", "contains invalid UTF8 characters."), 1u);
  EXPECT_EQ(logged("Next|{Go on====Suivant|", "does not have its help tips correctly formatted."), 1u);
  EXPECT_EQ(logged("|English====Anglais", "does not have its help tips correctly formatted."), 1u);
  EXPECT_EQ(logged(" Two====Deux", "does not have the same leading spaces."), 1u);
  EXPECT_EQ(logged("Three ====Trois", "does not have the same trailing spaces."), 1u);
  // Each fault is reported once and nothing else is.
  EXPECT_EQ(count_of(log, "ERROR:"), 9u) << log;

  EXPECT_EQ(localize("No splitter here"), "No splitter here");
  EXPECT_EQ(localize("a"), "a");
  EXPECT_EQ(localize("b"), "b");
  // Entries with faults are still used.
  EXPECT_EQ(localize("Copy %1:file% now"), "Copier maintenant");
  EXPECT_EQ(localize("%1:a% of %2:b%"), "%2:b% de %1:a%");
  EXPECT_EQ(localize("Bad\xC3"), "Mauvais");
  EXPECT_EQ(localize("Next|{Go on"), "Suivant|");
  EXPECT_EQ(localize(" Two"), "Deux");
  EXPECT_EQ(localize("Three "), "Trois");
  EXPECT_EQ(localize("Four  "), "Quatre  ");
  EXPECT_EQ(localize("Left|Right{Help"), "Gauche|Droite{Aide");
}

TEST_F(LocalizationTest, SecondTranslationKeepsTheFirst) {
  load(language_french,
       "STRING Open====Ouvrir\n"
       "STRING Open====Ouvrez\n"
       "GENITIVE Open====Ouvert\n"
       "STRING Two\\nlines====Deux\\nlignes\n"
       "STRING Two\\nlines====Autre\n");
  EXPECT_EQ(count_of(log, "ERROR: language file line 'Open====Ouvrez' is a second translation of Open====Ouvrir\n"),
            1u);
  EXPECT_EQ(count_of(log, "ERROR: language file line 'Two\\nlines====Autre' is a second translation of "
                          "Two\\nlines====Deux\\nlignes\n"),
            1u);
  EXPECT_EQ(count_of(log, "ERROR:"), 2u) << log;  // the genitive table is a separate table
  EXPECT_EQ(localize("Open"), "Ouvrir");
  EXPECT_EQ(localize("Open", table_genitive), "Ouvert");
  EXPECT_EQ(localize("Two\nlines"), "Deux\nlignes");
}

TEST_F(LocalizationTest, MissingStringsAreReportedOncePerLoadedLanguage) {
  options("--missing_strings");
  std::string body = "STRING Yes====Oui\n";
  load(language_french, body);
  log.clear();
  EXPECT_EQ(localize("Yes"), "Oui");
  EXPECT_EQ(localize("Not there"), "Not there");
  EXPECT_EQ(localize("Not there"), "Not there");
  EXPECT_EQ(localize("Line one\r\nLine two"), "Line one\r\nLine two");
  EXPECT_EQ(localize("Line one\r\nLine two"), "Line one\r\nLine two");
  EXPECT_EQ(log, "STRING Not there====Not there\n"
                 "STRING Line one\\r\\nLine two====Line one\\r\\nLine two\n");

  // Loading again starts a new report.
  load(language_french, body);
  log.clear();
  localize("Not there");
  EXPECT_EQ(log, "STRING Not there====Not there\n");

  // A missing genitive entry is reported too, once.
  log.clear();
  localize("Other", table_genitive);
  localize("Other", table_genitive);
  EXPECT_EQ(log, "STRING Other====Other\n");

  // Back in English nothing is missing.
  set_language(language_english);
  log.clear();
  EXPECT_EQ(localize("Still not there"), "Still not there");
  EXPECT_EQ(log, "");
}

TEST_F(LocalizationTest, MissingStringsAreSilentWithoutTheOption) {
  load(language_french, "STRING Yes====Oui\n");
  log.clear();
  EXPECT_EQ(localize("Not there"), "Not there");
  EXPECT_EQ(log, "");
}

TEST_F(LocalizationTest, SetLanguageRebuildsTheTables) {
  load(language_german, "STRING Yes====Ja\nSTRING No====Nein\n");
  EXPECT_EQ(localize("No"), "Nein");
  load(language_german, "STRING Yes====Jawohl\n");
  EXPECT_EQ(localize("Yes"), "Jawohl");
  EXPECT_EQ(localize("No"), "No");

  set_language(language_english);
  EXPECT_FALSE(translation_loaded());
  EXPECT_EQ(app().language, language_english);
  EXPECT_EQ(current_plural_kind(), plural_exactly_one);
  EXPECT_EQ(localize("Yes"), "Yes");

  // An index outside the table is English, not an out-of-range read.
  load(language_german, "STRING Yes====Ja\n");
  log.clear();
  set_language(7);
  EXPECT_EQ(app().language, language_english);
  EXPECT_FALSE(translation_loaded());
  EXPECT_EQ(localize("Yes"), "Yes");
  set_language(-1);
  EXPECT_EQ(app().language, language_english);
  EXPECT_EQ(log, "");
}

const char kSecond[] = "%1:seconds% second";
const char kSeconds[] = "%1:seconds% seconds";

TEST_F(LocalizationTest, FrenchAndGermanPlurals) {
  load(language_french, "STRING %1:seconds% second====%1:seconds% seconde\n"
                        "STRING %1:seconds% seconds====%1:seconds% secondes\n");
  EXPECT_EQ(localize_count(0, kSecond, kSeconds), "%1:seconds% seconde");
  EXPECT_EQ(localize_count(1, kSecond, kSeconds), "%1:seconds% seconde");
  EXPECT_EQ(localize_count(2, kSecond, kSeconds), "%1:seconds% secondes");
  EXPECT_EQ(localize_count(1000, kSecond, kSeconds), "%1:seconds% secondes");

  load(language_german, "STRING %1:seconds% second====%1:seconds% Sekunde\n"
                        "STRING %1:seconds% seconds====%1:seconds% Sekunden\n");
  EXPECT_EQ(localize_count(0, kSecond, kSeconds), "%1:seconds% Sekunden");
  EXPECT_EQ(localize_count(1, kSecond, kSeconds), "%1:seconds% Sekunde");
  EXPECT_EQ(localize_count(2, kSecond, kSeconds), "%1:seconds% Sekunden");
  EXPECT_EQ(localize_count(21, kSecond, kSeconds), "%1:seconds% Sekunden");
}

TEST_F(LocalizationTest, RussianCountingRules) {
  load(language_russian,
       "STRING %1:seconds% second====%1:seconds% sekunda\n"
       "STRING %1:seconds% seconds====%1:seconds% sekund\n"
       "GENITIVE %1:seconds% seconds====%1:seconds% sekundy\n"
       "STRING %1:n% minute====%1:n% minuta\n"
       "STRING %1:n% minutes====%1:n% minut\n");
  EXPECT_EQ(log.find("WARNING"), std::string::npos) << log;
  const std::string singular = "%1:seconds% sekunda", genitive = "%1:seconds% sekundy", plural = "%1:seconds% sekund";
  // Counts ending in 1 take the singular, except those ending in 11.
  for (long long n : {1LL, 21LL, 31LL, 101LL, 121LL, 1001LL})
    EXPECT_EQ(localize_count(n, kSecond, kSeconds), singular) << n;
  for (long long n : {2LL, 3LL, 4LL, 22LL, 23LL, 34LL, 102LL, 104LL, 1003LL, -2LL})
    EXPECT_EQ(localize_count(n, kSecond, kSeconds), genitive) << n;
  for (long long n : {0LL, 5LL, 9LL, 10LL, 11LL, 12LL, 13LL, 14LL, 20LL, 25LL, 111LL, 112LL, 114LL, 211LL,
                      212LL})
    EXPECT_EQ(localize_count(n, kSecond, kSeconds), plural) << n;

  // Without a genitive entry the plural stands in.
  EXPECT_EQ(localize_count(2, "%1:n% minute", "%1:n% minutes"), "%1:n% minut");
  EXPECT_EQ(localize_count(1, "%1:n% minute", "%1:n% minutes"), "%1:n% minuta");
}

TEST_F(LocalizationTest, GenitiveWithoutPluralWarnsOnlyForRussian) {
  const std::string body =
      "GENITIVE %1:n% hours====%1:n% chasa\n"
      "STRING %1:n% days====%1:n% dney\n"
      "GENITIVE %1:n% days====%1:n% dnya\n";
  load(language_russian, body);
  EXPECT_EQ(log.find("WARNING: language file line %1:n% hours====%1:n% chasa is provided in genitive "
                     "but not plural case.\n"),
            log.find("WARNING"));
  EXPECT_EQ(count_of(log, "WARNING"), 1u) << log;
  EXPECT_EQ(localize_count(3, "%1:n% hour", "%1:n% hours"), "%1:n% chasa");

  log.clear();
  load(language_german, body);
  EXPECT_EQ(count_of(log, "WARNING"), 0u) << log;
  EXPECT_EQ(localize_count(3, "%1:n% day", "%1:n% days"), "%1:n% dney");  // German has no genitive form
}

TEST_F(LocalizationTest, SubstituteParameters) {
  EXPECT_EQ(substitute_parameters("Insert disc %1:disk number% now", "3"), "Insert disc 3 now");
  EXPECT_EQ(substitute_parameters("Keep %2:x% as it is", "a"), "Keep %2:x% as it is");
  EXPECT_EQ(substitute_parameters("100% sure: %1:a%", "b"), "100% sure: b");
  EXPECT_EQ(substitute_parameters("%0:zero% and %1:one%", "b"), "%0:zero% and b");
  EXPECT_EQ(substitute_parameters("50% done", "b"), "50% done");
  EXPECT_EQ(substitute_parameters("%1:a% then %1:a%", "x"), "x then x");
  // Inserted text is never read again, even when it looks like a parameter.
  EXPECT_EQ(substitute_parameters("[%1:a%] [%2:b%]", "%2:b%", "y"), "[%2:b%] [y]");
  EXPECT_EQ(substitute_parameters("%2:second% before %1:first%", "one", "two"), "two before one");
  EXPECT_EQ(substitute_parameters("%4:d%%3:c%%2:b%%1:a% %5:e%", "a", "b", "c", "d"), "dcba %5:e%");
  EXPECT_EQ(substitute_parameters("%1:a% %2:b% %3:c% %4:d%", "", "", "", ""), "   ");
  // An unused parameter passed over does not hide the next one.
  EXPECT_EQ(substitute_parameters("%9:x% and %1:y%", "z"), "%9:x% and z");
  EXPECT_EQ(substitute_parameters("%99999999999999999999:x% %1:y%", "z"), "%99999999999999999999:x% z");
  EXPECT_EQ(substitute_parameters("", "z"), "");
  EXPECT_EQ(substitute_parameters("%1:unterminated", "z"), "%1:unterminated");
}

TEST_F(LocalizationTest, TranslatedMessagesTakeTheirParameters) {
  load(language_french,
       "STRING Copying %1:file% to %2:folder%====Copie vers %2:folder% de %1:file%\n"
       "STRING Please insert DVD number %1:disk number%.====Veuillez ins\xC3\xA9rer le DVD.\n");
  EXPECT_EQ(substitute_parameters(localize("Copying %1:file% to %2:folder%"), "a.zip", "/opt/"),
            "Copie vers /opt/ de a.zip");
  // A translation that lost its parameter still shows, without the number.
  EXPECT_EQ(substitute_parameters(localize("Please insert DVD number %1:disk number%."), "2"),
            "Veuillez ins\xC3\xA9rer le DVD.");
  EXPECT_EQ(count_of(log, "' has incorrect translated parameters.\n"), 1u);
}

TEST_F(LocalizationTest, LocaleVariablesInOrder) {
  if (!posix_system()) GTEST_SKIP() << "Windows gives the user's language itself, not through locale variables";
  EXPECT_EQ(choose_initial_language(), -1);
  set_environment("LANG", "de_DE.UTF-8");
  EXPECT_EQ(choose_initial_language(), language_german);
  set_environment("LC_MESSAGES", "fr_CA.UTF-8");
  EXPECT_EQ(choose_initial_language(), language_french);
  set_environment("LC_ALL", "ru_RU.UTF-8");
  EXPECT_EQ(choose_initial_language(), language_russian);
  set_environment("LANGUAGE", "es:fr");
  EXPECT_EQ(choose_initial_language(), language_spanish);
  set_environment("LANGUAGE", "");  // empty counts as unset
  EXPECT_EQ(choose_initial_language(), language_russian);
  // The first variable that is set decides, even with a language the program lacks.
  set_environment("LC_ALL", "ja_JP.UTF-8");
  EXPECT_EQ(choose_initial_language(), -1);
  set_environment("LC_ALL", "it");
  EXPECT_EQ(choose_initial_language(), language_italian);
  set_environment("LC_ALL", "e");
  EXPECT_EQ(choose_initial_language(), -1);
  // The plain C locale of servers and containers reads English text.
  for (const char* c : {"C", "C.UTF-8", "POSIX"}) {
    set_environment("LC_ALL", c);
    EXPECT_EQ(choose_initial_language(), language_english) << c;
  }
}

TEST_F(LocalizationTest, LangOptionOverridesTheLocale) {
  if (!posix_system()) GTEST_SKIP() << "Windows gives the user's language itself, not through locale variables";
  set_environment("LANG", "fr_FR.UTF-8");
  options("--lang=de");
  EXPECT_EQ(choose_initial_language(), language_german);
  reset_options();
  options("--lang=DE");  // codes match exactly
  EXPECT_EQ(choose_initial_language(), language_french);
  reset_options();
  options("--lang");
  EXPECT_EQ(choose_initial_language(), language_french);
  reset_options();
  options("--lang=en");
  EXPECT_EQ(choose_initial_language(), language_english);
  unset_environment("LANG");
  reset_options();
  options("--lang=ru");
  EXPECT_EQ(choose_initial_language(), language_russian);
  EXPECT_TRUE(alerts.empty());
}

TEST_F(LocalizationTest, UndecidedLanguageAsksTheUser) {
  app().language = language_russian;
  EXPECT_EQ(confirm_language(), language_russian);
  EXPECT_TRUE(alerts.empty());

  // The user's pick in the language-choice alert becomes the language.
  set_alert_handler([this](const AlertRequest& r) {
    alerts.push_back(r);
    EXPECT_EQ(app().language, language_english);  // English is offered first
    app().language = language_german;
  });
  app().language = -1;
  EXPECT_EQ(confirm_language(), language_german);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].kind, alert_language);
  EXPECT_FALSE(alerts[0].lines[0].empty());  // the panel only opens when some line has text

  app().language = 9;
  EXPECT_EQ(confirm_language(), language_german);
  EXPECT_EQ(alerts.size(), 2u);
}

}  // namespace
