// The French, German and Russian translations embedded in the program: they load without
// a complaint from the reader, cover the same texts, count correctly and fit the layout.

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/log.h"
#include "core/options.h"
#include "io/mapped_file.h"
#include "ui/draw_backend.h"
#include "ui/localization.h"
#include "ui/text_render.h"
#include "ui/widgets.h"

namespace {

const int kTranslated[] = {language_french, language_german, language_russian};

const char kRepairOne[] = "I need to install approximately %1:count% file to repair %2:path%.";
const char kRepairMany[] = "I need to install approximately %1:count% files to repair %2:path%.";

class TranslationFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_language = app().language;
    reset_options();
    set_draw_backend(nullptr);
    log_set_capture(&log);
  }
  void TearDown() override {
    log_set_capture(nullptr);
    reset_localization();
    app().language = saved_language;
    reset_text_render();
  }

  // Loads the embedded translation of `language` with the fonts of that language.
  void use(int language) {
    log.clear();
    set_language(language);
    reset_text_render();  // the Russian glyphs are narrower from the next font load on
  }

  std::string log;
  int saved_language = 0;
};

// The English side of every entry of an embedded translation file.
std::set<std::string> english_texts(int language, const char* keyword) {
  std::set<std::string> texts;
  MappedFile file(language_entry(language)->file);
  if (!file.has_view()) return texts;
  const std::string body(file.pos, file.end());
  const std::string head = std::string(keyword) + " ";
  size_t at = 0;
  while (at < body.size()) {
    size_t end = body.find('\n', at);
    if (end == std::string::npos) end = body.size();
    const std::string line = body.substr(at, end - at);
    if (line.compare(0, head.size(), head) == 0) texts.insert(line.substr(head.size(), line.find("====") - head.size()));
    at = end + 1;
  }
  return texts;
}

// Lines that draw_text lays the text out in at this wrap width.
int lines_at(const std::string& text, float wrap, int weight) {
  const float y = 500;
  return static_cast<int>(std::lround((y - draw_text(12, 0, y, text, wrap, weight, align_left)) / k_line_step));
}

TEST_F(TranslationFiles, LoadWithoutAComplaint) {
  for (int language : kTranslated) {
    use(language);
    EXPECT_TRUE(translation_loaded()) << language;
    EXPECT_EQ(app().language, language);
    // The language change itself is the only line the reader writes.
    EXPECT_EQ(log, " ==== CHANGING LANGUAGE TO: " + language_display_name(language).substr(1) + ". ====\n");
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
    EXPECT_EQ(log.find("WARNING"), std::string::npos) << log;
  }
  // The other two languages of the table keep English text.
  for (int language : {language_italian, language_spanish}) {
    use(language);
    EXPECT_FALSE(translation_loaded());
    EXPECT_EQ(app().language, language);  // and with it their own button artwork
    EXPECT_EQ(localize("Continue"), "Continue");
  }
}

TEST_F(TranslationFiles, EveryLanguageTranslatesTheSameTexts) {
  const std::set<std::string> french = english_texts(language_french, "STRING");
  EXPECT_GT(french.size(), 200u);
  EXPECT_EQ(english_texts(language_german, "STRING"), french);
  EXPECT_EQ(english_texts(language_russian, "STRING"), french);
  // Only Russian counts with a genitive form.
  EXPECT_TRUE(english_texts(language_french, "GENITIVE").empty());
  EXPECT_TRUE(english_texts(language_german, "GENITIVE").empty());
  const std::set<std::string> genitive = english_texts(language_russian, "GENITIVE");
  EXPECT_EQ(genitive.count(kRepairMany), 1u);
  for (const std::string& english : genitive) EXPECT_EQ(french.count(english), 1u) << english;

  for (int language : kTranslated) {
    use(language);
    for (const std::string& escaped : french) {
      std::string english;
      for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] == '\\' && i + 1 < escaped.size() && escaped[i + 1] == 'n') {
          english += '\n';
          ++i;
        } else {
          english += escaped[i];
        }
      }
      const std::string translated = localize(english);
      EXPECT_NE(translated, english) << language << ": " << english;
      // Label syntax stays: a check-box label keeps its sides and its one-line dash.
      EXPECT_EQ(split_widget_label(translated).right.empty(), split_widget_label(english).right.empty()) << english;
      EXPECT_EQ(translated.rfind("|-", 0) == 0, english.rfind("|-", 0) == 0) << english;
    }
  }
}

