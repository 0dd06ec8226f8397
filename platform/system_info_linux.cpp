#include "platform/system_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

SystemFacts read_system_facts() {
  SystemFacts facts;
  struct utsname names;
  if (uname(&names) == 0) {
    facts.os_name = names.sysname;
    facts.os_release = names.release;
    facts.os_version = names.version;
    facts.machine = names.machine;
  }
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && page_size > 0)
    facts.physical_memory = static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
  return facts;
}

int processor_count() {
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

static std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

std::vector<ProcessorFacts> parse_cpuinfo(const std::string& text) {
  std::vector<ProcessorFacts> result;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string key = trim(line.substr(0, colon));
    std::string value = trim(line.substr(colon + 1));
    if (key == "processor") {
      ProcessorFacts p;
      p.index = std::atoi(value.c_str());
      result.push_back(p);
    } else if (result.empty()) {
      continue;  // fields before the first processor entry belong to none
    } else if (key == "model name") {
      result.back().model_name = value;
    } else if (key == "cpu MHz" && !value.empty()) {
      result.back().has_mhz = true;
      result.back().mhz = static_cast<int>(std::lround(std::atof(value.c_str())));
    }
  }
  return result;
}

std::vector<ProcessorFacts> read_processor_facts() {
  std::ifstream in("/proc/cpuinfo");
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return parse_cpuinfo(text.str());
}
