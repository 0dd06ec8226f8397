#include "app/qa_script.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "core/app_state.h"
#include "core/user_text.h"
#include "core/log.h"
#include "app/startup.h"
#include "engine/dvd_discovery.h"
#include "io/file_ops.h"
#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/window_sdl.h"
#include "ui/window.h"
#include "ui/draw_backend.h"
#include "ui/file_dialog.h"
#include "ui/png_image.h"
#include "ui/text_fit.h"
#include "ui/ui_context.h"

namespace {

// Passes every draw call on and keeps the notes of what each frame drew.
class FrameNotes : public DrawBackend {
 public:
  DrawBackend* inner = nullptr;
  std::vector<TextNote> texts, last_texts;
  std::vector<WidgetNote> widgets, last_widgets;
  std::vector<FrameNote> frames, last_frames;

  unsigned create_texture(int w, int h, int channels, const unsigned char* pixels) override {
    return inner->create_texture(w, h, channels, pixels);
  }
  void update_texture(unsigned name, int w, int h, int channels, const unsigned char* pixels) override {
    inner->update_texture(name, w, h, channels, pixels);
  }
  void delete_texture(unsigned name) override { inner->delete_texture(name); }
  void quads(unsigned texture, const float rgba[4], const DrawQuad* q, int count) override {
    inner->quads(texture, rgba, q, count);
  }
  void present_now() override { inner->present_now(); }
  void note_text(const TextNote& n) override {
    texts.push_back(n);
    inner->note_text(n);
  }
  void note_sprite(const SpriteNote& n) override { inner->note_sprite(n); }
  void note_frame(const FrameNote& n) override {
    frames.push_back(n);
    inner->note_frame(n);
  }
  void note_widget(const WidgetNote& n) override {
    widgets.push_back(n);
    inner->note_widget(n);
  }

  void end_frame() {
    last_texts.swap(texts);
    last_widgets.swap(widgets);
    last_frames.swap(frames);
    texts.clear();
    widgets.clear();
    frames.clear();
  }
  void covered() {
    texts.clear();
    widgets.clear();
    frames.clear();
  }
};

// A command that needs more than the pass it started in.
enum class Action { none, click, drag, frames, look, screenshot, pad };

const int k_drag_steps = 8;
// Passes a newly attached game controller is given to be opened before its first press.
const int k_pad_settle_frames = 5;

struct QaState {
  bool active = false;
  bool finished = false;
  std::vector<std::string> lines;
  size_t next = 0;    // index of the next line to run
  int line_no = 0;    // 1-based number of the command being run
  double timeout = 30;

  Action action = Action::none;
  int stage = 0;
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int frames_left = 0;
  std::string look;  // wait_text, no_text or click_text
  std::string text;
  bool tapping = false;  // the click being started is a tap
  double wait_started = 0;

  long frames_done = 0;   // frames completed while the script ran
  long input_frame = 0;  // looks wait until more frames than this are done
  bool checking_fit = false;  // every frame from "check_fit" on must fit its texts

  bool notes_attached = false;
  FrameNotes notes;


  std::function<void(const std::string&)> on_failure;
};

QaState& state() {
  static QaState s;
  return s;
}

void default_failure(const std::string& message) {
  LOG << message << "\n";
  log_flush();
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
  app().quit_flag = 1;
  shut_down(false);
  std::fflush(nullptr);
  std::_Exit(4);
}

void fail(const std::string& reason) {
  QaState& s = state();
  const std::string message = "QA script failed at line " + std::to_string(s.line_no) + ": " + reason;
  s.active = false;
  s.action = Action::none;
  if (s.on_failure)
    s.on_failure(message);
  else
    default_failure(message);
}

void attach_notes() {
  QaState& s = state();
  if (s.notes_attached) return;
  s.notes.inner = &draw_backend();
  s.notes.texts.clear();
  s.notes.widgets.clear();
  s.notes.last_texts.clear();
  s.notes.last_widgets.clear();
  s.notes.frames.clear();
  s.notes.last_frames.clear();
  set_draw_backend(&s.notes);
  s.notes_attached = true;
}

std::string trim(const std::string& text) {
  const size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string::npos) return "";
  const size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(start, end - start + 1);
}

