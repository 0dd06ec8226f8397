#include "io/disc_drive.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "core/log.h"
#include "io/file_ops.h"
#include "io/mapped_file.h"
#include "io/partial_file.h"
#include "platform/fs.h"

namespace {

// Where a file's data lies in its image: ISO 9660 keeps each file in one run of sectors.
struct DiscFile {
  uint64_t offset = 0;
  uint64_t size = 0;
  bool folder = false;
};

// An image's directory, read once per run: its files by their names on the disc, and the
// image file it was read from.
struct ImageIndex {
  uint64_t device = 0, inode = 0, image_size = 0;
  int code = 0;  // why the image cannot be read, or 0
  std::string detail;
  std::map<std::string, DiscFile> files;
};

struct DiscDriveState {
  std::mutex lock;  // the copy worker and the main thread both look things up
  std::map<std::string, std::shared_ptr<const ImageIndex>> indexes;
  std::atomic<uint64_t> image_bytes_read{0};
};
DiscDriveState g_drive;

// libarchive walks the directory block by block; small blocks keep it from reading into
// the data of the files, which it skips by seeking.
const size_t kDirectoryBlock = 16 * 1024;
// The data of a file wanted is read straight from its place, in pieces of this size.
const uint64_t kDataBlock = 1024 * 1024;

// The image as libarchive sees it through our callbacks: it reads at a position of our own,
// and its skips over the data of the files only move that position.
struct ImageSource {
  int fd = -1;
  uint64_t size = 0;
  uint64_t position = 0;
  int system_error = 0;
  std::vector<char> block = std::vector<char>(kDirectoryBlock);
  ~ImageSource() { platform::close_file(fd); }
};

la_ssize_t read_image(struct archive* a, void* data, const void** buffer) {
  ImageSource& s = *static_cast<ImageSource*>(data);
  uint64_t got = 0;
  const int err = platform::read_file_bytes_at(s.fd, s.position, s.block.data(), s.block.size(), &got);
  if (err != 0) {
    s.system_error = err;
    archive_set_error(a, err, "read error");
    return -1;
  }
  s.position += got;
  g_drive.image_bytes_read += got;
  *buffer = s.block.data();
  return static_cast<la_ssize_t>(got);
}

// Skips at most to the end of the image: what lies beyond is missing, and libarchive then
// finds the image cut short.
la_int64_t skip_image(struct archive*, void* data, la_int64_t request) {
  ImageSource& s = *static_cast<ImageSource*>(data);
  if (request <= 0) return 0;
  const uint64_t room = s.size > s.position ? s.size - s.position : 0;
  const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(request), room);
  s.position += n;
  return static_cast<la_int64_t>(n);
}

la_int64_t seek_image(struct archive*, void* data, la_int64_t offset, int whence) {
  ImageSource& s = *static_cast<ImageSource*>(data);
  int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<int64_t>(s.position);
  if (whence == SEEK_END) base = static_cast<int64_t>(s.size);
  const int64_t target = base + offset;
  if (target < 0) return ARCHIVE_FATAL;
  s.position = std::min<uint64_t>(static_cast<uint64_t>(target), s.size);
  return static_cast<la_int64_t>(s.position);
}

struct ArchiveFree {
  void operator()(struct archive* a) const { archive_read_free(a); }
};

// A path as it stands on the disc, without "./" or a leading or trailing '/'.
std::string disc_name(const char* raw) {
  std::string name = raw ? raw : "";
  while (name.compare(0, 2, "./") == 0) name.erase(0, 2);
  while (!name.empty() && name[0] == '/') name.erase(0, 1);
  while (!name.empty() && name.back() == '/') name.pop_back();
  return name;
}

std::string entry_name(struct archive_entry* entry) {
  const char* raw = archive_entry_pathname_utf8(entry);
  return disc_name(raw ? raw : archive_entry_pathname(entry));  // Rock Ridge bytes the locale cannot convert
}

