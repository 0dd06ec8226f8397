#include "engine/work_tasks.h"

#include "core/log.h"
#include "core/preferences.h"
#include "core/user_text.h"
#include "engine/install_scope.h"
#include "engine/manifest.h"
#include "io/archive.h"
#include "engine/dvd_discovery.h"
#include "io/disc_drive.h"
#include "io/file_ops.h"
#include "io/md5_lanes.h"

// ---------------------------------------------------------------- dvd_unpack_task

namespace {

const char kCopyFailed[] = "I was unable to copy the file %1:file% from the DVD to the hard drive.";
const char kUnzipFailed[] = "I was unable to unzip the file %1:file% to the folder %2:folder%.";

// The signature as it may stand in a file name: a damaged manifest could hold separators
// or ".." there, which must not steer the copy out of the temporary folder.
std::string signature_for_file_name(const std::string& signature) {
  std::string out;
  for (char c : signature)
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) out += c;
  return out;
}

}  // namespace

dvd_unpack_task::dvd_unpack_task(int group, const std::string& temp_folder)
    : dvd_unpack_task(group, temp_folder, dvd_archive_folder(), install_path()) {}

dvd_unpack_task::dvd_unpack_task(int group, const std::string& temp_folder,
                                 const std::string& archive_folder, const std::string& install_folder)
    : group_(group), archive_folder_(archive_folder) {
  const ManifestEntry& entry = current_entry(group);
  std::string suffix = archive_suffix(group);
  source_ = archive_folder + entry.path + suffix;
  temp_copy_ = temp_folder + signature_for_file_name(entry.expected_signature) + "_" + std::to_string(group) + suffix;
  destination_ = install_location(install_folder, entry);
}

dvd_unpack_task::~dvd_unpack_task() {
  if (!prefs().log_actions) return;
  LogLine line;
  line << "EXPANDING file " << destination_ << ", with result=" << result_ << ".";
  if (disc_went_away_)
    line << " The disc left its drive: the archive is copied again once the disc is back.";
  else if (result_ != 0)
    line << " " << failure_text(substitute_parameters);
  line << "\n";
}

void dvd_unpack_task::run() {
  if (phase_ == 0)
    copy_from_disc();
  else if (result_ == 0)
    extract();
}

void dvd_unpack_task::copy_from_disc() {
  phase_ = 1;
  // From a disc image too: the archive comes out whole and is then checked as any other.
  result_ = copy_drive_file(source_, temp_copy_);
  if (result_ == 0) return;
  failed_step_ = step_copy;
  // What a failed copy left behind is never extracted; it need not fill the temporary folder.
  delete_file_or_empty_folder(temp_copy_);
  // An archive missing from a disc that is there is a damaged disc; a disc whose archive
  // folder is gone altogether has left its drive.
  disc_went_away_ = !folder_exists(archive_folder_);
}

// The folder the destination lies in, ending '/'.
static std::string destination_folder(const std::string& destination) {
  if (destination.size() <= 3) return destination;
  size_t slash = destination.rfind('/');
  return slash == std::string::npos ? destination : destination.substr(0, slash + 1);
}

void dvd_unpack_task::extract() {
  clear_read_only(destination_);
  clear_read_only(temp_copy_);
  ManifestEntry& entry = current_entry(group_);
  // Only the file the group installs is taken from the archive, and only when its bytes
  // have the signature the manifest expects.
  result_ = extract_installed_file(temp_copy_, destination_, entry.expected_signature);
  if (result_ != 0) {
    failed_step_ = step_unzip;
    return;
  }
  delete_file_or_empty_folder(temp_copy_);
  entry.found_signature = entry.expected_signature;
  entry.signature_matches = true;
}

// The task's results are taken on the main thread, where the user's language is at hand;
// the log keeps the English.
int dvd_unpack_task::result(std::string& message) {
  message = result_ != 0 ? failure_text(user_text) : std::string();
  return result_;
}

std::string dvd_unpack_task::failure_text(
    std::string (*words)(const std::string&, const std::string&, const std::string&)) const {
  if (failed_step_ == step_copy) return words(kCopyFailed, source_, "");
  if (failed_step_ == step_unzip) return words(kUnzipFailed, temp_copy_, destination_folder(destination_));
  return std::string();
}

// ---------------------------------------------------------------- checksum_task

const char kNotAFileSignature[] = "NOT A FILE";

checksum_task::checksum_task(int first, int end, bool quick)
    : checksum_task(first, end, quick, install_path()) {}

checksum_task::checksum_task(int first, int end, bool quick, const std::string& install_folder)
    : first_(first), end_(end), quick_(quick), install_folder_(install_folder) {}

void checksum_task::run() {
  int end = end_ < manifest_group_count() ? end_ : manifest_group_count();
  std::vector<ManifestEntry*> wanted;
  std::vector<ManifestEntry*> to_read;
  std::vector<std::string> paths;
  for (int g = first_ < 0 ? 0 : first_; g < end; ++g) {
    int last = manifest_entry_count(g) - 1;
    if (last < 0 || !is_entry_wanted(g, last)) continue;
    ManifestEntry& entry = manifest_entry(g, last);
    wanted.push_back(&entry);
    std::string path = install_location(install_folder_, entry);
    entry.found_signature = "NONE";
    if (is_special_file(path)) {
      entry.found_signature = kNotAFileSignature;  // there, but never the right file
    } else if (!quick_) {
      to_read.push_back(&entry);
      paths.push_back(path);
    } else if (file_exists(path)) {
      entry.found_signature = entry.expected_signature;
    }
  }
  // The files of the batch are hashed side by side; one that cannot be read stays "NONE".
  std::vector<Md5Result> results = md5_of_files(paths);
  for (size_t i = 0; i < results.size(); ++i)
    if (results[i].code == 0) to_read[i]->found_signature = results[i].signature;
  for (ManifestEntry* entry : wanted) entry->signature_matches = entry->found_signature == entry->expected_signature;
}

int checksum_task::result(std::string& message) {
  message.clear();
  return 0;
}
