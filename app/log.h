#pragma once
// The program's log: "Zephiro Installer Log.txt" on the desktop, one for the whole run.
// Any thread may write; each LOG statement reaches the file as one piece.

#include <sstream>
#include <string>
#include <string_view>

// Opens (truncating) the log at `path`. A log that cannot be opened is marked failed
// and every later write is ignored.
bool log_open(const std::string& path);
// Writes the header: build line, notices, system lines, program folder.
void log_write_header(const std::string& program_folder);
void log_write(std::string_view text);
void log_flush();
void log_close();
bool log_is_open();
std::string log_path();

// Tests may capture what is logged.
void log_set_capture(std::string* sink);  // null stops capturing

class LogLine {
 public:
  ~LogLine() { log_write(text_.str()); }
  template <class T>
  LogLine& operator<<(const T& v) {
    text_ << v;
    return *this;
  }

 private:
  std::ostringstream text_;
};

#define LOG LogLine()
