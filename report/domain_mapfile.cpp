// Sector runs merged and written as a ddrescue domain mapfile.
#include "report/domain_mapfile.h"

#include <algorithm>

namespace {

const u64 kSector = 512;

void Block(std::FILE* out, u64 position, u64 size, char status) {
  std::fprintf(out, "0x%08llX  0x%08llX  %c\n", (unsigned long long)position,
               (unsigned long long)size, status);
}

}  // namespace

void AppendSectorRun(void* runs, u64 first, u64 count) {
  static_cast<std::vector<SectorRun>*>(runs)->push_back({first, count});
}

void MergeSectorRuns(std::vector<SectorRun>* runs) {
  std::sort(runs->begin(), runs->end(),
            [](const SectorRun& a, const SectorRun& b) { return a.first < b.first; });
  size_t kept = 0;
  for (const SectorRun& r : *runs) {
    if (r.count == 0) continue;
    SectorRun& last = (*runs)[kept ? kept - 1 : 0];
    if (kept && r.first <= last.first + last.count)
      last.count = std::max(last.count, r.first + r.count - last.first);
    else
      (*runs)[kept++] = r;
  }
  runs->resize(kept);
}

void ClipSectorRuns(std::vector<SectorRun>* runs, u64 diskSectors, u64* leftOut) {
  MergeSectorRuns(runs);
  *leftOut = 0;
  size_t kept = 0;
  for (SectorRun r : *runs) {
    u64 end = r.first + r.count;
    u64 on = r.first >= diskSectors ? 0 : std::min(end, diskSectors) - r.first;
    *leftOut += r.count - on;
    if (on) (*runs)[kept++] = {r.first, on};
  }
  runs->resize(kept);
}

bool WriteDomainMapfile(std::FILE* out, std::vector<SectorRun> runs, u64 diskBytes) {
  MergeSectorRuns(&runs);
  const u64 diskSectors = diskBytes / kSector;
  std::fprintf(out,
               "# Domain mapfile made by melvir: the recorder disk's sectors to image\n"
               "# current_pos  current_status  current_pass\n"
               "0x00000000     ?               1\n"
               "#      pos        size  status\n");
  u64 at = 0;  // sectors covered so far
  for (const SectorRun& r : runs) {
    if (r.first >= diskSectors) break;
    u64 end = std::min(r.first + r.count, diskSectors);
    if (r.first > at) Block(out, at * kSector, (r.first - at) * kSector, '?');
    Block(out, r.first * kSector, (end - r.first) * kSector, '+');
    at = end;
  }
  if (diskBytes > at * kSector) Block(out, at * kSector, diskBytes - at * kSector, '?');
  return std::fflush(out) == 0 && !std::ferror(out);
}
