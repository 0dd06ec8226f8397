#include "platform/window_sdl.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_opengl.h>

#include <cstdlib>
#include <vector>

#include "platform/sanitizers.h"

namespace {

// Game controllers: the ones open, the direction held (repeated as a held key is), and
// the program's own virtual controller of scripted runs.
struct PadState {
  bool started = false;
  std::vector<SDL_GameController*> open;
  int held_key = 0;        // an arrow held on the pad or the stick, 0 none
  Uint32 next_repeat = 0;  // when it repeats next (SDL ticks)
  int stick_x = 0, stick_y = 0;  // the left stick's direction on each axis: -1, 0, 1
  SDL_Joystick* virtual_pad = nullptr;
};

struct WindowState {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  WindowInfo info;
  SDL_Cursor* cursors[3] = {nullptr, nullptr, nullptr};
  bool video_started = false;
  void (*log)(const std::string&) = nullptr;
  PadState pad;
};

WindowState g_window;

void log_text(const std::string& text) {
  if (g_window.log) g_window.log(text);
}

// Room a window manager's caption bar and frame may need above the client area.
const int k_caption_allowance = 40;

// Multisampling level to samples a pixel: 1 -> 2, 2 -> 4, 3 -> 8, 4 -> 16.
int samples_for_level(int level) { return level <= 0 ? 0 : 1 << level; }

void set_format(int colour_depth, bool alpha, int depth_bits, int level) {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  const bool deep = colour_depth >= 24;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, deep ? 8 : 5);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, deep ? 8 : 6);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, deep ? 8 : 5);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha && deep ? 8 : 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth_bits);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, level > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples_for_level(level));
}

// One attempt at a window and context with one pixel format.
bool try_window(int x, int y, int width, int height, Uint32 flags) {
  g_window.window = SDL_CreateWindow("Nimbrel", x, y, width, height, flags);
  if (!g_window.window) return false;
  g_window.context = SDL_GL_CreateContext(g_window.window);
  if (!g_window.context) {
    SDL_DestroyWindow(g_window.window);
    g_window.window = nullptr;
    return false;
  }
  platform::keep_graphics_driver_loaded();
  return true;
}

void set_fixed_state(bool multisampled) {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.0f);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_FALSE);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glShadeModel(GL_SMOOTH);
  glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_COLOR_MATERIAL);
  if (multisampled) glEnable(GL_MULTISAMPLE);
  else glDisable(GL_MULTISAMPLE);
  glEnableClientState(GL_VERTEX_ARRAY);
}

int key_of(SDL_Keycode k) {
  switch (k) {
    case SDLK_LEFT: return window_key_left;
    case SDLK_RIGHT: return window_key_right;
    case SDLK_UP: return window_key_up;
    case SDLK_DOWN: return window_key_down;
    case SDLK_HOME: return window_key_home;
    case SDLK_END: return window_key_end;
    case SDLK_BACKSPACE: return window_key_backspace;
    case SDLK_DELETE: return window_key_delete;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return window_key_return;
    case SDLK_ESCAPE: return window_key_escape;
    case SDLK_TAB: return window_key_tab;
    case SDLK_SPACE: return window_key_space;
    case SDLK_PAGEUP: return window_key_page_up;
    case SDLK_PAGEDOWN: return window_key_page_down;
    default: break;
  }
  if ((k >= 'a' && k <= 'z') || (k >= '0' && k <= '9')) return static_cast<int>(k);
  return window_key_other;
}

// The key a program key code stands for (scripted keys go through SDL's queue).
SDL_Keycode sym_of(int key) {
  switch (key) {
    case window_key_left: return SDLK_LEFT;
    case window_key_right: return SDLK_RIGHT;
    case window_key_up: return SDLK_UP;
    case window_key_down: return SDLK_DOWN;
    case window_key_home: return SDLK_HOME;
    case window_key_end: return SDLK_END;
    case window_key_backspace: return SDLK_BACKSPACE;
    case window_key_delete: return SDLK_DELETE;
    case window_key_return: return SDLK_RETURN;
    case window_key_escape: return SDLK_ESCAPE;
    case window_key_tab: return SDLK_TAB;
    case window_key_space: return SDLK_SPACE;
    case window_key_page_up: return SDLK_PAGEUP;
    case window_key_page_down: return SDLK_PAGEDOWN;
    default: break;
  }
  if (key > 0 && key < 128) return static_cast<SDL_Keycode>(key);
  return SDLK_UNKNOWN;
}

