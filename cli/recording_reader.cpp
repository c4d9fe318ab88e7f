// A recording's stream bytes at any offset, block-form cut and damage applied.
#include "cli/recording_reader.h"

namespace {

alignas(kMaxRereadUnit) u8 g_unit[kMaxRereadUnit];
ReadDamage g_damage;

void AppendRun(void* context, const ClusterRun& run) {
  static_cast<std::vector<ClusterRun>*>(context)->push_back(run);
}

// Block starts for the plan. A start that cannot be read does not count,
// as with --rescue; without it, the read there fails later.
bool ReadStart(void* context, u64 block, bool* exists, bool* counted, u8* first) {
  const RecordingReader* r = static_cast<const RecordingReader*>(context);
  static u8 sector[kSectorSize];
  u64 at = block * kBlockBytes;
  u32 got = 0;
  ReadRecordingAt(r->index, at, sector, kSectorSize, true, g_unit, &g_damage, &got);
  *exists = got > 0;
  *counted = !(g_damage.runCount && g_damage.runs[0].offset == at);
  *first = sector[0];
  return true;
}

}  // namespace

void OpenRecordingReader(const Recording& recording, bool pastDamage, RecordingReader* r) {
  r->runs.clear();
  r->pastDamage = pastDamage;
  u32 collected = 0;
  r->chainCut = !IndexChain(recording.entry.firstCluster, recording.entry.clusters, pastDamage,
                            AppendRun, &r->runs, &collected);
  r->index = {r->runs.data(), u32(r->runs.size()), u64(collected) * g_disk.usableClusterBytes};
  PlanBlockForm(ReadStart, r, &r->plan);
  r->length = OutputLength(StreamLength(r->plan, r->index.bytes));
}

bool ReadStreamAt(RecordingReader* r, u64 offset, u8* buffer, u32 length, u32* got,
                  std::vector<StreamHole>* holes) {
  *got = 0;
  if (offset >= r->length) return true;
  if (length > r->length - offset) length = u32(r->length - offset);
  while (*got < length) {
    u64 from;
    u32 left;
    StreamPosition(r->plan, offset + *got, &from, &left);
    u32 n = left < length - *got ? left : length - *got;
    u32 read = 0;
    if (!ReadRecordingAt(r->index, from, buffer + *got, n, r->pastDamage, g_unit, &g_damage, &read))
      return false;
    for (u32 i = 0; i < g_damage.runCount; ++i)
      holes->push_back({offset + *got + (g_damage.runs[i].offset - from), g_damage.runs[i].length});
    *got += read;
    if (read < n) return true;
  }
  return true;
}
