// The trace log, output, event and thread calls of platform.h, once for
// both systems: an injected fault and the memory sinks are applied here,
// and only then is the system asked (os_calls.h).
#include "platform/drive_table.h"
#include "platform/fault.h"
#include "platform/memory_files.h"
#include "platform/os_calls.h"
#include "platform/platform.h"

bool CreateLogFile(const char* path, FileHandle* out) {
  FaultMode mode;
  if (FaultHit(kCallCreateLog, &mode)) return NoteSystemError(kOsErrors.injectedCreateLog);
  if (LogSinkSet()) return CreateSinkFile(true, out) || NoteSystemError(kOsErrors.noFreeHandle);
  return OsCreateLogFile(path, out);
}

bool WriteBytes(FileHandle file, const void* buffer, u32 length, u32* written) {
  bool fail;
  length = FaultLength(kCallWrite, length, &fail);
  if (fail) return false;
  if (IsMemoryHandle(file)) return WriteMemory(file, buffer, length, written);
  return OsWrite(file, buffer, length, written);
}

bool CreateOutputFile(const char* path, FileHandle* out) {
  FaultMode mode;
  if (FaultHit(kCallCreateOutput, &mode)) return false;
  if (OutputSinkSet()) return CreateSinkFile(false, out);
  return OsCreateOutputFile(path, out);
}

bool CreateAutoEvent(EventHandle* out) {
  FaultMode mode;
  if (FaultHit(kCallCreateEvent, &mode)) return false;
  return OsCreateEvent(out);
}

bool StartThread(ThreadRoutine routine, void* argument) {
  FaultMode mode;
  if (FaultHit(kCallStartThread, &mode)) return false;
  return OsStartThread(routine, argument);
}