TEST_F(TranslationFiles, MessagesTakeTheirParametersAndCounts) {
  const std::string insert = "Please insert DVD number %1:disk number% and click continue.";
  for (int language : kTranslated) {
    use(language);
    EXPECT_NE(substitute_parameters(localize(insert), "3").find("3"), std::string::npos);
    std::string exists = localize("The folder '%1:install name%' already exists inside the folder "
                                  "'%2:parent folder%'.\n\nPlease change the install name or destination.");
    exists = substitute_parameters(exists, "Zephiro 9", "/home/pat/Desktop/");
    EXPECT_NE(exists.find("Zephiro 9"), std::string::npos) << exists;
    EXPECT_NE(exists.find("/home/pat/Desktop/"), std::string::npos) << exists;
    EXPECT_NE(exists.find("\n\n"), std::string::npos) << exists;
    EXPECT_EQ(exists.find('%'), std::string::npos) << exists;
  }

  auto repair = [](long long n) {
    return substitute_parameters(localize_count(n, kRepairOne, kRepairMany), std::to_string(n), "/copy/");
  };
  // French: 0 and 1 take the singular.
  use(language_french);
  EXPECT_EQ(repair(0), "Je dois installer environ 0 fichier pour r\xC3\xA9parer /copy/.");
  EXPECT_EQ(repair(1), "Je dois installer environ 1 fichier pour r\xC3\xA9parer /copy/.");
  EXPECT_EQ(repair(2), "Je dois installer environ 2 fichiers pour r\xC3\xA9parer /copy/.");
  // German: only 1 is singular.
  use(language_german);
  EXPECT_EQ(repair(0), "Ich muss ungef\xC3\xA4hr 0 Dateien installieren, um /copy/ zu reparieren.");
  EXPECT_EQ(repair(1), "Ich muss ungef\xC3\xA4hr 1 Datei installieren, um /copy/ zu reparieren.");
  EXPECT_EQ(repair(7), "Ich muss ungef\xC3\xA4hr 7 Dateien installieren, um /copy/ zu reparieren.");
  // Russian: 1 файл, 2-4 (and 22, 103...) файла, else файлов.
  use(language_russian);
  const std::string one = "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB.";               // файл.
  const std::string few = "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\xD0\xB0.";       // файла.
  const std::string many = "\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\xD0\xBE\xD0\xB2.";  // файлов.
  auto ends_with = [](const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  };
  EXPECT_TRUE(ends_with(repair(1), " 1 " + one)) << repair(1);
  for (long long n : {2, 3, 4, 22, 103})
    EXPECT_TRUE(ends_with(repair(n), " " + std::to_string(n) + " " + few)) << repair(n);
  for (long long n : {0, 5, 11, 12, 14, 100})
    EXPECT_TRUE(ends_with(repair(n), " " + std::to_string(n) + " " + many)) << repair(n);
  EXPECT_NE(repair(3).find("/copy/"), std::string::npos);
  EXPECT_EQ(substitute_parameters(localize_count(3, "%1:seconds% second", "%1:seconds% seconds"), "3"),
            "3\xC2\xA0\xD1\x81\xD0\xB5\xD0\xBA\xD1\x83\xD0\xBD\xD0\xB4\xD1\x8B");  // 3 секунды
}

// Where a text is drawn without room to wrap, or where the lines it wraps into would run
// into the widgets below it.
struct Place {
  const char* english;
  enum { button, lines } kind;
  float width;  // button width, or wrap width
  int weight;
  int most_lines;  // for wrapped text
};

