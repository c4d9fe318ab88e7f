// What the write guard's refusals say, the same on every system.
#include "platform/write_guard.h"

void WriteVerdictText(WriteVerdict verdict, u32 error, char* out, u32 size) {
  switch (verdict) {
    case kWriteAllowed: FormatText(out, size, "%s", "may be written"); return;
    case kWriteIsSource: FormatText(out, size, "%s", "is a source of this run, never written to"); return;
    case kWriteIsDevice: FormatText(out, size, "%s", "is a device, never written to"); return;
    case kWriteNotRegular:
      FormatText(out, size, "%s", "is not a regular file (a link, a FIFO or a folder): not written");
      return;
    case kWriteLinked: FormatText(out, size, "%s", "has other names (hard links): not written"); return;
    case kWriteInUse: FormatText(out, size, "%s", "is in use by another run of melvir"); return;
    case kWriteFailed: SystemErrorText(error, out, size); return;
  }
}
