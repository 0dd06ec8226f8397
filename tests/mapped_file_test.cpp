#include "io/mapped_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "core/alert.h"
#include "core/log.h"
#include "tests/test_util.h"

namespace {

// Captures alerts instead of showing them (developer assertions would end the run).
struct AlertCapture {
  std::vector<AlertRequest> seen;
  AlertCapture() {
    set_alert_handler([this](const AlertRequest& r) { seen.push_back(r); });
  }
  ~AlertCapture() { set_alert_handler(nullptr); }
};

struct LogCapture {
  std::string text;
  LogCapture() { log_set_capture(&text); }
  ~LogCapture() { log_set_capture(nullptr); }
};

int check_text(const std::string& bytes, std::vector<int> accepted, const char* type = nullptr,
               std::string* notice = nullptr, std::string* after = nullptr) {
  TempDir dir;
  write_file(dir / "data.txt", bytes);
  MappedFile file(dir / "data.txt");
  accepted.push_back(0);
  int v = check_file(file, kind_text, accepted.data(), type, notice);
  if (after) after->assign(file.pos ? file.pos : "", file.pos ? file.end() : file.pos);
  return v;
}

int check_binary(const std::string& bytes, std::vector<int> accepted) {
  TempDir dir;
  write_file(dir / "data.bin", bytes);
  MappedFile file(dir / "data.bin");
  accepted.push_back(0);
  return check_file(file, kind_binary, accepted.data(), nullptr, nullptr);
}

}  // namespace

TEST(MappedFile, MissingAndEmptyFilesHaveNoView) {
  TempDir dir;
  MappedFile missing(dir / "nothing.txt");
  EXPECT_FALSE(missing.has_view());
  EXPECT_EQ(missing.size(), 0u);

  write_file(dir / "empty.txt", "");
  MappedFile empty(dir / "empty.txt");
  EXPECT_FALSE(empty.has_view());

  MappedFile folder(dir.path());
  EXPECT_FALSE(folder.has_view());
}

TEST(MappedFile, WholeFileAndOffsetViews) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 20000; ++i) bytes += static_cast<char>('a' + i % 26);
  write_file(dir / "big.bin", bytes);

  MappedFile whole(dir / "big.bin");
  ASSERT_TRUE(whole.has_view());
  EXPECT_EQ(std::string(whole.begin(), whole.end()), bytes);
  EXPECT_EQ(whole.pos, whole.begin());
  EXPECT_FALSE(whole.embedded());

  // An offset inside a page: the view must start at exactly that byte.
  MappedFile part(dir / "big.bin", 5001, 100);
  ASSERT_TRUE(part.has_view());
  EXPECT_EQ(std::string(part.begin(), part.end()), bytes.substr(5001, 100));
  EXPECT_EQ(part.pos, part.begin());

  MappedFile tail(dir / "big.bin", 19990);
  ASSERT_TRUE(tail.has_view());
  EXPECT_EQ(std::string(tail.begin(), tail.end()), bytes.substr(19990));

  // Reopening replaces the view.
  part.open(dir / "big.bin", 4096, 3);
  EXPECT_EQ(std::string(part.begin(), part.end()), bytes.substr(4096, 3));
}

TEST(MappedFile, ViewsNeverReachPastTheEnd) {
  TempDir dir;
  write_file(dir / "small.bin", "0123456789");
  LogCapture log;
  MappedFile beyond(dir / "small.bin", 10);
  EXPECT_FALSE(beyond.has_view());
  EXPECT_NE(log.text.find("Warning: remaining file space is 0 and offset is 10 for file "), std::string::npos);

  MappedFile longer(dir / "small.bin", 4, 100);
  ASSERT_TRUE(longer.has_view());
  EXPECT_EQ(std::string(longer.begin(), longer.end()), "456789");
}

// A small file is read into memory: a disc taken away, or the file cut short while it is
// read, cannot fault the program. Every whole-file read is bounded, and only regular files
// are read at all.
TEST(MappedFile, SmallFilesAreCopiedAndEveryReadIsBounded) {
  TempDir dir;
  std::string text(100000, 'v');
  write_file(dir / "dvd_version.txt", text);
  MappedFile small(dir / "dvd_version.txt");
  ASSERT_TRUE(small.has_view());
  ASSERT_EQ(truncate((dir / "dvd_version.txt").c_str(), 0), 0);
  EXPECT_EQ(std::string(small.begin(), small.end()), text);

  write_file(dir / "big.txt", "");
  ASSERT_EQ(truncate((dir / "big.txt").c_str(), static_cast<off_t>(kWholeFileLimit + 1)), 0);
  LogCapture log;
  MappedFile big(dir / "big.txt");
  EXPECT_FALSE(big.has_view());
  EXPECT_NE(log.text.find("is too large to read"), std::string::npos) << log.text;
  MappedFile bounded(dir / "big.txt", 0, 0, 4096);
  EXPECT_FALSE(bounded.has_view());
  MappedFile part(dir / "big.txt", 4096, 100, 4096);  // a bounded part of a large file is fine
  EXPECT_TRUE(part.has_view());

  if (posix_system()) {  // Windows has no FIFOs
    ASSERT_EQ(make_fifo(dir / "fifo"), 0);
    MappedFile fifo(dir / "fifo");  // returns at once: nothing is waited for
    EXPECT_FALSE(fifo.has_view());
  }
}

