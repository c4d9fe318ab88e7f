// The command line's exit statuses. When several apply, the first of 130,
// 2, 1, 3 is given.
#ifndef MELVIR_CLI_EXIT_STATUS_H
#define MELVIR_CLI_EXIT_STATUS_H

const int kExitDone = 0;
const int kExitFailed = 1;
const int kExitUsage = 2;
const int kExitDamaged = 3;    // done, but damage was met or found
const int kExitStopped = 130;  // as a shell reports a process ended by SIGINT
// The reader of standard output went away (`| head`): on POSIX the process
// ends by SIGPIPE, as cat does, which a shell reports as this; on Windows
// it is the exit status.
const int kExitReaderGone = 141;

#endif
