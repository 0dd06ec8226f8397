#include "core/options.h"

#include <cctype>
#include <cstdlib>
#include <iostream>

#include "core/log.h"
#include "core/version.h"
#include "platform/system_info.h"

namespace {

struct OptionsState {
  std::map<std::string, std::string> table;
};

OptionsState& state() {
  static OptionsState s;
  return s;
}

void add_option_token(const std::string& token) {
  size_t eq = token.find('=');
  std::string name = token.substr(0, eq);
  std::string value = eq == std::string::npos ? std::string() : token.substr(eq + 1);
  if (name.empty()) return;
  auto& table = state().table;
  if (table.count(name)) LOG << "WARNING: command line option " << name << value << "used twice.\n";
  table[name] = value;
  if (value.empty())
    LOG << "     '" << name << "'\n";
  else
    LOG << "     '" << name << "'='" << value << "'\n";
}

const char* const k_usage =
    "Usage: Zephiro [options...]\n"
    "\n"
    "Flags take the form --flag or --flag=value. A flag given twice keeps the\n"
    "last value. Some of these options belong to the simulator and are accepted\n"
    "here only so that one command line serves both programs.\n"
    "\n"
    "OPTIONS THAT AUTO-CONFIGURE THE SIMULATOR:\n"
    "\n"
    "--help\n"
    "    Print this text and quit.\n"
    "-h\n"
    "    The same as --help.\n"
    "--no_sound\n"
    "    Start without opening the sound device.\n"
    "--missing_strings\n"
    "    Write every message that has no translation in the chosen language\n"
    "    to the log.\n"
    "--lang=<lang code>\n"
    "    Use this language instead of the system's: en, fr, de, ru, it or es.\n"
    "--allow_rosetta\n"
    "    Run even under an instruction-set translator (simulator only).\n"
    "--pref:<key>=<value>\n"
    "    Use this value for the preference <key>, whatever the preferences\n"
    "    file says. Example: --pref:_log_actions=1\n"
    "--dref:<ref>=<value>\n"
    "    Set a simulator data reference at start-up. The installer accepts\n"
    "    and ignores it.\n"
    "\n"
    "OPTIONS THAT DISABLE HARDWARE ACCELERATION:\n"
    "\n"
    "--no_vbos\n"
    "    Do not keep geometry in video memory (vertex buffer objects).\n"
    "--no_fbos\n"
    "    Do not render to textures (frame buffer objects).\n"
    "--no_pbos\n"
    "    Do not upload through pixel buffer objects.\n"
    "--no_sprites\n"
    "    Do not draw point sprites.\n"
    "--no_pixel_counters\n"
    "    Do not use occlusion queries.\n"
    "--no_aniso_filtering\n"
    "    Turn anisotropic texture filtering off.\n"
    "--no_hw_mipmap\n"
    "    Build texture mipmaps on the processor instead of the card.\n"
    "--no_fshaders\n"
    "    Do not use fragment shaders.\n"
    "--no_vshaders\n"
    "    Do not use vertex shaders.\n"
    "--no_glsl\n"
    "    Do not use the OpenGL shading language at all.\n"
    "--limited_glsl\n"
    "    Use only the shader features every driver gets right.\n"
    "--unlimited_glsl\n"
    "    Use every shader feature the driver reports, even doubtful ones.\n"
    "--no_threaded_ogl\n"
    "    Load textures on the main thread only, with no graphics workers.\n"
    "\n"
    "OPTIONS THAT ENABLE INCOMPATIBLE HARDWARE ACCELERATION:\n"
    "\n"
    "--use_vbos\n"
    "    Use vertex buffer objects even where the driver is known to fail.\n"
    "--use_sprites\n"
    "    Use point sprites even where the driver is known to fail.\n"
    "--use_fshaders\n"
    "    Use fragment shaders even where the driver is known to fail.\n"
    "--use_vshaders\n"
    "    Use vertex shaders even where the driver is known to fail.\n"
    "--use_glsl\n"
    "    Use the OpenGL shading language even where it is known to fail.\n"
    "--use_fbos\n"
    "    Use frame buffer objects even where the driver is known to fail.\n"
    "--force_run\n"
    "    Start even when the graphics card is below the minimum.\n"
    "\n"
    "FRAME-RATE TEST:\n"
    "\n"
    "--fps_test=n\n"
    "    Run frame-rate test number n. Alerts go to the log and preferences\n"
    "    are not saved.\n"
    "--require_fps=n\n"
    "    With --fps_test: report failure when the rate stays below n.\n"
    "--qa_script=<file>\n"
    "    Run the test script <file>. Alerts go to the log and preferences\n"
    "    are not saved.\n";

const char* const k_port_options =
    "\n"
    "Options of the Linux version:\n"
    "\n"
    "--dvd_drives=DIR[:DIR...]\n"
    "    Treat these folders as the roots of the drives, instead of the\n"
    "    mounted discs (for example a copy of the install discs on disk).\n"
    "--scale=N\n"
    "    Open the window N times larger than 800 x 600 (N from 1 to 8), with\n"
    "    text drawn sharp at that size. Without it the desktop's scale factor\n"
    "    (GDK_SCALE, or 2 when Xft.dpi is 192 or more) is used as far as the\n"
    "    screen allows. --scale=1 keeps the window at 800 x 600.\n"

