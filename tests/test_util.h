#pragma once
// Helpers shared by the tests.

#include <functional>
#include <string>
#include <utility>
#include <vector>

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
// path() ends with '/'.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// A tmpfs of `size` (such as "64k") mounted on a fresh folder while it lives, so that a test
// can put files on another filesystem than its own, or fill a disk. Mounting needs root (CI runs as root); without it, problem()
// says why there is no mount and the test is skipped.
class TmpfsMount {
 public:
  explicit TmpfsMount(const std::string& size = "64m");
  ~TmpfsMount();
  const std::string& problem() const { return problem_; }
  const std::string& path() const { return folder_.path(); }  // ends with '/'
  std::string operator/(const std::string& name) const { return folder_ / name; }

 private:
  TempDir folder_;
  std::string problem_;
};

// Unsets DISPLAY and WAYLAND_DISPLAY while it lives: the native message box of an alert
// would otherwise wait for a user on the desktop the tests run on.
class NoDisplay {
 public:
  NoDisplay();
  ~NoDisplay();

 private:
  std::string display_, wayland_;
};

// Sets the X resource Xft.dpi on the display in DISPLAY, as a desktop does. False without
// a display.
bool set_xft_dpi(const std::string& value);

// What separates the drives of --dvd_drives (and the folders of PATH): ':', or ';' on Windows.
std::string list_separator();

// A folder at `path` (its parent must exist).
void make_folder(const std::string& path);

// What a POSIX system has and Windows lacks: FIFOs and device files, symbolic links any user
// can make, signals, file modes that bind root, a file size limit. A test built on them
// starts with  if (!posix_system()) GTEST_SKIP() << "Windows has no ...";
bool posix_system();
// Drops root's rights for the rest of the process, as the user "nobody" (a forked child's
// use): true when the process is not root or became nobody.
bool run_as_nobody();
// Limits the size of every file the process writes from now on, as a full disk cuts
// writes short; false where the system has no such limit.
bool limit_file_size(unsigned long bytes);
// Sends a POSIX signal to a process; nothing on Windows, which has none to send.
void send_signal(int pid, int signal);
// A FIFO at `path`; 0 or the system's error (always an error on Windows).
int make_fifo(const std::string& path);

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);  // empty when missing
// Copies what the folder `from` holds into the folder `to` (made when missing), either named
// with or without a final '/' (Windows' C library finds no folder by a name that ends in one).
void copy_folder(const std::string& from, const std::string& to);
// The names in a folder, sorted; none for a missing folder.
std::vector<std::string> names_in(const std::string& folder);

// An archive at `path`, a zip (or a 7z when the name ends ".7z") holding the members given
// (their names inside, kept as given, and their bytes), written through libarchive. True
// when it was written whole.
bool write_archive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members);

// Builds a tiny disc set with tools/make_disc_set into `folder` (discN/ beneath it).
// `extra` is added to the maker's command line as it stands. True when the maker succeeded.
bool make_tiny_disc_set(const std::string& folder, int discs, const std::string& extra = "");
// The same with the maker's options given whole (quoted as a POSIX shell would quote them).
bool run_disc_set_maker(const std::string& folder, const std::string& options);

// A second process that runs `work`, tells the caller it is done, then waits to be killed,
// as a run of the program does while it holds its files. Returns its process id, or -1.
int hold_in_child(const std::function<void()>& work);
// Ends such a process with SIGKILL and waits for it.
void kill_child(int pid);

// Polls until `ready` holds or `seconds` pass; true when it held.
bool wait_for(const std::function<bool()>& ready, double seconds);


// `text` with each "\r\n" read as "\n", as a text-mode reader on Windows takes it.
std::string text_lines(std::string text);
// A file the program writes in text mode, as such a reader takes it: on Windows its "\r\n"
// read as "\n"; on a POSIX system its bytes as they are (a stray '\r' there is a fault).
std::string read_text_file(const std::string& path);

struct RunResult {
  int exit_code = -1;  // -1 when the program did not exit normally
  std::string out, err;
};

// The real program with its desktop, data and temporary folders in a fresh folder, so a
// run never touches the user's own files. Standard input is empty.
struct ProgramRun {
  TempDir root;
  // Set in the program's environment. GDK_SCALE is unset unless given here, so the
  // desktop the tests run on does not scale the program's window.
  std::vector<std::pair<std::string, std::string>> environment;
  // A program the run is started under, with its arguments (strace, to end the run at a
  // chosen system call); the program and its arguments follow them.
  std::vector<std::string> wrapper;
  ProgramRun();
  // The log, and below the output of a run, as text: Windows' line ends read as '\n'.
  std::string log() const { return text_lines(read_file(root / "desktop/Zephiro Installer Log.txt")); }
  // The preferences are a text file, written with the system's own line ends.
  std::string prefs() const { return read_text_file(root / "data/Zephiro Installer.prf"); }
  RunResult run(const std::vector<std::string>& args, const std::string& desktop = "");
  // The same in the background: start() returns the process id (or -1), finish() waits for
  // it and collects the result, terminate() sends it SIGTERM.
  int start(const std::vector<std::string>& args, const std::string& desktop = "",
            const std::string& program = "");
  RunResult finish(int pid);
  void terminate(int pid);
  // Ends the run at once, as a power cut or `kill -9` does.
  void kill_at_once(int pid);
};
