// Worker threads kept for reuse, for runs that start a thread per
// extraction many thousand times (fuzzing): a routine handed to StartThread
// runs on a parked thread of a small pool rather than on a new one. Off by
// default; POSIX only.
#ifndef MELVIR_PLATFORM_THREAD_REUSE_H
#define MELVIR_PLATFORM_THREAD_REUSE_H

#include "platform/platform.h"

void SetThreadReuse(bool on);

// For the platform implementation.
bool ThreadReuseOn();
// Runs routine(argument) on an idle pooled thread, adding one to the pool
// if all are busy; false when the pool is full and busy, or a thread
// cannot be made.
bool StartReusedThread(ThreadRoutine routine, void* argument);

#endif
