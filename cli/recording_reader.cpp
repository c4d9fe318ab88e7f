// A recording's stream bytes at any offset, block-form cut and damage applied.
#include "cli/recording_reader.h"

#include "platform/platform.h"
#include "report/read_failure.h"

namespace {

alignas(kMaxRereadUnit) u8 g_unit[kMaxRereadUnit];
ReadDamage g_damage;

}  // namespace

void OpenRecordingReader(const Recording& recording, bool pastDamage, RecordingReader* r) {
  r->runs.clear();
  r->pastDamage = pastDamage;
  u32 collected = 0;
  r->chainCut = !IndexChain(recording.entry.firstCluster, recording.entry.clusters, pastDamage,
                            AppendClusterRun, &r->runs, &collected);
  r->index = {r->runs.data(), u32(r->runs.size()), u64(collected) * g_disk.usableClusterBytes};
  PlanFormByPosition(r->index, g_unit, &r->plan);
  SayFormOf(recording, r->plan);
  r->length = OutputLength(StreamLength(r->plan, r->index.bytes));
}

void SayFormOf(const Recording& r, const FormPlan& plan) {
  if (!plan.unvoted) return;
  char subject[300];
  if (r.number) FormatText(subject, sizeof subject, "recording %u \"%s\"", r.number, r.decoded);
  else FormatText(subject, sizeof subject, "%s", r.decoded);  // a lost one: lost-CLUSTER
  SayFormTaken(subject);
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
