#pragma once
// The DVD install wizard. Its Welcome page is the program's first page: it looks at the
// drives every frame and greets the user once an install disc is in one of them.

#include <string>

struct PageDescription;

int welcome_page(int entering, PageDescription& page);

// The Welcome page's text for the disc in the drive (already translated), and whether
// that disc can start an install.
struct WelcomeVerdict {
  std::string text;
  bool ready_to_install = false;
};
WelcomeVerdict welcome_verdict();
