// A recording's picture for its card: the picture library reads the stream
// through the same reader as extract, block-form cut included.
#include <vector>

#include "cli/catalog_card.h"
#include "cli/cli_port.h"
#include "cli/os.h"
#include "cli/recording_reader.h"
#include "cli/rescue_settings.h"

namespace {

struct PictureRead {
  RecordingReader reader;
  std::vector<StreamHole> holes;
  bool failed;    // a read failed (without rescue): at failedAt
  u64 failedAt;
  bool damaged;   // bytes read as zeros
  bool stopped;   // by Ctrl-C
};

bool ReadForPicture(void* context, u64 offset, u8* buffer, u32 count, u32* got) {
  PictureRead* p = static_cast<PictureRead*>(context);
  if ((p->stopped = Interrupted())) return false;
  p->holes.clear();
  if (!ReadStreamAt(&p->reader, offset, buffer, count, got, &p->holes)) {
    p->failed = true;
    p->failedAt = offset;
    return false;
  }
  if (!p->holes.empty()) p->damaged = true;
  return true;
}

}  // namespace

bool PictureOfRecording(const Recording& r, bool rescue, const char* hint, Thumbnail* picture,
                        bool* made, u32 width) {
  static PictureRead p;
  p.failed = p.damaged = p.stopped = false;
  OpenRecordingReader(r, rescue, &p.reader);
  *made = MakeThumbnail(StreamSource{ReadForPicture, &p, p.reader.length}, picture, width);
  if (p.damaged || (rescue && p.reader.chainCut)) NoteDamage();
  if (p.stopped) *made = false;
  if (!p.failed) return true;
  Say("recording %u: no picture: cannot be read at stream byte %llu%s", r.number,
      static_cast<unsigned long long>(p.failedAt), hint);
  *made = false;
  return false;
}
