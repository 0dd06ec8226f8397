#include "engine/work_tasks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/log.h"
#include "core/preferences.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "engine/dvd_discovery.h"
#include "io/file_ops.h"
#include "io/md5.h"
#include "io/md5_lanes.h"
#include "io/threads.h"
#include "tests/engine_test_util.h"
#include "tests/test_util.h"
#include "ui/localization.h"

namespace {

const char* kAbcMd5 = "900150983cd24fb0d6963f7d28e17f72";
const char* kEmptyMd5 = "d41d8cd98f00b204e9800998ecf8427e";
const char* kHelloMd5 = "b1946ac92492d2347c6235b4d2611184";  // "hello\n"

// Creates every folder of `relative` (up to its last '/') under `base`.
void make_folders(const std::string& base, const std::string& relative) {
  for (size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1))
    create_folder(base + relative.substr(0, slash + 1));
}

class WorkTaskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_install_manifest();
    reset_install_scope();
    reset_preferences();
    reset_app_state();
    reset_dvd_discovery();
    archives = disc.path() + "Set Name/";
    create_folder(archives);
  }
  void TearDown() override {
    reset_md5_lanes();
    log_set_capture(nullptr);
    reset_install_manifest();
    reset_install_scope();
    reset_preferences();
    reset_dvd_discovery();
  }

  // Puts the archive of manifest path `path` (top folder included) on the disc, holding
  // one member named like the file with `content`.
  void put_archive(const std::string& path, const std::string& content, bool seven_zip = false) {
    std::string name = path.substr(path.rfind('/') + 1);
    make_folders(archives, path);
    ASSERT_TRUE(write_archive(archives + path + (seven_zip ? ".7z" : ".zip"), {{name, content}}));
  }

  TempDir disc, temp, copy;
  std::string archives;  // DVD Root + DVD Version + "/"
};

// ---------------------------------------------------------------- dvd_unpack_task

TEST_F(WorkTaskTest, UnpackCopiesOnTheFirstRunAndExtractsOnTheSecond) {
  int g = add_group("Zephiro 9/Resources/text/hello.txt", {{sig(1)}, {kHelloMd5}});
  put_archive("Zephiro 9/Resources/text/hello.txt", "hello\n");
  make_folders(copy.path(), "Resources/text/");

  dvd_unpack_task task(g, temp.path(), archives, copy.path());
  EXPECT_EQ(archives + "Zephiro 9/Resources/text/hello.txt.zip", task.source());
  EXPECT_EQ(temp.path() + kHelloMd5 + "_0.zip", task.temp_copy());
  EXPECT_EQ(copy.path() + "Resources/text/hello.txt", task.destination());
  EXPECT_FALSE(task.copied());

  task.run();
  EXPECT_TRUE(task.copied());
  EXPECT_TRUE(file_exists(task.temp_copy()));
  EXPECT_FALSE(file_exists(task.destination()));
  EXPECT_EQ("", current_entry(g).found_signature);

  task.run();
  std::string message = "stale";
  EXPECT_EQ(0, task.result(message));
  EXPECT_EQ("", message);
  EXPECT_EQ("hello\n", read_file(task.destination()));
  EXPECT_FALSE(file_exists(task.temp_copy()));
  EXPECT_EQ(kHelloMd5, current_entry(g).found_signature);
  EXPECT_TRUE(current_entry(g).signature_matches);
  EXPECT_EQ("", manifest_entry(g, 0).found_signature);  // older versions are left alone
}

TEST_F(WorkTaskTest, UnpackTakesGlobalSceneryFromSevenZipArchives) {
  std::string path = "Zephiro 9/Global Scenery/-global terrain-/+40-080/+45-075.dsf";
  int g = add_group(path, {{kAbcMd5}});
  put_archive(path, "abc", true);
  make_folders(copy.path(), "Global Scenery/-global terrain-/+40-080/");

  dvd_unpack_task task(g, temp.path(), archives, copy.path());
  EXPECT_EQ(temp.path() + kAbcMd5 + "_0.7z", task.temp_copy());
  task.run();
  task.run();
  std::string message;
  EXPECT_EQ(0, task.result(message)) << message;
  EXPECT_EQ("abc", read_file(copy.path() + "Global Scenery/-global terrain-/+40-080/+45-075.dsf"));
  EXPECT_TRUE(current_entry(g).signature_matches);
}

