#include "tests/test_util.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <archive.h>
#include <archive_entry.h>

#include "platform/child_process.h"
#include "platform/fs.h"
#include "platform/host.h"

namespace {

// Paths here are the program's: UTF-8, whatever the system's own encoding.
std::filesystem::path native(const std::string& path) { return std::filesystem::u8path(path); }

}  // namespace

TempDir::TempDir() {
  std::string base = platform::temp_folder();
  if (base.back() != '/' && base.back() != '\\') base += '/';
  static std::atomic<unsigned> made{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::string candidate = base + "zephiro_test_" + std::to_string(current_process_id()) + "_" +
                                  std::to_string(made++) + "_" + std::to_string((now + attempt) % 1000000);
    std::error_code ec;
    if (std::filesystem::create_directory(native(candidate), ec)) path_ = candidate + "/";
  }
  if (path_.empty()) throw std::runtime_error("no test folder could be made under " + base);
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore write permission first so read-only test files do not block the cleanup.
  for (auto it = std::filesystem::recursive_directory_iterator(native(path_), ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add |
                                     std::filesystem::perm_options::nofollow, ec);
  std::filesystem::remove_all(native(path_), ec);
}

std::string list_separator() { return std::string(1, platform::path_list_separator()); }

void make_folder(const std::string& path) { std::filesystem::create_directory(native(path)); }

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(native(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void copy_folder(const std::string& from, const std::string& to) {
  auto without_slash = [](std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    return path;
  };
  // Into a folder that is there already entry by entry: Windows' C++ library will not
  // copy a folder onto one.
  const std::filesystem::path source = native(without_slash(from)), target = native(without_slash(to));
  std::filesystem::create_directories(target);
  for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(source))
    std::filesystem::copy(e.path(), target / e.path().filename(), std::filesystem::copy_options::recursive);
}

std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(native(folder), ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    names.push_back(it->path().filename().u8string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string read_file(const std::string& path) {
  std::ifstream in(native(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool write_archive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members) {
  struct archive* a = archive_write_new();
  const bool seven_zip = path.size() > 3 && path.compare(path.size() - 3, 3, ".7z") == 0;
  bool whole = (seven_zip ? archive_write_set_format_7zip(a) : archive_write_set_format_zip(a)) == ARCHIVE_OK &&
               archive_write_open_filename(a, path.c_str()) == ARCHIVE_OK;
  for (const auto& m : members) {
    if (!whole) break;
    struct archive_entry* e = archive_entry_new();
    archive_entry_set_pathname(e, m.first.c_str());
    archive_entry_set_filetype(e, AE_IFREG);
    archive_entry_set_perm(e, 0644);
    archive_entry_set_size(e, static_cast<la_int64_t>(m.second.size()));
    whole = archive_write_header(a, e) == ARCHIVE_OK &&
            archive_write_data(a, m.second.data(), m.second.size()) == static_cast<la_ssize_t>(m.second.size());
    archive_entry_free(e);
  }
  whole = archive_write_close(a) == ARCHIVE_OK && whole;
  archive_write_free(a);
  return whole;
}

// The words of a command line as a POSIX shell splits them: blanks separate, quotes keep.
static std::vector<std::string> shell_words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  char quote = 0;
  for (char c : line) {
    if (quote) {
      if (c == quote) quote = 0;
      else word += c;
    } else if (c == '\'' || c == '"') {
      quote = c;
      in_word = true;
    } else if (c == ' ' || c == '\t') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

bool make_tiny_disc_set(const std::string& folder, int discs, const std::string& extra) {
  return run_disc_set_maker(folder, "--discs=" + std::to_string(discs) + " --size=tiny " + extra);
}

bool run_disc_set_maker(const std::string& folder, const std::string& options) {
  std::vector<std::string> argv = {std::string(ZEPHIRO_BINARY_DIR) + "/make_disc_set", "--out=" + folder};
  for (const std::string& word : shell_words(options)) argv.push_back(word);
  TempDir scratch;
  const int pid = start_program(argv, {}, scratch / "out.txt", scratch / "err.txt");
  const int code = wait_for_exit(pid);
  if (code != 0) std::fprintf(stderr, "make_disc_set: %s\n", read_file(scratch / "err.txt").c_str());
  return code == 0;
}

NoDisplay::NoDisplay() : display_(get_environment("DISPLAY")), wayland_(get_environment("WAYLAND_DISPLAY")) {
  unset_environment("DISPLAY");
  unset_environment("WAYLAND_DISPLAY");
}

NoDisplay::~NoDisplay() {
  if (!display_.empty()) set_environment("DISPLAY", display_);
  if (!wayland_.empty()) set_environment("WAYLAND_DISPLAY", wayland_);
}

ProgramRun::ProgramRun() {
  for (const char* sub : {"desktop", "data", "tmp"}) std::filesystem::create_directory(native(root / sub));
}

int ProgramRun::start(const std::vector<std::string>& args, const std::string& desktop, const std::string& program) {
  std::string exe = program.empty() ? std::string(ZEPHIRO_BINARY_DIR "/zephiro-installer") : program;
  // The user's folders: the freedesktop.org variables on Linux; on Windows the test's Wine
  // prefix points the Desktop and Local AppData known folders at the same variables, and
  // TMP/TEMP name the temporary folder.
  std::vector<std::string> env = {"XDG_DESKTOP_DIR=" + (desktop.empty() ? root / "desktop" : desktop),
                                  "XDG_DATA_HOME=" + root / "data", "TMPDIR=" + root / "tmp",
                                  "TMP=" + root / "tmp", "TEMP=" + root / "tmp", "GDK_SCALE"};
  for (const auto& e : environment) env.push_back(e.first + "=" + e.second);
  // The leak check of a sanitizer build cannot work under a tracer such as strace.
  if (!wrapper.empty()) env.push_back("ASAN_OPTIONS=" + get_environment("ASAN_OPTIONS") + ":detect_leaks=0");
  std::vector<std::string> argv = wrapper;
  argv.push_back(exe);
  argv.insert(argv.end(), args.begin(), args.end());
  return start_program(argv, env, root / "stdout.txt", root / "stderr.txt");
}

std::string text_lines(std::string text) {
  size_t kept = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) text[kept++] = text[i];
  text.resize(kept);
  return text;
}

std::string read_text_file(const std::string& path) {
  return posix_system() ? read_file(path) : text_lines(read_file(path));
}

RunResult ProgramRun::finish(int pid) {
  RunResult r;
  r.exit_code = wait_for_exit(pid);
  r.out = text_lines(read_file(root / "stdout.txt"));
  r.err = text_lines(read_file(root / "stderr.txt"));
  return r;
}

void ProgramRun::terminate(int pid) { request_end(pid); }

void ProgramRun::kill_at_once(int pid) { end_at_once(pid); }

RunResult ProgramRun::run(const std::vector<std::string>& args, const std::string& desktop) {
  return finish(start(args, desktop));
}

bool wait_for(const std::function<bool()>& ready, double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end)
    if (ready()) return true;
  return ready();
}
