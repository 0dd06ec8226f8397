#pragma once
// What this build of the program is for: the discs' files it installs by default and the
// simulator program it starts.

#include <string>

namespace platform {

// The Target Platform code of this system's files (2 Windows, 3 Linux).
int host_target_platform();
// The simulator's program file inside a copy.
const char* simulator_file_name();
// The user's language setting as the system gives it ("fr_FR.UTF-8", "fr-FR", "C"), or
// empty when there is none.
std::string user_language_setting();
// What separates the folders of a list such as PATH (':' or ';').
char path_list_separator();
// A path as the user or the system wrote it, in the program's form: folders separated by
// '/', a drive prefix keeping its "X:\\".
std::string program_path_of(const std::string& path);
// Whether a desktop is there to show a message box on.
bool has_desktop();
// The window system drivers that reach the user's desktop, in SDL_VIDEODRIVER's format.
std::string desktop_video_drivers();

}  // namespace platform
