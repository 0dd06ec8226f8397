#include "platform/window_sdl.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_opengl.h>

#include <cstdlib>
#include <vector>

#include "platform/sanitizers.h"

namespace {

struct WindowState {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  WindowInfo info;
  SDL_Cursor* cursors[3] = {nullptr, nullptr, nullptr};
  bool video_started = false;
  void (*log)(const std::string&) = nullptr;
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
    default: break;
  }
  if ((k >= 'a' && k <= 'z') || (k >= '0' && k <= '9')) return static_cast<int>(k);
  return window_key_other;
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
      const Uint16 m = e.key.keysym.mod;
      ev.mods = ((m & KMOD_SHIFT) ? window_mod_shift : 0) | ((m & KMOD_CTRL) ? window_mod_ctrl : 0) |
                ((m & KMOD_ALT) ? window_mod_alt : 0);
      return true;
    }
    case SDL_TEXTINPUT:
      ev.kind = window_event_text;
      ev.text = e.text.text;
      return true;
    default: return false;
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
  return window_ok;
}

void window_show() {
  if (!g_window.window) return;
  SDL_ShowWindow(g_window.window);
  SDL_StartTextInput();
}

void window_destroy() {
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

int window_pump_events(int wait_ms, std::vector<WindowEvent>& out) {
  int count = 0;
  SDL_Event e;
  while (SDL_PollEvent(&e)) take(e, out, count);
  if (count == 0 && wait_ms > 0 && SDL_WaitEventTimeout(&e, wait_ms)) {
    take(e, out, count);
    while (SDL_PollEvent(&e)) take(e, out, count);
  }
  return count;
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