TEST_F(WorkTaskTest, FailedCopyReportsTheCopyAndNeverExtracts) {
  int g = add_group("Zephiro 9/Resources/missing.txt", {{kAbcMd5}});
  make_folders(copy.path(), "Resources/");
  dvd_unpack_task task(g, temp.path(), archives, copy.path());

  task.run();
  std::string message;
  int code = task.result(message);
  EXPECT_EQ(2, code);  // no such file on the disc
  EXPECT_EQ("I was unable to copy the file " + archives + "Zephiro 9/Resources/missing.txt.zip" +
                " from the DVD to the hard drive.",
            message);
  EXPECT_FALSE(file_exists(task.temp_copy()));

  // Even a good archive lying under the temporary name is not extracted by the second run.
  put_archive("Zephiro 9/Resources/missing.txt", "abc");
  ASSERT_EQ(0, copy_file(archives + "Zephiro 9/Resources/missing.txt.zip", task.temp_copy()));
  task.run();
  std::string second;
  EXPECT_EQ(code, task.result(second));
  EXPECT_EQ(message, second);
  EXPECT_FALSE(file_exists(task.destination()));
  EXPECT_EQ("", current_entry(g).found_signature);
  EXPECT_FALSE(current_entry(g).signature_matches);
}

TEST_F(WorkTaskTest, FailedExtractionReportsTheUnzipAndKeepsTheOldFile) {
  int g = add_group("Zephiro 9/Resources/broken.txt", {{kAbcMd5}});
  make_folders(archives, "Zephiro 9/Resources/");
  write_file(archives + "Zephiro 9/Resources/broken.txt.zip", "this is not a zip archive at all");
  make_folders(copy.path(), "Resources/");
  write_file(copy.path() + "Resources/broken.txt", "the user's old file");
  set_found(g, "NONE");

  dvd_unpack_task task(g, temp.path(), archives, copy.path());
  task.run();
  task.run();
  std::string message;
  EXPECT_NE(0, task.result(message));
  EXPECT_EQ("I was unable to unzip the file " + task.temp_copy() + " to the folder " + copy.path() +
                "Resources/.",
            message);
  // Taken in the user's language when one is set.
  set_language(language_french);
  EXPECT_NE(0, task.result(message));
  reset_localization();
  app().language = language_english;
  EXPECT_EQ("Je n'ai pas pu d\xC3\xA9" "compresser le fichier " + task.temp_copy() + " dans le dossier " + copy.path() +
                "Resources/.",
            message);
  EXPECT_EQ("the user's old file", read_file(copy.path() + "Resources/broken.txt"));
  EXPECT_EQ("NONE", current_entry(g).found_signature);
  EXPECT_FALSE(current_entry(g).signature_matches);
}

TEST_F(WorkTaskTest, DeletedTaskLogsItsOutcomeOnlyWhenActionsAreLogged) {
  int good = add_group("Zephiro 9/Resources/good.txt", {{kAbcMd5}});
  int bad = add_group("Zephiro 9/Resources/gone.txt", {{kAbcMd5}});
  put_archive("Zephiro 9/Resources/good.txt", "abc");
  make_folders(copy.path(), "Resources/");
  std::string log;
  log_set_capture(&log);

  auto unpack = [&](int group) {
    auto task = std::make_unique<dvd_unpack_task>(group, temp.path(), archives, copy.path());
    task->run();
    task->run();
  };
  unpack(good);
  EXPECT_EQ("", log);

  prefs().log_actions = 1;
  unpack(good);
  unpack(bad);
  EXPECT_EQ("EXPANDING file " + copy.path() + "Resources/good.txt, with result=0.\n"
            "EXPANDING file " + copy.path() + "Resources/gone.txt, with result=2. I was unable to copy the file " +
                archives + "Zephiro 9/Resources/gone.txt.zip from the DVD to the hard drive.\n",
            log);
}

TEST_F(WorkTaskTest, UnpackFindsTheDiscAndTheCopyByDefault) {
  int g = add_group("Zephiro 9/Zephiro", {{kAbcMd5}});
  set_dvd_root(disc.path());
  install_path() = copy.path();
  dvd_unpack_task task(g, temp.path());
  EXPECT_EQ(dvd_archive_folder() + "Zephiro 9/Zephiro.zip", task.source());
  EXPECT_EQ(copy.path() + "Zephiro", task.destination());
}

TEST_F(WorkTaskTest, ADamagedSignatureCannotMoveTheTemporaryCopy) {
  int g = add_group("Zephiro 9/Zephiro", {{"../../x/..//evil"}});
  set_dvd_root(disc.path());
  install_path() = copy.path();
  dvd_unpack_task task(g, temp.path());
  EXPECT_EQ(temp.path() + "xevil_0.zip", task.temp_copy());
}

