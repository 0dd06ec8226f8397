// The real program on a 3-disc set mastered as disc images, and on a set whose files and
// folders are read-only as on a pressed disc: installs, verifies, repairs and scenery
// changes from the command line, the window's "Use Disc Images…", and damaged images.
#include "wizards/disc_images.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "core/app_state.h"
#include "tests/program_window_fixture.h"
#include "tests/test_util.h"
#include "ui/localization.h"

namespace fs = std::filesystem;

namespace {

std::unique_ptr<TempDir> g_set;  // disc1 .. disc3 as folders and as disc1.iso .. disc3.iso

const char kTopFolder[] = "Zephiro 9 DVD/Zephiro 9/";
// Why a test of the images cannot run here: the maker masters them through xorriso.
const char kNoImages[] = "the disc images are mastered with xorriso, which Windows lacks";

std::string set_path() { return g_set->path(); }
std::string image(int n) { return set_path() + "disc" + std::to_string(n) + ".iso"; }
std::string images() { return image(1) + list_separator() + image(2) + list_separator() + image(3); }

// Every file and folder below `folder` that its owner cannot write.
std::vector<std::string> not_writable_below(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if ((e.symlink_status().permissions() & fs::perms::owner_write) == fs::perms::none)
      found.push_back(e.path().string());
  return found;
}

// The lines of `text` that begin with `start`.
std::vector<std::string> lines_starting(const std::string& text, const std::string& start) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.compare(0, start.size(), start) == 0) lines.push_back(line);
  return lines;
}

// The number in the log line "Read N bytes from disc images", or 0.
uint64_t image_bytes_read(const std::string& log) {
  const std::string key = "Read ";
  for (const std::string& line : lines_starting(log, key))
    if (line.find(" bytes from disc images") != std::string::npos) return std::stoull(line.substr(key.size()));
  return 0;
}

class DiscImageRunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    g_set = std::make_unique<TempDir>();
    ASSERT_TRUE(make_tiny_disc_set(g_set->path(), 3, posix_system() ? "--iso" : ""));
  }
  static void TearDownTestSuite() { g_set.reset(); }

  std::string copy() const { return p.root / "Zephiro 9/"; }
  RunResult run(const std::string& drives, const std::string& action) {
    return p.run({"--dvd_drives=" + drives, action});
  }

  // Install, verify, damage and repair, then a scenery change, from the given drives.
  // Returns what the install read from disc images.
  uint64_t install_verify_repair_modify(const std::string& drives) {
    RunResult r = run(drives, "--install=" + copy());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const uint64_t read = image_bytes_read(p.log());
    EXPECT_NE(r.err.find("Using DVD number 3"), std::string::npos) << r.err;
    EXPECT_EQ(not_writable_below(copy()), std::vector<std::string>());
    r = run(drives, "--verify=" + copy());
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;

    const std::string airfoil = copy() + "Airfoils/Clark Y.afl";
    const std::string good = read_file(airfoil);
    EXPECT_FALSE(good.empty());
    write_file(airfoil, "damaged");
    r = run(drives, "--verify=" + copy());
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.out.find("damaged\tAirfoils/Clark Y.afl"), std::string::npos) << r.out;
    r = p.run({"--dvd_drives=" + drives, "--repair=" + copy(), "--conflicts=overwrite"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(read_file(airfoil), good) << r.err;

    // Scenery goes and comes back; the copy stays the user's to write.
    const std::string tile = copy() + "Global Scenery/-global terrain-/+40+070/+43+073.dsf";
    EXPECT_TRUE(fs::exists(tile));
    r = p.run({"--dvd_drives=" + drives, "--modify=" + copy(), "--scenery=none"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(fs::exists(tile));
    r = p.run({"--dvd_drives=" + drives, "--modify=" + copy(), "--scenery=all"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(fs::exists(tile));
    EXPECT_EQ(not_writable_below(copy()), std::vector<std::string>());
    r = run(drives, "--verify=" + copy());
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    return read;
  }

  ProgramRun p;
};

TEST_F(DiscImageRunTest, ImagesAreMasteredReadOnlyWithAVolumeIdPerDisc) {
  if (!posix_system()) GTEST_SKIP() << kNoImages;
  for (int n = 1; n <= 3; ++n) {
    const std::string listing = p.root / "listing.txt";
    ASSERT_EQ(std::system(("xorriso -no_rc -indev '" + image(n) + "' -pvd_info -find / -exec lsdl -- > '" +
                           listing + "' 2>&1").c_str()),
              0);
    const std::string text = read_file(listing);
    EXPECT_NE(text.find("ZEPHIRO_9_DVD_" + std::to_string(n)), std::string::npos) << text;
    const std::vector<std::string> files = lines_starting(text, "-");
    const std::vector<std::string> folders = lines_starting(text, "d");
    EXPECT_GT(files.size(), 1u);
    for (const std::string& line : files) EXPECT_EQ(line.substr(0, 10), "-r--r--r--") << line;
    for (const std::string& line : folders) EXPECT_EQ(line.substr(0, 10), "dr-xr-xr-x") << line;
  }
}

TEST_F(DiscImageRunTest, InstallVerifyRepairAndSceneryFromImages) {
  if (!posix_system()) GTEST_SKIP() << kNoImages;
  const uint64_t read = install_verify_repair_modify(images());
  EXPECT_GT(read, 0u);

  // The same discs with 16 MB of other files on each, lying before the set's folder: an
  // install reads what it read before, not the images (seeking skips the rest).
  const std::string larger = p.root / "larger/";
  const std::string drives = larger + "disc1.iso" + list_separator() + larger + "disc2.iso" + list_separator() + larger + "disc3.iso";
  for (int n = 1; n <= 3; ++n) {
    const std::string disc = larger + "disc" + std::to_string(n) + "/";
    fs::create_directories(disc + "Extras");
    fs::copy(set_path() + "disc" + std::to_string(n), disc, fs::copy_options::recursive);
    write_file(disc + "Extras/film.bin", std::string(16 << 20, char(n)));
    ASSERT_EQ(std::system(("xorriso -no_rc -as mkisofs -quiet -r -J -o '" + larger + "disc" + std::to_string(n) +
                           ".iso' '" + disc + "' >/dev/null 2>&1").c_str()),
              0);
    fs::remove_all(disc);
  }
  fs::remove_all(copy());
  RunResult r = run(drives, "--install=" + copy());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const uint64_t larger_read = image_bytes_read(p.log());
  EXPECT_GT(larger_read, 0u);
  EXPECT_LT(larger_read, read + (1u << 20)) << "against " << read;
}

TEST_F(DiscImageRunTest, InstallVerifyRepairAndSceneryFromReadOnlyFolders) {
  const std::string discs = p.root / "pressed/";
  fs::create_directories(discs);
  for (int n = 1; n <= 3; ++n)
    fs::copy(set_path() + "disc" + std::to_string(n), discs + "disc" + std::to_string(n), fs::copy_options::recursive);
  for (const auto& e : fs::recursive_directory_iterator(discs))
    fs::permissions(e.path(), e.is_directory() ? fs::perms(0555) : fs::perms(0444));
  fs::permissions(discs, fs::perms(0555));
  EXPECT_EQ(install_verify_repair_modify(discs + "disc1" + list_separator() + discs + "disc2" + list_separator() + discs + "disc3"), 0u);
  // Folders made read-only must be writable again before the test can remove them.
  fs::permissions(discs, fs::perms(0755));
  for (const auto& e : fs::recursive_directory_iterator(discs))
    if (e.is_directory()) fs::permissions(e.path(), fs::perms(0755));
}

TEST_F(DiscImageRunTest, DamagedImagesAreToldByNameAndPutNothingWrongInTheCopy) {
  if (!posix_system()) GTEST_SKIP() << kNoImages;
  // Not an ISO at all: the run cannot start, and says which file.
  const std::string junk = p.root / "junk.iso";
  write_file(junk, std::string(100000, 'x'));
  RunResult r = run(junk, "--install=" + copy());
  EXPECT_EQ(r.exit_code, 3);
  EXPECT_NE(r.err.find("I cannot read the disc image " + junk + "."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("not an ISO 9660 image"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(copy()));

  // Bytes flipped inside an archive of disc 2: that file fails its check and is not
  // installed; everything else is.
  const std::string damaged = p.root / "damaged/";
  fs::create_directories(damaged);
  for (int n = 1; n <= 3; ++n) fs::copy(image(n), damaged + "disc" + std::to_string(n) + ".iso");
  const std::string archive_path = std::string(kTopFolder) + "Airfoils/Clark Y.afl.zip";
  int disc = 0;
  for (int n = 1; n <= 3 && !disc; ++n)
    if (fs::exists(set_path() + "disc" + std::to_string(n) + "/" + archive_path)) disc = n;
  ASSERT_NE(disc, 0);
  const std::string archive = read_file(set_path() + "disc" + std::to_string(disc) + "/" + archive_path);
  std::string bytes = read_file(damaged + "disc" + std::to_string(disc) + ".iso");
  const size_t at = bytes.find(archive);
  ASSERT_NE(at, std::string::npos);
  // Inside the member's data: after the local header (30 bytes), its name and extra field.
  ASSERT_GT(archive.size(), 40u);
  const size_t data = 30 + uint8_t(archive[26]) + 256 * uint8_t(archive[27]) + uint8_t(archive[28]) +
                      256 * uint8_t(archive[29]);
  bytes[at + data + 1] ^= 0x5A;
  write_file(damaged + "disc" + std::to_string(disc) + ".iso", bytes);
  const std::string drives = damaged + "disc1.iso" + list_separator() + damaged + "disc2.iso" + list_separator() + damaged + "disc3.iso";
  r = run(drives, "--install=" + copy());
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_NE(r.err.find("Zephiro 9/Airfoils/. (Damaged archive"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(copy() + "Airfoils/Clark Y.afl"));
  r = run(drives, "--verify=" + copy());
  EXPECT_EQ(lines_starting(r.out, "damaged"), std::vector<std::string>()) << r.out;
  EXPECT_EQ(lines_starting(r.out, "missing"), std::vector<std::string>{"missing\tAirfoils/Clark Y.afl"}) << r.out;

  // Disc 3 cut short: it is told by name and is no disc; the copy gets no file of it, and
  // the run ends without disc 3.
  fs::remove_all(copy());
  fs::copy(image(disc), damaged + "disc" + std::to_string(disc) + ".iso", fs::copy_options::overwrite_existing);
  // Cut inside the data of disc 3's largest archive.
  const std::string third = damaged + "disc3.iso";
  std::string largest;
  for (const auto& e : fs::recursive_directory_iterator(set_path() + "disc3"))
    if (e.is_regular_file() && e.file_size() > largest.size()) largest = read_file(e.path().string());
  const size_t cut = read_file(third).find(largest);
  ASSERT_NE(cut, std::string::npos);
  fs::resize_file(third, cut + largest.size() / 2);
  r = run(drives, "--install=" + copy());
  EXPECT_EQ(r.exit_code, 3) << r.err;
  EXPECT_NE(r.err.find("I cannot read the disc image " + third + "."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("DVD number 3 is needed"), std::string::npos) << r.err;
  r = run(drives, "--verify=" + copy());
  EXPECT_EQ(lines_starting(r.out, "damaged"), std::vector<std::string>()) << r.out;
  EXPECT_FALSE(lines_starting(r.out, "missing").empty()) << r.out;
}

// ---------------------------------------------------------------------------------------
// The window

class DiscImageWindowTest : public ProgramWindowTest {
 protected:
  static void SetUpTestSuite() {
    ProgramWindowTest::SetUpTestSuite();
    if (!posix_system()) return;
    g_set = std::make_unique<TempDir>();
    ASSERT_TRUE(make_tiny_disc_set(g_set->path(), 3, "--iso"));
  }
  void SetUp() override {
    if (!posix_system()) GTEST_SKIP() << kNoImages;
    ProgramWindowTest::SetUp();
  }
  static void TearDownTestSuite() {
    ProgramWindowTest::TearDownTestSuite();
    g_set.reset();
  }
  // From the Welcome page through Select Scenery (four tiles) to the install.
  static std::string install_to_the_map() { return to_select_scenery() + "drag 600 310 740 350\nclick_text CONTINUE\n"; }
};


TEST_F(DiscImageWindowTest, OneImagePickedFromAStartWithoutADriveInstallsAllThreeDiscs) {
  // Beside the set's images: an image of another product, which must not become a drive.
  const std::string other = p.root / "other/";
  fs::create_directories(other + "Other DVD");
  write_file(other + "dvd_version.txt", "A\n900\nDVD\nVERSION Other DVD\n");
  write_file(other + "Other DVD/directory.txt.zip", "not read");
  ASSERT_EQ(std::system(("xorriso -no_rc -as mkisofs -quiet -r -J -o '" + set_path() + "other.iso' '" + other +
                         "' >/dev/null 2>&1").c_str()),
            0);
  const std::string copy = desktop() + "Zephiro 9 DVD/";
  RunResult r = p.run({"--lang=en", script("check_fit\n"
                                           "wait_text Please insert Zephiro 9 DVD number one to begin.\n"
                                           "pick_disc_image " + image(1) + "\n"
                                           "click_text Use Disc Images\n" +
                                           install_to_the_map() +
                                           "# no disc request: the other discs are in the images\n"
                                           "wait_text Installation was successful.\n"
                                           "click_text QUIT\n")});
  const std::string log = p.log();
  ASSERT_EQ(r.exit_code, 0) << r.err << log;
  EXPECT_EQ(log.find("Please insert DVD number"), std::string::npos) << log;
  for (int n = 1; n <= 3; ++n)
    EXPECT_NE(log.find("Using the disc image " + image(n) + "/ as a drive"), std::string::npos) << log;
  EXPECT_EQ(log.find("Using the disc image " + set_path() + "other.iso"), std::string::npos) << log;
  EXPECT_TRUE(fs::exists(copy + "Airfoils/Clark Y.afl"));
  EXPECT_TRUE(fs::exists(copy + "Global Scenery/-global terrain-/+40+070/+43+073.dsf"));
  EXPECT_EQ(not_writable_below(copy), std::vector<std::string>());
  fs::remove(set_path() + "other.iso");
}

TEST_F(DiscImageWindowTest, TheDiscChangePageTakesAnImageAndABadOneIsToldByName) {
  // The first disc in a folder drive; disc 2 asked for, and a file that is no image picked
  // first, then the image of disc 2.
  const std::string junk = p.root / "junk.iso";
  write_file(junk, "no disc image");
  const std::string copy = desktop() + "Zephiro 9 DVD/";
  RunResult r = p.run({"--lang=en", "--dvd_drives=" + set_path() + "disc1",
                       script(install_to_the_map() +
                              "wait_text Please insert DVD number 2 and click continue.\n"
                              "pick_disc_image " + junk + "\n"
                              "click_text Use Disc Images\n"
                              "frames 5\n"
                              "wait_text Please insert DVD number 2 and click continue.\n"
                              "pick_cancel\n"
                              "click_text Use Disc Images\n"
                              "frames 5\n"
                              "wait_text Please insert DVD number 2 and click continue.\n"
                              "pick_disc_image " + image(2) + "\n"
                              "click_text Use Disc Images\n"
                              "wait_text Installation was successful.\n"
                              "click_text QUIT\n")});
  const std::string log = p.log();
  ASSERT_EQ(r.exit_code, 0) << r.err << log;
  EXPECT_NE(log.find("I cannot read the disc image " + junk + "."), std::string::npos) << log;
  EXPECT_NE(log.find("Using the disc image " + image(3) + "/ as a drive"), std::string::npos) << log;
  EXPECT_TRUE(fs::exists(copy + "Global Scenery/-global terrain-/+40+070/+43+073.dsf"));
}

TEST_F(DiscImageWindowTest, TheChoiceAndWhatItTellsSpeakEachLanguageAndFit) {
  const std::string junk = p.root / "junk.iso";
  write_file(junk, "no disc image");
  const int saved = app().language;
  for (int language : {language_french, language_german, language_russian}) {
    set_language(language);  // the texts the script waits for and clicks
    const std::string code = language_entry(language)->iso_code;
    SCOPED_TRACE(code);
    const std::string no_disc = "wait_text " + localize("Please insert Zephiro 9 DVD number one to begin.") + "\n";
    const std::string choice = "click_text " + localize("Use Disc Images…") + "\n";
    const std::string welcome = localize("Welcome to the Zephiro 9 Installer.  I will guide you through the process "
                                         "of installing %1:install name%.");
    RunResult r = p.run({"--lang=" + code, "--missing_strings",
                         script("check_fit\n" + no_disc + "pick_disc_image " + junk + "\n" + choice + "frames 5\n" +
                                no_disc + "pick_disc_image " + image(1) + "\n" + choice + "wait_text " +
                                welcome.substr(0, welcome.find('%')) + "\n")});
    const std::string log = p.log();
    ASSERT_EQ(r.exit_code, 0) << r.err << log;
    // Every text drawn or told had its translation; the alert about the file in the language.
    EXPECT_EQ(log.find("\nSTRING "), std::string::npos) << log;
    EXPECT_NE(log.find(substitute_parameters(localize("I cannot read the disc image %1:file%."), junk)),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(localize("The disc image is not an ISO 9660 image (a UDF-only image cannot be read)")),
              std::string::npos)
        << log;
  }
  reset_localization();
  app().language = saved;
}

}  // namespace
