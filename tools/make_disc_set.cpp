// Builds a complete Zephiro 9 DVD set in folders, for the tests, the demo and the benchmarks:
// one folder per disc, each holding the set's DVD Version folder with one archive per
// installed file (zip, or 7z for global scenery) and the manifest archive directory.txt.zip;
// dvd_version.txt on the first disc. With --iso each disc is also mastered as a disc image
// by xorriso, as a pressed DVD would be (ISO 9660 with Joliet and Rock Ridge names,
// read-only files and folders, a volume id per disc). Archives are made by the real zip and 7-Zip programs
// when they are installed (libarchive otherwise), so the installer reads archives it did
// not write itself. Everything follows from the seed: the same command gives the same set.

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "io/md5.h"

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "Usage: make_disc_set --out=DIR [options]\n"
    "Builds a Zephiro 9 DVD set in DIR/disc1 ... DIR/discN.\n"
    "\n"
    "  --out=DIR          folder for the set (created; must be empty unless --force)\n"
    "  --discs=N          number of discs (default 3)\n"
    "  --size=SIZE        tiny (a few KB), small (about 24 MB), large (about 3 GB; takes some\n"
    "                     minutes), or a byte count with an optional K, M or G suffix\n"
    "                     (default tiny). Sets above 50 MB use faster compression levels.\n"
    "  --seed=N           content seed (default 1); the same seed gives the same set\n"
    "  --name=TEXT        the DVD Version: the set's name and folder (default \"Zephiro 9 DVD\")\n"
    "  --old-copy=DIR     also write an installed copy as the first release left it (every\n"
    "                     file at its oldest version), for update and repair runs\n"
    "  --no-tools         make the archives with libarchive even when zip and 7-Zip exist\n"
    "  --release=DIR      put the installer's release folder DIR (tools/release.sh makes\n"
    "                     dist/zephiro-installer) on disc 1 as linux/zephiro-installer/\n"
    "  --windows-program=FILE  the current Zephiro.exe of the set (default: Zephiro.exe beside\n"
    "                     this program when there is one, else stand-in bytes)\n"
    "  --force            replace the disc folders of an earlier set in DIR\n"
    "  --iso              also master each disc as the image DIR/discN.iso with xorriso\n"
    "                     (ISO 9660 + Joliet + Rock Ridge, files 0444 and folders 0555)\n"
    "  --help             this text\n";

const char kTopFolder[] = "Zephiro 9";

// ---------------------------------------------------------------------------------------
// Options

struct Options {
  std::string out;
  int discs = 3;
  uint64_t size = 0;
  uint64_t seed = 1;
  std::string name = "Zephiro 9 DVD";
  std::string old_copy;
  bool use_tools = true;
  bool force = false;
  bool iso = false;
  std::string release;
  std::string windows_program;
};

bool parse_size(const std::string& text, uint64_t& size) {
  if (text == "tiny") return size = 12 * 1000, true;
  if (text == "small") return size = 24 * 1000 * 1000, true;
  if (text == "large") return size = 3ull * 1000 * 1000 * 1000, true;
  char* end = nullptr;
  unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (end == text.c_str()) return false;
  std::string suffix = end;
  if (suffix == "K" || suffix == "k") value *= 1000;
  else if (suffix == "M" || suffix == "m") value *= 1000 * 1000;
  else if (suffix == "G" || suffix == "g") value *= 1000ull * 1000 * 1000;
  else if (!suffix.empty()) return false;
  size = value;
  return value >= 1000;
}

