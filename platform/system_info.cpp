#include "platform/system_info.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

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
