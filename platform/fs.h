#pragma once
// The operating system's file-system, environment and process calls, for io/file_ops.
// Paths are absolute UTF-8 paths as the kernel takes them; codes are errno values.

#include <cstdint>
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

int make_dir(const std::string& path);
int remove_file(const std::string& path);
int remove_dir(const std::string& path);
int add_owner_write(const std::string& path);
// Copies contents and permissions, replacing an existing target.
int copy_file(const std::string& source, const std::string& target);
int fs_space(const std::string& path, uint64_t* total_bytes, uint64_t* free_bytes);

// Absolute path of the running program file; empty when it cannot be read.
std::string program_file_path();
std::string env(const char* name);  // empty when unset
std::string home_folder();          // without trailing '/'
std::string current_folder();       // the working folder, ending '/'

// Starts an executable as a detached process, parameters split at blanks.
// 0 when it was started, else an errno value.
int start_detached(const std::string& file, const std::vector<std::string>& args);
// Whether a program can be found on the PATH.
bool find_program(const std::string& name);

// The system's message for an errno value, or empty when it has none.
std::string system_error_text(int code);

}  // namespace platform
