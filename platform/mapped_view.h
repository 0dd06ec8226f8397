#pragma once
// Read-only views of files: small ones copied into memory, large ones mapped.
// Returns 0 or the system's error number.

#include <cstddef>
#include <cstdint>
#include <string>

// Opens `path` (absolute) for reading; `handle` receives the descriptor. Only a regular
// file opens (a FIFO or a device never blocks the caller: EINVAL; a folder: EISDIR).
int open_for_mapping(const std::string& path, int* handle);
int mapping_file_size(int handle, uint64_t* size);
// Maps `length` bytes from `offset`, which must be a multiple of mapping_granularity().
int map_view(int handle, uint64_t offset, size_t length, void** base);
void unmap_view(void* base, size_t length);
// Copies up to `length` bytes from `offset` into `buffer`; `got` tells how many there were.
int read_view(int handle, uint64_t offset, size_t length, char* buffer, size_t* got);
void close_mapping_handle(int handle);
uint64_t mapping_granularity();
