#pragma once
// The crash log: what a fatal signal leaves in "crash_log.txt" before the process dies,
// and the stack crawls written there and by crash alerts.

#include <cstdint>
#include <string>

// Catches the fatal signals for the whole run and gives the calling thread an alternate
// stack, so that even a stack overflow is reported. Call first thing at start-up.
// Returns 0, or the system error of the part that could not be installed.
int install_crash_handler();
// A thread started later calls this once when it starts, so that its own stack overflow is
// reported too, and release_crash_handler_for_thread just before it ends.
int install_crash_handler_for_thread();
void release_crash_handler_for_thread();

// How long a crash report may take before the process is ended by its signal anyway
// (10 seconds unless changed; tests shorten it).
void set_crash_report_time_limit(unsigned seconds);

// The name of a Windows exception code in the exception table, or null when not there.
const char* exception_name(uint32_t code);

// Appends a crawl of the calling thread, from its caller on, to the file at `path`
// (crash alerts use "stack_crawl.txt" in the current folder). Returns 0 or the system
// error when the file cannot be opened.
int append_stack_crawl(const std::string& path);

// Writes a stack crawl to an open file descriptor. A frame pointer of 0 crawls the calling
// thread from its caller on; a non-zero address is described first, as line 0, and the
// frames are then numbered from 1. A broken frame chain ends the crawl, never the program.
void stack_crawl(int fd, uintptr_t frame_pointer, uintptr_t address);
// The same crawl as text.
std::string stack_crawl_text(uintptr_t frame_pointer = 0, uintptr_t address = 0);

// The line the log gets after a crash.
extern const char* const crash_notice;