// 0 parsed, 1 help shown, 2 bad usage (message printed).
int parse_options(int argc, char** argv, Options& o) {
  if (!parse_size("tiny", o.size)) return 2;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    size_t eq = arg.find('=');
    std::string key = arg.substr(0, eq), value = eq == std::string::npos ? "" : arg.substr(eq + 1);
    if (key == "--help" || key == "-h") return std::fputs(kUsage, stdout), 1;
    if (key == "--out" && !value.empty()) o.out = value;
    else if (key == "--discs" && std::atoi(value.c_str()) > 0) o.discs = std::atoi(value.c_str());
    else if (key == "--size" && parse_size(value, o.size)) continue;
    else if (key == "--seed" && !value.empty()) o.seed = std::strtoull(value.c_str(), nullptr, 10);
    else if (key == "--name" && !value.empty()) o.name = value;
    else if (key == "--old-copy" && !value.empty()) o.old_copy = value;
    else if (key == "--no-tools") o.use_tools = false;
    else if (key == "--release" && !value.empty()) o.release = value;
    else if (key == "--force") o.force = true;
    else if (key == "--iso") o.iso = true;
    else if (key == "--windows-program" && !value.empty()) o.windows_program = value;
    else return std::fprintf(stderr, "make_disc_set: bad option %s\n\n%s", arg.c_str(), kUsage), 2;
  }
  if (o.out.empty()) return std::fprintf(stderr, "make_disc_set: --out=DIR is required\n\n%s", kUsage), 2;
  return 0;
}

// ---------------------------------------------------------------------------------------
// Deterministic content