    "--install=DIR\n"
    "    Install the simulator from the discs into DIR without opening a\n"
    "    window.\n"
    "--modify=DIR\n"
    "    Add or remove scenery of the copy in DIR without opening a window\n"
    "    (see --scenery).\n"
    "--repair=DIR\n"
    "    Reinstall the missing and damaged files of the copy in DIR without\n"
    "    opening a window.\n"
    "--verify=DIR\n"
    "    Check the files of the copy in DIR against the discs and report,\n"
    "    changing nothing.\n"
    "--uninstall=DIR\n"
    "    Remove the copy in DIR without opening a window: the files it was\n"
    "    installed with; files you made or changed are kept and listed.\n"
    "--no_menu_entry\n"
    "    Give installed copies no entry in the desktop's applications menu.\n"
    "--scenery=all|none|TILE,...\n"
    "    The scenery to install with --install or --modify: all of it, none,\n"
    "    or a comma-separated list of 10-by-10 degree tiles.\n"
    "--conflicts=keep|overwrite|cancel\n"
    "    What to do without a window when a file of the copy was changed by\n"
    "    the user: keep it, overwrite it, or cancel the whole operation.\n";

}  // namespace

void parse_option_tokens(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    size_t start = i;
    while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i > start) add_option_token(text.substr(start, i - start));
  }
}

void parse_command_line(int argc, char** argv) {
  // The shell has already split the line into words; a quoted word (a folder with a
  // space in its name) stays one option.
  for (int i = 1; i < argc; ++i)
    if (argv[i]) add_option_token(argv[i]);
  if (run_printing_options(std::cout)) {
    std::cout.flush();
    log_close();
    std::exit(0);
  }
}

bool run_printing_options(std::ostream& out) {
  if (has_option("--cmnds")) {
    // The command registry belongs to the simulator's key map; the installer registers
    // none, so both the full list and any match are empty.
    return true;
  }
  if (has_option("--version")) {
    out << ZEPHIRO_VERSION_TEXT << "\n";
    // Which systems a build runs on: the release is built against an old glibc for this.
    const std::string glibc = needed_glibc_version();
    if (!glibc.empty()) out << "Needs glibc " << glibc << " or newer\n";
    return true;
  }
  if (has_option("-h") || has_option("--help")) {
    out << usage_text();
    return true;
  }
  return false;
}

bool has_option(const std::string& name) { return state().table.count(name) != 0; }

std::string option_value(const std::string& name) {
  auto it = state().table.find(name);
  return it == state().table.end() ? std::string() : it->second;
}

const std::map<std::string, std::string>& option_table() { return state().table; }

void reset_options() { state().table.clear(); }

const std::string& usage_text() {
  static const std::string text = std::string(k_usage) + k_port_options;
  return text;
}
