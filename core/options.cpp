#include "core/options.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "core/log.h"
#include "core/version.h"
#include "platform/system_info.h"

namespace {

struct OptionsState {
  std::map<std::string, std::string> table;
  std::string program_name = "zephiro-installer";  // as the program was run
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
  if (table.count(name))
    LOG << "WARNING: command line option " << name << (value.empty() ? "" : "=" + value) << " used twice.\n";
  table[name] = value;
  if (value.empty())
    LOG << "     '" << name << "'\n";
  else
    LOG << "     '" << name << "'='" << value << "'\n";
}

// The installer's own options, after the line that names the program.
const char* const k_installer_options =
    "\n"
    "Installs Zephiro 9 from its DVDs, changes the scenery of an installed copy,\n"
    "repairs it or removes it. Without the options that name a copy it opens its\n"
    "window; with one of them it works without a window (no display is needed).\n"
    "Flags take the form --flag or --flag=value. A flag given twice keeps the\n"
    "last value.\n"
    "\n"
    "OPTIONS OF THE INSTALLER:\n"
    "\n"
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
    "--scenery=all|none|TILE,...\n"
    "    The scenery to install with --install or --modify: all of it, none,\n"
    "    or a comma-separated list of 10-by-10 degree tiles named by their\n"
    "    south-west corner, such as +40-080,-10+110. A tile the discs lack is\n"
    "    refused, and the discs' tiles are listed.\n"
    "--conflicts=keep|overwrite|cancel\n"
    "    What to do without a window when a file of the copy was changed by\n"
    "    the user: keep it, overwrite it, or cancel the whole operation.\n"
    "--no_menu_entry\n"
    "    Give installed copies no entry in the desktop's applications menu.\n"
    "--dvd_drives=DIR[:DIR...]\n"
    "    Treat these folders or disc images (.iso) as the drives, instead of\n"
    "    the mounted discs (for example a copy of the install discs on disk).\n"
    "    On Windows they are separated by ';'.\n"
    "--os=ALL|APL|IBM|LIN\n"
    "    Install the files of this platform: all, Mac, Windows or Linux (the\n"
    "    platform the installer runs on by default).\n"
    "--scale=N\n"
    "    Open the window N times larger than 800 x 600 (N from 1 to 8), with\n"
    "    text drawn sharp at that size. Without it the desktop's scale factor\n"
    "    (GDK_SCALE, or 2 when Xft.dpi is 192 or more) is used as far as the\n"
    "    screen allows. --scale=1 keeps the window at 800 x 600.\n"
    "--version\n"
    "    Print the installer's version and quit.\n"
    "--cmnds=<match>\n"
    "    Print the commands whose names match (all: every command) and quit.\n"
    "    The installer has none.\n"
    "--num_workers=n\n"
    "    Load textures with n graphics workers.\n"
    "--lock_main_thread\n"
    "    Keep the main thread on the second processor.\n"
    "--monitor_offset_x=n\n"
    "    Place the window n pixels from the left of the screen.\n"
    "--monitor_offset_y=n\n"
    "    Place the window n pixels from the top of the screen.\n"
    "\n"
    "The options below are shared with the simulator. Some of them belong to\n"
    "the simulator alone and are accepted here only so that one command line\n"
    "serves both programs.\n";

// The options shared with the simulator the installer belongs to.
const char* const k_usage =
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

// What names an option in a line of the usage text: the line begins with '-', and the
// name ends at the first '=', '<', ',', '|' or blank. A name ending ':' (--pref:) begins
// a family of options.
std::vector<std::string> names_in_usage(const std::string& usage) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start < usage.size()) {
    size_t end = usage.find('\n', start);
    if (end == std::string::npos) end = usage.size();
    if (usage[start] == '-') {
      size_t stop = usage.find_first_of("=<,| \n", start);
      names.push_back(usage.substr(start, (stop == std::string::npos ? end : stop) - start));
    }
    start = end + 1;
  }
  return names;
}

const std::vector<std::string>& known_options() {
  static const std::vector<std::string> names =
      names_in_usage(std::string(k_installer_options) + k_usage);
  return names;
}

// The number of single-character edits that turn `a` into `b`.
size_t edit_distance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string file_name_of(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The code a run ends with when it could not start.
const int k_exit_not_started = 3;

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
  if (argc > 0 && argv[0] && *argv[0]) state().program_name = file_name_of(argv[0]);
  for (int i = 1; i < argc; ++i)
    if (argv[i]) add_option_token(argv[i]);
  // A mistyped option would otherwise be ignored, and the run do something else than asked.
  for (int i = 1; i < argc; ++i) {
    if (!argv[i]) continue;
    const std::string token = argv[i];
    const std::string name = token.substr(0, token.find('='));
    if (name.empty() || is_known_option(name)) continue;
    const std::string message = "ERROR: unknown option \"" + name + "\"; the nearest known option is " +
                                nearest_known_option(name) + ". \"" + program_name() +
                                " --help\" lists the options.";
    std::cerr << message << "\n";
    LOG << message << "\n";
    log_close();
    std::exit(k_exit_not_started);
  }
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

std::string usage_text() {
  return "Usage: " + program_name() + " [options...]\n" + k_installer_options + k_usage;
}

const std::string& program_name() { return state().program_name; }

bool is_known_option(const std::string& name) {
  for (const std::string& known : known_options()) {
    const bool family = known.back() == ':';  // a key must follow
    if (!family && name == known) return true;
    if (family && name.size() > known.size() && name.compare(0, known.size(), known) == 0) return true;
  }
  return false;
}

std::string nearest_known_option(const std::string& name) {
  std::string nearest;
  size_t best = std::string::npos;
  for (const std::string& known : known_options()) {
    const size_t d = edit_distance(name, known);
    if (d < best) {
      best = d;
      nearest = known;
    }
  }
  return nearest;
}
