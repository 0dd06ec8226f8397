// The French, German and Russian translations embedded in the program: they load without
// a complaint from the reader, cover the same texts, count correctly and fit the layout.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/log.h"
#include "core/options.h"
#include "engine/disk_space.h"
#include "engine/install_plan.h"
#include "io/preferences_file.h"
#include "tests/program_window_fixture.h"
#include "tests/scripted_ui_fixture.h"
#include "ui/colour_table.h"
#include "ui/draw_recorder.h"
#include "ui/file_dialog.h"
#include "ui/text_fit.h"
#include "ui/world_map.h"
#include "io/mapped_file.h"
#include "ui/draw_backend.h"
#include "ui/localization.h"
#include "ui/text_render.h"
#include "ui/widgets.h"

namespace {

const int kTranslated[] = {language_french, language_german, language_russian};

// "French" for the tests of each language.
std::string language_name(const ::testing::TestParamInfo<int>& info) {
  const std::string folder = language_entry(info.param)->folder;
  return folder.substr(0, folder.size() - 1);
}

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

// The English texts of the program's code that go straight to a translation: the literal
// (or literals, joined) a call of localize, user_text or user_text_if_known opens with,
// written as the translation files write them.
std::vector<std::string> texts_the_code_translates() {
  std::vector<std::string> texts;
  for (const char* folder : {"core", "io", "engine", "ui", "wizards", "app"}) {
    for (const auto& entry : std::filesystem::directory_iterator(std::string(ZEPHIRO_SOURCE_DIR) + "/" + folder)) {
      if (entry.path().extension() != ".cpp") continue;
      const std::string code = read_file(entry.path().string());
      for (const std::string call : {"localize(", "user_text(", "user_text_if_known("}) {
        for (size_t at = code.find(call); at != std::string::npos; at = code.find(call, at + 1)) {
          if (at > 0 && (std::isalnum(static_cast<unsigned char>(code[at - 1])) || code[at - 1] == '_')) continue;
          size_t i = at + call.size();
          std::string text;
          bool literal = false;
          for (;;) {
            while (i < code.size() && std::isspace(static_cast<unsigned char>(code[i]))) ++i;
            if (i >= code.size() || code[i] != '"') break;
            literal = true;
            for (++i; i < code.size() && code[i] != '"'; ++i) {
              if (code[i] == '\\' && i + 1 < code.size() && code[i + 1] != 'n') ++i;  // \" and \\ stand for one
              text += code[i];
            }
            ++i;
          }
          if (literal) texts.push_back(text);
        }
      }
    }
  }
  return texts;
}

TEST_F(TranslationFiles, EveryTextTheCodeTranslatesIsInTheFiles) {
  const std::set<std::string> known = english_texts(language_french, "STRING");
  const std::vector<std::string> texts = texts_the_code_translates();
  EXPECT_GT(texts.size(), 100u);
  for (const std::string& text : texts) EXPECT_EQ(known.count(text), 1u) << text;
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
    {"Confirm Removal", Place::lines, 170, weight_bold, 1},
    {"Remove Zephiro", Place::lines, 170, weight_bold, 1},
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
    {"Remove A Copy Of Zephiro", Place::lines, 540, weight_bold, 1},
    {"Removing Zephiro", Place::lines, 540, weight_bold, 1},
    {"Finished Removing Zephiro.", Place::lines, 540, weight_bold, 1},
    // Choices of the Main Menu and the finish pages (250 wide), "Find It" (100).
    {"Run Zephiro Now", Place::button, 250, weight_regular, 0},
    {"Add Or Remove Scenery", Place::button, 250, weight_regular, 0},
    {"Repair Zephiro", Place::button, 250, weight_regular, 0},
    {"Install A Second Copy of Zephiro", Place::button, 250, weight_regular, 0},
    {"Remove A Copy Of Zephiro", Place::button, 250, weight_regular, 0},
    {"Find It", Place::button, 100, weight_regular, 0},
    {"Use Disc Images…", Place::button, 250, weight_regular, 0},
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

// The disk-space panel stands beside the map's SELECT ALL, whose artwork is wider in some
// languages: the panel's lines keep clear of it even for the largest disks.
TEST_F(TranslationFiles, TheDiskSpaceLinesKeepClearOfTheMapButtons) {
  DrawRecorder rec;
  const double largest_kb = 9999.9 * 1048576;
  for (int language : {language_english, language_french, language_german, language_russian}) {
    use(language);
    set_draw_backend(&rec);
    rec.clear();
    const std::string size = size_text(largest_kb);
    // The status is the copy's disk's, or the temporary folder's when that one is short.
    for (const std::string& status :
         {localize("You have enough free disk space to install Zephiro 9 with the selected scenery."),
          substitute_parameters(localize("The temporary folder %1:folder% has %2:free space% free, but the largest "
                                         "file needs %3:needed space% there on its way from the DVD."),
                                "/tmp/zephiro-run-123456-0/", size, size, "")}) {
      rec.clear();
      world_map();
      const std::string panel = substitute_parameters(
          localize("Disk size: %1:total disk space%\nFree disk space: %2:free disk space%\nDisk space needed to "
                   "install: %3:required disk space%\n\n%4:status message%"),
          size, size, size, status);
      draw_text(colour_text, 220, 130, panel, 560, weight_regular, align_left);
      EXPECT_EQ(first_misfit(rec.texts, rec.widgets, rec.frames), "") << language << " " << status;
      EXPECT_EQ(rec.widgets.size(), 3u);  // the map, SELECT NONE and SELECT ALL were drawn
    }
    set_draw_backend(nullptr);
  }
}

// Page texts above the world map and the Copy Picker take no more lines than the English,
// for which the layout was made.
TEST_F(TranslationFiles, PageTextsAboveWidgetsTakeNoMoreLinesThanTheEnglish) {
  const std::vector<std::string> texts = {
      "Please pick the scenery you would like to install now.  You can use this installer to add more scenery or "
      "remove scenery later.  If you fly into an area with no scenery installed, you will see only ocean.\n\n"
      "Click on the world map to select regions to install.",
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

// ---------------------------------------------------------------------------------------
// The real program in each language, walked by a scripted user through every wizard:
// the log names no text left in English and every frame draws its texts where they fit.

namespace {

class TranslatedRun : public ProgramWindowTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    ProgramWindowTest::SetUp();
    saved_language_ = app().language;
    set_language(GetParam());  // the texts the script waits for and clicks
  }
  void TearDown() override {
    reset_localization();
    app().language = saved_language_;
  }
  // The translation of an English text, with parameters put in.
  static std::string tr(const std::string& english) { return localize(english); }
  static std::string tr(const std::string& english, const std::string& a1) {
    return substitute_parameters(localize(english), a1);
  }
  static std::string tr(const std::string& english, const std::string& a1, const std::string& a2) {
    return substitute_parameters(localize(english), a1, a2);
  }
  // A script line that waits for a text: its first paragraph, which stays on the page as one.
  static std::string wait(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return "wait_text " + line + "\n";
  }
  // The words of a message before its first parameter.
  static std::string before_parameters(const std::string& text) { return text.substr(0, text.find('%')); }
  static std::string insert_disc(int n) {
    return wait(tr("Please insert DVD number %1:disk number% and click continue.", std::to_string(n)));
  }
  // A check box is clicked by its label's text.
  static std::string tick(const std::string& label) { return "click_text " + split_widget_label(tr(label)).right.substr(1) + "\n"; }

 private:
  int saved_language_ = 0;
};

const char k_menu_text[] = "You already have Zephiro 9 installed on this computer.  What would you like to do?";

}  // namespace

TEST_P(TranslatedRun, EveryWizardWithoutAnEnglishTextOrATextThatDoesNotFit) {
  const std::string set = p.root / "set/";
  ASSERT_TRUE(make_tiny_disc_set(set, 3));
  auto disc = [&](int n) { return set + "disc" + std::to_string(n); };
  // A scenery archive that cannot be unpacked: adding its tile ends in the Error Prompt.
  const std::string damaged_tile = "Global Scenery/-global terrain-/-30+010/-23+018.dsf";
  write_file(disc(3) + "/Zephiro 9 DVD/Zephiro 9/" + damaged_tile + ".7z", "7z\xBC\xAF\x27\x1C this is no archive");
  // A copy the registry does not list, with a file the user changed.
  const std::string other = p.root / "Zephiro 9/";
  RunResult installed = p.run({"--lang=en", "--dvd_drives=" + disc(1) + list_separator() + disc(2) + list_separator() + disc(3),
                               "--install=" + other, "--scenery=none"});
  ASSERT_EQ(installed.exit_code, 0) << installed.err;
  write_file(other + "Airfoils/Clark Y.afl", "my own airfoil");
  std::filesystem::remove(p.root / "data/zephiro_install.txt");
  const std::string plain = p.root / "plain/";
  std::filesystem::create_directory(plain);
  std::filesystem::create_directory(desktop() + "Taken");
  const std::string copy = desktop() + "Zephiro 9 DVD/";
  const std::string dvd = "Zephiro 9 DVD";
  const std::string unfinished =
      tr("You already have Zephiro 9 installed on this computer.") + "  " +
      tr("A change to Zephiro 9 in %1:folder% was not finished: %2:choice% finishes it.", copy, tr("Repair Zephiro"));

  const std::string text =
      "check_fit\n"
      "# the install wizard, from the greeting\n" +
      wait(tr("Welcome to the Zephiro 9 Installer.  I will guide you through the process of installing "
              "%1:install name%.", dvd)) +
      "click_text CONTINUE\n" + wait(tr("Pick Install Destination for %1:install%.", dvd)) +
      wait(tr("You have enough free disk space to install Zephiro 9 at this location.")) +
      "click_text " + tr("Install Name:") + "\n"
      "key CTRL+a\n"
      "key DELETE\n" +
      wait(tr("Please pick a name for your Zephiro 9 installation...")) +
      "type Taken\n" +
      wait(tr("The folder '%1:install name%' already exists inside the folder '%2:parent folder%'.\n\nPlease change "
              "the install name or destination.", "Taken", desktop())) +
      "key CTRL+a\n"
      "type " + dvd + "\n" +
      wait(tr("I will create the folder '%1:install name%' inside the folder '%2:parent folder%'.", dvd, desktop())) +
      "click_text CONTINUE\n" + wait(tr("End User License Agreement")) + tick("|-I agree!") +
      "click_text CONTINUE\n" +
      wait(tr("Please pick the scenery you would like to install now.  You can use this installer to add more scenery "
              "or remove scenery later.  If you fly into an area with no scenery installed, you will see only "
              "ocean.\n\nClick on the world map to select regions to install.")) +
      "drag 600 310 740 350\n"
      "click_text CONTINUE\n" +
      wait(tr("Installing Zephiro - Please Change DVDs")) + insert_disc(2) +
      "# going back asks whether to cancel\n"
      "click_text GO BACK\n" +
      wait(tr("Are you sure you want to cancel the installation?  This will delete the partially installed copy of "
              "Zephiro 9.")) +
      "click_text " + tr("Continue") + "\n" + insert_disc(2) +
      "# the first disc is still in: not the one needed\n"
      "click_text CONTINUE\n" + wait(tr("That is not the DVD I need: I need DVD number %1:disk number%.", "2")) +
      insert_disc(2) + "set_drives " + disc(2) + "\n" +
      "click_text CONTINUE\n" + insert_disc(3) + "set_drives " + disc(3) + "\n" +
      "click_text CONTINUE\n" + wait(tr("Finished Installing Zephiro")) + wait(tr("Installation was successful.")) +
      "click_text GO BACK\n"
      "# the main menu, then the repair of a copy found with Find It\n" +
      wait(tr(k_menu_text)) + "click_text " + tr("Repair Zephiro") + "\n" + wait(tr("Repair Zephiro 9")) +
      "# a folder that holds no copy: the user is told in an alert\n"
      "pick_folder " + plain + "\n"
      "click_text " + tr("Find It") + "\n"
      "frames 5\n"
      "pick_folder " + other + "\n"
      "click_text " + tr("Find It") + "\n" +
      wait(tr("You have more than one copy of Zephiro 9 installed on this computer.  ")) +
      "click_text " + other + "\n"
      "click_text CONTINUE\n" +
      wait(substitute_parameters(
          localize_count(1, "I need to install approximately %1:count% file to repair %2:path%.",
                         "I need to install approximately %1:count% files to repair %2:path%."),
          "1", other)) +
      "click_text CONTINUE\n" + wait(tr("I am about to install:")) +
      wait(tr("but it appears you have modified this file. What to do?")) +
      "click_text " + tr("OVERWRITE THE OLD FILE") + "\n" + wait(tr("Repairing Zephiro - Please Change DVDs")) +
      insert_disc(1) + "set_drives " + disc(1) + "\n" +
      "click_text CONTINUE\n" + wait(tr("Finished Repairing Zephiro.")) +
      wait(tr("I have finished repairing %1:install path% - click Go Back to return to the main menu.", other)) +
      "click_text GO BACK\n"
      "# scenery: one tile removed, one added from an archive that is damaged\n" +
      wait(tr(k_menu_text)) + "click_text " + tr("Add Or Remove Scenery") + "\n" +
      wait(tr("Select Zephiro 9 to Add or Remove Scenery")) + "click_text " + copy + "\n" +
      "click_text CONTINUE\n" +
      wait(tr("Click on the world map to select what scenery you would like to install.  Scenery that you deselect "
              "will be removed; scenery that you select will be installed.  If you fly into an area with no scenery "
              "installed, you will see only ocean.")) +
      "click 605 311\n"
      "click 521 241\n"
      "click_text CONTINUE\n" +
      wait(tr("Installing Scenery - Please change DVDs")) + insert_disc(3) + "set_drives " + disc(3) + "\n" +
      "click_text CONTINUE\n" + wait(tr("An error occurred during scenery installation:")) +
      "# the task's message and the archive's error, both in the language\n" +
      wait(before_parameters(tr("I was unable to unzip the file %1:file% to the folder %2:folder%."))) +
      wait(tr("Damaged archive: its data is corrupt or fails its check")) +
      "click_text " + tr("Continue") + "\n" + wait(tr("Finished With Add/Remove Scenery")) +
      wait(tr("There were errors while adding and removing your scenery.")) +
      "# the scenery change did not finish, and the menu says so\n"
      "click_text GO BACK\n" + wait(unfinished) + "click_text " + tr("Run Zephiro Now") + "\n" +
      wait(tr("Please pick which copy of Zephiro 9 you would like to run.")) + "click_text GO BACK\n" +
      "# the copy found with Find It removed\n" + wait(unfinished) + "click_text " +
      tr("Remove A Copy Of Zephiro") + "\n" + wait(tr("Please pick which copy of Zephiro 9 you would like to remove.")) +
      "click_text " + other + "\n"
      "click_text CONTINUE\n" +
      wait(tr("\n\nFiles you made or changed in this copy are kept.  Click continue to remove it.").substr(2)) +
      "click_text CONTINUE\n" + wait(tr("Finished Removing Zephiro.")) +
      wait(tr("I have removed %1:install path%.", other)) + "click_text QUIT\n";

  RunResult r = p.run({"--lang=" + std::string(language_entry(GetParam())->iso_code), "--missing_strings",
                       "--dvd_drives=" + disc(1), script(text)});
  const std::string log = p.log();
  ASSERT_EQ(r.exit_code, 0) << r.err << log;
  EXPECT_NE(log.find(" ==== CHANGING LANGUAGE TO: " + language_display_name(GetParam()).substr(1) + ". ====\n"),
            std::string::npos);
  // "--missing_strings" writes a ready-made "STRING " line for every text drawn or shown
  // without a translation; the reader complains with ERROR or WARNING.
  EXPECT_EQ(log.find("\nSTRING "), std::string::npos) << log;
  EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
  EXPECT_EQ(log.find("WARNING"), std::string::npos) << log;
  // The alert of Find It went to the log (a script answers no alert), in the language.
  EXPECT_NE(log.find(tr("You selected the folder path:") + "\n" + plain + "\n" +
                     tr("But it does not appear to be an installed copy of Zephiro 9.") + "\n"),
            std::string::npos)
      << log;
  // What the flow did: the changed file repaired, the removed tile gone, the damaged one
  // never installed.
  // The repaired copy was then removed whole: a file still changed would have been kept.
  EXPECT_FALSE(std::filesystem::exists(other));
  EXPECT_TRUE(std::filesystem::exists(copy + "Global Scenery/-global terrain-/+40+070/+43+073.dsf"));
  EXPECT_FALSE(std::filesystem::exists(copy + "Global Scenery/-global terrain-/+20+070/+27+076.dsf"));
  EXPECT_FALSE(std::filesystem::exists(copy + damaged_tile));
}

// An install stopped at a disc request greets the next start as unfinished; the repair
// finishes it, and a second repair finds the copy complete.
TEST_P(TranslatedRun, AnUnfinishedCopyAndACompleteOne) {
  const std::string set = p.root / "set/";
  ASSERT_TRUE(make_tiny_disc_set(set, 3));
  const std::string drives = set + "disc1" + list_separator() + set + "disc2" + list_separator() + set + "disc3";
  const std::string copy = desktop() + "Zephiro 9 DVD/";
  RunResult stopped = p.run({"--lang=en", "--dvd_drives=" + drives,
                             script(to_select_scenery() +
                                    "click_text SELECT ALL\n"
                                    "click_text CONTINUE\n"
                                    "wait_text Please insert DVD number 2 and click continue.\n"
                                    "click_text QUIT\n")});
  ASSERT_EQ(stopped.exit_code, 0) << stopped.err;
  const std::string repair = "click_text " + tr("Repair Zephiro") + "\n" + wait(tr("Repair Zephiro 9")) +
                             "click_text CONTINUE\n" + wait(tr("Confirm Repairs"));
  const std::string text =
      "check_fit\n" +
      wait(tr("The install of Zephiro 9 in %1:folder% was not finished: %2:choice% finishes it.", copy,
              tr("Repair Zephiro"))) +
      wait(tr("What would you like to do?")) + repair + "click_text CONTINUE\n" + insert_disc(2) +
      "click_text CONTINUE\n" + insert_disc(3) + "click_text CONTINUE\n" + wait(tr("Finished Repairing Zephiro.")) +
      "click_text GO BACK\n" + wait(tr(k_menu_text)) + repair +
      wait(tr("The copy of Zephiro 9 in %1:path% is complete: no file needs to be repaired.\n\nClick continue to "
              "finish.",
              copy)) +
      "click_text CONTINUE\n" + wait(tr("Finished Repairing Zephiro.")) + "click_text QUIT\n";
  RunResult r = p.run({"--lang=" + std::string(language_entry(GetParam())->iso_code), "--missing_strings",
                       "--dvd_drives=" + drives, script(text)});
  const std::string log = p.log();
  ASSERT_EQ(r.exit_code, 0) << r.err << log;
  EXPECT_EQ(log.find("\nSTRING "), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslatedRun,
                         ::testing::ValuesIn(kTranslated), language_name);

// ---------------------------------------------------------------------------------------
// The alert panel and the Conflict Prompt in each language, in-process: the alerts of the
// layers below the window come in the language, and every frame fits its texts.

namespace {

struct PanelsPageState {
  std::string changed_file;
  int conflict_answer = -1;
};
PanelsPageState g_panels;

// A page whose buttons raise the alerts and the prompt as the program does.
int panels_page(int, PageDescription& page) {
  page.title = localize("Repair Zephiro 9");
  if (choice_button(500, 350, 250, false, 1, "save the preferences", "-")) exchange_preferences(prefs_write);
  if (choice_button(500, 325, 250, false, 1, "pick a folder", "-"))
    open_file_dialog(dialog_pick_folder, localize("Please select your Zephiro 9 folder."), localize("Select"), "", "",
                     &g_panels);
  if (choice_button(500, 300, 250, false, 1, "ask about a file", "-"))
    g_panels.conflict_answer = ask_conflict_prompt(g_panels.changed_file, true);
  return 0;
}

class TranslatedPanels : public ScriptedUi, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    ScriptedUi::SetUp();
    install_window_prompts();
    g_panels = PanelsPageState();
    g_panels.changed_file = dir / "copy/Global Scenery/-global terrain-/+40+070/+43+073.dsf";
    framework().current_page = panels_page;
    // The preferences file cannot be replaced: a folder with something in it has its name.
    saved_data_home_ = get_environment("XDG_DATA_HOME");
    set_environment("XDG_DATA_HOME", dir.path());
    std::filesystem::create_directory(dir / "Zephiro Installer.prf");
    write_file(dir / "Zephiro Installer.prf/kept", "");
    // No folder picker program can be found.
    std::filesystem::create_directory(dir / "no programs");
    file_dialog_state().search_path = dir / "no programs";
    parse_option_tokens("--missing_strings");
  }
  void TearDown() override {
    reset_file_dialog();
    set_conflict_prompt(nullptr);
    set_prompt_loop(nullptr, nullptr);
    if (saved_data_home_.empty())
      unset_environment("XDG_DATA_HOME");
    else
      set_environment("XDG_DATA_HOME", saved_data_home_);
    reset_localization();
    ScriptedUi::TearDown();
  }
  static std::string tr(const std::string& english) { return localize(english); }

  TempDir dir;

 private:
  std::string saved_data_home_;
};

}  // namespace

TEST_P(TranslatedPanels, AlertsAndTheConflictPromptSpeakTheLanguageAndFit) {
  set_language(GetParam());
  log.clear();
  // Windows always has its own folder picker: no alert says that none can be found.
  const std::string no_picker = "click_text pick a folder\n"
                                "wait_text " + tr("Neither zenity nor kdialog is installed.") + "\n"
                                "click_text " + tr("Understood") + "\n";
  qa_script_load_text("check_fit\n"
                      "click_text save the preferences\n"
                      "wait_text " + tr("The preferences saved before are kept.") + "\n"
                      "click_text " + tr("Understood") + "\n" +
                      (posix_system() ? no_picker : "") +
                      "click_text ask about a file\n"
                      "wait_text " + tr("because we no longer use this file, but it appears you have modified it. "
                                        "What to do?") + "\n"
                      "click_text " + tr("KEEP EVERY OLD FILE IN THIS DIRECTORY") + "\n"
                      "wait_text " + tr("Repair Zephiro 9") + "\n");
  run();
  ASSERT_TRUE(failures.empty()) << failures[0];
  EXPECT_EQ(g_panels.conflict_answer, 5);
  // Each alert was logged once answered, in the language: the system's words for the
  // failed rename too, as the translation holds them.
  // Windows refuses a file the name of a folder as access denied.
  const std::string why = posix_system() ? "Is a directory"
                                         : "Permission denied. Perhaps you do not have access to a directory or file system";
  EXPECT_NE(log.find("\n" + tr("I could not save the file!") + "\n" + dir.path() + "Zephiro Installer.prf\n" + tr(why) +
                     "\n" + tr("The preferences saved before are kept.") + "\n"),
            std::string::npos)
      << log;
  EXPECT_NE(tr(why), why);
  if (posix_system()) {
    EXPECT_NE(log.find("\n" + tr("I cannot show a folder or file picker on this computer.") + "\n" +
                       tr("Neither zenity nor kdialog is installed.") + "\n"),
              std::string::npos)
        << log;
  }
  EXPECT_EQ(log.find("STRING "), std::string::npos) << log;
}

// The check of every frame is not a formality: a translation too long for its button
// stops the script at the first frame that draws it.
TEST_P(TranslatedPanels, ALabelTooLongForItsButtonFailsTheFrame) {
  const std::string long_label = "TOUS LES ANCIENS FICHIERS DE CE DOSSIER DOIVENT \xC3\x8ATRE SUPPRIM\xC3\x89S";
  write_file(dir / "long.txt", "I\n900\nTRANSLATION\nSTRING DELETE EVERY OLD FILE IN THIS DIRECTORY====" + long_label + "\n");
  set_language_from_file(GetParam(), dir / "long.txt");
  qa_script_load_text("check_fit\n"
                      "click_text ask about a file\n"
                      "wait_text " + tr("I am about to DELETE:") + "\n"
                      "click_text KEEP\n");
  run();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("check_fit: the label \"" + long_label + "\" is "), std::string::npos) << failures[0];
  EXPECT_NE(failures[0].find("; its button holds 252"), std::string::npos) << failures[0];
  // The failure ended the prompt unanswered.
  EXPECT_EQ(g_panels.conflict_answer, 3);
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslatedPanels,
                         ::testing::ValuesIn(kTranslated), language_name);