// The install pipeline in small: one copying worker feeding several extracting ones.
TEST_F(WorkTaskTest, UnpackTasksPassThroughACopyStageAndAnUnzipStage) {
  const int files = 12;
  make_folders(copy.path(), "Output/");
  for (int i = 0; i < files; ++i) {
    std::string path = "Zephiro 9/Output/file" + std::to_string(i) + ".txt";
    std::string content = "content " + std::to_string(i);
    Md5Digest digest;
    digest.add(content.data(), content.size());
    add_group(path, {{digest.finish()}});
    put_archive(path, content);
  }
  WorkQueueStage copying(1, 4), unzipping(3, 4);
  int next = 0, done = 0;
  while (done < files) {
    while (copying.has_room() && next < files)
      copying.submit(new dvd_unpack_task(next++, temp.path(), archives, copy.path()));
    while (unzipping.has_room())
      if (UTL_work_task* t = copying.take_finished())
        unzipping.submit(t);
      else
        break;
    while (UTL_work_task* t = unzipping.take_finished()) {
      std::string message;
      EXPECT_EQ(0, t->result(message)) << message;
      delete t;
      ++done;
    }
  }
  EXPECT_EQ(0, copying.in_flight());
  EXPECT_EQ(0, unzipping.in_flight());
  copying.destroy();
  unzipping.destroy();
  for (int i = 0; i < files; ++i) {
    EXPECT_EQ("content " + std::to_string(i), read_file(copy.path() + "Output/file" + std::to_string(i) + ".txt"));
    EXPECT_TRUE(current_entry(i).signature_matches);
  }
}

// ---------------------------------------------------------------- checksum_task

TEST_F(WorkTaskTest, ChecksumFindsSignaturesOfTheWantedFilesOnly) {
  make_folders(copy.path(), "Resources/sub/");
  write_file(copy.path() + "Resources/abc.txt", "abc");
  write_file(copy.path() + "Resources/sub/empty.txt", "");
  write_file(copy.path() + "Resources/changed.txt", "changed by the user");
  write_file(copy.path() + "Resources/apple.txt", "abc");

  int abc = add_group("Zephiro 9/Resources/abc.txt", {{sig(1)}, {kAbcMd5}});
  int empty = add_group("Zephiro 9/Resources/sub/empty.txt", {{kEmptyMd5}});
  int changed = add_group("Zephiro 9/Resources/changed.txt", {{kAbcMd5}});
  int missing = add_group("Zephiro 9/Resources/missing.txt", {{kAbcMd5}});
  int gone = add_group("Zephiro 9/Resources/gone.txt", {{kAbcMd5}, {"GONE"}});
  int apple = add_group("Zephiro 9/Resources/apple.txt", {{kAbcMd5, platform_apl}});
  int outside = add_group("Zephiro 9/Resources/abc.txt", {{kAbcMd5}});
  set_found(apple, "untouched");
  set_found(outside, "untouched");

  checksum_task task(0, outside, false, copy.path());
  task.run();
  std::string message = "stale";
  EXPECT_EQ(0, task.result(message));
  EXPECT_EQ("", message);

  EXPECT_EQ(kAbcMd5, current_entry(abc).found_signature);
  EXPECT_TRUE(current_entry(abc).signature_matches);
  EXPECT_EQ("", manifest_entry(abc, 0).found_signature);
  EXPECT_EQ(kEmptyMd5, current_entry(empty).found_signature);
  EXPECT_TRUE(current_entry(empty).signature_matches);
  EXPECT_EQ(32u, current_entry(changed).found_signature.size());
  EXPECT_NE(kAbcMd5, current_entry(changed).found_signature);
  EXPECT_FALSE(current_entry(changed).signature_matches);
  EXPECT_EQ("NONE", current_entry(missing).found_signature);
  EXPECT_FALSE(current_entry(missing).signature_matches);
  EXPECT_EQ("NONE", current_entry(gone).found_signature);
  EXPECT_FALSE(current_entry(gone).signature_matches);
  // A file for another platform and a group outside the range keep what they had.
  EXPECT_EQ("untouched", current_entry(apple).found_signature);
  EXPECT_EQ("untouched", current_entry(outside).found_signature);
}

