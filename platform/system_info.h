#pragma once
// Facts about this machine for the log header: the system, memory and processors.

#include <cstdint>
#include <string>
#include <vector>

struct SystemFacts {
  std::string os_name;     // "Linux"
  std::string os_release;  // kernel release, e.g. "6.1.0-18-amd64"
  std::string os_version;  // kernel build text
  std::string machine;     // machine type, e.g. "x86_64"
  uint64_t physical_memory = 0;  // bytes; 0 when unknown
};

struct ProcessorFacts {
  int index = -1;          // the "processor" number
  std::string model_name;  // empty when the system gives none
  bool has_mhz = false;
  int mhz = 0;
};

SystemFacts read_system_facts();
// Processors the system has online (at least 1).
int processor_count();
// The processor entries of /proc/cpuinfo (empty when it cannot be read).
std::vector<ProcessorFacts> read_processor_facts();
// Parses text in the layout of /proc/cpuinfo.
std::vector<ProcessorFacts> parse_cpuinfo(const std::string& text);

// The newest glibc version the program file `path` asks for ("2.31"), read from its ELF
// version needs: the oldest glibc the program runs on. Empty when the file cannot be read
// or needs no versioned glibc symbol.
std::string needed_glibc_version(const std::string& path = "/proc/self/exe");
