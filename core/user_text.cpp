#include "core/user_text.h"

#include <algorithm>
#include <atomic>

namespace {

struct UserTextState {
  std::atomic<UserTextLookup> lookup{nullptr};
};

UserTextState& state() {
  static UserTextState s;
  return s;
}

std::string look_up(const std::string& english, bool report_missing) {
  const UserTextLookup lookup = state().lookup.load();
  return lookup ? lookup(english, report_missing) : english;
}

// One "%n:name%" found from `from` on: where it opens and closes and its number (0 when
// no digits follow the '%'). False when no further parameter can exist.
struct ParameterSpan {
  size_t open = 0;
  size_t close = 0;
  long long number = 0;
};

bool find_parameter(const std::string& text, size_t from, ParameterSpan* span) {
  size_t open = text.find('%', from);
  if (open == std::string::npos) return false;
  size_t colon = text.find(':', open);
  if (colon == std::string::npos) return false;  // no later '%' can have a ':' either
  size_t close = text.find('%', colon + 1);
  if (close == std::string::npos) return false;
  long long n = 0;
  const long long cap = 1000000000LL;  // far more arguments than any message has
  for (size_t i = open + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    n = std::min(cap, n * 10 + (text[i] - '0'));
  span->open = open;
  span->close = close;
  span->number = n;
  return true;
}

std::string substitute(const std::string& text, const std::string* args, int count) {
  std::string out = text;
  ParameterSpan span;
  size_t pos = 0;
  while (find_parameter(out, pos, &span)) {
    if (span.number >= 1 && span.number <= count) {
      const std::string& arg = args[span.number - 1];
      out.replace(span.open, span.close - span.open + 1, arg);
      pos = span.open + arg.size();  // inserted text is never read again
    } else {
      pos = span.open + 1;
    }
  }
  return out;
}

}  // namespace

void set_user_text_lookup(UserTextLookup lookup) { state().lookup.store(lookup); }

std::string user_text(const std::string& english) { return look_up(english, true); }

std::string user_text(const std::string& english, const std::string& a1) {
  return substitute_parameters(user_text(english), a1);
}

std::string user_text(const std::string& english, const std::string& a1, const std::string& a2) {
  return substitute_parameters(user_text(english), a1, a2);
}

std::string user_text_if_known(const std::string& text) { return look_up(text, false); }

std::string substitute_parameters(const std::string& text, const std::string& a1) {
  return substitute(text, &a1, 1);
}

std::string substitute_parameters(const std::string& text, const std::string& a1, const std::string& a2) {
  const std::string args[] = {a1, a2};
  return substitute(text, args, 2);
}

std::string substitute_parameters(const std::string& text, const std::string& a1, const std::string& a2,
                                  const std::string& a3, const std::string& a4) {
  const std::string args[] = {a1, a2, a3, a4};
  return substitute(text, args, 4);
}

std::vector<long long> parameter_numbers(const std::string& text) {
  std::vector<long long> numbers;
  ParameterSpan span;
  size_t pos = 0;
  while (find_parameter(text, pos, &span)) {
    if (span.number > 0) {
      numbers.push_back(span.number);
      pos = span.close + 1;
    } else {
      pos = span.open + 1;
    }
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

void reset_user_text() { set_user_text_lookup(nullptr); }

std::string with_plain_spaces(std::string text) {
  for (size_t at = text.find(k_no_break_space); at != std::string::npos; at = text.find(k_no_break_space, at))
    text.replace(at, sizeof k_no_break_space - 1, " ");
  return text;
}
