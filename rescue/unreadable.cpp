// A recording's unreadable bytes counted from its chain and the map.
#include "rescue/unreadable.h"

#include "rescue/rescue.h"

namespace {

struct Sum {
  const DriveMap* map;
  u64 bytes;
};

void AddRun(void* context, u64 first, u64 count) {
  Sum* sum = static_cast<Sum*>(context);
  sum->bytes += MapUnreadableBytes(*sum->map, first * kSectorSize, count * kSectorSize);
}

}  // namespace

bool RecordingUnreadableBytes(const DriveMap& map, u32 first, u32 clusters, u64* bytes) {
  Sum sum = {&map, 0};
  if (!RecordingSectorRuns(first, clusters, AddRun, &sum)) return false;
  *bytes = sum.bytes;
  return true;
}