// Walks the image's whole directory with libarchive's ISO 9660 reader (Joliet and Rock
// Ridge names), noting where each file's data starts: libarchive has moved to it when it
// hands over the entry.
void walk_directory(struct archive* a, ImageSource& source, ImageIndex& index) {
  // ISO 9660 only, read through our callbacks.
  archive_read_support_format_iso9660(a);
  archive_read_set_read_callback(a, read_image);
  archive_read_set_skip_callback(a, skip_image);
  archive_read_set_seek_callback(a, seek_image);
  archive_read_set_callback_data(a, &source);
  if (archive_read_open1(a) != ARCHIVE_OK) {
    index.code = err_disc_image_unknown;
    return;
  }
  for (;;) {
    struct archive_entry* entry = nullptr;
    const int r = archive_read_next_header(a, &entry);
    if (r == ARCHIVE_EOF) return;
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
      index.code = err_disc_image_damaged;
      return;
    }
    DiscFile file;
    const char* link = archive_entry_hardlink(entry);
    if (archive_entry_filetype(entry) == AE_IFDIR) {
      file.folder = true;
    } else if (link) {
      // A second name for data already listed.
      auto target = index.files.find(disc_name(link));
      if (target == index.files.end()) continue;
      file = target->second;
    } else if (archive_entry_filetype(entry) == AE_IFREG) {
      file.offset = static_cast<uint64_t>(archive_filter_bytes(a, -1));
      file.size = static_cast<uint64_t>(archive_entry_size(entry));
      // Data the image does not hold: cut short.
      if (file.size > index.image_size || file.offset > index.image_size - file.size) {
        index.code = err_disc_image_damaged;
        return;
      }
    } else {
      continue;
    }
    index.files[entry_name(entry)] = file;
  }
}

std::shared_ptr<const ImageIndex> read_index(const std::string& image) {
  auto index = std::make_shared<ImageIndex>();
  ImageSource source;
  int err = platform::file_identity(image, &index->device, &index->inode);
  if (!err) err = platform::file_size(image, &index->image_size);
  if (!err) err = platform::open_regular_file(image, &source.fd);
  std::unique_ptr<struct archive, ArchiveFree> a(err ? nullptr : archive_read_new());
  if (!err && !a) err = ENOMEM;
  if (err) {
    index->code = err;
    return index;
  }
  source.size = index->image_size;
  walk_directory(a.get(), source, *index);
  // A read error of the system is told as such; anything else is the image's fault.
  if (index->code && source.system_error) index->code = source.system_error;
  if (index->code) {
    const char* text = archive_error_string(a.get());
    index->detail = text ? text : "";
    index->files.clear();
    LOG << "Disc image " << image << ": " << index->detail << " (" << error_message_for_code(index->code) << ")\n";
  }
  return index;
}

// The directory of the image, read again only when the file is another one now.
std::shared_ptr<const ImageIndex> image_index(const std::string& image) {
  uint64_t device = 0, inode = 0, size = 0;
  const bool known = platform::file_identity(image, &device, &inode) == 0 && platform::file_size(image, &size) == 0;
  {
    std::lock_guard<std::mutex> hold(g_drive.lock);
    auto it = g_drive.indexes.find(image);
    if (known && it != g_drive.indexes.end() && it->second->device == device && it->second->inode == inode &&
        it->second->image_size == size)
      return it->second;
  }
  std::shared_ptr<const ImageIndex> index = read_index(image);
  std::lock_guard<std::mutex> hold(g_drive.lock);
  g_drive.indexes[image] = index;
  return index;
}

// Splits a path inside an image into the image file and the path on its disc. False for a
// path that names something itself, or leads through folders only.
bool split_image_path(const std::string& path, std::string* image, std::string* inner) {
  std::string full = path;
  make_absolute(full);
  if (platform::path_kind(full) != platform::PathKind::missing) return false;
  for (size_t slash = full.find('/', 1); slash != std::string::npos; slash = full.find('/', slash + 1)) {
    const platform::PathKind kind = platform::path_kind(full.substr(0, slash));
    if (kind == platform::PathKind::regular) {
      *image = full.substr(0, slash);
      *inner = disc_name(full.substr(slash + 1).c_str());
      return true;
    }
    if (kind != platform::PathKind::folder) return false;
  }
  return false;
}

