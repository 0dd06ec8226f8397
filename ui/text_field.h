#pragma once
// The single-line Text Field: typing, caret, selection and the clipboard.

#include <cstddef>
#include <string>

// Draws the field at (x, y) `width` wide and, while it has the keyboard focus, edits
// `text` from this frame's keyboard events. Text longer than `max_length` characters is
// cut to that length (0: no limit). Returns 1 when the text changed this frame.
int text_field(float x, float y, std::string& text, size_t max_length, const std::string& help, float width,
               bool auto_focus);

// Whether the field editing `text` has the keyboard focus.
bool text_field_has_focus(const std::string& text);
// Cuts UTF-8 text to at most `max_chars` characters.
void cut_to_chars(std::string& text, size_t max_chars);
