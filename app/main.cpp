#include <cstdio>
#include <cstring>

#include "app/version.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s\n", ZEPHIRO_VERSION_TEXT);
      return 0;
    }
  return 0;
}
