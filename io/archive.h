#pragma once
// Extraction of the zip and 7z archives that carry the installed files.
// Codes: 0 success, 12 out of memory, errno values, minizip codes (negative),
// 20001 (cannot open the archive), 20002 (short read or damaged data), 20004 (short write),
// 22 (a member named absolute or with "..": nothing of the archive is written outside the
// out folder), 20015 (a 7z archive's data is corrupt), 20013 and 20014 (below).
// Each member is written as a partial file in its folder and renamed over its final name
// when complete; it keeps the execute permission its archive records. Folders of the out
// folder that are links the user made are written through, like any folder.

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

// Puts one installed file in place from its archive (".7z" by its name, else zip): only the
// member that lands at `destination` is written, and only when the MD5 of its bytes, taken
// as they are written, equals `signature`; otherwise 20013 (damaged archive) and nothing is
// left under the destination's name. 20014 when the archive holds no such member (it is
// empty, or holds the file under another name). Other members are skipped.
int extract_installed_file(const std::string& archive, const std::string& destination, const std::string& signature);

// Zip members up to this size are inflated in one piece, larger ones block by block
// (64 MB; tests lower it to reach the block-by-block path with small archives).
void set_whole_member_limit(uint64_t bytes);
void reset_archive_state();
