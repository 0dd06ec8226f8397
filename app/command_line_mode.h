#pragma once
// Installing, changing scenery, repairing and verifying without a window, for
// administrators and scripts: --install=DIR, --modify=DIR, --repair=DIR, --verify=DIR,
// --uninstall=DIR.

// Exit codes of a command-line run.
enum CommandLineExit {
  cli_ok = 0,            // done without errors (verify: every wanted file is current)
  cli_failed_files = 2,  // finished, but some files failed or the copy could not be registered
                         // (verify: some missing or damaged, or unfinished work in the copy)
  cli_not_started = 3,   // could not start, was cancelled, or a fatal alert ended it
  cli_signalled = 128,   // stopped by a signal: 128 + its number (130 SIGINT, 143 SIGTERM)
};

// Whether the command line asks for one of these runs.
bool is_command_line_mode();
// The same from the raw arguments, before the option table exists.
bool asks_for_command_line_mode(int argc, char** argv);
// Made ready before anything else can raise an alert: alerts print and a fatal one ends the
// process with exit code 3; SIGINT and SIGTERM stop the work in order.
void prepare_command_line_mode();
// Runs it on the discs in the drives and returns the exit code.
int run_command_line_mode();
