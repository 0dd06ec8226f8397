#pragma once
// The command line: options "--name" or "--name=value", parsed once at start-up.

#include <map>
#include <ostream>
#include <string>

// Fills the option table from the command-line tokens (logging each); an option the usage
// text does not list ends the program with an error naming it and exit code 3. Then acts on
// "--cmnds", "--version" and "-h"/"--help", which print and end the program.
void parse_command_line(int argc, char** argv);
// Fills the table from one text split at white space, without acting on any option.
void parse_option_tokens(const std::string& text);

bool has_option(const std::string& name);
std::string option_value(const std::string& name);
const std::map<std::string, std::string>& option_table();
void reset_options();

// Prints what "--cmnds", "--version" or "-h"/"--help" ask for; true when one was given
// (the program then ends).
bool run_printing_options(std::ostream& out);

// The usage text printed by --help: the installer's own options first, then those it
// shares with the simulator, naming the program as it was run.
std::string usage_text();
// The program's file name as it was run (argv[0]); "zephiro-installer" before the command
// line is read.
const std::string& program_name();

// Whether `name` is an option the usage text lists: the installer's own, or one of the
// simulator's, which the installer accepts and ignores ("--pref:" and "--dref:" begin
// families). Parse Command Line ends a run that names any other with exit code 3.
bool is_known_option(const std::string& name);
// The listed option whose spelling is nearest to `name`.
std::string nearest_known_option(const std::string& name);
