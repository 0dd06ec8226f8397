#pragma once
// Extraction of the zip and 7z archives that carry the installed files.
// Codes: 0 success, 12 out of memory, errno values, minizip codes (negative),
// 20001 (cannot open the archive), 20002 (short read or damaged data), 20004 (short write),
// 22 (a member named absolute, with "..", or reaching outside the out folder: nothing of the
// archive is written outside it).
// Each member is written under a temporary name in its folder and renamed over its final
// name when complete; it keeps the execute permission its archive records.

#include <cstdint>
#include <string>

// Extracts every member of a zip archive into `out_folder` (ending '/').
// `name`, when given: with `rename` clear it receives the first member's name; with
// `rename` set the first member is written as out_folder + *name.
int zip_to_file(const std::string& archive, const std::string& out_folder, std::string* name, bool rename);

// Extracts every file member of a 7z archive into `out_folder` (ending '/'); folders
// are not created. `name` and `rename` as for zip_to_file (the name received is the
// output path).
int sevenzip_to_folder(const std::string& archive, const std::string& out_folder, std::string* name, bool rename);

// Zip members up to this size are inflated in one piece, larger ones block by block
// (64 MB; tests lower it to reach the block-by-block path with small archives).
void set_whole_member_limit(uint64_t bytes);
void reset_archive_state();
