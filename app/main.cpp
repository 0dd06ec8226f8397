#include <string>
#include <vector>

#include "app/startup.h"
#include "platform/fs.h"

// The parameters in UTF-8 whatever the system handed main, so that a folder named in
// them reaches the files it names.
int main(int argc, char** argv) {
  std::vector<std::string> parameters = platform::program_parameters(argc, argv);
  std::vector<char*> utf8_argv{argc > 0 ? argv[0] : const_cast<char*>("")};
  for (std::string& p : parameters) utf8_argv.push_back(&p[0]);
  utf8_argv.push_back(nullptr);
  return run_installer(static_cast<int>(utf8_argv.size()) - 1, utf8_argv.data());
}
