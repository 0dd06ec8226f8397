#pragma once
// Installing, changing scenery, repairing and verifying without a window, for
// administrators and scripts: --install=DIR, --modify=DIR, --repair=DIR, --verify=DIR.

// Exit codes of a command-line run.
enum CommandLineExit {
  cli_ok = 0,            // done without errors (verify: every wanted file is current)
  cli_failed_files = 2,  // finished, but some files failed (verify: some missing or damaged)
  cli_not_started = 3,   // could not start, or was cancelled
};

// Whether the command line asks for one of these runs.
bool is_command_line_mode();
// Runs it on the discs in the drives and returns the exit code.
int run_command_line_mode();