// The regular file a path inside an image names: 0, or an error code.
int find_in_image(const std::string& image, const std::string& inner, DiscFile* file) {
  std::shared_ptr<const ImageIndex> index = image_index(image);
  if (index->code) return index->code;
  auto it = index->files.find(inner);
  if (it == index->files.end()) return ENOENT;
  if (it->second.folder) return EISDIR;
  *file = it->second;
  return 0;
}

// Hands a file's data to `sink` piece by piece, read straight from its place in the image.
template <class Sink>
int read_file_data(const std::string& image, const DiscFile& file, Sink sink) {
  int fd = -1;
  if (int err = platform::open_regular_file(image, &fd)) return err;
  std::vector<char> buffer(static_cast<size_t>(std::min(file.size, kDataBlock)));
  int err = 0;
  for (uint64_t done = 0; done < file.size && !err;) {
    const uint64_t want = std::min<uint64_t>(file.size - done, buffer.size());
    uint64_t got = 0;
    err = platform::read_file_bytes_at(fd, file.offset + done, buffer.data(), want, &got);
    g_drive.image_bytes_read += got;
    if (!err && got < want) err = err_disc_image_damaged;  // the image was cut short since
    if (!err) err = sink(buffer.data(), static_cast<size_t>(got));
    done += got;
  }
  platform::close_file(fd);
  if (err == err_disc_image_damaged) LOG << "Disc image " << image << " ends inside a file\n";
  return err;
}

}  // namespace

bool is_disc_image(const std::string& root) {
  std::string path = root;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  make_absolute(path);
  return platform::path_kind(path) == platform::PathKind::regular;
}

int drive_file_size(const std::string& path, uint64_t* size) {
  *size = 0;
  std::string image, inner;
  if (!split_image_path(path, &image, &inner)) return regular_file_size(path, size);
  DiscFile file;
  if (int err = find_in_image(image, inner, &file)) return err;
  *size = file.size;
  return 0;
}

int open_drive_file(MappedFile& file, const std::string& path, uint64_t limit) {
  file.close();
  std::string image, inner;
  if (!split_image_path(path, &image, &inner)) return file.open(path, 0, 0, limit) ? 0 : ENOENT;
  DiscFile found;
  if (int err = find_in_image(image, inner, &found)) return err;
  if (found.size > limit) return EFBIG;
  std::string bytes;
  int err = read_file_data(image, found, [&](const char* block, size_t n) {
    bytes.append(block, n);
    return 0;
  });
  if (err) return err;
  return file.open_bytes(path, bytes) ? 0 : ENOENT;
}

int copy_drive_file(const std::string& path, const std::string& target) {
  std::string image, inner;
  if (!split_image_path(path, &image, &inner)) return copy_file(path, target);
  DiscFile found;
  if (int err = find_in_image(image, inner, &found)) return err;
  PartialFile out;
  if (int err = out.open(target)) return err;
  if (int err = read_file_data(image, found, [&](const char* block, size_t n) { return out.write(block, n); }))
    return err;
  // The image's read-only modes stay on the disc: the copy is the reader's own file.
  return out.commit(0);
}

int eject_drive(const std::string& root) { return is_disc_image(root) ? 0 : eject_disc(root); }

int check_disc_image(const std::string& image, std::string* detail) {
  std::string full = image;
  make_absolute(full);
  std::shared_ptr<const ImageIndex> index = image_index(full);
  if (detail) *detail = index->detail;
  return index->code;
}

uint64_t disc_image_bytes_read() { return g_drive.image_bytes_read.load(); }

void reset_disc_drive() {
  std::lock_guard<std::mutex> hold(g_drive.lock);
  g_drive.indexes.clear();
  g_drive.image_bytes_read = 0;
}
