#include "report/long_list.h"

#include <cstdio>

namespace {

u32 Widest(u32 width, u64 n) { return DecimalDigits(n) > width ? DecimalDigits(n) : width; }

// One decimal, exactly as printf rounds the quotient.
double MiB(u64 bytes) { return double(bytes) / 1048576.0; }

}  // namespace

u32 DecimalDigits(u64 n) {
  u32 d = 1;
  while (n >= 10) {
    n /= 10;
    ++d;
  }
  return d;
}

bool WriteLongList(std::FILE* out, const std::vector<LongListRow>& rows) {
  if (rows.empty()) return true;
  u32 number = 1, slot = 4, first = 13, bytes = 5, mib = 3;
  for (const LongListRow& r : rows) {
    number = Widest(number, r.number);
    slot = Widest(slot, r.slot);
    first = Widest(first, r.firstCluster);
    bytes = Widest(bytes, r.bytes);
    char text[32];
    u32 n = u32(std::snprintf(text, sizeof text, "%.1f", MiB(r.bytes)));
    if (n > mib) mib = n;
  }
  int ok = std::fprintf(out, "%*s  %*s  %*s  %*s  %*s  %s\n", int(number), "#", int(slot), "SLOT",
                        int(first), "FIRST_CLUSTER", int(bytes), "BYTES", int(mib), "MIB", "NAME");
  for (const LongListRow& r : rows) {
    if (ok < 0) break;
    ok = std::fprintf(out, "%*u  %*u  %*u  %*llu  %*.1f  %s", int(number), r.number, int(slot),
                      r.slot, int(first), r.firstCluster, int(bytes),
                      static_cast<unsigned long long>(r.bytes), int(mib), MiB(r.bytes), r.name);
    if (ok >= 0 && r.damage[0]) ok = std::fprintf(out, "  [chain damaged: %s]", r.damage);
    if (ok >= 0 && r.unreadableKnown && r.unreadableBytes)
      ok = std::fprintf(out, "  [unreadable: %llu bytes]",
                        static_cast<unsigned long long>(r.unreadableBytes));
    if (ok >= 0) ok = std::fputc('\n', out);
  }
  return ok >= 0;
}
