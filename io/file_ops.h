#pragma once
// Every access of the program to the file system and the shell.
// Paths are UTF-8 with '/' separators; a folder path ends with '/'.
// Operations return 0 on success, else an error code (errno values on Linux,
// or the program's own codes below), which error_message_for_code() explains.

#include <cstdint>
#include <string>
#include <vector>

enum ProgramErrorCode {
  err_zip_open = 20001,
  err_zip_read = 20002,
  err_zip_create = 20003,
  err_zip_write = 20004,
  err_zip_fork_too_big = 20005,
  err_open_for_read = 20006,
  err_net_reconnect = 20007,
  err_net_bad_state = 20008,
  err_net_alloc = 20009,
  err_net_write = 20010,
  err_net_no_server = 20011,
  err_zip_bad_fork = 20012,
  // An archive whose file, as written, does not have the signature the manifest expects.
  err_archive_damaged = 20013,
  // An archive that does not hold the file it is there to install (empty, or another name).
  err_archive_member_missing = 20014,
  // A 7z archive whose data fails its check or cannot be decoded.
  err_archive_corrupt = 20015,
};

enum SpecialFolderCode {
  folder_program = 0,
  folder_program_file = 1,
  folder_desktop = 2,
  folder_default_apps = 3,
  folder_temp = 4,
  folder_prefs = 5,
  // Where the desktop looks for the user's menu entries and icons.
  folder_desktop_data = 6,
};

// Paths
// For paths from a manifest, a registry written on Windows or the screen: text that is not
// UTF-8 is read as Latin-1, and '\' and ':' become '/' (after a drive prefix). Folders the
// system gives (special_folder) are never passed through it.
void normalise_path(std::string& path);
// Whether every byte from 0x80 up leads a complete UTF-8 sequence.
bool is_well_formed_utf8(const std::string& text);
bool is_absolute_path(const std::string& path);
void make_absolute(std::string& path);
std::string special_folder(int code);
// The folder relative paths are taken against (Special Folder 0); set once at start-up.
void set_program_folder(const std::string& folder);
const std::string& program_folder();

// Folders and files
// Whether something other than a folder is at the path (a FIFO or device too; nothing is
// opened, so such a file cannot block the caller).
bool file_exists(const std::string& path);
// Whether the path (with or without trailing '/') names a folder, or a link to one. The
// folder itself is asked, so a name beginning with "." is found like any other.
bool folder_exists(const std::string& path);
// The size in bytes of a regular file (following links). 0, or an error code (EINVAL for
// something that is not a regular file).
int regular_file_size(const std::string& path, uint64_t* size);
// Whether the path names a FIFO, a device or a socket (following links).
bool is_special_file(const std::string& path);
// Whether anything at all has this name (a trailing '/' is ignored): a file, a folder
// (also one whose name begins with "."), a FIFO, a link even when it leads nowhere.
bool path_exists(const std::string& path);
// Whether the path (without trailing '/') is itself a symbolic link.
bool is_symbolic_link(const std::string& path);
// Lists a folder (path ending '/'): names and is-folder flags, sorted case-insensitively,
// dot-entries dropped. Names are the system's bytes unchanged, so each one names its
// entry. Returns the count.
int list_folder(const std::string& folder, std::vector<std::string>& names, std::vector<int>& is_folder);
int create_folder(const std::string& path);
// Whether a folder-creation code means the folder is there: 0, or it existed already
// (17 here, 183 where the Windows code is passed through). Callers treat it as success.
bool is_benign_folder_error(int code);
int delete_file_or_empty_folder(const std::string& path);
int delete_folder_tree(const std::string& folder);
int clear_read_only(const std::string& path);
int copy_file(const std::string& source, const std::string& target);
int copy_tree(const std::string& source, const std::string& target);
// Appends bytes to a file, created when missing, in one write; never blocks on a FIFO.
// 0, or the error code of the open, the write or the close (a full disk shows at either).
int append_to_file(const std::string& path, const std::string& bytes);
int disk_space(const std::string& path, uint64_t* total_bytes, uint64_t* free_bytes);
// Whether two paths lie on one filesystem. A path that does not exist yet counts as its
// nearest existing parent's; true when either cannot be asked.
bool on_same_filesystem(const std::string& a, const std::string& b);
int eject_disc(const std::string& path);
// Starts `file` (a program directly, anything else through the desktop's opener).
// On success the process ends with exit code 1 (after the orderly shutdown when asked);
// on failure the shell's result (32 or less) is returned.
int open_and_quit(const std::string& file, const std::string& parameters, bool orderly);
// Starts `program` itself, never through the opener, the same way. On failure the system's
// reason is returned as an errno value (a missing file, one that may not be run).
int start_program_and_quit(const std::string& program, const std::string& parameters, bool orderly);
// Parameters are split at blanks; double quotes keep blanks in one parameter, and inside
// them a backslash takes the next quote or backslash literally. quote_parameter() writes
// one parameter so that it comes back whole.
std::vector<std::string> split_parameters(const std::string& parameters);
std::string quote_parameter(const std::string& parameter);
// The text for any code: the program's own codes and the zip library's (negative) codes
// have their own texts; an errno value gets the system's text (with a hint for a full disk
// or missing access); anything else reads "Error code N".
std::string error_message_for_code(int code);
