// The copy's two readers, and the block reads the resume check and the plan
// make through either.
#include "cli/copy_reader.h"

#include "cli/recording_reader.h"

alignas(4096) u8 g_block[kBlockBytes];
ReadDamage g_damage;

namespace {

bool OpenPlain(const Recording& r) { return OpenEntry(r.entry.firstCluster); }
bool SkipPlain(u64 bytes, u64* skipped) { return SkipEntryData(bytes, skipped); }
bool ReadPlain(u32 length, u32* got) { return ReadEntryData(g_block, length, got); }

bool OpenPast(const Recording& r) { return OpenEntryRescue(r.entry.firstCluster, r.entry.clusters); }
bool SkipPast(u64 bytes, u64* skipped) {
  SkipEntryRescue(bytes, skipped, &g_damage);
  return true;
}
bool ReadPast(u32 length, u32* got) { return ReadEntryRescue(g_block, length, got, &g_damage); }

const CopyReader kPlain = {OpenPlain, SkipPlain, ReadPlain, false};
const CopyReader kPastDamage = {OpenPast, SkipPast, ReadPast, true};

// The recording's block starts, read in order with one open, for the plan.
struct StartReader {
  const CopyReader* reader;
  const Recording* recording;
  u64 at;  // recording bytes before the cursor
};

bool ReadStart(void* context, u64 index, bool* exists, bool* counted, u8* first) {
  StartReader* s = static_cast<StartReader*>(context);
  const CopyReader& reader = *s->reader;
  u64 target = index * kBlockBytes, skipped = 0;
  bool moved = index == 0 ? OpenAt(reader, *s->recording, 0, &skipped)
                          : reader.skip(target - s->at, &skipped);
  if (!moved) return false;
  s->at = index == 0 ? 0 : s->at + skipped;
  u32 got = 0;
  if (s->at == target && !reader.read(kSectorSize, &got)) return false;
  s->at += got;
  *exists = got > 0;
  *counted = !(reader.pastDamage && g_damage.runCount && g_damage.runs[0].offset == target);
  *first = g_block[0];
  return true;
}

}  // namespace

const CopyReader& ReaderFor(bool rescue) { return rescue ? kPastDamage : kPlain; }

bool OpenAt(const CopyReader& reader, const Recording& r, u64 bytes, u64* at) {
  return reader.open(r) && reader.skip(bytes, at);
}

bool ReadBlock(const CopyReader& reader, const Recording& r, u64 index, u32 length, u32* got) {
  u64 skipped;
  if (!OpenAt(reader, r, index * kBlockBytes, &skipped)) return false;
  if (skipped < index * kBlockBytes) {
    *got = 0;
    return true;
  }
  return reader.read(length, got);
}

bool PlanForm(const CopyReader& reader, const Recording& r, FormPlan* plan) {
  StartReader start = {&reader, &r, 0};
  if (!PlanBlockForm(ReadStart, &start, plan)) return false;
  SayFormOf(r, *plan);
  return true;
}
