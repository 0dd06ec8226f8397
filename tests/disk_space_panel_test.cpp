// The disk-space panel's words and its answer, on volumes whose free space is known to the
// kilobyte: a tmpfs of its own, empty or filled to the last byte.
#include "wizards/disk_space_panel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/disk_space.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "io/run_folder.h"
#include "tests/test_util.h"
#include "tests/ui_fixture.h"

namespace {

const char k_enough[] = "There is room.";
const char k_short[] = "There is no room.";

class DiskSpacePanelTest : public UiFixture {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    reset_install_manifest();
    reset_install_scope();
    // The archives' scratch folder on the same volume: only the copy's volume is asked.
    app().temp_folder = volume.path();
  }
  void TearDown() override {
    reset_install_manifest();
    reset_install_scope();
    app().temp_folder.clear();
    UiFixture::TearDown();
  }
  // One frame of the panel for a work that needs `needed_kb`: its answer, and which status it drew.
  bool panel(double needed_kb, std::string* status) {
    install_manifest().totals.total_installed_size = static_cast<float>(needed_kb);
    frame(0, 0);
    const bool enough = disk_space_panel(k_enough, k_short);
    status->clear();
    for (const TextNote& n : rec.texts)
      if (n.text == k_enough || n.text == k_short) *status = n.text;
    return enough;
  }
  double free_kb() {
    const SpaceDecision d = space_decision();
    EXPECT_TRUE(d.shown);
    return d.free_kb;
  }

  TmpfsMount volume{"64k"};
};

}  // namespace

// The words and CONTINUE agree at the boundary: a work that needs exactly the free space
// does not fit (and says so); a work that needs nothing fits a full volume.
TEST_F(DiskSpacePanelTest, TheStatusTextAndTheAnswerAgree) {
  if (!volume.problem().empty()) GTEST_SKIP() << volume.problem();
  install_path() = volume / "Zephiro 9/";
  const double free = free_kb();
  ASSERT_GT(free, 2);
  std::string status;
  EXPECT_TRUE(panel(free - 1, &status));
  EXPECT_EQ(status, k_enough);
  EXPECT_FALSE(panel(free, &status));
  EXPECT_EQ(status, k_short);
  EXPECT_FALSE(panel(free + 1, &status));
  EXPECT_EQ(status, k_short);
  EXPECT_TRUE(panel(0, &status));
  EXPECT_EQ(status, k_enough);

  // The volume filled to its last byte: nothing to write still fits, anything else does not.
  std::FILE* f = std::fopen((volume / "filler").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const std::string block(4096, 'x');
  while (std::fwrite(block.data(), 1, block.size(), f) == block.size()) {
  }
  std::fclose(f);
  ASSERT_EQ(free_kb(), 0);
  EXPECT_TRUE(panel(0, &status));
  EXPECT_EQ(status, k_enough);
  EXPECT_FALSE(panel(1, &status));
  EXPECT_EQ(status, k_short);
}