TEST(MappedFile, EmbeddedResourcesIgnoreCase) {
  MappedFile font("RESOURCE:dejavusans.TTF");
  ASSERT_TRUE(font.has_view());
  EXPECT_TRUE(font.embedded());
  std::string on_disk = read_file(ZEPHIRO_SOURCE_DIR "/resources/DejaVuSans.ttf");
  ASSERT_FALSE(on_disk.empty());
  EXPECT_EQ(std::string(font.begin(), font.end()), on_disk);

  MappedFile bold("RESOURCE:DejaVuSansBold.ttf");
  EXPECT_TRUE(bold.has_view());
  EXPECT_NE(bold.size(), font.size());

  MappedFile missing("RESOURCE:Italian.txt");
  EXPECT_FALSE(missing.has_view());
  MappedFile prefix_only("RESOURCE:DejaVuSans");
  EXPECT_FALSE(prefix_only.has_view());

  font.close();
  EXPECT_FALSE(font.has_view());
  EXPECT_FALSE(font.embedded());
}

TEST(MappedFile, RelativePathsWithForeignSeparatorsTripTheAssertion) {
  AlertCapture alerts;
  MappedFile file("some\\where.txt");
  ASSERT_EQ(alerts.seen.size(), 1u);
  EXPECT_EQ(alerts.seen[0].kind, alert_crash);
  EXPECT_EQ(alerts.seen[0].lines[0], "OOPS!");
  EXPECT_EQ(alerts.seen[0].lines[3], "some\\where.txt");

  alerts.seen.clear();
  MappedFile fine("Resources/file.txt");
  EXPECT_TRUE(alerts.seen.empty());
}

TEST(CheckFile, TextHeaderWithByteOrderMarkAndTypeWord) {
  const std::string dvd = "\xEF\xBB\xBF" "A\r\n900\r\nDVD\r\nbody line\n";
  std::string after;
  EXPECT_EQ(check_text(dvd, {840, 900}, "DVD", nullptr, &after), 900);
  EXPECT_EQ(after, "body line\n");
  EXPECT_EQ(check_text(dvd, {900}, "DVDX"), 0);
  EXPECT_EQ(check_text(dvd, {840}, "DVD"), 0);
  EXPECT_EQ(check_text("A\n900\nDVD", {900}, "DVD"), 900);  // word at the very end
  EXPECT_EQ(check_text("A\n900\nDV", {900}, "DVD"), 0);
  EXPECT_EQ(check_text("A\n900\nTRANSLATION\n", {900}, "DVD"), 0);
  // Without a byte-order mark, and with 'I' and blank lines between header lines.
  EXPECT_EQ(check_text("I whatever\n\n  \n 10 version\nkey value\n", {10}, nullptr, nullptr, &after), 10);
  EXPECT_EQ(after, "key value\n");
}

TEST(CheckFile, VersionLineRules) {
  std::string notice;
  EXPECT_EQ(check_text("I\n12 abc\n", {12}, nullptr, &notice), 12);
  EXPECT_EQ(notice, "abc");
  EXPECT_EQ(check_text("I\n12\tnotice with  blanks \r\n", {12}, nullptr, &notice), 12);
  EXPECT_EQ(notice, "notice with  blanks ");
  // Every character up to the blank counts as a digit: '1','2','a','b','c' -> 17451.
  EXPECT_EQ(check_text("I\n12abc\n", {12}), 0);
  EXPECT_EQ(check_text("I\n12abc\n", {17451}), 17451);
  EXPECT_EQ(check_text("I\n-5\n", {-5}), -5);
  EXPECT_EQ(check_text("I\n-5\n", {5}), 0);
  EXPECT_EQ(check_text("I\n+7\n", {7}), 7);
  // A runaway number wraps instead of overflowing.
  EXPECT_EQ(check_text("I\n99999999999999999999999\n", {10}), 0);
}

TEST(CheckFile, RejectsForeignAndEmptyFiles) {
  EXPECT_EQ(check_text("X\n10 version\n", {10}), 0);
  EXPECT_EQ(check_text("\n10 version\n", {10}), 0);
  EXPECT_EQ(check_text("I", {10}), 0);
  EXPECT_EQ(check_text("I\n10 version\n", {11, 12}), 0);
  MappedFile none;
  const int accepted[] = {10, 0};
  EXPECT_EQ(check_file(none, kind_text, accepted, nullptr, nullptr), 0);
  EXPECT_EQ(check_file(none, kind_binary, accepted, nullptr, nullptr), 0);
}

