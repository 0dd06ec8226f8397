#pragma once
// The program's log: "Zephiro Installer Log.txt" on the desktop, one for the whole run.
// Any thread may write; each LOG statement reaches the file as one piece.

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

struct SystemFacts;
struct ProcessorFacts;

// Opens (truncating) the log at `path`. A log that cannot be opened is marked failed
// and every later write is ignored.
bool log_open(const std::string& path);
// Writes the header: build line, notices, system lines, program folder.
void log_write_header(const std::string& program_folder);
void log_write(std::string_view text);
void log_flush();
void log_close();
bool log_is_open();
// The last log_open failed; writes are being dropped.
bool log_failed();
std::string log_path();

// The header text for the given machine facts (one "CPU i: " line per processor).
std::string format_log_header(const std::string& program_folder, const SystemFacts& system,
                              const std::vector<ProcessorFacts>& processors, int processor_count);

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
