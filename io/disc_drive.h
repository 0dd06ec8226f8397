#pragma once
// The drives that hold the install discs: a folder (a mounted disc, or a folder acting as a
// drive), or a disc image file (an ISO 9660 ".iso" with Joliet or Rock Ridge names) read in
// place, without mounting it and without root.
//
// A path on a drive is the drive's root followed by the path on the disc. The root of an
// image is the image file's own path followed by "/", so
// "/home/u/Z9_DVD1.iso/Zephiro 9 DVD/directory.txt.zip" names a file inside the image; the
// functions below take such paths and plain paths alike. An image's directory is read once
// (the data of its files skipped by seeking) and kept while the image file stays the same;
// a file is then read straight from its place in the image.
//
// Codes: 0, errno values (ENOENT when the disc does not hold the file, EFBIG above a limit),
// err_disc_image_unknown (20016) for a file that is not an ISO 9660 image,
// err_disc_image_damaged (20017) for an image whose directory or data cannot be read.

#include <cstdint>
#include <string>

class MappedFile;

// The program's codes for disc images, beside those of io/file_ops.h.
enum DiscImageErrorCode {
  // A disc image that is not an ISO 9660 image (a UDF-only image, any other file).
  err_disc_image_unknown = 20016,
  // A disc image whose directory or data cannot be read (cut short, overwritten).
  err_disc_image_damaged = 20017,
};

// Whether the drive root (ending '/') is a disc image rather than a folder.
bool is_disc_image(const std::string& root);

// The size of a regular file on a drive. 0 with the size, else an error code.
int drive_file_size(const std::string& path, uint64_t* size);
// Opens a view of a whole file on a drive; a file of more than `limit` bytes gives EFBIG.
int open_drive_file(MappedFile& file, const std::string& path, uint64_t limit);
// Copies a file from a drive to `target`: written under a partial name and moved over the
// target only when complete.
int copy_drive_file(const std::string& path, const std::string& target);
// Ejects the disc in the drive at `root`; an image stays where it is (0).
int eject_drive(const std::string& root);
// Whether an image can be read as an ISO 9660 image, its whole directory included: 0 or an
// error code, with libarchive's own words in `detail` for the log.
int check_disc_image(const std::string& image, std::string* detail);

// Bytes read from disc images since the last reset (all threads): what seeking saves.
uint64_t disc_image_bytes_read();
void reset_disc_drive();