TEST(CheckFile, FailedCheckLeavesThePositionAlone) {
  TempDir dir;
  write_file(dir / "d.txt", "A\n900\nDVDX\n");
  MappedFile file(dir / "d.txt");
  const int accepted[] = {900, 0};
  EXPECT_EQ(check_file(file, kind_text, accepted, "DVD", nullptr), 0);
  EXPECT_EQ(file.pos, file.begin());
}

TEST(CheckFile, BinaryHeaderByteOrder) {
  EXPECT_EQ(check_binary(std::string("i\x2C\x01\x00\x00rest", 9), {300}), 300);
  EXPECT_EQ(check_binary(std::string("a\x00\x00\x01\x2C", 5), {300}), 300);
  EXPECT_EQ(check_binary(std::string("a\x2C\x01\x00\x00", 5), {300}), 0);
  EXPECT_EQ(check_binary(std::string("x\x2C\x01\x00\x00", 5), {300}), 0);
  EXPECT_EQ(check_binary(std::string("i\x2C\x01\x00", 4), {300}), 0);
  EXPECT_EQ(check_binary(std::string("i\xFF\xFF\xFF\xFF", 5), {-1}), -1);

  TempDir dir;
  write_file(dir / "d.bin", std::string("i\x0A\x00\x00\x00XY", 7));
  MappedFile file(dir / "d.bin");
  const int accepted[] = {10, 0};
  EXPECT_EQ(check_file(file, kind_binary, accepted, nullptr, nullptr), 10);
  EXPECT_EQ(std::string(file.pos, file.end()), "XY");
}

TEST(CheckFile, UnknownKindIsADeveloperError) {
  AlertCapture alerts;
  TempDir dir;
  write_file(dir / "d.txt", "I\n10\n");
  MappedFile file(dir / "d.txt");
  const int accepted[] = {10, 0};
  EXPECT_EQ(check_file(file, 10002, accepted, nullptr, nullptr), 0);
  ASSERT_EQ(alerts.seen.size(), 1u);
  EXPECT_EQ(alerts.seen[0].kind, alert_crash);
  EXPECT_EQ(ouf_open(dir / "x.txt", 7, 10, nullptr), 0);
  EXPECT_EQ(alerts.seen.size(), 2u);
}

TEST(OufOpen, CreatesAMissingFolderOnTheSecondAttempt) {
  TempDir dir;
  std::string path = dir / "new folder/Zephiro Installer.prf";
  ASSERT_EQ(ouf_open(path, kind_text, 10, "no-copyright-string"), 1);
  std::fputs("_log_actions 1\n", ouf_stream());
  EXPECT_EQ(ouf_close(), 0);
  EXPECT_EQ(ouf_stream(), nullptr);
  EXPECT_EQ(read_text_file(path), "I\n10 version\n_log_actions 1\n");
}

TEST(OufOpen, HeaderBytes) {
  TempDir dir;
  ASSERT_EQ(ouf_open(dir / "t.txt", kind_text, 900, "(c) Corvenna"), 1);
  ouf_close();
  EXPECT_EQ(read_text_file(dir / "t.txt"), "I\n900 version(c) Corvenna\n");

  ASSERT_EQ(ouf_open(dir / "n.txt", kind_text, -3, nullptr), 1);
  ouf_close();
  EXPECT_EQ(read_text_file(dir / "n.txt"), "I\n-3 version\n");

  ASSERT_EQ(ouf_open(dir / "b.bin", kind_binary, 0x01020304, nullptr), 1);
  ouf_close();
  EXPECT_EQ(read_file(dir / "b.bin"), std::string("i\x04\x03\x02\x01", 5));

  // What ouf_open writes, check_file reads back.
  MappedFile back(dir / "t.txt");
  const int accepted[] = {900, 0};
  std::string notice;
  EXPECT_EQ(check_file(back, kind_text, accepted, nullptr, &notice), 900);
  EXPECT_EQ(notice, "version(c) Corvenna");
}

TEST(OufOpen, ReportsAFolderItCannotCreate) {
  AlertCapture alerts;
  TempDir dir;
  std::string path = dir / "a/b/file.txt";  // two missing levels: one create is not enough
  EXPECT_EQ(ouf_open(path, kind_text, 10, nullptr), 0);
  ASSERT_EQ(alerts.seen.size(), 1u);
  EXPECT_EQ(alerts.seen[0].kind, alert_info);
  EXPECT_EQ(alerts.seen[0].lines[1], path);
  EXPECT_EQ(alerts.seen[0].lines[0].rfind("I could not save the file!", 0), 0u);
  EXPECT_TRUE(read_file(path).empty());
}
