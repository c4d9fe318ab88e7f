#include "mount/mount_damage.h"

#include <algorithm>
#include <mutex>

#include "report/damage_text.h"

namespace {

std::mutex g_lock;  // every file's unreadable ranges

// Adds range to the sorted, disjoint runs, merging those it touches; true
// when it held bytes they did not.
bool Merge(std::vector<ByteRun>* runs, ByteRun range) {
  if (range.end <= range.begin) return false;
  auto first = std::lower_bound(runs->begin(), runs->end(), range.begin,
                                [](const ByteRun& r, u64 at) { return r.end < at; });
  if (first != runs->end() && first->begin <= range.begin && first->end >= range.end) return false;
  auto last = first;
  for (; last != runs->end() && last->begin <= range.end; ++last) {
    range.begin = std::min(range.begin, last->begin);
    range.end = std::max(range.end, last->end);
  }
  runs->insert(runs->erase(first, last), range);
  return true;
}

// A stretch of adjoining sectors of the file: bytes from fileAt on lie
// from device position deviceAt on.
struct Stretch {
  std::vector<ByteRun>* runs;
  u64 fileAt, deviceAt;
};

void PlaceRun(void* context, const ByteRun& device) {
  const Stretch* s = static_cast<const Stretch*>(context);
  Merge(s->runs, ByteRun{s->fileAt + (device.begin - s->deviceAt),
                         s->fileAt + (device.end - s->deviceAt)});
}

}  // namespace

void KnowMapDamage(const DriveMap& map, MountFile* f) {
  // As the reads take the file: piece by piece of stream bytes, each over
  // stretches of adjoining sectors.
  for (u64 at = 0; at < f->size;) {
    u64 from;
    u32 left;
    StreamPosition(f->plan, at, &from, &left);
    u32 piece = u32(std::min<u64>(left, f->size - at));
    for (u32 done = 0; done < piece;) {
      u64 position;
      u32 n;
      if (!FirstStretch(f->index, from + done, piece - done, &position, &n) || n == 0) return;
      Stretch s = {&f->unreadable, at + done, position};
      MapUnreadableRuns(map, position, n, PlaceRun, &s);
      done += n;
    }
    at += piece;
  }
}

bool NoteUnreadable(const MountFile& f, const ByteRun& range) {
  std::lock_guard<std::mutex> hold(g_lock);
  return Merge(&f.unreadable, range);
}

std::string UnreadableValue(const MountFile& f) {
  std::lock_guard<std::mutex> hold(g_lock);
  return UnreadableRangesText(f.unreadable);
}

std::string DamageText(const MountTable& t) {
  std::vector<FileDamage> files;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    for (const MountFile& f : t.files)
      if (!f.unreadable.empty())
        files.push_back({f.folder == kMountLost ? "lost/" + f.name : f.name, f.unreadable});
  }
  return MountDamageText(files, t.pastDamage);
}
