#include "report/read_failure.h"

#include <set>
#include <string>

#include "disk/recorder_disk.h"
#include "platform/platform.h"
#include "report/say.h"

namespace {

// 1630503 as "1,630,503".
void Grouped(u64 n, char* out, u32 size) {
  char digits[24];
  u32 count = FormatText(digits, sizeof digits, "%llu", static_cast<unsigned long long>(n));
  u32 at = 0;
  for (u32 i = 0; i < count && at + 2 < size; ++i) {
    if (i && (count - i) % 3 == 0) out[at++] = ',';
    out[at++] = digits[i];
  }
  out[at] = 0;
}

void FormatSectors(char* out, u32 size, const char* source, u64 first, u64 last,
                   const char* reason) {
  char from[32], to[32];
  Grouped(first, from, sizeof from);
  Grouped(last, to, sizeof to);
  if (first == last) FormatText(out, size, "reading sector %s of %s: %s", from, source, reason);
  else FormatText(out, size, "reading sectors %s to %s of %s: %s", from, to, source, reason);
}

}  // namespace

void FormatReadFailure(char* out, u32 size, const char* source, u64 first, u64 last, u32 error) {
  char reason[200];
  if (error) SystemErrorText(error, reason, sizeof reason);
  else FormatText(reason, sizeof reason, "%s", "the disk or image ends before it");
  FormatSectors(out, size, source, first, last, reason);
}

void DataFailureReason(const char* source, char* out, u32 size) {
  u64 sector = LastDataFailurePosition() / kSectorSize;
  switch (LastDataFailure()) {
    case kDataFailDevice:
      FormatReadFailure(out, size, source, sector, sector, LastSystemError());
      return;
    case kDataFailShort:
      FormatSectors(out, size, source, sector, sector,
                    "the disk or image ends before the recording does");
      return;
    default:
      FormatText(out, size, "%s", "its allocation chain cannot be followed");
  }
}

void NoteFailedSectors(FailedSectors* f, const ReadDamage& damage) {
  for (u32 i = 0; i < damage.runCount; ++i) {
    const ReadDamage::Run& run = damage.runs[i];
    if (run.position == kNoPosition) continue;  // no read met it
    u64 first = run.position / kSectorSize, last = (run.position + run.length - 1) / kSectorSize;
    if (f->open && f->error == run.error && first >= f->first && first <= f->last + 1) {
      if (last > f->last) f->last = last;
      continue;
    }
    SayFailedSectors(f);
    *f = FailedSectors{f->output, f->source, true, first, last, run.error};
  }
}

void SayFailedSectors(FailedSectors* f) {
  if (!f->open) return;
  f->open = false;
  char text[1400];
  FormatReadFailure(text, sizeof text, f->source, f->first, f->last, f->error);
  Say("%s: %s", f->output, text);
}

void SayFormTaken(const char* subject) {
  static std::set<std::string> said;
  if (!said.insert(subject).second) return;
  Say("%s: no block's first sector could be read; taken to be in block form", subject);
}
