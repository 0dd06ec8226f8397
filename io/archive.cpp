#include "io/archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <libdeflate.h>
#include <minizip/unzip.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>

#include "core/log.h"
#include "io/file_ops.h"
#include "io/partial_file.h"
#include "platform/fs.h"

namespace fs = std::filesystem;

namespace {

// The unit name the extraction log lines carry for the failing step.
const char kSourceUnit[] = "FILE_compress";

// Members up to this size are inflated in one piece (fastest); larger ones stream through
// a fixed block so memory stays bounded whatever an archive claims.
constexpr uint64_t kWholeMemberLimit = 64ull << 20;
constexpr size_t kStreamBlock = 1 << 20;

struct ArchiveState {
  std::atomic<uint64_t> whole_member_limit{kWholeMemberLimit};
};
ArchiveState g_archive;

// Records where a step failed, for the log line, and passes its code on.
int failed_at(int& site, int line, int code) {
  site = line;
  return code;
}
#define FAIL_AT(site, code) failed_at((site), __LINE__, (code))

// ---------------------------------------------------------------------------------------
// Member names and where they land

bool is_separator(char c) { return c == '/' || c == '\\'; }

// A member may only name something below the out folder: a relative name without a ".."
// component (either separator counts, as Windows-made archives use both). No component may
// carry the name of a partial file either: the next run would take it for one left by a
// killed run and remove it.
bool member_name_is_safe(const std::string& name) {
  if (name.empty() || is_absolute_path(name) || is_separator(name[0])) return false;
  if (name.size() >= 2 && name[1] == ':') return false;
  if (name.find('\0') != std::string::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !is_separator(name[end])) ++end;
    if (end - start == 2 && name.compare(start, 2, "..") == 0) return false;
    if (is_partial_name(name.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

int refuse_member(const std::string& name, const std::string& out_folder) {
  LOG << "Refusing archive member '" << name << "': it would be written outside " << out_folder
      << " or under the name of a partial file\n";
  return EINVAL;
}

// ---------------------------------------------------------------------------------------
// A member is written as a partial file beside its target and moved over the target only
// when complete (and, for an installed file, only when its signature is the expected one).

// The one file an installer archive is there to put in place.
struct Expectation {
  std::string name;       // the member's name, relative to the out folder
  std::string signature;  // the MD5 its bytes must have
  bool found = false;
};

int open_member(PartialFile& m, const std::string& target, const Expectation* expect) {
  return m.open(target, expect != nullptr);
}

int write_member(PartialFile& m, const void* data, size_t size) { return m.write(data, size); }

int commit_member(PartialFile& m, unsigned mode, Expectation* expect) {
  if (expect) {
    std::string written = m.signature();
    if (written != expect->signature) {
      LOG << "The archive member " << m.target() << " has the signature " << written << ", not "
          << expect->signature << ": it is not written.\n";
      return err_archive_damaged;
    }
  }
  return m.commit(mode);
}

// ---------------------------------------------------------------------------------------
// Zip

struct ZipWalk {
  unzFile zip = nullptr;
  std::string out_folder;  // absolute, ending '/'
  Expectation* expect = nullptr;  // only this member is written, and only when it is right
  std::string* name = nullptr;
  bool rename = false;
  bool first_file_done = false;
  libdeflate_decompressor* inflater = nullptr;
  int fail_line = 0;
};

enum EntryKind { entry_folder, entry_skipped, entry_file };

EntryKind entry_kind(const std::string& name, const unz_file_info64& info) {
  bool mac_fork = name.compare(0, 8, "__MACOSX") == 0;
  if (!name.empty() && name.back() == '/') return mac_fork ? entry_skipped : entry_folder;
  if (mac_fork) return entry_skipped;  // Mac resource-fork data means nothing here
  if (((info.external_fa >> 16) & 0xA000) == 0xA000) return entry_skipped;  // symbolic link
  return entry_file;
}

// The Unix permission bits of an entry made on a Unix system (0 otherwise).
unsigned unix_mode(const unz_file_info64& info) {
  return (info.version >> 8) == 3 ? unsigned(info.external_fa >> 16) & 07777 : 0;
}

int current_entry(unzFile zip, unz_file_info64& info, std::string& name) {
  int err = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0);
  if (err != UNZ_OK) return err;
  // Fetched at its full length: a cut-off name would land somewhere else.
  name.assign(info.size_filename, '\0');
  if (info.size_filename == 0) return UNZ_OK;
  return unzGetCurrentFileInfo64(zip, &info, &name[0], info.size_filename, nullptr, 0, nullptr, 0);
}

// The name an entry is written under, relative to the out folder.
const std::string& output_name(const ZipWalk& w, EntryKind kind, const std::string& entry) {
  if (kind == entry_file && w.name && w.rename && !w.first_file_done) return *w.name;
  return entry;
}

// Reads the open entry into `buffer` (`size` bytes); the count read, or a minizip code.
int64_t read_entry(unzFile zip, unsigned char* buffer, uint64_t size) {
  uint64_t total = 0;
  while (total < size) {
    unsigned ask = unsigned(std::min<uint64_t>(size - total, 1u << 30));
    int got = unzReadCurrentFile(zip, buffer + total, ask);
    if (got < 0) return got;
    if (got == 0) break;
    total += unsigned(got);
  }
  return int64_t(total);
}

// Reads the current entry's raw (still compressed) bytes whole.
int read_raw_entry(ZipWalk& w, const unz_file_info64& info, std::unique_ptr<unsigned char[]>& packed, int& method) {
  int level = 0;
  int err = unzOpenCurrentFile2(w.zip, &method, &level, 1);
  if (err != UNZ_OK) return FAIL_AT(w.fail_line, err);
  uint64_t packed_size = info.compressed_size;
  packed.reset(new (std::nothrow) unsigned char[packed_size ? packed_size : 1]);
  int64_t got = packed ? read_entry(w.zip, packed.get(), packed_size) : 0;
  err = unzCloseCurrentFile(w.zip);
  if (!packed) return FAIL_AT(w.fail_line, ENOMEM);
  if (got < 0) return FAIL_AT(w.fail_line, int(got));
  if (uint64_t(got) != packed_size) return FAIL_AT(w.fail_line, err_zip_read);
  return err == UNZ_OK ? 0 : FAIL_AT(w.fail_line, err);
}

// Inflates a stored or deflated entry from its raw bytes in one piece; the CRC is checked
// here since minizip does not check raw reads. Nothing is written unless it matches.
int extract_whole(ZipWalk& w, const unz_file_info64& info, const std::string& target) {
  std::unique_ptr<unsigned char[]> packed, inflated;
  int method = 0;
  int err = read_raw_entry(w, info, packed, method);
  if (err) return err;
  uint64_t packed_size = info.compressed_size, size = info.uncompressed_size;
  const unsigned char* data = packed.get();
  if (method == Z_DEFLATED) {
    inflated.reset(new (std::nothrow) unsigned char[size ? size : 1]);
    if (!inflated) return FAIL_AT(w.fail_line, ENOMEM);
    libdeflate_result r = libdeflate_deflate_decompress(w.inflater, packed.get(), packed_size, inflated.get(), size, nullptr);
    if (r == LIBDEFLATE_BAD_DATA) return FAIL_AT(w.fail_line, Z_DATA_ERROR);
    if (r != LIBDEFLATE_SUCCESS) return FAIL_AT(w.fail_line, err_zip_read);
    data = inflated.get();
  } else if (packed_size != size) {
    return FAIL_AT(w.fail_line, err_zip_read);
  }
  if (libdeflate_crc32(0, data, size) != info.crc) return FAIL_AT(w.fail_line, UNZ_CRCERROR);

  PartialFile member;
  if ((err = open_member(member, target, w.expect))) return FAIL_AT(w.fail_line, err);
  if ((err = write_member(member, data, size))) return FAIL_AT(w.fail_line, err);
  if ((err = commit_member(member, unix_mode(info), w.expect))) return FAIL_AT(w.fail_line, err);
  return 0;
}

// Any other entry goes through minizip's own reader, block by block; its CRC check at the
// close decides whether the temporary file becomes the member.
int extract_streamed(ZipWalk& w, const unz_file_info64& info, const std::string& target) {
  int err = unzOpenCurrentFile(w.zip);
  if (err != UNZ_OK) return FAIL_AT(w.fail_line, err);
  std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[kStreamBlock]);
  PartialFile member;
  if (!block) err = FAIL_AT(w.fail_line, ENOMEM);
  if (!err && (err = open_member(member, target, w.expect))) FAIL_AT(w.fail_line, err);
  uint64_t total = 0;
  while (!err) {
    int got = unzReadCurrentFile(w.zip, block.get(), kStreamBlock);
    if (got < 0) err = FAIL_AT(w.fail_line, got);
    if (got <= 0) break;
    total += unsigned(got);
    if ((err = write_member(member, block.get(), unsigned(got)))) FAIL_AT(w.fail_line, err);
  }
  if (!err && total != info.uncompressed_size) err = FAIL_AT(w.fail_line, err_zip_read);
  int closed = unzCloseCurrentFile(w.zip);
  if (!err && closed != UNZ_OK) err = FAIL_AT(w.fail_line, closed);
  if (!err && (err = commit_member(member, unix_mode(info), w.expect))) FAIL_AT(w.fail_line, err);
  return err;
}

int extract_entry(ZipWalk& w, const unz_file_info64& info, const std::string& target) {
  // Deflate never grows data by more than a few bytes a block; a larger claim is damage
  // that minizip's own reader reports.
  uint64_t size = info.uncompressed_size;
  bool plausible = info.compressed_size <= size + size / 16 + 4096;
  bool simple = (info.compression_method == 0 || info.compression_method == Z_DEFLATED) && !(info.flag & 1) &&
                size <= g_archive.whole_member_limit.load() && plausible;
  int err = simple ? extract_whole(w, info, target) : extract_streamed(w, info, target);
  if (err)
    LOG << "Zip to file failed with error " << err << ". file = " << kSourceUnit << " line = " << w.fail_line
        << ". inFile=" << target << ".\n";
  return err;
}

int handle_entry(ZipWalk& w, const unz_file_info64& info, const std::string& entry) {
  EntryKind kind = entry_kind(entry, info);
  if (kind == entry_skipped) return 0;
  const std::string& name = output_name(w, kind, entry);
  std::string target = w.out_folder + name;
  if (w.expect && (kind != entry_file || name != w.expect->name)) {
    if (kind == entry_file) LOG << "Skipping the archive member " << name << ": it is not " << w.expect->name << "\n";
    return 0;
  }
  if (kind == entry_folder) {
    int code = create_folder(target);
    return is_benign_folder_error(code) ? 0 : FAIL_AT(w.fail_line, code);
  }
  int err = extract_entry(w, info, target);
  if (!err && w.name && !w.first_file_done && !w.rename) *w.name = entry;
  w.first_file_done = true;
  return err;
}

// Every name is checked before anything is written, so a hostile archive changes nothing.
int check_entry_names(ZipWalk& w) {
  bool first_file = true;
  int err = unzGoToFirstFile(w.zip);
  while (err == UNZ_OK) {
    unz_file_info64 info;
    std::string entry;
    if ((err = current_entry(w.zip, info, entry)) != UNZ_OK) break;
    EntryKind kind = entry_kind(entry, info);
    if (kind != entry_skipped) {
      bool renamed = kind == entry_file && first_file && w.name && w.rename;
      const std::string& name = renamed ? *w.name : entry;
      if (!member_name_is_safe(name)) return FAIL_AT(w.fail_line, refuse_member(name, w.out_folder));
      if (kind == entry_file && w.expect && name == w.expect->name) w.expect->found = true;
      if (kind == entry_file) first_file = false;
    }
    err = unzGoToNextFile(w.zip);
  }
  if (err != UNZ_END_OF_LIST_OF_FILE) return FAIL_AT(w.fail_line, err);
  if (w.expect && !w.expect->found) {
    LOG << "The archive does not hold " << w.expect->name << "\n";
    return FAIL_AT(w.fail_line, err_archive_member_missing);
  }
  return 0;
}

int walk_entries(ZipWalk& w) {
  int err = unzGoToFirstFile(w.zip);
  if (err != UNZ_OK) return FAIL_AT(w.fail_line, err);
  for (;;) {
    unz_file_info64 info;
    std::string entry;
    err = current_entry(w.zip, info, entry);
    if (err != UNZ_OK) {
      LOG << "unzGetCurrentFileInfo err != UNZ_OK! err=" << err << "\n";
      return FAIL_AT(w.fail_line, err);
    }
    err = handle_entry(w, info, entry);
    if (err) {
      LOG << "UNZIP zip_to_file failed with err=" << err << "\n";
      return err;
    }
    err = unzGoToNextFile(w.zip);
    if (err == UNZ_END_OF_LIST_OF_FILE) return 0;
    if (err != UNZ_OK) return FAIL_AT(w.fail_line, err);
  }
}

struct InflaterFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// ---------------------------------------------------------------------------------------
// 7z

struct ArchiveFree {
  void operator()(struct archive* a) const { archive_read_free(a); }
};

// A damaged 7z gives libarchive's own numbers; the user is better served by the program's
// "damaged archive" text, except for plain system failures.
int sevenzip_code(struct archive* a) {
  int code = archive_errno(a);
  if (code == ENOMEM || code == EIO || code == ENOSPC) return code;
  return err_archive_corrupt;
}

int extract_7z_entry(struct archive* a, struct archive_entry* entry, const std::string& target,
                     Expectation* expect) {
  PartialFile member;
  int err = open_member(member, target, expect);
  if (err) return err;
  int64_t written = 0;
  for (;;) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    int r = archive_read_data_block(a, &block, &size, &offset);
    if (r == ARCHIVE_EOF) break;
    // A warning here is a CRC mismatch: the member is not written.
    if (r != ARCHIVE_OK) {
      LOG << "7z extraction of " << target << " failed: " << (archive_error_string(a) ? archive_error_string(a) : "?")
          << "\n";
      return sevenzip_code(a);
    }
    if (offset > written) {  // a gap reads as zeros
      static const char zeros[4096] = {};
      while (written < offset) {
        size_t n = size_t(std::min<int64_t>(offset - written, sizeof zeros));
        if ((err = write_member(member, zeros, n))) return err;
        written += int64_t(n);
      }
    }
    if ((err = write_member(member, block, size))) return err;
    written += int64_t(size);
  }
  return commit_member(member, unsigned(archive_entry_perm(entry)), expect);
}

const char* entry_name(struct archive_entry* entry) {
  const char* name = archive_entry_pathname_utf8(entry);
  return name ? name : archive_entry_pathname(entry);
}

int walk_7z(struct archive* a, const std::string& out, std::string* name, bool rename, Expectation* expect) {
  bool first_file_done = false;
  for (;;) {
    struct archive_entry* entry = nullptr;
    int r = archive_read_next_header(a, &entry);
    if (r == ARCHIVE_EOF) break;
    if (r < ARCHIVE_WARN) {
      LOG << "7z archive cannot be read: " << (archive_error_string(a) ? archive_error_string(a) : "?") << "\n";
      return sevenzip_code(a);
    }
    if (archive_entry_filetype(entry) != AE_IFREG) continue;  // folders and links
    const char* own = entry_name(entry);
    std::string member = (name && rename && !first_file_done) ? *name : std::string(own ? own : "");
    std::string target = out + member;
    if (!member_name_is_safe(member)) return refuse_member(member, out);
    if (expect && member != expect->name) {
      LOG << "Skipping the archive member " << member << ": it is not " << expect->name << "\n";
      continue;
    }
    if (expect) expect->found = true;
    int err = extract_7z_entry(a, entry, target, expect);
    if (err) {
      LOG << "7z to folder failed with error " << err << ". archive member=" << member << ", out_dir=" << out
          << ".\n";
      return err;
    }
    if (name && !rename && !first_file_done) *name = target;
    first_file_done = true;
  }
  if (expect && !expect->found) {
    LOG << "The archive does not hold " << expect->name << "\n";
    return err_archive_member_missing;
  }
  return 0;
}

// An archive is read through the platform's file calls rather than by the libraries' own
// opening, which on Windows takes the name in the ANSI code page: a scratch folder under a
// user named "Jörg" would be out of reach. Reads at an offset, so no seek can fail.
struct ArchiveFile {
  int fd = -1;
  uint64_t size = 0;
  uint64_t position = 0;
  int error = 0;  // of the last read
  std::unique_ptr<char[]> block;  // libarchive's read buffer

