#pragma once
// The texts the program shows the user are written in English. The layers below the
// window's (files, archives, discs, the install engine) pass theirs through here: the
// localization module installs the lookup of the current language when a language is
// set, so those texts come out translated as the pages' own do. Until then, and in the
// command-line mode, which sets no language, every text stays English.
//
// Messages carry numbered parameters, "%n:name%": the number says which argument goes
// there, the name only tells the translator what it is.

#include <string>
#include <vector>

// U+00A0 in UTF-8: a space where a wrapped text may not break its line (between a size's
// number and its unit).
constexpr char k_no_break_space[] = "\xC2\xA0";
// The text with each no-break space made a plain one: for a terminal, which does not wrap,
// and for a script typed with plain spaces.
std::string with_plain_spaces(std::string text);

// The translation of `english`; `report_missing` says whether a text the translation
// lacks is to be reported as missing (with "--missing_strings").
using UserTextLookup = std::string (*)(const std::string& english, bool report_missing);
// Null puts back the identity.
void set_user_text_lookup(UserTextLookup lookup);

// The text in the user's language.
std::string user_text(const std::string& english);
// The same, then the argument(s) put in for %1 (and %2).
std::string user_text(const std::string& english, const std::string& a1);
std::string user_text(const std::string& english, const std::string& a1, const std::string& a2);
// A text the program did not write (the system's description of an error): translated when
// the translation happens to hold it, never reported as missing.
std::string user_text_if_known(const std::string& text);

// Replaces each "%n:name%" by argument n (counted from 1); others stay as they are, and an
// inserted argument is never searched for parameters itself.
std::string substitute_parameters(const std::string& text, const std::string& a1);
std::string substitute_parameters(const std::string& text, const std::string& a1, const std::string& a2);
std::string substitute_parameters(const std::string& text, const std::string& a1, const std::string& a2,
                                  const std::string& a3, const std::string& a4);
// The numbers of the parameters a text holds, sorted (a translation must keep them).
std::vector<long long> parameter_numbers(const std::string& text);

// Back to the identity (tests).
void reset_user_text();
