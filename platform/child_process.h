#pragma once
// Child processes: the system's file dialogs run as helper programs, and tests start
// a virtual display server.

#include <string>
#include <vector>

// Full path of a program found on the search path (`search_path` in the PATH format;
// empty means the process's PATH), or "" when there is none.
std::string find_program(const std::string& name, const std::string& search_path = "");

// A program running in the background whose standard output is collected while the
// caller goes on with its own work (the file dialogs, while the window keeps drawing).
struct CapturedChild {
  int pid = -1;
  int fd = -1;  // read end of its standard output
  std::string output;
};
// Starts argv[0] (a path) with its arguments; 0, or an errno value.
int start_captured(const std::vector<std::string>& argv, CapturedChild& child);
// Takes what the child has written so far without waiting. True once it has ended
// (`exit_status` then holds its exit code, -1 when a signal ended it).
bool poll_captured(CapturedChild& child, int& exit_status);
// Ends a child that is no longer wanted and waits for it.
void stop_captured(CapturedChild& child);

// Starts argv[0] in the background with its output discarded. Returns the process id,
// or -1.
int start_process(const std::vector<std::string>& argv);
// Ends a process started by start_process and waits for it.
void stop_process(int pid);
// Whether the process started by start_process is still running.
bool process_running(int pid);

// A program run with an environment of its own, as the tests run the real program:
// `environment` holds NAME=VALUE entries set for the child on top of the caller's (a bare
// NAME removes it), standard input is empty, and its output and errors go to the files
// named, made anew. argv[0] is looked up on PATH when it holds no folder (and on Windows
// may leave out its ".exe"). Returns the
// process id, or -1.
int start_program(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                  const std::string& output_file, const std::string& error_file);
// Waits for a process started by start_program: its exit code, or -1 when a signal ended it.
int wait_for_exit(int pid);
// Asks a process started by start_program to end, as a session's end does: SIGTERM, or on
// Windows WM_CLOSE to its windows. False when the request could not be made.
bool request_end(int pid);
// Ends a process started by start_program at once, as `kill -9` or a power cut would.
void end_at_once(int pid);

void set_environment(const std::string& name, const std::string& value);
void unset_environment(const std::string& name);
std::string get_environment(const std::string& name);
int current_process_id();