struct Random {
  uint64_t state;
  uint64_t next() {  // splitmix64
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint64_t below(uint64_t n) { return next() % n; }
};

uint64_t hash_text(const std::string& text, uint64_t seed) {
  uint64_t h = 1469598103934665603ull ^ seed;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

const char* const kWords[] = {
    "runway",  "heading", "altitude", "flaps",   "trim",     "rudder",  "aileron", "elevator", "throttle",
    "mixture", "pitot",   "static",   "vector",  "approach", "glide",   "slope",   "beacon",   "marker",
    "tower",   "ground",  "taxi",     "hold",    "short",    "cleared", "climb",   "descend",  "maintain",
    "squawk",  "qnh",     "knots",    "feet",    "wind",     "gusting", "visual",  "ils",      "vor",
    "ndb",     "dme",     "fix",      "airway",  "waypoint", "stall",   "lift",    "drag",     "thrust",
    "weight",  "chord",   "camber",   "reynolds", "mach",    "density", "engine",  "propeller", "magneto"};
constexpr int kWordCount = sizeof kWords / sizeof kWords[0];

std::string text_content(Random& r, size_t size) {
  std::string text;
  text.reserve(size + 64);
  char number[32];
  while (text.size() < size) {
    int tokens = 4 + int(r.below(9));
    for (int t = 0; t < tokens; ++t) {
      if (r.below(3) == 0) {
        std::snprintf(number, sizeof number, "%.4f", double(int64_t(r.below(3600000)) - 1800000) / 10000.0);
        text += number;
      } else {
        text += kWords[r.below(kWordCount)];
      }
      text += t + 1 < tokens ? ' ' : '\n';
    }
  }
  text.resize(size);
  return text;
}

// Half noise, half repetitive structure: compresses about as well as real binary data.
std::string binary_content(Random& r, size_t size, const std::string& magic) {
  std::string data;
  data.reserve(size + 256);
  data += magic;
  while (data.size() < size) {
    bool noisy = r.below(2) == 0;
    for (int i = 0; i < 32; ++i) {
      uint64_t v = r.next();
      if (!noisy) v &= 0x0303030303030303ull;
      data.append(reinterpret_cast<const char*>(&v), 8);
    }
  }
  data.resize(size);
  return data;
}

// ---------------------------------------------------------------------------------------
// The set's files

// kind_launcher: the Linux simulator program, a small script that notes each start in a
// file beside it, so that a test can see the installer started it.
enum Kind { kind_text, kind_binary, kind_program, kind_launcher, kind_empty, kind_tile };

struct CatalogueItem {
  const char* path;  // inside the copy
  int platform;      // manifest Platform Code
  Kind kind;
  double weight;     // share of the base files' bytes
  int old_versions;
  bool gone;         // the current version is "GONE": the file left the product
};

const CatalogueItem kCatalogue[] = {
    {"Zephiro.exe", 2, kind_program, 6, 1, false},
    {"Zephiro", 3, kind_launcher, 0.1, 1, false},
    {"Zephiro.app/Contents/MacOS/Zephiro", 1, kind_program, 5, 0, false},
    {"Zephiro.app/Contents/Info.plist", 1, kind_text, 0.2, 0, false},
    {"Airfoils/Clark Y.afl", 0, kind_text, 0.5, 2, false},
    {"Airfoils/NACA 0012 (symmetrical).afl", 0, kind_text, 0.5, 0, false},
    {"Airfoils/NACA 2412.afl", 0, kind_text, 0.5, 0, false},
    {"Instructions/Readme.txt", 0, kind_text, 0.3, 1, false},
    {"Instructions/Zephiro 9 Manual.html", 0, kind_text, 3, 0, false},
    {"Instructions/Images/panel overview.png", 0, kind_binary, 2, 0, false},
    {"Output/situations/Demo Flight.sit", 0, kind_text, 0.3, 0, false},
    {"Output/replays/Demo Landing.rep", 0, kind_binary, 1, 0, false},
    {"Resources/default data/earth_nav.dat", 0, kind_text, 20, 2, false},
    {"Resources/default data/earth_fix.dat", 0, kind_text, 3, 0, false},
    {"Resources/bitmaps/cockpit/-PANELS-/Panel.png", 0, kind_binary, 2, 1, false},
    {"Resources/bitmaps/cockpit/-PANELS-/Panel_lit.png", 0, kind_binary, 1, 0, false},
    {"Resources/fonts/Zephiro Sans.ttf", 0, kind_binary, 1, 0, false},
    {"Resources/sounds/engine/prop_idle.wav", 0, kind_binary, 2, 0, false},
    {"Resources/plugins/PluginAdmin/win.xpl", 2, kind_program, 1, 0, false},
    {"Resources/plugins/PluginAdmin/lin.xpl", 6, kind_program, 1, 0, false},
    {"Resources/plugins/PluginAdmin/mac.xpl", 1, kind_program, 1, 0, false},
    {"Resources/plugins/PluginAdmin/disabled.txt", 0, kind_empty, 0, 0, false},
    {"Resources/plugins/zp_weather_old.xpl", 0, kind_program, 0.5, 1, true},
    {"Resources/settings.txt", 0, kind_text, 0.2, 1, false},
};

struct Version {
  std::string signature;  // or "GONE"
  uint64_t size = 0;
};

struct Group {
  std::string rel;  // path inside the copy
  int platform = 0;
  Kind kind = kind_text;
  uint64_t size = 0;  // of the current version
  int old_versions = 0;
  bool gone = false;
  bool lzma2 = true;  // tiles alternate between the two 7z methods
  int disc = 0;
  uint64_t archive_size = 0;
  std::vector<Version> versions;  // oldest first; the last is current
};

bool executable(const Group& g) {
  return g.kind == kind_launcher || (g.kind == kind_program && g.rel.find(".exe") == std::string::npos);
}

// Each start adds a line to "Zephiro started.txt" in the copy's folder.
std::string launcher_script(int version) {
  return "#!/bin/sh\n"
         "# Zephiro 9, release " + std::to_string(version) + ": stands in for the simulator.\n"
         "echo \"Zephiro 9 started with $# parameters\" >> \"$(dirname \"$0\")/Zephiro started.txt\"\n";
}

std::string content_of(const Group& g, int version, uint64_t seed) {
  Random r{hash_text(g.rel + "#" + std::to_string(version), seed)};
  int newer = g.old_versions + 1 - version;  // older versions are a little smaller
  size_t size = size_t(g.size - g.size * uint64_t(std::min(newer, 5)) / 20);
  switch (g.kind) {
    case kind_empty: return "";
    case kind_launcher: return launcher_script(version);
    case kind_text: return text_content(r, size);
    case kind_program: return binary_content(r, size, g.rel.find(".exe") != std::string::npos ? "MZ" : "\x7f" "ELF");
    case kind_tile: return binary_content(r, size, "XPLNEDSF");
    default: return binary_content(r, size, "");
  }
}

std::string signed_number(int value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%c%0*d", value < 0 ? '-' : '+', digits, value < 0 ? -value : value);
  return text;
}

int floor10(int v) { return v >= 0 ? v / 10 * 10 : -((-v + 9) / 10 * 10); }

// Tiles of land-ish latitudes, in 10-degree folders as the simulator keeps them.
std::vector<Group> make_tiles(int count, uint64_t tile_size, uint64_t seed) {
  Random r{hash_text("tiles", seed)};
  std::set<std::string> names;
  std::vector<Group> tiles;
  while (int(tiles.size()) < count) {
    int lat = int(r.below(120)) - 50, lon = int(r.below(360)) - 180;
    std::string file = signed_number(lat, 2) + signed_number(lon, 3) + ".dsf";
    if (!names.insert(file).second) continue;
    Group g;
    g.rel = "Global Scenery/-global terrain-/" + signed_number(floor10(lat), 2) + signed_number(floor10(lon), 3) +
            "/" + file;
    g.kind = kind_tile;
    g.size = tile_size;
    tiles.push_back(g);
  }
  std::sort(tiles.begin(), tiles.end(), [](const Group& a, const Group& b) { return a.rel < b.rel; });
  for (size_t i = 0; i < tiles.size(); ++i) tiles[i].lzma2 = i % 2 == 0;
  tiles[0].old_versions = 1;
  return tiles;
}

// Half the bytes are base files, half scenery. Base files keep plausible sizes; bigger sets
// add texture files, and their tiles grow.
std::vector<Group> plan_groups(const Options& o) {
  uint64_t scenery = o.size / 2, base = o.size - scenery;
  uint64_t catalogue_bytes = std::min<uint64_t>(base, 16 * 1000 * 1000);
  double weights = 0;
  for (const CatalogueItem& item : kCatalogue) weights += item.weight;
  std::vector<Group> groups;
  for (const CatalogueItem& item : kCatalogue) {
    Group g;
    g.rel = item.path;
    g.platform = item.platform;
    g.kind = item.kind;
    g.old_versions = item.old_versions;
    g.gone = item.gone;
    g.size = item.kind == kind_empty ? 0 : std::max<uint64_t>(24, uint64_t(catalogue_bytes * item.weight / weights));
    groups.push_back(g);
  }
  uint64_t texture_size = std::clamp<uint64_t>(o.size / 500, 4000, 8 * 1000 * 1000);
  for (uint64_t i = 0, n = (base - catalogue_bytes) / texture_size; i < n; ++i) {
    Group g;
    char name[64];
    std::snprintf(name, sizeof name, "Resources/bitmaps/textures/tex_%04llu.png", (unsigned long long)i);
    g.rel = name;
    g.kind = kind_binary;
    g.size = texture_size;
    groups.push_back(g);
  }
  uint64_t tile_target = std::clamp<uint64_t>(o.size / 100, 1000, 32 * 1000 * 1000);
  int tile_count = int(std::clamp<uint64_t>(scenery / tile_target, 4, 600));
  for (Group& tile : make_tiles(tile_count, std::max<uint64_t>(64, scenery / tile_count), o.seed))
    groups.push_back(tile);
  return groups;
}

// Consecutive runs of groups per disc, cut by size; every disc gets at least one archive.
bool assign_discs(std::vector<Group>& groups, int discs) {
  uint64_t total = 0;
  int archives = 0;
  for (const Group& g : groups) total += g.size, archives += g.gone ? 0 : 1;
  if (archives < discs) return false;
  uint64_t before = 0;
  std::vector<int> per_disc(discs, 0);
  for (Group& g : groups) {
    g.disc = total ? int(std::min<uint64_t>(discs - 1, (before + g.size / 2) * discs / total)) : 0;
    before += g.size;
    if (!g.gone) per_disc[g.disc]++;
  }
  if (std::find(per_disc.begin(), per_disc.end(), 0) == per_disc.end()) return true;
  int index = 0;  // sizes too uneven: cut by count instead
  for (Group& g : groups) {
    g.disc = std::min(discs - 1, index * discs / archives);
    if (!g.gone) ++index;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Archives

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string shell_quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string find_program(const std::vector<const char*>& names) {
  for (const char* name : names)
    if (run(std::string("command -v ") + name + " >/dev/null 2>&1")) return name;
  return "";
}

struct Maker {
  Options options;
  std::string stage;     // scratch folder for files being archived
  std::string zip;       // the zip program, or empty to use libarchive
  std::string seven;     // the 7-Zip program, or empty
  bool big = false;      // faster compression levels for very large sets
  std::string windows_program;  // bytes of a real Zephiro.exe, or empty
  std::string error;
};

bool fail(Maker& m, const std::string& what) {
  if (m.error.empty()) m.error = what;
  return false;
}

// A fixed time for every staged file, so the archives come out the same on every run.
void set_fixed_time(const std::string& path) {
  using namespace std::chrono;
  auto offset = fs::file_time_type::clock::now().time_since_epoch() -
                duration_cast<fs::file_time_type::duration>(system_clock::now().time_since_epoch());
  auto whole = round<seconds>(offset);
  fs::file_time_type fixed{duration_cast<fs::file_time_type::duration>(whole + seconds(1296500000))};
  std::error_code ec;
  fs::last_write_time(path, fixed, ec);
}

bool write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  return bool(out);
}

bool libarchive_write(const std::string& archive, const std::string& member, const std::string& bytes, bool exec,
                      bool sevenzip, bool lzma2) {
  struct archive* a = archive_write_new();
  if (sevenzip) {
    archive_write_set_format_7zip(a);
    archive_write_set_format_option(a, "7zip", "compression", lzma2 ? "lzma2" : "lzma1");
  } else {
    archive_write_set_format_zip(a);
    archive_write_set_format_option(a, "zip", "compression", "deflate");
  }
  bool ok = archive_write_open_filename(a, archive.c_str()) == ARCHIVE_OK;
  struct archive_entry* e = archive_entry_new();
  archive_entry_set_pathname(e, member.c_str());
  archive_entry_set_filetype(e, AE_IFREG);
  archive_entry_set_perm(e, exec ? 0755 : 0644);
  archive_entry_set_size(e, la_int64_t(bytes.size()));
  archive_entry_set_mtime(e, 1296500000, 0);
  ok = ok && archive_write_header(a, e) == ARCHIVE_OK;
  ok = ok && (bytes.empty() || archive_write_data(a, bytes.data(), bytes.size()) == la_ssize_t(bytes.size()));
  archive_entry_free(e);
  ok = archive_write_close(a) == ARCHIVE_OK && ok;
  archive_write_free(a);
  return ok;
}

// Writes `bytes` as the single member `member` of `archive` (a .zip or a .7z).
bool make_archive(Maker& m, const std::string& archive, const std::string& member, const std::string& bytes,
                  bool exec, bool lzma2) {
  bool sevenzip = archive.size() > 3 && archive.compare(archive.size() - 3, 3, ".7z") == 0;
  std::error_code ec;
  fs::remove(archive, ec);
  const std::string& program = sevenzip ? m.seven : m.zip;
  if (program.empty()) {
    if (!libarchive_write(archive, member, bytes, exec, sevenzip, lzma2)) return fail(m, "cannot write " + archive);
    return true;
  }
  std::string staged = m.stage + member;
  if (!write_bytes(staged, bytes)) return fail(m, "cannot write " + staged);
  fs::permissions(staged, exec ? fs::perms(0755) : fs::perms(0644), ec);
  set_fixed_time(staged);
  std::string command = "cd " + shell_quoted(m.stage) + " && ";
  if (sevenzip)
    command += program + " a -t7z -bso0 -bsp0 -mtm- -mtc- -mta- -m0=" + (lzma2 ? "LZMA2" : "LZMA") +
               (m.big ? " -mx=1" : " -mx=5") + " -- " + shell_quoted(archive) + " " + shell_quoted(member) + " >/dev/null";
  else
    command += program + " -q -X " + (m.big ? "-1 " : "-6 ") + shell_quoted(archive) + " " + shell_quoted(member);
  bool ok = run(command);
  fs::remove(staged, ec);
  return ok ? true : fail(m, "the archiver failed: " + command);
}

std::string signature_of(Maker& m, const std::string& bytes, const std::string& path) {
  if (!write_bytes(path, bytes)) return fail(m, "cannot write " + path), "";
  std::string signature;
  if (md5_of_file(path, signature) != 0) return fail(m, "cannot read " + path), "";
  return signature;
}

std::string disc_root(const Options& o, int disc) { return o.out + "/disc" + std::to_string(disc + 1) + "/"; }

std::string file_name_of(const std::string& rel) { return rel.substr(rel.find_last_of('/') + 1); }

std::string folder_of(const std::string& rel) {
  size_t cut = rel.find_last_of('/');
  return cut == std::string::npos ? "" : rel.substr(0, cut + 1);
}

// Every version's signature; the current version's archive on its disc; the oldest version
// into the old copy when one is asked for.
bool make_group(Maker& m, Group& g) {
  const Options& o = m.options;
  std::string probe = m.stage + "signature.tmp";
  for (int version = 1; version <= g.old_versions + 1; ++version) {
    bool current = version == g.old_versions + 1;
    if (current && g.gone) {
      g.versions.push_back({"GONE", 0});
      break;
    }
    std::string bytes = content_of(g, version, o.seed);
    // A real program in the current version, so that the Windows installer can start it.
    if (current && g.rel == "Zephiro.exe" && !m.windows_program.empty()) bytes = m.windows_program;
    Version v{signature_of(m, bytes, probe), bytes.size()};
    if (v.signature.empty()) return false;
    g.versions.push_back(v);
    if (version == 1 && !o.old_copy.empty()) {
      std::string path = o.old_copy + "/" + g.rel;
      std::error_code ec;
      fs::create_directories(o.old_copy + "/" + folder_of(g.rel), ec);
      if (!write_bytes(path, bytes)) return fail(m, "cannot write " + path);
      if (executable(g)) fs::permissions(path, fs::perms(0755), ec);
    }
    if (!current) continue;
    std::string archive = disc_root(o, g.disc) + o.name + "/" + kTopFolder + "/" + g.rel +
                          (g.kind == kind_tile ? ".7z" : ".zip");
    std::error_code ec;
    fs::create_directories(folder_of(archive), ec);
    if (!make_archive(m, archive, file_name_of(g.rel), bytes, executable(g), g.lzma2)) return false;
    g.archive_size = fs::file_size(archive, ec);
  }
  std::error_code ec;
  fs::remove(probe, ec);
  return true;
}

uint64_t kilobytes(uint64_t bytes) { return (bytes + 999) / 1000; }

// directory.txt: header, then DISK, DIR and FILE lines in install order.
std::string manifest_text(const std::vector<Group>& groups) {
  std::ostringstream text;
  text << "I\n900\nINSTALLER\n\n";
  int disc = -1;
  std::string prefix = "-";
  for (const Group& g : groups) {
    if (g.disc != disc) text << "DISK " << (disc = g.disc) << "\n";
    size_t slash = g.rel.find('/');
    std::string dir = std::string(kTopFolder) + "/" + (slash == std::string::npos ? "" : g.rel.substr(0, slash + 1));
    if (dir != prefix) text << "DIR " << (prefix = dir) << "\n";
    for (size_t v = 0; v < g.versions.size(); ++v) {
      bool current = v + 1 == g.versions.size();
      text << "FILE " << v + 1 << " " << g.platform << " 0 " << (current ? kilobytes(g.archive_size) : 0) << " "
           << kilobytes(g.versions[v].size) << " " << g.versions[v].signature << " "
           << g.rel.substr(dir.size() - std::string(kTopFolder).size() - 1) << "\n";
    }
  }
  return text.str();
}

bool write_discs(Maker& m, const std::vector<Group>& groups) {
  const Options& o = m.options;
  std::string dvd_version = "A\n900\nDVD\nVERSION " + o.name + "\n";
  if (!write_bytes(disc_root(o, 0) + "dvd_version.txt", dvd_version)) return fail(m, "cannot write dvd_version.txt");
  std::string manifest_zip = m.stage + "directory.txt.zip";
  if (!make_archive(m, manifest_zip, "directory.txt", manifest_text(groups), false, false)) return false;
  for (int disc = 0; disc < o.discs; ++disc) {
    std::error_code ec;
    std::string folder = disc_root(o, disc) + o.name + "/";
    fs::create_directories(folder, ec);
    fs::copy_file(manifest_zip, folder + "directory.txt.zip", fs::copy_options::overwrite_existing, ec);
    if (ec) return fail(m, "cannot write " + folder + "directory.txt.zip");
  }
  return true;
}

// The volume id of a disc: the set's name in the characters ISO 9660 allows, and its number.
std::string volume_id(const Options& o, int disc) {
  std::string id;
  for (char c : o.name) {
    if (c >= 'a' && c <= 'z') c = char(c - 32);
    id += (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ? c : '_';
  }
  std::string number = "_" + std::to_string(disc + 1);
  return id.substr(0, 32 - number.size()) + number;
}

// Masters each disc folder into DIR/discN.iso. -r gives every file and folder the modes of
// a pressed disc (read-only for all, folders searchable), owned by root.
bool master_images(Maker& m) {
  const Options& o = m.options;
  if (find_program({"xorriso"}).empty()) return fail(m, "--iso needs xorriso (apt-get install xorriso)");
  for (int disc = 0; disc < o.discs; ++disc) {
    std::string image = o.out + "/disc" + std::to_string(disc + 1) + ".iso";
    std::error_code ec;
    fs::remove(image, ec);
    std::string command = "xorriso -no_rc -as mkisofs -quiet -r -J -joliet-long -V " +
                          shell_quoted(volume_id(o, disc)) + " -o " + shell_quoted(image) + " " +
                          shell_quoted(disc_root(o, disc)) + " >/dev/null 2>&1";
    if (!run(command)) return fail(m, "xorriso could not make " + image);
  }
  return true;
}

// The installer is started from the disc it ships on: its release folder goes on disc 1.
bool copy_release(Maker& m) {
  const Options& o = m.options;
  std::error_code ec;
  if (!fs::is_directory(o.release, ec)) return fail(m, "no release folder " + o.release);
  const std::string target = disc_root(o, 0) + "linux/zephiro-installer";
  fs::create_directories(target, ec);
  fs::copy(o.release, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  return !ec || fail(m, "cannot copy " + o.release + " to " + target + ": " + ec.message());
}

// The out folder must be empty, or hold an earlier set that --force may replace.
bool prepare_out_folder(Maker& m) {
  const Options& o = m.options;
  std::error_code ec;
  fs::create_directories(o.out, ec);
  if (!fs::is_directory(o.out, ec)) return fail(m, "cannot create " + o.out);
  for (const fs::directory_entry& e : fs::directory_iterator(o.out, ec)) {
    std::string name = e.path().filename().string();
    std::string stem = name.size() > 8 && name.compare(name.size() - 4, 4, ".iso") == 0
                           ? name.substr(0, name.size() - 4) : name;
    bool ours = name == ".stage" || (stem.compare(0, 4, "disc") == 0 && stem.size() > 4 &&
                                     stem.find_first_not_of("0123456789", 4) == std::string::npos);
    if (!o.force) return fail(m, o.out + " is not empty (use --force to replace an earlier set)");
    if (ours) fs::remove_all(e.path(), ec);
  }
  m.stage = o.out + "/.stage/";
  fs::create_directories(m.stage, ec);
  for (int disc = 0; disc < o.discs; ++disc) fs::create_directories(disc_root(o, disc), ec);
  return !ec || fail(m, "cannot create the disc folders in " + o.out);
}

}  // namespace

int main(int argc, char** argv) {
  Maker m;
  int parsed = parse_options(argc, argv, m.options);
  if (parsed) return parsed == 1 ? 0 : 2;
  Options& o = m.options;
  o.out = fs::absolute(o.out).lexically_normal().string();
  while (o.out.size() > 1 && o.out.back() == '/') o.out.pop_back();
  if (!o.release.empty()) o.release = fs::absolute(o.release).lexically_normal().string();
  if (!o.old_copy.empty()) o.old_copy = fs::absolute(o.old_copy).lexically_normal().string();
  if (o.windows_program.empty()) {
    fs::path beside = fs::path(argv[0]).parent_path() / "Zephiro.exe";
    std::error_code ec;
    if (fs::is_regular_file(beside, ec)) o.windows_program = beside.string();
  }
  if (!o.windows_program.empty()) {
    std::ifstream in(o.windows_program, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in || bytes.str().empty()) {
      std::fprintf(stderr, "make_disc_set: cannot read %s\n", o.windows_program.c_str());
      return 1;
    }
    m.windows_program = bytes.str();
  }
  if (o.use_tools) {
    m.zip = find_program({"zip"});
    m.seven = find_program({"7zz", "7z", "7za"});
  }
  m.big = o.size > 50ull * 1000 * 1000;
  auto start = std::chrono::steady_clock::now();

  std::vector<Group> groups = plan_groups(o);
  if (!assign_discs(groups, o.discs)) {
    std::fprintf(stderr, "make_disc_set: %d discs are too many for this size\n", o.discs);
    return 1;
  }
  bool ok = prepare_out_folder(m);
  for (size_t i = 0; ok && i < groups.size(); ++i) ok = make_group(m, groups[i]);
  ok = ok && write_discs(m, groups);
  // The release goes on disc 1 before the discs are mastered, so that the image holds it too.
  ok = ok && (o.release.empty() || copy_release(m));
  if (o.iso) ok = ok && master_images(m);
  std::error_code ec;
  fs::remove_all(m.stage, ec);
  if (!ok) {
    std::fprintf(stderr, "make_disc_set: %s\n", m.error.c_str());
    return 1;
  }

  uint64_t installed = 0, archived = 0;
  int zips = 0, sevens = 0;
  for (const Group& g : groups) {
    if (g.gone) continue;
    installed += g.size, archived += g.archive_size;
    (g.kind == kind_tile ? sevens : zips)++;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("Made a %d-disc set \"%s\" in %s/disc1 .. disc%d\n", o.discs, o.name.c_str(), o.out.c_str(), o.discs);
  std::printf("%zu paths, %d zip and %d 7z archives (%s, %s), %llu bytes installed, %llu archived, %.1f s\n",
              groups.size(), zips, sevens, m.zip.empty() ? "libarchive" : m.zip.c_str(),
              m.seven.empty() ? "libarchive" : m.seven.c_str(), (unsigned long long)installed,
              (unsigned long long)archived, seconds);
  if (o.iso) std::printf("Disc images %s/disc1.iso .. disc%d.iso\n", o.out.c_str(), o.discs);
  if (!o.old_copy.empty()) std::printf("Old copy in %s\n", o.old_copy.c_str());
  if (!o.release.empty()) std::printf("The installer from %s on disc 1 in linux/zephiro-installer\n", o.release.c_str());
  return 0;
}
