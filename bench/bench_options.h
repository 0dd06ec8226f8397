#pragma once
// The benchmarks' options: "--key=value", or "--key" alone meaning "1".

#include <string>

inline std::string bench_option(int argc, char** argv, const std::string& key, const std::string& fallback) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == key) return "1";
    if (arg.compare(0, key.size() + 1, key + "=") == 0) return arg.substr(key.size() + 1);
  }
  return fallback;
}