// How long a held direction waits before it repeats, then between repeats (ms).
const Uint32 k_pad_repeat_delay = 400;
const Uint32 k_pad_repeat_interval = 110;
// The stick counts as pushed past this, and as back in the middle below the second.
const int k_stick_on = 16000;
const int k_stick_off = 9000;

WindowEvent pad_key(int key, int mods = 0, bool repeat = false) {
  WindowEvent ev;
  ev.kind = window_event_key_down;
  ev.key = key;
  ev.mods = mods;
  ev.repeat = repeat;
  ev.return_key = key == window_key_return;
  return ev;
}

void hold_direction(int key) {
  g_window.pad.held_key = key;
  g_window.pad.next_repeat = SDL_GetTicks() + k_pad_repeat_delay;
}

void release_direction(int key) {
  if (g_window.pad.held_key == key) g_window.pad.held_key = 0;
}

int pad_direction_key(Uint8 button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return window_key_up;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return window_key_down;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return window_key_left;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return window_key_right;
    default: return 0;
  }
}

// A controller's event as the program's key; false for what the program ignores.
bool translate_pad(const SDL_Event& e, WindowEvent& ev) {
  PadState& pad = g_window.pad;
  switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED:
      if (SDL_GameController* c = SDL_GameControllerOpen(e.cdevice.which)) pad.open.push_back(c);
      return false;
    case SDL_CONTROLLERDEVICEREMOVED:
      for (size_t i = 0; i < pad.open.size(); ++i)
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(pad.open[i])) == e.cdevice.which) {
          SDL_GameControllerClose(pad.open[i]);
          pad.open.erase(pad.open.begin() + static_cast<long>(i));
          break;
        }
      pad.held_key = 0;
      return false;
    case SDL_CONTROLLERBUTTONDOWN: {
      const Uint8 b = e.cbutton.button;
      if (const int key = pad_direction_key(b)) {
        hold_direction(key);
        ev = pad_key(key);
        return true;
      }
      switch (b) {
        case SDL_CONTROLLER_BUTTON_A: ev = pad_key(window_key_activate); return true;
        case SDL_CONTROLLER_BUTTON_B: ev = pad_key(window_key_escape); return true;
        case SDL_CONTROLLER_BUTTON_START: ev = pad_key(window_key_return); return true;
        case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: ev = pad_key(window_key_tab); return true;
        case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: ev = pad_key(window_key_tab, window_mod_shift); return true;
        default: return false;
      }
    }
    case SDL_CONTROLLERBUTTONUP:
      if (const int key = pad_direction_key(e.cbutton.button)) release_direction(key);
      return false;
    case SDL_CONTROLLERAXISMOTION: {
      const bool x_axis = e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX;
      if (!x_axis && e.caxis.axis != SDL_CONTROLLER_AXIS_LEFTY) return false;
      int& dir = x_axis ? pad.stick_x : pad.stick_y;
      const int v = e.caxis.value;
      const int was = dir;
      if (v > k_stick_on) dir = 1;
      else if (v < -k_stick_on) dir = -1;
      else if (v > -k_stick_off && v < k_stick_off) dir = 0;
      if (dir == was) return false;
      const int was_key = was == 0 ? 0 : x_axis ? (was > 0 ? window_key_right : window_key_left)
                                                : (was > 0 ? window_key_down : window_key_up);
      if (was_key) release_direction(was_key);
      if (dir == 0) return false;
      const int key = x_axis ? (dir > 0 ? window_key_right : window_key_left)
                             : (dir > 0 ? window_key_down : window_key_up);
      hold_direction(key);
      ev = pad_key(key);
      return true;
    }
    default:
      return false;
  }
}

void start_pads() {
  PadState& pad = g_window.pad;
  if (pad.started) return;
  // Without the subsystem (a build without it) the keyboard and the mouse still serve.
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    log_text(std::string("No game controllers: ") + SDL_GetError() + "\n");
    return;
  }
  pad.started = true;
}

