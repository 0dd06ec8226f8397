#pragma once
// The single-line Text Field: typing, caret, selection and the clipboard.

#include <cstddef>
#include <string>

// Draws the field at (x, y) `width` wide and, while it has the keyboard focus, edits
// `text` from this frame's keyboard events. The field holds at most `max_length`
// characters (0: no limit): typed or pasted text that does not fit is cut, the field's
// own text is kept. A text wider than the box shows the part around the caret. A
// `label` is drawn right-aligned ending 12 units left of the field. Returns 1 when the
// text changed this frame.
int text_field(float x, float y, std::string& text, size_t max_length, const std::string& help, float width,
               bool auto_focus, const std::string& label = "");

// Whether the field editing `text` has the keyboard focus.
bool text_field_has_focus(const std::string& text);
// Cuts UTF-8 text to at most `max_chars` characters.
void cut_to_chars(std::string& text, size_t max_chars);
