#pragma once
// The program's start-up sequence and its shutdown.

// Runs the whole program and returns its exit code.
int run_installer(int argc, char** argv);

// Everything before the main loop: folders, log and header, command line (which may end
// the program), folder lines, Target Platform, preferences.
void start_up(int argc, char** argv);

// Saves the preferences when asked (never under "--fps_test" or "--qa_script"), then
// flushes and closes the log.
void shut_down(bool save_preferences);

// The host's platform, or the one "--os" names exactly (ALL, APL, IBM, LIN).
int target_platform_from_options();

// The five "os_dir_..." lines of the log.
void log_folder_lines();
