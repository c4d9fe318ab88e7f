// The whole check: the caller's memory laid out, then geometry, both
// copies, every entry, the lost chains, and the partners of shared chains.
#include <cstring>

#include "check/check_state.h"
#include "disk/layout.h"

namespace {

u64 BitWords(u64 bits) { return (bits + 63) / 64; }
u64 Round8(u64 n) { return (n + 7) / 8 * 8; }

struct Plan {
  u64 windowBytes, flagBytes, successorBytes, bitBytes, badBytes, recordBytes, total;
};

Plan PlanMemory(u32 entries, u32 windowSectors) {
  Plan p;
  p.windowBytes = u64(windowSectors) * kSectorSize;
  p.flagBytes = Round8(windowSectors);
  p.successorBytes = Round8(u64(entries) * 4);
  p.bitBytes = BitWords(entries) * 8;
  p.badBytes = BitWords(entries / kTableEntriesPerSector + 1) * 8;
  p.recordBytes = Round8(u64(kJoinRecords) * sizeof(JoinRecord));
  // 512 bytes of slack to put the windows on a sector boundary.
  p.total = kSectorSize + 2 * (p.windowBytes + p.flagBytes) + kSectorSize + p.successorBytes +
            4 * p.bitBytes + p.badBytes + p.recordBytes;
  return p;
}

u8* Take(u8** at, u64 bytes) {
  u8* p = *at;
  *at += bytes;
  return p;
}

u64* Bits(u8** at, u64 bytes) {
  u64* p = reinterpret_cast<u64*>(Take(at, bytes));
  std::memset(p, 0, bytes);
  return p;
}

}  // namespace

u64 CheckMemoryBytes(u32 tableEntries, u32 windowSectors) {
  return PlanMemory(tableEntries, windowSectors).total;
}

bool CheckDisk(void* memory, u64 bytes, u32 tableEntries, u32 windowSectors,
               const CheckSink& sink, CheckReport* report) {
  u64 wanted = CheckTableEntries();
  u32 held = tableEntries < wanted ? tableEntries : static_cast<u32>(wanted);
  Plan p = PlanMemory(held, windowSectors);
  if (windowSectors == 0 || bytes < p.total) return false;

  CheckState s = CheckState();
  u8* at = static_cast<u8*>(memory);
  at += (kSectorSize - reinterpret_cast<std::uintptr_t>(at) % kSectorSize) % kSectorSize;
  for (CopyWindow& w : s.window) {
    w.data = Take(&at, p.windowBytes);
    w.capacity = windowSectors;
  }
  s.sector = Take(&at, kSectorSize);
  for (CopyWindow& w : s.window) w.readable = Take(&at, p.flagBytes);
  s.successor = reinterpret_cast<u32*>(Take(&at, p.successorBytes));
  s.onChain = Bits(&at, p.bitBytes);
  s.pointedTo = Bits(&at, p.bitBytes);
  s.pointedTwice = Bits(&at, p.bitBytes);
  s.joins = Bits(&at, p.bitBytes);
  s.tableBad = Bits(&at, p.badBytes);
  s.records = reinterpret_cast<JoinRecord*>(Take(&at, p.recordBytes));
  s.held = held;
  s.diskSectors = g_disk.driveSectors;
  s.sink = &sink;
  s.report = report;

  *report = CheckReport();
  report->tableEntriesWanted = wanted;
  report->tableEntriesHeld = held;
  CheckGeometryOf(&report->geometry);
  ReadTableCopies(s);
  ReadDirectoryCopies(s, &report->directory, CheckEntries);
  FindLostChains(s);
  ResolveJoins(s);
  return true;
}
