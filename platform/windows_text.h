#pragma once
// What the Windows files of platform/ share: the program's UTF-8 paths as the system's
// wide-character paths, and the system's error numbers as the errno values the rest of
// the program knows. Only *_win.cpp files include this.

#include <string>

namespace platform {

// UTF-8 to UTF-16, with every '/' turned into the system's '\'.
std::wstring wide_path(const std::string& path);
std::wstring wide_text(const std::string& text);
std::string utf8_text(const wchar_t* text);
// GetLastError()'s value as an errno value (EIO when none fits).
int errno_from_system(unsigned long error);
int last_system_errno();

}  // namespace platform
