// The rescue report: the unreadable runs of each recording in output offsets,
// its chain's end and its bad packets, and its JSON object.
#include "report/rescue_report.h"

#include <cstring>

#include "disk/block_form.h"
#include "report/json.h"

namespace {

void AddOutputRun(RescueRecord* record, u64 offset, u64 length) {
  std::vector<OutputRun>& runs = record->unreadable;
  if (!runs.empty() && runs.back().offset + runs.back().length == offset)
    runs.back().length += length;
  else
    runs.push_back({offset, length});
}

}  // namespace

void AddReadDamage(RescueRecord* record, const ReadDamage& damage, u64 readOffset, u32 kept,
                   u64 outputOffset) {
  for (u32 i = 0; i < damage.runCount; ++i) {
    u64 from = damage.runs[i].offset - readOffset;
    u64 to = from + damage.runs[i].length;
    if (from >= kept) continue;
    if (to > kept) to = kept;
    AddOutputRun(record, outputOffset + from, to - from);
    record->unreadableSectors += (to - from + 511) / 512;
  }
}

void NoteChainDamage(RescueRecord* record, const ChainWalk& walk) {
  if (WalkIsWhole(walk)) return;
  record->chainDamaged = true;
  record->walk = walk;
}

void NoteBrokenStep(RescueRecord* record, const ReadDamage& damage) {
  if (!damage.chainBroken) return;
  record->chainDamaged = true;
  record->walk.end = damage.brokenHow;
  record->walk.last = damage.brokenAfter;
  record->walk.next = 0;
}

u64 UnreadableBytes(const RescueRecord& record) {
  u64 n = 0;
  for (const OutputRun& r : record.unreadable) n += r.length;
  return n;
}

u64 CountBadPackets(const u8* data, u32 length) {
  u64 bad = 0;
  for (u32 at = 0; at < length; at += kPacketSize) bad += data[at] != kSyncByte;
  return bad;
}

namespace {

const u8 kZeroPacket[kPacketSize] = {};

// Whether [from, to) meets a run, *next the first run that may: runs are
// in order, and asked of in order.
bool MeetsRun(const std::vector<OutputRun>& runs, size_t* next, u64 from, u64 to) {
  while (*next < runs.size() && runs[*next].offset + runs[*next].length <= from) ++*next;
  return *next < runs.size() && runs[*next].offset < to;
}

}  // namespace

void CountPackets(RescueRecord* record, const u8* data, u32 length, u64 outputOffset) {
  const std::vector<OutputRun>& runs = record->unreadable;
  // This read's runs are the last ones.
  size_t next = runs.size();
  while (next > 0 && runs[next - 1].offset + runs[next - 1].length > outputOffset) --next;
  // A partial packet at the stream's end is no packet, as for the probe.
  for (u32 at = 0; at + kPacketSize <= length; at += kPacketSize) {
    u64 from = outputOffset + at, to = from + kPacketSize;
    if (to <= record->packetsTo) continue;
    record->packetsTo = to;
    if (MeetsRun(runs, &next, from, to)) {
      ++record->badPackets;
      continue;
    }
    if (std::memcmp(data + at, kZeroPacket, kPacketSize) == 0) {
      ++record->zeroPackets;
      continue;
    }
    record->badPackets += record->zeroPackets + (data[at] != kSyncByte);
    record->zeroPackets = 0;
  }
}

bool CutRuns(std::vector<OutputRun>* runs, u64 at) {
  bool cut = false;
  for (; !runs->empty() && runs->back().offset >= at; cut = true) runs->pop_back();
  if (!runs->empty() && runs->back().offset + runs->back().length > at) {
    runs->back().length = at - runs->back().offset;
    cut = true;
  }
  return cut;
}

void RecountSectors(RescueRecord* record) {
  record->unreadableSectors = 0;
  for (const OutputRun& r : record->unreadable) record->unreadableSectors += (r.length + 511) / 512;
}

void EndRecord(RescueRecord* record, u64 length) {
  record->bytesWritten = length;
  if (record->blockForm) {
    size_t next = 0;
    for (u64 k = length / kPacketSize; (k + 1) * kPacketSize <= record->packetsTo; ++k)
      if (MeetsRun(record->unreadable, &next, k * kPacketSize, (k + 1) * kPacketSize))
        --record->badPackets;
  }
  if (CutRuns(&record->unreadable, length)) RecountSectors(record);
}

const char* ChainEndText(ChainEnd end) {
  switch (end) {
    case kChainEnd: return "end marker";
    case kChainAboveCount: return "successor above the cluster count";
    case kChainZero: return "step to cluster 0";
    case kChainCycle: return "cycle";
    case kChainUnreadable: return "table sector unreadable";
    case kChainPastTable: return "step past the table";
    case kChainBeyondDisk: return "cluster past the disk";
    case kChainNotChecked: return "not checked";
  }
  return "damaged";
}

void FormatChainDamage(const ChainWalk& walk, char* text, u32 size) {
  if (walk.end == kChainZero && walk.last == 0)
    FormatText(text, size, "first cluster 0");
  else
    FormatText(text, size, "%s at cluster %u", ChainEndText(walk.end), walk.last);
}

void FormatDamageSummary(const RescueRecord& record, char* text, u32 size) {
  u64 bytes = UnreadableBytes(record);
  u32 n = 0;
  text[0] = 0;
  if (bytes)
    n = FormatText(text, size, "%llu unreadable sector%s (%llu bytes) %s",
                   (unsigned long long)record.unreadableSectors,
                   record.unreadableSectors == 1 ? "" : "s", (unsigned long long)bytes,
                   record.remuxed ? "read as zeros, the packets over them left out"
                                  : "written as zeros");
  if (record.chainDamaged)
    n += FormatText(text + n, size - n, "%schain ends early at cluster %u", n ? "; " : "",
                    record.walk.last);
  if (record.damageUnknownBefore)
    FormatText(text + n, size - n, "%sthe damage of the first %llu bytes is not known", n ? "; " : "",
               (unsigned long long)record.damageUnknownBefore);
}

bool WriteRescueReport(std::FILE* out, const RescueRecord& record, bool held) {
  std::fputs("{\"output\": ", out);
  WriteJsonUtf8(out, record.output.c_str());  // output paths are UTF-8
  std::fprintf(out, ", \"bytes_written\": %llu, \"unreadable\": [",
               (unsigned long long)record.bytesWritten);
  for (size_t i = 0; i < record.unreadable.size(); ++i)
    std::fprintf(out, "%s[%llu, %llu]", i ? ", " : "",
                 (unsigned long long)record.unreadable[i].offset,
                 (unsigned long long)record.unreadable[i].length);
  std::fputc(']', out);
  if (record.chainDamaged) {
    char damaged[80];
    FormatChainDamage(record.walk, damaged, sizeof damaged);
    std::fprintf(out, ", \"chain_end\": %u, \"damaged\": ", record.walk.last);
    WriteJsonString(out, damaged);
  }
  if (record.blockForm)
    std::fprintf(out, ", \"bad_packets\": %llu", (unsigned long long)record.badPackets);
  if (record.damageUnknownBefore)
    std::fprintf(out, ", \"damage_unknown_before\": %llu",
                 (unsigned long long)record.damageUnknownBefore);
  if (held)
    std::fprintf(out, ", \"unreadable_sectors\": %llu, \"zero_packets\": %llu, \"packets_to\": %llu",
                 (unsigned long long)record.unreadableSectors,
                 (unsigned long long)record.zeroPackets, (unsigned long long)record.packetsTo);
  std::fputs("}\n", out);
  return !std::ferror(out);
}