TEST_F(WorkTaskTest, QuickChecksumCountsAnExistingFileAsMatching) {
  make_folders(copy.path(), "Resources/");
  write_file(copy.path() + "Resources/changed.txt", "not what the manifest says");
  int changed = add_group("Zephiro 9/Resources/changed.txt", {{kAbcMd5}});
  int missing = add_group("Zephiro 9/Resources/missing.txt", {{kAbcMd5}});
  set_found(missing, kAbcMd5);  // an earlier scan's result does not survive

  checksum_task task(0, 2, true, copy.path());
  task.run();
  EXPECT_EQ(kAbcMd5, current_entry(changed).found_signature);
  EXPECT_TRUE(current_entry(changed).signature_matches);
  EXPECT_EQ("NONE", current_entry(missing).found_signature);
  EXPECT_FALSE(current_entry(missing).signature_matches);
}

TEST_F(WorkTaskTest, ChecksumFollowsTheInstallScope) {
  make_folders(copy.path(), "Global Scenery/-global terrain-/+40-080/");
  make_folders(copy.path(), "Resources/");
  write_file(copy.path() + "Global Scenery/-global terrain-/+40-080/+45-075.dsf", "abc");
  write_file(copy.path() + "Resources/abc.txt", "abc");
  int tile = add_group("Zephiro 9/Global Scenery/-global terrain-/+40-080/+45-075.dsf", {{kAbcMd5}});
  int base = add_group("Zephiro 9/Resources/abc.txt", {{kAbcMd5}});
  ASSERT_TRUE(current_entry(tile).is_scenery_tile);

  set_install_scope(false, true);  // add/remove scenery: tiles only
  install_path() = copy.path();
  checksum_task(0, 2, false).run();
  EXPECT_EQ(kAbcMd5, current_entry(tile).found_signature);
  EXPECT_EQ("", current_entry(base).found_signature);
}

// One task's files are hashed side by side: sizes that end their lanes at different blocks,
// one file far larger than the rest, files that cannot be read and one left out of the scope.
TEST_F(WorkTaskTest, ChecksumOfABatchIsTheSameAtEveryLaneWidth) {
  make_folders(copy.path(), "Output/");
  const size_t sizes[] = {0, 63, 64, 65, 3000, 200000, 3 * 1024 * 1024 + 1, 129, 70000};
  std::vector<std::string> expected;
  for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
    std::string path = "Output/f" + std::to_string(i) + ".bin";
    std::string bytes(sizes[i], '\0');
    for (size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<char>((k * 131 + i * 7) ^ (k >> 9));
    write_file(copy.path() + path, bytes);
    expected.emplace_back();
    ASSERT_EQ(0, md5_of_file(copy.path() + path, expected.back()));
    add_group("Zephiro 9/" + path, {{i == 4 ? expected.back() : kAbcMd5}});
  }
  int missing = add_group("Zephiro 9/Output/missing.bin", {{kAbcMd5}});
  int folder = add_group("Zephiro 9/Output", {{kAbcMd5}});
  int apple = add_group("Zephiro 9/Output/f1.bin", {{kAbcMd5, platform_apl}});
  for (int width : {1, 8, 16}) {
    md5_force_lane_width(width);
    set_found(apple, "untouched");
    checksum_task(0, apple + 1, false, copy.path()).run();
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(expected[i], current_entry(int(i)).found_signature) << "width " << width << ", file " << i;
      EXPECT_EQ(i == 4, current_entry(int(i)).signature_matches) << "width " << width << ", file " << i;
    }
    EXPECT_EQ("NONE", current_entry(missing).found_signature);
    EXPECT_EQ("NONE", current_entry(folder).found_signature);
    EXPECT_FALSE(current_entry(folder).signature_matches);
    EXPECT_EQ("untouched", current_entry(apple).found_signature);
  }
}

TEST_F(WorkTaskTest, ChecksumTasksOnAStageCoverEveryGroup) {
  const int groups = 47;
  make_folders(copy.path(), "Output/");
  for (int i = 0; i < groups; ++i) {
    std::string name = "Output/f" + std::to_string(i) + ".txt";
    if (i % 3 != 0) write_file(copy.path() + name, "abc");
    add_group("Zephiro 9/" + name, {{kAbcMd5}});
  }
  install_path() = copy.path();
  int workers = cpu_count();
  WorkQueueStage stage(workers, 4 * workers);
  int next = 0;
  while (next < groups || stage.in_flight() > 0) {
    while (next < groups && stage.has_room()) {
      int n = groups - next < 10 ? groups - next : 10;
      stage.submit(new checksum_task(next, next + n, false));
      next += n;
    }
    delete stage.wait_finished();
  }
  stage.destroy();
  for (int i = 0; i < groups; ++i)
    EXPECT_EQ(i % 3 != 0 ? kAbcMd5 : "NONE", current_entry(i).found_signature) << i;
}

}  // namespace
