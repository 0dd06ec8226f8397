// The installer installed on a desktop: `cmake --install` into a prefix, checked the way the
// desktop and the software centres read it, and the tool that draws the smaller icons.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/version.h"
#include "io/md5.h"
#include "tests/test_util.h"
#include "ui/png_image.h"

namespace fs = std::filesystem;

namespace {

const std::string k_app_id = "org.zephiro.ZephiroInstaller";

// Runs `command` with its output in `out`; returns its exit code.
int run_capturing(const std::string& command, std::string& out) {
  TempDir scratch;
  const int status = std::system((command + " > '" + scratch / "out.txt" + "' 2>&1").c_str());
  out = read_file(scratch / "out.txt");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string md5_of(const std::string& path) {
  std::string signature;
  md5_of_file(path, signature);
  return signature;
}

}  // namespace

TEST(DesktopInstall, EveryFileWhereTheDesktopLooksAndValid) {
  TempDir prefix;
  std::string out;
  ASSERT_EQ(run_capturing("cmake --install '" ZEPHIRO_BINARY_DIR "' --prefix '" + prefix.path() + "'", out), 0) << out;
  const std::string share = prefix / "share/";

  // The program, by the name the desktop entry starts.
  const std::string program = prefix / "bin/zephiro-installer";
  ASSERT_EQ(access(program.c_str(), X_OK), 0);
  ASSERT_EQ(run_capturing("'" + program + "' --version", out), 0);
  EXPECT_EQ(out.substr(0, out.find('\n')), ZEPHIRO_VERSION_TEXT);

  const std::string desktop_file = share + "applications/" + k_app_id + ".desktop";
  EXPECT_EQ(run_capturing("desktop-file-validate '" + desktop_file + "'", out), 0) << out;
  EXPECT_EQ(out, "") << "warnings or hints";
  const std::string entry = read_file(desktop_file);
  EXPECT_NE(entry.find("\nExec=zephiro-installer\n"), std::string::npos);
  EXPECT_NE(entry.find("\nIcon=zephiro-installer\n"), std::string::npos);
  for (const char* key : {"Name", "Comment", "GenericName"})
    for (const char* lang : {"fr", "de", "ru"})
      EXPECT_NE(entry.find(std::string("\n") + key + "[" + lang + "]="), std::string::npos) << key << " " << lang;

  const std::string metainfo = share + "metainfo/" + k_app_id + ".metainfo.xml";
  EXPECT_EQ(run_capturing("appstreamcli validate --no-net --pedantic '" + metainfo + "'", out), 0) << out;
  EXPECT_NE(out.find("Validation was successful"), std::string::npos) << out;
  const std::string info = read_file(metainfo);
  EXPECT_NE(info.find("<launchable type=\"desktop-id\">" + k_app_id + ".desktop</launchable>"), std::string::npos);
  EXPECT_NE(info.find("<screenshot type=\"default\">"), std::string::npos);
  for (const char* lang : {"fr", "de", "ru"}) {
    EXPECT_NE(info.find(std::string("<name xml:lang=\"") + lang + "\">"), std::string::npos) << lang;
    EXPECT_NE(info.find(std::string("<summary xml:lang=\"") + lang + "\">"), std::string::npos) << lang;
  }
  // The release the software centre shows is the one the program reports.
  const std::string version = std::string(ZEPHIRO_VERSION_TEXT).substr(std::string(ZEPHIRO_VERSION_TEXT).rfind(' ') + 1);
  EXPECT_NE(info.find("<release version=\"" + version + "\""), std::string::npos) << version;

  // The icon at each size the theme has, the largest exactly the program's own artwork.
  for (int size : {48, 128, 256}) {
    const std::string name = std::to_string(size) + "x" + std::to_string(size);
    Image icon;
    ASSERT_EQ(read_png(share + "icons/hicolor/" + name + "/apps/zephiro-installer.png", icon), png_ok) << name;
    EXPECT_EQ(icon.width, size);
    EXPECT_EQ(icon.height, size);
  }
  EXPECT_EQ(md5_of(share + "icons/hicolor/256x256/apps/zephiro-installer.png"),
            md5_of(ZEPHIRO_SOURCE_DIR "/resources/icon.png"));
}

TEST(DesktopInstall, ScaledIconsKeepTheirColourAtTransparentEdges) {
  // Left half opaque red, right half fully transparent (black underneath).
  TempDir dir;
  Image source;
  source.width = source.height = 256;
  source.rgba.assign(256 * 256 * 4, 0);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 128; ++x) {
      source.pixel(x, y)[0] = 255;
      source.pixel(x, y)[3] = 255;
    }
  ASSERT_EQ(save_png(dir / "source.png", source), png_ok);
  const std::string tool = ZEPHIRO_BINARY_DIR "/scale_icon";
  std::string out;
  ASSERT_EQ(run_capturing(tool + " '" + dir / "source.png' 45 '" + dir / "small.png'", out), 0) << out;
  Image small;
  ASSERT_EQ(read_png(dir / "small.png", small), png_ok);
  ASSERT_EQ(small.width, 45);
  ASSERT_EQ(small.height, 45);
  // Column 22 covers source columns 125.2 to 130.8: half red, half clear. Its colour stays
  // red; only its cover halves (a plain mean would darken it to 128).
  for (int row : {0, 22, 44}) {
    EXPECT_EQ(small.pixel(10, row)[0], 255);
    EXPECT_EQ(small.pixel(10, row)[3], 255);
    EXPECT_EQ(small.pixel(22, row)[0], 255) << row;
    EXPECT_EQ(small.pixel(22, row)[1], 0);
    EXPECT_NEAR(small.pixel(22, row)[3], 128, 1);
    EXPECT_EQ(small.pixel(30, row)[3], 0);
  }
  // A source that is not a PNG, or no size, is refused without output.
  write_file(dir / "broken.png", "not a picture");
  EXPECT_EQ(run_capturing(tool + " '" + dir / "broken.png' 48 '" + dir / "x.png'", out), 1);
  EXPECT_EQ(run_capturing(tool + " '" + dir / "source.png' 0 '" + dir / "x.png'", out), 2);
  EXPECT_FALSE(fs::exists(dir / "x.png"));
}