void stop_pads() {
  PadState& pad = g_window.pad;
  for (SDL_GameController* c : pad.open) SDL_GameControllerClose(c);
  pad.open.clear();
  if (pad.virtual_pad) {
    const SDL_JoystickID id = SDL_JoystickInstanceID(pad.virtual_pad);
    SDL_JoystickClose(pad.virtual_pad);
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
  }
  if (pad.started) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  pad = PadState();
}

int button_of(Uint8 b) {
  if (b == SDL_BUTTON_LEFT) return window_button_left;
  if (b == SDL_BUTTON_RIGHT) return window_button_right;
  return window_button_other;
}

// One SDL event as the program's event; false for events the program ignores.
bool translate(const SDL_Event& e, WindowEvent& ev) {
  ev = WindowEvent();
  switch (e.type) {
    case SDL_QUIT: ev.kind = window_event_close; return true;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        ev.kind = window_event_resize;
        if (g_window.window) SDL_GL_GetDrawableSize(g_window.window, &ev.x, &ev.y);
        return ev.x > 0 && ev.y > 0;
      }
      ev.kind = window_event_close;
      return e.window.event == SDL_WINDOWEVENT_CLOSE;
    case SDL_MOUSEMOTION:
      ev.kind = window_event_mouse_move;
      ev.x = e.motion.x;
      ev.y = e.motion.y;
      return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      ev.kind = e.type == SDL_MOUSEBUTTONDOWN ? window_event_button_down : window_event_button_up;
      ev.x = e.button.x;
      ev.y = e.button.y;
      ev.button = button_of(e.button.button);
      return true;
    case SDL_MOUSEWHEEL:
      ev.kind = window_event_wheel;
      ev.wheel = static_cast<float>(e.wheel.y);
      return true;
    case SDL_KEYDOWN: {
      ev.kind = window_event_key_down;
      const SDL_Keycode k = e.key.keysym.sym;
      ev.key = key_of(k);
      ev.return_key = k == SDLK_RETURN || k == SDLK_KP_ENTER || k == SDLK_EQUALS;
      ev.repeat = e.key.repeat != 0;
      const Uint16 m = e.key.keysym.mod;
      ev.mods = ((m & KMOD_SHIFT) ? window_mod_shift : 0) | ((m & KMOD_CTRL) ? window_mod_ctrl : 0) |
                ((m & KMOD_ALT) ? window_mod_alt : 0);
      return true;
    }
    case SDL_TEXTINPUT:
      ev.kind = window_event_text;
      ev.text = e.text.text;
      return true;
    default: return translate_pad(e, ev);
  }
}

void take(const SDL_Event& e, std::vector<WindowEvent>& out, int& count) {
  WindowEvent ev;
  if (!translate(e, ev)) return;
  if (ev.kind == window_event_resize) {
    // The window manager sized the window (a maximised small-screen window): draw into
    // all of it from now on.
    g_window.info.width = ev.x;
    g_window.info.height = ev.y;
    window_set_projection();
  }
  out.push_back(std::move(ev));
  ++count;
}

}  // namespace

void window_set_log(void (*log)(const std::string& text)) { g_window.log = log; }

WindowPlan plan_window(const WindowSettings& s, int monitor_w, int monitor_h, int usable_w, int usable_h) {
  WindowPlan plan;
  plan.scale = s.scale < 1 ? 1 : s.scale;
  auto with_caption = [&](int scale) {
    return s.width * scale <= usable_w && s.height * scale + k_caption_allowance <= usable_h;
  };
  auto bare = [&](int scale) { return s.width * scale <= monitor_w && s.height * scale <= monitor_h; };
  if (s.scale_from_desktop)
    while (plan.scale > 1 && !with_caption(plan.scale) && !bare(plan.scale)) --plan.scale;
  plan.width = s.width * plan.scale;
  plan.height = s.height * plan.scale;
  if (with_caption(plan.scale)) return plan;
  if (bare(plan.scale)) {
    plan.caption = false;
    return plan;
  }
  plan.fits = false;
  plan.width = usable_w > 0 ? usable_w : monitor_w;
  plan.height = usable_h > 0 ? usable_h : monitor_h;
  return plan;
}

