#pragma once
// Finding the install DVD in the drives, reading its identity, and checking that the
// disc in the drive holds the next archive to install.

#include <string>
#include <vector>

// The drives: the mounted disc filesystems, unless a list of folders acting as drive
// roots was given ("--dvd_drives=DIR[:DIR...]", or the QA script's set_drives). A relative
// folder is taken from the working folder.
void set_dvd_drives(const std::string& colon_separated_folders);
void clear_dvd_drives_override();
std::vector<std::string> dvd_drive_roots();
// Makes the disc image `chosen`, and every other ".iso" in its folder that is a disc of the
// same set, drives for the rest of the run (beside the other drives). 0, or an error code
// when the chosen image cannot be read (the user has then been told, naming the file).
int use_disc_images(const std::string& chosen);
// Whether any drive is a disc image: every disc of a set of images is in at once.
bool has_disc_image_drive();

// Looks for an install disc in every drive; the result is cached for an hour unless forced.
// Two install discs at once end the program with a fatal alert; one disc seen under two
// roots counts once.
bool dvd_scan(bool force);
// Whether `root` holds an install disc (or, while a Disc Marker File is set, that file).
// Sets the DVD Root when it does.
bool is_install_disc(const std::string& root);
// Run every frame by the Welcome page: finds the disc, reads its version, extracts and
// reads the manifest once.
void read_disc_identity();
// Whether the disc in a drive holds the archive of `group`; sets the Current Disc Number.
bool find_needed_disc(int group);
void set_disc_marker_file(const std::string& relative_path);

const std::string& dvd_root();
void set_dvd_root(const std::string& root);  // the disc-change page empties it after ejecting
const std::string& dvd_version();
int current_disc_number();
// The number the user is shown for a 0-based Disc Number (number + 1), for any number a
// manifest may hold.
std::string disc_number_text(int disc);
void set_current_disc_number(int disc);
// Result of reading the disc's manifest: 0 not read yet, 3 read, 2 rejected.
int manifest_read_status();

// The folder on every disc of the set that holds the archives (DVD Root + DVD Version + "/").
std::string dvd_archive_folder();

void reset_dvd_discovery();
