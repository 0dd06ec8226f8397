#include "wizards/error_prompt.h"

#include "engine/executor.h"
#include "io/file_ops.h"
#include "ui/localization.h"
#include "ui/page_framework.h"

int error_prompt(const std::string& header, const std::string& advice, const std::string& first_action,
                 const std::string& first_explanation, const std::string& second_action,
                 const std::string& second_explanation) {
  std::string message;
  const int code = take_install_error(message);
  const std::string text = localize(header) + "\n\n" + message + " (" + error_message_for_code(code) + ")" +
                           "\n\n" + localize(advice);
  return modal_prompt(text, localize(first_action), localize(first_explanation), localize(second_action),
                      localize(second_explanation));
}