int window_create(const WindowSettings& s) {
  window_destroy();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    log_text(std::string("Could not start the video system: ") + SDL_GetError() + "\n");
    return window_no_video;
  }
  g_window.video_started = true;
  WindowInfo& info = g_window.info;
  info = WindowInfo();
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    info.monitor_width = mode.w;
    info.monitor_height = mode.h;
  } else {
    info.monitor_width = s.width * s.scale;
    info.monitor_height = s.height * s.scale;
  }
  SDL_Rect usable = {0, 0, info.monitor_width, info.monitor_height};
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) usable = SDL_Rect{0, 0, info.monitor_width, info.monitor_height};
  const WindowPlan plan = plan_window(s, info.monitor_width, info.monitor_height, usable.w, usable.h);
  int x = s.offset_x, y = s.offset_y;
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  if (!plan.caption) flags |= SDL_WINDOW_BORDERLESS;
  if (!plan.fits) {
    log_text("The window was last: " + std::to_string(s.width * plan.scale) + "," +
             std::to_string(s.height * plan.scale) + " and my monitor is " + std::to_string(info.monitor_width) +
             "," + std::to_string(info.monitor_height) + ".  Setting window to " + std::to_string(plan.width) +
             "x" + std::to_string(plan.height) + " it fits on screen.\n");
    // The window manager takes its caption bar from the usable area; the page is drawn
    // scaled into whatever client area that leaves.
    flags |= SDL_WINDOW_RESIZABLE | SDL_WINDOW_MAXIMIZED;
    x += usable.x;
    y += usable.y;
  }

  // The preferred multisampling level first, down to 1, then none; for each the
  // deepest depth buffer, with and without destination alpha.
  const int preferred = s.antialias < 0 ? 0 : (s.antialias > 4 ? 4 : s.antialias);
  bool made = false;
  for (int level = preferred; level >= 0 && !made; --level)
    for (int depth : {32, 24})
      for (bool alpha : {true, false}) {
        if (made) break;
        set_format(s.colour_depth, alpha, depth, level);
        if (try_window(x, y, plan.width, plan.height, flags)) {
          made = true;
          info.antialias = level;
        }
      }
  if (!made) {
    log_text(std::string("Could not make the window and its OpenGL context: ") + SDL_GetError() + "\n");
    return window_no_context;
  }
  int depth_bits = 0;
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth_bits);
  info.depth_bits = depth_bits;
  SDL_GL_GetDrawableSize(g_window.window, &info.width, &info.height);

  info.vsync = SDL_GL_SetSwapInterval(s.swap_interval) == 0;
  if (!info.vsync)
    log_text("Warning: unable to set vsync - your video card's driver does not support setting v-sync from Zephiro.\n");

  set_fixed_state(info.antialias > 0);
  window_set_projection();
  start_pads();
  return window_ok;
}

void window_show() {
  if (!g_window.window) return;
  SDL_ShowWindow(g_window.window);
  // Typed text is asked for only while a text field has the focus.
  SDL_StopTextInput();
}

