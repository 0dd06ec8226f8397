#pragma once
// The preferences: the values the program keeps between runs, and their text form.

#include <string>

struct Preferences {
  std::string message[4];  // _message_1 .. _message_4
  int stream_count = 0;
  int log_actions = 0;
  std::string proxy_host;
  std::string proxy_port;
  int proxy_port_int = 0;
  int get_beta = 0;
};

Preferences& prefs();
void reset_preferences();

// Takes the values of the stored lines "key value" between `begin` and `end` (null for
// none; later lines win) and then of the "--pref:key=value" options; keys absent from
// both keep their values.
void apply_preference_lines(const char* begin, const char* end);
// The lines the file stores, in file order: text values only when not empty, numbers always.
std::string preference_lines();