bool parse_numbers(const std::string& text, float* out, int count) {
  std::istringstream in(text);
  for (int i = 0; i < count; ++i)
    if (!(in >> out[i])) return false;
  std::string extra;
  return !(in >> extra);
}

// ---------------------------------------------------------------- what the last frame drew

bool frame_shows_text(const std::string& typed) {
  const std::vector<TextNote>& texts = state().notes.last_texts;
  // A script is typed with plain spaces: a no-break space on the screen (in a size) matches one.
  const std::string wanted = with_plain_spaces(typed);
  // A wrapped text is searched line by line and as the whole text of its call.
  std::string whole;
  int call = -1;
  for (const TextNote& note : texts) {
    TextNote n = note;
    n.text = with_plain_spaces(n.text);
    if (n.text.find(wanted) != std::string::npos) return true;
    if (n.call != call) {
      if (whole.find(wanted) != std::string::npos) return true;
      whole.clear();
      call = n.call;
    }
    whole += whole.empty() ? n.text : " " + n.text;
  }
  return whole.find(wanted) != std::string::npos;
}

const char* const k_bottom_names[] = {"QUIT", "GO BACK", "CONTINUE", "SELECT ALL", "SELECT NONE", "BUY ONLINE", "OPTIONS"};

const WidgetNote* widget_labelled(const std::string& wanted) {
  for (const WidgetNote& w : state().notes.last_widgets) {
    if (w.kind == "bottom_button") {
      const int label = std::atoi(w.label.c_str());
      if (label >= 0 && label < 7 && std::string(k_bottom_names[label]).find(wanted) != std::string::npos)
        return &w;
    } else if (w.label.find(wanted) != std::string::npos) {
      return &w;
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------- input

// The scripted mouse goes through the window's own input rules (clicks, drag tracking).
void move_mouse(float x, float y) { input_mouse_move(x, y); }
void press(float x, float y) { input_button_down(mouse_left, x, y); }
void release(float x, float y) { input_button_up(mouse_left, x, y); }

// A key as the user would give it: through the window's own events (the same path as
// the keyboard's), or handled at once without a window. False for a name it does not know.
bool give_named_key(const std::string& name) {
  int mods = 0;
  std::string key = name;
  for (size_t plus; key.size() > 1 && (plus = key.find('+')) != std::string::npos;) {
    const std::string mod = key.substr(0, plus);
    if (mod == "CTRL") mods |= mod_ctrl;
    else if (mod == "SHIFT") mods |= mod_shift;
    else if (mod == "ALT") mods |= mod_alt;
    else return false;
    key = key.substr(plus + 1);
  }
  static const struct {
    const char* name;
    int key;
    const char* text;
  } kNamed[] = {{"RETURN", key_return, ""},     {"ESCAPE", key_escape, ""},   {"TAB", key_tab, ""},
                {"BACKSPACE", key_backspace, ""}, {"DELETE", key_delete, ""}, {"LEFT", key_left, ""},
                {"RIGHT", key_right, ""},       {"UP", key_up, ""},           {"DOWN", key_down, ""},
                {"HOME", key_home, ""},         {"END", key_end, ""},         {"SPACE", key_space, " "},
                {"PAGEUP", key_page_up, ""},    {"PAGEDOWN", key_page_down, ""}};
  for (const auto& k : kNamed)
    if (key == k.name) {
      give_key(k.key, mods, k.text);
      return true;
    }
  if (key.size() != 1) return false;
  const char c = key[0];
  const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  const bool digit = c >= '0' && c <= '9';
  if (!letter && !digit && c != '=') return false;
  const char typed = letter && (mods & mod_shift) ? static_cast<char>(c & ~0x20) : c;
  give_key(letter ? (c | 0x20) : c, mods, std::string(1, typed));
  return true;
}

// The game controller's buttons by name, and the stick's directions.
bool give_pad(const std::string& name) {
  static const struct {
    const char* name;
    int button;
  } kButtons[] = {{"A", pad_a},         {"B", pad_b},          {"X", pad_x},
                  {"Y", pad_y},         {"BACK", pad_back},    {"START", pad_start},
                  {"LB", pad_left_shoulder}, {"RB", pad_right_shoulder}, {"UP", pad_up},
                  {"DOWN", pad_down},   {"LEFT", pad_left},    {"RIGHT", pad_right}};
  for (const auto& b : kButtons)
    if (name == b.name) return window_virtual_pad_button(b.button, true) == 0;
  static const struct {
    const char* name;
    float x, y;
  } kStick[] = {{"STICK_LEFT", -1, 0}, {"STICK_RIGHT", 1, 0}, {"STICK_UP", 0, -1}, {"STICK_DOWN", 0, 1}};
  for (const auto& d : kStick)
    if (name == d.name) return window_virtual_pad_stick(d.x, d.y) == 0;
  return false;
}

// What a pad command leaves held until the next pass lets it go.
void release_pad() {
  for (int b = pad_a; b <= pad_right; ++b) window_virtual_pad_button(b, false);
  window_virtual_pad_stick(0, 0);
}

// ---------------------------------------------------------------- the folder picker

// The next folder picker takes the script's answer instead of showing a dialog; `kind`
// names the only kind of dialog the answer is for (-1: any).
void arm_folder_picker(bool cancel, const std::string& path, int kind = -1) {
  FileDialogState& d = file_dialog_state();
  d.scripted = true;
  d.scripted_confirm = !cancel;
  d.scripted_path = path;
  d.scripted_kind = kind;
}

// ---------------------------------------------------------------- commands

// What a command does to the pass it runs in.
enum class Outcome {
  next,  // done: the next line runs in this pass
  stop,  // done, but it gave input: the next line waits for the next pass
  busy,  // goes on in the next pass
};

// The frame drawn in this pass still shows the state before the input took effect; input
// that goes through the window's queue arrives with the next pass.
void input_given() { state().input_frame = state().frames_done + 1; }
void queued_input_given() { state().input_frame = state().frames_done + (window_exists() ? 2 : 1); }

Outcome start_click(float x, float y) {
  QaState& s = state();
  if (s.tapping) {
    // Press and release reach the same frame, as a touchpad tap or a click under load does.
    press(x, y);
    release(x, y);
    input_given();
    return Outcome::stop;
  }
  s.x1 = x;
  s.y1 = y;
  s.action = Action::click;
  s.stage = 1;
  press(x, y);
  return Outcome::busy;
}

// wait_text, no_text and click_text look at a frame drawn after the last scripted input.
Outcome run_look() {
  QaState& s = state();
  if (s.frames_done <= s.input_frame) return Outcome::busy;
  const std::string look = s.look;
  if (look == "wait_text") {
    if (frame_shows_text(s.text)) {
      s.action = Action::none;
      return Outcome::next;
    }
    if (platform::running_seconds() - s.wait_started > s.timeout) {
      std::ostringstream limit;
      limit << s.timeout;
      fail("wait_text \"" + s.text + "\": not drawn within " + limit.str() + " seconds");
    }
    return Outcome::busy;
  }
  s.action = Action::none;
  if (look == "no_text") {
    if (frame_shows_text(s.text)) fail("no_text \"" + s.text + "\": the frame shows it");
    return Outcome::next;
  }
  const WidgetNote* w = widget_labelled(s.text);
  if (!w) {
    const std::string word = s.tapping ? "tap_text" : "click_text";
    fail(word + " \"" + s.text + "\": no widget of the frame has that label");
    return Outcome::busy;
  }
  return start_click((w->x0 + w->x1) / 2, (w->y0 + w->y1) / 2);
}

Outcome continue_action();

Outcome start_command(const std::string& word, const std::string& arg) {
  QaState& s = state();
  s.tapping = word == "tap" || word == "tap_text";
  if (word == "wait_text" || word == "no_text" || word == "click_text" || word == "tap_text") {
    if (arg.empty()) return fail(word + " needs a text"), Outcome::busy;
    s.look = word == "tap_text" ? "click_text" : word;
    s.text = arg;
    s.wait_started = platform::running_seconds();
    s.action = Action::look;
    return run_look();
  }
  if (word == "click" || word == "tap") {
    float v[2];
    if (!parse_numbers(arg, v, 2)) return fail(word + " needs X Y"), Outcome::busy;
    return start_click(v[0], v[1]);
  }
  if (word == "drag") {
    float v[4];
    if (!parse_numbers(arg, v, 4)) return fail("drag needs X1 Y1 X2 Y2"), Outcome::busy;
    s.x1 = v[0];
    s.y1 = v[1];
    s.x2 = v[2];
    s.y2 = v[3];
    s.action = Action::drag;
    s.stage = 1;
    press(s.x1, s.y1);
    return Outcome::busy;
  }
  if (word == "wheel") {
    float v[3];
    if (!parse_numbers(arg, v, 3)) return fail("wheel needs X Y NOTCHES"), Outcome::busy;
    move_mouse(v[0], v[1]);
    ui().in.wheel += v[2];
    ui().in.wheel_this_frame += v[2];
    input_given();
    return Outcome::stop;
  }
  if (word == "key") {
    if (!give_named_key(arg)) return fail("key: unknown key \"" + arg + "\""), Outcome::busy;
    queued_input_given();
    return Outcome::stop;
  }
  if (word == "type") {
    give_text(arg);
    queued_input_given();
    return Outcome::stop;
  }
  if (word == "pad") {
    if (!window_exists()) return fail("pad: a game controller needs the window"), Outcome::busy;
    s.text = arg;
    s.action = Action::pad;
    // A controller plugged in now is opened with the events of the next passes.
    if (!window_virtual_pad_attached()) {
      if (window_virtual_pad_attach() != 0) return fail("pad: no game controller can be made"), Outcome::busy;
      s.stage = 0;
      s.frames_left = k_pad_settle_frames;
      return Outcome::busy;
    }
    s.stage = 1;
    return continue_action();
  }
  if (word == "log") {
    LOG << arg << "\n";
    log_flush();
    return Outcome::next;
  }
  if (word == "pick_folder" || word == "pick_cancel") {
    if (word == "pick_folder" && arg.empty()) return fail("pick_folder needs a path"), Outcome::busy;
    arm_folder_picker(word == "pick_cancel", arg);
    return Outcome::next;
  }
  if (word == "pick_disc_image") {
    if (arg.empty()) return fail("pick_disc_image needs a path"), Outcome::busy;
    arm_folder_picker(false, arg, dialog_open_disc_image);
    return Outcome::next;
  }
  if (word == "set_drives") {
    if (arg.empty()) return fail("set_drives needs at least one folder"), Outcome::busy;
    set_dvd_drives(arg);
    input_given();
    return Outcome::stop;
  }
  if (word == "frames") {
    float v[1];
    if (!parse_numbers(arg, v, 1) || v[0] < 0) return fail("frames needs a count"), Outcome::busy;
    s.frames_left = static_cast<int>(v[0]);
    if (s.frames_left == 0) return Outcome::next;
    s.action = Action::frames;
    return Outcome::busy;
  }
  if (word == "timeout") {
    float v[1];
    if (!parse_numbers(arg, v, 1) || v[0] <= 0) return fail("timeout needs a number of seconds"), Outcome::busy;
    s.timeout = v[0];
    return Outcome::next;
  }
  if (word == "screenshot") {
    if (arg.empty()) return fail("screenshot needs a file"), Outcome::busy;
    s.text = arg;
    s.action = Action::screenshot;  // taken at the end of this pass's frame
    return Outcome::busy;
  }
  if (word == "check_fit") {
    s.checking_fit = true;
    return Outcome::next;
  }
  if (word == "quit") {
    app().quit_flag = 1;
    return Outcome::stop;
  }
  return fail("unknown command \"" + word + "\""), Outcome::busy;
}

Outcome continue_action() {
  QaState& s = state();
  switch (s.action) {
    case Action::click:
      s.action = Action::none;
      release(s.x1, s.y1);
      input_given();
      return Outcome::stop;
    case Action::drag:
      // The held mouse reaches the end point; the release comes a frame later.
      if (s.stage <= k_drag_steps) {
        const float t = static_cast<float>(s.stage++) / k_drag_steps;
        move_mouse(s.x1 + (s.x2 - s.x1) * t, s.y1 + (s.y2 - s.y1) * t);
        return Outcome::busy;
      }
      s.action = Action::none;
      release(s.x2, s.y2);
      input_given();
      return Outcome::stop;
    case Action::frames:
      if (--s.frames_left > 0) return Outcome::busy;
      s.action = Action::none;
      return Outcome::next;
    case Action::look:
      return run_look();
    case Action::screenshot:
      return Outcome::busy;
    case Action::pad:
      if (s.stage == 0) {
        if (--s.frames_left <= 0) s.stage = 1;
        return Outcome::busy;
      }
      if (s.stage == 1) {
        // Held for a pass, let go in the next: one press.
        if (!give_pad(s.text)) return fail("pad: no such button \"" + s.text + "\""), Outcome::busy;
        s.stage = 2;
        return Outcome::busy;
      }
      s.action = Action::none;
      release_pad();
      queued_input_given();
      return Outcome::stop;
    case Action::none:
      break;
  }
  return Outcome::next;
}

}  // namespace

void qa_script_load_text(const std::string& text) {
  reset_qa_script();
  QaState& s = state();
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) s.lines.push_back(line);
  s.active = true;
  attach_notes();
}

void qa_script_load_file(const std::string& path) {
  std::FILE* in = platform::open_stdio_file(path, "rb");
  if (!in) {
    state().line_no = 0;
    fail("cannot read the script " + path);
    return;
  }
  std::string text;
  char block[4096];
  for (size_t got; (got = std::fread(block, 1, sizeof block, in)) > 0;) text.append(block, got);
  std::fclose(in);
  qa_script_load_text(text);
}

bool qa_script_active() { return state().active; }

bool qa_script_finished() { return state().finished; }

void qa_script_step() {
  QaState& s = state();
  if (!s.active) return;
  Outcome outcome = s.action == Action::none ? Outcome::next : continue_action();
  while (s.active && outcome == Outcome::next) {
    if (s.next >= s.lines.size()) {
      if (!s.finished) app().quit_flag = 1;  // the end quits as "quit" does
      s.finished = true;
      return;
    }
    s.line_no = static_cast<int>(++s.next);
    const std::string line = trim(s.lines[s.next - 1]);
    if (line.empty() || line[0] == '#') continue;
    const size_t blank = line.find_first_of(" \t");
    const std::string word = line.substr(0, blank);
    const std::string arg = blank == std::string::npos ? "" : trim(line.substr(blank));
    outcome = start_command(word, arg);
  }
}

void qa_script_end_frame() {
  QaState& s = state();
  if (!s.notes_attached) return;
  if (s.active && s.action == Action::screenshot) {
    s.action = Action::none;
    Image frame;
    if (read_window_pixels(frame) != 0)
      fail("screenshot " + s.text + ": the frame could not be read");
    else if (save_png(s.text, frame) != png_ok)
      fail("screenshot " + s.text + ": the file could not be written");
  }
  s.notes.end_frame();
  ++s.frames_done;
  if (s.active && s.checking_fit) {
    const std::string misfit = first_misfit(s.notes.last_texts, s.notes.last_widgets, s.notes.last_frames);
    if (!misfit.empty()) fail("check_fit: " + misfit);
  }
}

void qa_script_mode_changed() {
  QaState& s = state();
  if (s.notes_attached) s.notes.covered();
}

void qa_script_release_notes() {
  QaState& s = state();
  if (!s.notes_attached) return;
  if (&draw_backend() == &s.notes) set_draw_backend(s.notes.inner);
  s.notes_attached = false;
}

const std::vector<TextNote>& qa_frame_texts() { return state().notes.last_texts; }

const std::vector<WidgetNote>& qa_frame_widgets() { return state().notes.last_widgets; }

void set_qa_failure_handler(std::function<void(const std::string& message)> handler) {
  state().on_failure = std::move(handler);
}

void reset_qa_script() {
  QaState& s = state();
  qa_script_release_notes();
  file_dialog_state().scripted = false;
  auto handler = std::move(s.on_failure);
  s = QaState();
  s.on_failure = std::move(handler);
}