const Place kPlaces[] = {
    // Step List entries: one line in the 170 wide column, bold when current.
    {"Welcome", Place::lines, 170, weight_bold, 1},
    {"Pick Destination", Place::lines, 170, weight_bold, 1},
    {"License", Place::lines, 170, weight_bold, 1},
    {"Select Scenery", Place::lines, 170, weight_bold, 1},
    {"Install", Place::lines, 170, weight_bold, 1},
    {"Finish", Place::lines, 170, weight_bold, 1},
    {"Select Zephiro", Place::lines, 170, weight_bold, 1},
    {"Scan Existing Scenery", Place::lines, 170, weight_bold, 1},
    {"Select New Scenery", Place::lines, 170, weight_bold, 1},
    {"Install Scenery", Place::lines, 170, weight_bold, 1},
    {"Scan For Problems", Place::lines, 170, weight_bold, 1},
    {"Confirm Repairs", Place::lines, 170, weight_bold, 1},
    {"Repair Zephiro", Place::lines, 170, weight_bold, 1},
    // Page titles: one bold line of 540.
    {"Zephiro 9 Installer", Place::lines, 540, weight_bold, 1},
    {"End User License Agreement", Place::lines, 540, weight_bold, 1},
    {"Installing Zephiro", Place::lines, 540, weight_bold, 1},
    {"Finished Installing Zephiro", Place::lines, 540, weight_bold, 1},
    {"Run Zephiro", Place::lines, 540, weight_bold, 1},
    {"Select Zephiro 9 to Add or Remove Scenery", Place::lines, 540, weight_bold, 1},
    {"Scanning Zephiro 9 for Installed Scenery", Place::lines, 540, weight_bold, 1},
    {"Installing New Scenery", Place::lines, 540, weight_bold, 1},
    {"Finished With Add/Remove Scenery", Place::lines, 540, weight_bold, 1},
    {"Repair Zephiro 9", Place::lines, 540, weight_bold, 1},
    {"Scanning Zephiro for Problems", Place::lines, 540, weight_bold, 1},
    {"Repairing Zephiro", Place::lines, 540, weight_bold, 1},
    {"Finished Repairing Zephiro.", Place::lines, 540, weight_bold, 1},
    {"Installing Zephiro - Please Change DVDs", Place::lines, 540, weight_bold, 1},
    {"Installing Zephiro - Checking DVD...", Place::lines, 540, weight_bold, 1},
    {"Installing Scenery - Please change DVDs", Place::lines, 540, weight_bold, 1},
    {"Installing Scenery - Verifying DVD", Place::lines, 540, weight_bold, 1},
    {"Repairing Zephiro - Please Change DVDs", Place::lines, 540, weight_bold, 1},
    {"Repairing Zephiro - Checking DVD", Place::lines, 540, weight_bold, 1},
    // Choices of the Main Menu and the finish pages (250 wide), "Find It" (100).
    {"Run Zephiro Now", Place::button, 250, weight_regular, 0},
    {"Add Or Remove Scenery", Place::button, 250, weight_regular, 0},
    {"Repair Zephiro", Place::button, 250, weight_regular, 0},
    {"Install A Second Copy of Zephiro", Place::button, 250, weight_regular, 0},
    {"Find It", Place::button, 100, weight_regular, 0},
    // Modal Prompt buttons (100) and the Conflict Prompt's (160, 260, 200).
    {"Cancel", Place::button, 100, weight_regular, 0},
    {"Continue", Place::button, 100, weight_regular, 0},
    {"Stop", Place::button, 100, weight_regular, 0},
    {"OVERWRITE THE OLD FILE", Place::button, 160, weight_regular, 0},
    {"DELETE THE OLD FILE", Place::button, 160, weight_regular, 0},
    {"KEEP THE OLD FILE", Place::button, 160, weight_regular, 0},
    {"OVERWRITE EVERY OLD FILE IN THIS DIRECTORY", Place::button, 260, weight_regular, 0},
    {"DELETE EVERY OLD FILE IN THIS DIRECTORY", Place::button, 260, weight_regular, 0},
    {"KEEP EVERY OLD FILE IN THIS DIRECTORY", Place::button, 260, weight_regular, 0},
    {"CANCEL THE WHOLE INSTALLATION!", Place::button, 200, weight_regular, 0},
    // The Conflict Prompt's lines stand 10 apart: one line each.
    {"I am about to install:", Place::lines, 760, weight_regular, 1},
    {"I am about to DELETE:", Place::lines, 760, weight_regular, 1},
    {"but it appears you have modified this file. What to do?", Place::lines, 760, weight_regular, 1},
    {"because we no longer use this file, but it appears you have modified it. What to do?", Place::lines, 760,
     weight_regular, 1},
    // The Copy Picker's question beside "Find It".
    {"Is the copy of Zephiro 9 you're looking for missing from this list?", Place::lines, 400, weight_regular, 2},
};

TEST_F(TranslationFiles, TextsFitWhereTheyAreDrawn) {
  for (int language : {language_english, language_french, language_german, language_russian}) {
    use(language);
    for (const Place& p : kPlaces) {
      const std::string text = localize(p.english);
      if (p.kind == Place::button) {
        // The label is drawn centred on one line; it keeps clear of the button's rounded ends.
        EXPECT_LE(measure_text(text) + 8, p.width) << language << ": " << text;
      } else {
        EXPECT_LE(lines_at(text, p.width, p.weight), p.most_lines) << language << ": " << text;
      }
    }
  }
}

// Page texts above the world map and the Copy Picker take no more lines than the English,
// for which the layout was made.
TEST_F(TranslationFiles, PageTextsAboveWidgetsTakeNoMoreLinesThanTheEnglish) {
  const std::vector<std::string> texts = {
      "Please pick the scenery you would like to install now.  You can use this installer to add more scenery or "
      "remove scenery later.  If you fly into an area with no scenery installed, you will see only ocean.\n\n"
      "Click on the world map to pick select regions to install.",
      "Click on the world map to select what scenery you would like to install.  Scenery that you deselect will be "
      "removed; scenery that you select will be installed.  If you fly into an area with no scenery installed, you "
      "will see only ocean.",
      "You already have Zephiro 9 installed on this computer.  What would you like to do?",
  };
  const std::vector<std::string> picker_ends = {
      "Please pick which copy of Zephiro 9 you would like to run.",
      "Please pick which copy of Zephiro 9 you would like to add scenery to.",
      "Please pick which copy of Zephiro 9 you would like to repair.",
  };
  const std::string more_than_one = "You have more than one copy of Zephiro 9 installed on this computer.  ";
  auto page_lines = [&](int language) {
    use(language);
    std::vector<int> lines;
    for (const std::string& t : texts) lines.push_back(lines_at(localize(t), 540, weight_regular));
    for (const std::string& t : picker_ends)
      lines.push_back(lines_at(localize(more_than_one) + localize(t), 540, weight_regular));
    return lines;
  };
  const std::vector<int> english = page_lines(language_english);
  for (int language : kTranslated) {
    const std::vector<int> translated = page_lines(language);
    for (size_t i = 0; i < english.size(); ++i) EXPECT_LE(translated[i], english[i]) << language << " text " << i;
  }
}

}  // namespace