  ArchiveFile() = default;
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;
  ~ArchiveFile() {
    if (fd >= 0) platform::close_file(fd);
  }
  // 0, or the errno value of a missing or unreadable archive.
  int open(const std::string& path) {
    if (int code = platform::open_regular_file(path, &fd)) return code;
    return platform::file_size(path, &size);
  }
  uint64_t read(void* out, uint64_t count) {
    uint64_t got = 0;
    error = platform::read_file_bytes_at(fd, position, static_cast<char*>(out), count, &got);
    position += got;
    return got;
  }
  // The new position, or -1 for one before the start.
  int64_t seek(int64_t offset, uint64_t base) {
    if (offset < 0 && uint64_t(0) - uint64_t(offset) > base) return -1;
    position = base + uint64_t(offset);
    return int64_t(position);
  }
};

voidpf ZCALLBACK zip_file_open(voidpf, const void* path, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  std::unique_ptr<ArchiveFile> file(new (std::nothrow) ArchiveFile);
  if (!file || file->open(static_cast<const char*>(path)) != 0) return nullptr;
  return file.release();
}
uLong ZCALLBACK zip_file_read(voidpf, voidpf file, void* out, uLong count) {
  return uLong(static_cast<ArchiveFile*>(file)->read(out, count));
}
uLong ZCALLBACK zip_file_write(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK zip_file_tell(voidpf, voidpf file) { return static_cast<ArchiveFile*>(file)->position; }
long ZCALLBACK zip_file_seek(voidpf, voidpf file, ZPOS64_T offset, int origin) {
  ArchiveFile* f = static_cast<ArchiveFile*>(file);
  uint64_t base = origin == ZLIB_FILEFUNC_SEEK_CUR ? f->position : origin == ZLIB_FILEFUNC_SEEK_END ? f->size : 0;
  return f->seek(int64_t(offset), base) < 0 ? -1 : 0;
}
int ZCALLBACK zip_file_close(voidpf, voidpf file) {
  delete static_cast<ArchiveFile*>(file);
  return 0;
}
int ZCALLBACK zip_file_error(voidpf, voidpf file) { return static_cast<ArchiveFile*>(file)->error; }

unzFile open_zip(const std::string& path) {
  zlib_filefunc64_def calls = {};
  calls.zopen64_file = zip_file_open;
  calls.zread_file = zip_file_read;
  calls.zwrite_file = zip_file_write;
  calls.ztell64_file = zip_file_tell;
  calls.zseek64_file = zip_file_seek;
  calls.zclose_file = zip_file_close;
  calls.zerror_file = zip_file_error;
  return unzOpen2_64(path.c_str(), &calls);
}

la_ssize_t sevenzip_read(struct archive* a, void* file, const void** out) {
  ArchiveFile* f = static_cast<ArchiveFile*>(file);
  uint64_t got = f->read(f->block.get(), kStreamBlock);
  if (f->error) {
    archive_set_error(a, f->error, "the archive cannot be read");
    return -1;
  }
  *out = f->block.get();
  return la_ssize_t(got);
}
la_int64_t sevenzip_skip(struct archive*, void* file, la_int64_t request) {
  ArchiveFile* f = static_cast<ArchiveFile*>(file);
  uint64_t left = f->size > f->position ? f->size - f->position : 0;
  uint64_t step = std::min<uint64_t>(uint64_t(request > 0 ? request : 0), left);
  f->position += step;
  return la_int64_t(step);
}
la_int64_t sevenzip_seek(struct archive*, void* file, la_int64_t offset, int whence) {
  ArchiveFile* f = static_cast<ArchiveFile*>(file);
  uint64_t base = whence == SEEK_CUR ? f->position : whence == SEEK_END ? f->size : 0;
  int64_t to = f->seek(offset, base);
  return to < 0 ? ARCHIVE_FATAL : to;
}

int unzip_into(const std::string& archive, const std::string& out_folder, std::string* name, bool rename,
               Expectation* expect) {
  std::string path = archive;
  make_absolute(path);
  ZipWalk w;
  w.out_folder = out_folder;
  make_absolute(w.out_folder);
  if (w.out_folder.back() != '/') w.out_folder += '/';
  w.name = name;
  w.rename = rename;
  w.expect = expect;

  w.zip = open_zip(path);
  if (!w.zip) {
    LOG << "OK I am about to report that I could not open a zip file for extraction!\n";
    LOG << "That incoming file is " << path << "\n";
    LOG << "In c-form, it is " << path.c_str() << "\n";
    LOG << "The size is " << path.size() << "\n";
    return err_zip_open;
  }
  std::unique_ptr<libdeflate_decompressor, InflaterFree> inflater(libdeflate_alloc_decompressor());
  w.inflater = inflater.get();

  unz_global_info64 global;
  int err = unzGetGlobalInfo64(w.zip, &global);
  if (err != UNZ_OK) {
    err = FAIL_AT(w.fail_line, err);
  } else if (!w.inflater) {
    err = FAIL_AT(w.fail_line, ENOMEM);
  } else if (global.number_entry > 0) {
    err = check_entry_names(w);
    if (!err) err = walk_entries(w);
  } else if (expect) {
    err = FAIL_AT(w.fail_line, err_archive_member_missing);  // an empty archive
  }
  unzClose(w.zip);
  if (err)
    LOG << "Zip to file failed with error err = " << err << ". file = " << kSourceUnit << " line = " << w.fail_line
        << ". zip_file=" << path << ", out_dir=" << w.out_folder << ".\n";
  return err;
}

int un7z_into(const std::string& archive, const std::string& out_folder, std::string* name, bool rename,
              Expectation* expect) {
  std::string path = archive, out = out_folder;
  make_absolute(path);
  make_absolute(out);
  if (out.empty() || out.back() != '/') out += '/';
  // The system's code for an archive that is missing or unreadable.
  ArchiveFile file;
  if (int code = file.open(path)) return code;
  file.block.reset(new (std::nothrow) char[kStreamBlock]);
  if (!file.block) return ENOMEM;

  std::unique_ptr<struct archive, ArchiveFree> a(archive_read_new());
  if (!a) return ENOMEM;
  archive_read_support_format_7zip(a.get());
  archive_read_set_callback_data(a.get(), &file);
  archive_read_set_read_callback(a.get(), sevenzip_read);
  archive_read_set_skip_callback(a.get(), sevenzip_skip);
  archive_read_set_seek_callback(a.get(), sevenzip_seek);
  if (archive_read_open1(a.get()) != ARCHIVE_OK) {
    LOG << "7z archive " << path << " cannot be opened: "
        << (archive_error_string(a.get()) ? archive_error_string(a.get()) : "?") << "\n";
    return err_zip_open;
  }
  int err = walk_7z(a.get(), out, name, rename, expect);
  archive_read_close(a.get());
  return err;
}

bool ends_with(const std::string& text, const char* tail) {
  size_t n = std::strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

}  // namespace

void set_whole_member_limit(uint64_t bytes) { g_archive.whole_member_limit = bytes; }

void reset_archive_state() { g_archive.whole_member_limit = kWholeMemberLimit; }

int zip_to_file(const std::string& archive, const std::string& out_folder, std::string* name, bool rename) {
  return unzip_into(archive, out_folder, name, rename, nullptr);
}

int sevenzip_to_folder(const std::string& archive, const std::string& out_folder, std::string* name, bool rename) {
  return un7z_into(archive, out_folder, name, rename, nullptr);
}

int extract_installed_file(const std::string& archive, const std::string& destination, const std::string& signature) {
  size_t cut = destination.find_last_of('/');
  if (cut == std::string::npos || cut + 1 == destination.size()) return EINVAL;
  Expectation expect;
  expect.name = destination.substr(cut + 1);
  expect.signature = signature;
  std::string folder = destination.substr(0, cut + 1);
  return ends_with(archive, ".7z") ? un7z_into(archive, folder, nullptr, false, &expect)
                                   : unzip_into(archive, folder, nullptr, false, &expect);
}
