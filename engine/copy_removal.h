#pragma once
// Removing an installed copy. The files the install manifest names are deleted when their
// signature matches some version of the file's history; a file the user made, or one they
// changed (a signature no version has), is kept and listed. Links are removed as links and
// never entered, so nothing outside the copy is touched. Folders that this leaves empty go
// too. The copy's registry line and its menu entry go last, and only when everything else
// succeeded.
//
// A record of unfinished work (a removal) is written into the copy before anything is
// deleted and cleared at the very end, so a removal that was killed is recognised, and
// finished, by the next one.

#include <string>
#include <unordered_map>
#include <vector>

// What a removal would delete, for the confirmation: the files named by the manifest (any
// version) and the links in the copy. Whether a named file was changed is only known once
// its signature is taken, so these are upper bounds.
struct RemovalPreview {
  int files = 0;
  double kilobytes = 0;  // of 1000 bytes
};
RemovalPreview preview_removal(const std::string& install_path);

struct CopyRemoval {
  std::string install_path;          // ending '/'
  std::vector<std::string> items;    // install-relative: files and links, then folders deepest first
  size_t folder_start = 0;           // index of the first folder in `items`
  size_t next = 0;                   // the next item to act on
  std::unordered_map<std::string, int> named;  // install-relative path -> manifest group
  std::vector<std::string> kept;     // install-relative paths of the user's files
  int removed = 0;
  int failed = 0;
  std::string first_error;           // the first failure, for the user
  bool finished = false;
};

// Starts a removal: writes the record, then lists the copy. 0 or the error code of the
// record (nothing has been deleted then).
int start_removal(CopyRemoval& removal, const std::string& install_path);
// Acts on up to `budget` items; at the end (with no failure) takes out the registry line
// and the menu entry, clears the record and removes the copy's folder when it is empty.
// True once the removal has ended, successfully or not.
bool removal_step(CopyRemoval& removal, int budget);
// Share of the items done, 0 to 1.
float removal_progress(const CopyRemoval& removal);
// The item being worked on (install-relative), for the progress caption.
std::string removal_current_item(const CopyRemoval& removal);
