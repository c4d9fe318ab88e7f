// NAME.part.damage written, read back and cut to what the .part keeps.
#include "report/damage_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The number after "name": in text, or false.
bool Field(const std::string& text, const char* name, u64* value) {
  std::string key = std::string("\"") + name + "\": ";
  size_t at = text.find(key);
  if (at == std::string::npos) return false;
  *value = std::strtoull(text.c_str() + at + key.size(), nullptr, 10);
  return true;
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
  std::string next = std::string(path) + ".new";
  std::FILE* f = std::fopen(next.c_str(), "wb");
  if (!f) return false;
  RescueRecord held = record;
  held.bytesWritten = through;
  bool ok = WriteRescueReport(f, held, true);
  if (std::fclose(f) != 0 || !ok) return false;
#ifdef _WIN32
  std::remove(path);  // its rename does not replace
#endif
  return std::rename(next.c_str(), path) == 0;
}

bool LoadDamage(const char* path, u64 kept, RescueRecord* record) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  std::string text;
  char piece[4096];
  for (size_t n; (n = std::fread(piece, 1, sizeof piece, f)) > 0;) text.append(piece, n);
  std::fclose(f);
  u64 through, sectors = 0, bad = 0, zero = 0, packetsTo;
  size_t list = text.find("\"unreadable\": [");
  if (!Field(text, "bytes_written", &through) || list == std::string::npos) return false;
  Field(text, "unreadable_sectors", &sectors);
  Field(text, "bad_packets", &bad);
  Field(text, "zero_packets", &zero);
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
