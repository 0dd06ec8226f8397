#include "platform/system_info.h"

#include <elf.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
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

namespace {

// "2.31" > "2.4": versions compare number by number.
std::vector<unsigned long> version_numbers(const std::string& text) {
  std::vector<unsigned long> numbers;
  for (const char* p = text.c_str(); *p;) {
    char* end = nullptr;
    numbers.push_back(std::strtoul(p, &end, 10));
    p = *end == '.' ? end + 1 : end + std::strlen(end);
  }
  return numbers;
}

template <typename T>
bool read_at(const std::string& file, uint64_t offset, T& out) {
  if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
  std::memcpy(&out, file.data() + offset, sizeof(T));
  return true;
}

}  // namespace

std::string needed_glibc_version(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string file = bytes.str();
  Elf64_Ehdr header;
  if (!read_at(file, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr))
    return "";
  std::string newest;
  for (int s = 0; s < header.e_shnum; ++s) {
    Elf64_Shdr section, strings;
    if (!read_at(file, header.e_shoff + uint64_t(s) * sizeof(Elf64_Shdr), section)) return "";
    if (section.sh_type != SHT_GNU_verneed) continue;
    if (!read_at(file, header.e_shoff + uint64_t(section.sh_link) * sizeof(Elf64_Shdr), strings)) return "";
    auto text_at = [&](uint64_t name) {
      if (name >= strings.sh_size || strings.sh_offset + name >= file.size()) return std::string();
      const char* start = file.data() + strings.sh_offset + name;
      return std::string(start, strnlen(start, file.size() - (strings.sh_offset + name)));
    };
    // Each library's entry lists the versions wanted from it; glibc's are "GLIBC_x.y".
    uint64_t need_at = section.sh_offset;
    for (uint64_t n = 0; n < section.sh_info; ++n) {
      Elf64_Verneed need;
      if (!read_at(file, need_at, need)) return "";
      uint64_t aux_at = need_at + need.vn_aux;
      for (int a = 0; a < need.vn_cnt; ++a) {
        Elf64_Vernaux aux;
        if (!read_at(file, aux_at, aux)) return "";
        const std::string name = text_at(aux.vna_name);
        if (name.rfind("GLIBC_", 0) == 0 && name.size() > 6 && std::isdigit(static_cast<unsigned char>(name[6])) &&
            (newest.empty() || version_numbers(name.substr(6)) > version_numbers(newest)))
          newest = name.substr(6);
        if (aux.vna_next == 0) break;
        aux_at += aux.vna_next;
      }
      if (need.vn_next == 0) break;
      need_at += need.vn_next;
    }
  }
  return newest;
}
