#pragma once
// The question a work page asks when a file could not be installed: what went wrong,
// what the user may do, and two answers (stop or go on).

#include <string>

// Takes the executor's last error and asks about it in a Modal Prompt: the header, the
// error's message with the text of its code, then the advice. All texts are English and
// shown translated. Returns 1 for the first answer, 0 for the second, 3 when the prompt
// ended otherwise (the window closed).
int error_prompt(const std::string& header, const std::string& advice, const std::string& first_action,
                 const std::string& first_explanation, const std::string& second_action,
                 const std::string& second_explanation);
