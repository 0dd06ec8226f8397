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

std::vector<ProcessorFacts> read_processor_facts() {
  std::ifstream in("/proc/cpuinfo");
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return parse_cpuinfo(text.str());
}
