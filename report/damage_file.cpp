// NAME.part.damage written, read back and cut to what the .part keeps.
#include "report/damage_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/write_guard.h"

namespace {

// The number after "name": in text, or false.
bool Field(const std::string& text, const char* name, u64* value) {
  std::string key = std::string("\"") + name + "\": ";
  size_t at = text.find(key);
  if (at == std::string::npos) return false;
  *value = std::strtoull(text.c_str() + at + key.size(), nullptr, 10);
  return true;
}

bool WriteHeld(std::FILE* f, const void* record) {
  return WriteRescueReport(f, *static_cast<const RescueRecord*>(record), true);
}

}  // namespace

DamageMark MarkOf(const RescueRecord& record, u64 at) {
  return DamageMark{at, record.unreadableSectors, record.badPackets, record.zeroPackets,
                    record.packetsTo};
}

void CutRecord(RescueRecord* record, const DamageMark& mark) {
  CutRuns(&record->unreadable, mark.at);
  record->unreadableSectors = mark.unreadableSectors;
  record->badPackets = mark.badPackets;
  record->zeroPackets = mark.zeroPackets;
  record->packetsTo = mark.packetsTo;
}

// Written beside it and renamed over it, so that a run killed while saving
// leaves the damage as it was, never an empty file.
bool SaveDamage(const char* path, const RescueRecord& record, u64 through) {
  RescueRecord held = record;
  held.bytesWritten = through;
  u32 error;
  return ReplaceSideFile(path, WriteHeld, &held, &error) == kWriteAllowed;
}

bool LoadDamage(const char* path, u64 kept, RescueRecord* record) {
  std::string text;
  if (!ReadSideFile(path, &text)) return false;
  u64 through, sectors = 0, bad = 0, zero = 0, packetsTo;
  size_t list = text.find("\"unreadable\": [");
  if (!Field(text, "bytes_written", &through) || list == std::string::npos) return false;
  Field(text, "unreadable_sectors", &sectors);
  Field(text, "bad_packets", &bad);
  Field(text, "zero_packets", &zero);
  u64 unknown = 0;
  Field(text, "damage_unknown_before", &unknown);
  record->damageUnknownBefore = unknown < kept ? unknown : kept;
  // The packets were counted as far as it describes.
  if (!Field(text, "packets_to", &packetsTo)) packetsTo = through;
  record->unreadable.clear();
  const char* p = text.c_str() + list + 15;
  for (;;) {
    unsigned long long offset, length;
    int used = 0;
    if (std::sscanf(p, "[%llu, %llu]%n", &offset, &length, &used) != 2 || used == 0) break;
    record->unreadable.push_back({offset, length});
    p += used;
    if (std::strncmp(p, ", ", 2) != 0) break;
    p += 2;
  }
  DamageMark mark = {kept, sectors, bad, zero, packetsTo};
  CutRecord(record, mark);
  // It describes more than the .part holds (a run ended without cutting it).
  if (through > kept) RecountSectors(record);
  return true;
}
