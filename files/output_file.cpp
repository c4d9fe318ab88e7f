// What of the output files is the same on every system: NAME.part opened
// through the write guard as the run's own.
#include "files/output_file.h"

WriteVerdict OpenOutputFile(const char* path, bool fresh, OutputFile* out, u32* error) {
  FileHandle handle;
  WriteVerdict verdict =
      OpenForWriting(path, kWriteSide | kWriteReadToo | (fresh ? kWriteFresh : 0), &handle, error);
  if (verdict == kWriteAllowed) *out = OutputFile{handle, false, true, false, 1, path, 0};
  return verdict;
}
