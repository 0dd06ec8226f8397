// One pass of the main loop in-process: the UI Mode, the Installer Frame, the worker's
// texture deletions and a request to end from outside.

#include "app/main_loop.h"

#include <gtest/gtest.h>
#include <csignal>

#include "platform/termination.h"
#include "tests/scripted_ui_fixture.h"
#include "tests/test_util.h"

namespace {

int g_page_calls = 0;

int counting_page(int, PageDescription& page) {
  ++g_page_calls;
  page.title = "Counting page";
  return 0;
}

class MainLoop : public ScriptedUi {
 protected:
  void SetUp() override {
    ScriptedUi::SetUp();
    g_page_calls = 0;
    framework().current_page = counting_page;
  }
};

}  // namespace

TEST_F(MainLoop, ModalModesSuspendTheInstallerFrame) {
  EXPECT_FALSE(is_modal_ui_mode(0));
  EXPECT_FALSE(is_modal_ui_mode(991));
  EXPECT_TRUE(is_modal_ui_mode(992));
  EXPECT_TRUE(is_modal_ui_mode(ui_mode_alert));
  EXPECT_TRUE(is_modal_ui_mode(999));
  EXPECT_FALSE(is_modal_ui_mode(1000));

  ASSERT_EQ(app().ui_mode, -1);
  main_loop_iteration();  // the first pass starts the wizard mode
  EXPECT_EQ(app().ui_mode, ui_mode_wizard);
  EXPECT_EQ(g_page_calls, 1);

  for (int mode : {ui_mode_alert, ui_mode_conflict, ui_mode_modal}) {
    set_ui_mode(mode);
    main_loop_iteration();
    EXPECT_EQ(g_page_calls, 1) << mode;
  }
  set_ui_mode(ui_mode_wizard);
  main_loop_iteration();
  EXPECT_EQ(g_page_calls, 2);
}

TEST_F(MainLoop, EachPassStartsFreshInputAndDeletesQueuedTextures) {
  ui().in.button_went_down = true;
  ui().in.return_pressed = true;
  const unsigned name = rec.create_texture(4, 4, 4, std::vector<unsigned char>(64, 0).data());
  queue_texture_deletion(name);  // as a worker does
  const long frame = ui().frame;
  main_loop_iteration();
  EXPECT_FALSE(ui().in.button_went_down);
  EXPECT_FALSE(ui().in.return_pressed);
  EXPECT_EQ(ui().frame, frame + 1);
  ASSERT_EQ(rec.deleted_textures.size(), 1u);
  EXPECT_EQ(rec.deleted_textures[0], name);
  EXPECT_GT(ui().seconds, 0.0);
}

TEST_F(MainLoop, TheLoopEndsWhenThePageQuits) {
  framework().current_page = quit_page;
  run_main_loop();
  EXPECT_EQ(app().quit_flag, 1);
}

TEST_F(MainLoop, ARequestToEndIsAClosedWindow) {
  if (!posix_system()) GTEST_SKIP() << "Windows sends no SIGTERM; a console's Ctrl+C is not reached under a test";
  ASSERT_EQ(platform::catch_termination_requests(), 0);
  std::raise(SIGTERM);
  EXPECT_TRUE(platform::termination_requested());
  main_loop_iteration();
  EXPECT_EQ(app().quit_flag, 1);
  platform::clear_termination_request();
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
}
