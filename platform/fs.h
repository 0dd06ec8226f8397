#pragma once
// The operating system's file-system, environment and process calls, for io/file_ops.
// Paths are absolute UTF-8 paths as the kernel takes them; codes are errno values.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

struct DirEntry {
  std::string name;
  bool is_folder = false;  // follows symbolic links
};

// Entries of a folder (without "." and ".."); false when it cannot be opened.
bool read_dir(const std::string& path, std::vector<DirEntry>& entries);
bool is_symlink(const std::string& path);
// Whether anything has this name: a file, a folder, a FIFO, a link even when it leads nowhere.
bool path_exists(const std::string& path);
bool is_regular_file(const std::string& path);
bool is_executable_file(const std::string& path);

// What a path names, following symbolic links. A FIFO, a device or a socket is `other`:
// opening one to read may block or never end, so readers of files leave them alone.
enum class PathKind { missing, regular, folder, other };
PathKind path_kind(const std::string& path);
// Size in bytes of what the path names (following links); 0 with an errno value on failure.
int file_size(const std::string& path, uint64_t* size);
// The device and inode of what the path names: equal for two paths that reach the same
// file or folder (a mount point and a link to it, or one filesystem mounted twice).
int file_identity(const std::string& path, uint64_t* device, uint64_t* inode);

// Opens a regular file for reading without ever blocking on a FIFO or a device.
// 0 with the descriptor, else an errno value (EISDIR for a folder, EINVAL for any other
// kind of file). The caller closes it with close_file().
int open_regular_file(const std::string& path, int* fd);
// Reads up to `size` bytes; the count read in `got`. 0 or an errno value.
int read_file_bytes(int fd, char* buffer, uint64_t size, uint64_t* got);
// The same from a given offset, leaving the descriptor's position alone (several readers
// may share it). Fewer bytes than asked only at the end of the file.
int read_file_bytes_at(int fd, uint64_t offset, char* buffer, uint64_t size, uint64_t* got);
void close_file(int fd);

// Advisory locks that end with the process, however it ends: a live run holds them, so
// another run can tell its files from those of a run that was killed.
// Takes the lock on an open file or folder and checks that it still has a name (a cleaner
// may have removed it just before): 0, ENOENT when it was removed, or an errno value.
int lock_held_file(int fd);
// Takes the lock of a file or folder (never through a link) without waiting: 0 with the
// descriptor that holds it (close_file() releases it), EWOULDBLOCK while a live process
// holds it, or another errno value.
int try_lock_path(const std::string& path, int* fd);
// Opens a folder so that it can be locked (close with close_file()). 0 or an errno value.
int open_folder(const std::string& path, int* fd);
int process_id();
// Whether a process with this id is running (of any user).
bool process_alive(int pid);
// Makes the system write what it holds of a file, or of a folder's entries, to the disk.
// 0 or an errno value.
int sync_to_disk(const std::string& path);

// Creates a new file for writing; fails (EEXIST) when anything, a link too, has the name.
int create_new_file(const std::string& path, int* fd);
int write_file_bytes(int fd, const void* data, uint64_t size);
// Closes a file that was written: 0, or the error a delayed write reported.
int close_written_file(int fd);
int rename_path(const std::string& from, const std::string& to);
// Opens a file for appending, created when missing; never waits for a FIFO's reader
// (ENXIO instead). 0 with the descriptor, or an errno value.
int open_for_append(const std::string& path, int* fd);

int make_dir(const std::string& path);
int remove_file(const std::string& path);
int remove_dir(const std::string& path);
int add_owner_write(const std::string& path);
// Copies contents and permissions, replacing an existing target.
int copy_file(const std::string& source, const std::string& target);
int fs_space(const std::string& path, uint64_t* total_bytes, uint64_t* free_bytes);

// Opens a file through the C library's stdio, with fopen's modes. The path is UTF-8 on every
// system: on Windows it goes through the wide-character call, since the narrow one reads
// it in the ANSI code page. Null with errno set when it cannot be opened.
std::FILE* open_stdio_file(const std::string& path, const char* mode);
// The program's parameters (argv[1] on) as UTF-8. Windows gives main them in the ANSI code
// page, so there they are read again from the wide command line.
std::vector<std::string> program_parameters(int argc, char** argv);

// Absolute path of the running program file; empty when it cannot be read.
std::string program_file_path();
std::string env(const char* name);  // empty when unset
std::string home_folder();          // without trailing '/'
// The user's data folder of the freedesktop.org base directories, where desktops look for
// menu entries and icons: $XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share. Without trailing '/'.
std::string desktop_data_folder();
std::string current_folder();       // the working folder, ending '/'
// The user's folders as the desktop names them, without trailing separator.
std::string desktop_folder();
std::string temp_folder();
std::string local_data_folder();  // where a program keeps the user's settings

// Starts an executable as a detached process, parameters split at blanks.
// 0 when it was started, else an errno value.
int start_detached(const std::string& file, const std::vector<std::string>& args);
// Whether a program can be found on the PATH.
bool find_program(const std::string& name);
// Opens a document or folder with the application the desktop associates with it.
// 0 when it was started, no_associated_program, or an errno value.
constexpr int no_associated_program = -1;
int open_with_desktop(const std::string& path);

// The system's message for an errno value, or empty when it has none.
std::string system_error_text(int code);

}  // namespace platform
