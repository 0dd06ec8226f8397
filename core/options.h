#pragma once
// The command line: options "--name" or "--name=value", parsed once at start-up.

#include <map>
#include <ostream>
#include <string>

// Fills the option table from the command-line tokens (logging each), then acts on
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

// The usage text printed by --help, followed by the options of the Linux version.
const std::string& usage_text();
