#include "ui/text_fit.h"

#include <cmath>
#include <map>
#include <sstream>

#include "ui/text_render.h"
#include "ui/ui_context.h"

namespace {

// The part of a line its letters fill: lines one step (10) apart stay clear of each other,
// accents and descenders may touch.
const float kBelowBaseline = 1.0f;
const float kAboveBaseline = 7.0f;
// A choice button's label keeps clear of the rounded ends of its artwork.
const float kButtonEnds = 8.0f;
// Where a choice button draws its label: centred, 3 below the button's middle.
const float kLabelDrop = 3.0f;
// A bottom button's body reaches this far beyond its hit area on either side.
const float kBottomButtonCaps = 10.0f;
// Positions are compared with this much play, for the rounding of layouts.
const float kSlack = 0.5f;

struct Box {
  float x0, y0, x1, y1;
};

Box line_box(const TextNote& n) {
  return {n.line_x, n.line_y - kBelowBaseline, n.line_x + n.width, n.line_y + kAboveBaseline};
}

bool boxes_overlap(const Box& a, const Box& b) {
  return a.x0 < b.x1 - kSlack && b.x0 < a.x1 - kSlack && a.y0 < b.y1 - kSlack && b.y0 < a.y1 - kSlack;
}

bool box_inside(const Box& inner, const Box& outer) {
  return inner.x0 >= outer.x0 - kSlack && inner.x1 <= outer.x1 + kSlack && inner.y0 >= outer.y0 - kSlack &&
         inner.y1 <= outer.y1 + kSlack;
}

std::string number(float v) {
  std::ostringstream out;
  out << std::lround(v);
  return out.str();
}

std::string quoted(const TextNote& n) { return "\"" + n.text + "\""; }

std::string at(const TextNote& n) { return " (at " + number(n.line_x) + ", " + number(n.line_y) + ")"; }

// A label too wide for its choice button.
std::string button_misfit(const std::vector<TextNote>& texts, const std::vector<WidgetNote>& widgets) {
  for (const WidgetNote& w : widgets) {
    if (w.kind != "choice_button") continue;
    const float cx = (w.x0 + w.x1) / 2, cy = (w.y0 + w.y1) / 2, room = w.x1 - w.x0 - kButtonEnds;
    for (const TextNote& n : texts) {
      if (n.align != align_centre || std::fabs(n.x - cx) > kSlack || std::fabs(n.y - (cy - kLabelDrop)) > kSlack)
        continue;
      if (n.width > room + kSlack)
        return "the label " + quoted(n) + " is " + number(n.width) + " wide; its button holds " + number(room);
    }
  }
  return "";
}

// A heading that wrapped.
std::string heading_misfit(const std::vector<TextNote>& texts) {
  std::map<int, int> lines;
  for (const TextNote& n : texts) {
    if (n.weight != weight_bold) continue;
    if (++lines[n.call] > 1) return "the heading " + quoted(n) + at(n) + " wraps onto a line of its own";
  }
  return "";
}

// A line that leaves the innermost frame around the point its text was drawn at.
std::string frame_misfit(const std::vector<TextNote>& texts, const std::vector<FrameNote>& frames) {
  const Box page = {0, 0, k_page_width, k_page_height};
  for (const TextNote& n : texts) {
    if (n.text.empty()) continue;
    Box place = page;
    float smallest = -1;
    for (const FrameNote& f : frames) {
      const Box frame = {f.x, f.y, f.x + f.width, f.y + f.height};
      const bool holds = n.x >= frame.x0 && n.x <= frame.x1 && n.y >= frame.y0 && n.y <= frame.y1;
      if (holds && (smallest < 0 || f.width * f.height < smallest)) {
        place = frame;
        smallest = f.width * f.height;
      }
    }
    if (!box_inside(line_box(n), place))
      return quoted(n) + at(n) + " runs out of its place (" + number(place.x0) + ".." + number(place.x1) + " by " +
             number(place.y0) + ".." + number(place.y1) + ")";
  }
  return "";
}

// Two lines drawn over each other. A line drawn twice in the same place (a pressed
// button shown at once) is one line.
std::string overlap_misfit(const std::vector<TextNote>& texts) {
  for (size_t i = 0; i < texts.size(); ++i) {
    const TextNote& a = texts[i];
    if (a.text.empty()) continue;
    for (size_t j = i + 1; j < texts.size(); ++j) {
      const TextNote& b = texts[j];
      if (b.text.empty() || b.call == a.call) continue;
      if (b.text == a.text && b.line_x == a.line_x && b.line_y == a.line_y) continue;
      if (boxes_overlap(line_box(a), line_box(b)))
        return quoted(a) + at(a) + " and " + quoted(b) + at(b) + " are drawn over each other";
    }
  }
  return "";
}

// A line that runs into a widget: only the widget's own label or text lies inside it.
std::string widget_misfit(const std::vector<TextNote>& texts, const std::vector<WidgetNote>& widgets) {
  for (const TextNote& n : texts) {
    if (n.text.empty()) continue;
    const Box line = line_box(n);
    for (const WidgetNote& w : widgets) {
      const float caps = w.kind == "bottom_button" ? kBottomButtonCaps : 0;
      const Box area = {w.x0 - caps, w.y0, w.x1 + caps, w.y1};
      if (!boxes_overlap(line, area)) continue;
      const bool inside = line.x0 >= area.x0 - 1 && line.x1 <= area.x1 + 1 && n.line_y >= area.y0 - 1 &&
                          n.line_y <= area.y1 + 1;
      if (!inside) return quoted(n) + at(n) + " runs into a " + w.kind + " (" + w.label + ")";
    }
  }
  return "";
}

}  // namespace

std::string first_misfit(const std::vector<TextNote>& texts, const std::vector<WidgetNote>& widgets,
                         const std::vector<FrameNote>& frames) {
  for (const std::string& found : {button_misfit(texts, widgets), heading_misfit(texts), frame_misfit(texts, frames),
                                   overlap_misfit(texts), widget_misfit(texts, widgets)})
    if (!found.empty()) return found;
  return "";
}
