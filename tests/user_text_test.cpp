// The texts of the layers below the window: English until a language is set, then in that
// language; the system's own words only where the translation knows them, and never
// reported as missing.

#include "core/user_text.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/app_state.h"
#include "core/log.h"
#include "core/options.h"
#include "engine/disk_space.h"
#include "io/file_ops.h"
#include "platform/fs.h"
#include "ui/localization.h"

namespace {

const char kNbsp[] = "\xC2\xA0";

class UserTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_options();
    reset_localization();
    log_set_capture(&log);
  }
  void TearDown() override {
    log_set_capture(nullptr);
    reset_localization();
    reset_options();
    app().language = language_english;
  }
  // The "STRING " lines that reported missing texts.
  int missing_reports() const {
    int n = 0;
    for (size_t at = log.find("STRING "); at != std::string::npos; at = log.find("STRING ", at + 1)) ++n;
    return n;
  }
  std::string log;
};

}  // namespace

TEST_F(UserTextTest, EnglishUntilALanguageIsSet) {
  EXPECT_EQ(user_text("Error: ") + error_message_for_code(err_archive_corrupt),
            "Error: Damaged archive: its data is corrupt or fails its check");
  EXPECT_EQ(user_text("Compressed File: %1:file%.", "/d/a.zip"), "Compressed File: /d/a.zip.");
  EXPECT_EQ(error_message_for_code(123456), "Error code 123456");
  EXPECT_EQ(size_text(1030000), std::string("1.0") + kNbsp + "GB");
  EXPECT_EQ(size_text(1536), std::string("2") + kNbsp + "MB");
  EXPECT_EQ(size_text(12), std::string("12") + kNbsp + "KB");
  // English is the identity too, also for a translation that is not loaded.
  set_language(language_english);
  EXPECT_EQ(user_text("File: "), "File: ");
  set_language(language_italian);
  EXPECT_EQ(user_text("File: "), "File: ");
}

TEST_F(UserTextTest, AfterSetLanguageTheLowerLayersSpeakIt) {
  parse_option_tokens("--missing_strings");
  set_language(language_french);
  log.clear();
  EXPECT_EQ(user_text("Error: ") + error_message_for_code(err_archive_corrupt),
            "Erreur\xC2\xA0: Archive endommag\xC3\xA9" "e\xC2\xA0: ses donn\xC3\xA9" "es sont corrompues ou \xC3\xA9" "chouent \xC3\xA0"
            " la v\xC3\xA9rification");
  EXPECT_EQ(user_text("Compressed File: %1:file%.", "/d/a.zip"), "Fichier compress\xC3\xA9\xC2\xA0: /d/a.zip.");
  EXPECT_EQ(error_message_for_code(123456), "Code d'erreur 123456");
  // The system's words with the program's hint, as the translation holds them.
  EXPECT_EQ(error_message_for_code(28),
            "Plus d'espace libre sur le p\xC3\xA9riph\xC3\xA9rique. Votre disque dur est peut-\xC3\xAAtre plein");
  EXPECT_EQ(error_message_for_code(21), "C'est un dossier");
  // Words of the system the translation does not hold stay as they are, unreported (where
  // the C library has words for EPROTO's 71: Windows' has none).
  if (!platform::system_error_text(71).empty()) {
    EXPECT_EQ(error_message_for_code(71), "Protocol error");
  }
  EXPECT_EQ(missing_reports(), 0) << log;
  // Sizes with the decimal comma and the French units.
  EXPECT_EQ(size_text(1030000), std::string("1,0") + kNbsp + "Go");
  EXPECT_EQ(size_text(1536), std::string("2") + kNbsp + "Mo");
  EXPECT_EQ(size_text(0), std::string("0") + kNbsp + "Ko");

  // A text of the program that the translation lacks is reported once, from any thread.
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([] {
      for (int k = 0; k < 50; ++k) EXPECT_EQ(user_text("A text nobody translated"), "A text nobody translated");
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(log, "STRING A text nobody translated====A text nobody translated\n");

  set_language(language_russian);
  EXPECT_EQ(size_text(2500000), std::string("2,4") + kNbsp + "\xD0\x93\xD0\x91");  // 2,4 ГБ
  // Back to English: the lookup gives the English again.
  set_language(language_english);
  EXPECT_EQ(error_message_for_code(123456), "Error code 123456");
  EXPECT_EQ(size_text(2500000), std::string("2.4") + kNbsp + "GB");
}
