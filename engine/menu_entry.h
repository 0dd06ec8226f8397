#pragma once
// A menu entry for each installed copy, the way freedesktop.org desktops list programs: a
// desktop entry file in the user's applications folder that starts the copy's simulator
// in its folder, and the program's icon in the user's hicolor icon theme. The entry's
// file name is made from the copy's path, so each copy has its own and two copies are
// told apart by their folder names.

#include <string>

// The entry's file for a copy (install path ending '/'); empty when the user's data folder
// is unknown.
std::string menu_entry_path(const std::string& install_path);
// Where the icon is installed.
std::string menu_icon_path();

// The entry's text for a copy. Its Exec line is the copy's Zephiro, quoted; where the path
// holds a '%', `env` starts it (see the text).
std::string menu_entry_text(const std::string& install_path);
// One argument of an Exec line, quoted so that spaces, quotes, '$', '`', '%' and
// backslashes reach the program unchanged (before the file's own escapes).
std::string quote_exec_argument(const std::string& argument);
// A value written with the escapes of the file's string values (\\, \n, \t, \r, and \s
// for a leading space).
std::string escape_entry_value(const std::string& value);

// Writes the icon and the entry (replacing an older one). 0 or an error code; EINVAL for a
// path that is not UTF-8, which an entry cannot hold.
int write_menu_entry(const std::string& install_path);
bool has_menu_entry(const std::string& install_path);
// Removes the copy's entry; the icon goes with the last entry. 0 (also when there was
// none) or an error code.
int remove_menu_entry(const std::string& install_path);

// Gives a copy its entry when it has none, unless --no_menu_entry asks to leave entries
// out (an administrator installing for others). A failure is logged: the copy works
// without its entry.
void give_menu_entry(const std::string& install_path);
