#pragma once
// Builds install manifests in memory for the engine tests.

#include <string>
#include <vector>

#include "engine/manifest.h"

struct EntrySpec {
  std::string signature;  // expected signature of this version
  int platform = 0;
  float size_kb = 10;
  int disc = 0;
};

// Appends a group for `path` with one entry per version (oldest first); tiles are recognised
// from the path as the reader does. Returns the group index.
int add_group(const std::string& path, const std::vector<EntrySpec>& versions);
// Sets the scan result of a group's current entry.
void set_found(int group, const std::string& found);
// Recomputes the manifest's tile grid and flags after add_group calls.
void finish_manifest();
// A fake signature: 32 hex digits made from a number.
std::string sig(int n);
