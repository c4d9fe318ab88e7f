// The few calls the command line needs beyond the platform layer: terminal,
// file tests and Ctrl-C. One file per OS family: os_posix.cpp, os_win32.cpp.
#ifndef MELVIR_CLI_OS_H
#define MELVIR_CLI_OS_H

#include "platform/types.h"
#include "platform/wide_path.h"


bool StderrIsTerminal();
u32 TerminalColumns();  // of the terminal on stderr; 80 when unknown

// Both name one existing file (hard links and other spellings included).
bool SameFile(const char* a, const char* b);
// The bytes the folder's file system still takes from this user (root
// included, for whom its reserved blocks are free).
bool FreeSpace(const char* folder, u64* bytes);
// A raw disk rather than a file: never a place to write a recording.
bool IsDiskDevice(const char* path);
// Runs as root (POSIX) or elevated (Windows): with the rights to open the
// machine's disks, unless something else forbids them.
bool RunsAsAdministrator();

// Ends the process as one whose reader went away: POSIX raises SIGPIPE with
// its default action; Windows returns (the caller exits kExitReaderGone).
void EndByBrokenPipe();

// From now on the first Ctrl-C sets the interrupted mark and gives the
// signal back its default action, so that a second
// Ctrl-C ends a run that no longer answers. Ctrl-C ignored at start stays
// ignored.
void CatchInterrupt();
bool Interrupted();
// Sets the interrupted mark; safe in a signal handler.
void MarkInterrupted();

#endif
