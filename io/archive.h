#pragma once
// Extraction of the zip and 7z archives that carry the installed files.
// Codes: 0 success, 12 out of memory, errno values, minizip codes (negative),
// 20001 (cannot open the archive), 20002 (short read), 20004 (short write).

#include <string>

// Extracts every member of a zip archive into `out_folder` (ending '/').
// `name`, when given: with `rename` clear it receives the first member's name; with
// `rename` set the first member is written as out_folder + *name.
int zip_to_file(const std::string& archive, const std::string& out_folder, std::string* name, bool rename);

// Extracts every file member of a 7z archive into `out_folder` (ending '/'); folders
// are not created. `name` and `rename` as for zip_to_file (the name received is the
// output path).
int sevenzip_to_folder(const std::string& archive, const std::string& out_folder, std::string* name, bool rename);