void window_destroy() {
  stop_pads();
  if (g_window.context) SDL_GL_DeleteContext(g_window.context);
  if (g_window.window) SDL_DestroyWindow(g_window.window);
  for (SDL_Cursor*& cur : g_window.cursors)
    if (cur) {
      SDL_FreeCursor(cur);
      cur = nullptr;
    }
  g_window.context = nullptr;
  g_window.window = nullptr;
  if (g_window.video_started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  g_window.video_started = false;
}

bool window_exists() { return g_window.window != nullptr; }

const WindowInfo& window_info() { return g_window.info; }

void window_set_projection() {
  glViewport(0, 0, g_window.info.width, g_window.info.height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, g_window.info.width, 0, g_window.info.height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void window_swap() {
  if (g_window.window) SDL_GL_SwapWindow(g_window.window);
}

void window_clear(float r, float g, float b) {
  glClearColor(r, g, b, 1.0f);
  glClearDepth(1.0);
  // The depth mask also guards clearing; drawing keeps depth writes off.
  glDepthMask(GL_TRUE);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDepthMask(GL_FALSE);
}

// A direction held on a controller repeats as a held key does.
void repeat_held_direction(std::vector<WindowEvent>& out, int& count) {
  PadState& pad = g_window.pad;
  if (!pad.held_key || !SDL_TICKS_PASSED(SDL_GetTicks(), pad.next_repeat)) return;
  pad.next_repeat = SDL_GetTicks() + k_pad_repeat_interval;
  out.push_back(pad_key(pad.held_key, 0, true));
  ++count;
}

int window_pump_events(int wait_ms, std::vector<WindowEvent>& out) {
  int count = 0;
  SDL_Event e;
  while (SDL_PollEvent(&e)) take(e, out, count);
  repeat_held_direction(out, count);
  if (count == 0 && wait_ms > 0) {
    // A held direction wakes the wait when it is due to repeat.
    if (g_window.pad.held_key) {
      const Sint64 due = static_cast<Sint64>(g_window.pad.next_repeat) - SDL_GetTicks();
      wait_ms = static_cast<int>(due < 1 ? 1 : (due < wait_ms ? due : wait_ms));
    }
    if (SDL_WaitEventTimeout(&e, wait_ms)) {
      take(e, out, count);
      while (SDL_PollEvent(&e)) take(e, out, count);
    }
    repeat_held_direction(out, count);
  }
  return count;
}

void window_push_key(int key, int mods, const std::string& text) {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_KEYDOWN;
  e.key.state = SDL_PRESSED;
  e.key.keysym.sym = sym_of(key);
  e.key.keysym.scancode = SDL_GetScancodeFromKey(e.key.keysym.sym);
  e.key.keysym.mod = static_cast<Uint16>(((mods & window_mod_shift) ? KMOD_LSHIFT : 0) |
                                         ((mods & window_mod_ctrl) ? KMOD_LCTRL : 0) |
                                         ((mods & window_mod_alt) ? KMOD_LALT : 0));
  if (g_window.window) e.key.windowID = SDL_GetWindowID(g_window.window);
  SDL_PushEvent(&e);
  // A key that types something types it only while text input is on, as from the keyboard.
  if (!text.empty() && !(mods & (window_mod_ctrl | window_mod_alt)) && SDL_IsTextInputActive())
    window_push_text(text);
}

void window_push_text(const std::string& text) {
  // SDL's text event holds a little at a time; the pieces end on character starts.
  const size_t room = sizeof(SDL_TextInputEvent::text) - 1;
  for (size_t at = 0; at < text.size();) {
    size_t end = at + room < text.size() ? at + room : text.size();
    while (end > at + 1 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_TEXTINPUT;
    if (g_window.window) e.text.windowID = SDL_GetWindowID(g_window.window);
    text.copy(e.text.text, end - at, at);
    SDL_PushEvent(&e);
    at = end;
  }
}

void window_set_text_input(bool on) {
  if (!g_window.window || on == (SDL_IsTextInputActive() == SDL_TRUE)) return;
  if (on)
    SDL_StartTextInput();
  else
    SDL_StopTextInput();
}

bool window_text_input_on() { return g_window.window && SDL_IsTextInputActive(); }

namespace {

// The virtual controller, attached at its first use; null when it cannot be made.
SDL_Joystick* virtual_pad() {
  PadState& pad = g_window.pad;
  if (pad.virtual_pad || !pad.started) return pad.virtual_pad;
  // A scripted controller acts whether or not the window has the keyboard's focus (a
  // virtual screen may give it to none).
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                              SDL_CONTROLLER_BUTTON_MAX, 0);
  if (index < 0) {
    log_text(std::string("Could not attach a virtual game controller: ") + SDL_GetError() + "\n");
    return nullptr;
  }
  pad.virtual_pad = SDL_JoystickOpen(index);
  return pad.virtual_pad;
}

int sdl_pad_button(int button) {
  switch (button) {
    case pad_a: return SDL_CONTROLLER_BUTTON_A;
    case pad_b: return SDL_CONTROLLER_BUTTON_B;
    case pad_x: return SDL_CONTROLLER_BUTTON_X;
    case pad_y: return SDL_CONTROLLER_BUTTON_Y;
    case pad_back: return SDL_CONTROLLER_BUTTON_BACK;
    case pad_start: return SDL_CONTROLLER_BUTTON_START;
    case pad_left_shoulder: return SDL_CONTROLLER_BUTTON_LEFTSHOULDER;
    case pad_right_shoulder: return SDL_CONTROLLER_BUTTON_RIGHTSHOULDER;
    case pad_up: return SDL_CONTROLLER_BUTTON_DPAD_UP;
    case pad_down: return SDL_CONTROLLER_BUTTON_DPAD_DOWN;
    case pad_left: return SDL_CONTROLLER_BUTTON_DPAD_LEFT;
    case pad_right: return SDL_CONTROLLER_BUTTON_DPAD_RIGHT;
    default: return -1;
  }
}

Sint16 stick_value(float v) {
  if (v > 1) v = 1;
  if (v < -1) v = -1;
  return static_cast<Sint16>(v * 32767);
}

}  // namespace

int window_virtual_pad_attach() { return virtual_pad() ? 0 : 1; }

bool window_virtual_pad_attached() { return g_window.pad.virtual_pad != nullptr; }

int window_virtual_pad_button(int button, bool down) {
  SDL_Joystick* j = g_window.pad.virtual_pad;
  const int b = sdl_pad_button(button);
  if (!j || b < 0) return 1;
  return SDL_JoystickSetVirtualButton(j, b, down ? SDL_PRESSED : SDL_RELEASED) == 0 ? 0 : 1;
}

int window_virtual_pad_stick(float x, float y) {
  SDL_Joystick* j = g_window.pad.virtual_pad;
  if (!j) return 1;
  const bool ok = SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_LEFTX, stick_value(x)) == 0 &&
                  SDL_JoystickSetVirtualAxis(j, SDL_CONTROLLER_AXIS_LEFTY, stick_value(y)) == 0;
  return ok ? 0 : 1;
}

void window_push_mouse(int client_x, int client_y, int button) {
  SDL_Event e;
  SDL_zero(e);
  if (button == 0) {
    e.type = SDL_MOUSEMOTION;
    e.motion.x = client_x;
    e.motion.y = client_y;
  } else {
    e.type = button > 0 ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = button > 0 ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = client_x;
    e.button.y = client_y;
  }
  SDL_PushEvent(&e);
}

void window_push_close() {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
}

int window_read_pixels(int& width, int& height, std::vector<unsigned char>& rgba) {
  width = height = 0;
  rgba.clear();
  if (!g_window.window) return 1;
  width = g_window.info.width;
  height = g_window.info.height;
  rgba.assign(static_cast<size_t>(width) * height * 4, 0);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
  return glGetError() == GL_NO_ERROR ? 0 : 2;
}

std::string window_clipboard() {
  char* text = SDL_GetClipboardText();
  std::string out = text ? text : "";
  SDL_free(text);
  return out;
}

void window_set_clipboard(const std::string& text) { SDL_SetClipboardText(text.c_str()); }

void window_set_cursor(int cursor) {
  if (cursor < 0 || cursor > 2 || !g_window.window) return;
  static const SDL_SystemCursor kinds[3] = {SDL_SYSTEM_CURSOR_ARROW, SDL_SYSTEM_CURSOR_HAND, SDL_SYSTEM_CURSOR_IBEAM};
  if (!g_window.cursors[cursor]) g_window.cursors[cursor] = SDL_CreateSystemCursor(kinds[cursor]);
  if (g_window.cursors[cursor]) SDL_SetCursor(g_window.cursors[cursor]);
}

int window_message_box(const std::string& title, const std::string& text, bool error) {
  return SDL_ShowSimpleMessageBox(error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION, title.c_str(),
                                  text.c_str(), g_window.window);
}

void* window_create_shared_context() {
  if (!g_window.window || !g_window.context) return nullptr;
  SDL_GL_MakeCurrent(g_window.window, g_window.context);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
  SDL_GLContext shared = SDL_GL_CreateContext(g_window.window);
  SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
  if (!shared) log_text(std::string("Could not make loader gl context: ") + SDL_GetError() + "\n");
  // Creating a context makes it current: give the main thread its own back.
  if (SDL_GL_MakeCurrent(g_window.window, g_window.context) != 0)
    log_text(std::string("Failed to release GL context frmo main thread: ") + SDL_GetError() + "\n");
  return shared;
}

bool window_bind_context(void* context) {
  if (!g_window.window) return false;
  if (SDL_GL_MakeCurrent(g_window.window, static_cast<SDL_GLContext>(context)) != 0) {
    log_text(std::string("Could not set loader ctx: ") + SDL_GetError() + "\n");
    return false;
  }
  return true;
}

void window_delete_context(void* context) {
  if (context) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
}

bool window_bind_main_context() {
  return g_window.window && SDL_GL_MakeCurrent(g_window.window, g_window.context) == 0;
}

void window_finish_drawing() { glFinish(); }
