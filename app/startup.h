#pragma once
// The program's start-up sequence and its shutdown.

#include <string>

// Runs the whole program and returns its exit code.
int run_installer(int argc, char** argv);

// Everything before the main loop that needs no window: the log and its header, the
// command line (which may end the program), the thread layer, then the folder lines,
// Target Platform, preferences and the registry. The command-line mode runs on this.
void start_up(int argc, char** argv);
// The first half of start_up: program folder, log and header, command line, threads.
void start_log_and_options(int argc, char** argv);
// The second half: folder lines, temporary folder, Target Platform, preferences, registry.
void finish_start_up();
// The window and what needs it: language, window, texture workers, artwork, translation.
// A window that cannot be made ends the program through a fatal alert.
void start_graphics();

// Saves the preferences when asked (never under "--fps_test" or "--qa_script"), stops
// the threads, releases the window, then flushes and closes the log.
void shut_down(bool save_preferences);

// The host's platform, or the one "--os" names exactly (ALL, APL, IBM, LIN).
int target_platform_from_options();

// The five "os_dir_..." lines of the log.
void log_folder_lines();

// An option read straight from the command line, before the option table exists:
// "--name" or "--name=value". The last one given wins, as in the table.
bool early_option(int argc, char** argv, const std::string& name, std::string* value);

// Whether a program at `program_path` runs from the disc at `dvd_root`: the program path
// begins with the whole root, ending at a folder boundary. An empty root is no disc.
bool runs_from_disc(const std::string& program_path, const std::string& dvd_root);
// The program's file name: what follows the last '/' or '\' (a separator at the very
// end is skipped first).
std::string program_file_name(const std::string& program_path);
// The command line again as one text, for starting a copy of the program with it.
std::string command_line_text(int argc, char** argv);
// Off the disc: when the program runs from the DVD it copies itself to the temporary
// folder and starts the copy with the same command line; a started copy ends this
// process with exit code 1. Returns when there is nothing to do or the start failed.
void relocate_off_disc(int argc, char** argv);

// The Start-up Status: a panel with the message and a bar that grows by 1/100 with each
// message, shown at once. Needs the window and its artwork; without them only counts.
void show_startup_status(const std::string& message);
// The bar's share after the messages so far (0.02 at least, 1 at most).
float startup_status_fraction();
void reset_startup_status();
